#pragma once

// Insulation test runs found in the reading table. A run is a stretch of consecutive shown rows
// that all read a resistance (unit Ω, MΩ or GΩ) under one insulation-test function (a V_Range
// starting "IR:"), with no two neighbours more than 10 s apart. Any other row ends the run, and
// so does a row without a time. Deleted rows are not shown and so are skipped, not breaks.
//
// Elapsed time counts from the run's first row and adds up the steps between neighbours, so a run
// across midnight goes on counting (a step back in the time of day is a step over midnight, and at
// more than 10 s it splits the run). A row whose value is no number ("L", "-", empty) stays in
// the run but gives no point of the resistance-time curve; so does a negative value.
//
// The meter's own PI ratio. At the end of a PI test the meter shows R10min / R1min instead of a
// resistance, with no unit lit, and the decoder keeps the unit of the reading before: the row
// reads like a resistance ("3.20", "GΩ", mode "PI"). Such a row is told apart by the meter's own
// arithmetic: a row in mode PI, 590 s or more into the run, whose number is within 2 % of the
// run's last resistance divided by the resistance 540 s before it (what the meter divides), and
// which does not merely repeat the last resistance reading's text. It stays in the run, gives no
// point, and its number is kept as the meter's PI. Since PI readings climb slowly, a resistance
// rarely passes this test; one that does only loses its point. A log that began more than ten
// seconds into the PI test takes the ratio for a resistance: its curve ends on a false point, and
// it has no R600 anyway.

#include "log/reading_table.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::analysis {

// Elapsed time within a run.
using Milliseconds = std::int64_t;

inline constexpr Milliseconds kLongestStep = 10'000;

struct RunPoint {
  Milliseconds elapsed;
  double ohms;
};

struct TestRun {
  std::size_t firstRow = 0;  // shown rows of the table, first and last of the run
  std::size_t lastRow = 0;
  std::optional<std::int32_t> firstNo;
  std::optional<std::int32_t> lastNo;
  std::string function;       // V_Range, code page 936
  log::TimeOfDay startTime = 0;
  Milliseconds elapsed = 0;   // of the last row
  std::vector<RunPoint> points;  // in elapsed order
  std::optional<double> meterPolarisationIndex;  // the ratio the meter showed at the end of its PI test
};

// The resistance at `at` within the run: the first reading at exactly that time, else the straight
// line on log(R) between the last reading before and the first one after it (on R itself when one
// of them is 0 Ω, which has no logarithm). None before the first reading or after the last.
std::optional<double> resistanceAt(const std::vector<RunPoint>& points, Milliseconds at);

// Finds the runs of a table from its shown rows, handed over one by one in table order; a table
// that grows hands over its new rows as they come, and the last run grows with them.
class RunFinder {
public:
  // `decimalSeparator`: what a decimal point reads as in the values. "." and "," are read as well,
  // since the meter's values never group thousands.
  explicit RunFinder(std::string decimalSeparator);

  void addRow(std::size_t shownIndex, const log::RowFields& row);
  // Every row the table shows, from `first` on.
  void addRows(const log::ReadingTable& table, std::size_t first = 0);
  void clear();

  const std::vector<TestRun>& runs() const { return runs_; }
  // Whether the last run is still open: the next row may join it.
  bool lastRunOpen() const { return open_; }

private:
  std::optional<double> numberOf(std::string_view value) const;
  bool isMeterRatio(const TestRun& run, std::string_view mode, std::string_view value, double number) const;

  std::string decimalSeparator_;
  std::vector<TestRun> runs_;
  bool open_ = false;
  log::TimeOfDay lastTime_ = 0;
  std::string lastPointValue_;  // value text of the open run's last resistance reading
};

}  // namespace qm::analysis
