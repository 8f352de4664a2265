#include "cli/report_command.h"

#include "analysis/test_record.h"
#include "analysis/test_runs.h"
#include "core/locale_text.h"
#include "log/table_files.h"
#include "reports/insulation_report.h"
#include "reports/report_document.h"
#include "reports/report_export.h"
#include "reports/report_picture.h"

#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <iostream>
#include <optional>
#include <ostream>

namespace qm::cli {
namespace {

constexpr std::string_view kUsage =
    "usage: qm-cli report TABLEFILE OUT [--layout data|store|graph|data+graph|insulation] [--picture FILE]\n"
    "  OUT ends in .pdf, .html, .htm, .txt or .csv; the graph layouts need --picture (BMP, PNG or JPEG)\n"
    "  --layout insulation writes OUT.pdf: a page per insulation test run, with the test record kept\n"
    "  beside TABLEFILE\n";

constexpr std::string_view kInsulationLayout = "insulation";

struct LayoutName {
  std::string_view name;
  reports::ReportKind kind;
};
constexpr std::array<LayoutName, 4> kLayouts{{{"data", reports::ReportKind::Data},
                                              {"store", reports::ReportKind::Store},
                                              {"graph", reports::ReportKind::Graph},
                                              {"data+graph", reports::ReportKind::DataGraph}}};

struct ReportArguments {
  std::vector<std::string> files;
  reports::ReportKind kind = reports::ReportKind::Data;
  bool insulation = false;  // the insulation test report, which is no band report
  std::optional<std::string> picture;
  reports::ExportFormat format = reports::ExportFormat::Pdf;
  bool help = false;
};

QString fileName(const std::string& argument) { return QFile::decodeName(QByteArray::fromStdString(argument)); }

bool needsPicture(reports::ReportKind kind) {
  return kind == reports::ReportKind::Graph || kind == reports::ReportKind::DataGraph;
}

// The arguments, or a refusal written to `err`.
std::optional<ReportArguments> parse(const std::vector<std::string>& args, std::ostream& err) {
  ReportArguments parsed;
  const auto refuse = [&err](const std::string& why) {
    err << "qm-cli report: " << why << '\n' << kUsage;
    return std::nullopt;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (arg == "--layout") {
      const std::string value = i + 1 < args.size() ? args[++i] : std::string();
      const auto found = std::find_if(kLayouts.begin(), kLayouts.end(), [&](const LayoutName& layout) { return layout.name == value; });
      parsed.insulation = value == kInsulationLayout;
      if (found == kLayouts.end() && !parsed.insulation) {
        return refuse("--layout takes data, store, graph, data+graph or insulation");
      }
      parsed.kind = parsed.insulation ? reports::ReportKind::Data : found->kind;
    } else if (arg == "--picture") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        return refuse("--picture needs a picture file");
      }
      parsed.picture = args[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      // A mistyped option must not become a file name.
      return refuse("unknown option '" + arg + "'");
    } else {
      parsed.files.push_back(arg);
    }
  }
  if (parsed.help) {
    return parsed;
  }
  if (parsed.files.size() != 2) {
    return refuse("expected a table file and an output file");
  }
  const std::optional<reports::ExportFormat> format = reports::exportFormatForFileName(fileName(parsed.files[1]));
  if (!format) {
    return refuse("cannot tell the format of '" + parsed.files[1] + "' by its extension");
  }
  parsed.format = *format;
  if (parsed.insulation && parsed.format != reports::ExportFormat::Pdf) {
    return refuse("the insulation layout is written as PDF only: OUT must end in .pdf");
  }
  if (needsPicture(parsed.kind) && !parsed.picture) {
    return refuse("the graph layouts need --picture FILE");
  }
  if (!needsPicture(parsed.kind) && parsed.picture) {
    return refuse("--picture is only for the graph and data+graph layouts");
  }
  return parsed;
}

// One page per insulation test run of the table, with the test record of its side file.
int writeInsulationReport(const ReportArguments& arguments, const log::ReadingTable& table,
                          const log::TimeOfDayFormat& timeFormat, std::ostream& out, std::ostream& err) {
  const QString tableFile = fileName(arguments.files[0]);
  const analysis::TestRecordRead read = analysis::readTestRecord(tableFile);
  if (!read.error.isEmpty()) {
    err << "qm-cli report: the test record is left out: " << read.error.toStdString() << '\n';
  }
  analysis::RunFinder finder(systemDecimalSeparator());
  finder.addRows(table);
  if (finder.runs().empty()) {
    err << "qm-cli report: " << arguments.files[0]
        << ": no insulation test run in the table (readings in Ω, MΩ or GΩ under an IR: function); no report written\n";
    return 1;
  }
  reports::InsulationReportOptions options;
  options.timeFormat = timeFormat;
  const reports::InsulationReport report(finder.runs(), read.record.value_or(analysis::TestRecord{}), std::move(options));
  const reports::ExportOutcome outcome =
      reports::savePdf(report, reports::InsulationReport::title(), fileName(arguments.files[1]));
  if (!outcome.written()) {
    err << "qm-cli report: " << outcome.message.toStdString() << '\n';
    return 1;
  }
  const std::size_t runs = report.pageCount();
  out << arguments.files[1] << ": " << runs << (runs == 1 ? " page, " : " pages, ") << runs
      << (runs == 1 ? " run\n" : " runs\n");
  return 0;
}

}  // namespace

int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::optional<ReportArguments> parsed = parse(args, err);
  if (!parsed) {
    return 2;
  }
  if (parsed->help) {
    out << kUsage;
    return 0;
  }
  const QString tableFile = fileName(parsed->files[0]);
  const QString outFile = fileName(parsed->files[1]);
  const log::TimeOfDayFormat timeFormat = log::TimeOfDayFormat::systemLongTime();

  log::ReadingTable table;
  if (const log::TableFileOutcome loaded = log::loadTableFromFile(tableFile, table, timeFormat); !loaded.ok) {
    err << "qm-cli report: " << parsed->files[0] << ": " << loaded.detail.toStdString() << '\n';
    return 1;
  }
  if (parsed->insulation) {
    return writeInsulationReport(*parsed, table, timeFormat, out, err);
  }
  reports::ReportOptions options;
  options.timeFormat = timeFormat;
  if (parsed->picture) {
    const reports::LoadedPicture picture = reports::loadReportPicture(fileName(*parsed->picture));
    if (picture.image.isNull()) {
      err << "qm-cli report: " << picture.error.toStdString() << '\n';
      return 1;
    }
    options.picture = picture.image;
  }
  const reports::ReportDocument report(parsed->kind, &table, std::move(options));
  const reports::ExportOutcome outcome = reports::saveReport(report, outFile, parsed->format);
  if (!outcome.written()) {
    err << "qm-cli report: " << outcome.message.toStdString() << '\n';
    return 1;
  }
  out << parsed->files[1] << ": " << report.pageCount() << (report.pageCount() == 1 ? " page, " : " pages, ")
      << report.rowCount() << (report.rowCount() == 1 ? " row\n" : " rows\n");
  return 0;
}

int reportMain(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QGuiApplication app(argc, argv);
  std::ios::sync_with_stdio(false);
  return runReport(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
}

}  // namespace qm::cli
