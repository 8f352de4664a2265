#include "chart/table_feed.h"

#include <charconv>
#include <utility>
#include <vector>

namespace qm::chart {

std::optional<double> readingNumber(std::string_view value, std::string_view decimalSeparator) {
  // Rewritten with a '.' for from_chars, which reads the same way in every locale.
  std::string number;
  std::size_t at = 0;
  if (at < value.size() && (value[at] == '-' || value[at] == '+')) {
    if (value[at] == '-') {
      number += '-';
    }
    ++at;
  }
  bool hasDigit = false;
  bool hasSeparator = false;
  while (at < value.size()) {
    if (value[at] >= '0' && value[at] <= '9') {
      number += value[at];
      hasDigit = true;
      ++at;
    } else if (!hasSeparator && !decimalSeparator.empty() && value.substr(at).starts_with(decimalSeparator)) {
      number += '.';
      hasSeparator = true;
      at += decimalSeparator.size();
    } else {
      return std::nullopt;
    }
  }
  if (!hasDigit) {
    return std::nullopt;
  }
  double result = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), result);
  if (error != std::errc() || end != number.data() + number.size()) {
    return std::nullopt;
  }
  return result;
}

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
