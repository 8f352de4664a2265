#include "chart/table_feed.h"

#include "core/reading_quantity.h"

#include <utility>
#include <vector>

namespace qm::chart {

TableFeed::TableFeed(const log::ReadingTable& table, std::string decimalSeparator, PointStore& points,
                     QObject* parent)
    : QObject(parent), table_(table), decimalSeparator_(std::move(decimalSeparator)), points_(points) {
  connect(&table_, &log::ReadingTable::rowsAppended, this, &TableFeed::appendRows);
  connect(&table_, &log::ReadingTable::rowAboutToBeDeleted, this, &TableFeed::takeRow);
  connect(&table_, &log::ReadingTable::reset, this, &TableFeed::reload);
  reload();
}

std::optional<ChartPoint> TableFeed::pointOf(std::size_t visibleIndex) const {
  const std::size_t stored = table_.storedIndexOf(visibleIndex);
  const log::RowFields fields = table_.storedRow(stored).fields;
  const std::optional<std::string_view>& value = fields.text(log::TextField::Value);
  if (!fields.No || !value) {
    return std::nullopt;
  }
  const std::optional<double> number = readingNumber(*value, decimalSeparator_);
  if (!number) {
    return std::nullopt;
  }
  return ChartPoint{*fields.No, static_cast<float>(*number), static_cast<std::uint32_t>(stored)};
}

std::vector<ChartPoint> TableFeed::pointsOf(std::size_t first, std::size_t count) const {
  std::vector<ChartPoint> batch;
  batch.reserve(count);
  for (std::size_t row = first; row < first + count; ++row) {
    if (const std::optional<ChartPoint> point = pointOf(row)) {
      batch.push_back(*point);
    }
  }
  return batch;
}

void TableFeed::appendRows(std::size_t first, std::size_t count) {
  std::vector<ChartPoint> batch = pointsOf(first, count);
  if (!batch.empty()) {
    points_.append(std::move(batch));
    emit pointsChanged();
  }
}

void TableFeed::takeRow(std::size_t visibleIndex) {
  if (const std::optional<ChartPoint> point = pointOf(visibleIndex)) {
    points_.removeRow(point->x, point->row);
    emit pointsChanged();
  }
}

void TableFeed::reload() {
  points_.clear();
  points_.append(pointsOf(0, table_.rowCount()));
  emit pointsChanged();
}

}  // namespace qm::chart
