#include "log/unsaved_rows.h"

namespace qm::log {

UnsavedRows::UnsavedRows(const ReadingTable& table, QObject* parent) : QObject(parent), table_(table) {
  const auto changed = [this] { changed_ = true; };
  connect(&table_, &ReadingTable::rowsAppended, this, changed);
  connect(&table_, &ReadingTable::rowDeleted, this, changed);
  connect(&table_, &ReadingTable::reset, this, changed);
}

}  // namespace qm::log
