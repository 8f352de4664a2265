// Insulation test analysis of a ten-million-row table: a meter that ran PI tests back to back for
// weeks, two readings a second (ten minutes of absorption curve, the meter's ratio, a few voltage
// readings between tests). Next to each analysis, the load of the same table file: qm-cli analyse
// should take at most twice its load, so finding the runs and their indices must cost no more than
// reading the file.
//
//   build/<dir>/bench/bench_analysis [--benchmark_filter=text]

#include "analysis/insulation_indices.h"
#include "analysis/test_runs.h"
#include "cli/analyse_command.h"
#include "core/current_reading.h"
#include "log/table_files.h"
#include "sim/meter_model.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using qm::log::ReadingTable;
using qm::log::RowFields;
using qm::log::TextField;

constexpr std::size_t kRows = 10'000'000;
// One PI test: 1201 readings, 0 to 600 s every half second, then the ratio twice and three
// voltage readings while the leads are moved.
constexpr std::size_t kTestReadings = 1201;
constexpr std::size_t kCycle = kTestReadings + 5;

// The value texts of one test, as the meter shows them: four digits in MΩ or GΩ.
struct TestTexts {
  std::vector<std::string> values;
  std::vector<std::string_view> units;
};

TestTexts testTexts() {
  TestTexts texts;
  for (std::size_t i = 0; i < kTestReadings; ++i) {
    const double ohms = qm::sim::MeterModel::polarisationTestOhms(static_cast<double>(i) / 2.0);
    const bool giga = ohms >= 1e9;
    const double shown = giga ? ohms / 1e9 : ohms / 1e6;
    char text[16];
    std::snprintf(text, sizeof text, "%.*f", shown < 10 ? 3 : shown < 100 ? 2 : 1, shown);
    texts.values.emplace_back(text);
    texts.units.push_back(giga ? qm::unit::kGigaOhm : qm::unit::kMegaOhm);
  }
  return texts;
}

std::unique_ptr<ReadingTable> testLog() {
  const TestTexts texts = testTexts();
  auto table = std::make_unique<ReadingTable>();
  RowFields row;
  for (std::size_t i = 0; i < kRows; ++i) {
    const std::size_t inCycle = i % kCycle;
    row.No = static_cast<std::int32_t>(i + 1);
    row.Time = static_cast<qm::log::TimeOfDay>((8 * 3'600'000 + i * 500) % qm::log::kMillisecondsPerDay);
    if (inCycle < kTestReadings) {
      row.text(TextField::Value) = texts.values[inCycle];
      row.text(TextField::Unit) = texts.units[inCycle];
      row.text(TextField::V_Range) = qm::function::kInsulation1000V;
    } else if (inCycle < kTestReadings + 2) {
      row.text(TextField::Value) = "3.20";
      row.text(TextField::Unit) = qm::unit::kGigaOhm;
      row.text(TextField::V_Range) = qm::function::kInsulation1000V;
    } else {
      row.text(TextField::Value) = "0.4";
      row.text(TextField::Unit) = qm::unit::kVolt;
      row.text(TextField::V_Range) = qm::function::kDcVolts;
    }
    row.text(TextField::I_Range) = inCycle < kTestReadings + 2 ? qm::mode::kPolarisationIndex : qm::mode::kContinuous;
    table->appendAdded(row);
  }
  return table;
}

const QTemporaryDir& scratchFolder() {
  static const QTemporaryDir folder;
  return folder;
}

const qm::log::TimeOfDayFormat& timeFormat() {
  static const qm::log::TimeOfDayFormat format = qm::log::TimeOfDayFormat::systemLongTime();
  return format;
}

// The table file of the test log, written once.
QString tableFile(const char* extension) {
  static std::unique_ptr<ReadingTable> log;
  const QString name = scratchFolder().filePath(QStringLiteral("pi-tests") + QLatin1String(extension));
  if (!QFileInfo::exists(name)) {
    if (!log) {
      log = testLog();
    }
    if (!qm::log::saveTableToFile(*log, name, timeFormat()).ok) {
      throw std::runtime_error("save failed");
    }
  }
  return name;
}

std::unique_ptr<ReadingTable> loaded(const QString& name) {
  auto table = std::make_unique<ReadingTable>();
  if (!qm::log::loadTableFromFile(name, *table, timeFormat()).ok || table->rowCount() != kRows) {
    throw std::runtime_error("load failed");
  }
  return table;
}

void load(benchmark::State& state, const char* extension) {
  const QString name = tableFile(extension);
  for (auto _ : state) {
    std::unique_ptr<ReadingTable> table = loaded(name);
    state.PauseTiming();  // freeing the table is not loading
    table.reset();
    state.ResumeTiming();
  }
  state.counters["MB"] = static_cast<double>(QFileInfo(name).size()) / 1e6;
}

// What qm-cli analyse does after the load: the runs, and the indices and verdict of each.
void analyseLoaded(benchmark::State& state, const char* extension) {
  const std::unique_ptr<ReadingTable> table = loaded(tableFile(extension));
  std::size_t runs = 0;
  for (auto _ : state) {
    qm::analysis::RunFinder finder(".");
    finder.addRows(*table);
    for (const qm::analysis::TestRun& run : finder.runs()) {
      benchmark::DoNotOptimize(qm::analysis::analyseRun(run, 20.0, QStringLiteral("F"), {}));
    }
    runs = finder.runs().size();
  }
  state.counters["runs"] = static_cast<double>(runs);
}

// The whole command as other tools run it, output into memory.
void analyseCommand(benchmark::State& state, const char* extension) {
  const std::string name = tableFile(extension).toStdString();
  for (auto _ : state) {
    std::ostringstream out;
    std::ostringstream err;
    if (qm::cli::runAnalyse({name, "--json", "--temperature", "20"}, out, err) != 0) {
      state.SkipWithError("analyse failed");
      break;
    }
    state.counters["output MB"] = static_cast<double>(out.str().size()) / 1e6;
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (const char* extension : {".txt", ".xml"}) {
    const std::string kind = extension == std::string_view(".txt") ? "text" : "xml";
    const auto add = [&](const std::string& what, auto function) {
      benchmark::RegisterBenchmark((kind + "_" + what + "/10000000").c_str(), function)
          ->Iterations(2)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    };
    add("load", [extension](benchmark::State& state) { load(state, extension); });
    add("analysis_after_load", [extension](benchmark::State& state) { analyseLoaded(state, extension); });
    add("analyse_command", [extension](benchmark::State& state) { analyseCommand(state, extension); });
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
