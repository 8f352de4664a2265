#include "cli/decode_command.h"
#include "cli/link_commands.h"
#include "cli/reading_file_writer.h"
#include "cli/record_command.h"
#include "cli/replay_command.h"
#include "cli/simulate_command.h"
#include "sim/cable_report_stream.h"
#include "sim/frame_encoder.h"
#include "sim/meter_model.h"
#include "sim/virtual_hid_bus.h"
#include "display/frame_builder.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <sstream>

namespace {

struct Run {
  int status;
  QString out;
  QString err;
};

Run decode(const std::vector<std::string>& args, const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = qm::cli::runDecode(args, in, out, err);
  return {status, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
}

// 5.000 GΩ at 5000 V: value digits 5. 0 0 0, GΩ, test voltage 5 0 0 0 V.
std::string gigaOhmFrame() {
  return FrameBuilder()
      .valueDigit(1, codeA::k5 | codeA::kFlag)
      .valueDigit(2, codeA::k0)
      .valueDigit(3, codeA::k0)
      .valueDigit(4, codeA::k0)
      .bits(29, 8)
      .testVoltageDigit(1, codeB::k5)
      .testVoltageDigit(2, codeB::k0)
      .testVoltageDigit(3, codeB::k0)
      .testVoltageDigit(4, codeB::k0 | codeB::kFlag);
}

std::string toLower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

}  // namespace

class TestCliCommands : public QObject {
  Q_OBJECT

private slots:
  void readingFields() {
    const Run run = decode({"--decimal-separator", ","}, gigaOhmFrame() + "\r\n" + FrameBuilder().text() + "\n");
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, QString::fromUtf8("5,000\tGΩ\tIR:5000V 1000GΩ\tContinuous\t1\n"
                                        "\tGΩ\tIR:5000V 1000GΩ\tContinuous\t0\n"));
  }

  void stateFields() {
    const Run run = decode({"--state", "--decimal-separator", "."}, gigaOhmFrame());
    const QStringList fields = run.out.chopped(1).split('\t');
    QCOMPARE(fields.size(), 7);
    QCOMPARE(fields[5], QString("CONok KD Label10 Label3 Label4 Label7 Label9 LabelA LabelB LabelC LabelD Labgo1 Point1 rsUSB"));
    QCOMPARE(fields[6], QString("LabelA=5 LabelB=0 LabelC=0 LabelD=0 Label3=5 Label7=0 Label10=0 Label9=0 "
                                "H_Time1=8 H_Time2=8 M_Time1=8 M_Time2=8 stor2=8"));
  }

  void lowerCaseAndLongLines() {
    const Run run = decode({"--decimal-separator", "."}, toLower(gigaOhmFrame()) + "trailing junk\n");
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.startsWith("5.000\t"));
  }

  // A short line is a frame that fails its end test: decoded, nothing shown, nothing logged.
  void shortLineIsDecodedButNotShown() {
    const Run run = decode({"--state"}, "0D0A\n");
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.startsWith("\t\tIR:500V 20GΩ\tContinuous\t0\t"));
    QVERIFY(run.out.contains("bar30"));  // start-up look kept
  }

  void badLinesAreSkippedAndReported() {
    const std::string good = gigaOhmFrame();
    const std::string bad = good.substr(0, 10) + "X" + good.substr(11);
    const Run run = decode({"--decimal-separator", "."}, good + "\n" + bad + "\n" + good + "\n");
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out.count('\n'), 2);
    QVERIFY2(run.err.contains("-:2:") && run.err.contains("character 11 ('X')"), qPrintable(run.err));
  }

  void usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option") << QStringList{"--fast"} << "unknown option '--fast'";
    QTest::newRow("separator without value") << QStringList{"--decimal-separator"} << "needs a value";
    QTest::newRow("separator too long") << QStringList{"--decimal-separator", "0123456789"} << "longer than 9 bytes";
    QTest::newRow("separator outside CP936") << QStringList{"--decimal-separator", "\xF0\x9F\x98\x80"} << "code page 936";
  }
  void usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    std::vector<std::string> argv;
    for (const QString& a : args) {
      argv.push_back(a.toStdString());
    }
    const Run run = decode(argv, gigaOhmFrame());
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
  }

  // The simulated meter's frames decode to the readings of its programme.
  void simulatedFramesDecode() {
    std::ostringstream frames;
    std::ostringstream err;
    QCOMPARE(qm::cli::runSimulate({"--from", "80", "--count", "4", "--interval", "250"}, frames, err), 0);
    const Run run = decode({"--decimal-separator", "."}, frames.str());
    QCOMPARE(run.status, 0);
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    for (const QString& line : lines) {
      QVERIFY2(line.contains(QRegularExpression("^2[23]\\d\\.\\d\tV\tDCV  600V\tContinuous\t1$")), qPrintable(line));
    }
  }

  void simulateUsageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown") << QStringList{"--seconds", "3"};
    QTest::newRow("no number") << QStringList{"--count", "x"};
    QTest::newRow("missing value") << QStringList{"--from"};
    QTest::newRow("zero interval") << QStringList{"--interval", "0"};
    QTest::newRow("negative") << QStringList{"--count", "-1"};
  }
  void simulateUsageErrors() {
    QFETCH(QStringList, args);
    std::vector<std::string> argv;
    for (const QString& a : args) {
      argv.push_back(a.toStdString());
    }
    std::ostringstream out;
    std::ostringstream err;
    QCOMPARE(qm::cli::runSimulate(argv, out, err), 2);
    QCOMPARE(out.str(), std::string());
    QVERIFY(!err.str().empty());
  }

  // Replaying what the cable sent gives the same lines as decoding the frames the meter sent.
  void replayMatchesDecode() {
    qm::sim::CableReportStream stream;
    std::string reports;
    while (stream.now() < std::chrono::milliseconds(2000)) {
      const qm::sim::CableReport report = stream.nextReport();
      reports += QByteArray(reinterpret_cast<const char*>(report.data()), static_cast<qsizetype>(report.size())).toHex(' ').toStdString() + "\n";
    }
    std::string frames;
    const qm::sim::MeterModel meter;
    for (int start = 0; start < 2000 - 100; start += 400) {
      frames += qm::sim::frameText(qm::sim::encodeFrame(meter.displayAt(std::chrono::milliseconds(start)))) + "\n";
    }
    std::istringstream in(reports);
    std::ostringstream out;
    std::ostringstream err;
    QCOMPARE(qm::cli::runReplay({"--state", "--decimal-separator", "."}, in, out, err), 0);
    const Run decoded = decode({"--state", "--decimal-separator", "."}, frames);
    QCOMPARE(QString::fromStdString(out.str()), decoded.out);
    QCOMPARE(decoded.out.count('\n'), 5);
  }

  void replayRefusesBadLines() {
    const std::string frame = gigaOhmFrame();
    const QByteArray bytes = QByteArray::fromHex(QByteArray::fromStdString(frame));
    std::string input;
    for (qsizetype at = 0; at < bytes.size(); at += 7) {
      const QByteArray chunk = bytes.mid(at, 7);
      input += QString("F%1 ").arg(chunk.size()).toStdString() + chunk.toHex(' ').toStdString() + "\n";
      if (at == 0) {
        input += "F1 0\nxyz\n";  // half a byte, then no hex at all
      }
    }
    input += "\n";  // a report without data bytes ends the frame
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    QCOMPARE(qm::cli::runReplay({"--decimal-separator", "."}, in, out, err), 1);
    QCOMPARE(QString::fromStdString(out.str()), QString::fromUtf8("5.000\tGΩ\tIR:5000V 1000GΩ\tContinuous\t1\n"));
    const QString errors = QString::fromStdString(err.str());
    QVERIFY2(errors.contains("-:2: a byte needs two hex digits") && errors.contains("-:3: character 1 ('x')"), qPrintable(errors));
  }

  void listTheSimulatedDesk() {
    std::ostringstream out;
    std::ostringstream err;
    QCOMPARE(qm::cli::runList({"--simulate"}, out, err), 0);
    QCOMPARE(QString::fromStdString(out.str()), QString("  0\tUSB Keyboard\n  1\tDevice VID=1BCF PID=0005\n* 2\tUSB to Serial\n"));
    QCOMPARE(QString::fromStdString(err.str()), QString());
  }

  void linkUsageErrors_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("list extra") << "list" << QStringList{"--all"};
    QTest::newRow("log count") << "log" << QStringList{"--count", "0"};
    QTest::newRow("log seconds") << "log" << QStringList{"--seconds"};
    QTest::newRow("log state") << "log" << QStringList{"--state"};
    QTest::newRow("log out without file") << "log" << QStringList{"--out"};
    QTest::newRow("log limit 0") << "log" << QStringList{"--limit", "0"};
    QTest::newRow("log limit beyond ten million") << "log" << QStringList{"--limit", "10000001"};
    QTest::newRow("log negative interval") << "log" << QStringList{"--interval", "-1"};
    QTest::newRow("log from without simulate") << "log" << QStringList{"--from", "166"};
    QTest::newRow("log speed 0") << "log" << QStringList{"--simulate", "--speed", "0"};
    QTest::newRow("log speed beyond 100") << "log" << QStringList{"--simulate", "--speed", "101"};
    QTest::newRow("replay two files") << "replay" << QStringList{"a", "b"};
  }
  void linkUsageErrors() {
    QFETCH(QString, command);
    QFETCH(QStringList, args);
    std::vector<std::string> argv;
    for (const QString& a : args) {
      argv.push_back(a.toStdString());
    }
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    const int status = command == "list" ? qm::cli::runList(argv, out, err)
                     : command == "log"  ? qm::cli::runLog(argv, out, err)
                                         : qm::cli::runReplay(argv, in, out, err);
    QCOMPARE(status, 2);
    QVERIFY(err.str().find("usage: qm-cli " + command.toStdString()) != std::string::npos);
  }

  // An output file that cannot be written is refused before the cable is opened, and the message
  // says why.
  void unwritableOutputSaysWhy_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("name");  // below a fresh folder
    QTest::addColumn<QString>("why");   // %1: the fresh folder
    QTest::newRow("log text into a missing folder") << "log" << "none/a.txt" << "the folder %1/none does not exist";
    QTest::newRow("log packet into a missing folder") << "log" << "none/a.xml" << "the folder %1/none does not exist";
    QTest::newRow("log onto a folder") << "log" << "." << "it is a folder";
    QTest::newRow("log below a file") << "log" << "file/a.txt" << "%1/file is not a folder";
    QTest::newRow("record into a missing folder") << "record" << "none/a.hex" << "the folder %1/none does not exist";
  }
  void unwritableOutputSaysWhy() {
    QFETCH(QString, command);
    QFETCH(QString, name);
    QFETCH(QString, why);
    QTemporaryDir dir;
    QFile plain(dir.filePath("file"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const std::string file = QDir::cleanPath(dir.filePath(name)).toStdString();
    std::ostringstream out;
    std::ostringstream err;
    const int status = command == "log" ? qm::cli::runLog({"--simulate", "--out", file}, out, err)
                                        : qm::cli::runRecord({"--simulate", file}, out, err);
    QCOMPARE(status, 1);
    QCOMPARE(QString::fromStdString(err.str()),
             "qm-cli " + command + ": cannot write '" + QString::fromStdString(file) + "': " +
                 (why.contains("%1") ? why.arg(dir.path()) : why) + "\n");
    QVERIFY(!QFileInfo(QString::fromStdString(file)).isFile());
  }

  // A headless logger on the simulated cable: numbered, time-stamped readings of the 500 V test on
  // standard output, and a table file that Open reads, one line written as each is logged.
  void logFromTheSimulatedCable() {
    QProcess cli;
    QTemporaryDir dir;
    const QString out = dir.filePath("readings.txt");
    cli.start(QM_CLI_PATH, {"log", "--simulate", "--count", "3", "--out", out, "--decimal-separator", "."});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    for (int i = 0; i < 3; ++i) {
      const QStringList fields = lines[i].split('\t');
      QCOMPARE(fields.size(), 6);
      QCOMPARE(fields[0], QString::number(i + 1));
      QVERIFY(QTime::fromString(fields[1], "HH:mm:ss.zzz").isValid());
      QVERIFY(fields[3] == QString::fromUtf8("MΩ") || fields[3] == QString::fromUtf8("GΩ"));
      QCOMPARE(fields[4], QString::fromUtf8("IR:500V 20GΩ"));
    }

    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> fileLines = file.readAll().split('\n');
    QCOMPARE(fileLines.size(), 5);  // header, three rows, nothing after the last CR LF
    QCOMPARE(fileLines[0], QByteArray("No\tTime\tValue\tUnit\tFunction\tRemark\r"));
    QVERIFY(fileLines[3].startsWith("3\t"));
    QVERIFY(fileLines[3].endsWith("\tIR:500V 20G\xA6\xB8\tContinuous\r"));
    QVERIFY(fileLines[4].isEmpty());
  }

  // The rules of the window's toolbar and Record menu, as options: the limit ends the log; an XML
  // packet is written whole once logging has ended.
  void logUntilTheRecordLimitIntoAPacket() {
    QProcess cli;
    QTemporaryDir dir;
    const QString out = dir.filePath("readings.xml");
    cli.start(QM_CLI_PATH, {"log", "--simulate", "--limit", "2", "--no-repeat", "--out", out});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(QString::fromUtf8(cli.readAllStandardError()).contains("record limit of 2 readings is reached"));
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray packet = file.readAll();
    QVERIFY(packet.startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\">"));
    QCOMPARE(packet.count("<ROW RowState=\"4\" No="), 2);
    QVERIFY(packet.contains("<PARAMS CHANGE_LOG=\"1 0 4 2 0 4\"/>"));
  }

  // The interval lets the first reading through at once, as the window does, and the next ones
  // only after it: within a few seconds one reading of a 30-second interval is logged.
  void logIntervalLogsTheFirstReadingAtOnce() {
    QProcess cli;
    cli.start(QM_CLI_PATH, {"log", "--simulate", "--interval", "30", "--seconds", "4"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).size(), 1);
  }

  // A logger that cannot start, or stops before its first reading, leaves an old table file as it
  // was; the first reading replaces it with the header and that reading.
  void tableFileIsUntouchedUntilTheFirstReading() {
    QTemporaryDir dir;
    const QString name = dir.filePath("old.txt");
    const QByteArray old = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n1\t08:00:00\t1.0\tV\tNULL\tNULL\r\n";
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    file.close();
    const auto contents = [&name] {
      QFile read(name);
      return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
    };

    qm::log::ReadingTable table;
    QString whyNot;
    {
      const auto writer = qm::cli::ReadingFileWriter::open(name, whyNot);
      QVERIFY(writer != nullptr);
      QCOMPARE(contents(), old);
      QCOMPARE(writer->finish(table), QString());
      QCOMPARE(contents(), old);
    }
    const auto writer = qm::cli::ReadingFileWriter::open(name, whyNot);
    qm::log::RowFields row;
    row.No = 1;
    row.Time = 9 * 3'600'000;
    row.text(qm::log::TextField::Value) = "2.5";
    QVERIFY(writer->add(row));
    QCOMPARE(writer->finish(table), QString());
    QCOMPARE(contents(), QByteArray("No\tTime\tValue\tUnit\tFunction\tRemark\r\n1\t09:00:00\t2.5\tNULL\tNULL\tNULL\r\n"));

    // With no cable at all the logger ends at once and the file stays as it was.
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    file.close();
    std::ostringstream out;
    std::ostringstream err;
    auto bus = std::make_unique<qm::sim::VirtualHidBus>();
    QCOMPARE(qm::cli::runLog({"--out", name.toStdString()}, out, err, std::move(bus)), 1);
    QVERIFY(QString::fromStdString(err.str()).contains("no \"USB to Serial\" cable"));
    QCOMPARE(contents(), old);
  }

  // What the cable delivered, report by report, in the form replay reads: replaying a recording
  // decodes what the simulated meter showed.
  void recordWritesWhatReplayReads() {
    qm::sim::CableReportStream stream;
    auto reports = std::make_shared<qm::sim::ScriptedReports>();
    QStringList expected;
    std::string delivered;
    for (int i = 0; i < 80; ++i) {
      const qm::sim::CableReport report = stream.nextReport();
      std::vector<std::uint8_t> withId{0};
      withId.insert(withId.end(), report.begin(), report.end());
      reports->push(withId);
      QString line;
      for (const std::uint8_t byte : report) {
        line += QStringLiteral("%1 ").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
      }
      expected << line.trimmed();
    }
    auto bus = std::make_unique<qm::sim::VirtualHidBus>();
    bus->plug(qm::sim::usbToSerialCable("sim://cable", reports));
    QTemporaryDir dir;
    const QString recording = dir.filePath("recording.txt");
    std::ostringstream out;
    std::ostringstream err;
    QCOMPARE(qm::cli::runRecord({"--count", "80", recording.toStdString()}, out, err, std::move(bus)), 0);
    QFile file(recording);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts), expected);

    std::ifstream replayed(recording.toStdString());
    std::ostringstream decoded;
    QCOMPARE(qm::cli::runReplay({"--decimal-separator", "."}, replayed, decoded, err), 0);
    QVERIFY2(QString::fromStdString(decoded.str()).contains("\tIR:500V 20G\u03A9\t"), decoded.str().c_str());
  }

  // Every command explains itself: how it is called, then its options; usage errors show the
  // synopsis only.
  void everyCommandTakesHelp_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("option");
    const std::pair<const char*, const char*> commands[] = {
        {"analyse", "--temperature"}, {"convert", "IN OUT"},     {"decode", "--decimal-separator"}, {"list", "--simulate"},
        {"log", "--interval"},       {"record", "--count"},             {"replay", "--state"},
        {"simulate", "--interval"},  {"snapshot", "--page-size"}};
    for (const auto& [command, option] : commands) {
      QTest::newRow(command) << command << option;
    }
  }
  void everyCommandTakesHelp() {
    QFETCH(QString, command);
    QFETCH(QString, option);
    QProcess cli;
    cli.start(QM_CLI_PATH, {command, "--help"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    const QString help = QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY2(help.startsWith("usage: qm-cli " + command + " "), qPrintable(help));
    QVERIFY2(help.contains(option), qPrintable(help));
    QVERIFY(help.count('\n') >= 2);
  }

  // The installed tool: files in order with one decoder, missing files reported, status 1.
  void wholeProgram() {
    QTemporaryDir dir;
    QFile first(dir.filePath("first.txt"));
    QVERIFY(first.open(QIODevice::WriteOnly));
    first.write(QByteArray::fromStdString(gigaOhmFrame() + "\r\n"));
    first.close();
    QProcess cli;
    cli.start(QM_CLI_PATH, {"decode", "--decimal-separator", ".", first.fileName(), dir.filePath("missing.txt"), first.fileName()});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()).count("5.000\tGΩ"), 2);
    QVERIFY(QString::fromUtf8(cli.readAllStandardError()).contains("missing.txt"));
  }
};

QTEST_GUILESS_MAIN(TestCliCommands)
#include "tst_cli_commands.moc"
