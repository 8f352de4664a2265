#pragma once

// Whole numbers of the table files, read by both readers.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <type_traits>

namespace qm::log {

// A decimal whole number as std::from_chars reads one (a minus for a signed type, then digits,
// leading zeros allowed, nothing after them), in a plain loop: from_chars takes the way that reads
// any base, and a table file holds a number or two in every row.
template <typename Number>
std::optional<Number> decimalNumber(std::string_view text) {
  static_assert(sizeof(Number) <= 4, "the magnitude is gathered in 64 bits");
  std::size_t at = 0;
  bool negative = false;
  if constexpr (std::is_signed_v<Number>) {
    negative = !text.empty() && text[0] == '-';
    at = negative ? 1 : 0;
  }
  if (at == text.size()) {
    return std::nullopt;
  }
  const std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<Number>::max()) + (negative ? 1 : 0);
  std::uint64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    const unsigned digit = static_cast<unsigned char>(text[at]) - unsigned{'0'};
    magnitude = magnitude * 10 + digit;
    if (digit > 9 || magnitude > limit) {
      return std::nullopt;
    }
  }
  return negative ? static_cast<Number>(-static_cast<std::int64_t>(magnitude)) : static_cast<Number>(magnitude);
}

}  // namespace qm::log
