// The main window's reading-log commands: the grid over the reading table, the sampling controls
// of the toolbar, the Record menu, File > New, Open and Save As. The rules and the file formats
// live in src/log; these handlers only connect them to the controls and show their messages.

#include "app/frm_test.h"

#include "chart/trend_chart_view.h"
#include "core/ansi_text.h"
#include "core/integer_text.h"
#include "log/digits_only_validator.h"
#include "log/reading_grid_model.h"
#include "log/table_files.h"
#include "log/time_of_day_format.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

namespace qm::app {

namespace {

// Ctrl+Delete on the grid asks to delete the current record.
class DeleteRecordKey : public QObject {
public:
  DeleteRecordKey(QObject* parent, std::function<void()> onPressed) : QObject(parent), onPressed_(std::move(onPressed)) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier) {
        onPressed_();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

private:
  std::function<void()> onPressed_;
};

const QString kSaveFilter = QStringLiteral("Excel File(*.xls);;XML(*.xml);;Txt File(*.txt)");
const QString kOpenFilter = QStringLiteral("Excel File(*.xls);;XML (*.xml);;Txt File(*.txt)");

// A program message without an icon, as the table file commands report their outcome.
void showPlainMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, parent);
  box.exec();
}

// A file operation shows its progress once it has taken this long.
constexpr int kProgressDelayMs = 500;
// How often a running file operation lets the window repaint and the meter's readings arrive.
constexpr qint64 kEventIntervalMs = 50;

}  // namespace

void TFrmTest::createReadingLog() {
  cds1 = new log::ReadingTable(this);
  cds1->setObjectName(QStringLiteral("cds1"));
  logger_ = std::make_unique<log::ReadingLogger>(*cds1);
  decoder_.setLogRequest([this] { INDataToTable(1); });

  timeFormat_ = std::make_shared<const log::TimeOfDayFormat>(log::TimeOfDayFormat::systemLongTime());
  // The grid may outlive the window's members while the window is torn down: it shares the format.
  auto* model = new log::ReadingGridModel(
      *cds1, [format = timeFormat_](log::TimeOfDay time) { return fromAnsi(format->format(time)); }, DBGrid1);
  model->setObjectName(QStringLiteral("DataSource1"));
  DBGrid1->setModel(model);
  const int widths[] = {54, 92, 72, 90, 109, 158};
  for (int column = 0; column < model->columnCount(); ++column) {
    DBGrid1->setColumnWidth(column, widths[column]);
  }
  DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  // Fixed row heights keep the grid's bookkeeping independent of the number of rows.
  DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 4);
  DBGrid1->verticalHeader()->setFixedWidth(14);
  connect(cds1, &log::ReadingTable::currentRowChanged, this, &TFrmTest::followCurrentRow);
  // After a load the grid has lost its place even where the cursor kept its index.
  connect(cds1, &log::ReadingTable::reset, this, [this] { followCurrentRow(cds1->currentRow()); });
  connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) {
              cds1->setCurrentRow(static_cast<std::size_t>(current.row()));
            }
          });
  DBGrid1->installEventFilter(new DeleteRecordKey(DBGrid1, [this] { DBGrid1DeleteRecord(); }));
  runFileDialog_ = [](QFileDialog& dialog) {
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().constFirst()
                                                                                 : QString();
  };

  connect(RepeatSet, &QCheckBox::toggled, this, [this](bool checked) { logger_->setRepeatAllowed(checked); });
  connect(RecordSI, &QCheckBox::toggled, this, [this](bool checked) { logger_->setIntervalOn(checked); });
  RecordSITime->setValidator(new log::DigitsOnlyValidator(RecordSITime));
  connect(RecordSITime, &QLineEdit::textChanged, this, &TFrmTest::RecordSITimeChange);
  connect(findChild<QTimer*>(QStringLiteral("SampInterTime")), &QTimer::timeout, this, &TFrmTest::SampInterTimeTimer);

  const std::pair<const char*, std::int32_t> limitItems[] = {{"set1k", log::kRecordLimits[0]},
                                                             {"set5k", log::kRecordLimits[1]},
                                                             {"set10k", log::kRecordLimits[2]},
                                                             {"set50k", log::kRecordLimits[3]},
                                                             {"set100k", log::kRecordLimits[4]},
                                                             {"setlimit", log::kRecordLimits[5]}};
  for (const auto& [name, limit] : limitItems) {
    connect(findChild<QAction*>(QLatin1String(name)), &QAction::triggered, this,
            [this, limit = limit] { logger_->setRecordLimit(limit); });
  }

  const auto onTrigger = [this](const char* name, void (TFrmTest::*handler)()) {
    connect(findChild<QAction*>(QLatin1String(name)), &QAction::triggered, this, handler);
  };
  onTrigger("ClearR", &TFrmTest::ClearRClick);
  onTrigger("New", &TFrmTest::NewClick);
  onTrigger("Open", &TFrmTest::OpenClick);
  onTrigger("Save_as", &TFrmTest::Save_asClick);
  const auto onClick = [this](const char* name, void (TFrmTest::*handler)()) {
    connect(findChild<QToolButton*>(QLatin1String(name)), &QToolButton::clicked, this, handler);
  };
  onClick("SpeedButton1", &TFrmTest::Save_asClick);
  onClick("SpeedButton2", &TFrmTest::ClearRClick);
  onClick("SpeedButton3", &TFrmTest::OpenClick);
}

void TFrmTest::INDataToTable(int mode) {
  reportUnloggedReading(logger_->INDataToTable(mode, decoder_.currentReading()));
}

// A reading refused by the rules is dropped silently; one that the interval text keeps out is a
// fault of the user's setting, so the history says why, once per text, and the field shows it.
void TFrmTest::reportUnloggedReading(log::ReadingLogger::Outcome outcome) {
  if (outcome != log::ReadingLogger::Outcome::BadIntervalText) {
    if (!unloggableIntervalText_.empty() && outcome == log::ReadingLogger::Outcome::Logged) {
      unloggableIntervalText_.clear();
      RecordSITime->setToolTip({});
      RecordSITime->setStyleSheet({});
    }
    return;
  }
  if (logger_->intervalText() == unloggableIntervalText_) {
    return;
  }
  unloggableIntervalText_ = logger_->intervalText();
  const QString why = QStringLiteral("Reading not logged: ") + notAValidIntegerMessage(fromAnsi(unloggableIntervalText_));
  findChild<QListWidget*>(QStringLiteral("HistoryListBox"))->addItem(why);
  RecordSITime->setToolTip(why);
  RecordSITime->setStyleSheet(QStringLiteral("color: red"));
}

void TFrmTest::RecordSITimeChange(const QString& text) {
  std::string bytes;
  toAnsi(text, bytes);  // digits only: the field's filter lets nothing else in
  if (!logger_->RecordSITimeChange(bytes)) {
    QMessageBox::critical(this, QApplication::applicationName(), notAValidIntegerMessage(text));
  }
}

void TFrmTest::SampInterTimeTimer() { logger_->SampInterTimeTimer(); }

void TFrmTest::ClearRClick() {
  QMessageBox::information(this, QApplication::applicationName(),
                           QStringLiteral(" Warning:all Records will be deleted! "));
  logger_->ClearAll();
}

void TFrmTest::NewClick() {
  Chtshow->findChild<QAbstractButton*>(QStringLiteral("BtNew"))->click();
  ClearRClick();
}

void TFrmTest::DBGrid1DeleteRecord() {
  const std::optional<std::size_t> row = cds1->currentRow();
  if (!row) {
    return;
  }
  if (QMessageBox::question(this, QApplication::applicationName(), QStringLiteral("Delete record?"),
                            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok) {
    cds1->deleteRow(*row);
  }
}

void TFrmTest::followCurrentRow(std::optional<std::size_t> row) {
  if (!row) {
    return;
  }
  const int column = std::max(DBGrid1->currentIndex().column(), 0);
  const QModelIndex index = DBGrid1->model()->index(static_cast<int>(*row), column);
  DBGrid1->setCurrentIndex(index);
  DBGrid1->scrollTo(index);
}

template <typename Operation>
auto TFrmTest::runFileOperation(const QString& label, Operation operation) {
  QProgressDialog progress(label, QString(), 0, 1000, this);
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

  logger_->holdReadings();
  const auto outcome = operation(report);
  progress.close();
  logger_->releaseReadings();
  return outcome;
}

void TFrmTest::Save_asClick() {
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("SaveDialog2"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(kSaveFilter);
  dialog.setDefaultSuffix(QStringLiteral("xls"));
  dialog.selectFile(QString());
  if (const QString fileName = runFileDialog_(dialog); !fileName.isEmpty()) {
    const log::TableFileOutcome outcome =
        runFileOperation(QStringLiteral("Saving ") + fileName, [&](const log::FileProgress& progress) {
          return log::SaveTableToFile(*cds1, fileName, *timeFormat_, progress);
        });
    // The text save visits every row, which leaves the cursor on the last one.
    if (log::formatForFileName(fileName) == log::TableFileFormat::Text && !cds1->isEmpty()) {
      cds1->setCurrentRow(cds1->rowCount() - 1);
    }
    // A packet that cannot be written raises the file system's error; the text format has a
    // message of its own.
    if (!outcome.ok && log::formatForFileName(fileName) == log::TableFileFormat::DataPacket) {
      QMessageBox::critical(this, QApplication::applicationName(), outcome.message);
    } else {
      showPlainMessage(this, outcome.message);
    }
  }
  repaint();
}

void TFrmTest::OpenClick() {
  QFileDialog dialog(this);
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
          return log::LoadTableFromFile(lastOpenedFile_, *cds1, *timeFormat_, progress);
        });
    if (!outcome.ok) {
      QMessageBox::critical(this, QStringLiteral("Error"), outcome.message);
    }
  }
  repaint();
}

}  // namespace qm::app
