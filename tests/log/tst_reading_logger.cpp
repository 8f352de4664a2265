// The logging rules, driven by short scripts of what the user and the meter do:
//   offer V [UNIT]   the decoder asks to log a reading with value V (and unit); prints an outcome
//   tick             one tick of the one-second sampling timer
//   si on|off        the "Sampling Interval" box;  repeat on|off  the "Repeat" box
//   text T           the interval field now reads T ("text" alone: empty)
//   limit N          a record limit from the Record menu;  clear  Clear All
//   hold / release   a long file operation starts / ends
// Outcomes: L logged, O over the limit, W waiting for the interval, R repeated value, B bad
// interval text, H held. The end state is compared as "rows next countdown".

#include "log/reading_logger.h"

#include <QTest>

using qm::log::ReadingLogger;
using qm::log::ReadingTable;
using qm::log::TextField;

namespace {

char letterOf(ReadingLogger::Outcome outcome) {
  switch (outcome) {
    case ReadingLogger::Outcome::Logged: return 'L';
    case ReadingLogger::Outcome::OverLimit: return 'O';
    case ReadingLogger::Outcome::Waiting: return 'W';
    case ReadingLogger::Outcome::Repeated: return 'R';
    case ReadingLogger::Outcome::BadIntervalText: return 'B';
    case ReadingLogger::Outcome::Held: return 'H';
  }
  return '?';
}

struct Run {
  QString outcomes;
  QString endState;
};

Run runScript(const QString& script, ReadingTable& table, ReadingLogger& logger) {
  Run run;
  for (const QString& step : script.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
    const QStringList words = step.trimmed().split(QLatin1Char(' '));
    const QString& verb = words[0];
    const QByteArray argument = words.size() > 1 ? words[1].toLatin1() : QByteArray();
    if (verb == "offer") {
      const QByteArray unit = words.size() > 2 ? words[2].toLatin1() : QByteArray("M\xA6\xB8");
      run.outcomes += QLatin1Char(letterOf(logger.offerReading(
          {argument.toStdString(), unit.toStdString(), "IR:500V 20G\xA6\xB8", "Continuous"})));
    } else if (verb == "tick") {
      logger.sampleTimerTick();
    } else if (verb == "si") {
      logger.setIntervalOn(argument == "on");
    } else if (verb == "repeat") {
      logger.setRepeatAllowed(argument == "on");
    } else if (verb == "text") {
      logger.setIntervalText(argument.toStdString());
    } else if (verb == "limit") {
      logger.setRecordLimit(argument.toInt());
    } else if (verb == "clear") {
      logger.clearAll();
    } else if (verb == "hold") {
      logger.holdReadings();
    } else if (verb == "release") {
      logger.releaseReadings();
    } else {
      qFatal("unknown step %s", qPrintable(step));
    }
  }
  run.endState = QStringLiteral("%1 %2 %3").arg(table.rowCount()).arg(logger.nextRecordNo()).arg(logger.sampleCountdown());
  return run;
}

QString repeated(const QString& step, int times) {
  QStringList steps;
  for (int i = 0; i < times; ++i) {
    steps << step;
  }
  return steps.join(QLatin1Char('|'));
}

}  // namespace

class TestReadingLogger : public QObject {
  Q_OBJECT
private slots:
  void rules_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("outcomes");
    QTest::addColumn<QString>("endState");

    // Start-up: Repeat on, interval off with "10" that has not yet counted.
    QTest::newRow("every reading, repeats too") << "offer 1.0|offer 1.0|offer 2.0" << "LLL" << "3 4 10";
    QTest::newRow("first reading logged even with the interval already on")
        << "si on|offer 1.0|offer 2.0" << "LW" << "1 2 10";
    QTest::newRow("repeat off compares the value alone") << "repeat off|offer 1.0|offer 1.0 V|offer 1.1|offer 1.0"
                                                       << "LRLL" << "3 4 10";
    QTest::newRow("limit before interval before repeat")
        << "limit 2|repeat off|si on|offer 5|offer 5|" + repeated("tick", 10) + "|offer 5|offer 6|offer 7"
        << "LWRLO" << "2 3 10";
    QTest::newRow("interval of 10: ten ticks")
        << "si on|offer 1|" + repeated("tick", 9) + "|offer 2|tick|offer 3|offer 4" << "LWLW" << "2 3 10";
    QTest::newRow("ticks stand still while the box is off") << "offer 1|tick|tick|si on|offer 2" << "LW" << "1 2 10";
    QTest::newRow("checking the box later: the countdown already holds the interval")
        << "offer 1|offer 2|si on|" + repeated("tick", 9) + "|offer 3|tick|offer 4" << "LLWL" << "3 4 10";
    QTest::newRow("typing restarts the wait") << "si on|offer 1|tick|text 3|tick|tick|offer 2|tick|offer 3"
                                              << "LWL" << "2 3 3";
    QTest::newRow("empty or 0 makes every reading eligible") << "si on|text|offer 1|offer 2|text 0|offer 3"
                                                             << "LLL" << "3 4 0";
    QTest::newRow("minus and plus alone count as 0") << "si on|text -|offer 1|text +|offer 2" << "LL" << "2 3 0";
    QTest::newRow("a negative count never runs out") << "si on|text -5|offer 1|tick|tick|offer 2" << "WW" << "0 1 -5";
    QTest::newRow("text beyond the 32-bit range: the countdown keeps, nothing is logged")
        << "si on|text 4|text 2147483648|offer 1|si off|offer 2" << "WB" << "0 1 4";
    QTest::newRow("limit below the rows logged stops at once, removes nothing")
        << "offer 1|offer 2|offer 3|limit 2|offer 4" << "LLLO" << "3 4 10";
    QTest::newRow("clear all restarts numbering, keeps the last value and the countdown")
        << "repeat off|si on|text 0|offer 7|clear|offer 7|offer 8" << "LRL" << "1 2 0";
    QTest::newRow("readings kept during a file operation are logged after it")
        << "offer 1|hold|offer 2|offer 3|release|offer 4" << "LHHL" << "4 5 10";
  }
  void rules() {
    QFETCH(QString, script);
    QFETCH(QString, outcomes);
    QFETCH(QString, endState);
    ReadingTable table;
    ReadingLogger logger(table, [] { return 1234; });
    const Run run = runScript(script, table, logger);
    QCOMPARE(run.outcomes, outcomes);
    QCOMPARE(run.endState, endState);
  }

  void limitOfAThousand() {
    ReadingTable table;
    ReadingLogger logger(table, [] { return 0; });
    logger.setRecordLimit(1000);
    const Run run = runScript(repeated("offer 1", 1001), table, logger);
    QCOMPARE(run.outcomes, QString(1000, QLatin1Char('L')) + "O");
    QCOMPARE(*table.row(999).No, 1000);
    QCOMPARE(runScript("clear|offer 1", table, logger).outcomes, QString("L"));
    QCOMPARE(*table.row(0).No, 1);
  }

  void loggedRowCarriesTheReading() {
    ReadingTable table;
    TimeOfDayClock clock;
    ReadingLogger logger(table, [&] { return clock.now; });
    clock.now = 13 * 3600'000 + 5 * 60'000 + 9'123;
    const std::string longFunction = "a function text longer than twenty bytes";
    logger.offerReading({"-12,5", "G\xA6\xB8", longFunction, "COMP:GOOD"});

    const qm::log::RowFields row = table.row(0);
    QCOMPARE(*row.No, 1);
    QCOMPARE(*row.Time, clock.now);
    QCOMPARE(*row.text(TextField::Value), std::string_view("-12,5"));
    QCOMPARE(*row.text(TextField::Unit), std::string_view("G\xA6\xB8"));
    QCOMPARE(*row.text(TextField::V_Range), std::string_view(longFunction).substr(0, 20));
    QCOMPARE(*row.text(TextField::I_Range), std::string_view("COMP:GOOD"));
    QCOMPARE(logger.lastLoggedValue(), std::string("-12,5"));
  }

  void keptReadingsKeepTheirArrivalTime() {
    ReadingTable table;
    TimeOfDayClock clock;
    ReadingLogger logger(table, [&] { return clock.now; });
    logger.holdReadings();
    clock.now = 100;
    logger.offerReading({"1", "V", "DCV  600V", "Continuous"});
    clock.now = 900;
    logger.offerReading({"2", "V", "DCV  600V", "Continuous"});
    QVERIFY(table.isEmpty());
    clock.now = 5000;
    QCOMPARE(logger.releaseReadings(), std::size_t(2));
    QCOMPARE(*table.row(0).Time, 100);
    QCOMPARE(*table.row(1).Time, 900);
  }

  void intervalSeconds_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("seconds");  // -1: no number
    QTest::addColumn<bool>("isNumber");
    QTest::newRow("empty") << QByteArray("") << 0 << true;
    QTest::newRow("10") << QByteArray("10") << 10 << true;
    QTest::newRow("leading zeros") << QByteArray("007") << 7 << true;
    QTest::newRow("plus sign") << QByteArray("+7") << 7 << true;
    QTest::newRow("negative") << QByteArray("-5") << -5 << true;
    QTest::newRow("largest") << QByteArray("2147483647") << 2147483647 << true;
    QTest::newRow("smallest") << QByteArray("-2147483648") << int(-2147483648LL) << true;
    QTest::newRow("one beyond") << QByteArray("2147483648") << 0 << false;
    QTest::newRow("letters") << QByteArray("1a") << 0 << false;
    QTest::newRow("blank in front") << QByteArray(" 1") << 0 << false;
    QTest::newRow("decimal point") << QByteArray("1.5") << 0 << false;
    QTest::newRow("two signs") << QByteArray("+-1") << 0 << false;
  }
  void intervalSeconds() {
    QFETCH(QByteArray, text);
    QFETCH(int, seconds);
    QFETCH(bool, isNumber);
    const std::optional<std::int32_t> converted = qm::log::intervalSeconds(text.toStdString());
    QCOMPARE(converted.has_value(), isNumber);
    if (isNumber) {
      QCOMPARE(*converted, seconds);
    }
  }

private:
  struct TimeOfDayClock {
    qm::log::TimeOfDay now = 0;
  };
};

QTEST_GUILESS_MAIN(TestReadingLogger)
#include "tst_reading_logger.moc"
