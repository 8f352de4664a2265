#include "log/table_files.h"

#include "log/data_packet.h"
#include "log/text_table_file.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace qm::log {
namespace {

TableFileOutcome loadFailed() { return {false, QStringLiteral("Failed to Load File!")}; }

// The file's bytes, read whole. Not mapped: a file that another program shortens while it is
// being read would end the process at the first page past its new end.
class FileBytes {
public:
  explicit FileBytes(const QString& fullName) {
    QFile file(fullName);
    if (!file.open(QIODevice::ReadOnly)) {
      return;
    }
    bytes_ = file.readAll();
    readable_ = file.error() == QFileDevice::NoError;
  }

  bool readable() const { return readable_; }
  std::string_view bytes() const { return {bytes_.constData(), static_cast<std::size_t>(bytes_.size())}; }

private:
  QByteArray bytes_;
  bool readable_ = false;
};

}  // namespace

TableFileFormat formatForFileName(const QString& fullName) {
  const qsizetype lastSeparator = std::max(fullName.lastIndexOf(u'/'), fullName.lastIndexOf(QDir::separator()));
  const qsizetype lastDot = fullName.lastIndexOf(u'.');
  if (lastDot <= lastSeparator) {
    return TableFileFormat::Text;
  }
  return fullName.mid(lastDot).toLower() == QLatin1String(".xml") ? TableFileFormat::DataPacket : TableFileFormat::Text;
}

std::vector<std::string_view> splitBySeparator(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  forEachPiece(text, separator, [&pieces](std::string_view piece) {
    pieces.push_back(piece);
    return true;
  });
  return pieces;
}

TableFileOutcome saveTableToFile(const ReadingTable& table, const QString& fullName, const TimeOfDayFormat& timeFormat,
                                 const FileProgress& progress) {
  const TableFileFormat format = formatForFileName(fullName);
  QSaveFile file(fullName);
  bool saved = file.open(QIODevice::WriteOnly);
  if (saved) {
    ChunkedOutput out([&file](std::string_view bytes) {
      const auto size = static_cast<qint64>(bytes.size());
      return file.write(bytes.data(), size) == size;
    });
    if (format == TableFileFormat::Text) {
      writeTextTable(table, timeFormat, out, progress);
    } else {
      writeDataPacket(table, out, progress);
    }
    // Without commit the temporary file is removed and the previous file stays as it was.
    saved = out.finish() && file.commit();
  }
  if (saved) {
    return {true, QStringLiteral("Save table to specified file: ") + fullName + QStringLiteral(" Scuss!")};
  }
  if (format == TableFileFormat::Text) {
    return {false, QStringLiteral("Could not save table to specified file: ") + fullName};
  }
  return {false, QStringLiteral("Cannot create file \"%1\". %2").arg(fullName, file.errorString())};
}

TableFileOutcome loadTableFromFile(const QString& fullName, ReadingTable& table, const TimeOfDayFormat& timeFormat,
                                   const FileProgress& progress) {
  const FileBytes file(fullName);
  if (!file.readable()) {
    return loadFailed();
  }
  ReadingTable rows;
  if (formatForFileName(fullName) == TableFileFormat::Text) {
    const bool complete = readTextTable(file.bytes(), timeFormat, rows, progress);
    table.appendAddedRows(rows);
    return complete ? TableFileOutcome{true, {}} : loadFailed();
  }
  if (!readDataPacket(file.bytes(), rows, progress)) {
    return loadFailed();
  }
  table.replaceWith(std::move(rows));
  return {true, {}};
}

}  // namespace qm::log
