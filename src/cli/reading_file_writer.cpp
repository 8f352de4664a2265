#include "cli/reading_file_writer.h"

#include "log/table_files.h"
#include "log/text_table_file.h"

#include <QSaveFile>

namespace qm::cli {

std::unique_ptr<ReadingFileWriter> ReadingFileWriter::open(const QString& fileName) {
  const bool isPacket = log::formatForFileName(fileName) == log::TableFileFormat::DataPacket;
  std::unique_ptr<ReadingFileWriter> writer(new ReadingFileWriter(fileName, isPacket));
  if (isPacket) {
    // The packet is saved through a temporary file beside it; make sure that one can be made
    // now rather than after hours of logging.
    QSaveFile probe(fileName);
    if (!probe.open(QIODevice::WriteOnly)) {
      return nullptr;
    }
    probe.cancelWriting();
    return writer;
  }
  writer->lines_.setFileName(fileName);
  if (!writer->lines_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    return nullptr;
  }
  writer->line_.assign(log::kTextTableHeader).append("\r\n");
  return writer->lines_.write(writer->line_.data(), qint64(writer->line_.size())) == qint64(writer->line_.size()) &&
                 writer->lines_.flush()
             ? std::move(writer)
             : nullptr;
}

ReadingFileWriter::ReadingFileWriter(const QString& fileName, bool isPacket)
    : fileName_(fileName), isPacket_(isPacket) {}

bool ReadingFileWriter::add(const log::RowFields& row) {
  if (isPacket_) {
    return true;
  }
  line_.clear();
  log::appendTextTableLine(line_, row, timeFormat_);
  return lines_.write(line_.data(), qint64(line_.size())) == qint64(line_.size()) && lines_.flush();
}

QString ReadingFileWriter::finish(const log::ReadingTable& table) {
  if (!isPacket_) {
    lines_.close();
    return lines_.error() == QFileDevice::NoError ? QString() : lines_.errorString();
  }
  const log::TableFileOutcome outcome = log::saveTableToFile(table, fileName_, timeFormat_);
  return outcome.ok ? QString() : outcome.message;
}

}  // namespace qm::cli
