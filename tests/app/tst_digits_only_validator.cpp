// The interval field's filter.

#include "app/digits_only_validator.h"

#include <QtTest>

class TestDigitsOnlyValidator : public QObject {
  Q_OBJECT

private slots:
  // Typed, pasted or dropped: only the digits reach the interval field.
  void intervalFieldKeepsDigits_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("keptCursor");
    QTest::newRow("digits") << "120" << 3 << "120" << 3;
    QTest::newRow("a letter typed") << "12a" << 3 << "12" << 2;
    QTest::newRow("minus sign") << "-5" << 1 << "5" << 0;
    QTest::newRow("decimal point in the middle") << "1.5" << 2 << "15" << 1;
    QTest::newRow("pasted text with blanks") << " 3 0 s" << 6 << "30" << 2;
    QTest::newRow("other scripts' digits") << "\u0663" << 1 << "" << 0;
  }
  void intervalFieldKeepsDigits() {
    QFETCH(QString, input);
    QFETCH(int, cursor);
    QFETCH(QString, kept);
    QFETCH(int, keptCursor);
    qm::app::DigitsOnlyValidator validator;
    QCOMPARE(validator.validate(input, cursor), QValidator::Acceptable);
    QCOMPARE(input, kept);
    QCOMPARE(cursor, keptCursor);
  }
};

QTEST_MAIN(TestDigitsOnlyValidator)
#include "tst_digits_only_validator.moc"
