#include "log/chunked_input.h"

#include "core/ansi_text.h"
#include "log/reading_table.h"
#include "log/worker_thread.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qm::log {

std::string quoted(std::string_view text) {
  const std::string_view shown = cutToFieldWidth(text);
  return '"' + std::string(shown) + (shown.size() < text.size() ? "...\"" : "\"");
}

ChunkedInput::ChunkedInput(std::string_view bytes) : data_(bytes.data()), held_(bytes.size()), size_(bytes.size()) {}

ChunkedInput::ChunkedInput(QFile& file) : file_(&file), size_(static_cast<std::uint64_t>(std::max<qint64>(file.size(), 0))) {
  if (size_ > kBlockBytes) {
    helper();
  }
  startReading(0);
}

ChunkedInput::~ChunkedInput() = default;

WorkerThread& ChunkedInput::helper() {
  if (!helper_) {
    helper_ = std::make_unique<WorkerThread>();
  }
  return *helper_;
}

bool ChunkedInput::readMore() {
  if (file_ == nullptr || failure_ || atEnd()) {
    return false;
  }
  Block block = takeBlock();
  if (block.failure) {
    failure_ = std::move(block.failure);
    return false;
  }
  const std::size_t kept = held_ - consumed_;
  const char* const keptBytes = data_ + consumed_;
  offset_ += consumed_;
  consumed_ = 0;
  held_ = kept + block.size;
  if (kept <= kKeptRoom) {
    char* const start = block.room() + kKeptRoom - kept;
    if (kept > 0) {  // before the first block there are no bytes at all
      std::memmove(start, keptBytes, kept);
    }
    data_ = start;
    // The block that was current becomes the one the next read fills.
    std::swap(current_, block);
    next_ = std::move(block);
  } else {
    // Unconsumed bytes beyond the room (a piece of markup longer than it): joined with the block.
    std::string joined(held_, '\0');
    std::memcpy(joined.data(), keptBytes, kept);
    std::memcpy(joined.data() + kept, block.bytes(), block.size);
    joined_ = std::move(joined);
    data_ = joined_.data();
    next_ = std::move(block);
  }
  if (!atEnd()) {
    startReading(offset_ + held_);
  }
  return true;
}

// The block at `from`, read on the helper thread when there is one.
void ChunkedInput::startReading(std::uint64_t from) {
  if (helper_) {
    helper_->post([this, from] { readBlock(next_, from); });
  } else {
    readBlock(next_, from);
  }
}

ChunkedInput::Block ChunkedInput::takeBlock() {
  if (helper_) {
    helper_->wait();
  }
  return std::move(next_);
}

void ChunkedInput::readBlock(Block& block, std::uint64_t from) const {
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, size_ - from));
  if (block.buffer.size() < kKeptRoom + wanted) {
    block.buffer = LargePageBuffer(kKeptRoom + wanted);
  }
  block.size = 0;
  block.failure.reset();
  // The helper thread is the file's only user while it reads.
  char* const into = block.room() + kKeptRoom;
  while (block.size < wanted) {
    const qint64 got = file_->read(into + block.size, static_cast<qint64>(wanted - block.size));
    if (got < 0) {
      block.failure = LoadFailure{"the file could not be read: " + toAnsiLossy(file_->errorString()), std::nullopt, std::nullopt};
      return;
    }
    if (got == 0) {
      block.failure = LoadFailure{"the file became shorter while it was read", std::nullopt, std::nullopt};
      return;
    }
    block.size += static_cast<std::size_t>(got);
  }
}

}  // namespace qm::log
