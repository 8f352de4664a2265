#include "chart/point_store.h"

#include <algorithm>

namespace qm::chart {
namespace {

bool byX(const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; }

}  // namespace

std::optional<double> plottedValue(const ChartPoint& point, PlottedQuantity quantity) {
  if (quantity == PlottedQuantity::FixedScaleDigits) {
    return point.digits;
  }
  const std::optional<BaseUnit> unit = baseUnitOf(point.unit);
  if (!unit) {
    return quantity == PlottedQuantity::UnknownUnitDigits ? std::optional<double>(point.digits) : std::nullopt;
  }
  const double value = static_cast<double>(point.digits) * unit->factor;
  if (unit->quantity == Quantity::Voltage) {
    return quantity == PlottedQuantity::Volts ? std::optional(value) : std::nullopt;
  }
  return quantity == PlottedQuantity::Ohms && value > 0 ? std::optional(value) : std::nullopt;
}

void PointStore::append(ChartPoints batch) {
  if (batch.empty()) {
    return;
  }
  if (!std::is_sorted(batch.begin(), batch.end(), byX)) {
    std::stable_sort(batch.begin(), batch.end(), byX);
  }
  if (points_.empty()) {
    points_ = std::move(batch);
    return;
  }
  const auto oldEnd = static_cast<std::ptrdiff_t>(points_.size());
  const bool continuesRun = points_.empty() || points_.back().x <= batch.front().x;
  points_.insert(points_.end(), batch.begin(), batch.end());
  if (!continuesRun) {
    std::inplace_merge(points_.begin(), points_.begin() + oldEnd, points_.end(), byX);
  }
}

void PointStore::removeRow(std::int32_t x, std::uint32_t row) {
  const auto [from, to] = std::equal_range(points_.begin(), points_.end(), ChartPoint{x, 0, 0, UnitCode::Unknown}, byX);
  const auto found = std::find_if(from, to, [row](const ChartPoint& point) { return point.row == row; });
  if (found != to) {
    points_.erase(found);
  }
}

void PointStore::clear() {
  points_.clear();
  points_.shrink_to_fit();
}

XSpan PointStore::pageSpan(PointRange page, std::size_t pageSize) const {
  if (page.empty()) {
    return {0, 1};
  }
  XSpan span{static_cast<double>(points_[page.first].x), static_cast<double>(points_[page.last - 1].x)};
  if (pageSize > page.size()) {
    const double spacing = page.size() > 1 ? (span.high - span.low) / static_cast<double>(page.size() - 1) : 1.0;
    span.high = span.low + spacing * static_cast<double>(pageSize - 1);
  }
  if (span.high - span.low < 1.0) {
    span.low -= 1.0;
    span.high += 1.0;
  }
  return span;
}

PlottedQuantity PointStore::measuredQuantity(PointRange page) const {
  Q_ASSERT(!page.empty());
  const std::optional<BaseUnit> newest = baseUnitOf(points_[page.last - 1].unit);
  if (!newest) {
    return PlottedQuantity::UnknownUnitDigits;
  }
  return newest->quantity == Quantity::Voltage ? PlottedQuantity::Volts : PlottedQuantity::Ohms;
}

QList<QPointF> PointStore::drawnPoints(PointRange page, XSpan span, int columns, PlottedQuantity quantity) const {
  QList<QPointF> out;
  const auto columnCount = static_cast<std::size_t>(std::max(columns, 1));
  if (page.size() <= 2 * columnCount) {
    out.reserve(static_cast<qsizetype>(page.size()));
    for (std::size_t i = page.first; i < page.last; ++i) {
      if (const std::optional<double> y = plottedValue(points_[i], quantity)) {
        out.append({static_cast<double>(points_[i].x), *y});
      }
    }
    return out;
  }

  out.reserve(static_cast<qsizetype>(2 * columnCount));
  const double spanWidth = span.high - span.low;
  const double columnsPerX = spanWidth > 0 ? static_cast<double>(columnCount) / spanWidth : 0.0;
  const auto columnOf = [&](const ChartPoint& point) {
    const double column = (point.x - span.low) * columnsPerX;
    return static_cast<std::size_t>(std::clamp(column, 0.0, static_cast<double>(columnCount - 1)));
  };
  std::size_t i = page.first;
  while (i < page.last) {
    const std::size_t column = columnOf(points_[i]);
    std::optional<std::size_t> lowest;
    std::optional<std::size_t> highest;
    double lowestY = 0;
    double highestY = 0;
    for (; i < page.last && columnOf(points_[i]) == column; ++i) {
      const std::optional<double> y = plottedValue(points_[i], quantity);
      if (!y) {
        continue;
      }
      if (!lowest || *y < lowestY) {
        lowest = i;
        lowestY = *y;
      }
      if (!highest || *y > highestY) {
        highest = i;
        highestY = *y;
      }
    }
    if (!lowest) {
      continue;
    }
    const QPointF low(static_cast<double>(points_[*lowest].x), lowestY);
    const QPointF high(static_cast<double>(points_[*highest].x), highestY);
    out.append(*lowest <= *highest ? low : high);
    if (*lowest != *highest) {
      out.append(*lowest <= *highest ? high : low);
    }
  }
  return out;
}

}  // namespace qm::chart
