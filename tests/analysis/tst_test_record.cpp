// The test record's side file: written aside and renamed into place, read back whole or not at
// all, and kept in step with the table file by the record keeper.

#include "analysis/test_record.h"
#include "analysis/test_record_keeper.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using qm::analysis::TestRecord;

Q_DECLARE_METATYPE(std::optional<double>)

namespace {

TestRecord sampleRecord() {
  TestRecord record;
  record.assetId = QStringLiteral("M-104");
  record.assetDescription = QStringLiteral("Cooling water pump motor, 6.6 kV");
  record.site = QStringLiteral("Pumphouse 2");
  record.operatorName = QStringLiteral("J. Müller");
  record.ambientCelsius = 21.5;
  record.humidityPercent = 60;
  record.insulationClass = QStringLiteral("F");
  record.notes = QStringLiteral("Line 1\nline 2 \"quoted\" Ω");
  return record;
}

void writeFile(const QString& name, const QByteArray& bytes) {
  QFile file(name);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray contents(const QString& name) {
  QFile file(name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestTestRecord : public QObject {
  Q_OBJECT

private slots:
  void roundTrip() {
    QTemporaryDir dir;
    const QString table = dir.filePath("readings.xls");
    QCOMPARE(qm::analysis::testRecordFileName(table), dir.filePath("readings.xls.test.json"));
    QCOMPARE(qm::analysis::writeTestRecord(table, sampleRecord()), QString());
    const qm::analysis::TestRecordRead read = qm::analysis::readTestRecord(table);
    QCOMPARE(read.error, QString());
    QVERIFY(read.record);
    QCOMPARE(*read.record, sampleRecord());
    QVERIFY(contents(dir.filePath("readings.xls.test.json")).contains("\"ambient_temperature_c\": 21.5"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"readings.xls.test.json"});  // nothing left aside
  }

  void noSideFile() {
    QTemporaryDir dir;
    const qm::analysis::TestRecordRead read = qm::analysis::readTestRecord(dir.filePath("readings.xml"));
    QVERIFY(!read.record);
    QCOMPARE(read.error, QString());
  }

  void badSideFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("why");
    QTest::newRow("not JSON") << QByteArray("asset M-104") << "not JSON";
    QTest::newRow("cut short") << QByteArray("{\"site\": \"Pump") << "not JSON";
    QTest::newRow("an array") << QByteArray("[1, 2]") << "not a JSON object";
    QTest::newRow("a number for a text") << QByteArray("{\"site\": 12}") << "\"site\" must be a text";
    QTest::newRow("a text for a number") << QByteArray("{\"ambient_temperature_c\": \"20\"}")
                                         << "\"ambient_temperature_c\" must be a number from -50 to 150, or null";
    QTest::newRow("too hot") << QByteArray("{\"ambient_temperature_c\": 151}") << "from -50 to 150";
    QTest::newRow("humidity over 100 %") << QByteArray("{\"humidity_percent\": 100.5}") << "from 0 to 100";
    QTest::newRow("larger than 1 MB") << QByteArray("{\"notes\": \"") + QByteArray(1 << 20, 'x') + "\"}" << "larger than 1 MB";
  }
  void badSideFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString table = dir.filePath("readings.txt");
    writeFile(qm::analysis::testRecordFileName(table), bytes);
    const qm::analysis::TestRecordRead read = qm::analysis::readTestRecord(table);
    QVERIFY(!read.record);
    QVERIFY2(read.error.startsWith(dir.filePath("readings.txt.test.json") + ": ") && read.error.contains(why), qPrintable(read.error));
  }

  // Unknown members and nulls are no error: a later version may add fields.
  void lenientWhereItIsSafe() {
    QTemporaryDir dir;
    const QString table = dir.filePath("readings.txt");
    writeFile(qm::analysis::testRecordFileName(table), "{\"site\": \"Yard\", \"humidity_percent\": null, \"voltage\": 1000}");
    const qm::analysis::TestRecordRead read = qm::analysis::readTestRecord(table);
    QVERIFY(read.record);
    QCOMPARE(read.record->site, QString("Yard"));
    QVERIFY(!read.record->humidityPercent);
  }

  // A side file that cannot be written leaves the one before as it was.
  void failedWriteKeepsTheOldFile() {
    QTemporaryDir dir;
    const QString table = dir.filePath("readings.txt");
    QCOMPARE(qm::analysis::writeTestRecord(table, sampleRecord()), QString());
    const QByteArray before = contents(qm::analysis::testRecordFileName(table));
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    TestRecord changed = sampleRecord();
    changed.site = QStringLiteral("elsewhere");
    const QString error = qm::analysis::writeTestRecord(table, changed);
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    if (QFileInfo(dir.path()).isWritable() && error.isEmpty()) {
      QSKIP("the folder stays writable (running as root)");
    }
    QVERIFY2(error.startsWith("cannot write " + qm::analysis::testRecordFileName(table)), qPrintable(error));
    QCOMPARE(contents(qm::analysis::testRecordFileName(table)), before);
  }

  void measurementText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<std::optional<double>>("value");
    QTest::newRow("blank") << "  " << true << std::optional<double>();
    QTest::newRow("whole") << "20" << true << std::optional(20.0);
    QTest::newRow("point") << "21.5" << true << std::optional(21.5);
    QTest::newRow("negative") << "-5" << true << std::optional(-5.0);
    QTest::newRow("lowest") << "-50" << true << std::optional(-50.0);
    QTest::newRow("below the lowest") << "-50.1" << false << std::optional(7.0);
    QTest::newRow("above the highest") << "150.5" << false << std::optional(7.0);
    QTest::newRow("letters") << "warm" << false << std::optional(7.0);
    QTest::newRow("unit typed") << "20 °C" << false << std::optional(7.0);
    QTest::newRow("infinity") << "inf" << false << std::optional(7.0);
  }
  void measurementText() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    std::optional<double> value = 7.0;
    QCOMPARE(qm::analysis::parseMeasurement(text, -50, 150, value), accepted);
    QTEST(value, "value");
  }

  // The keeper writes the record beside the table's file once there is one, brings a file's own
  // record when it is opened, and never lets an old side file speak for a new table.
  void keeperFollowsTheTableFile() {
    QTemporaryDir dir;
    const QString first = dir.filePath("first.xml");
    const QString second = dir.filePath("second.xls");
    qm::analysis::TestRecordKeeper keeper;

    QCOMPARE(keeper.setRecord(sampleRecord()), QString());
    QVERIFY(QDir(dir.path()).isEmpty());  // no table file yet: kept only
    QCOMPARE(keeper.tableSaved(first), QString());
    QCOMPARE(*qm::analysis::readTestRecord(first).record, sampleRecord());

    TestRecord changed = sampleRecord();
    changed.ambientCelsius.reset();
    QCOMPARE(keeper.setRecord(changed), QString());
    QCOMPARE(*qm::analysis::readTestRecord(first).record, changed);  // written at once

    QCOMPARE(keeper.tableOpened(second), QString());  // no side file: an empty record
    QVERIFY(keeper.record().isEmpty());
    QCOMPARE(keeper.tableOpened(first), QString());
    QCOMPARE(keeper.record(), changed);

    // Saving an empty record over a table that had one removes the stale side file.
    QCOMPARE(keeper.tableOpened(second), QString());
    QCOMPARE(keeper.tableSaved(first), QString());
    QVERIFY(!QFile::exists(qm::analysis::testRecordFileName(first)));

    writeFile(qm::analysis::testRecordFileName(second), "{");
    QVERIFY(keeper.tableOpened(second).contains("not JSON"));
    QVERIFY(keeper.record().isEmpty());
    QCOMPARE(keeper.tableFileName(), second);
  }
};

QTEST_GUILESS_MAIN(TestTestRecord)
#include "tst_test_record.moc"
