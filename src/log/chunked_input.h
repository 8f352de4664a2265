#pragma once

// What the two table-file readers share: the file's bytes, read a few megabytes at a time (a load
// never holds the whole file), or bytes that are in memory already; and how a load that stopped
// tells where and why.

#include <QFile>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm::log {

// Why a load stopped, in code page 936 bytes, and where: the line of a text file, or the byte
// offset in a packet (whose line and column are worked out only for the message).
struct LoadFailure {
  std::string what;
  std::optional<std::uint64_t> line;
  std::optional<std::uint64_t> offset;
};

class ChunkedInput {
public:
  // Bytes in memory, all of them available at once.
  explicit ChunkedInput(std::string_view bytes);
  // A file open for reading. Only the bytes it had when the load began are read: a file that
  // grows meanwhile (a log still being written) is read as it was, and one that becomes shorter
  // fails the load.
  explicit ChunkedInput(QFile& file);

  // The bytes read and not consumed yet.
  std::string_view bytes() const { return {data_ + consumed_, held_ - consumed_}; }
  void consume(std::size_t count) { consumed_ += count; }
  // Where bytes() starts in the file, and the file's size.
  std::uint64_t offset() const { return offset_ + consumed_; }
  std::uint64_t size() const { return size_; }
  bool atEnd() const { return offset_ + held_ == size_; }

  // Reads the next few megabytes (more when bytes() is already that long) after the bytes held.
  // False when there is nothing more to read, or when reading failed (failure() then says why).
  bool readMore();
  const std::optional<LoadFailure>& failure() const { return failure_; }

private:
  static constexpr std::size_t kReadBytes = 8 * 1024 * 1024;

  QFile* file_ = nullptr;
  std::string buffer_;
  const char* data_ = nullptr;
  std::size_t held_ = 0;      // bytes at data_
  std::size_t consumed_ = 0;  // of those
  std::uint64_t offset_ = 0;  // of data_ in the file
  std::uint64_t size_ = 0;
  std::optional<LoadFailure> failure_;
};

}  // namespace qm::log
