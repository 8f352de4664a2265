#pragma once

// The trend chart's points: one per logged reading whose value is a number, kept in ascending X
// order (equal X in the order they arrived). Up to ten million of them, so a point keeps the
// value's digits as a float and its unit in a byte (16 bytes in all); the value in volts or ohms
// is worked out only for the page drawn, and a page is handed to the chart widget only after it
// has been reduced to what its pixels can show.

#include "core/large_page_memory.h"
#include "core/reading_quantity.h"

#include <QList>
#include <QPointF>

#include <optional>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm::chart {

struct ChartPoint {
  std::int32_t x = 0;
  float digits = 0;  // the value as the meter shows it, in `unit`
  // Which table row the point stands for (its stored index), so a deleted row can take its point.
  std::uint32_t row = 0;
  UnitCode unit = UnitCode::Unknown;
};
static_assert(sizeof(ChartPoint) <= 16);

// Points by the million, in memory that large pages can back.
using ChartPoints = std::vector<ChartPoint, LargePageAllocator<ChartPoint>>;

// What a page plots. On the fixed scale, every point's digits. Otherwise one quantity, that of the
// page's newest point: its points in volts or in ohms (only those above 0 Ω, which a logarithmic
// axis can show), or, for readings of no known unit, their digits.
enum class PlottedQuantity { FixedScaleDigits, Volts, Ohms, UnknownUnitDigits };

// The point's Y on a page plotting `quantity`; none when the point is not of that quantity.
std::optional<double> plottedValue(const ChartPoint& point, PlottedQuantity quantity);

// Half-open run [first, last) of point positions.
struct PointRange {
  std::size_t first = 0;
  std::size_t last = 0;
  std::size_t size() const { return last - first; }
  bool empty() const { return first == last; }
};

struct XSpan {
  double low = 0;
  double high = 0;
};

class PointStore {
public:
  std::size_t size() const { return points_.size(); }
  bool empty() const { return points_.empty(); }
  const ChartPoint& at(std::size_t position) const { return points_[position]; }

  // Adds a batch of points, keeping X order. Cheap when the batch continues the run, as logging does.
  void append(ChartPoints batch);
  // Removes the point of that table row and X, if there is one.
  void removeRow(std::int32_t x, std::uint32_t row);
  void clear();

  // The X span of a page: its first to its last point, except that a page shorter than
  // `pageSize` keeps the span a full page would have at the same spacing. A lone X gets room
  // either side.
  XSpan pageSpan(PointRange page, std::size_t pageSize) const;

  // What a page of readings plots off the fixed scale (see PlottedQuantity). The page holds points.
  PlottedQuantity measuredQuantity(PointRange page) const;

  // The points of `page` that plot `quantity`, as the chart draws them inside `span` on `columns`
  // pixel columns: as they are when there are few, else the lowest and highest point of each
  // column in the order they came, so the drawing keeps every peak while handling at most two
  // points per column.
  QList<QPointF> drawnPoints(PointRange page, XSpan span, int columns, PlottedQuantity quantity) const;

private:
  ChartPoints points_;
};

}  // namespace qm::chart
