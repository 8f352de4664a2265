#include "display/digit_patterns.h"

namespace qm::display {
namespace {

struct Pattern {
  char shown;
  std::uint8_t codeA;
  std::uint8_t codeB;
};

// Codes without the flag; each flagged code is the same plus the table's flag bit.
constexpr std::array<Pattern, 11> kPatterns = {{
    {'0', 0x7D, 0xD7},
    {'1', 0x60, 0x50},
    {'2', 0x3E, 0xE3},
    {'3', 0x7A, 0xF1},
    {'4', 0x63, 0xF0},
    {'5', 0x5B, 0xB5},
    {'6', 0x5F, 0xB7},
    {'7', 0x70, 0xD0},
    {'8', 0x7F, 0xF7},
    {'9', 0x7B, 0xF5},
    {'@', 0x0D, 0x07},
}};

constexpr std::uint8_t codeOf(const Pattern& p, DigitTable table) {
  return table == DigitTable::A ? p.codeA : p.codeB;
}

constexpr DigitLookup buildLookup(DigitTable table) {
  DigitLookup lookup{};
  lookup.fill(kUnknownDigit);
  lookup[0x00] = kBlankDigit;
  for (const Pattern& p : kPatterns) {
    const std::uint8_t code = codeOf(p, table);
    lookup[code] = DigitCode{p.shown, 'N'};
    lookup[code | flagBit(table)] = DigitCode{p.shown, 'P'};
  }
  return lookup;
}

constexpr DigitLookup kLookupA = buildLookup(DigitTable::A);
constexpr DigitLookup kLookupB = buildLookup(DigitTable::B);

DigitCode decode(const DigitLookup& lookup, std::string_view codeText) {
  if (codeText.size() < 2) {
    return kUnknownDigit;
  }
  const int high = hexDigitValue(codeText[0]);
  const int low = hexDigitValue(codeText[1]);
  if (high < 0 || low < 0) {
    return kUnknownDigit;
  }
  return lookup[static_cast<std::size_t>(high * 16 + low)];
}

}  // namespace

const DigitLookup& digitLookup(DigitTable table) { return table == DigitTable::A ? kLookupA : kLookupB; }

std::optional<std::uint8_t> segmentCode(DigitTable table, char shown, bool flag) {
  for (const Pattern& p : kPatterns) {
    if (p.shown == shown) {
      const std::uint8_t code = codeOf(p, table);
      return static_cast<std::uint8_t>(flag ? code | flagBit(table) : code);
    }
  }
  return std::nullopt;
}

DigitCode decodeDigitTableA(std::string_view codeText) { return decode(kLookupA, codeText); }
DigitCode decodeDigitTableB(std::string_view codeText) { return decode(kLookupB, codeText); }

}  // namespace qm::display
