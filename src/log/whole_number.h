#pragma once

// Whole numbers of the table files, read by both readers.

#include "log/unaligned_word.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <type_traits>

namespace qm::log {

namespace detail {

// The value of four to eight decimal digits, or -1 when a byte is not one; read as one word, as a
// record number of a long file (say "1234567") is: a byte at a time took a tenth of a text load.
inline std::int64_t fourToEightDigits(const char* digits, std::size_t count) {
  // The digits' bytes in the word's top `count` bytes, the first one lowest.
  const unsigned padBits = 8 * static_cast<unsigned>(8 - count);
  std::uint64_t word = fourToEightBytes(digits, count) << padBits;
  // Leading zeros in the bytes below, so that every number has eight digits.
  word |= 0x3030'3030'3030'3030ull & ((std::uint64_t{1} << padBits) - 1);
  // A byte is a digit when its high half is 3 and stays 3 with 6 added (no byte carries: all
  // are 0x30 to 0x3F once the first test holds).
  constexpr std::uint64_t kHighHalves = 0xF0F0'F0F0'F0F0'F0F0ull;
  constexpr std::uint64_t kThrees = 0x3030'3030'3030'3030ull;
  if ((word & kHighHalves) != kThrees || ((word + 0x0606'0606'0606'0606ull) & kHighHalves) != kThrees) {
    return -1;
  }
  // Pairs, then fours, then all eight: each step folds neighbours (the first is the higher digit).
  std::uint64_t value = word - kThrees;
  value = (value * 10 + (value >> 8)) & 0x00FF'00FF'00FF'00FFull;
  value = (value * 100 + (value >> 16)) & 0x0000'FFFF'0000'FFFFull;
  return static_cast<std::int64_t>((value * 10000 + (value >> 32)) & 0xFFFF'FFFFull);
}

// The value of `digits` when it is at most `limit`, or -1: a digit at a time, for numbers that
// fourToEightDigits does not read.
[[gnu::noinline]] inline std::int64_t digitByDigit(std::string_view digits, std::uint64_t limit) {
  std::uint64_t magnitude = 0;
  for (const char byte : digits) {
    const unsigned digit = static_cast<unsigned char>(byte) - unsigned{'0'};
    magnitude = magnitude * 10 + digit;
    if (digit > 9 || magnitude > limit) {
      return -1;
    }
  }
  return static_cast<std::int64_t>(magnitude);
}

}  // namespace detail

// A decimal whole number as std::from_chars reads one (a minus for a signed type, then digits,
// leading zeros allowed, nothing after them), without from_chars: it takes the way that reads
// any base, and a table file holds a number or two in every row. Inline: an optional returned
// from a call is put together in memory a byte and a word at a time and read back whole, which
// stalls the processor for every row.
template <typename Number>
[[gnu::always_inline]] inline std::optional<Number> decimalNumber(std::string_view text) {
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
  const std::size_t count = text.size() - at;
  std::int64_t magnitude = -1;
  if (count >= 4 && count <= 8) {
    magnitude = detail::fourToEightDigits(text.data() + at, count);
    if (static_cast<std::uint64_t>(magnitude) > limit) {  // -1 is beyond any limit
      magnitude = -1;
    }
  } else {
    magnitude = detail::digitByDigit(text.substr(at), limit);
  }
  if (magnitude < 0) {
    return std::nullopt;
  }
  return static_cast<Number>(negative ? -magnitude : magnitude);
}

}  // namespace qm::log
