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

  // The ten-minute PI test after the compare test: a 1000 V reading in PI mode that climbs steeply,
  // then slowly, holds its ten-minute reading for a second, and ends on the meter's ratio with no
  // unit lit. Worked out on paper: with a leakage share g = 1 - (1 - 1/3.2) / (1 - 10^-0.6) =
  // 0.08188, R(t) = 2 GΩ / (g + (1 - g) (t / 60 s)^-0.6), so DAR = R60/R30 = g + (1 - g) 2^0.6 = 1.4735.
  void polarisationTest_data() {
    QTest::addColumn<double>("second");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("unitLit");
    QTest::addColumn<QString>("timer");
    QTest::newRow("start") << 0.0 << QByteArray("122.6") << QByteArray("Labmo1") << "0000";
    QTest::newRow("one minute") << 60.0 << QByteArray("2.000") << QByteArray("Labgo1") << "0100";
    QTest::newRow("ten minutes") << 600.0 << QByteArray("6.400") << QByteArray("Labgo1") << "1000";
    QTest::newRow("held a second") << 600.9 << QByteArray("6.400") << QByteArray("Labgo1") << "1000";
    QTest::newRow("the meter's PI") << 601.5 << QByteArray("3.20") << QByteArray() << "1000";
  }
  void polarisationTest() {
    QFETCH(double, second);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, unitLit);
    QFETCH(QString, timer);
    const sim::MeterModel meter;
    const auto at = sim::MeterModel::polarisationTestStart() + std::chrono::milliseconds(static_cast<int>(second * 1000));
    PanelState panel = PanelState::startupLook();
    display::FrameDecoder decoder(panel);
    decoder.setDecimalSeparator(".");
    QVERIFY(decoder.decodeFrame(sim::frameText(sim::encodeFrame(meter.displayAt(at)))));
    QCOMPARE(sim::MeterModel::sceneAt(at), std::string_view("PI test 1000 V"));
    QCOMPARE(bytes(decoder.currentValue()), value);
    QCOMPARE(bytes(decoder.currentFunction()), QByteArray("IR:1000V 40G\xA6\xB8"));
    QCOMPARE(bytes(decoder.currentMode()), QByteArray("PI"));
    QByteArray lit;
    for (const PanelElement unit : {PanelElement::Labv, PanelElement::Labo, PanelElement::Labmo1, PanelElement::Labgo1}) {
      lit += panel.isLit(unit) ? bytes(display::name(unit)) : QByteArray();
    }
    QCOMPARE(lit, unitLit);
    QString shown;
    for (const Digit digit : {Digit::H_Time1, Digit::H_Time2, Digit::M_Time1, Digit::M_Time2}) {
      shown += QLatin1Char(panel.digitText(digit));
    }
    QCOMPARE(shown, timer);
  }

  void polarisationTestCurve() {
    const auto ohms = &sim::MeterModel::polarisationTestOhms;
    QCOMPARE(ohms(600) / ohms(60), sim::MeterModel::kPolarisationTestIndex);
    QVERIFY(std::abs(ohms(60) / ohms(30) - 1.4735) < 1e-4);
    // Steep at first, slow after: the first minute gains more than the nine after it.
    QVERIFY(ohms(60) / ohms(1) > 3 * ohms(600) / ohms(60));
    for (int second = 1; second <= 600; ++second) {
      QVERIFY(ohms(second) > ohms(second - 1));
    }
    // The scenes before it keep their places.
    QCOMPARE(sim::MeterModel::polarisationTestStart(), std::chrono::milliseconds(166'000));
    QCOMPARE(sim::MeterModel::sceneAt(std::chrono::milliseconds(165'999)), std::string_view("compare"));
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
