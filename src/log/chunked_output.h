#pragma once

// What the two table-file writers share: bytes are gathered in one large buffer and handed on a
// few megabytes at a time (never a write per row), and the window hears of the progress now and
// then so it can show it and repaint.

#include "log/reading_table.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <string_view>
#include <utility>

namespace qm::log {

// Called every kProgressRows rows (or a few megabytes of a file being read), never per row.
using FileProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;
inline constexpr std::size_t kProgressRows = 64 * 1024;

// A full buffer is written on a thread of its own while the next one is filled: copying a
// gigabyte into the system's file cache takes about as long as formatting it. Only one write is
// under way at a time, and they keep their order.
class ChunkedOutput {
public:
  // `write` takes the next bytes of the file and says whether they were written.
  using Write = std::function<bool(std::string_view bytes)>;

  explicit ChunkedOutput(Write write) : write_(std::move(write)) {}
  ~ChunkedOutput() { waitForWrite(); }
  ChunkedOutput(const ChunkedOutput&) = delete;
  ChunkedOutput& operator=(const ChunkedOutput&) = delete;

  // Append to this, and call flushIfFull() now and then.
  std::string& buffer() { return filling_; }

  void flushIfFull() {
    if (filling_.size() >= kChunkBytes) {
      flush();
    }
  }

  // Hands every stored row of `table`, in order, to `writeRow(buffer, row)`, telling `progress`
  // of the rows done now and then.
  template <typename WriteRow>
  void writeRows(const ReadingTable& table, const FileProgress& progress, WriteRow&& writeRow) {
    const std::size_t count = table.storedRowCount();
    for (std::size_t stored = 0; stored < count; ++stored) {
      if (progress && stored % kProgressRows == 0) {
        progress(stored, count);
      }
      writeRow(filling_, table.storedRow(stored));
      flushIfFull();
    }
    if (progress) {
      progress(count, count);
    }
  }

  // Writes what is left; false when any write failed. Once one failed, later bytes are dropped.
  bool finish() {
    flush();
    waitForWrite();
    return ok_;
  }

private:
  static constexpr std::size_t kChunkBytes = 4 * 1024 * 1024;

  void waitForWrite() {
    if (writing_.valid()) {
      ok_ = writing_.get() && ok_;
    }
  }

  void flush() {
    waitForWrite();
    if (ok_ && !filling_.empty()) {
      std::swap(filling_, written_);
      writing_ = std::async(std::launch::async, [this] { return write_(written_); });
    }
    filling_.clear();
  }

  Write write_;
  std::string filling_;
  std::string written_;  // being written while `writing_` is under way
  std::future<bool> writing_;
  bool ok_ = true;
};

}  // namespace qm::log
