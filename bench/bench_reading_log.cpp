// The reading log at the sizes "Limitless" allows (one and ten million rows): appending rows, the
// memory a row costs, and saving and loading both table files. Next to each file operation, `cp`
// of the same file in the same folder gives the disk's own speed: a load should stay within three
// times it, a text save within twice and a packet save within one and a half times "cp+sync". A
// save ends with the file synced to disk before it is renamed into place, so "cp+sync" (cp, then
// sync of the copy) is the figure to hold a save against. Loads of large files use both cores.
//
//   build/ci/bench/bench_reading_log [--benchmark_filter=10000000]

#include "file_copy.h"

#include "core/current_reading.h"
#include "log/table_files.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <array>
#include <charconv>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

using qm::log::ReadingTable;
using qm::log::RowFields;
using qm::log::TextField;
namespace unit = qm::unit;
namespace function = qm::function;
namespace mode = qm::mode;

struct Scene {
  std::string_view unit;
  std::string_view function;
  std::string_view mode;
};

// What the meter shows over a working day: insulation tests in their modes, and voltage checks.
constexpr std::array<Scene, 8> kScenes{{
    {unit::kMegaOhm, function::kInsulation500V, mode::kContinuous},
    {unit::kGigaOhm, function::kInsulation1000V, mode::kTimed},
    {unit::kGigaOhm, function::kInsulation2500V, mode::kPolarisationIndex},
    {unit::kGigaOhm, function::kInsulation5000V, mode::kCompareGood},
    {unit::kMegaOhm, function::kInsulation1000V, mode::kCompareNotGood},
    {unit::kVolt, function::kDcVolts, mode::kContinuous},
    {unit::kVolt, function::kAcVolts, mode::kContinuous},
    {unit::kOhm, function::kInsulation500V, mode::kContinuous},
}};

// Row `index` of a meter's log: two readings a second from 08:00 on (wrapping at midnight), a
// scene change every 600 readings, values of up to four digits with a decimal point.
class MeterLogRow {
public:
  const RowFields& at(std::size_t index) {
    fields_.No = static_cast<std::int32_t>(index + 1);
    fields_.Time = static_cast<qm::log::TimeOfDay>((8 * 3'600'000 + index * 500) % qm::log::kMillisecondsPerDay);
    const auto digits = static_cast<unsigned>(index * 7919 % 10000);
    const std::size_t pointAfter = 1 + index / 97 % 4;  // 1.234, 12.34, 123.4, 1234
    char number[8];
    const char* end = std::to_chars(number, number + sizeof number, digits + 10000).ptr;
    std::string_view fourDigits(number + 1, static_cast<std::size_t>(end - number - 1));
    value_.assign(fourDigits.substr(0, pointAfter));
    if (pointAfter < fourDigits.size()) {
      value_ += '.';
      value_ += fourDigits.substr(pointAfter);
    }
    const Scene& scene = kScenes[index / 600 % kScenes.size()];
    fields_.text(TextField::Value) = value_;
    fields_.text(TextField::Unit) = scene.unit;
    fields_.text(TextField::V_Range) = scene.function;
    fields_.text(TextField::I_Range) = scene.mode;
    return fields_;
  }

private:
  RowFields fields_;
  std::string value_;
};

std::unique_ptr<ReadingTable> meterLog(std::size_t rows) {
  auto table = std::make_unique<ReadingTable>();
  MeterLogRow row;
  for (std::size_t i = 0; i < rows; ++i) {
    table->appendAdded(row.at(i));
  }
  return table;
}

const ReadingTable& sharedLog(std::size_t rows) {
  static std::map<std::size_t, std::unique_ptr<ReadingTable>> logs;
  std::unique_ptr<ReadingTable>& log = logs[rows];
  if (!log) {
    log = meterLog(rows);
  }
  return *log;
}

const QTemporaryDir& scratchFolder() {
  static const QTemporaryDir folder;
  return folder;
}

const qm::log::TimeOfDayFormat& timeFormat() {
  static const qm::log::TimeOfDayFormat format(QStringLiteral("HH:mm:ss"), QLocale::c());
  return format;
}

QString fileName(std::size_t rows, const char* extension) {
  return scratchFolder().filePath(QString::number(rows) + extension);
}

void save(const ReadingTable& table, const QString& name) {
  if (!qm::log::saveTableToFile(table, name, timeFormat()).ok) {
    throw std::runtime_error("save failed");
  }
}

// The file of the table of `rows` rows, written once.
QString writtenFile(std::size_t rows, const char* extension) {
  const QString name = fileName(rows, extension);
  if (!QFileInfo::exists(name)) {
    save(sharedLog(rows), name);
  }
  return name;
}

// Reads the file once, so that it is in the system's file cache for what follows: a save writes
// its file past the cache, and a load or a cp should not be held against a cold disk read.
void warmUp(const QString& name) {
  QFile file(name);
  if (file.open(QIODevice::ReadOnly)) {
    while (!file.read(1 << 20).isEmpty()) {
    }
  }
}

void setFileCounters(benchmark::State& state, const QString& name) {
  const qint64 size = QFileInfo(name).size();
  state.SetBytesProcessed(state.iterations() * size);
  state.counters["MB"] = static_cast<double>(size) / 1e6;
}

void append(benchmark::State& state) {
  const auto rows = static_cast<std::size_t>(state.range(0));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::unique_ptr<ReadingTable> table = meterLog(rows);
    bytes = table->memoryBytes();
    state.PauseTiming();  // freeing the table is not appending
    table.reset();
    state.ResumeTiming();
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows * state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes/row"] = static_cast<double>(bytes) / static_cast<double>(rows);
}

void saveFile(benchmark::State& state, const char* extension) {
  const auto rows = static_cast<std::size_t>(state.range(0));
  const ReadingTable& table = sharedLog(rows);
  const QString name = fileName(rows, extension);
  for (auto _ : state) {
    // Each save makes a new file, as each `cp` beside it does: replacing a file also frees the old
    // one's blocks, which took 20-30 ms for 127 MB on this kind of disk (mounted with discard), for
    // cp as much as for a save, and would be held against the save alone.
    state.PauseTiming();
    QFile::remove(name);
    state.ResumeTiming();
    save(table, name);
  }
  setFileCounters(state, name);
}

void loadFile(benchmark::State& state, const char* extension) {
  const auto rows = static_cast<std::size_t>(state.range(0));
  const QString name = writtenFile(rows, extension);
  warmUp(name);
  for (auto _ : state) {
    auto table = std::make_unique<ReadingTable>();
    if (!qm::log::loadTableFromFile(name, *table, timeFormat()).ok || table->rowCount() != rows) {
      state.SkipWithError("load failed");
      break;
    }
    state.PauseTiming();  // freeing the table is not loading
    table.reset();
    state.ResumeTiming();
  }
  setFileCounters(state, name);
}

void copyFile(benchmark::State& state, const char* extension, bool sync) {
  const auto rows = static_cast<std::size_t>(state.range(0));
  const QString name = writtenFile(rows, extension);
  const QString copy = scratchFolder().filePath("copy");
  warmUp(name);
  timeFileCopy(state, name, copy, sync);
  setFileCounters(state, name);
}

void registerFor(std::int64_t rows, int iterations) {
  auto add = [&](const std::string& name, auto function) {
    benchmark::RegisterBenchmark((name + "/" + std::to_string(rows)).c_str(), function)
        ->Arg(rows)
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  };
  add("append", append);
  for (const char* extension : {".txt", ".xml"}) {
    const std::string kind = extension == std::string_view(".txt") ? "text" : "xml";
    add(kind + "_save", [extension](benchmark::State& state) { saveFile(state, extension); });
    add(kind + "_cp+sync", [extension](benchmark::State& state) { copyFile(state, extension, true); });
    add(kind + "_load", [extension](benchmark::State& state) { loadFile(state, extension); });
    add(kind + "_cp", [extension](benchmark::State& state) { copyFile(state, extension, false); });
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerFor(1'000'000, 5);
  registerFor(10'000'000, 2);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
