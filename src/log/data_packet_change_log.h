#pragma once

// A change log as this program writes it: each entry for the row after the one before, with the
// same detail and kind, one blank after each ("7 0 4 8 0 4 9 0 4 "). Such a stretch is compared
// with the text it must be, the row number counted up in decimal, rather than read number by
// number: a packet of ten million rows holds ten million entries before its first row.

#include "log/reading_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qm::log::packet {

class CountedEntries {
public:
  // The entries that would follow `last`.
  explicit CountedEntries(const ChangeLogEntry& last);

  // How many such entries `bytes` begins with; `consumed` is set to the bytes they take.
  std::uint32_t match(std::string_view bytes, std::size_t& consumed);

private:
  bool isExpected(const char* at) const;
  void countUp();

  // Room for a row, a detail and a kind of up to ten digits each, and their blanks.
  std::array<char, 3 * 11> expected_{};
  std::size_t rowDigits_ = 0;
  std::size_t size_ = 0;
  ChangeLogEntry next_;
  bool possible_ = true;
};

}  // namespace qm::log::packet
