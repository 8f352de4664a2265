#include "cli/replay_command.h"

#include "cli/command_usage.h"
#include "cli/reading_output.h"
#include "display/digit_patterns.h"
#include "link/report_reassembler.h"

#include <fstream>
#include <limits>
#include <optional>
#include <ostream>

namespace qm::cli {
namespace {

int hexValue(char c) {
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return display::hexDigitValue(c);
}

// The report's data bytes, or why the line is not a report.
std::optional<std::string> parseReport(std::string_view line, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  int high = -1;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t') {
      if (high >= 0) {
        return "a byte needs two hex digits (character " + std::to_string(i + 1) + ")";
      }
      continue;
    }
    const int value = hexValue(c);
    if (value < 0) {
      return "character " + std::to_string(i + 1) + " ('" + describeByte(c) + "') is not a hex digit";
    }
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | value));
      high = -1;
    }
  }
  if (high >= 0) {
    return "a byte needs two hex digits (the line ends after one)";
  }
  if (bytes.size() > std::numeric_limits<std::uint16_t>::max()) {
    return "a report holds at most 65535 data bytes";
  }
  return std::nullopt;
}

}  // namespace

int runReplay(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
  OutputOptions options;
  std::optional<std::string> file;
  const bool parsed = parseArguments(args, "replay", usage::synopsis(usage::kReplay), options, err,
                                     [&](const std::vector<std::string>& all, std::size_t& i) -> std::optional<std::string> {
                                       if ((all[i].size() > 1 && all[i][0] == '-') || file) {
                                         return "unexpected argument '" + all[i] + "'";
                                       }
                                       file = all[i];
                                       return std::nullopt;
                                     });
  if (!parsed) {
    return 2;
  }

  std::ifstream fileStream;
  if (file && *file != "-") {
    fileStream.open(*file, std::ios::binary);
    if (!fileStream) {
      err << "qm-cli replay: cannot read '" << *file << "'\n";
      return 1;
    }
  }
  std::istream& reports = fileStream.is_open() ? fileStream : in;
  const std::string sourceName = fileStream.is_open() ? *file : "-";

  DecodingPrinter printer(options);
  link::ReportReassembler reassembler([&](std::string_view frameText) { printer.decodeAndPrint(frameText, out); });
  bool failed = false;
  std::vector<std::uint8_t> bytes;
  forEachLine(reports, [&](std::string& line, std::size_t number) {
    if (const std::optional<std::string> why = parseReport(line, bytes)) {
      err << "qm-cli replay: " << sourceName << ':' << number << ": " << *why << ", line skipped\n";
      failed = true;
      return;
    }
    reassembler.addReport(0, bytes.data(), static_cast<std::uint16_t>(bytes.size()));
  });
  if (reports.bad()) {
    err << "qm-cli replay: reading '" << sourceName << "' failed\n";
    failed = true;
  }
  out.flush();
  return failed ? 1 : 0;
}

}  // namespace qm::cli
