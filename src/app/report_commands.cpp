#include "app/report_commands.h"

#include "log/time_of_day_format.h"
#include "meter/live_meter.h"
#include "reports/print_style_dialog.h"
#include "reports/report_document.h"
#include "reports/report_preview.h"

#include <QAction>
#include <QToolButton>

namespace qm::app {

ReportCommands::ReportCommands(const meter::LiveMeter& meter, const MainWindowControls& controls,
                               std::shared_ptr<const log::TimeOfDayFormat> timeFormat, QWidget* window)
    : QObject(window), meter_(meter), timeFormat_(std::move(timeFormat)), window_(window) {
  printStyle_ = new reports::PrintStyleDialog(
      window, [this](reports::ReportKind kind, const QImage& picture) { openReport(kind, picture); });
  connect(controls.printButton, &QToolButton::clicked, this, [this] { openReport(reports::ReportKind::Data); });
  connect(controls.storeReportButton, &QToolButton::clicked, this, [this] { openReport(reports::ReportKind::Store); });
  connect(controls.menu.print, &QAction::triggered, printStyle_, &QDialog::exec);
}

reports::ReportPreview* ReportCommands::openReport(reports::ReportKind kind, const QImage& picture) {
  reports::ReportOptions options;
  options.timeFormat = *timeFormat_;
  options.picture = picture;
  auto* preview =
      new reports::ReportPreview(std::make_unique<reports::ReportDocument>(kind, &meter_.table(), std::move(options)), window_);
  // The main window is drawn anew, background and all, once the preview has gone.
  connect(preview, &reports::ReportPreview::closed, window_, qOverload<>(&QWidget::update));
  preview->show();
  return preview;
}

}  // namespace qm::app
