#include "cli/reading_file_writer.h"

#include "cli/output_file.h"
#include "log/table_files.h"
#include "log/text_table_file.h"

#include <QSaveFile>

namespace qm::cli {

std::unique_ptr<ReadingFileWriter> ReadingFileWriter::open(const QString& fileName, QString& whyNot) {
  whyNot = whyNotWritableLater(fileName);
  if (!whyNot.isEmpty()) {
    return nullptr;
  }
  const bool isPacket = log::formatForFileName(fileName) == log::TableFileFormat::DataPacket;
  std::unique_ptr<ReadingFileWriter> writer(new ReadingFileWriter(fileName, isPacket));
  if (isPacket) {
    // The packet is saved through a temporary file beside it; make sure that one can be made
    // now rather than after hours of logging.
    QSaveFile probe(fileName);
    if (!probe.open(QIODevice::WriteOnly)) {
      whyNot = probe.errorString();
      return nullptr;
    }
    probe.cancelWriting();
    return writer;
  }
  writer->lines_.setFileName(fileName);
  return writer;
}

// The header goes out with the first reading, replacing what the file held.
bool ReadingFileWriter::startLines() {
  if (!lines_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    return false;
  }
  line_.assign(log::kTextTableHeader).append("\r\n");
  return lines_.write(line_.data(), qint64(line_.size())) == qint64(line_.size());
}

ReadingFileWriter::ReadingFileWriter(const QString& fileName, bool isPacket)
    : fileName_(fileName), isPacket_(isPacket) {}

bool ReadingFileWriter::add(const log::RowFields& row) {
  if (isPacket_) {
    return true;
  }
  if (!lines_.isOpen() && !startLines()) {
    return false;
  }
  line_.clear();
  log::appendTextTableLine(line_, row, timeFormat_);
  return lines_.write(line_.data(), qint64(line_.size())) == qint64(line_.size()) && lines_.flush();
}

QString ReadingFileWriter::finish(const log::ReadingTable& table) {
  if (!isPacket_) {
    // A log that ended before its first reading leaves the file as it was.
    lines_.close();
    return lines_.error() == QFileDevice::NoError ? QString() : lines_.errorString();
  }
  const log::TableFileOutcome outcome = log::saveTableToFile(table, fileName_, timeFormat_);
  return outcome.ok ? QString() : outcome.detail;
}

}  // namespace qm::cli
