#pragma once

// Writes the bytes of a save into its temporary file (a QSaveFile, renamed into place once all is
// written). Where the system allows it (Linux, a file system that takes O_DIRECT) the bytes go
// from memory to the disk without passing through the file cache: copying a gigabyte into the
// cache costs more processor time than formatting it, and the disk is written at its own speed
// while the next buffer is formatted. Whole blocks are written so; the last partial block, and
// everything on other systems, goes through the cache as usual.

#include "core/large_page_memory.h"

#include <QSaveFile>
#include <QString>

#include <cstddef>
#include <string_view>

namespace qm::log {

class SaveFileWriter {
public:
  explicit SaveFileWriter(QSaveFile& file);
  ~SaveFileWriter();
  SaveFileWriter(const SaveFileWriter&) = delete;
  SaveFileWriter& operator=(const SaveFileWriter&) = delete;

  // The next bytes of the file; false when they could not be written. Calls may come from any
  // thread, one at a time and in order.
  bool write(std::string_view bytes);
  // Writes what is held back of the last block; call once, after the last write.
  bool finish();
  // Why a write failed.
  const QString& errorString() const { return error_; }

private:
  bool writeAll(const char* bytes, std::size_t size);
  void stopWritingDirectly();

  QSaveFile& file_;
  int handle_ = -1;
  bool direct_ = false;
  // Bytes gathered into whole blocks at an aligned address, as direct writes need them.
  LargePageBuffer blocks_;
  std::size_t held_ = 0;
  QString error_;
};

}  // namespace qm::log
