#include "log/save_file_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <unistd.h>

#if defined(Q_OS_LINUX)
#include <fcntl.h>
#endif

namespace qm::log {
namespace {

// Direct writes need addresses, sizes and offsets in whole blocks of the device; 4096 bytes suit
// every common one.
constexpr std::size_t kBlockBytes = 4096;
constexpr std::size_t kBlocksBytes = 4 * 1024 * 1024;

}  // namespace

SaveFileWriter::SaveFileWriter(QSaveFile& file) : file_(file), handle_(file.handle()) {
#if defined(Q_OS_LINUX)
  const int flags = ::fcntl(handle_, F_GETFL);
  direct_ = flags != -1 && ::fcntl(handle_, F_SETFL, flags | O_DIRECT) == 0;
  if (direct_) {
    try {
      blocks_ = LargePageBuffer(kBlocksBytes);
    } catch (const std::bad_alloc&) {
      stopWritingDirectly();
    }
  }
#endif
}

SaveFileWriter::~SaveFileWriter() = default;

bool SaveFileWriter::write(std::string_view bytes) {
  if (!direct_) {
    return writeAll(bytes.data(), bytes.size());
  }
  while (!bytes.empty()) {
    const std::size_t taken = std::min(bytes.size(), kBlocksBytes - held_);
    std::memcpy(blocks_.data() + held_, bytes.data(), taken);
    held_ += taken;
    bytes.remove_prefix(taken);
    const std::size_t whole = held_ / kBlockBytes * kBlockBytes;
    if (whole > 0 && (held_ == kBlocksBytes || bytes.empty())) {
      if (!writeAll(blocks_.data(), whole)) {
        return false;
      }
      std::memmove(blocks_.data(), blocks_.data() + whole, held_ - whole);
      held_ -= whole;
    }
  }
  return true;
}

bool SaveFileWriter::finish() {
  if (!direct_) {
    return true;
  }
  stopWritingDirectly();
  const bool written = writeAll(blocks_.data(), held_);
  held_ = 0;
  return written;
}

bool SaveFileWriter::writeAll(const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(handle_, bytes, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    // A file system that accepted O_DIRECT but not these writes: the cache it is.
    if (written < 0 && errno == EINVAL && direct_) {
      stopWritingDirectly();
      continue;
    }
    if (written <= 0) {
      error_ = QString::fromLocal8Bit(std::strerror(written < 0 ? errno : ENOSPC));
      return false;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

void SaveFileWriter::stopWritingDirectly() {
#if defined(Q_OS_LINUX)
  const int flags = ::fcntl(handle_, F_GETFL);
  if (flags != -1) {
    ::fcntl(handle_, F_SETFL, flags & ~O_DIRECT);
  }
#endif
  direct_ = false;
}

}  // namespace qm::log
