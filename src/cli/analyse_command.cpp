#include "cli/analyse_command.h"

#include "analysis/insulation_indices.h"
#include "analysis/test_record.h"
#include "analysis/test_runs.h"
#include "cli/command_usage.h"
#include "cli/reading_output.h"
#include "core/ansi_text.h"
#include "core/locale_text.h"
#include "log/table_files.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cmath>
#include <ostream>

namespace qm::cli {
namespace {

struct RunReport {
  const analysis::TestRun& run;
  analysis::InsulationIndices indices;
};

// Why a table file could not be loaded, as precisely as its rows show.
std::string whyNotLoaded(const QString& name, const log::ReadingTable& partial) {
  const QFileInfo file(name);
  if (!file.exists()) {
    return "no such file";
  }
  if (!file.isFile() || !file.isReadable()) {
    return "cannot be read";
  }
  if (log::formatForFileName(name) == log::TableFileFormat::DataPacket) {
    return "not an XML data packet of a reading table";
  }
  if (file.size() == 0) {
    return "empty, not even a header line";
  }
  // The header line, then the rows read before the one that failed.
  return "line " + std::to_string(partial.rowCount() + 2) + " is not a row of a reading table";
}

std::optional<double> temperatureArgument(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value < analysis::kLowestAmbientCelsius ||
      value > analysis::kHighestAmbientCelsius) {
    return std::nullopt;
  }
  return value;
}

QJsonValue jsonNumber(const std::optional<double>& value) { return value ? QJsonValue(*value) : QJsonValue(); }
QJsonValue jsonNumber(const std::optional<std::int32_t>& value) { return value ? QJsonValue(*value) : QJsonValue(); }

void writeJson(std::ostream& out, const std::vector<RunReport>& reports) {
  QJsonArray runs;
  for (const auto& [run, indices] : reports) {
    QJsonObject object;
    object.insert(QStringLiteral("first_no"), jsonNumber(run.firstNo));
    object.insert(QStringLiteral("last_no"), jsonNumber(run.lastNo));
    object.insert(QStringLiteral("function"), fromAnsi(run.function));
    object.insert(QStringLiteral("seconds"), static_cast<double>(run.elapsed) / 1000.0);
    object.insert(QStringLiteral("r15"), jsonNumber(indices.r15));
    object.insert(QStringLiteral("r30"), jsonNumber(indices.r30));
    object.insert(QStringLiteral("r60"), jsonNumber(indices.r60));
    object.insert(QStringLiteral("r600"), jsonNumber(indices.r600));
    object.insert(QStringLiteral("dar"), jsonNumber(indices.dar));
    object.insert(QStringLiteral("pi"), jsonNumber(indices.pi));
    object.insert(QStringLiteral("r60_40c"), jsonNumber(indices.r60At40C));
    object.insert(QStringLiteral("verdict"), indices.verdict ? QJsonValue(analysis::verdictText(*indices.verdict)) : QJsonValue());
    object.insert(QStringLiteral("reasons"), QJsonArray::fromStringList(indices.reasons));
    runs.append(object);
  }
  out << QJsonDocument(QJsonObject{{QStringLiteral("runs"), runs}}).toJson(QJsonDocument::Indented).toStdString();
}

std::string resistanceField(const char* label, const std::optional<double>& ohms) {
  return std::string(label) + ' ' + (ohms ? analysis::ohmsText(*ohms).toStdString() : std::string("-"));
}

std::string ratioField(const char* label, const std::optional<double>& ratio) {
  return std::string(label) + ' ' + (ratio ? QString::number(*ratio, 'f', 2).toStdString() : std::string("-"));
}

void writeLines(std::ostream& out, const std::vector<RunReport>& reports) {
  for (const auto& [run, indices] : reports) {
    out << (run.firstNo ? std::to_string(*run.firstNo) : std::string()) << '-'
        << (run.lastNo ? std::to_string(*run.lastNo) : std::string()) << '\t';
    writeUtf8(out, run.function);
    out << '\t' << QString::number(static_cast<double>(run.elapsed) / 1000.0, 'f', 1).toStdString() << " s\t"
        << resistanceField("R15", indices.r15) << '\t' << resistanceField("R30", indices.r30) << '\t'
        << resistanceField("R60", indices.r60) << '\t' << resistanceField("R600", indices.r600) << '\t'
        << ratioField("DAR", indices.dar) << '\t' << ratioField("PI", indices.pi)
        << (indices.pi && !indices.piMeaningful ? " (not meaningful)" : "") << '\t'
        << resistanceField("R60 at 40 °C", indices.r60At40C) << '\t'
        << (indices.verdict ? analysis::verdictText(*indices.verdict).toStdString() : std::string("-")) << '\t'
        << indices.reasons.join(QStringLiteral("; ")).toStdString() << '\n';
  }
}

}  // namespace

int runAnalyse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto usageError = [&err](const std::string& why) {
    err << "qm-cli analyse: " << why << '\n' << usage::synopsis(usage::kAnalyse);
    return 2;
  };
  std::optional<std::string> tableFile;
  std::optional<double> temperature;
  bool json = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--temperature") {
      temperature = i + 1 < args.size() ? temperatureArgument(args[i + 1]) : std::nullopt;
      if (!temperature) {
        return usageError("--temperature needs degrees Celsius from -50 to 150, such as 20 or 21.5");
      }
      ++i;
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return usageError("unknown option '" + args[i] + "'");
    } else if (tableFile) {
      return usageError("expected one table file");
    } else {
      tableFile = args[i];
    }
  }
  if (!tableFile) {
    return usageError("expected a table file");
  }

  const QString name = QFile::decodeName(QByteArray::fromStdString(*tableFile));
  log::ReadingTable table;
  if (!log::loadTableFromFile(name, table, log::TimeOfDayFormat::systemLongTime()).ok) {
    err << "qm-cli analyse: '" << *tableFile << "': " << whyNotLoaded(name, table) << '\n';
    return 1;
  }
  const analysis::TestRecordRead read = analysis::readTestRecord(name);
  if (!read.error.isEmpty()) {
    err << "qm-cli analyse: the test record is left out: " << read.error.toStdString() << '\n';
  }
  const analysis::TestRecord record = read.record.value_or(analysis::TestRecord{});
  if (!temperature) {
    temperature = record.ambientCelsius;
  }

  analysis::RunFinder finder(systemDecimalSeparator());
  finder.addRows(table);
  const analysis::AnalysisSettings settings;
  std::vector<RunReport> reports;
  reports.reserve(finder.runs().size());
  for (const analysis::TestRun& run : finder.runs()) {
    reports.push_back({run, analysis::analyseRun(run, temperature, record.insulationClass, settings)});
  }
  if (json) {
    writeJson(out, reports);
  } else {
    writeLines(out, reports);
  }
  out.flush();
  return 0;
}

}  // namespace qm::cli
