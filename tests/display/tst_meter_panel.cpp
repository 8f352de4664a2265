#include "display/lcd_faces.h"
#include "display/meter_panel.h"

#include <QtTest>

#include <QImage>
#include <QPainter>

using namespace qm::display;

namespace {

QString nameOf(PanelElement e) { return QString::fromLatin1(name(e)); }

// The resistance scale printed over the bar graph: always there while KD is.
const QStringList kScaleParts = {QStringLiteral("Shape5"), QStringLiteral("Label1"), QStringLiteral("Shape14"),
                                 QStringLiteral("Label13"), QStringLiteral("Shape10"), QStringLiteral("Label17"),
                                 QStringLiteral("Shape15")};

QString digitText(const MeterPanel& panel, Digit d) {
  return panel.elementWidget(element(d))->property("text").toString();
}

// The first element that does not look as the state says, or an empty text. What a person sees:
// each element lit by the state, inside a lit bar graph where it belongs to one.
QString mismatch(const MeterPanel& panel, const PanelState& state) {
  const QWidget* kd = panel.elementWidget(PanelElement::KD);
  for (std::size_t i = 0; i < kPanelElementCount; ++i) {
    const auto e = static_cast<PanelElement>(i);
    const QWidget* widget = panel.elementWidget(e);
    const bool inBarGraph = widget->parentWidget() == kd;
    if (widget->isVisibleTo(&panel) != (state.isLit(e) && (!inBarGraph || state.isLit(PanelElement::KD)))) {
      return nameOf(e);
    }
  }
  for (const QString& part : kScaleParts) {
    if (panel.findChild<QWidget*>(part)->isVisibleTo(&panel) != state.isLit(PanelElement::KD)) {
      return part;
    }
  }
  for (std::size_t d = 0; d < kDigitCount; ++d) {
    const auto digit = static_cast<Digit>(d);
    if (digitText(panel, digit) != QString(QLatin1Char(state.digitText(digit)))) {
      return nameOf(element(digit)) + QStringLiteral(" text");
    }
  }
  return {};
}

// The dark pixels of one seven-segment character, drawn as big as the main reading.
QImage segmentInk(char c) {
  QImage image(40, 120, QImage::Format_Grayscale8);
  image.fill(Qt::white);
  QPainter painter(&image);
  drawText(painter, image.rect(), QString(QLatin1Char(c)), {Face::Segment, 107, false});
  painter.end();
  QImage ink(image.size(), QImage::Format_Mono);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      ink.setPixel(x, y, qGray(image.pixel(x, y)) < 128 ? 1 : 0);
    }
  }
  return ink;
}

bool isSubset(const QImage& smaller, const QImage& larger) {
  for (int y = 0; y < smaller.height(); ++y) {
    for (int x = 0; x < smaller.width(); ++x) {
      if (smaller.pixelIndex(x, y) == 1 && larger.pixelIndex(x, y) == 0) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

class TestMeterPanel : public QObject {
  Q_OBJECT

private slots:
  void everyElementIsANamedChild() {
    const MeterPanel panel;
    QCOMPARE(panel.objectName(), QStringLiteral("Panel4"));
    QCOMPARE(panel.size(), QSize(615, 289));
    for (std::size_t i = 0; i < kPanelElementCount; ++i) {
      const auto e = static_cast<PanelElement>(i);
      const QWidget* widget = panel.findChild<QWidget*>(nameOf(e));
      QVERIFY2(widget != nullptr, name(e).data());
      QCOMPARE(widget, panel.elementWidget(e));
      QCOMPARE(panel.findChildren<QWidget*>(nameOf(e)).size(), 1);
    }
  }

  void geometry_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("box");
    QTest::newRow("bar graph") << "KD" << "Panel4" << QRect(10, 40, 575, 63);
    QTest::newRow("first segment") << "Bar0" << "KD" << QRect(6, 14, 32, 49);
    QTest::newRow("first regular segment") << "BAR1" << "KD" << QRect(42, 26, 17, 32);
    QTest::newRow("last wide segment") << "bar22" << "KD" << QRect(378, 26, 17, 32);
    QTest::newRow("first narrow segment") << "bar23" << "KD" << QRect(394, 26, 8, 32);
    QTest::newRow("over-range segment") << "bar30" << "KD" << QRect(514, 14, 39, 47);
    QTest::newRow("scale base line") << "Shape5" << "KD" << QRect(18, 26, 533, 5);
    QTest::newRow("main digit") << "LabelC" << "ValuePanel" << QRect(184, -6, 40, 120);
    QTest::newRow("decimal point") << "Point1" << "ValuePanel" << QRect(104, 32, 12, 72);
    QTest::newRow("test voltage unit") << "Label4" << "Panel8" << QRect(151, 16, 13, 24);
    QTest::newRow("memory digit") << "stor2" << "Panel5" << QRect(32, 0, 18, 53);
    QTest::newRow("timer colon") << "T_dPoint1" << "Panel6" << QRect(71, 0, 13, 53);
    QTest::newRow("battery") << "IGPower" << "Panel4" << QRect(4, 4, 51, 25);
    QTest::newRow("link down") << "CONokN" << "Panel4" << QRect(549, 5, 32, 32);
    QTest::newRow("giga-ohm") << "Labgo1" << "Panel4" << QRect(529, 204, 45, 27);
  }

  void geometry() {
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QRect, box);
    const MeterPanel panel;
    const QWidget* widget = panel.findChild<QWidget*>(name);
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QCOMPARE(widget->geometry(), box);
  }

  void startupLook() {
    const MeterPanel panel;
    for (std::size_t i = 0; i < kPanelElementCount; ++i) {
      const auto e = static_cast<PanelElement>(i);
      QVERIFY2(panel.elementWidget(e)->isVisibleTo(&panel) == (e != PanelElement::CONok), name(e).data());
    }
    for (const Digit d : {Digit::LabelA, Digit::LabelD, Digit::H_Time1, Digit::M_Time2, Digit::stor2}) {
      QCOMPARE(digitText(panel, d), QStringLiteral("8"));
    }
    for (const Digit d : {Digit::Label3, Digit::Label7, Digit::Label10, Digit::Label9}) {
      QCOMPARE(digitText(panel, d), QStringLiteral("0"));
    }
    QCOMPARE(panel.elementWidget(PanelElement::stor1)->property("text").toString(), QStringLiteral("1"));
    QCOMPARE(mismatch(panel, PanelState::startupLook()), QString());
  }

  // A reading after the display test: most elements dark, new digits, a dark bar graph whose
  // segments stay lit; then back to the start-up look, so that every change is undone again.
  void showStateFollowsTheState() {
    MeterPanel panel;
    PanelState reading = PanelState::startupLook();
    reading.darkenIndicators();
    for (const PanelElement e : {PanelElement::Point1, PanelElement::labdc, PanelElement::Shape1, PanelElement::Labv,
                                 PanelElement::bar2, PanelElement::T_dPoint1, PanelElement::CONok}) {
      reading.light(e);
    }
    reading.darken(PanelElement::KD);
    reading.darken(PanelElement::CONokN);
    reading.darken(element(Digit::stor2));
    reading.setDigitText(Digit::LabelA, '2');
    reading.setDigitText(Digit::LabelD, '@');
    reading.setDigitText(Digit::Label9, '5');
    reading.setDigitText(Digit::stor2, '3');

    panel.showState(reading);
    QCOMPARE(mismatch(panel, reading), QString());
    QVERIFY(!panel.elementWidget(PanelElement::bar2)->isHidden());
    QCOMPARE(digitText(panel, Digit::LabelD), QStringLiteral("@"));

    panel.showState(PanelState::startupLook());
    QCOMPARE(mismatch(panel, PanelState::startupLook()), QString());
  }

  // Each digit is drawn with some, never all, of the segments of an 8; the letter L with some of
  // those of a 0, a 7 with some of those of a 3, and so on. A segment too many, or one out of
  // place, breaks one of these.
  void digitSegments_data() {
    QTest::addColumn<char>("smaller");
    QTest::addColumn<char>("larger");
    for (const char c : QByteArrayLiteral("012345679@")) {
      QTest::addRow("%c in 8", c) << c << '8';
    }
    QTest::newRow("1 in 7") << '1' << '7';
    QTest::newRow("1 in 4") << '1' << '4';
    QTest::newRow("7 in 3") << '7' << '3';
    QTest::newRow("3 in 9") << '3' << '9';
    QTest::newRow("5 in 6") << '5' << '6';
    QTest::newRow("L in 0") << '@' << '0';
    QTest::newRow("L in 6") << '@' << '6';
  }

  void digitSegments() {
    QFETCH(char, smaller);
    QFETCH(char, larger);
    const QImage small = segmentInk(smaller);
    const QImage large = segmentInk(larger);
    QVERIFY(small != segmentInk(' '));
    QVERIFY(isSubset(small, large));
    QVERIFY(small != large);
  }
};

QTEST_MAIN(TestMeterPanel)
#include "tst_meter_panel.moc"
