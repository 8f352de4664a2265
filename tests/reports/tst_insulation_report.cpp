// The insulation test report as a reader of its PDF sees it (pdftotext, pdfinfo): a page per test
// run holding the test record, the indices worked out by hand below, the verdict and its reasons,
// the lines to sign, and the page's number.

#include "analysis/table_script.h"
#include "report_fixtures.h"
#include "reports/insulation_report.h"
#include "reports/report_export.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using qm::reports::InsulationReport;

namespace {

// A ten-minute test at 1000 V, a reading every 10 s from 10:00:00: 0.5 GΩ rising to exactly
// 1.000 GΩ at 30 s, 1.500 GΩ at 60 s and 4.500 GΩ at 600 s. So DAR = 1.5 / 1.0 = 1.50 and
// PI = 4.5 / 1.5 = 3.00; at 20 °C, R60 at 40 °C = 1.5 GΩ / 2^2 = 375.0 MΩ. Then, under the 500 V
// function, a test of 40 s, which never reaches R60.
QString twoRuns() {
  QStringList rows;
  int no = 1;
  for (int t = 0; t <= 600; t += 10) {
    const double gigohms = t <= 30 ? 0.5 + t / 60.0 : t <= 60 ? 1.0 + (t - 30) / 60.0 : 1.5 + (t - 60) / 180.0;
    rows << QStringLiteral("%1 %2 %3 G 1k").arg(no++).arg(QTime(10, 0).addSecs(t).toString("H:mm:ss")).arg(gigohms, 0, 'f', 3);
  }
  for (int t = 0; t <= 40; t += 10) {
    rows << QStringLiteral("%1 %2 %3 M 500").arg(no++).arg(QTime(10, 20).addSecs(t).toString("H:mm:ss")).arg(200 + t);
  }
  return rows.join(u';');
}

QString run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  process.waitForFinished(60000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

// The PDF's pages as lines of text, blanks squeezed.
QList<QStringList> pdfPages(const QString& path) {
  QList<QStringList> pages;
  for (const QString& page : run("pdftotext", {"-layout", path, "-"}).split(u'\f')) {
    QStringList lines;
    for (const QString& line : page.split(u'\n')) {
      if (!line.trimmed().isEmpty()) {
        lines << line.simplified();
      }
    }
    pages << lines;
  }
  pages.removeLast();  // after the last form feed
  return pages;
}

}  // namespace

class TestInsulationReport : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty() || QStandardPaths::findExecutable("pdfinfo").isEmpty()) {
      QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");
    }
  }

  void pagePerRunWithRecordIndicesAndVerdict() {
    qm::log::ReadingTable table;
    table_script::fill(table, twoRuns());
    qm::analysis::RunFinder finder(".");
    finder.addRows(table);
    QCOMPARE(finder.runs().size(), std::size_t{2});
    qm::analysis::TestRecord record;
    record.assetId = QStringLiteral("M-204");
    record.assetDescription = QStringLiteral("Pump motor");
    record.site = QStringLiteral("Plant 2");
    record.operatorName = QStringLiteral("J. Rivera");
    record.ambientCelsius = 20;
    record.humidityPercent = 55;
    record.insulationClass = QStringLiteral("F");
    record.notes = QStringLiteral("Cable disconnected at the terminal box");
    qm::reports::InsulationReportOptions options;
    options.printDate = QStringLiteral("2024-05-17");
    options.timeFormat = reports_test::fixedTimeFormat();
    const InsulationReport report(finder.runs(), record, options);
    QCOMPARE(report.pageCount(), std::size_t{2});

    QTemporaryDir dir;
    const QString path = dir.filePath("insulation.pdf");
    QVERIFY(qm::reports::savePdf(report, InsulationReport::title(), path).written());
    const QString info = run("pdfinfo", {path});
    QVERIFY2(info.contains(QRegularExpression("Pages:\\s+2\n")), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression("Title:\\s+INSULATION TEST REPORT\n")), qPrintable(info));

    const QList<QStringList> pages = pdfPages(path);
    QCOMPARE(pages.size(), 2);
    const QStringList& first = pages[0];
    const QStringList expected = {
        "INSULATION TEST REPORT Print Date: 2024-05-17",
        "Run 1 of 2: No 1-61, IR:1000V 40G\u03A9, started 10:00:00, 600.0 s",
        "Asset ID M-204 Site Plant 2",
        "Description Pump motor Operator J. Rivera",
        "Ambient temperature 20 \u00B0C Humidity 55 % RH",
        "Insulation class F",
        "Notes Cable disconnected at the terminal box",
        "R30 1.000 G\u03A9 PI (R600/R60) 3.00",
        "R60 1.500 G\u03A9 Meter's PI -",
        "R600 4.500 G\u03A9 R60 at 40 \u00B0C 375.0 M\u03A9 (from 20 \u00B0C)",
        "Verdict PASS",
        "PI is 3.00, at least the minimum of 2.0 for class F",
        "DAR (R60/R30) is 1.50, at least the guide value 1.25",
        "Tested by Date",
        "Checked by Date",
        "The Page 1 Of 2",
    };
    for (const QString& line : expected) {
      QVERIFY2(first.contains(line), qPrintable(line + "\n---\n" + first.join('\n')));
    }
    QVERIFY2(first.filter(QRegularExpression("^R15 \\S+ M\u03A9 DAR \\(R60/R30\\) 1\\.50$")).size() == 1, qPrintable(first.join('\n')));

    const QStringList& second = pages[1];
    for (const QString& line : {QStringLiteral("Run 2 of 2: No 62-66, IR:500V 20G\u03A9, started 10:20:00, 40.0 s"),
                                QStringLiteral("Verdict QUESTIONABLE"),
                                QStringLiteral("no reading at 60 s: the run ends at 40.0 s"),
                                QStringLiteral("R60 - Meter's PI -"), QStringLiteral("The Page 2 Of 2")}) {
      QVERIFY2(second.contains(line), qPrintable(line + "\n---\n" + second.join('\n')));
    }
  }

  // Without a record: every field says so, and there is no verdict.
  void emptyRecordGivesNoVerdict() {
    qm::log::ReadingTable table;
    table_script::fill(table, twoRuns());
    qm::analysis::RunFinder finder(".");
    finder.addRows(table);
    qm::reports::InsulationReportOptions options;
    options.timeFormat = reports_test::fixedTimeFormat();
    const InsulationReport report({finder.runs().front()}, {}, options);
    QTemporaryDir dir;
    const QString path = dir.filePath("insulation.pdf");
    QVERIFY(qm::reports::savePdf(report, InsulationReport::title(), path).written());
    const QStringList page = pdfPages(path).value(0);
    for (const QString& line : {QStringLiteral("Asset ID - Site -"), QStringLiteral("Ambient temperature - Humidity -"),
                                QStringLiteral("R600 4.500 G\u03A9 R60 at 40 \u00B0C -"), QStringLiteral("Verdict NO VERDICT"),
                                QStringLiteral("no verdict: the ambient temperature is not known"),
                                QStringLiteral("The Page 1 Of 1")}) {
      QVERIFY2(page.contains(line), qPrintable(line + "\n---\n" + page.join('\n')));
    }
  }
};

QTEST_MAIN(TestInsulationReport)
#include "tst_insulation_report.moc"
