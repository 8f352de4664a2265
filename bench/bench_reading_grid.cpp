// The grid over a long log: what one logged reading costs the GUI thread (the row appended, the
// grid told, the grid following it and painting) with 0, one million and ten million rows
// already in the table. It must not grow with the table.

#include "log/reading_grid_model.h"
#include "log/reading_grid_view.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <string>

namespace {

qm::log::RowFields reading(int no, const std::string& value) {
  qm::log::RowFields row;
  row.No = no;
  row.Time = no % qm::log::kMillisecondsPerDay;
  row.text(qm::log::TextField::Value) = value;
  row.text(qm::log::TextField::Unit) = "M\xA6\xB8";
  row.text(qm::log::TextField::V_Range) = "IR:500V 20G\xA6\xB8";
  row.text(qm::log::TextField::I_Range) = "Continuous";
  return row;
}

void logOneReadingIntoTheGrid(benchmark::State& state) {
  qm::log::ReadingTable table;
  const auto rowsBefore = static_cast<int>(state.range(0));
  {
    qm::log::ReadingTable loaded;
    for (int no = 1; no <= rowsBefore; ++no) {
      loaded.appendAdded(reading(no, std::to_string(no % 10000)));
    }
    table.appendAddedRows(loaded);
  }
  qm::log::ReadingGridModel model(table, [](qm::log::TimeOfDay time) { return QString::number(time); });
  // As the window sets it up: the grid follows the table's current row.
  qm::log::ReadingGridView grid;
  grid.setGridModel(&model);
  grid.resize(617, 177);
  grid.show();
  QObject::connect(&table, &qm::log::ReadingTable::currentRowChanged, &grid,
                   [&](std::optional<std::size_t> row) { grid.showTableRow(*row); });
  QApplication::processEvents();

  int no = rowsBefore;
  for (auto _ : state) {
    ++no;
    table.appendAdded(reading(no, std::to_string(no % 10000)));
    grid.repaint();
  }
  state.counters["rows"] = static_cast<double>(table.rowCount());
}
BENCHMARK(logOneReadingIntoTheGrid)->Arg(0)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
