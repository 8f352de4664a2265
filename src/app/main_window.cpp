#include "app/main_window.h"

#include "app/about_window.h"
#include "app/analysis_window.h"
#include "app/click_panel.h"
#include "app/help_file.h"
#include "app/help_viewer.h"
#include "app/link_presenter.h"
#include "app/reading_log_controls.h"
#include "app/report_commands.h"
#include "app/store_window.h"
#include "chart/trend_chart_view.h"
#include "core/locale_text.h"
#include "log/time_of_day_format.h"
#include "meter/live_meter.h"
#include "sim/virtual_hid_bus.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>

namespace qm::app {
namespace {

const QColor kWindowGrey(212, 208, 200);

}  // namespace

MainWindow::MainWindow(std::unique_ptr<link::HidPlatform> platform, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("FrmTest"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  QPalette grey = palette();
  grey.setColor(QPalette::Window, kWindowGrey);
  setPalette(grey);
  QFont arial(QStringLiteral("Arial"));
  arial.setPixelSize(11);
  setFont(arial);

  controls_ = buildMainWindowLayout(*this);
  // A child of the window, so that its timers and its table are found among the window's objects.
  meter_ = std::make_unique<meter::LiveMeter>(platform ? std::move(platform) : std::make_unique<sim::VirtualHidBus>(), this);

  programFolder_ = QCoreApplication::applicationDirPath() + QLatin1Char('/');
  localeDecimalSeparator_ = systemDecimalSeparator();
  meter_->setDecimalSeparator(localeDecimalSeparator_);

  // The user's long time format: the grid's Time column and the text table files.
  const auto timeFormat = std::make_shared<const log::TimeOfDayFormat>(log::TimeOfDayFormat::systemLongTime());
  new LinkPresenter(*meter_, controls_, this);
  new ReadingLogControls(*meter_, controls_, timeFormat, this);
  tableFiles_ = new TableFileCommands(*meter_, controls_, timeFormat, this);
  analysisWindow_ = new AnalysisWindow(meter_->table(), *tableFiles_, localeDecimalSeparator_, this);
  setUpChart();
  connectWindowCommands();

  controls_.menu.recordLimits[2]->setChecked(true);  // 10000
  controls_.repeatBox->setChecked(true);
  setWindowTitle(QStringLiteral("QM830/QM840 Interface Program V2.00"));
  meter_->connection().setPortKind(link::kUsbPortKind);

  new AboutWindow(this);
  // The print-style dialog with the report commands.
  new ReportCommands(*meter_, controls_, timeFormat, this);
  storeWindow_ = new StoreWindow(this);
  placeOnScreen();
}

MainWindow::~MainWindow() {
  // The grid, the chart and the analysis read the live meter's table: they go first.
  delete takeCentralWidget();
  delete analysisWindow_;
  meter_.reset();
}

void MainWindow::setUpChart() {
  chart::TrendChartView* chart = controls_.chart;
  const MainMenuItems& menu = controls_.menu;
  chart->fillWithSamples();
  chart->showChosenSeries();
  chart->followTable(meter_->table(), localeDecimalSeparator_);
  chart->setNextRecordNoSource([this] { return meter_->logger().nextRecordNo(); });
  chart->setClientArea(controls_.clientArea->viewport());
  chart->setPageSize(100);

  connect(menu.saveWholeChart, &QAction::triggered, chart, &chart::TrendChartView::saveWholeSnapshot);
  connect(menu.firstChartPage, &QAction::triggered, chart, &chart::TrendChartView::goToFirstPage);
  connect(menu.nextChartPage, &QAction::triggered, chart, &chart::TrendChartView::goToNextPage);
  connect(menu.lastChartPage, &QAction::triggered, chart, &chart::TrendChartView::goToLastPage);
  connect(menu.previousChartPage, &QAction::triggered, chart, &chart::TrendChartView::goToPreviousPage);
  // The item's mark is already inverted when it reports the click; the box takes the new mark, and
  // the box's own click switches the series and sets the mark back.
  connect(menu.chartFill, &QAction::triggered, chart, &chart::TrendChartView::setFillChecked);
  connect(chart, &chart::TrendChartView::fillSwitched, menu.chartFill, &QAction::setChecked);
  connect(menu.clearChart, &QAction::triggered, chart, &chart::TrendChartView::clearChart);
}

void MainWindow::connectWindowCommands() {
  const auto endProgram = [this] {
    if (tableFiles_->mayEnd()) {
      // Quitting closes the windows; the answer given stands for this window's close.
      endConfirmed_ = true;
      QCoreApplication::quit();
    }
  };
  connect(controls_.exitPanel, &ClickPanel::clicked, this, endProgram);
  connect(controls_.menu.exit, &QAction::triggered, this, endProgram);
  connect(controls_.menu.help, &QAction::triggered, this, &MainWindow::showHelp);
  connect(controls_.storeButton, &QToolButton::clicked, this, [this] { storeWindow_->exec(); });
  connect(controls_.menu.insulationAnalysis, &QAction::triggered, this, [this] {
    analysisWindow_->show();
    analysisWindow_->raise();
    analysisWindow_->activateWindow();
  });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (endConfirmed_ || tableFiles_->mayEnd()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::placeOnScreen() {
  adjustSize();
  move(screen()->availableGeometry().center() - rect().center());
}

void MainWindow::showHelp() {
  if (helpViewer_ == nullptr) {
    helpViewer_ = new HelpViewer(this);
  }
  helpViewer_->showContents(helpFileFor(programFolder_));
}

}  // namespace qm::app
