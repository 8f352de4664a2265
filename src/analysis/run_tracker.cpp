#include "analysis/run_tracker.h"

namespace qm::analysis {

RunTracker::RunTracker(const log::ReadingTable& table, std::string decimalSeparator, QObject* parent)
    : QObject(parent), table_(table), finder_(std::move(decimalSeparator)) {
  connect(&table_, &log::ReadingTable::rowsAppended, this, [this](std::size_t first, std::size_t) { appendRows(first); });
  connect(&table_, &log::ReadingTable::rowDeleted, this, &RunTracker::findAgain);
  connect(&table_, &log::ReadingTable::reset, this, &RunTracker::findAgain);
  finder_.addRows(table_);
}

void RunTracker::appendRows(std::size_t first) {
  finder_.addRows(table_, first);
  emit runsChanged();
}

void RunTracker::findAgain() {
  finder_.clear();
  finder_.addRows(table_);
  emit runsChanged();
}

}  // namespace qm::analysis
