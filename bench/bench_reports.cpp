// The printed reports at the size "Limitless" allows (ten million rows, 270,271 pages):
//
// - open_and_paint_first_page: open the data report over the table and paint its first page as the
//   preview does at its width (target: under 0.1 s);
// - paint_last_page: jump to page 270,271 and paint it (target: under 50 ms);
// - page_through: paint 2,000 pages spread over the report; "RSS growth kB" is what the process
//   grew by meanwhile (memory must stay flat);
// - pdf_pages: PDF of a 2,000-page report, in pages a second on one core (target: at least 1,000
//   A4 pages of 37 rows a second), and pdf_page_range: pages 100,000 to 100,010 of the big report;
// - csv_export and text_export of the ten million rows next to `cp` (and `cp` followed by sync,
//   since a save syncs its file before renaming it into place) of the file written (target: within
//   three times).
//
//   build/ci/bench/bench_reports [--benchmark_filter=pdf]

#include "file_copy.h"

#include "log/reading_table.h"
#include "log/time_of_day_format.h"
#include "reports/page_painter.h"
#include "reports/report_document.h"
#include "reports/report_export.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

using qm::log::ReadingTable;
using qm::log::RowFields;
using qm::log::TextField;
using qm::reports::ExportFormat;
using qm::reports::ReportDocument;
using qm::reports::ReportKind;

constexpr std::size_t kTenMillion = 10'000'000;
// The preview's page at its width: 740 pixels across the paper.
constexpr double kPreviewPixelsPerMm = 740.0 / 210;

// A meter's log: two readings a second from 08:00, values of up to four digits with a decimal comma.
const ReadingTable& sharedLog(std::size_t rows) {
  static std::map<std::size_t, std::unique_ptr<ReadingTable>> logs;
  std::unique_ptr<ReadingTable>& log = logs[rows];
  if (!log) {
    log = std::make_unique<ReadingTable>();
    std::string value;
    for (std::size_t i = 0; i < rows; ++i) {
      const std::size_t digits = i * 7919 % 10000;
      value = std::to_string(digits / 10) + ',' + std::to_string(digits % 10);
      RowFields row;
      row.No = static_cast<std::int32_t>(i + 1);
      row.Time = static_cast<qm::log::TimeOfDay>((8 * 3'600'000 + i * 500) % qm::log::kMillisecondsPerDay);
      row.text(TextField::Value) = value;
      row.text(TextField::Unit) = "M\xA6\xB8";
      row.text(TextField::V_Range) = "IR:500V 20G\xA6\xB8";
      row.text(TextField::I_Range) = "Continuous";
      log->appendAdded(row);
    }
  }
  return *log;
}

std::unique_ptr<ReportDocument> openReport(const ReadingTable& table) {
  qm::reports::ReportOptions options;
  options.timeFormat = qm::log::TimeOfDayFormat(QStringLiteral("HH:mm:ss"), QLocale::c());
  return std::make_unique<ReportDocument>(ReportKind::Data, &table, std::move(options));
}

// What the preview does for a page it shows.
void paintPreviewPage(const ReportDocument& report, std::size_t page, QImage& screen) {
  screen.fill(Qt::white);
  QPainter painter(&screen);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  report.paintPage(painter, page, kPreviewPixelsPerMm);
}

QImage previewScreen() { return QImage(740, 1047, QImage::Format_RGB32); }

long residentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      return std::atol(line.c_str() + 6);
    }
  }
  return 0;
}

const QTemporaryDir& scratchFolder() {
  static const QTemporaryDir folder;
  return folder;
}

void openAndPaintFirstPage(benchmark::State& state) {
  const ReadingTable& table = sharedLog(kTenMillion);
  QImage screen = previewScreen();
  std::size_t pages = 0;
  for (auto _ : state) {
    const auto report = openReport(table);
    paintPreviewPage(*report, 0, screen);
    pages = report->pageCount();
  }
  state.counters["pages"] = static_cast<double>(pages);
}

void paintLastPage(benchmark::State& state) {
  const auto report = openReport(sharedLog(kTenMillion));
  QImage screen = previewScreen();
  for (auto _ : state) {
    paintPreviewPage(*report, report->pageCount() - 1, screen);
  }
}

void pageThrough(benchmark::State& state) {
  const auto report = openReport(sharedLog(kTenMillion));
  QImage screen = previewScreen();
  paintPreviewPage(*report, 0, screen);
  const long before = residentKilobytes();
  constexpr std::size_t kPages = 2000;
  for (auto _ : state) {
    for (std::size_t i = 0; i < kPages; ++i) {
      paintPreviewPage(*report, i * (report->pageCount() / kPages), screen);
    }
  }
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(kPages * state.iterations()), benchmark::Counter::kIsRate);
  state.counters["RSS growth kB"] = static_cast<double>(residentKilobytes() - before);
}

void pdfPages(benchmark::State& state) {
  const auto report = openReport(sharedLog(2000 * 37));
  const QString name = scratchFolder().filePath("report.pdf");
  for (auto _ : state) {
    if (!qm::reports::saveReport(*report, name, ExportFormat::Pdf).written()) {
      state.SkipWithError("PDF save failed");
      break;
    }
  }
  state.counters["pages/s"] =
      benchmark::Counter(static_cast<double>(report->pageCount() * state.iterations()), benchmark::Counter::kIsRate);
  state.counters["MB"] = static_cast<double>(QFileInfo(name).size()) / 1e6;
}

// Printing pages 100,000 to 100,010 of the big report, on a PDF writer as on a printer.
void pdfPageRange(benchmark::State& state) {
  const auto report = openReport(sharedLog(kTenMillion));
  const QString name = scratchFolder().filePath("range.pdf");
  for (auto _ : state) {
    QPdfWriter writer(name);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    qm::reports::paintPages(*report, writer, painter, 99'999, 100'009);
  }
}

QString exportName(ExportFormat format) {
  return scratchFolder().filePath(format == ExportFormat::Csv ? "report.csv" : "report.txt");
}

void exportRows(benchmark::State& state, ExportFormat format) {
  const auto report = openReport(sharedLog(kTenMillion));
  const QString name = exportName(format);
  for (auto _ : state) {
    // As for cp, the file is new: replacing a file of half a gigabyte costs its removal first.
    state.PauseTiming();
    QFile::remove(name);
    state.ResumeTiming();
    if (!qm::reports::saveReport(*report, name, format).written()) {
      state.SkipWithError("export failed");
      break;
    }
  }
  const qint64 size = QFileInfo(name).size();
  state.SetBytesProcessed(state.iterations() * size);
  state.counters["MB"] = static_cast<double>(size) / 1e6;
}

void copyExport(benchmark::State& state, ExportFormat format, bool sync) {
  const QString name = exportName(format);
  if (!QFileInfo::exists(name)) {
    qm::reports::saveReport(*openReport(sharedLog(kTenMillion)), name, format);
  }
  const QString copy = scratchFolder().filePath("copy");
  timeFileCopy(state, name, copy, sync);
  const qint64 size = QFileInfo(name).size();
  state.SetBytesProcessed(state.iterations() * size);
  state.counters["MB"] = static_cast<double>(size) / 1e6;
}

void registerAll() {
  const auto add = [](const char* name, auto function, int iterations) {
    benchmark::RegisterBenchmark(name, function)->Iterations(iterations)->Unit(benchmark::kMillisecond)->UseRealTime();
  };
  add("open_and_paint_first_page/10000000", openAndPaintFirstPage, 20);
  add("paint_last_page/10000000", paintLastPage, 50);
  add("page_through/10000000", pageThrough, 1);
  add("pdf_pages/74000", pdfPages, 3);
  add("pdf_page_range/10000000", pdfPageRange, 20);
  for (const ExportFormat format : {ExportFormat::Csv, ExportFormat::Text}) {
    const std::string kind = format == ExportFormat::Csv ? "csv" : "text";
    add((kind + "_export/10000000").c_str(), [format](benchmark::State& state) { exportRows(state, format); }, 2);
    add((kind + "_cp/10000000").c_str(), [format](benchmark::State& state) { copyExport(state, format, false); }, 2);
    add((kind + "_cp+sync/10000000").c_str(), [format](benchmark::State& state) { copyExport(state, format, true); }, 2);
  }
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
