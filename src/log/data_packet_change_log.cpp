#include "log/data_packet_change_log.h"

#include "log/unaligned_word.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

namespace qm::log::packet {

CountedEntries::CountedEntries(const ChangeLogEntry& last) : next_{last.row + 1, last.detail, last.kind} {
  char* const end = expected_.data() + expected_.size();
  char* at = std::to_chars(expected_.data(), end, next_.row).ptr;
  rowDigits_ = static_cast<std::size_t>(at - expected_.data());
  *at++ = ' ';
  at = std::to_chars(at, end, next_.detail).ptr;
  *at++ = ' ';
  at = std::to_chars(at, end, next_.kind).ptr;
  *at++ = ' ';
  size_ = static_cast<std::size_t>(at - expected_.data());
  possible_ = last.row != std::numeric_limits<std::uint32_t>::max();
}

std::uint32_t CountedEntries::match(std::string_view bytes, std::size_t& consumed) {
  std::uint32_t count = 0;
  consumed = 0;
  while (possible_ && bytes.size() - consumed >= size_ && isExpected(bytes.data() + consumed)) {
    consumed += size_;
    ++count;
    countUp();
  }
  return count;
}

// The expected bytes at `at`, compared a word at a time, the last word overlapping the one
// before where the size is not a multiple of eight.
bool CountedEntries::isExpected(const char* at) const {
  if (size_ < 8) {
    return std::equal(expected_.data(), expected_.data() + size_, at);
  }
  for (std::size_t i = 0; i + 8 < size_; i += 8) {
    if (unalignedWord<std::uint64_t>(at + i) != unalignedWord<std::uint64_t>(expected_.data() + i)) {
      return false;
    }
  }
  return unalignedWord<std::uint64_t>(at + size_ - 8) == unalignedWord<std::uint64_t>(expected_.data() + size_ - 8);
}

void CountedEntries::countUp() {
  if (next_.row == std::numeric_limits<std::uint32_t>::max()) {
    possible_ = false;
    return;
  }
  ++next_.row;
  for (std::size_t i = rowDigits_; i-- > 0;) {
    if (expected_[i] != '9') {
      ++expected_[i];
      return;
    }
    expected_[i] = '0';
  }
  // All nines: one digit more, and the rest moves up.
  std::memmove(expected_.data() + 1, expected_.data(), size_);
  expected_[0] = '1';
  ++rowDigits_;
  ++size_;
}

}  // namespace qm::log::packet
