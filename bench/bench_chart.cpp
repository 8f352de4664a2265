// The trend chart with the "Limitless" log: a whole-chart snapshot (" Save Whole") of one and of
// ten million logged readings, from the points to the BMP file on disk (the readings are loaded
// once; each round draws them on one page and writes the file), and what following a table of
// that many rows costs the chart.

#include "chart/trend_chart_view.h"
#include "log/reading_table.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cmath>
#include <string>
#include <vector>

namespace {

// An insulation test's rising resistance with a little noise, as value texts: a few thousand
// distinct texts, as a long real log has.
void logReadings(qm::log::ReadingTable& table, std::int32_t count) {
  std::vector<std::string> values(4096);
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i] = QString::number(static_cast<double>(i) * 2.5, 'f', 1).toStdString();
  }
  qm::log::ReadingTable batch;
  for (std::int32_t no = 1; no <= count; ++no) {
    qm::log::RowFields fields;
    fields.No = no;
    fields.Time = no % qm::log::kMillisecondsPerDay;
    const auto rising = static_cast<std::size_t>(4000.0 * (1.0 - std::exp(-no / (count / 5.0))));
    fields.text(qm::log::TextField::Value) = values[(rising + static_cast<std::size_t>(no % 7)) % values.size()];
    batch.appendStored(fields, qm::log::kRowAdded);
  }
  table.replaceWith(std::move(batch));
}

void wholeChartSnapshot(benchmark::State& state) {
  const auto readings = static_cast<std::int32_t>(state.range(0));
  qm::log::ReadingTable table;
  logReadings(table, readings);
  QTemporaryDir folder;
  qm::chart::TrendChartView chart(nullptr);
  chart.resize(361, 209);
  chart.followTable(table, ".");
  chart.setSnapshotFolder(folder.path() + QLatin1Char('/'));
  chart.setNextRecordNoSource([readings] { return readings + 1; });
  int saved = 0;
  chart.setPrompts({[&saved](const QString&) { ++saved; },
                   [&state](const QString& text) { state.SkipWithError(text.toStdString().c_str()); }});

  for (auto _ : state) {
    chart.saveWholeSnapshot();
  }
  state.counters["points"] = static_cast<double>(chart.points().size());
  state.counters["files"] = saved;
}
BENCHMARK(wholeChartSnapshot)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the chart adds to a load of that many rows: reading every value as a point.
void followLoadedTable(benchmark::State& state) {
  const auto readings = static_cast<std::int32_t>(state.range(0));
  qm::log::ReadingTable table;
  logReadings(table, readings);
  for (auto _ : state) {
    qm::chart::TrendChartView chart(nullptr);
    chart.followTable(table, ".");
    benchmark::DoNotOptimize(chart.points().size());
  }
}
BENCHMARK(followLoadedTable)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char* argv[]) {
  // The chart draws with widgets; no display is needed for that.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
