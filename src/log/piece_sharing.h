#pragma once

// How both loads use two cores: the bytes held are cut into pieces of some 64 kB at record
// starts, and this thread and the load's helper each take the next piece whenever they are free.
// The helper of a file of several blocks reads the next block first, so it joins late; and either
// thread may lose its core for a while. Whoever is slower then does fewer pieces, rather than
// keeping the other waiting at the end (a load cut into two halves, one for each thread, spent a
// sixth of its time waiting).

#include "log/chunked_input.h"
#include "log/worker_thread.h"

#include <atomic>
#include <cstddef>
#include <string_view>
#include <vector>

namespace qm::log {

inline constexpr std::size_t kPieceBytes = 64 * 1024;
// Bytes below which they stay one piece: for less, waking the helper costs more than it saves.
inline constexpr std::size_t kSharedBytes = 1024 * 1024;

// `bytes` cut into pieces of at least kPieceBytes (the last may be shorter), each but the first
// beginning where nextStart(bytes, from) says the first record at or after `from` begins
// (std::string_view::npos: no record does). Fewer than kSharedBytes stay one piece.
template <typename NextStart>
void cutIntoPieces(std::string_view bytes, NextStart nextStart, std::vector<std::string_view>& pieces) {
  pieces.clear();
  std::size_t start = 0;
  while (bytes.size() >= kSharedBytes && bytes.size() - start > kPieceBytes) {
    const std::size_t cut = nextStart(bytes, start + kPieceBytes);
    if (cut == std::string_view::npos || cut >= bytes.size()) {
      break;
    }
    pieces.push_back(bytes.substr(start, cut - start));
    start = cut;
  }
  pieces.push_back(bytes.substr(start));
}

// Where the records of each piece begin, counting from `first`: firstRecords[i] for piece i, and
// after the last piece where its records end. Counted before any piece is parsed, so that each
// knows the rows it fills.
template <typename Count>
void numberPieces(const std::vector<std::string_view>& pieces, std::size_t first, Count countRecords,
                  std::vector<std::size_t>& firstRecords) {
  firstRecords.resize(pieces.size() + 1);
  firstRecords[0] = first;
  for (std::size_t piece = 0; piece < pieces.size(); ++piece) {
    firstRecords[piece + 1] = firstRecords[piece] + countRecords(pieces[piece]);
  }
}

// Calls work(piece, thread) for each piece in [0, count), thread 0 being this one and thread 1
// the input's helper (made here if it was not yet); returns when all are done. Pieces are taken in
// ascending order. Once a call returns false, the pieces not taken yet are left undone.
template <typename Work>
void shareOutPieces(ChunkedInput& input, std::size_t count, Work work) {
  std::atomic<std::size_t> next = 0;
  const auto takeEach = [&](int thread) {
    for (std::size_t piece; (piece = next.fetch_add(1, std::memory_order_relaxed)) < count;) {
      if (!work(piece, thread)) {
        next.store(count, std::memory_order_relaxed);
      }
    }
  };
  if (count == 1) {
    takeEach(0);
    return;
  }
  // The helper's job uses this frame: when `work` throws here, the helper is told to stop taking
  // pieces and waited for all the same.
  struct WaitForHelper {
    WorkerThread& helper;
    std::atomic<std::size_t>& next;
    std::size_t count;
    ~WaitForHelper() {
      next.store(count, std::memory_order_relaxed);
      helper.wait();
    }
  } waitForHelper{input.helper(), next, count};
  waitForHelper.helper.post([&] { takeEach(1); });
  takeEach(0);
}

}  // namespace qm::log
