#include "log/chunked_input.h"

#include "core/ansi_text.h"

#include <algorithm>
#include <cstring>

namespace qm::log {

ChunkedInput::ChunkedInput(std::string_view bytes) : data_(bytes.data()), held_(bytes.size()), size_(bytes.size()) {}

ChunkedInput::ChunkedInput(QFile& file) : file_(&file), size_(static_cast<std::uint64_t>(std::max<qint64>(file.size(), 0))) {
  data_ = buffer_.data();
}

bool ChunkedInput::readMore() {
  if (file_ == nullptr || failure_ || atEnd()) {
    return false;
  }
  // The unconsumed bytes move to the front; the buffer grows only for a piece longer than it.
  const std::size_t kept = held_ - consumed_;
  std::memmove(buffer_.data(), data_ + consumed_, kept);
  offset_ += consumed_;
  consumed_ = 0;
  const std::size_t wanted =
      static_cast<std::size_t>(std::min<std::uint64_t>(std::max(kReadBytes, kept), size_ - offset_ - kept));
  if (buffer_.size() < kept + wanted) {
    buffer_.resize(kept + wanted);
  }
  data_ = buffer_.data();
  held_ = kept;
  while (held_ < kept + wanted) {
    const qint64 got = file_->read(buffer_.data() + held_, static_cast<qint64>(kept + wanted - held_));
    if (got < 0) {
      failure_ = LoadFailure{"the file could not be read: " + toAnsiLossy(file_->errorString()), std::nullopt, std::nullopt};
      return false;
    }
    if (got == 0) {
      failure_ = LoadFailure{"the file became shorter while it was read", std::nullopt, std::nullopt};
      return false;
    }
    held_ += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace qm::log
