#pragma once

// Parsers of the table files compare and hash short texts a word at a time rather than byte by
// byte: a call to memcmp, or a loop, for a dozen bytes costs more than the rest of the work.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qm::log {

// The bytes at `at` as one `Word`, however they are aligned, in the processor's byte order.
template <typename Word>
Word unalignedWord(const char* at) {
  Word word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Four to eight bytes at `at` as one word, byte i in bits 8i to 8i + 7 whatever the processor's
// byte order, the bits above them clear: two reads of four that overlap in the middle, the second
// shifted to where its bytes stand.
inline std::uint64_t fourToEightBytes(const char* at, std::size_t count) {
  std::uint32_t first = unalignedWord<std::uint32_t>(at);
  std::uint32_t last = unalignedWord<std::uint32_t>(at + count - 4);
  if constexpr (std::endian::native == std::endian::big) {
    first = __builtin_bswap32(first);
    last = __builtin_bswap32(last);
  }
  return first | std::uint64_t{last} << (8 * (count - 4));
}

}  // namespace qm::log
