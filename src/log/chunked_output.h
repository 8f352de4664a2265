#pragma once

// What the two table-file writers share: bytes are gathered in one large buffer and handed on a
// few megabytes at a time (never a write per row), and the window hears of the progress now and
// then so it can show it and repaint.

#include "log/worker_thread.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qm::log {

// Called every kProgressRows rows (or a few megabytes of a file being read), never per row.
using FileProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;
inline constexpr std::size_t kProgressRows = 64 * 1024;

// A full buffer is written by a writer thread while the next one is filled: copying a gigabyte
// into the system's file cache takes about as long as formatting it. The thread is started with
// the first full buffer and kept to the end, so a file of one buffer needs none; writes keep
// their order. A few full buffers may wait for it, so that a disk that stalls for a moment does
// not stall the formatting at once.
class ChunkedOutput {
public:
  // `write` takes the next bytes of the file and says whether they were written.
  using Write = std::function<bool(std::string_view bytes)>;

  explicit ChunkedOutput(Write write);
  ~ChunkedOutput();
  ChunkedOutput(const ChunkedOutput&) = delete;
  ChunkedOutput& operator=(const ChunkedOutput&) = delete;

  // Append to this, and call flushIfFull() now and then.
  std::string& buffer() { return filling_; }

  void flushIfFull() {
    if (filling_.size() >= kChunkBytes) {
      flush();
    }
  }

  // Writes what is left; false when any write failed. Once one failed, later bytes are dropped.
  bool finish();

private:
  static constexpr std::size_t kChunkBytes = 4 * 1024 * 1024;
  static constexpr std::size_t kBuffersToWrite = 3;
  // What a buffer holds beyond kChunkBytes before flushIfFull() is called: the rest of a row.
  static constexpr std::size_t kChunkSlack = 64 * 1024;

  void makeRoom();
  void flush();

  Write write_;
  std::string filling_;  // the same string throughout: callers may hold on to buffer()
  std::array<std::string, kBuffersToWrite> full_;  // handed to the writer thread in turn
  std::size_t nextFull_ = 0;
  std::atomic<bool> failed_ = false;  // a write failed: later bytes are dropped
  std::unique_ptr<WorkerThread> writer_;
};

}  // namespace qm::log
