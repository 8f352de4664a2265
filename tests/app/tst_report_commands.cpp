// The report commands in the main window: "Print Data", the covered store-data print button and
// File > "  Print" open their previews over the live table, and the window goes on logging while
// a preview is open without the preview's pages changing.

#include "app/main_window.h"
#include "app/report_commands.h"
#include "meter/live_meter.h"
#include "reports/print_style_dialog.h"
#include "reports/report_preview.h"
#include "sim/frame_encoder.h"
#include "sim/meter_model.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

using qm::app::MainWindow;
using qm::reports::ReportKind;
using qm::reports::ReportPreview;

class TestReportCommands : public QObject {
  Q_OBJECT

private slots:
  void init() {
    window_ = std::make_unique<MainWindow>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void cleanup() { window_.reset(); }

  // "Print Data" opens the data report of the rows logged so far; readings logged while it is
  // open reach the grid but not the preview, and the main window stays usable.
  void printDataWhileLogging() {
    logReadings(40);
    window_->findChild<QToolButton*>("MajPrint")->click();
    ReportPreview* preview = onlyPreview();
    QVERIFY(preview);
    QVERIFY(preview->isVisible());
    QCOMPARE(int(preview->report().kind()), int(ReportKind::Data));
    QCOMPARE(preview->report().rowCount(), std::size_t{40});
    QCOMPARE(preview->report().pageTotal(), std::size_t{2});
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    logReadings(40);
    QCOMPARE(window_->liveMeter().table().rowCount(), std::size_t{80});
    QCOMPARE(preview->report().rowCount(), std::size_t{40});
    QCOMPARE(preview->findChild<QLabel*>("PageTotal")->text(), QString(" of 2 "));

    // The next "Print Data" counts the rows of its own moment.
    window_->findChild<QToolButton*>("MajPrint")->click();
    QCOMPARE(window_->findChildren<ReportPreview*>().size(), 2);
    QCOMPARE(window_->findChildren<ReportPreview*>().last()->report().pageTotal(), std::size_t{3});
    preview->close();
    QTRY_COMPARE(window_->findChildren<ReportPreview*>().size(), 1);
  }

  // The hidden File > "  Print" shows the print-style dialog; its data report has the total the
  // "Print Data" button gives.
  void printStyleDialog() {
    logReadings(75);
    auto* commands = window_->findChild<qm::app::ReportCommands*>();
    qm::reports::PrintStyleDialog& dialog = commands->printStyleDialog();
    QVERIFY(dialog.isHidden());
    QAction* print = window_->findChild<QAction*>("print");
    QVERIFY(!print->isVisible());
    QTimer::singleShot(0, &dialog, [&dialog] {
      QVERIFY(dialog.isModal() && dialog.isVisible());
      dialog.findChild<QRadioButton*>("RadioButton1")->click();
      dialog.findChild<QPushButton*>("BitBtn1")->click();
    });
    print->trigger();
    QVERIFY(dialog.isHidden());
    ReportPreview* preview = onlyPreview();
    QVERIFY(preview);
    QCOMPARE(preview->report().pageTotal(), std::size_t{3});
  }

  // The store-data print button, covered by the grid, opens the store report: one page.
  void storeReport() {
    logReadings(50);
    window_->findChild<QToolButton*>("SpeedButton7")->click();
    ReportPreview* preview = onlyPreview();
    QVERIFY(preview);
    QCOMPARE(int(preview->report().kind()), int(ReportKind::Store));
    QCOMPARE(preview->pages().pageCount(), std::size_t{1});
    QCOMPARE(preview->report().pageContent(0).texts.back().text, QString("1"));
  }

  // Closing the main window with a preview open ends both, and the preview's rows go with it.
  void previewOutlivesNothing() {
    logReadings(5);
    window_->findChild<QToolButton*>("MajPrint")->click();
    QPointer<ReportPreview> preview = onlyPreview();
    window_.reset();
    QVERIFY(preview.isNull());
  }

private:
  ReportPreview* onlyPreview() const {
    const QList<ReportPreview*> previews = window_->findChildren<ReportPreview*>();
    return previews.size() == 1 ? previews.first() : nullptr;
  }

  // Readings of the simulated meter, each one different, logged as the window logs them.
  void logReadings(int count) {
    for (int i = 0; i < count; ++i) {
      window_->liveMeter().decodeFrame(
          qm::sim::frameText(qm::sim::encodeFrame(model_.displayAt(std::chrono::milliseconds(elapsedMs_)))));
      elapsedMs_ += 700;
    }
  }

  qm::sim::MeterModel model_;
  int elapsedMs_ = 0;
  std::unique_ptr<MainWindow> window_;
};

QTEST_MAIN(TestReportCommands)
#include "tst_report_commands.moc"
