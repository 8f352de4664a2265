// A logged row read as a measurement: the value text as a number, the unit text as its base unit.

#include "core/reading_quantity.h"

#include <QtTest>

#include <optional>

Q_DECLARE_METATYPE(std::optional<double>)

class TestReadingQuantity : public QObject {
  Q_OBJECT

private slots:
  // Every unit text the decoder writes, and texts that only look like one.
  void baseUnit_data() {
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<bool>("known");
    QTest::addColumn<bool>("resistance");
    QTest::addColumn<double>("factor");
    QTest::newRow("volts") << QByteArray("V") << true << false << 1.0;
    QTest::newRow("ohms") << QByteArray("\xA6\xB8") << true << true << 1.0;
    QTest::newRow("megohms") << QByteArray("M\xA6\xB8") << true << true << 1e6;
    QTest::newRow("gigohms") << QByteArray("G\xA6\xB8") << true << true << 1e9;
    QTest::newRow("empty") << QByteArray() << false << false << 0.0;
    QTest::newRow("NULL of a text load") << QByteArray("NULL") << false << false << 0.0;
    QTest::newRow("ohm sign in UTF-8") << QByteArray("M\xCE\xA9") << false << false << 0.0;
    QTest::newRow("lower-case v") << QByteArray("v") << false << false << 0.0;
    QTest::newRow("trailing blank") << QByteArray("G\xA6\xB8 ") << false << false << 0.0;
  }
  void baseUnit() {
    QFETCH(QByteArray, unit);
    QFETCH(bool, known);
    QFETCH(bool, resistance);
    QFETCH(double, factor);
    const std::optional<qm::BaseUnit> base = qm::baseUnitOf(unit.toStdString());
    QCOMPARE(base.has_value(), known);
    if (known) {
      QCOMPARE(base->quantity == qm::Quantity::Resistance, resistance);
      QCOMPARE(base->factor, factor);
    }
  }

  void readingNumber_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("separator");
    QTest::addColumn<std::optional<double>>("number");
    QTest::newRow("point") << QByteArray("76.94") << QByteArray(".") << std::optional(76.94);
    QTest::newRow("comma") << QByteArray("76,94") << QByteArray(",") << std::optional(76.94);
    QTest::newRow("negative") << QByteArray("-600") << QByteArray(".") << std::optional(-600.0);
    QTest::newRow("zeros") << QByteArray("0000") << QByteArray(".") << std::optional(0.0);
    QTest::newRow("no separator in locale") << QByteArray("1234") << QByteArray() << std::optional(1234.0);
    QTest::newRow("two-byte separator") << QByteArray("1\xA1\xA4" "5") << QByteArray("\xA1\xA4") << std::optional(1.5);
    QTest::newRow("other locale's point") << QByteArray("76.94") << QByteArray(",") << std::optional<double>();
    QTest::newRow("letter L") << QByteArray("L") << QByteArray(".") << std::optional<double>();
    QTest::newRow("dash") << QByteArray("-") << QByteArray(".") << std::optional<double>();
    QTest::newRow("empty") << QByteArray() << QByteArray(".") << std::optional<double>();
    QTest::newRow("two separators") << QByteArray("1.2.3") << QByteArray(".") << std::optional<double>();
    QTest::newRow("exponent") << QByteArray("1e5") << QByteArray(".") << std::optional<double>();
    QTest::newRow("blank") << QByteArray(" 12") << QByteArray(".") << std::optional<double>();
    QTest::newRow("separator alone") << QByteArray(".") << QByteArray(".") << std::optional<double>();
  }
  void readingNumber() {
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, separator);
    QTEST(qm::readingNumber(value.toStdString(), separator.toStdString()), "number");
  }
};

QTEST_APPLESS_MAIN(TestReadingQuantity)
#include "tst_reading_quantity.moc"
