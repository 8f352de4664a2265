#include "app/reading_log_controls.h"

#include "app/digits_only_validator.h"
#include "chart/trend_chart_view.h"
#include "core/ansi_text.h"
#include "core/integer_text.h"
#include "log/reading_grid_model.h"
#include "log/reading_grid_view.h"
#include "log/time_of_day_format.h"
#include "meter/live_meter.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QToolButton>

#include <functional>

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

constexpr int kColumnWidths[] = {54, 92, 72, 90, 109, 158};

}  // namespace

ReadingLogControls::ReadingLogControls(meter::LiveMeter& meter, const MainWindowControls& controls,
                                       std::shared_ptr<const log::TimeOfDayFormat> timeFormat, QWidget* window)
    : QObject(window), meter_(meter), controls_(controls), window_(window) {
  bindGrid(std::move(timeFormat));

  log::ReadingLogger& logger = meter_.logger();
  connect(controls.repeatBox, &QCheckBox::toggled, this, [&logger](bool checked) { logger.setRepeatAllowed(checked); });
  connect(controls.intervalBox, &QCheckBox::toggled, this, [&logger](bool checked) { logger.setIntervalOn(checked); });
  controls.intervalField->setValidator(new DigitsOnlyValidator(controls.intervalField));
  connect(controls.intervalField, &QLineEdit::textChanged, this, &ReadingLogControls::intervalTextEdited);
  for (std::size_t i = 0; i < controls.menu.recordLimits.size(); ++i) {
    connect(controls.menu.recordLimits[i], &QAction::triggered, this,
            [&logger, limit = log::kRecordLimits[i]] { logger.setRecordLimit(limit); });
  }
  connect(controls.menu.clearAll, &QAction::triggered, this, &ReadingLogControls::clearAll);
  connect(controls.clearAllButton, &QToolButton::clicked, this, &ReadingLogControls::clearAll);
  connect(controls.menu.newTable, &QAction::triggered, this, &ReadingLogControls::newTable);

  connect(&meter_, &meter::LiveMeter::readingLogged, this,
          [this] { reportUnloggedReading(log::ReadingLogger::Outcome::Logged); });
  connect(&meter_, &meter::LiveMeter::readingNotLogged, this, &ReadingLogControls::reportUnloggedReading);
}

void ReadingLogControls::bindGrid(std::shared_ptr<const log::TimeOfDayFormat> timeFormat) {
  log::ReadingGridView* grid = controls_.grid;
  log::ReadingTable& table = meter_.table();
  auto* model = new log::ReadingGridModel(
      table, [format = std::move(timeFormat)](log::TimeOfDay time) { return fromAnsi(format->format(time)); }, grid);
  model->setObjectName(QStringLiteral("DataSource1"));
  grid->setGridModel(model);
  for (int column = 0; column < model->columnCount(); ++column) {
    grid->setColumnWidth(column, kColumnWidths[column]);
  }
  connect(&table, &log::ReadingTable::currentRowChanged, this, &ReadingLogControls::followCurrentRow);
  // After a load the grid has lost its place even where the cursor kept its index.
  connect(&table, &log::ReadingTable::reset, this, [this, &table] { followCurrentRow(table.currentRow()); });
  connect(grid, &log::ReadingGridView::cursorRowChanged, &table, &log::ReadingTable::setCurrentRow);
  grid->installEventFilter(new DeleteRecordKey(grid, [this] { deleteCurrentRecord(); }));
}

// A reading refused by the rules is dropped silently; one that the interval text keeps out is a
// fault of the user's setting, so the history says why, once per text, and the field shows it.
void ReadingLogControls::reportUnloggedReading(log::ReadingLogger::Outcome outcome) {
  QLineEdit* field = controls_.intervalField;
  if (outcome != log::ReadingLogger::Outcome::BadIntervalText) {
    if (!unloggableIntervalText_.empty() && outcome == log::ReadingLogger::Outcome::Logged) {
      unloggableIntervalText_.clear();
      field->setToolTip({});
      field->setStyleSheet({});
    }
    return;
  }
  const std::string& intervalText = meter_.logger().intervalText();
  if (intervalText == unloggableIntervalText_) {
    return;
  }
  unloggableIntervalText_ = intervalText;
  const QString why = QStringLiteral("Reading not logged: ") + notAValidIntegerMessage(fromAnsi(intervalText));
  controls_.historyList->addItem(why);
  field->setToolTip(why);
  field->setStyleSheet(QStringLiteral("color: red"));
}

void ReadingLogControls::intervalTextEdited(const QString& text) {
  std::string bytes;
  toAnsi(text, bytes);  // digits only: the field's filter lets nothing else in
  if (!meter_.logger().setIntervalText(bytes)) {
    QMessageBox::critical(window_, QApplication::applicationName(), notAValidIntegerMessage(text));
  }
}

void ReadingLogControls::clearAll() {
  QMessageBox::information(window_, QApplication::applicationName(),
                           QStringLiteral(" Warning:all Records will be deleted! "));
  meter_.logger().clearAll();
}

void ReadingLogControls::newTable() {
  controls_.chart->clearChart();
  clearAll();
}

void ReadingLogControls::deleteCurrentRecord() {
  const std::optional<std::size_t> row = meter_.table().currentRow();
  if (!row) {
    return;
  }
  if (QMessageBox::question(window_, QApplication::applicationName(), QStringLiteral("Delete record?"),
                            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok) {
    meter_.table().deleteRow(*row);
  }
}

void ReadingLogControls::followCurrentRow(std::optional<std::size_t> row) {
  if (row) {
    controls_.grid->showTableRow(*row);
  }
}

}  // namespace qm::app
