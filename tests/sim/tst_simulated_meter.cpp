#include "display/frame_decoder.h"
#include "display/frame_layout.h"
#include "sim/frame_encoder.h"
#include "sim/meter_model.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace qm;
using display::Digit;
using display::PanelElement;
using display::PanelState;

namespace {

QByteArray bytes(std::string_view text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

constexpr std::string_view kShowable = " 0123456789@";

sim::DisplayImage randomImage(QRandomGenerator& random) {
  sim::DisplayImage image;
  for (const auto& frameBit : display::layout::kFrameBits) {
    image.set(frameBit.elements[0], random.bounded(2) == 1);
  }
  for (auto& digit : image.digits) {
    digit.shown = kShowable[random.bounded(static_cast<int>(kShowable.size()))];
    digit.flag = digit.shown != ' ' && random.bounded(2) == 1;
  }
  return image;
}

// What the panel must look like after decoding the frame of `image`.
PanelState expectedPanel(const sim::DisplayImage& image, const PanelState& before) {
  PanelState panel = before;
  panel.darkenIndicators();
  for (const auto& frameBit : display::layout::kFrameBits) {
    for (std::size_t i = 0; i < frameBit.elementCount; ++i) {
      panel.setLit(frameBit.elements[i], image.isSet(frameBit.elements[0]));
    }
  }
  for (const auto& source : display::layout::kDigitSources) {
    const sim::DigitImage& digit = image.digit(source.digit);
    panel.setLit(display::element(source.digit), digit.shown != ' ');
    if (digit.shown != ' ') {
      panel.setDigitText(source.digit, digit.shown);
    }
    for (std::size_t i = 0; i < source.flagElementCount; ++i) {
      panel.setLit(source.flagElements[i], digit.flag);
    }
  }
  const bool voltage = image.isSet(PanelElement::labdc) || image.isSet(PanelElement::labt);
  panel.setLit(PanelElement::KD, !voltage);
  panel.light(PanelElement::CONok);
  panel.darken(PanelElement::CONokN);
  panel.light(PanelElement::rsUSB);
  return panel;
}

}  // namespace

class TestSimulatedMeter : public QObject {
  Q_OBJECT

private slots:
  void frameShape() {
    const sim::Frame frame = sim::encodeFrame(sim::DisplayImage{});
    QCOMPARE(frame[20], std::uint8_t{0x0D});
    QCOMPARE(frame[21], std::uint8_t{0x0A});
    const std::string text = sim::frameText(frame);
    QCOMPARE(text.size(), std::size_t{44});
    QCOMPARE(bytes(text), QByteArray(40, '0') + "0D0A");
  }

  // The encoder is the decoder's exact inverse: whatever the meter shows comes back on the panel,
  // frame after frame, over the state the previous frame left.
  void roundTrip() {
    QRandomGenerator random(20261210);
    PanelState panel = PanelState::startupLook();
    display::FrameDecoder decoder(panel);
    for (int i = 0; i < 5000; ++i) {
      const sim::DisplayImage image = randomImage(random);
      const PanelState expected = expectedPanel(image, panel);
      decoder.decodeFrame(sim::frameText(sim::encodeFrame(image)));
      if (!(panel == expected)) {
        QFAIL(qPrintable(QString("frame %1 decoded differently: %2").arg(i).arg(sim::frameText(sim::encodeFrame(image)).c_str())));
      }
    }
  }

  void valueText_data() {
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("resistance") << "523.4" << QByteArray("523.4");
    QTest::newRow("short value right-aligned") << "7.5" << QByteArray("7.5");
    QTest::newRow("negative") << "-12.05" << QByteArray("-12.05");
    QTest::newRow("overrange") << "0L" << QByteArray("0L");
    QTest::newRow("blank") << "" << QByteArray("");
  }
  void valueText() {
    QFETCH(QString, shown);
    QFETCH(QByteArray, value);
    sim::DisplayImage image;
    sim::showValue(image, shown.toStdString());
    PanelState panel = PanelState::startupLook();
    display::FrameDecoder decoder(panel);
    decoder.setDecimalSeparator(".");
    decoder.decodeFrame(sim::frameText(sim::encodeFrame(image)));
    QCOMPARE(bytes(decoder.currentValue()), value);
  }

  // The programme shows each function with the reading texts a user would log from the meter.
  void programme_data() {
    QTest::addColumn<int>("second");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QByteArray>("unit");
    QTest::newRow("500 V early") << 2 << QByteArray("IR:500V 20G\xA6\xB8") << QByteArray("Continuous") << QByteArray("M\xA6\xB8");
    QTest::newRow("500 V after a minute") << 70 << QByteArray("IR:500V 20G\xA6\xB8") << QByteArray("Continuous") << QByteArray("G\xA6\xB8");
    QTest::newRow("DC volts") << 80 << QByteArray("DCV  600V") << QByteArray("Continuous") << QByteArray("V");
    QTest::newRow("AC volts") << 95 << QByteArray("ACV  600V") << QByteArray("Continuous") << QByteArray("V");
    QTest::newRow("1000 V timed") << 108 << QByteArray("IR:1000V 40G\xA6\xB8") << QByteArray("Timed") << QByteArray("G\xA6\xB8");
    QTest::newRow("2500 V timed") << 118 << QByteArray("IR:2500 100G\xA6\xB8") << QByteArray("Timed") << QByteArray("G\xA6\xB8");
    QTest::newRow("5000 V timed") << 128 << QByteArray("IR:5000V 1000G\xA6\xB8") << QByteArray("Timed") << QByteArray("G\xA6\xB8");
    QTest::newRow("PI") << 140 << QByteArray("IR:1000V 40G\xA6\xB8") << QByteArray("PI") << QByteArray("G\xA6\xB8");
    QTest::newRow("compare good") << 152 << QByteArray("IR:500V 20G\xA6\xB8") << QByteArray("COMP:GOOD") << QByteArray("M\xA6\xB8");
    QTest::newRow("compare not good") << 162 << QByteArray("IR:500V 20G\xA6\xB8") << QByteArray("COMP:NG") << QByteArray("M\xA6\xB8");
  }
  void programme() {
    QFETCH(int, second);
    QFETCH(QByteArray, function);
    QFETCH(QByteArray, mode);
    QFETCH(QByteArray, unit);
    const sim::MeterModel meter;
    PanelState panel = PanelState::startupLook();
    display::FrameDecoder decoder(panel);
    int logRequests = 0;
    const auto at = std::chrono::seconds(second);
    if (decoder.decodeFrame(sim::frameText(sim::encodeFrame(meter.displayAt(at))))) {
      ++logRequests;
    }
    QCOMPARE(bytes(decoder.currentFunction()), function);
    QCOMPARE(bytes(decoder.currentMode()), mode);
    QCOMPARE(bytes(decoder.currentUnit()), unit);
    QCOMPARE(logRequests, 1);
    QVERIFY(panel.isLit(PanelElement::IGPower));
  }

  // Over the 500 V test the reading climbs and the bar graph follows it up its scale.
  void resistanceRises() {
    const sim::MeterModel meter;
    std::size_t lastBar = 0;
    for (int second = 1; second < 75; second += 10) {
      const sim::DisplayImage image = meter.displayAt(std::chrono::seconds(second));
      std::size_t bar = 0;
      while (bar + 1 < display::kBarSegmentCount && image.isSet(display::barSegment(bar + 1))) {
        ++bar;
      }
      QVERIFY2(bar >= lastBar, qPrintable(QString("second %1").arg(second)));
      lastBar = bar;
      QCOMPARE(image.digit(Digit::M_Time2).shown, static_cast<char>('0' + second % 10));
    }
    QVERIFY(lastBar >= 17);  // 1 GΩ and beyond
  }

  void programmeRepeats() {
    const sim::MeterModel meter;
    const auto length = sim::MeterModel::programmeLength();
    QCOMPARE(meter.displayAt(length + std::chrono::seconds(3)), meter.displayAt(std::chrono::seconds(3)));
    QCOMPARE(sim::MeterModel::sceneAt(std::chrono::seconds(80)), std::string_view("DC volts"));
  }
};

QTEST_APPLESS_MAIN(TestSimulatedMeter)
#include "tst_simulated_meter.moc"
