#include "cli/snapshot_command.h"

#include "chart/snapshot_file.h"
#include "chart/trend_chart_view.h"
#include "cli/command_usage.h"
#include "cli/reading_output.h"
#include "core/locale_text.h"
#include "log/table_files.h"

#include <QApplication>
#include <QFile>
#include <QImage>

#include <iostream>
#include <limits>
#include <optional>
#include <ostream>

namespace qm::cli {
namespace {

// The chart's size in the main window.
constexpr QSize kChartSize(361, 209);

struct SnapshotArguments {
  std::vector<std::string> files;
  std::optional<long long> page;
  std::optional<long long> pageSize;
  bool whole = false;
  OutputOptions output;
};

// The arguments, or a refusal written to `err`.
std::optional<SnapshotArguments> parse(const std::vector<std::string>& args, std::ostream& err) {
  SnapshotArguments parsed;
  const auto refuse = [&err](const std::string& why) {
    err << "qm-cli snapshot: " << why << '\n' << usage::synopsis(usage::kSnapshot);
    return std::nullopt;
  };
  const bool accepted = parseArguments(
      args, "snapshot", usage::synopsis(usage::kSnapshot), parsed.output, err,
      [&parsed](const std::vector<std::string>& all, std::size_t& i) -> std::optional<std::string> {
        const std::string& arg = all[i];
        if (arg == "--whole") {
          parsed.whole = true;
        } else if (arg == "--page" || arg == "--page-size") {
          const long long lowest = arg == "--page" ? 1 : 0;
          const std::optional<long long> value =
              i + 1 < all.size() ? wholeNumber(all[i + 1], lowest, std::numeric_limits<std::int32_t>::max())
                                 : std::nullopt;
          if (!value) {
            return arg + " needs a whole number from " + std::to_string(lowest) + " to 2147483647";
          }
          (arg == "--page" ? parsed.page : parsed.pageSize) = value;
          ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
          // A mistyped option must not become a file name.
          return "unknown option '" + arg + "'";
        } else {
          parsed.files.push_back(arg);
        }
        return std::nullopt;
      });
  if (!accepted) {
    return std::nullopt;
  }
  if (parsed.output.printState) {
    return refuse("--state is not an option of snapshot");
  }
  if (parsed.files.size() != 2) {
    return refuse("expected a table file and a picture file");
  }
  if (parsed.whole && (parsed.page || parsed.pageSize)) {
    return refuse("--whole puts every point on one page: it takes neither --page nor --page-size");
  }
  return parsed;
}

}  // namespace

int runSnapshot(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::optional<SnapshotArguments> parsed = parse(args, err);
  if (!parsed) {
    return 2;
  }
  const QString tableFile = QFile::decodeName(QByteArray::fromStdString(parsed->files[0]));
  const QString pictureFile = QFile::decodeName(QByteArray::fromStdString(parsed->files[1]));

  log::ReadingTable table;
  const log::TableFileOutcome loaded =
      log::loadTableFromFile(tableFile, table, log::TimeOfDayFormat::systemLongTime());
  if (!loaded.ok) {
    err << "qm-cli snapshot: " << parsed->files[0] << ": " << loaded.detail.toStdString() << '\n';
    return 1;
  }

  chart::TrendChartView chart(nullptr);
  chart.resize(kChartSize);
  // As the window shows it: one series, the one its "Fill" box chooses.
  chart.showChosenSeries();
  chart.followTable(table, parsed->output.decimalSeparator.value_or(systemDecimalSeparator()));
  if (parsed->whole) {
    chart.showWholeRun();
  } else if (parsed->pageSize) {
    chart.setPageSize(static_cast<int>(*parsed->pageSize));
  }
  const std::size_t pageCount = chart.pager().pageCount(chart.pagedPointCount());
  if (parsed->page) {
    if (static_cast<std::size_t>(*parsed->page) > pageCount) {
      err << "qm-cli snapshot: --page " << *parsed->page << " is past the last page, " << pageCount << '\n';
      return 2;
    }
    chart.showPage(static_cast<std::size_t>(*parsed->page));
  }

  const QImage picture = chart.picture();
  if (const std::optional<QString> error = chart::writeBitmap(picture, pictureFile)) {
    err << "qm-cli snapshot: " << error->toStdString() << '\n';
    return 1;
  }
  const std::size_t withoutPoint = table.rowCount() - chart.points().size();
  out << parsed->files[1] << ": page " << chart.pager().page() << " of " << pageCount << ", "
      << chart.points().size() << " points in the chart, " << withoutPoint << " of " << table.rowCount()
      << " rows gave no point, " << picture.width() << " x " << picture.height() << " pixels\n";
  if (table.rowCount() > 0 && withoutPoint == table.rowCount()) {
    err << "qm-cli snapshot: warning: no row of " << parsed->files[0]
        << " has a value that is a number; if its values use another decimal separator than the system's, give"
           " it with --decimal-separator\n";
  }
  return 0;
}

int snapshotMain(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  return runSnapshot(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
}

}  // namespace qm::cli
