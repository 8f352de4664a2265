#pragma once

// Where `qm-cli log --out FILE` puts the logged readings, by the same extension rule as the
// window's Save As: a TAB-separated table file grows by one line as each reading is logged (a
// logger stopped by power loss leaves every line it wrote), while an XML data packet, which
// describes the whole table, is written once logging has ended. Nothing is written to the file
// before the first reading is logged: a logger that cannot start leaves an old file as it was.

#include "log/reading_table.h"
#include "log/time_of_day_format.h"

#include <QFile>
#include <QString>

#include <memory>

namespace qm::cli {

class ReadingFileWriter {
public:
  // Null when the file cannot be written, and `whyNot` says why: checked before any reading is
  // logged, without touching the file.
  static std::unique_ptr<ReadingFileWriter> open(const QString& fileName, QString& whyNot);

  // A row was logged. False when its line could not be written.
  bool add(const log::RowFields& row);
  // Logging has ended. Returns why the file could not be written, empty when it is complete.
  QString finish(const log::ReadingTable& table);

private:
  ReadingFileWriter(const QString& fileName, bool isPacket);
  bool startLines();

  QString fileName_;
  bool isPacket_;
  QFile lines_;
  log::TimeOfDayFormat timeFormat_ = log::TimeOfDayFormat::systemLongTime();
  std::string line_;
};

}  // namespace qm::cli
