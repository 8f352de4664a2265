#pragma once

// The rows a report shows: the rows the reading table showed when the report was opened, and
// nothing logged since. Taking it costs nothing, whatever the size of the table: logging only
// appends, so the report keeps reading the live table, up to the row count it saw.
//
// Only three things take rows away from the table: Clear All (and New), a data-packet load, which
// replaces the rows, and deleting a row through the grid. Just before any of them, the snapshot
// copies the rows it shows into a table of its own and reads that from then on, so an open report
// keeps its pages, its total and its rows whatever happens to the log. If the table is destroyed
// without warning, the snapshot is left with no rows, and reads nothing.

#include "log/reading_table.h"

#include <QObject>

#include <cstddef>
#include <memory>

namespace qm::reports {

class TableSnapshot : public QObject {
  Q_OBJECT
public:
  explicit TableSnapshot(const log::ReadingTable& table, QObject* parent = nullptr);
  ~TableSnapshot() override;

  std::size_t rowCount() const { return rowCount_; }
  // Row `index` as the table showed it; empty fields past the end. Text views stay valid until
  // control returns to the event loop.
  log::RowFields row(std::size_t index) const;

  // The table it reads now: the live table, or its own copy once detached; null with no rows.
  // Its first rowCount() shown rows are the snapshot's rows. The copy may take over from the live
  // table whenever control returns to the event loop.
  const log::ReadingTable* table() const { return copy_ ? copy_.get() : table_; }

  // Whether the snapshot reads its own copy (the table has lost rows it showed).
  bool isDetached() const { return copy_ != nullptr; }

private:
  void detach();
  void detachIfShown(std::size_t visibleIndex);

  const log::ReadingTable* table_;
  std::unique_ptr<log::ReadingTable> copy_;
  std::size_t rowCount_;
};

}  // namespace qm::reports
