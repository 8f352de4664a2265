#include "reports/report_preview.h"

#include "reports/page_view.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QProgressDialog>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <climits>

namespace qm::reports {
namespace {

// A save or a print shows its progress once it has taken this long.
constexpr int kProgressDelayMs = 500;
// How often a running save or print lets the windows repaint and the cancel button answer.
constexpr qint64 kEventIntervalMs = 50;

struct SaveFilter {
  const char* filter;
  const char* suffix;
};
// The first is the format a loaded PDF is saved in.
constexpr SaveFilter kSaveFilters[] = {{"PDF report (*.pdf)", "pdf"},
                                       {"HTML document (*.html *.htm)", "html"},
                                       {"Plain text (*.txt)", "txt"},
                                       {"Comma-separated text (*.csv)", "csv"}};

QString runModally(QFileDialog& dialog) {
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().constFirst()
                                                                               : QString();
}

QAction* addCommand(QToolBar* bar, const char* name, const QString& text, const QKeySequence& shortcut = {}) {
  QAction* action = bar->addAction(text);
  action->setObjectName(QLatin1String(name));
  action->setShortcut(shortcut);
  return action;
}

// A paging command: an arrow with its name as the tool tip, to leave the bar's width to the rest.
QAction* addPagingCommand(QToolBar* bar, const char* name, const QString& text, QStyle::StandardPixmap icon,
                          const QKeySequence& shortcut) {
  QAction* action = addCommand(bar, name, text, shortcut);
  action->setIcon(bar->style()->standardIcon(icon));
  if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action))) {
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  }
  return action;
}

}  // namespace

ReportPreview::ReportPreview(std::unique_ptr<ReportDocument> report, QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      report_(std::move(report)),
      printer_(QPrinter::HighResolution),
      runFileDialog_(runModally) {
  setObjectName(QStringLiteral("ReportPreview"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Print Preview"));
  printer_.setPageSize(QPageSize(QPageSize::A4));
  printer_.setPageOrientation(QPageLayout::Portrait);
  printer_.setFullPage(true);
  printer_.setPaperSource(QPrinter::Upper);
  printer_.setCopyCount(1);
  printer_.setDuplex(QPrinter::DuplexNone);
  printer_.setPrintRange(QPrinter::AllPages);

  view_ = new PageView(this);
  setCentralWidget(view_);
  buildToolBar();
  view_->setSource(report_.get());
  connect(view_, &PageView::currentPageChanged, this, &ReportPreview::showPageNumber);
  updateCommands();
  // Wide enough for the whole toolbar, Close included, without its overflow menu; as tall as a
  // page at that width where the screen allows.
  resize(840, std::min(900, screen()->availableGeometry().height() - 60));
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  emit closed();
}

const PageSource& ReportPreview::pages() const {
  return loaded_ ? static_cast<const PageSource&>(*loaded_) : static_cast<const PageSource&>(*report_);
}

void ReportPreview::buildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("Preview"));
  bar->setObjectName(QStringLiteral("PreviewToolBar"));
  bar->setMovable(false);

  auto* zooms = new QActionGroup(this);
  const auto addZoom = [&](const char* name, const QString& text, PageView::Zoom zoom) {
    QAction* action = bar->addAction(text);
    action->setObjectName(QLatin1String(name));
    action->setCheckable(true);
    action->setChecked(view_->zoom() == zoom);
    zooms->addAction(action);
    connect(action, &QAction::triggered, this, [this, zoom] { view_->setZoom(zoom); });
  };
  addZoom("FitPage", QStringLiteral("Fit Page"), PageView::Zoom::FitPage);
  addZoom("ActualSize", QStringLiteral("100 %"), PageView::Zoom::ActualSize);
  addZoom("FitWidth", QStringLiteral("Fit Width"), PageView::Zoom::FitWidth);
  bar->addSeparator();

  firstPage_ = addPagingCommand(bar, "FirstPage", QStringLiteral("First Page"), QStyle::SP_MediaSkipBackward, Qt::CTRL | Qt::Key_Home);
  previousPage_ =
      addPagingCommand(bar, "PreviousPage", QStringLiteral("Previous Page"), QStyle::SP_MediaSeekBackward, Qt::Key_PageUp);
  pageBox_ = new QSpinBox(bar);
  pageBox_->setObjectName(QStringLiteral("PageNumber"));
  pageBox_->setKeyboardTracking(false);
  pageBox_->setAccelerated(true);
  bar->addWidget(pageBox_);
  pageTotal_ = new QLabel(bar);
  pageTotal_->setObjectName(QStringLiteral("PageTotal"));
  bar->addWidget(pageTotal_);
  nextPage_ = addPagingCommand(bar, "NextPage", QStringLiteral("Next Page"), QStyle::SP_MediaSeekForward, Qt::Key_PageDown);
  lastPage_ = addPagingCommand(bar, "LastPage", QStringLiteral("Last Page"), QStyle::SP_MediaSkipForward, Qt::CTRL | Qt::Key_End);
  bar->addSeparator();
  QAction* setup = addCommand(bar, "PrinterSetup", QStringLiteral("Printer Setup..."));
  QAction* printAction = addCommand(bar, "Print", QStringLiteral("Print..."), QKeySequence::Print);
  QAction* saveAction = addCommand(bar, "Save", QStringLiteral("Save..."), QKeySequence::Save);
  QAction* loadAction = addCommand(bar, "Load", QStringLiteral("Load..."), QKeySequence::Open);
  QAction* closeAction = addCommand(bar, "Close", QStringLiteral("Close"), QKeySequence::Close);

  connect(firstPage_, &QAction::triggered, this, &ReportPreview::goToFirstPage);
  connect(previousPage_, &QAction::triggered, this, &ReportPreview::goToPreviousPage);
  connect(nextPage_, &QAction::triggered, this, &ReportPreview::goToNextPage);
  connect(lastPage_, &QAction::triggered, this, &ReportPreview::goToLastPage);
  connect(pageBox_, &QSpinBox::valueChanged, this, [this](int number) { view_->goToPage(static_cast<std::size_t>(number - 1)); });
  connect(setup, &QAction::triggered, this, &ReportPreview::printerSetup);
  connect(printAction, &QAction::triggered, this, &ReportPreview::print);
  connect(saveAction, &QAction::triggered, this, &ReportPreview::save);
  connect(loadAction, &QAction::triggered, this, &ReportPreview::load);
  connect(closeAction, &QAction::triggered, this, &QWidget::close);
}

void ReportPreview::updateCommands() {
  const std::size_t count = pages().pageCount();
  {
    const QSignalBlocker quiet(pageBox_);
    pageBox_->setRange(1, static_cast<int>(std::min<std::size_t>(count, INT_MAX)));
  }
  pageTotal_->setText(QStringLiteral(" of %1 ").arg(count));
  showPageNumber(view_->currentPage());
}

void ReportPreview::showPageNumber(std::size_t page) {
  {
    const QSignalBlocker quiet(pageBox_);
    pageBox_->setValue(static_cast<int>(page + 1));
  }
  const std::size_t last = pages().pageCount() - 1;
  firstPage_->setEnabled(page > 0);
  previousPage_->setEnabled(page > 0);
  nextPage_->setEnabled(page < last);
  lastPage_->setEnabled(page < last);
}

void ReportPreview::goToFirstPage() { view_->goToPage(0); }

void ReportPreview::goToPreviousPage() {
  const std::size_t page = view_->currentPage();
  view_->goToPage(page > 0 ? page - 1 : 0);
}

void ReportPreview::goToNextPage() { view_->goToPage(view_->currentPage() + 1); }

void ReportPreview::goToLastPage() { view_->goToPage(pages().pageCount() - 1); }

void ReportPreview::printerSetup() {
  QPageSetupDialog dialog(&printer_, this);
  dialog.exec();
}

void ReportPreview::print() {
  // Each print starts from one copy, one-sided, all pages; the printer and its tray stay chosen.
  printer_.setCopyCount(1);
  printer_.setDuplex(QPrinter::DuplexNone);
  printer_.setPrintRange(QPrinter::AllPages);
  const int count = static_cast<int>(std::min<std::size_t>(pages().pageCount(), INT_MAX));
  printer_.setFromTo(1, count);
  QPrintDialog dialog(&printer_, this);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage);
  dialog.setMinMax(1, count);
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  std::size_t first = 0;
  std::size_t last = pages().pageCount() - 1;
  if (printer_.printRange() == QPrinter::PageRange) {
    first = static_cast<std::size_t>(std::max(1, printer_.fromPage()) - 1);
    last = std::min(last, static_cast<std::size_t>(std::max(printer_.fromPage(), printer_.toPage()) - 1));
  } else if (printer_.printRange() == QPrinter::CurrentPage) {
    first = last = view_->currentPage();
  }
  printPages(printer_, first, last);
}

bool ReportPreview::printPages(QPrinter& printer, std::size_t first, std::size_t last) {
  printer.setFullPage(true);
  const ExportOutcome outcome = withProgress(QStringLiteral("Printing..."), [&](const ExportProgress& progress) {
    QPainter painter;
    if (!painter.begin(&printer)) {
      return ExportOutcome{ExportOutcome::Status::Failed, QStringLiteral("The printer could not be started.")};
    }
    if (!paintPages(pages(), printer, painter, first, last, progress)) {
      printer.abort();
      return ExportOutcome{ExportOutcome::Status::Cancelled, {}};
    }
    painter.end();
    return ExportOutcome{};
  });
  if (outcome.status == ExportOutcome::Status::Failed) {
    QMessageBox::critical(this, windowTitle(), outcome.message);
  }
  return outcome.written();
}

void ReportPreview::save() {
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("SaveReportDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (const SaveFilter& filter : kSaveFilters) {
    filters << QLatin1String(filter.filter);
  }
  dialog.setNameFilters(loaded_ ? filters.mid(0, 1) : filters);
  QString fileName = runFileDialog_(dialog);
  if (fileName.isEmpty()) {
    return;
  }
  // A name typed without one of the formats' extensions takes that of the chosen filter.
  if (!exportFormatForFileName(fileName)) {
    const qsizetype chosen = std::max<qsizetype>(0, filters.indexOf(dialog.selectedNameFilter()));
    fileName += QLatin1Char('.') + QLatin1String(kSaveFilters[chosen].suffix);
  }
  saveTo(fileName);
}

ExportOutcome ReportPreview::saveTo(const QString& fileName) {
  const std::optional<ExportFormat> format = exportFormatForFileName(fileName);
  ExportOutcome outcome;
  if (!format || (loaded_ && *format != ExportFormat::Pdf)) {
    outcome = {ExportOutcome::Status::Failed,
               QStringLiteral("Cannot save \"%1\": a report is saved as .pdf%2.")
                   .arg(fileName, loaded_ ? QString() : QStringLiteral(", .html, .txt or .csv"))};
  } else {
    outcome = withProgress(QStringLiteral("Saving ") + fileName, [&](const ExportProgress& progress) {
      return loaded_ ? copyLoadedFile(fileName, progress) : saveReport(*report_, fileName, *format, progress);
    });
  }
  if (outcome.status == ExportOutcome::Status::Failed) {
    QMessageBox::critical(this, windowTitle(), outcome.message);
  } else if (outcome.written()) {
    statusBar()->showMessage(QStringLiteral("Saved ") + fileName, 5000);
  }
  return outcome;
}

ExportOutcome ReportPreview::copyLoadedFile(const QString& fileName, const ExportProgress& progress) {
  QFile source(loaded_->fileName());
  QSaveFile target(fileName);
  if (!source.open(QIODevice::ReadOnly)) {
    return {ExportOutcome::Status::Failed, QStringLiteral("Cannot read \"%1\": %2").arg(source.fileName(), source.errorString())};
  }
  if (!target.open(QIODevice::WriteOnly)) {
    return {ExportOutcome::Status::Failed, QStringLiteral("Cannot write \"%1\": %2").arg(fileName, target.errorString())};
  }
  const auto total = static_cast<std::uint64_t>(source.size());
  std::uint64_t done = 0;
  while (!source.atEnd()) {
    if (progress && !progress(done, total)) {
      target.cancelWriting();
      return {ExportOutcome::Status::Cancelled, {}};
    }
    const QByteArray block = source.read(4 * 1024 * 1024);
    if (block.isEmpty() || target.write(block) != block.size()) {
      break;
    }
    done += static_cast<std::uint64_t>(block.size());
  }
  if (done != total || !target.commit()) {
    return {ExportOutcome::Status::Failed, QStringLiteral("Cannot write \"%1\": %2").arg(fileName, target.errorString())};
  }
  return {};
}

void ReportPreview::load() {
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("LoadReportDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QLatin1String(kSaveFilters[0].filter));
  if (const QString fileName = runFileDialog_(dialog); !fileName.isEmpty()) {
    loadFrom(fileName);
  }
}

bool ReportPreview::loadFrom(const QString& fileName) {
  QString error;
  std::unique_ptr<PdfPages> loaded = PdfPages::load(fileName, error);
  if (!loaded) {
    QMessageBox::critical(this, windowTitle(), error);
    return false;
  }
  loaded_ = std::move(loaded);
  setWindowTitle(QStringLiteral("Print Preview - ") + QFileInfo(fileName).fileName());
  view_->setSource(loaded_.get());
  updateCommands();
  return true;
}

ExportOutcome ReportPreview::withProgress(const QString& label,
                                          const std::function<ExportOutcome(const ExportProgress&)>& work) {
  QProgressDialog progress(label, QStringLiteral("Cancel"), 0, 1000, this);
  progress.setObjectName(QStringLiteral("ReportProgress"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(kProgressDelayMs);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  QElapsedTimer sinceEvents;
  sinceEvents.start();
  const ExportProgress report = [&](std::uint64_t done, std::uint64_t total) {
    if (sinceEvents.elapsed() >= kEventIntervalMs) {
      sinceEvents.restart();
      progress.setValue(total == 0 ? 0 : static_cast<int>(done * 1000 / total));
      QCoreApplication::processEvents();
    }
    return !progress.wasCanceled();
  };
  const ExportOutcome outcome = work(report);
  progress.close();
  return outcome;
}

}  // namespace qm::reports
