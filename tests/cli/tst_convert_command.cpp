// qm-cli convert as other tools run it: exit status, message and the bytes of the file written.

#include "log/golden_files.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>

namespace {

constexpr char kPrevious[] = "previous contents";
const QByteArray kTextHeader = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n";

QByteArray withoutUnitField() {
  return golden("table.xml").replace("<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>", "");
}

}  // namespace

class TestConvertCommand : public QObject {
  Q_OBJECT

private slots:
  // File names are relative to a fresh folder holding "golden.xml", "golden.txt" (the text
  // golden file, which fails at its third data line), "two.txt" (two rows), "nounit.xml" (the
  // packet golden file without its Unit field) and "out.*" files with previous contents. `err`
  // and `out` may name the folder as %1.
  void convert_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QByteArray>("out");

    QTest::newRow("packet to text") << QStringList{"golden.xml", "out.xls"} << 0 << QString() << golden("table.txt");
    QTest::newRow("packet to packet, upper-case extension")
        << QStringList{"golden.xml", "out.XML"} << 0 << QString() << golden("table.xml");
    QTest::newRow("text to packet: rows added")
        << QStringList{"two.txt", "out.xml"} << 0 << QString()
        << golden("table.xml").left(golden("table.xml").indexOf("CHANGE_LOG=")) +
               "CHANGE_LOG=\"1 0 4 2 0 4\"/></METADATA><ROWDATA>"
               "<ROW RowState=\"4\" No=\"1\" Time=\"13:05:09000\" Value=\"1.5\" Unit=\"M\xA6\xB8\"/>"
               "<ROW RowState=\"4\" No=\"2\" Time=\"00:00:00000\" Value=\"&amp;\"/></ROWDATA></DATAPACKET>";
    QTest::newRow("text to text") << QStringList{"two.txt", "out"} << 0 << QString()
                                  << kTextHeader + "1\t13:05:09\t1.5\tM\xA6\xB8\tNULL\tNULL\r\n2\t00:00:00\t&\tNULL\tNULL\tNULL\r\n";
    QTest::newRow("missing input") << QStringList{"missing.xml", "out.xls"} << 1
                                   << "qm-cli convert: %1/missing.xml: the file cannot be opened: No such file or directory\n"
                                   << QByteArray(kPrevious);
    QTest::newRow("text input failing half-way writes nothing")
        << QStringList{"golden.txt", "out.xml"} << 1
        << "qm-cli convert: %1/golden.txt: line 4: \"NULL\" is not a time of day (Time) like \"13:05:09\"\n"
        << QByteArray(kPrevious);
    QTest::newRow("packet input lacking a field")
        << QStringList{"nounit.xml", "out.xls"} << 1
        << "qm-cli convert: %1/nounit.xml: line 1, column " + QString::number(withoutUnitField().indexOf("<PARAMS") + 1) +
               ": the packet has no FIELD named \"Unit\"\n"
        << QByteArray(kPrevious);
    QTest::newRow("text output not writable")
        << QStringList{"golden.xml", "none/out.xls"} << 1
        << "qm-cli convert: cannot write '%1/none/out.xls': " + QString::fromLocal8Bit(std::strerror(ENOENT)) + "\n"
        << QByteArray("(missing)");
    QTest::newRow("packet output not writable")
        << QStringList{"golden.xml", "none/out.xml"} << 1
        << "qm-cli convert: cannot write '%1/none/out.xml': " + QString::fromLocal8Bit(std::strerror(ENOENT)) + "\n"
        << QByteArray("(missing)");
  }

  void convert() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, err);
    QFETCH(QByteArray, out);
    QTemporaryDir dir;
    writeFile(dir.filePath("golden.xml"), golden("table.xml"));
    writeFile(dir.filePath("golden.txt"), golden("table.txt"));
    writeFile(dir.filePath("two.txt"), kTextHeader + "1\t13:05:09\t1.5\tM\xA6\xB8\r\n2\t0:00:00\t&\r\n");
    writeFile(dir.filePath("nounit.xml"), withoutUnitField());
    for (const char* name : {"out", "out.xls", "out.xml", "out.XML"}) {
      writeFile(dir.filePath(name), kPrevious);
    }
    QStringList fullArgs{"convert"};
    for (const QString& arg : args) {
      fullArgs << dir.filePath(arg);
    }

    QProcess cli;
    // A 24-hour locale: the text golden file's times are "HH:mm:ss".
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", "C");
    cli.setProcessEnvironment(environment);
    cli.start(QM_CLI_PATH, fullArgs);
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), status);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardError()), err.contains("%1") ? err.arg(dir.path()) : err);
    QCOMPARE(cli.readAllStandardOutput(), QByteArray());
    QCOMPARE(readAll(dir.filePath(args.last())), out);
  }

  void usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no file") << QStringList{};
    QTest::newRow("one file") << QStringList{"in.xml"};
    QTest::newRow("three files") << QStringList{"in.xml", "out.xls", "more"};
    QTest::newRow("an option") << QStringList{"--fast", "out.xls"};  // --help asks for the usage
  }

  void usageErrors() {
    QFETCH(QStringList, args);
    QProcess cli;
    cli.start(QM_CLI_PATH, QStringList{"convert"} + args);
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 2);
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(err.startsWith("qm-cli convert: ") && err.endsWith("usage: qm-cli convert IN OUT\n"), qPrintable(err));
  }
};

QTEST_GUILESS_MAIN(TestConvertCommand)
#include "tst_convert_command.moc"
