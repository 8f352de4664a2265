// qm-cli analyse as other tools run it: the runs of a table file with their indices and verdict,
// as lines or as JSON, the test record beside the table, and the errors of bad files and usage.

#include "analysis/test_record.h"
#include "cli/analyse_command.h"
#include "core/current_reading.h"
#include "log/table_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sstream>

namespace {

struct Run {
  int status;
  QString out;
  QString err;
};

Run analyse(const QStringList& args) {
  std::vector<std::string> argv;
  for (const QString& arg : args) {
    argv.push_back(arg.toStdString());
  }
  std::ostringstream out;
  std::ostringstream err;
  const int status = qm::cli::runAnalyse(argv, out, err);
  return {status, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
}

void addRow(qm::log::ReadingTable& table, int no, int ms, const char* value, std::string_view unit,
            std::string_view function, std::string_view mode) {
  qm::log::RowFields row;
  row.No = no;
  row.Time = 10 * 3'600'000 + ms;
  row.text(qm::log::TextField::Value) = value;
  row.text(qm::log::TextField::Unit) = unit;
  row.text(qm::log::TextField::V_Range) = function;
  row.text(qm::log::TextField::I_Range) = mode;
  table.appendAdded(row);
}

// Two runs worked out on paper, with a voltage reading between them.
// Run 1, 500 V, rows 1-16 every 5 s up to 75 s: R15 800 M, R30 1 G, R60 1.2 G exactly; no PI;
//   DAR 1.2/1 = 1.20; at 30 °C R60 at 40 °C = 1.2 G / 2 = 600 M.
// Run 2, PI test at 1000 V, rows 18-138 every 5 s up to 600 s, then the meter's ratio 3.00 as
//   row 139 at 600.4 s: R15 1 G, R30 1.5 G, R60 2 G, R600 6 G; DAR 2/1.5 = 1.33, PI 6/2 = 3.00;
//   at 30 °C R60 at 40 °C = 1 G.
void fillTwoRuns(qm::log::ReadingTable& table) {
  const char* spot[] = {"400.0", "600.0", "700.0", "800.0", "900.0", "950.0", "1.000", "1.050",
                        "1.080", "1.100", "1.150", "1.180", "1.200", "1.220", "1.240", "1.250"};
  for (int i = 0; i < 16; ++i) {
    addRow(table, i + 1, i * 5000, spot[i], i < 6 ? qm::unit::kMegaOhm : qm::unit::kGigaOhm, qm::function::kInsulation500V,
           qm::mode::kContinuous);
  }
  addRow(table, 17, 100'000, "230.1", qm::unit::kVolt, qm::function::kDcVolts, qm::mode::kContinuous);
  const int start = 200'000;
  for (int i = 0; i <= 120; ++i) {
    const int second = i * 5;
    const char* value = second <= 15 ? "1.000" : second <= 30 ? "1.500" : second <= 60 ? "2.000" : second < 600 ? "4.000" : "6.000";
    addRow(table, 18 + i, start + second * 1000, value, qm::unit::kGigaOhm, qm::function::kInsulation1000V,
           qm::mode::kPolarisationIndex);
  }
  addRow(table, 139, start + 600'400, "3.00", qm::unit::kGigaOhm, qm::function::kInsulation1000V, qm::mode::kPolarisationIndex);
}

QString saveTable(const QTemporaryDir& dir, const QString& name, const qm::log::ReadingTable& table) {
  const QString path = dir.filePath(name);
  const qm::log::TimeOfDayFormat format = qm::log::TimeOfDayFormat::systemLongTime();
  if (!qm::log::saveTableToFile(table, path, format).ok) {
    qFatal("cannot write the fixture");
  }
  return path;
}

QString twoRunsFile(const QTemporaryDir& dir) {
  qm::log::ReadingTable table;
  fillTwoRuns(table);
  return saveTable(dir, "two.xml", table);
}

void writeFile(const QString& name, const QByteArray& bytes) {
  QFile file(name);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), bytes.size());
}

QJsonArray runsOf(const Run& run) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
  return error.error == QJsonParseError::NoError ? document.object().value("runs").toArray() : QJsonArray();
}

}  // namespace

class TestAnalyseCommand : public QObject {
  Q_OBJECT

private slots:
  void jsonRuns() {
    QTemporaryDir dir;
    const QString table = twoRunsFile(dir);
    const Run run = analyse({table, "--json", "--temperature", "30"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QString());
    const QJsonArray runs = runsOf(run);
    QCOMPARE(runs.size(), 2);

    const QJsonObject spot = runs[0].toObject();
    QCOMPARE(spot.keys(), (QStringList{"dar", "first_no", "function", "last_no", "pi", "r15", "r30", "r60", "r600",
                                       "r60_40c", "reasons", "seconds", "verdict"}));
    QCOMPARE(spot["first_no"].toInt(), 1);
    QCOMPARE(spot["last_no"].toInt(), 16);
    QCOMPARE(spot["function"].toString(), QString::fromUtf8("IR:500V 20GΩ"));
    QCOMPARE(spot["seconds"].toDouble(), 75.0);
    QCOMPARE(spot["r15"].toDouble(), 800e6);
    QCOMPARE(spot["r30"].toDouble(), 1e9);
    QCOMPARE(spot["r60"].toDouble(), 1.2e9);
    QVERIFY(spot["r600"].isNull());
    QCOMPARE(spot["dar"].toDouble(), 1.2);
    QVERIFY(spot["pi"].isNull());
    QCOMPARE(spot["r60_40c"].toDouble(), 600e6);
    QCOMPARE(spot["verdict"].toString(), QString("QUESTIONABLE"));
    QCOMPARE(spot["reasons"].toArray().size(), 3);
    QCOMPARE(spot["reasons"].toArray()[1].toString(), QString("no PI: the run ends at 75.0 s, before 600 s"));

    const QJsonObject pi = runs[1].toObject();
    QCOMPARE(pi["first_no"].toInt(), 18);
    QCOMPARE(pi["last_no"].toInt(), 139);
    QCOMPARE(pi["seconds"].toDouble(), 600.4);
    QCOMPARE(pi["r15"].toDouble(), 1e9);
    QCOMPARE(pi["r30"].toDouble(), 1.5e9);
    QCOMPARE(pi["r60"].toDouble(), 2e9);
    QCOMPARE(pi["r600"].toDouble(), 6e9);  // the meter's ratio after it is no reading
    QCOMPARE(pi["dar"].toDouble(), 2.0 / 1.5);
    QCOMPARE(pi["pi"].toDouble(), 3.0);
    QCOMPARE(pi["r60_40c"].toDouble(), 1e9);
    QCOMPARE(pi["verdict"].toString(), QString("PASS"));
  }

  void lines() {
    QTemporaryDir dir;
    const QString table = twoRunsFile(dir);
    const Run run = analyse({"--temperature", "30", table});
    QCOMPARE(run.status, 0);
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QString::fromUtf8("1-16\tIR:500V 20GΩ\t75.0 s\tR15 800.0 MΩ\tR30 1.000 GΩ\tR60 1.200 GΩ\tR600 -\t"
                                         "DAR 1.20\tPI -\tR60 at 40 °C 600.0 MΩ\tQUESTIONABLE\t"
                                         "R60 at 40 °C is 600.0 MΩ, at least the minimum of 100.0 MΩ for form-wound windings; "
                                         "no PI: the run ends at 75.0 s, before 600 s; "
                                         "DAR (R60/R30) is 1.20, below the guide value 1.25"));
    QCOMPARE(lines[1], QString::fromUtf8("18-139\tIR:1000V 40GΩ\t600.4 s\tR15 1.000 GΩ\tR30 1.500 GΩ\tR60 2.000 GΩ\tR600 6.000 GΩ\t"
                                         "DAR 1.33\tPI 3.00\tR60 at 40 °C 1.000 GΩ\tPASS\t"
                                         "R60 at 40 °C is 1.000 GΩ, at least the minimum of 100.0 MΩ for form-wound windings; "
                                         "PI is 3.00, at least the minimum of 2.0 for classes B, F, H (no class given); "
                                         "DAR (R60/R30) is 1.33, at least the guide value 1.25"));
  }

  // The test record beside the table gives the temperature and the class; --temperature wins
  // over the record's; without either there is no verdict.
  void temperatureAndClass_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QJsonValue>("r60At40C");
    QTest::addColumn<QJsonValue>("verdict");
    QTest::addColumn<QString>("r60Reason");
    QTest::addColumn<QString>("piReason");
    QTest::addColumn<QString>("err");
    const QString minimum = " the minimum of 100.0 MΩ for form-wound windings";
    const QString classB = "PI is 3.00, at least the minimum of 2.0 for classes B, F, H (no class given)";
    QTest::newRow("none") << QByteArray() << QStringList() << QJsonValue() << QJsonValue()
                          << "no verdict: the ambient temperature is not known" << classB << QString();
    QTest::newRow("from the record") << QByteArray("{\"ambient_temperature_c\": 20, \"insulation_class\": \"A\"}")
                                     << QStringList() << QJsonValue(500e6) << QJsonValue("PASS")
                                     << "R60 at 40 °C is 500.0 MΩ, at least" + minimum << "PI is 3.00, at least the minimum of 1.5 for class A" << QString();
    QTest::newRow("argument over the record") << QByteArray("{\"ambient_temperature_c\": 20}") << QStringList{"--temperature", "40"}
                                              << QJsonValue(2e9) << QJsonValue("PASS")
                                              << "R60 at 40 °C is 2.000 GΩ, at least" + minimum << classB << QString();
    QTest::newRow("bad record is left out") << QByteArray("{\"ambient_temperature_c\": \"warm\"}") << QStringList{"--temperature", "-10"}
                                            << QJsonValue(62.5e6) << QJsonValue("FAIL")
                                            << "R60 at 40 °C is 62.50 MΩ, below" + minimum << classB
                                            << "qm-cli analyse: the test record is left out: %1.test.json: \"ambient_temperature_c\" must be a number";
  }
  void temperatureAndClass() {
    QFETCH(QByteArray, record);
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    QTemporaryDir dir;
    const QString table = twoRunsFile(dir);
    if (!record.isEmpty()) {
      writeFile(qm::analysis::testRecordFileName(table), record);
    }
    const Run run = analyse(QStringList{table, "--json"} + args);
    QCOMPARE(run.status, 0);
    QVERIFY2(err.isEmpty() ? run.err.isEmpty() : run.err.startsWith(err.arg(table)), qPrintable(run.err));
    const QJsonObject pi = runsOf(run)[1].toObject();
    QTEST(pi["r60_40c"], "r60At40C");
    QTEST(pi["verdict"], "verdict");
    QTEST(pi["reasons"].toArray()[0].toString(), "r60Reason");
    QTEST(pi["reasons"].toArray()[1].toString(), "piReason");
  }

  // Bad files end with status 1 and say what was wrong with which file; nothing is printed.
  void badTableFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("why");
    const QByteArray header = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n";
    const QByteArray time = QByteArray::fromStdString(qm::log::TimeOfDayFormat::systemLongTime().format(36'000'000));
    const QByteArray row = "\t" + time + "\t1.000\tG\xA6\xB8\tIR:500V 20G\xA6\xB8\tContinuous\r\n";
    QTest::newRow("missing") << "missing.txt" << QByteArray() << "no such file";
    QTest::newRow("a folder") << "folder.txt" << QByteArray() << "cannot be read";
    QTest::newRow("empty text file") << "empty.txt" << QByteArray("") << "empty, not even a header line";
    QTest::newRow("bad fourth line") << "bad.xls" << header + "1" + row + "2" + row + "three" + row << "line 4 is not a row of a reading table";
    QTest::newRow("not a packet") << "bad.xml" << QByteArray("<DATAPACKET Version=\"2.0\">") << "not an XML data packet of a reading table";
  }
  void badTableFiles() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (name.startsWith("folder")) {
      QVERIFY(QDir(dir.path()).mkdir(name));
    } else if (!name.startsWith("missing")) {
      writeFile(path, bytes);
    }
    const Run run = analyse({path});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, "qm-cli analyse: '" + path + "': " + why + "\n");
  }

  void usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("why");
    QTest::newRow("no file") << QStringList() << "expected a table file";
    QTest::newRow("two files") << QStringList{"a.xml", "b.xml"} << "expected one table file";
    QTest::newRow("unknown option") << QStringList{"a.xml", "--csv"} << "unknown option '--csv'";
    QTest::newRow("temperature without value") << QStringList{"a.xml", "--temperature"} << "--temperature needs degrees";
    QTest::newRow("temperature no number") << QStringList{"a.xml", "--temperature", "warm"} << "--temperature needs degrees";
    QTest::newRow("temperature with unit") << QStringList{"a.xml", "--temperature", "20C"} << "--temperature needs degrees";
    QTest::newRow("temperature too high") << QStringList{"a.xml", "--temperature", "151"} << "--temperature needs degrees";
    QTest::newRow("temperature nan") << QStringList{"a.xml", "--temperature", "nan"} << "--temperature needs degrees";
  }
  void usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, why);
    const Run run = analyse(args);
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.startsWith("qm-cli analyse: " + why) && run.err.contains("usage: qm-cli analyse TABLEFILE"), qPrintable(run.err));
  }

  // The whole path: the simulated meter's ten-minute PI test logged through the cable in
  // accelerated time, its rows stamped with the meter's time, then analysed: the model's PI of
  // 3.20 and DAR of 1.4735 (worked out in tst_simulated_meter) within 2 %.
  void simulatedPolarisationTest() {
    QTemporaryDir dir;
    const QString table = dir.filePath("pi.xml");
    QProcess log;
    log.start(QM_CLI_PATH, {"log", "--simulate", "--from", "166", "--speed", "50", "--seconds", "612", "--out", table});
    QVERIFY(log.waitForFinished(180000));
    QCOMPARE(log.exitCode(), 0);
    QVERIFY(log.readAllStandardOutput().count('\n') > 600);

    QProcess cli;
    cli.start(QM_CLI_PATH, {"analyse", table, "--json", "--temperature", "20"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    const QJsonArray runs = QJsonDocument::fromJson(cli.readAllStandardOutput()).object().value("runs").toArray();
    QCOMPARE(runs.size(), 1);
    const QJsonObject run = runs[0].toObject();
    QCOMPARE(run["function"].toString(), QString::fromUtf8("IR:1000V 40GΩ"));
    QVERIFY2(run["seconds"].toDouble() > 601, qPrintable(QString::number(run["seconds"].toDouble())));
    QVERIFY2(std::abs(run["pi"].toDouble() / 3.2 - 1) < 0.02, qPrintable(QString::number(run["pi"].toDouble())));
    QVERIFY2(std::abs(run["dar"].toDouble() / 1.4735 - 1) < 0.02, qPrintable(QString::number(run["dar"].toDouble())));
    QCOMPARE(run["verdict"].toString(), QString("PASS"));
  }

  // The installed tool: the same output, its help, and a table without runs.
  void wholeProgram() {
    QTemporaryDir dir;
    qm::log::ReadingTable voltsOnly;
    addRow(voltsOnly, 1, 0, "230.1", qm::unit::kVolt, qm::function::kDcVolts, qm::mode::kContinuous);
    const QString table = saveTable(dir, "volts.txt", voltsOnly);
    QProcess cli;
    cli.start(QM_CLI_PATH, {"analyse", table, "--json"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(QJsonDocument::fromJson(cli.readAllStandardOutput()).object(), QJsonObject({{"runs", QJsonArray()}}));
    cli.start(QM_CLI_PATH, {"analyse", "--help"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(cli.readAllStandardOutput().startsWith("usage: qm-cli analyse TABLEFILE [--temperature C] [--json]\n"));
  }
};

QTEST_GUILESS_MAIN(TestAnalyseCommand)
#include "tst_analyse_command.moc"
