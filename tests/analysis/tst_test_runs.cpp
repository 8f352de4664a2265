// Finding insulation test runs in a table, and the resistance at a time within a run.

#include "analysis/run_tracker.h"
#include "analysis/test_runs.h"
#include "table_script.h"

#include <QSignalSpy>
#include <QtTest>

using qm::analysis::RunFinder;
using qm::analysis::RunPoint;
using qm::analysis::TestRun;

Q_DECLARE_METATYPE(std::optional<double>)

namespace {

// "first No-last No, elapsed seconds of the last row, points" for each run.
QString summary(const std::vector<TestRun>& runs) {
  QStringList parts;
  for (const TestRun& run : runs) {
    parts << QStringLiteral("%1-%2 %3s %4p")
                 .arg(run.firstNo.value_or(-1))
                 .arg(run.lastNo.value_or(-1))
                 .arg(static_cast<double>(run.elapsed) / 1000.0)
                 .arg(run.points.size());
  }
  return parts.join(QStringLiteral(" | "));
}

std::vector<TestRun> runsOf(const QString& script) {
  qm::log::ReadingTable table;
  table_script::fill(table, script);
  RunFinder finder(".");
  finder.addRows(table);
  return finder.runs();
}

// A PI test logged every 10 s: 2.000 GΩ up to one minute, `late` from 70 s to 600 s, then the
// rows of `ending`.
QString piTest(const QString& late, const QString& ending) {
  QString script;
  int no = 1;
  for (int second = 0; second <= 600; second += 10) {
    const QTime time = QTime(9, 0).addSecs(second);
    script += QStringLiteral("%1 %2 %3 G 1k PI;").arg(no++).arg(time.toString("H:mm:ss"), second <= 60 ? "2.000" : late);
  }
  return script + ending;
}

}  // namespace

class TestTestRuns : public QObject {
  Q_OBJECT

private slots:
  void runSplitting_data() {
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("runs");
    QTest::newRow("one run") << "1 10:00:00 975.6 M 500; 2 10:00:05 1.020 G 500; 3 10:00:10 1.100 G 500"
                             << "1-3 10s 3p";
    QTest::newRow("function change") << "1 10:00:00 1.0 G 500; 2 10:00:01 1.0 G 500; 3 10:00:02 1.0 G 1k"
                                     << "1-2 1s 2p | 3-3 0s 1p";
    QTest::newRow("10 s apart stays") << "1 10:00:00 1.0 G 500; 2 10:00:10 1.0 G 500" << "1-2 10s 2p";
    QTest::newRow("10.001 s apart splits") << "1 10:00:00 1.0 G 500; 2 10:00:10.001 1.0 G 500"
                                           << "1-1 0s 1p | 2-2 0s 1p";
    QTest::newRow("across midnight") << "1 23:59:58 1.0 G 500; 2 0:00:03 1.1 G 500; 3 0:00:08.500 1.2 G 500"
                                     << "1-3 10.5s 3p";
    QTest::newRow("clock set back splits") << "1 10:00:05 1.0 G 500; 2 10:00:04 1.0 G 500" << "1-1 0s 1p | 2-2 0s 1p";
    QTest::newRow("deleted row is skipped") << "1 10:00:00 1.0 G 500; x2 10:00:01 230.0 V dc; 3 10:00:02 1.0 G 500"
                                            << "1-3 2s 2p";
    QTest::newRow("deleted row bridges no gap") << "1 10:00:00 1.0 G 500; x2 10:00:06 1.0 G 500; 3 10:00:12 1.0 G 500"
                                                << "1-1 0s 1p | 3-3 0s 1p";
    QTest::newRow("L, dash and empty stay without a point")
        << "1 10:00:00 L G 500; 2 10:00:01 - G 500; 3 10:00:02 '' G 500; 4 10:00:03 0L G 500; 5 10:00:04 2.0 G 500"
        << "1-5 4s 1p";
    QTest::newRow("negative value gives no point") << "1 10:00:00 -1.0 M 500; 2 10:00:01 1.0 M 500" << "1-2 1s 1p";
    QTest::newRow("volts under IR ends it") << "1 10:00:00 1.0 G 500; 2 10:00:01 12.0 V 500; 3 10:00:02 1.0 G 500"
                                            << "1-1 0s 1p | 3-3 0s 1p";
    QTest::newRow("voltage function ends it") << "1 10:00:00 1.0 G 500; 2 10:00:01 1.0 O dc; 3 10:00:02 1.0 G 500"
                                              << "1-1 0s 1p | 3-3 0s 1p";
    QTest::newRow("row without time ends it") << "1 10:00:00 1.0 G 500; 2 - 1.0 G 500; 3 10:00:02 1.0 G 500"
                                              << "1-1 0s 1p | 3-3 0s 1p";
    QTest::newRow("mode change stays") << "1 10:00:00 1.0 G 1k Timed; 2 10:00:01 1.0 G 1k PI" << "1-2 1s 2p";
    QTest::newRow("no insulation rows") << "1 10:00:00 230.1 V dc; 2 10:00:01 229.0 V ac" << "";
  }
  void runSplitting() {
    QFETCH(QString, rows);
    QTEST(summary(runsOf(rows)), "runs");
  }

  // Each reading in ohms, whatever unit the meter showed it in, at its time since the run began.
  void pointsInOhms() {
    const std::vector<TestRun> runs = runsOf("7 10:00:00 975.6 M 500; 8 10:00:01.500 L M 500; 9 10:00:02.250 1.020 G 500;"
                                             "10 10:00:03 12,5 O 500");
    QCOMPARE(runs.size(), std::size_t{1});
    const TestRun& run = runs.front();
    QCOMPARE(run.firstRow, std::size_t{0});
    QCOMPARE(run.lastRow, std::size_t{3});
    QCOMPARE(run.function, std::string(qm::function::kInsulation500V));
    QCOMPARE(run.startTime, 10 * 3'600'000);
    QCOMPARE(run.points.size(), std::size_t{3});
    QCOMPARE(run.points[0].elapsed, qm::analysis::Milliseconds{0});
    QCOMPARE(run.points[0].ohms, 975.6e6);
    QCOMPARE(run.points[1].elapsed, qm::analysis::Milliseconds{2250});
    QCOMPARE(run.points[1].ohms, 1.02e9);
    QCOMPARE(run.points[2].elapsed, qm::analysis::Milliseconds{3000});
    QCOMPARE(run.points[2].ohms, 12.5);  // a comma is a decimal point too
  }

  // Worked on paper: log-linear between 1 MΩ at 0 s and 100 MΩ at 10 s, linear next to 0 Ω.
  void resistanceAt_data() {
    QTest::addColumn<qint64>("at");
    QTest::addColumn<std::optional<double>>("ohms");
    QTest::newRow("first reading") << qint64{0} << std::optional(1e6);
    QTest::newRow("a reading") << qint64{10'000} << std::optional(100e6);
    QTest::newRow("half way on log(R)") << qint64{5'000} << std::optional(10e6);
    QTest::newRow("quarter way on log(R)") << qint64{2'500} << std::optional(std::pow(10.0, 6.5));
    QTest::newRow("next to 0 ohms") << qint64{15'000} << std::optional(50e6);
    QTest::newRow("equal times: the first") << qint64{40'000} << std::optional(2e6);
    QTest::newRow("after equal times: the last") << qint64{45'000} << std::optional(std::sqrt(4e6 * 8e6));
    QTest::newRow("last reading") << qint64{50'000} << std::optional(8e6);
    QTest::newRow("before the first") << qint64{-1} << std::optional<double>();
    QTest::newRow("after the last") << qint64{50'001} << std::optional<double>();
  }
  void resistanceAt() {
    QFETCH(qint64, at);
    QFETCH(std::optional<double>, ohms);
    const std::vector<RunPoint> points = {{0, 1e6},       {10'000, 100e6}, {20'000, 0.0},
                                          {40'000, 2e6},  {40'000, 4e6},   {50'000, 8e6}};
    const std::optional<double> found = qm::analysis::resistanceAt(points, at);
    QCOMPARE(found.has_value(), ohms.has_value());
    if (ohms) {
      QVERIFY2(std::abs(*found - *ohms) <= 1e-9 * *ohms, qPrintable(QString::number(*found)));
    }
  }

  // The meter's own PI at the end of a PI test: 6.400 GΩ / 2.000 GΩ = 3.20 is its ratio, shown
  // with the unit of the reading before.
  void meterRatio_data() {
    QTest::addColumn<QString>("rows");
    QTest::addColumn<std::optional<double>>("meterPi");
    QTest::addColumn<int>("points");
    QTest::newRow("ratio after ten minutes") << piTest("6.400", "62 9:10:00.400 3.20 G 1k PI; 63 9:10:01 3.20 G 1k PI")
                                             << std::optional(3.2) << 61;
    QTest::newRow("within 2 %") << piTest("6.400", "62 9:10:00.400 3.26 G 1k PI") << std::optional(3.26) << 61;
    QTest::newRow("3 % off is a reading") << piTest("6.400", "62 9:10:00.400 3.30 G 1k PI") << std::optional<double>() << 62;
    QTest::newRow("not in PI mode") << piTest("6.400", "62 9:10:00.400 3.20 G 1k Timed") << std::optional<double>() << 62;
    QTest::newRow("at 580 s is a reading") << piTest("6.400", "").replace("59 9:09:40 6.400 G 1k PI;", "59 9:09:40 3.20 G 1k PI;")
                                  << std::optional<double>() << 61;
    // With R60 at 1 GΩ the ratio and the last reading read alike: repeating the reading is no ratio.
    QTest::newRow("repeated reading") << piTest("6.400", "62 9:10:00.400 6.400 G 1k PI").replace(" 2.000 ", " 1.000 ")
                                      << std::optional<double>() << 62;
  }
  void meterRatio() {
    QFETCH(QString, rows);
    const std::vector<TestRun> runs = runsOf(rows);
    QCOMPARE(runs.size(), std::size_t{1});
    QTEST(runs.front().meterPolarisationIndex, "meterPi");
    QTEST(static_cast<int>(runs.front().points.size()), "points");
  }

  // While a test is logged the last run grows; a deleted row or a cleared table finds the runs again.
  void trackerFollowsTheTable() {
    qm::log::ReadingTable table;
    table_script::fill(table, "1 10:00:00 1.0 G 500; 2 10:00:01 1.1 G 500");
    qm::analysis::RunTracker tracker(table, ".");
    QSignalSpy changed(&tracker, &qm::analysis::RunTracker::runsChanged);
    QCOMPARE(summary(tracker.runs()), QString("1-2 1s 2p"));
    QVERIFY(tracker.lastRunOpen());

    table_script::fill(table, "3 10:00:02 1.2 G 500");
    QCOMPARE(summary(tracker.runs()), QString("1-3 2s 3p"));
    table_script::fill(table, "4 10:00:03 230.0 V dc");
    QVERIFY(!tracker.lastRunOpen());
    table.deleteRow(3);
    QCOMPARE(summary(tracker.runs()), QString("1-3 2s 3p"));
    QVERIFY(tracker.lastRunOpen());
    table.deleteRow(1);
    QCOMPARE(summary(tracker.runs()), QString("1-3 2s 2p"));
    QCOMPARE(tracker.runs().front().lastRow, std::size_t{1});
    table.clear();
    QCOMPARE(summary(tracker.runs()), QString());
    QCOMPARE(changed.count(), 5);
  }
};

QTEST_APPLESS_MAIN(TestTestRuns)
#include "tst_test_runs.moc"
