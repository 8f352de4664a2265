#pragma once

// Parsers of the table files compare and hash short texts a word at a time rather than byte by
// byte: a call to memcmp, or a loop, for a dozen bytes costs more than the rest of the work.

#include <cstring>

namespace qm::log {

// The bytes at `at` as one `Word`, however they are aligned, in the processor's byte order.
template <typename Word>
Word unalignedWord(const char* at) {
  Word word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

}  // namespace qm::log
