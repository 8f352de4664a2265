// How qm-interface and qm-cli answer their command lines, seen from outside the way a user's shell
// sees them: --help and --version as GNU programs give them, and usage errors.

#include "core/version.h"

#include <QProcess>
#include <QtTest>

class TstCommandLine : public QObject {
  Q_OBJECT

private slots:
  void answers_data();
  void answers();
};

void TstCommandLine::answers_data() {
  QTest::addColumn<QString>("program");
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<bool>("withDisplay");  // false: no display can be opened
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("stdoutStart");
  QTest::addColumn<QStringList>("stdoutHas");
  QTest::addColumn<QString>("stderrHas");

  const QString window = QStringLiteral(QM_INTERFACE_PATH);
  const QString cli = QStringLiteral(QM_CLI_PATH);
  const QString version = QLatin1String(qm::kProgramVersion);
  const QStringList licence{"\nCopyright (C) ", "\nLicense "};
  const QStringList helpOptions{"  -h, --help ", "  --version "};

  QTest::newRow("version") << window << QStringList{"--version"} << false << 0 << "qm-interface " + version + "\n"
                           << licence << "";
  QTest::newRow("help") << window << QStringList{"--help"} << false << 0 << "Usage: qm-interface [OPTION]...\n"
                        << QStringList{"--simulate", "  -h, --help ", "      --version ", "Exit status:"} << "";
  QTest::newRow("help after an option") << window << QStringList{"--simulate", "-h"} << false << 0 << "Usage: "
                                        << QStringList{} << "";
  QTest::newRow("no option after --") << window << QStringList{"--", "--help"} << true << 2 << "" << QStringList{}
                                      << "unexpected argument '--help'";
  QTest::newRow("unknown option") << window << QStringList{"--simulat"} << true << 2 << "" << QStringList{} << "simulat";
  QTest::newRow("no display") << window << QStringList{"--simulate"} << false << 1 << "" << QStringList{}
                              << "qm-interface: the window cannot be shown: ";
  QTest::newRow("stray argument") << window << QStringList{"--simulate", "COM1"} << true << 2 << "" << QStringList{}
                                  << "COM1";
  QTest::newRow("cli version") << cli << QStringList{"--version"} << false << 0 << "qm-cli " + version + "\n" << licence
                               << "";
  QTest::newRow("cli help") << cli << QStringList{"--help"} << false << 0 << "usage: qm-cli COMMAND"
                            << QStringList{"\n  decode ", "\n  log ", "  -h, --help ", "  --version ", "Exit status: "}
                            << "";
}

void TstCommandLine::answers() {
  QFETCH(QString, program);
  QFETCH(QStringList, arguments);
  QFETCH(bool, withDisplay);
  QFETCH(int, status);
  QFETCH(QString, stdoutStart);
  QFETCH(QStringList, stdoutHas);
  QFETCH(QString, stderrHas);

  QProcess process;
  if (!withDisplay) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process.setProcessEnvironment(environment);
  }
  process.start(program, arguments);
  QVERIFY(process.waitForFinished(60000));
  const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
  const QString err = QString::fromLocal8Bit(process.readAllStandardError());
  QCOMPARE(process.exitStatus(), QProcess::NormalExit);
  QVERIFY2(process.exitCode() == status, qPrintable(err));
  for (const QString& part : stdoutHas) {
    QVERIFY2(out.contains(part), qPrintable(part + " is not in:\n" + out));
  }
  QVERIFY2(err.contains(stderrHas), qPrintable(err));
  if (status == 0) {
    QVERIFY2(out.startsWith(stdoutStart), qPrintable(out));
    QVERIFY2(err.isEmpty(), qPrintable(err));
  } else {
    QVERIFY2(out.isEmpty(), qPrintable(out));
    // The error says what to do next, not only what went wrong.
    QVERIFY2(err.contains(QStringLiteral("--help")), qPrintable(err));
  }
}

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_command_line.moc"
