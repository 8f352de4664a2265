#pragma once

// The reading log's controls on the main window: the grid over the reading table (current row,
// Ctrl+Delete), the toolbar's repeat box, interval box and interval field, the Record menu's
// limits, Clear All, and File > New. The rules themselves live in the live meter's logger; this
// class connects them to the controls and shows their messages.

#include "app/main_window_layout.h"
#include "log/reading_logger.h"

#include <QObject>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace qm::log {
class TimeOfDayFormat;
}
namespace qm::meter {
class LiveMeter;
}

namespace qm::app {

class ReadingLogControls : public QObject {
  Q_OBJECT
public:
  // `timeFormat` shows the grid's Time column; the grid shares it, since it may outlive this.
  ReadingLogControls(meter::LiveMeter& meter, const MainWindowControls& controls,
                     std::shared_ptr<const log::TimeOfDayFormat> timeFormat, QWidget* window);

  // Record > " Clear All" and the toolbar's "Delete Data": warns, then empties the table.
  void clearAll();
  // File > "  New": clears the chart, then the table.
  void newTable();

private:
  void bindGrid(std::shared_ptr<const log::TimeOfDayFormat> timeFormat);
  void intervalTextEdited(const QString& text);
  void reportUnloggedReading(log::ReadingLogger::Outcome outcome);
  void deleteCurrentRecord();
  void followCurrentRow(std::optional<std::size_t> row);

  meter::LiveMeter& meter_;
  const MainWindowControls& controls_;
  QWidget* window_;
  // The interval text last reported as keeping readings out, so it is said once.
  std::string unloggableIntervalText_;
};

}  // namespace qm::app
