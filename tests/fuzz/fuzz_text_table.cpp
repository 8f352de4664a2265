// Arbitrary bytes read as a text table file. What was read is written and read again: the second
// reading must stop only at the first row that the text file cannot carry (one without a time,
// written "NULL"), and must write the same lines as the first.

#include "log/text_table_file.h"

#include <QLocale>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string written(const qm::log::ReadingTable& rows, const qm::log::TimeOfDayFormat& format) {
  std::string bytes;
  qm::log::ChunkedOutput out([&bytes](std::string_view chunk) {
    bytes += chunk;
    return true;
  });
  qm::log::writeTextTable(rows, format, out, {});
  out.finish();
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qm::log::TimeOfDayFormat format(QStringLiteral("h:mm:ss AP"), QLocale(QLocale::English, QLocale::UnitedStates));
  qm::log::ReadingTable first;
  qm::log::readTextTable(std::string_view(reinterpret_cast<const char*>(data), size), format, first, {});
  const std::string firstBytes = written(first, format);

  std::size_t carried = 0;
  while (carried < first.storedRowCount() && first.storedRow(carried).fields.Time) {
    ++carried;
  }
  qm::log::ReadingTable second;
  const bool complete = qm::log::readTextTable(firstBytes, format, second, {});
  // The header and the lines of the carried rows, each ending in CR LF.
  std::size_t prefixEnd = 0;
  for (std::size_t line = 0; line <= carried; ++line) {
    prefixEnd = firstBytes.find("\r\n", prefixEnd) + 2;
  }
  if (complete != (carried == first.storedRowCount()) || second.storedRowCount() != carried ||
      written(second, format) != firstBytes.substr(0, prefixEnd)) {
    std::abort();
  }
  return 0;
}
