#pragma once

// The meter's two seven-segment pattern tables. The main value and the timer and memory digits use
// table A, whose flag (decimal point or annunciator) is code bit 7; the test-voltage digits use
// table B, whose flag is code bit 3.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qm::display {

// A looked-up digit: `shown` is '0'..'9', '@' for the letter L, 'H' for a blank digit or 'G' for a
// pattern in neither form of its table; `mark` is 'P' when the flag is set, else 'N'.
struct DigitCode {
  char shown = 'G';
  char mark = 'P';

  bool isUnknown() const { return shown == 'G'; }
  bool isBlank() const { return shown == 'H'; }
  bool hasFlag() const { return mark == 'P'; }
  bool operator==(const DigitCode&) const = default;
};

inline constexpr DigitCode kUnknownDigit{'G', 'P'};
inline constexpr DigitCode kBlankDigit{'H', 'N'};

enum class DigitTable : std::uint8_t { A, B };

// One entry per 8-bit code.
using DigitLookup = std::array<DigitCode, 256>;
const DigitLookup& digitLookup(DigitTable table);

inline constexpr std::uint8_t kFlagBitA = 0x80;
inline constexpr std::uint8_t kFlagBitB = 0x08;
constexpr std::uint8_t flagBit(DigitTable table) { return table == DigitTable::A ? kFlagBitA : kFlagBitB; }

// The code that draws `shown` ('0'..'9' or '@'), with or without the flag; none for other
// characters. The blank digit is code 00.
std::optional<std::uint8_t> segmentCode(DigitTable table, char shown, bool flag);

// Value of one upper-case hexadecimal character, or -1 for any other character.
constexpr int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// Look up the code given as its two-character upper-case hexadecimal text. Only the first two
// characters count, compared exactly: lower case, short or malformed text gives "GP".
DigitCode decodeDigitTableA(std::string_view codeText);
DigitCode decodeDigitTableB(std::string_view codeText);

}  // namespace qm::display
