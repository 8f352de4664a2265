#pragma once

// File > "  Open" and "  Save As..." and the toolbar's "Open Data" and "Save Data": the file
// dialogs with their filters, the table file operation with its progress while readings are held
// back, and the outcome's message. The formats themselves live in src/log.

#include "app/main_window_layout.h"
#include "log/table_files.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

QT_BEGIN_NAMESPACE
class QFileDialog;
QT_END_NAMESPACE

namespace qm::log {
class TimeOfDayFormat;
}
namespace qm::meter {
class LiveMeter;
}

namespace qm::app {

class TableFileCommands : public QObject {
  Q_OBJECT
public:
  // Shows a prepared file dialog and returns the chosen full name, or an empty text when the user
  // cancelled. Tests put their own in place to answer without a dialog on screen.
  using FileDialogRunner = std::function<QString(QFileDialog& dialog)>;

  TableFileCommands(meter::LiveMeter& meter, const MainWindowControls& controls,
                    std::shared_ptr<const log::TimeOfDayFormat> timeFormat, QWidget* window);

  void setFileDialogRunner(FileDialogRunner runner) { runFileDialog_ = std::move(runner); }

  void saveAs();
  void open();

private:
  // Runs a table file operation with the logging held, a progress dialog when it takes long, and
  // the window repainted afterwards.
  log::TableFileOutcome runFileOperation(const QString& label,
                                         const std::function<log::TableFileOutcome(const log::FileProgress&)>& operation);

  meter::LiveMeter& meter_;
  std::shared_ptr<const log::TimeOfDayFormat> timeFormat_;
  QWidget* window_;
  FileDialogRunner runFileDialog_;
  QString lastOpenedFile_;  // the open dialog offers it again
};

}  // namespace qm::app
