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

TableFeed::Reading TableFeed::readText(std::uint32_t id) {
  const std::optional<double> number = readingNumber(table_.textOfId(id), decimalSeparator_);
  numbers_[id] = static_cast<float>(number.value_or(0));
  return readings_[id] = number ? Reading::Number : Reading::NoNumber;
}

UnitCode TableFeed::unitOf(std::uint32_t id) {
  if (id == log::kNoTextId) {
    return UnitCode::Unknown;
  }
  std::optional<UnitCode>& unit = units_[id];
  if (!unit) {
    unit = unitCodeOf(table_.textOfId(id));
  }
  return *unit;
}

std::optional<ChartPoint> TableFeed::pointOf(std::size_t visibleIndex) {
  const ChartPoints points = pointsOf(visibleIndex, 1);
  return points.empty() ? std::nullopt : std::optional<ChartPoint>(points.front());
}

// The shown rows [first, first + count), read column by column.
ChartPoints TableFeed::pointsOf(std::size_t first, std::size_t count) {
  ChartPoints batch;
  batch.reserve(count);
  readings_.resize(table_.textIdCount(), Reading::NotRead);
  numbers_.resize(table_.textIdCount());
  units_.resize(table_.textIdCount());
  std::size_t left = count;
  constexpr auto kValue = static_cast<std::size_t>(log::TextField::Value);
  constexpr auto kUnit = static_cast<std::size_t>(log::TextField::Unit);
  table_.forEachStoredSpan(table_.storedIndexOf(first), [&](const log::StoredRowSpan& span) {
    for (std::size_t i = 0; i < span.size() && left > 0; ++i) {
      if (span.isDeleted(i)) {
        continue;
      }
      --left;
      const std::uint32_t id = span.textId(kValue, i);
      const std::optional<std::int32_t> no = span.no(i);
      if (id == log::kNoTextId || !no) {
        continue;
      }
      const Reading reading = readings_[id] == Reading::NotRead ? readText(id) : readings_[id];
      if (reading == Reading::Number) {
        batch.push_back(
            ChartPoint{*no, numbers_[id], static_cast<std::uint32_t>(span.first() + i), unitOf(span.textId(kUnit, i))});
      }
    }
  });
  return batch;
}

void TableFeed::appendRows(std::size_t first, std::size_t count) {
  ChartPoints batch = pointsOf(first, count);
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
  // The table's texts were replaced or dropped with its rows.
  readings_.clear();
  numbers_.clear();
  units_.clear();
  points_.clear();
  points_.append(pointsOf(0, table_.rowCount()));
  emit pointsChanged();
}

}  // namespace qm::chart
