#include "cli/reading_output.h"

#include "core/ansi_text.h"
#include "core/locale_text.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <istream>
#include <ostream>
#include <variant>

namespace qm::cli {

using display::Digit;

namespace {

// Takes args[i] (and its value) when it is one of the output options: true when taken, false when
// it is none of them, or why it is refused.
std::variant<bool, std::string> takeOutputOption(const std::vector<std::string>& args, std::size_t& i, OutputOptions& options) {
  if (args[i] == "--state") {
    options.printState = true;
    return true;
  }
  if (args[i] != "--decimal-separator") {
    return false;
  }
  if (i + 1 == args.size()) {
    return std::string("--decimal-separator needs a value");
  }
  const std::string& value = args[++i];
  std::string separator;
  if (!toAnsi(QString::fromUtf8(value), separator)) {
    return "the decimal separator '" + value + "' has no form in code page 936";
  }
  if (separator.size() > display::kMaxDecimalSeparatorBytes) {
    return "the decimal separator '" + value + "' is longer than " + std::to_string(display::kMaxDecimalSeparatorBytes) + " bytes";
  }
  options.decimalSeparator = separator;
  return true;
}

}  // namespace

bool parseArguments(const std::vector<std::string>& args, std::string_view command, std::string_view usage,
                    OutputOptions& options, std::ostream& err, const ArgumentTaker& other) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::variant<bool, std::string> outcome = takeOutputOption(args, i, options);
    if (const bool* taken = std::get_if<bool>(&outcome); taken != nullptr && !*taken) {
      if (std::optional<std::string> refused = other(args, i)) {
        outcome = std::move(*refused);
      }
    }
    if (const std::string* why = std::get_if<std::string>(&outcome)) {
      err << "qm-cli " << command << ": " << *why << '\n' << usage;
      return false;
    }
  }
  return true;
}

void writeUtf8(std::ostream& out, std::string_view ansi) {
  const bool ascii = std::all_of(ansi.begin(), ansi.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    out << ansi;
  } else {
    out << fromAnsi(ansi).toStdString();
  }
}

void writeLoggedRow(std::ostream& out, const log::RowFields& row) {
  if (row.No) {
    out << *row.No;
  }
  out << '\t';
  if (row.Time) {
    char stamp[32];
    const int ms = *row.Time;
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", ms / 3'600'000, ms / 60'000 % 60, ms / 1000 % 60, ms % 1000);
    out << stamp;
  }
  for (const std::optional<std::string_view>& text : row.texts) {
    out << '\t';
    writeUtf8(out, text.value_or(std::string_view()));
  }
  out << '\n';
}

DecodingPrinter::DecodingPrinter(const OutputOptions& options)
    : printState_(options.printState), panel_(display::PanelState::startupLook()), decoder_(panel_) {
  decoder_.setDecimalSeparator(options.decimalSeparator ? *options.decimalSeparator : systemDecimalSeparator());
}

void DecodingPrinter::decodeAndPrint(std::string_view frameText, std::ostream& out) {
  const bool offered = decoder_.decodeFrame(frameText).has_value();
  writeUtf8(out, decoder_.currentValue());
  out << '\t';
  writeUtf8(out, decoder_.currentUnit());
  out << '\t';
  writeUtf8(out, decoder_.currentFunction());
  out << '\t';
  writeUtf8(out, decoder_.currentMode());
  out << '\t' << (offered ? '1' : '0');
  if (printState_) {
    std::vector<std::string_view> lit;
    for (std::size_t i = 0; i < display::kPanelElementCount; ++i) {
      const auto e = static_cast<display::PanelElement>(i);
      if (panel_.isLit(e)) {
        lit.push_back(display::name(e));
      }
    }
    std::sort(lit.begin(), lit.end());
    out << '\t';
    for (std::size_t i = 0; i < lit.size(); ++i) {
      out << (i ? " " : "") << lit[i];
    }
    out << '\t';
    for (std::size_t i = 0; i < display::kDigitCount; ++i) {
      const auto digit = static_cast<Digit>(i);
      out << (i ? " " : "") << display::name(digit) << '=' << panel_.digitText(digit);
    }
  }
  out << '\n';
}

void forEachLine(std::istream& in, const std::function<void(std::string& text, std::size_t number)>& line) {
  std::string text;
  std::size_t number = 0;
  while (std::getline(in, text)) {
    if (!text.empty() && text.back() == '\r') {
      text.pop_back();
    }
    line(text, ++number);
  }
}

std::optional<long long> wholeNumber(const std::string& text, long long lowest, long long highest) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value < lowest || value > highest) {
    return std::nullopt;
  }
  return value;
}

std::string describeByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7F) {
    return std::string(1, c);
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  return std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0x0F];
}

}  // namespace qm::cli
