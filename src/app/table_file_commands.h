#pragma once

// File > "  Open" and "  Save As..." and the toolbar's "Open Data" and "Save Data": the file
// dialogs with their filters, the table file operation with its progress while readings are held
// back, and the outcome's message; and the question before the program ends with readings that
// were never saved. The formats themselves live in src/log.

#include "app/main_window_layout.h"
#include "log/table_files.h"
#include "log/unsaved_rows.h"

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

  // True when the table was saved.
  bool saveAs();
  void open();

  // Before the program ends: when the table holds rows that were never saved, asks whether to save
  // them. True when the program may end (nothing to lose, discarded, or saved); false when the
  // user cancelled or the save did not happen.
  bool mayEnd();

signals:
  // The whole table was read from, or written to, this file.
  void tableOpened(const QString& fileName);
  void tableSaved(const QString& fileName);

private:
  // Runs a table file operation with the logging held, a progress dialog when it takes long, and
  // the window repainted afterwards.
  log::TableFileOutcome runFileOperation(const QString& label,
                                         const std::function<log::TableFileOutcome(const log::FileProgress&)>& operation);

  meter::LiveMeter& meter_;
  log::UnsavedRows unsaved_;
  std::shared_ptr<const log::TimeOfDayFormat> timeFormat_;
  QWidget* window_;
  FileDialogRunner runFileDialog_;
  QString lastOpenedFile_;  // the open dialog offers it again
};

}  // namespace qm::app
