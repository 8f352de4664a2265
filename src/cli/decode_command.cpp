#include "cli/decode_command.h"

#include "cli/command_usage.h"
#include "cli/reading_output.h"
#include "core/meter_frame.h"

#include <algorithm>
#include <fstream>
#include <istream>
#include <optional>
#include <ostream>

namespace qm::cli {
namespace {

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// Why a line is not a frame text, or nothing when its first 44 characters are all hex digits.
std::optional<std::string> refusal(std::string_view line) {
  const std::size_t checked = std::min(line.size(), kFrameTextLength);
  for (std::size_t i = 0; i < checked; ++i) {
    if (!isHexDigit(line[i])) {
      return "character " + std::to_string(i + 1) + " ('" + describeByte(line[i]) + "') is not a hex digit";
    }
  }
  return std::nullopt;
}

}  // namespace

int runDecode(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
  OutputOptions options;
  std::vector<std::string> files;
  const bool parsed = parseArguments(args, "decode", usage::synopsis(usage::kDecode), options, err,
                                     [&](const std::vector<std::string>& all, std::size_t& i) -> std::optional<std::string> {
                                       if (all[i] == "--") {
                                         files.insert(files.end(), all.begin() + static_cast<std::ptrdiff_t>(i) + 1, all.end());
                                         i = all.size();
                                         return std::nullopt;
                                       }
                                       if (all[i].size() > 1 && all[i][0] == '-') {
                                         return "unknown option '" + all[i] + "'";
                                       }
                                       files.push_back(all[i]);
                                       return std::nullopt;
                                     });
  if (!parsed) {
    return 2;
  }

  DecodingPrinter printer(options);
  bool failed = false;
  auto decodeStream = [&](std::istream& stream, std::string_view sourceName) {
    forEachLine(stream, [&](std::string& line, std::size_t number) {
      if (const std::optional<std::string> why = refusal(line)) {
        err << "qm-cli decode: " << sourceName << ':' << number << ": " << *why << ", line skipped\n";
        failed = true;
        return;
      }
      // The decoder reads upper-case hex; the characters after the 44th it ignores anyway.
      const std::size_t checked = std::min(line.size(), kFrameTextLength);
      std::transform(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(checked), line.begin(),
                     [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; });
      printer.decodeAndPrint(line, out);
    });
  };

  if (files.empty()) {
    decodeStream(in, "-");
  }
  for (const std::string& file : files) {
    if (file == "-") {
      decodeStream(in, "-");
      continue;
    }
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
      err << "qm-cli decode: cannot read '" << file << "'\n";
      failed = true;
      continue;
    }
    decodeStream(stream, file);
    if (stream.bad()) {
      err << "qm-cli decode: reading '" << file << "' failed\n";
      failed = true;
    }
  }
  out.flush();
  return failed ? 1 : 0;
}

}  // namespace qm::cli
