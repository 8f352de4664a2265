#pragma once

// DBGrid1 itself: a table view that scrolls a window of ReadingGridModel over the reading table
// rather than handing the view every row. The view's own bookkeeping then stays the size of the
// screen, so a logged reading costs the grid the same with ten million rows as with none.
//
// To the user it is the ordinary grid: its scroll bar covers the whole table (one step a row, a
// page a screenful, the last row flush with the bottom at the end), the keys move the cursor over
// the whole table (Up, Down, Page Up, Page Down, Ctrl+Home, Ctrl+End), the mouse wheel and a click
// work as usual, and columns can be resized and moved. The cursor keeps its table row while the
// window moves under it.

#include "log/reading_grid_model.h"

#include <QTableView>

#include <cstddef>
#include <optional>

namespace qm::log {

class ReadingGridView : public QTableView {
  Q_OBJECT
public:
  explicit ReadingGridView(QWidget* parent = nullptr);

  // Shows `model`, which becomes a window over its table, with fixed row heights from the font.
  void setGridModel(ReadingGridModel* model);
  ReadingGridModel* gridModel() const { return model_; }

  // Scrolls table row `row` into view and puts the cursor on it.
  void showTableRow(std::size_t row);
  // The table row the cursor is on, shown or scrolled away; none before the first click.
  std::optional<std::size_t> cursorRow() const { return cursorRow_; }

signals:
  // The user put the cursor on table row `row` (a click, a key).
  void cursorRowChanged(std::size_t row);

protected:
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
  int rowHeight() const;
  // Rows the viewport shows whole, and the pixels left below them.
  int wholeRows() const;
  int spareHeight() const;
  // The scroll bar's value counts table rows: the first row shown whole. Its largest value shows
  // the last row at the bottom, with a row partly shown above the others when there is room.
  std::size_t lastValue() const;
  std::size_t value() const;
  void updateScrollRange();
  void setScrollRange();
  // Pixels of the row above the whole ones that are hidden at this value: at the end only.
  int hiddenPixels(std::size_t value) const;
  void showValue(std::size_t value);
  // The scroll value that shows table row `row` whole, as `hint` asks.
  std::size_t valueShowing(std::size_t row, ScrollHint hint) const;
  void placeCursor();

  ReadingGridModel* model_ = nullptr;
  std::optional<std::size_t> cursorRow_;
  int cursorColumn_ = 0;
  bool adjusting_ = false;  // while this view moves its window or sets its scroll bar
};

}  // namespace qm::log
