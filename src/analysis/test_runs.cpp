#include "analysis/test_runs.h"

#include "core/current_reading.h"
#include "core/reading_quantity.h"

#include <algorithm>
#include <cmath>

namespace qm::analysis {
namespace {

constexpr std::string_view kInsulationPrefix = "IR:";

// The meter shows its ratio once its ten minutes are up; a log that began a little late still
// sees it this far into the run.
constexpr Milliseconds kRatioEarliest = 590'000;
// R10min / R1min: the two readings the meter divides lie nine minutes apart.
constexpr Milliseconds kRatioSpan = 540'000;
// The ratio's two decimals, the readings' four digits, and a second's drift of the curve between
// the meter's samples and the logged ones.
constexpr double kRatioTolerance = 0.02;

bool isInsulationFunction(std::string_view function) { return function.starts_with(kInsulationPrefix); }

}  // namespace

std::optional<double> resistanceAt(const std::vector<RunPoint>& points, Milliseconds at) {
  const auto after = std::lower_bound(points.begin(), points.end(), at,
                                      [](const RunPoint& point, Milliseconds time) { return point.elapsed < time; });
  if (after == points.end()) {
    return std::nullopt;
  }
  if (after->elapsed == at) {
    return after->ohms;
  }
  if (after == points.begin()) {
    return std::nullopt;
  }
  const RunPoint& before = *(after - 1);
  const double share = static_cast<double>(at - before.elapsed) / static_cast<double>(after->elapsed - before.elapsed);
  if (before.ohms <= 0 || after->ohms <= 0) {
    return before.ohms + share * (after->ohms - before.ohms);
  }
  return std::exp(std::log(before.ohms) + share * (std::log(after->ohms) - std::log(before.ohms)));
}

RunFinder::RunFinder(std::string decimalSeparator) : decimalSeparator_(std::move(decimalSeparator)) {}

void RunFinder::clear() {
  runs_.clear();
  open_ = false;
  lastPointValue_.clear();
}

std::optional<double> RunFinder::numberOf(std::string_view value) const {
  if (std::optional<double> number = readingNumber(value, decimalSeparator_)) {
    return number;
  }
  for (const std::string_view separator : {".", ","}) {
    if (separator != decimalSeparator_) {
      if (std::optional<double> number = readingNumber(value, separator)) {
        return number;
      }
    }
  }
  return std::nullopt;
}

bool RunFinder::isMeterRatio(const TestRun& run, std::string_view mode, std::string_view value, double number) const {
  if (mode != mode::kPolarisationIndex || run.elapsed < kRatioEarliest || run.points.empty() ||
      value == lastPointValue_) {
    return false;
  }
  const RunPoint& last = run.points.back();
  const std::optional<double> minuteBefore = resistanceAt(run.points, last.elapsed - kRatioSpan);
  if (!minuteBefore || *minuteBefore <= 0) {
    return false;
  }
  const double ratio = last.ohms / *minuteBefore;
  return std::abs(number - ratio) <= kRatioTolerance * ratio;
}

void RunFinder::addRow(std::size_t shownIndex, const log::RowFields& row) {
  const std::string_view function = row.text(log::TextField::V_Range).value_or(std::string_view());
  const std::optional<BaseUnit> unit = baseUnitOf(row.text(log::TextField::Unit).value_or(std::string_view()));
  if (!row.Time || !isInsulationFunction(function) || !unit || unit->quantity != Quantity::Resistance) {
    open_ = false;
    return;
  }
  const log::TimeOfDay time = *row.Time;
  const Milliseconds step = ((time - lastTime_) % log::kMillisecondsPerDay + log::kMillisecondsPerDay) % log::kMillisecondsPerDay;
  if (!open_ || runs_.back().function != function || step > kLongestStep) {
    TestRun run;
    run.firstRow = shownIndex;
    run.firstNo = row.No;
    run.function = function;
    run.startTime = time;
    runs_.push_back(std::move(run));
    lastPointValue_.clear();
    open_ = true;
  } else {
    runs_.back().elapsed += step;
  }
  lastTime_ = time;

  TestRun& run = runs_.back();
  run.lastRow = shownIndex;
  run.lastNo = row.No;
  const std::string_view value = row.text(log::TextField::Value).value_or(std::string_view());
  const std::optional<double> number = numberOf(value);
  if (!number || *number < 0) {
    return;
  }
  if (isMeterRatio(run, row.text(log::TextField::I_Range).value_or(std::string_view()), value, *number)) {
    run.meterPolarisationIndex = *number;
    return;
  }
  run.points.push_back({run.elapsed, *number * unit->factor});
  lastPointValue_ = value;
}

void RunFinder::addRows(const log::ReadingTable& table, std::size_t first) {
  for (std::size_t shown = first; shown < table.rowCount(); ++shown) {
    addRow(shown, table.row(shown));
  }
}

}  // namespace qm::analysis
