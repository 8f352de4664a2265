#pragma once

// The trend chart's points: one per logged reading whose value is a number, kept in ascending X
// order (equal X in the order they arrived). Up to ten million of them, so a point is 12 bytes and
// a page is handed to the chart widget only after it has been reduced to what its pixels can show.

#include <QList>
#include <QPointF>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm::chart {

struct ChartPoint {
  std::int32_t x = 0;
  float y = 0;
  // Which table row the point stands for (its stored index), so a deleted row can take its point.
  std::uint32_t row = 0;
};

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
  void append(std::vector<ChartPoint> batch);
  // Removes the point of that table row and X, if there is one.
  void removeRow(std::int32_t x, std::uint32_t row);
  void clear();

  // The X span of a page: its first to its last point, except that a page shorter than
  // `pageSize` keeps the span a full page would have at the same spacing. A lone X gets room
  // either side.
  XSpan pageSpan(PointRange page, std::size_t pageSize) const;

  // The points of `page` as the chart draws them inside `span` on `columns` pixel columns: as they
  // are when there are few, else the lowest and highest point of each column in the order they
  // came, so the drawing keeps every peak while handling at most two points per column.
  QList<QPointF> drawnPoints(PointRange page, XSpan span, int columns) const;

private:
  std::vector<ChartPoint> points_;
};

}  // namespace qm::chart
