#pragma once

// What the two table-file readers share: the file's bytes, read a few megabytes at a time (a load
// never holds the whole file), or bytes that are in memory already; and how a load that stopped
// tells where and why.

#include "core/large_page_memory.h"

#include <QFile>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qm::log {

class WorkerThread;

// Why a load stopped, in code page 936 bytes, and where: the line of a text file, or the byte
// offset in a packet (whose line and column are worked out only for the message).
struct LoadFailure {
  std::string what;
  std::optional<std::uint64_t> line;
  std::optional<std::uint64_t> offset;
};

// A text of the file quoted in a load's message; a long one is cut after 20 bytes.
std::string quoted(std::string_view text);

class ChunkedInput {
public:
  // Bytes in memory, all of them available at once.
  explicit ChunkedInput(std::string_view bytes);
  // A file open for reading. Only the bytes it had when the load began are read: a file that
  // grows meanwhile (a log still being written) is read as it was, and one that becomes shorter
  // fails the load. A file of more than one block is read a block ahead, on the helper thread.
  explicit ChunkedInput(QFile& file);
  ~ChunkedInput();
  ChunkedInput(const ChunkedInput&) = delete;
  ChunkedInput& operator=(const ChunkedInput&) = delete;

  // The bytes read and not consumed yet.
  std::string_view bytes() const { return {data_ + consumed_, held_ - consumed_}; }
  void consume(std::size_t count) { consumed_ += count; }
  // Where bytes() starts in the file, and the file's size.
  std::uint64_t offset() const { return offset_ + consumed_; }
  std::uint64_t size() const { return size_; }
  bool atEnd() const { return offset_ + held_ == size_; }

  // Adds the next block of the file after the bytes held. False when there is nothing more to
  // read, or when reading failed (failure() then says why).
  bool readMore();
  const std::optional<LoadFailure>& failure() const { return failure_; }

  // The load's second thread, made when first wanted: it reads the next block while the bytes
  // before are parsed, and between reads it parses too (see piece_sharing.h). Two cores run two
  // threads better than three: a third thread, reading, slowed whichever parser it shared a core
  // with.
  WorkerThread& helper();

private:
  static constexpr std::size_t kBlockBytes = 4 * 1024 * 1024;
  // Room before a block for the bytes of the block before that were not consumed yet: the
  // unfinished last line or row, which then need not be copied with the block.
  static constexpr std::size_t kKeptRoom = 64 * 1024;

  // A block of the file, with kKeptRoom bytes of room before it. The buffer is not cleared when
  // made: reads fill it, and clearing the megabytes first was a load's twentieth at a million rows.
  struct Block {
    LargePageBuffer buffer;
    std::size_t size = 0;
    std::optional<LoadFailure> failure;
    char* room() const { return buffer.data(); }
    const char* bytes() const { return buffer.data() + kKeptRoom; }
  };
  void readBlock(Block& block, std::uint64_t from) const;
  void startReading(std::uint64_t from);
  Block takeBlock();

  QFile* file_ = nullptr;
  Block current_;
  Block next_;
  std::unique_ptr<WorkerThread> helper_;  // see helper()
  std::string joined_;                    // kept bytes too many for the room, and a block after them
  const char* data_ = nullptr;
  std::size_t held_ = 0;      // bytes at data_
  std::size_t consumed_ = 0;  // of those
  std::uint64_t offset_ = 0;  // of data_ in the file
  std::uint64_t size_ = 0;
  std::optional<LoadFailure> failure_;
};

}  // namespace qm::log
