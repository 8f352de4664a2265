#include "reports/table_snapshot.h"

namespace qm::reports {

TableSnapshot::TableSnapshot(const log::ReadingTable& table, QObject* parent)
    : QObject(parent), table_(&table), rowCount_(table.rowCount()) {
  connect(&table, &log::ReadingTable::aboutToReset, this, &TableSnapshot::detach);
  connect(&table, &log::ReadingTable::rowAboutToBeDeleted, this, &TableSnapshot::detachIfShown);
  connect(&table, &QObject::destroyed, this, [this] {
    if (!copy_) {
      rowCount_ = 0;
    }
    table_ = nullptr;
  });
}

TableSnapshot::~TableSnapshot() = default;

log::RowFields TableSnapshot::row(std::size_t index) const {
  if (index >= rowCount_) {
    return {};
  }
  return copy_ ? copy_->row(index) : table_->row(index);
}

void TableSnapshot::detach() {
  if (copy_ || table_ == nullptr) {
    return;
  }
  // The copy takes every row the table shows; those logged after the snapshot are never read.
  auto copy = std::make_unique<log::ReadingTable>();
  if (rowCount_ > 0) {
    copy->appendAddedRows(*table_);
  }
  copy_ = std::move(copy);
  disconnect(table_, nullptr, this, nullptr);
  table_ = nullptr;
}

void TableSnapshot::detachIfShown(std::size_t visibleIndex) {
  if (visibleIndex < rowCount_) {
    detach();
  }
}

}  // namespace qm::reports
