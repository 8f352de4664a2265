// qm-cli report as other tools run it: exit status, messages, and the files written.

#include "log/golden_files.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr char kPrevious[] = "previous contents";
// Two rows, a decimal comma and the ohm sign, then a line that is not a row.
const QByteArray kTable = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n"
                          "1\t14:03:27\t523,4\tM\xA6\xB8\tIR:500V 20G\xA6\xB8\tContinuous\r\n"
                          "2\t14:03:28\t1.5\tG\xA6\xB8\tIR:1000V 40G\xA6\xB8\tTimed\r\n";
const QByteArray kBadLine = "3\tlunch time\t1.0\r\n";
// Volts only: no insulation test run.
const QByteArray kVolts = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n"
                          "1\t14:03:27\t230\tV\tACV  600V\tContinuous\r\n";

struct Run {
  int status;
  QString out;
  QString err;
};

}  // namespace

class TestReportCommand : public QObject {
  Q_OBJECT

private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    writeFile(path("table.txt"), kTable);
    writeFile(path("bad.txt"), kTable + kBadLine);
    writeFile(path("empty.txt"), "");
    writeFile(path("volts.txt"), kVolts);
    writeFile(path("bad.xml"), "<?xml version=\"1.0\"?><DATAPACKET/>");
    writeFile(path("notes.png"), "not a picture");
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QVERIFY(picture.save(path("graph.bmp"), "BMP"));
    for (const char* name : {"out.csv", "out.txt", "out.html", "out.pdf"}) {
      writeFile(path(name), kPrevious);
    }
  }

  void writes_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QByteArray>("start");  // of the file written
    QTest::addColumn<QByteArray>("contains");
    QTest::newRow("data report as CSV")
        << QStringList{"table.txt", "out.csv"} << "out.csv: 1 page, 2 rows\n"
        << QByteArray("No,Time,Value,Unit,Function,Remark\r\n1,14:03:27,\"523,4\",M\xCE\xA9,IR:500V 20G\xCE\xA9,Continuous\r\n"
                      "2,14:03:28,1.5,G\xCE\xA9,IR:1000V 40G\xCE\xA9,Timed\r\n")
        << QByteArray();
    QTest::newRow("store report as text") << QStringList{"table.txt", "out.txt", "--layout", "store"} << "out.txt: 1 page, 0 rows\n"
                                          << QByteArray("QM310 STORE DATA REPORT\r\nPrint Date: ")
                                          << QByteArray("\r\n\r\nNo           Time      Value                 Unit                  V_Range               I_Range\r\n");
    QTest::newRow("data+graph report as HTML")
        << QStringList{"--picture", "graph.bmp", "table.txt", "out.html", "--layout", "data+graph"}
        << "out.html: 1 page, 2 rows\n" << QByteArray("<!DOCTYPE html>\n") << QByteArray("<img alt=\"graph\"");
    // The table's two rows are two runs: the function changes between them.
    QTest::newRow("insulation report") << QStringList{"table.txt", "out.pdf", "--layout", "insulation"}
                                       << "out.pdf: 2 pages, 2 runs\n" << QByteArray("%PDF-")
                                       << QByteArray("/Count 2");
    QTest::newRow("graph report as PDF") << QStringList{"table.txt", "out.pdf", "--layout", "graph", "--picture", "graph.bmp"}
                                         << "out.pdf: 1 page, 0 rows\n" << QByteArray("%PDF-") << QByteArray("/Subtype /Image");
  }

  void writes() {
    QFETCH(QStringList, args);
    QFETCH(QString, out);
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, contains);
    const Run run = report(args);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, out);
    QCOMPARE(run.status, 0);
    const QByteArray written = readAll(path(out.section(':', 0, 0)));
    QVERIFY2(written.startsWith(start), written.left(200).constData());
    QVERIFY(written.contains(contains));
    QVERIFY(written.endsWith(start.startsWith("%PDF") ? "%%EOF\n" : "\n"));
  }

  // What went wrong, naming the file; the output file is left as it was.
  void failures_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("err");
    // The table file's messages are those of the loader, which the table file tests pin down.
    QTest::newRow("missing table") << QStringList{"missing.txt", "out.csv"}
                                   << "qm-cli report: %1/missing.txt: the file cannot be opened: ";
    QTest::newRow("a line that is not a row")
        << QStringList{"bad.txt", "out.pdf"} << "qm-cli report: %1/bad.txt: line 4: \"lunch time\" is not a time of day";
    QTest::newRow("an empty table file") << QStringList{"empty.txt", "out.txt"} << "qm-cli report: %1/empty.txt: line 1: ";
    QTest::newRow("not a data packet") << QStringList{"bad.xml", "out.html"} << "qm-cli report: %1/bad.xml: line 1, column ";
    QTest::newRow("an unreadable picture")
        << QStringList{"table.txt", "out.pdf", "--layout", "graph", "--picture", "notes.png"}
        << "qm-cli report: Cannot load the picture \"%1/notes.png\": ";
    QTest::newRow("no insulation test run") << QStringList{"volts.txt", "out.pdf", "--layout", "insulation"}
                                            << "qm-cli report: %1/volts.txt: no insulation test run in the table";
    QTest::newRow("an output folder that is not there")
        << QStringList{"table.txt", "none/out.csv"} << "qm-cli report: Cannot write \"%1/none/out.csv\": ";
  }

  void failures() {
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    const Run run = report(args);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.startsWith(err.arg(dir_->path())), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    for (const char* name : {"out.csv", "out.txt", "out.html", "out.pdf"}) {
      QCOMPARE(readAll(path(name)), QByteArray(kPrevious));
    }
  }

  void usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("why");
    QTest::newRow("no files") << QStringList{} << "expected a table file and an output file";
    QTest::newRow("one file") << QStringList{"table.txt"} << "expected a table file and an output file";
    QTest::newRow("unknown format") << QStringList{"table.txt", "out.xls"} << "cannot tell the format of";
    QTest::newRow("unknown layout") << QStringList{"table.txt", "out.pdf", "--layout", "chart"}
                                    << "--layout takes data, store, graph, data+graph or insulation";
    QTest::newRow("layout without its name") << QStringList{"table.txt", "out.pdf", "--layout"}
                                             << "--layout takes data, store, graph, data+graph or insulation";
    QTest::newRow("insulation report as CSV") << QStringList{"table.txt", "out.csv", "--layout", "insulation"}
                                              << "the insulation layout is written as PDF only";
    QTest::newRow("picture for the insulation report")
        << QStringList{"table.txt", "out.pdf", "--layout", "insulation", "--picture", "graph.bmp"}
        << "--picture is only for the graph and data+graph layouts";
    QTest::newRow("graph without picture") << QStringList{"table.txt", "out.pdf", "--layout", "graph"}
                                           << "the graph layouts need --picture FILE";
    QTest::newRow("picture for the data report") << QStringList{"table.txt", "out.pdf", "--picture", "graph.bmp"}
                                                 << "--picture is only for the graph and data+graph layouts";
    QTest::newRow("picture without its file") << QStringList{"table.txt", "out.pdf", "--layout", "graph", "--picture"}
                                              << "--picture needs a picture file";
    QTest::newRow("unknown option") << QStringList{"table.txt", "out.pdf", "--landscape"} << "unknown option '--landscape'";
  }

  void usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, why);
    const Run run = report(args);
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.startsWith("qm-cli report: " + why), qPrintable(run.err));
    QVERIFY2(run.err.contains("usage: qm-cli report TABLEFILE OUT [--layout data|store|graph|data+graph|insulation] [--picture FILE]\n"),
             qPrintable(run.err));
  }

  void help() {
    const Run run = report({"--help"});
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.startsWith("usage: qm-cli report TABLEFILE OUT"));
    QCOMPARE(run.err, QString());
  }

private:
  QString path(const QString& name) const { return dir_->filePath(name); }

  Run report(const QStringList& args) const {
    QStringList fullArgs{"report"};
    for (const QString& arg : args) {
      fullArgs << (arg.startsWith("-") || arg == "graph" || arg == "store" || arg == "data+graph" || arg == "insulation" || arg == "chart" ? arg : path(arg));
    }
    QProcess cli;
    // A 24-hour locale: the table's times are "HH:mm:ss".
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", "C");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    // Else Qt warns on standard error about a missing runtime folder, where the messages go.
    environment.insert("XDG_RUNTIME_DIR", dir_->path());
    cli.setProcessEnvironment(environment);
    cli.start(QM_CLI_PATH, fullArgs);
    if (!cli.waitForFinished(60000)) {
      return {-1, {}, "did not finish"};
    }
    QString out = QString::fromUtf8(cli.readAllStandardOutput());
    return {cli.exitCode(), out.replace(dir_->path() + '/', QString()), QString::fromUtf8(cli.readAllStandardError())};
  }

  std::unique_ptr<QTemporaryDir> dir_;
};

QTEST_GUILESS_MAIN(TestReportCommand)
#include "tst_report_command.moc"
