#pragma once

// What the two table-file writers share: bytes are gathered in one large buffer and handed on a
// few megabytes at a time (never a write per row), and the window hears of the progress now and
// then so it can show it and repaint.

#include "core/large_page_memory.h"
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

// The bytes of a file being written. Its buffers come from large pages: four buffers of 4 MB in
// small pages took some 4,000 page faults a save, a third of the time of a million-row save on a
// virtual machine.
using OutputBytes = std::basic_string<char, std::char_traits<char>, LargePageAllocator<char>>;

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
  OutputBytes& buffer() { return filling_; }

  void flushIfFull() {
    if (filling_.size() >= kChunkBytes) {
      flush();
    }
  }

  // Writes what is left; false when any write failed. Once one failed, later bytes are dropped.
  bool finish();

private:
  // A buffer is two large pages. It is handed on once fewer than kChunkSlack bytes are left in it,
  // so what is appended before flushIfFull() is called (the rest of a row) never makes it grow.
  static constexpr std::size_t kBufferBytes = 2 * kLargePageBytes;
  static constexpr std::size_t kChunkSlack = 64 * 1024;
  // A byte of the buffer holds the string's terminating zero.
  static constexpr std::size_t kChunkBytes = kBufferBytes - 1 - kChunkSlack;
  static constexpr std::size_t kBuffersToWrite = 3;

  void makeRoom();
  void flush();

  Write write_;
  OutputBytes filling_;  // the same string throughout: callers may hold on to buffer()
  std::array<OutputBytes, kBuffersToWrite> full_;  // handed to the writer thread in turn
  std::size_t nextFull_ = 0;
  std::atomic<bool> failed_ = false;  // a write failed: later bytes are dropped
  std::unique_ptr<WorkerThread> writer_;
};

}  // namespace qm::log
