#include "log/table_files.h"

#include "core/ansi_text.h"
#include "log/data_packet.h"
#include "log/save_file_writer.h"
#include "log/text_table_file.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace qm::log {
namespace {

TableFileOutcome loadFailed(const QString& detail) { return {false, QStringLiteral("Failed to Load File!"), detail}; }

// "line 3, column 17" of a byte offset in the file, counted again only now that it is needed.
QString placeOf(const QString& fullName, std::uint64_t offset) {
  QFile file(fullName);
  std::uint64_t line = 1;
  std::uint64_t lineStart = 0;
  if (file.open(QIODevice::ReadOnly)) {
    std::string buffer(64 * 1024, '\0');
    for (std::uint64_t at = 0; at < offset;) {
      const qint64 got = file.read(buffer.data(), static_cast<qint64>(std::min<std::uint64_t>(buffer.size(), offset - at)));
      if (got <= 0) {
        break;
      }
      for (qint64 i = 0; i < got; ++i) {
        if (buffer[static_cast<std::size_t>(i)] == '\n') {
          ++line;
          lineStart = at + static_cast<std::uint64_t>(i) + 1;
        }
      }
      at += static_cast<std::uint64_t>(got);
    }
  }
  return QStringLiteral("line %1, column %2").arg(line).arg(offset - lineStart + 1);
}

TableFileOutcome loadFailed(const QString& fullName, const LoadFailure& failure) {
  QString place;
  if (failure.line) {
    place = QStringLiteral("line %1").arg(*failure.line);
  } else if (failure.offset) {
    place = placeOf(fullName, *failure.offset);
  }
  return loadFailed(place.isEmpty() ? fromAnsi(failure.what) : place + QStringLiteral(": ") + fromAnsi(failure.what));
}

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
  bool saved = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  QString writeError;
  if (saved) {
    SaveFileWriter writer(file);
    ChunkedOutput out([&writer](std::string_view bytes) { return writer.write(bytes); });
    if (format == TableFileFormat::Text) {
      writeTextTable(table, timeFormat, out, progress);
    } else {
      writeDataPacket(table, out, progress);
    }
    // Without commit the temporary file is removed and the previous file stays as it was.
    saved = out.finish() && writer.finish() && file.commit();
    writeError = writer.errorString();
  }
  if (saved) {
    return {true, QStringLiteral("Save table to specified file: ") + fullName + QStringLiteral(" Scuss!")};
  }
  const QString why = writeError.isEmpty() ? file.errorString() : writeError;
  if (format == TableFileFormat::Text) {
    return {false, QStringLiteral("Could not save table to specified file: ") + fullName, why};
  }
  return {false, QStringLiteral("Cannot create file \"%1\". %2").arg(fullName, why), why};
}

TableFileOutcome loadTableFromFile(const QString& fullName, ReadingTable& table, const TimeOfDayFormat& timeFormat,
                                   const FileProgress& progress) {
  // Read, not mapped: a file that another program shortens while it is being read would end the
  // process at the first page past its new end.
  QFile file(fullName);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
    return loadFailed(QStringLiteral("the file cannot be opened: ") + file.errorString());
  }
  ChunkedInput input(file);
  if (formatForFileName(fullName) == TableFileFormat::Text) {
    const std::optional<LoadFailure> failure = readTextTable(input, timeFormat, table, progress);
    return failure ? loadFailed(fullName, *failure) : TableFileOutcome{true, {}};
  }
  ReadingTable rows;
  if (const std::optional<LoadFailure> failure = readDataPacket(input, rows, progress)) {
    return loadFailed(fullName, *failure);
  }
  table.replaceWith(std::move(rows));
  return {true, {}};
}

}  // namespace qm::log
