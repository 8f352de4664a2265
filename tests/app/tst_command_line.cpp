// How qm-interface answers its command line, seen from outside the way a user's shell sees it.

#include <QProcess>
#include <QtTest>

class TstCommandLine : public QObject {
  Q_OBJECT

private slots:
  void answers_data();
  void answers();
};

void TstCommandLine::answers_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("stdoutHas");
  QTest::addColumn<QString>("stderrHas");

  QTest::newRow("version") << QStringList{"--version"} << 0 << "2.00" << "";
  QTest::newRow("help names --simulate") << QStringList{"--help"} << 0 << "--simulate" << "";
  QTest::newRow("unknown option") << QStringList{"--simulat"} << 2 << "" << "simulat";
  QTest::newRow("stray argument") << QStringList{"--simulate", "COM1"} << 2 << "" << "COM1";
}

void TstCommandLine::answers() {
  QFETCH(QStringList, arguments);
  QFETCH(int, status);
  QFETCH(QString, stdoutHas);
  QFETCH(QString, stderrHas);

  QProcess program;
  program.start(QStringLiteral(QM_INTERFACE_PATH), arguments);
  QVERIFY(program.waitForFinished(60000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), status);
  const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
  const QString err = QString::fromLocal8Bit(program.readAllStandardError());
  QVERIFY2(out.contains(stdoutHas), qPrintable(out));
  QVERIFY2(err.contains(stderrHas), qPrintable(err));
  if (status != 0) {
    // The error says what to do next, not only what went wrong.
    QVERIFY2(err.contains(QStringLiteral("--help")), qPrintable(err));
  }
}

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_command_line.moc"
