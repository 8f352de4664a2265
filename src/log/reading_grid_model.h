#pragma once

// DBGrid1's view of the reading table: six read-only columns, the row cursor in the row
// indicator. Cells are made on demand from the table, so a grid over ten million rows costs only
// the rows on screen.
//
// The model shows every row of the table, or, as a window, at most a given number of rows from
// a first table row on. A view's own bookkeeping grows with the rows of its model (the standard
// row header keeps eight bytes a row and works its positions out anew after each insert); a
// window the size of the screen keeps that cost fixed, and ReadingGridView scrolls it over the
// table.

#include "log/reading_table.h"

#include <QAbstractTableModel>
#include <QFont>

#include <functional>

namespace qm::log {

class ReadingGridModel : public QAbstractTableModel {
  Q_OBJECT
public:
  // Column titles in field order; V_Range is titled "Function" and I_Range "Remark".
  static const QStringList& columnTitles();

  // `timeText` shows a time of day the way the user's locale writes long times.
  using TimeText = std::function<QString(TimeOfDay)>;
  ReadingGridModel(const ReadingTable& table, TimeText timeText, QObject* parent = nullptr);

  // Shows at most `rows` rows (0: every row) from firstRow() on.
  void setWindowRows(int rows);
  // Moves the window: model row 0 becomes table row `first`.
  void setFirstRow(std::size_t first);
  std::size_t firstRow() const { return first_; }
  std::size_t tableRow(int modelRow) const { return first_ + static_cast<std::size_t>(modelRow); }
  std::optional<int> modelRow(std::size_t tableRow) const;
  const ReadingTable& table() const { return table_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
  // The table's rows changed in number, whether the window shows the change or not.
  void tableRowsChanged();

private:
  void showCurrentRow(std::optional<std::size_t> row);
  // The rows the window holds from `first` on, and the model's rows made that many at its end.
  int rowsFrom(std::size_t first) const;
  void fitRowCount(int rows);

  const ReadingTable& table_;
  TimeText timeText_;
  int windowRows_ = 0;
  std::size_t first_ = 0;
  int shownRows_ = 0;
  std::optional<int> deleting_;  // the model row of a row being deleted
  std::optional<std::size_t> currentRow_;
  QFont cellFont_;
  QFont titleFont_;
};

}  // namespace qm::log
