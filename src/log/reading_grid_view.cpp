#include "log/reading_grid_view.h"

#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>

namespace qm::log {

ReadingGridView::ReadingGridView(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setFixedWidth(14);
}

void ReadingGridView::setGridModel(ReadingGridModel* model) {
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  model->setWindowRows(wholeRows() + 1);
  setModel(model);
  model_ = model;
  connect(model_, &ReadingGridModel::tableRowsChanged, this, &ReadingGridView::updateScrollRange);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
    if (adjusting_ || !current.isValid()) {
      return;
    }
    cursorColumn_ = current.column();
    const std::size_t row = model_->tableRow(current.row());
    if (cursorRow_ != row) {
      cursorRow_ = row;
      emit cursorRowChanged(row);
    }
  });
  // After a reset the window is back at the table's start: the scroll bar follows it there.
  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    cursorRow_.reset();
    verticalHeader()->setOffset(0);
    updateScrollRange();
  });
  updateGeometries();
}

void ReadingGridView::showTableRow(std::size_t row) {
  if (model_ == nullptr || row >= model_->table().rowCount()) {
    return;
  }
  cursorRow_ = row;
  showValue(valueShowing(row, EnsureVisible));
  placeCursor();
}

void ReadingGridView::updateGeometries() {
  if (model_ == nullptr) {
    QTableView::updateGeometries();
    return;
  }
  // The table view sets up its headers and its horizontal scroll bar for the window; its idea
  // of the vertical scroll bar (a window's worth) is replaced by the table's. Called again while
  // the window moves (the table view lays itself out when asked for a row's place), it leaves
  // the window where it is.
  const std::size_t shown = value();
  const bool nested = std::exchange(adjusting_, true);
  verticalScrollBar()->setValue(0);
  QTableView::updateGeometries();
  if (nested) {
    setScrollRange();
    verticalScrollBar()->setValue(static_cast<int>(shown));
    verticalHeader()->setOffset(hiddenPixels(shown));
    return;
  }
  model_->setWindowRows(wholeRows() + 1);
  adjusting_ = false;
  updateScrollRange();
}

void ReadingGridView::scrollContentsBy(int dx, int dy) {
  if (dx != 0) {
    QTableView::scrollContentsBy(dx, 0);
  }
  if (dy != 0 && !adjusting_ && model_ != nullptr) {
    showValue(static_cast<std::size_t>(verticalScrollBar()->value()));
  }
}

void ReadingGridView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (adjusting_ || model_ == nullptr || !index.isValid()) {
    return;
  }
  const std::size_t row = model_->tableRow(index.row());
  showValue(valueShowing(row, hint));
  // The row is shown whole now; the table view brings its column into view.
  if (const std::optional<int> shownRow = model_->modelRow(row)) {
    QTableView::scrollTo(model_->index(*shownRow, index.column()), EnsureVisible);
  }
}

QModelIndex ReadingGridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const std::size_t rows = model_ == nullptr ? 0 : model_->table().rowCount();
  if (rows == 0) {
    return {};
  }
  const bool control = (modifiers & Qt::ControlModifier) != 0;
  const std::size_t from = cursorRow_.value_or(0);
  const auto page = static_cast<std::size_t>(std::max(wholeRows(), 1));
  std::size_t to = from;
  switch (action) {
    case MoveUp: to = from == 0 ? 0 : from - 1; break;
    case MoveDown: to = cursorRow_ ? std::min(from + 1, rows - 1) : 0; break;
    case MovePageUp: to = from > page ? from - page : 0; break;
    case MovePageDown: to = std::min(from + page, rows - 1); break;
    case MoveHome:
    case MoveEnd:
      if (!control) {
        return QTableView::moveCursor(action, modifiers);
      }
      to = action == MoveHome ? 0 : rows - 1;
      break;
    default:
      // Along the row: the table view knows the columns.
      return QTableView::moveCursor(action, modifiers);
  }
  showValue(valueShowing(to, EnsureVisible));
  const std::optional<int> shownRow = model_->modelRow(to);
  return shownRow ? model_->index(*shownRow, cursorColumn_) : QModelIndex();
}

int ReadingGridView::rowHeight() const { return std::max(verticalHeader()->defaultSectionSize(), 1); }

int ReadingGridView::wholeRows() const { return viewport()->height() / rowHeight(); }

int ReadingGridView::spareHeight() const { return viewport()->height() % rowHeight(); }

std::size_t ReadingGridView::lastValue() const {
  const std::size_t rows = model_->table().rowCount();
  const auto whole = static_cast<std::size_t>(wholeRows());
  return rows > whole ? rows - whole : 0;
}

// From the window rather than the scroll bar: a row deleted before the window moves the window.
std::size_t ReadingGridView::value() const {
  const std::size_t first = model_->firstRow();
  return verticalHeader()->offset() > 0 ? first + 1 : first;
}

void ReadingGridView::updateScrollRange() {
  if (model_ == nullptr) {
    return;
  }
  const std::size_t shown = value();
  const bool nested = std::exchange(adjusting_, true);
  setScrollRange();
  adjusting_ = nested;
  showValue(std::min(shown, lastValue()));
}

void ReadingGridView::setScrollRange() {
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, static_cast<int>(lastValue()));
  bar->setPageStep(std::max(wholeRows(), 1));
  bar->setSingleStep(1);
}

int ReadingGridView::hiddenPixels(std::size_t shownValue) const {
  return shownValue == lastValue() && shownValue > 0 && spareHeight() > 0 ? rowHeight() - spareHeight() : 0;
}

void ReadingGridView::showValue(std::size_t shownValue) {
  shownValue = std::min(shownValue, lastValue());
  // At the end, one more row above the whole ones fills the spare pixels, partly hidden.
  const int hidden = hiddenPixels(shownValue);
  const bool nested = std::exchange(adjusting_, true);
  model_->setFirstRow(hidden > 0 ? shownValue - 1 : shownValue);
  verticalHeader()->setOffset(hidden);
  verticalScrollBar()->setValue(static_cast<int>(shownValue));
  placeCursor();
  adjusting_ = nested;
  viewport()->update();
}

std::size_t ReadingGridView::valueShowing(std::size_t row, ScrollHint hint) const {
  const std::size_t shown = value();
  const auto whole = static_cast<std::size_t>(std::max(wholeRows(), 1));
  const std::size_t bottomFirst = row + 1 > whole ? row + 1 - whole : 0;
  std::size_t wanted = shown;
  switch (hint) {
    case EnsureVisible:
      if (row < shown) {
        wanted = row;
      } else if (row >= shown + whole) {
        wanted = bottomFirst;
      }
      break;
    case PositionAtTop: wanted = row; break;
    case PositionAtBottom: wanted = bottomFirst; break;
    case PositionAtCenter: wanted = row > whole / 2 ? row - whole / 2 : 0; break;
  }
  return std::min(wanted, lastValue());
}

// The cursor is drawn on its table row while the window shows it; the grid has no current row
// while the row is scrolled away.
void ReadingGridView::placeCursor() {
  const std::optional<int> shownRow = cursorRow_ ? model_->modelRow(*cursorRow_) : std::nullopt;
  if (shownRow) {
    const QModelIndex index = model_->index(*shownRow, cursorColumn_);
    if (index != selectionModel()->currentIndex() || !selectionModel()->isRowSelected(*shownRow)) {
      selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
  } else if (selectionModel()->currentIndex().isValid()) {
    selectionModel()->clear();
  }
}

}  // namespace qm::log
