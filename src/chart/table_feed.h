#pragma once

// Feeds the trend chart from the reading table: every row whose value is a number becomes a point,
// X = its record number (No), with its value's digits and its unit. The points follow the table: rows appended by logging
// or a text load add their points, a deleted row takes its point away, and a wholesale change of
// the table (Clear All, New, a packet load) rebuilds them from what the table then holds.
//
// Ten million rows are turned into points in one pass over the table's columns, at memory speed:
// a log has a few thousand distinct value texts, and each is read as a number once; a handful of
// unit texts, each looked up once.

#include "chart/point_store.h"
#include "log/reading_table.h"

#include <QObject>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::chart {

class TableFeed : public QObject {
  Q_OBJECT
public:
  // Loads the points of the rows `table` holds now and follows it from then on. The table must
  // outlive the feed.
  TableFeed(const log::ReadingTable& table, std::string decimalSeparator, PointStore& points,
            QObject* parent = nullptr);

signals:
  void pointsChanged();

private:
  void appendRows(std::size_t first, std::size_t count);
  void takeRow(std::size_t visibleIndex);
  void reload();
  std::optional<ChartPoint> pointOf(std::size_t visibleIndex);
  ChartPoints pointsOf(std::size_t first, std::size_t count);

  const log::ReadingTable& table_;
  std::string decimalSeparator_;
  PointStore& points_;
  // By value text id: the number, and whether it was read yet and is one. Valid until a reset.
  enum class Reading : std::uint8_t { NotRead, Number, NoNumber };
  Reading readText(std::uint32_t id);
  UnitCode unitOf(std::uint32_t id);
  std::vector<float> numbers_;
  std::vector<Reading> readings_;
  // By unit text id; none until read.
  std::vector<std::optional<UnitCode>> units_;
};

}  // namespace qm::chart
