#include "app/table_file_commands.h"

#include "log/time_of_day_format.h"
#include "meter/live_meter.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QToolButton>

namespace qm::app {
namespace {

const QString kSaveFilter = QStringLiteral("Excel File(*.xls);;XML(*.xml);;Txt File(*.txt)");
const QString kOpenFilter = QStringLiteral("Excel File(*.xls);;XML (*.xml);;Txt File(*.txt)");

// A file operation shows its progress once it has taken this long.
constexpr int kProgressDelayMs = 500;
// How often a running file operation lets the window repaint and the meter's readings arrive.
constexpr qint64 kEventIntervalMs = 50;

// A program message without an icon, as the table file commands report their outcome.
// The box's own text, and beneath it why a file could not be read or written: the line of the
// file that is wrong, or what the file system said.
void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const log::TableFileOutcome& outcome) {
  QMessageBox box(icon, title, outcome.message, QMessageBox::Ok, parent);
  box.setInformativeText(outcome.detail);
  box.exec();
}

QString runModally(QFileDialog& dialog) {
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().constFirst()
                                                                               : QString();
}

}  // namespace

TableFileCommands::TableFileCommands(meter::LiveMeter& meter, const MainWindowControls& controls,
                                     std::shared_ptr<const log::TimeOfDayFormat> timeFormat, QWidget* window)
    : QObject(window),
      meter_(meter),
      unsaved_(meter.table()),
      timeFormat_(std::move(timeFormat)),
      window_(window),
      runFileDialog_(runModally) {
  connect(controls.menu.openTable, &QAction::triggered, this, &TableFileCommands::open);
  connect(controls.menu.saveTableAs, &QAction::triggered, this, &TableFileCommands::saveAs);
  connect(controls.saveTableButton, &QToolButton::clicked, this, &TableFileCommands::saveAs);
  connect(controls.openTableButton, &QToolButton::clicked, this, &TableFileCommands::open);
}

log::TableFileOutcome TableFileCommands::runFileOperation(
    const QString& label, const std::function<log::TableFileOutcome(const log::FileProgress&)>& operation) {
  QProgressDialog progress(label, QString(), 0, 1000, window_);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(kProgressDelayMs);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  QElapsedTimer sinceEvents;
  sinceEvents.start();
  const log::FileProgress report = [&](std::uint64_t done, std::uint64_t total) {
    if (sinceEvents.elapsed() < kEventIntervalMs) {
      return;
    }
    sinceEvents.restart();
    progress.setValue(total == 0 ? 0 : static_cast<int>(done * 1000 / total));
    // Repaints and the meter's readings go on; a user's click waits until the operation is over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };

  meter_.holdReadings();
  const log::TableFileOutcome outcome = operation(report);
  progress.close();
  meter_.releaseReadings();
  return outcome;
}

bool TableFileCommands::saveAs() {
  QFileDialog dialog(window_);
  dialog.setObjectName(QStringLiteral("SaveDialog2"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(kSaveFilter);
  dialog.setDefaultSuffix(QStringLiteral("xls"));
  dialog.selectFile(QString());
  bool saved = false;
  if (const QString fileName = runFileDialog_(dialog); !fileName.isEmpty()) {
    log::ReadingTable& table = meter_.table();
    const std::size_t rowsSaved = table.rowCount();
    const log::TableFileOutcome outcome =
        runFileOperation(QStringLiteral("Saving ") + fileName, [&](const log::FileProgress& progress) {
          return log::saveTableToFile(table, fileName, *timeFormat_, progress);
        });
    // The text save visits every row, which leaves the cursor on the last one.
    if (log::formatForFileName(fileName) == log::TableFileFormat::Text && !table.isEmpty()) {
      table.setCurrentRow(table.rowCount() - 1);
    }
    // A packet that cannot be written raises the file system's error; the text format has a
    // message of its own.
    if (!outcome.ok && log::formatForFileName(fileName) == log::TableFileFormat::DataPacket) {
      QMessageBox::critical(window_, QApplication::applicationName(), outcome.message);
    } else {
      showMessage(window_, QMessageBox::NoIcon, QApplication::applicationName(), outcome);
    }
    // Readings held back during the save came in after it: they are not on disk.
    if (outcome.ok && table.rowCount() == rowsSaved) {
      unsaved_.markSaved();
    }
    saved = outcome.ok;
    if (saved) {
      emit tableSaved(fileName);
    }
  }
  window_->repaint();
  return saved;
}

bool TableFileCommands::mayEnd() {
  if (!unsaved_.any()) {
    return true;
  }
  QMessageBox question(QMessageBox::Warning, QApplication::applicationName(),
                       QStringLiteral("The table holds readings that were never saved. Save them before the program ends?"),
                       QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window_);
  question.setObjectName(QStringLiteral("UnsavedReadingsQuestion"));
  question.setDefaultButton(QMessageBox::Save);
  switch (question.exec()) {
    case QMessageBox::Discard:
      return true;
    case QMessageBox::Save:
      return saveAs();
    default:
      return false;
  }
}

void TableFileCommands::open() {
  QFileDialog dialog(window_);
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(kOpenFilter);
  if (!lastOpenedFile_.isEmpty()) {
    dialog.selectFile(lastOpenedFile_);
  }
  if (const QString fileName = runFileDialog_(dialog); !fileName.isEmpty()) {
    lastOpenedFile_ = fileName;
    const log::TableFileOutcome outcome =
        runFileOperation(QStringLiteral("Opening ") + lastOpenedFile_, [&](const log::FileProgress& progress) {
          return log::loadTableFromFile(lastOpenedFile_, meter_.table(), *timeFormat_, progress);
        });
    if (!outcome.ok) {
      showMessage(window_, QMessageBox::Critical, QStringLiteral("Error"), outcome);
    } else {
      emit tableOpened(lastOpenedFile_);
    }
  }
  window_->repaint();
}

}  // namespace qm::app
