// The print preview as the user meets it: paging and zooming, painting only the pages on screen,
// keeping its pages while the table goes on changing, saving, loading a saved PDF, and printing a
// range of pages.

#include "message_boxes.h"
#include "report_fixtures.h"

#include "log/golden_files.h"
#include "reports/page_view.h"
#include "reports/report_preview.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QProcess>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace reports_test;
using qm::reports::PageView;
using qm::reports::ReportKind;
using qm::reports::ReportPreview;

namespace {

struct PreviewState {
  int pageBox;
  QString total;
  std::size_t currentPage;
  bool previousEnabled;
  bool nextEnabled;
};

PreviewState stateOf(ReportPreview& preview) {
  return {preview.findChild<QSpinBox*>("PageNumber")->value(), preview.findChild<QLabel*>("PageTotal")->text(),
          preview.view().currentPage(), preview.findChild<QAction*>("PreviousPage")->isEnabled(),
          preview.findChild<QAction*>("NextPage")->isEnabled()};
}

void trigger(ReportPreview& preview, const char* action) { preview.findChild<QAction*>(action)->trigger(); }

QString pdftotext(const QString& file) {
  QProcess process;
  process.start("pdftotext", {"-layout", file, "-"});
  process.waitForFinished(60000);
  return QString::fromUtf8(process.readAllStandardOutput()).simplified();
}

}  // namespace

class TestReportPreview : public QObject {
  Q_OBJECT

private slots:
  void paging() {
    ReadingTable table;
    appendLog(table, 100);
    ReportPreview preview(reportOf(ReportKind::Data, &table));
    preview.resize(700, 900);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    const auto check = [&](int box, std::size_t page, bool previous, bool next) {
      const PreviewState state = stateOf(preview);
      QCOMPARE(state.pageBox, box);
      QCOMPARE(state.total, QString(" of 3 "));
      QCOMPARE(state.currentPage, page);
      QCOMPARE(state.previousEnabled, previous);
      QCOMPARE(state.nextEnabled, next);
    };
    check(1, 0, false, true);
    trigger(preview, "LastPage");
    check(3, 2, true, false);
    trigger(preview, "PreviousPage");
    check(2, 1, true, true);
    trigger(preview, "FirstPage");
    check(1, 0, false, true);
    trigger(preview, "NextPage");
    check(2, 1, true, true);
    preview.findChild<QSpinBox*>("PageNumber")->setValue(3);
    check(3, 2, true, false);
    // Scrolling by hand moves the page box along.
    preview.view().verticalScrollBar()->setValue(0);
    check(1, 0, false, true);
  }

  // Fit page shows a whole page, fit width fills the width, 100 % is the paper's size on screen;
  // each keeps the page in view; only the pages on screen are painted, even among 270,271.
  void zoomAndPainting() {
    ReadingTable table;
    appendLog(table, 10'000'000);
    ReportPreview preview(reportOf(ReportKind::Data, &table));
    preview.resize(700, 900);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    PageView& view = preview.view();
    const QSize viewport = view.viewport()->size();
    trigger(preview, "LastPage");

    trigger(preview, "FitPage");
    QVERIFY(qAbs(view.pixelsPerMm() * 297 - (viewport.height() - 20)) < 1 || qAbs(view.pixelsPerMm() * 210 - (viewport.width() - 20)) < 1);
    QVERIFY(view.pixelsPerMm() * 297 <= viewport.height());
    QCOMPARE(view.currentPage(), std::size_t{270'270});
    trigger(preview, "FitWidth");
    QVERIFY(qAbs(view.pixelsPerMm() * 210 - (viewport.width() - 20)) < 1);
    QCOMPARE(view.currentPage(), std::size_t{270'270});
    trigger(preview, "ActualSize");
    QCOMPARE(view.pixelsPerMm(), view.logicalDpiX() / 25.4);
    QCOMPARE(view.currentPage(), std::size_t{270'270});
    QCOMPARE(stateOf(preview).pageBox, 270'271);

    preview.findChild<QSpinBox*>("PageNumber")->setValue(100'000);
    trigger(preview, "FitWidth");
    view.viewport()->repaint();
    QVERIFY(view.pagesPaintedLastTime() >= 1 && view.pagesPaintedLastTime() <= 2);
    trigger(preview, "FitPage");
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() - view.verticalScrollBar()->pageStep() / 2);
    view.viewport()->repaint();
    QCOMPARE(view.pagesPaintedLastTime(), std::size_t{2});
    QCOMPARE(view.currentPage(), std::size_t{99'998});
    // The last page shows the last row.
    trigger(preview, "LastPage");
    trigger(preview, "FitWidth");
    const QImage shown = view.viewport()->grab().toImage();
    int ink = 0;
    for (int y = 0; y < shown.height(); y += 2) {
      for (int x = 0; x < shown.width(); x += 2) {
        ink += qGray(shown.pixel(x, y)) < 100 ? 1 : 0;
      }
    }
    QVERIFY2(ink > 200, qPrintable(QString::number(ink)));
  }

  // The preview shows the rows of the moment it opened: readings logged since, a Clear All or a
  // packet loaded in the table's place change neither its pages nor its total.
  void keepsItsRows() {
    ReadingTable table;
    appendLog(table, 40);
    ReportPreview preview(reportOf(ReportKind::Data, &table));
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    trigger(preview, "LastPage");
    appendLog(table, 500, 41);
    QCOMPARE(preview.report().rowCount(), std::size_t{40});
    QCOMPARE(preview.report().pageTotal(), std::size_t{2});
    QCOMPARE(stateOf(preview).total, QString(" of 2 "));
    QCOMPARE(preview.pages().pageCount(), std::size_t{2});
    table.clear();
    appendLog(table, 3, 900);
    preview.view().viewport()->repaint();
    QCOMPARE(preview.report().rowCount(), std::size_t{40});
    QCOMPARE(preview.report().pageContent(1).texts[3 + 6 + 6 * 2].text, QString("40"));
    QCOMPARE(stateOf(preview).pageBox, 2);
  }

  // Save writes the chosen format (a bare name takes the chosen filter's extension); Load shows a
  // saved PDF in the same preview, which then saves only as PDF; a file that is no PDF is refused.
  void saveAndLoad() {
    ReadingTable table;
    appendLog(table, 80);
    ReportPreview preview(reportOf(ReportKind::Data, &table));
    QTemporaryDir dir;
    QString answer;
    QString filter;
    QStringList offered;
    preview.setFileDialogRunner([&](QFileDialog& dialog) {
      offered = dialog.nameFilters();
      if (!filter.isEmpty()) {
        dialog.selectNameFilter(filter);
      }
      return answer;
    });
    MessageBoxes boxes;

    answer = dir.filePath("bare");
    filter = "Comma-separated text (*.csv)";
    trigger(preview, "Save");
    QCOMPARE(offered, (QStringList{"PDF report (*.pdf)", "HTML document (*.html *.htm)", "Plain text (*.txt)",
                                   "Comma-separated text (*.csv)"}));
    QVERIFY(readAll(dir.filePath("bare.csv")).startsWith("No,Time,Value,Unit,Function,Remark\r\n1,08:00:00,0,M\xCE\xA9,"));

    answer = dir.filePath("report.pdf");
    filter.clear();
    trigger(preview, "Save");
    QVERIFY(readAll(answer).startsWith("%PDF-"));

    answer = dir.filePath("report.pdf");
    trigger(preview, "Load");
    QVERIFY(preview.showsLoadedFile());
    QCOMPARE(preview.pages().pageCount(), std::size_t{3});
    QCOMPARE(stateOf(preview).total, QString(" of 3 "));
    QCOMPARE(preview.windowTitle(), QString("Print Preview - report.pdf"));
    QVERIFY(qAbs(preview.pages().pageSize(2).width() - 210) < 0.5);
    preview.view().viewport()->repaint();

    answer = dir.filePath("copy.pdf");
    trigger(preview, "Save");
    QCOMPARE(offered, QStringList{"PDF report (*.pdf)"});
    QCOMPARE(readAll(answer), readAll(dir.filePath("report.pdf")));
    QVERIFY(boxes.texts().isEmpty());

    QCOMPARE(int(preview.saveTo(dir.filePath("copy.csv")).status), int(qm::reports::ExportOutcome::Status::Failed));
    writeFile(dir.filePath("fake.pdf"), "not a PDF");
    QVERIFY(!preview.loadFrom(dir.filePath("fake.pdf")));
    QCOMPARE(boxes.texts(), (QStringList{QString("Cannot save \"%1\": a report is saved as .pdf.").arg(dir.filePath("copy.csv")),
                                         QString("Cannot load the report \"%1\": it is not a PDF file").arg(dir.filePath("fake.pdf"))}));
    QCOMPARE(preview.pages().pageCount(), std::size_t{3});
    QVERIFY(!QFileInfo::exists(dir.filePath("copy.csv")));
  }

  // Printing a range prints those pages only, each as the preview shows it.
  void printRange() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) {
      QSKIP("pdftotext (poppler-utils) is not installed");
    }
    ReadingTable table;
    appendLog(table, 100);
    ReportPreview preview(reportOf(ReportKind::Data, &table));
    QCOMPARE(preview.printer().copyCount(), 1);
    QCOMPARE(preview.printer().duplex(), QPrinter::DuplexNone);
    QCOMPARE(preview.printer().printRange(), QPrinter::AllPages);
    QCOMPARE(preview.printer().paperSource(), QPrinter::Upper);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("printed.pdf"));
    QVERIFY(preview.printPages(printer, 1, 1));
    const QString text = pdftotext(dir.filePath("printed.pdf"));
    QVERIFY2(text.startsWith("TEST DATA REPORT Print Date: 2024-05-17 No Time Value Unit Function Remark 38 08:00:18 37"), qPrintable(text));
    QVERIFY2(text.endsWith("74 08:00:36 73 M\u03A9 IR:500V 20G\u03A9 Continuous The Page 2 Of 3"), qPrintable(text));
  }
};

QTEST_MAIN(TestReportPreview)
#include "tst_report_preview.moc"
