#pragma once

// DBGrid1's view of the reading table: six read-only columns, the row cursor in the row
// indicator. Cells are made on demand from the table, so a grid over ten million rows costs only
// the rows on screen.

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

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
  void showCurrentRow(std::optional<std::size_t> row);

  const ReadingTable& table_;
  TimeText timeText_;
  int shownRows_ = 0;
  std::optional<std::size_t> currentRow_;
  QFont cellFont_;
  QFont titleFont_;
};

}  // namespace qm::log
