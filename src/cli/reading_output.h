#pragma once

// What the decoding commands share: their two output options, the line they print for each
// decoded frame, and how they read their input lines.

#include "display/frame_decoder.h"
#include "log/reading_table.h"

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::cli {

struct OutputOptions {
  bool printState = false;                       // --state
  std::optional<std::string> decimalSeparator;  // --decimal-separator, as CP936 bytes
};

// Takes args[i] when it is the command's own argument (advancing i past any value it reads), or
// says why it is refused.
using ArgumentTaker = std::function<std::optional<std::string>(const std::vector<std::string>& args, std::size_t& i)>;

// Goes through a command's arguments: the output options go into `options`, every other argument
// to `other`. On a refusal writes "qm-cli COMMAND: why" and the usage to `err` and returns false.
bool parseArguments(const std::vector<std::string>& args, std::string_view command, std::string_view usage,
                    OutputOptions& options, std::ostream& err, const ArgumentTaker& other);

// Writes code page 936 bytes as UTF-8.
void writeUtf8(std::ostream& out, std::string_view ansi);

// One logged reading as `log` prints it, TAB-separated: No, the time of day with milliseconds
// (HH:mm:ss.zzz), value, unit, function and mode, in UTF-8; a null field is left empty.
void writeLoggedRow(std::ostream& out, const log::RowFields& row);

// A decoder over its own panel, starting from the start-up look, that prints one line per
// decoded frame: value, unit, function, mode and whether the reading would be logged, TAB between
// them; with --state also the lit elements and the digits.
class DecodingPrinter {
public:
  explicit DecodingPrinter(const OutputOptions& options);

  // Decodes one frame text and prints its line.
  void decodeAndPrint(std::string_view frameText, std::ostream& out);

private:
  bool printState_;
  display::PanelState panel_;
  display::FrameDecoder decoder_;
};

// Calls `line` for each line of `in` (LF or CR LF), numbered from 1, without its line end.
void forEachLine(std::istream& in, const std::function<void(std::string& text, std::size_t number)>& line);

// `text` as a whole decimal number from `lowest` to `highest`, or none.
std::optional<long long> wholeNumber(const std::string& text, long long lowest, long long highest);

// A byte as a person can read it in a message: itself when printable, else \xNN.
std::string describeByte(char c);

}  // namespace qm::cli
