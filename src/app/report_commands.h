#pragma once

// The printed reports' commands: "Print Data" opens the data report's preview, the covered
// store-data print button the store report's, and the hidden File > "  Print" the print-style
// dialog, which opens the report the user picks. Each report is laid out from the reading table as
// it is at that moment; its preview is a window of its own and logging goes on while it is open.
// The reports themselves live in src/reports.

#include "app/main_window_layout.h"
#include "reports/report_layout.h"

#include <QImage>
#include <QObject>

#include <memory>

namespace qm::log {
class TimeOfDayFormat;
}
namespace qm::meter {
class LiveMeter;
}
namespace qm::reports {
class PrintStyleDialog;
class ReportPreview;
}  // namespace qm::reports

namespace qm::app {

class ReportCommands : public QObject {
  Q_OBJECT
public:
  // Creates the print-style dialog "Frmprint", hidden.
  ReportCommands(const meter::LiveMeter& meter, const MainWindowControls& controls,
                 std::shared_ptr<const log::TimeOfDayFormat> timeFormat, QWidget* window);

  reports::PrintStyleDialog& printStyleDialog() { return *printStyle_; }

  // Opens the preview of report `kind` over the table's rows of this moment, with `picture` for
  // the graph reports, and shows it.
  reports::ReportPreview* openReport(reports::ReportKind kind, const QImage& picture = {});

private:
  const meter::LiveMeter& meter_;
  std::shared_ptr<const log::TimeOfDayFormat> timeFormat_;
  QWidget* window_;
  reports::PrintStyleDialog* printStyle_ = nullptr;
};

}  // namespace qm::app
