#include "core/ansi_text.h"

#include <QtTest>

class TestAnsiText : public QObject {
  Q_OBJECT

private slots:
  void conversions_data() {
    QTest::addColumn<QByteArray>("ansi");
    QTest::addColumn<QString>("unicode");
    QTest::newRow("ascii") << QByteArray("DCV  600V") << QString("DCV  600V");
    QTest::newRow("ohm") << QByteArray("IR:5000V 1000G\xA6\xB8") << QString::fromUtf8("IR:5000V 1000GΩ");
    QTest::newRow("ohm twice") << QByteArray("\xA6\xB8\xA6\xB8") << QString::fromUtf8("ΩΩ");
    QTest::newRow("chinese") << QByteArray("\xB5\xE7\xD7\xE8 M\xA6\xB8") << QString::fromUtf8("电阻 MΩ");
    QTest::newRow("empty") << QByteArray() << QString();
  }
  void conversions() {
    QFETCH(QByteArray, ansi);
    QFETCH(QString, unicode);
    QCOMPARE(qm::fromAnsi(ansi.toStdString()), unicode);
    std::string back = "untouched";
    QVERIFY(qm::toAnsi(unicode, back));
    QCOMPARE(QByteArray::fromStdString(back), ansi);
  }

  void charactersWithoutAnsiForm() {
    std::string out = "untouched";
    QVERIFY(!qm::toAnsi(QString::fromUtf8("A\xF0\x9F\x98\x80"), out));  // an emoji
    QVERIFY(!qm::toAnsi(QString::fromUtf8("\xE0\xB8\x81"), out));        // Thai
    QCOMPARE(out, std::string("untouched"));
  }

  void brokenBytesBecomeReplacementCharacters() {
    const QString text = qm::fromAnsi("A\xFF");
    QCOMPARE(text.at(0), QChar('A'));
    QCOMPARE(text.size(), 2);
    QCOMPARE(text.at(1), QChar(QChar::ReplacementCharacter));
  }
};

QTEST_GUILESS_MAIN(TestAnsiText)
#include "tst_ansi_text.moc"
