// DAR, PI, the correction to 40 °C and the verdict, on small runs whose answers were worked out
// on paper.

#include "analysis/insulation_indices.h"

#include <QtTest>

#include <cmath>

using qm::analysis::AnalysisSettings;
using qm::analysis::InsulationIndices;
using qm::analysis::TestRun;

Q_DECLARE_METATYPE(std::optional<double>)

namespace {

// "15:1e9 30:1.25e9 ..." -> the points of a run at those seconds; the run ends at the last one.
TestRun runOf(const QString& points) {
  TestRun run;
  for (const QString& point : points.split(' ', Qt::SkipEmptyParts)) {
    const QStringList parts = point.split(':');
    run.points.push_back({parts[0].toLongLong() * 1000, parts[1].toDouble()});
    run.elapsed = run.points.back().elapsed;
  }
  return run;
}

AnalysisSettings settingsOf(const QString& changes) {
  AnalysisSettings settings;
  if (changes.contains("random")) {
    settings.winding = AnalysisSettings::Winding::RandomWoundOrBelow1kV;
  }
  if (changes.contains("r60/r15")) {
    settings.absorptionRatio = AnalysisSettings::AbsorptionRatio::Sixty15;
  }
  return settings;
}

bool near(std::optional<double> a, std::optional<double> b) {
  return a.has_value() == b.has_value() && (!a || std::abs(*a - *b) <= 1e-9 * std::max(std::abs(*b), 1.0));
}

QString text(std::optional<double> value) { return value ? QString::number(*value, 'g', 12) : QStringLiteral("none"); }

}  // namespace

class TestInsulationIndices : public QObject {
  Q_OBJECT

private slots:
  void indices_data() {
    QTest::addColumn<QString>("points");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<std::optional<double>>("ambient");
    QTest::addColumn<QString>("insulationClass");
    QTest::addColumn<std::optional<double>>("dar");
    QTest::addColumn<std::optional<double>>("pi");
    QTest::addColumn<std::optional<double>>("r60At40C");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QStringList>("reasons");

    // R15 = sqrt(0.8 G x 1.25 G) = 1 G on the log line; DAR 1.6/1.25 = 1.28; PI 4/1.6 = 2.5;
    // at 20 °C, two halvings below 40 °C: 1.6 G / 4 = 400 M.
    const QString good = "10:0.8e9 20:1.25e9 30:1.25e9 60:1.6e9 600:4e9";
    QTest::newRow("good winding") << good << "" << std::optional(20.0) << "F" << std::optional(1.28) << std::optional(2.5)
                                  << std::optional(400e6) << "PASS"
                                  << QStringList{"R60 at 40 °C is 400.0 MΩ, at least the minimum of 100.0 MΩ for form-wound windings",
                                                 "PI is 2.50, at least the minimum of 2.0 for class F",
                                                 "DAR (R60/R30) is 1.28, at least the guide value 1.25"};
    QTest::newRow("DAR as R60/R15") << good << "r60/r15" << std::optional(20.0) << "F" << std::optional(1.6) << std::optional(2.5)
                                    << std::optional(400e6) << "PASS"
                                    << QStringList{"R60 at 40 °C is 400.0 MΩ, at least the minimum of 100.0 MΩ for form-wound windings",
                                                   "PI is 2.50, at least the minimum of 2.0 for class F",
                                                   "DAR (R60/R15) is 1.60, at least the guide value 1.25"};
    // At 30 °C one halving: 30 M / 2 = 15 M; PI 45/30 = 1.5; DAR 30/25 = 1.2.
    const QString damp = "15:20e6 30:25e6 60:30e6 600:45e6";
    QTest::newRow("damp winding") << damp << "" << std::optional(30.0) << "B" << std::optional(1.2) << std::optional(1.5)
                                  << std::optional(15e6) << "FAIL"
                                  << QStringList{"R60 at 40 °C is 15.00 MΩ, below the minimum of 100.0 MΩ for form-wound windings",
                                                 "PI is 1.50, below the minimum of 2.0 for class B",
                                                 "DAR (R60/R30) is 1.20, below the guide value 1.25"};
    QTest::newRow("damp, random-wound, class A") << damp << "random" << std::optional(30.0) << "a" << std::optional(1.2)
                                                 << std::optional(1.5) << std::optional(15e6) << "QUESTIONABLE"
                                                 << QStringList{"R60 at 40 °C is 15.00 MΩ, at least the minimum of 5.000 MΩ for random-wound windings and machines under 1 kV",
                                                                "PI is 1.50, at least the minimum of 1.5 for class A",
                                                                "DAR (R60/R30) is 1.20, below the guide value 1.25"};
    // Above 5 GΩ the PI is left out of the verdict; at 50 °C the correction doubles R60.
    QTest::newRow("R60 above 5 GΩ") << "15:4e9 30:4.5e9 60:6e9 600:9e9" << "" << std::optional(50.0) << "" << std::optional(6.0 / 4.5)
                                    << std::optional(1.5) << std::optional(12e9) << "PASS"
                                    << QStringList{"R60 at 40 °C is 12.00 GΩ, at least the minimum of 100.0 MΩ for form-wound windings",
                                                   "PI not meaningful: R60 is above 5.000 GΩ",
                                                   "DAR (R60/R30) is 1.33, at least the guide value 1.25"};
    QTest::newRow("spot test without PI") << "15:1e9 30:1.25e9 60:1.6e9 75:1.7e9" << "" << std::optional(40.0) << "B"
                                          << std::optional(1.28) << std::optional<double>() << std::optional(1.6e9) << "QUESTIONABLE"
                                          << QStringList{"R60 at 40 °C is 1.600 GΩ, at least the minimum of 100.0 MΩ for form-wound windings",
                                                         "no PI: the run ends at 75.0 s, before 600 s",
                                                         "DAR (R60/R30) is 1.28, at least the guide value 1.25"};
    QTest::newRow("no temperature, no verdict") << damp << "" << std::optional<double>() << "B" << std::optional(1.2)
                                                << std::optional(1.5) << std::optional<double>() << ""
                                                << QStringList{"no verdict: the ambient temperature is not known",
                                                               "PI is 1.50, below the minimum of 2.0 for class B",
                                                               "DAR (R60/R30) is 1.20, below the guide value 1.25"};
    QTest::newRow("no class given") << damp << "random" << std::optional(30.0) << "" << std::optional(1.2) << std::optional(1.5)
                                    << std::optional(15e6) << "FAIL"
                                    << QStringList{"R60 at 40 °C is 15.00 MΩ, at least the minimum of 5.000 MΩ for random-wound windings and machines under 1 kV",
                                                   "PI is 1.50, below the minimum of 2.0 for classes B, F, H (no class given)",
                                                   "DAR (R60/R30) is 1.20, below the guide value 1.25"};
    QTest::newRow("ends before a minute") << "0:1e8 15:2e8 30:3e8 45:4e8" << "" << std::optional(20.0) << "B"
                                          << std::optional<double>() << std::optional<double>() << std::optional<double>() << "QUESTIONABLE"
                                          << QStringList{"no reading at 60 s: the run ends at 45.0 s"};
  }
  void indices() {
    QFETCH(QString, points);
    QFETCH(QString, settings);
    QFETCH(std::optional<double>, ambient);
    QFETCH(QString, insulationClass);
    QFETCH(std::optional<double>, dar);
    QFETCH(std::optional<double>, pi);
    QFETCH(std::optional<double>, r60At40C);
    QFETCH(QString, verdict);
    QFETCH(QStringList, reasons);
    const InsulationIndices indices = qm::analysis::analyseRun(runOf(points), ambient, insulationClass, settingsOf(settings));
    QVERIFY2(near(indices.dar, dar), qPrintable(text(indices.dar)));
    QVERIFY2(near(indices.pi, pi), qPrintable(text(indices.pi)));
    QVERIFY2(near(indices.r60At40C, r60At40C), qPrintable(text(indices.r60At40C)));
    QCOMPARE(indices.verdict ? qm::analysis::verdictText(*indices.verdict) : QString(), verdict);
    QCOMPARE(indices.reasons, reasons);
  }

  // R15, R30, R60 and R600 come from the readings around those times; none past the run's end.
  void indexTimes() {
    const InsulationIndices indices =
        qm::analysis::analyseRun(runOf("10:0.8e9 20:1.25e9 30:1.25e9 60:1.6e9 600:4e9"), 20.0, "F", AnalysisSettings{});
    QVERIFY(near(indices.r15, 1e9));
    QVERIFY(near(indices.r30, 1.25e9));
    QVERIFY(near(indices.r60, 1.6e9));
    QVERIFY(near(indices.r600, 4e9));
    const InsulationIndices shorter = qm::analysis::analyseRun(runOf("10:0.8e9 20:1.25e9 59:1.6e9"), 20.0, "F", AnalysisSettings{});
    QVERIFY(near(shorter.r30, std::exp((std::log(1.25e9) * 29 + std::log(1.6e9) * 10) / 39)));
    QVERIFY(!shorter.r60 && !shorter.r600 && !shorter.dar && !shorter.pi);
  }

  void correction_data() {
    QTest::addColumn<double>("ambient");
    QTest::addColumn<double>("halvingDegrees");
    QTest::addColumn<double>("factor");
    QTest::newRow("at 40 °C") << 40.0 << 10.0 << 1.0;
    QTest::newRow("20 °C, halving every 10 °C") << 20.0 << 10.0 << 0.25;
    QTest::newRow("45 °C") << 45.0 << 10.0 << std::sqrt(2.0);
    QTest::newRow("25 °C, halving every 15 °C") << 25.0 << 15.0 << 0.5;
    QTest::newRow("-10 °C") << -10.0 << 10.0 << 1.0 / 32;
  }
  void correction() {
    QFETCH(double, ambient);
    QFETCH(double, halvingDegrees);
    QFETCH(double, factor);
    QCOMPARE(qm::analysis::correctedTo40C(1e9, ambient, halvingDegrees), 1e9 * factor);
  }

  void ohmsText_data() {
    QTest::addColumn<double>("ohms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0 Ω";
    QTest::newRow("ohms") << 12.5 << "12.50 Ω";
    QTest::newRow("megohms") << 975.6e6 << "975.6 MΩ";
    QTest::newRow("rounds up to the next prefix") << 999.96e6 << "1.000 GΩ";
    QTest::newRow("gigohms") << 1.02e9 << "1.020 GΩ";
    QTest::newRow("teraohms and beyond") << 2.5e15 << "2500 TΩ";
  }
  void ohmsText() {
    QFETCH(double, ohms);
    QTEST(qm::analysis::ohmsText(ohms), "text");
  }
};

QTEST_APPLESS_MAIN(TestInsulationIndices)
#include "tst_insulation_indices.moc"
