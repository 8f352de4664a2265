#pragma once

// The TAB-separated text table file, for people and spreadsheets: a header line, then one line per
// row the table shows, six fields in field order, CR LF after every line. Lossy by design: times
// lose their milliseconds, texts are trimmed and an empty text is written "NULL".

#include "log/chunked_input.h"
#include "log/chunked_output.h"
#include "log/reading_table.h"
#include "log/time_of_day_format.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qm::log {

// The header names the fields in the order the data lines hold them, whatever order the grid
// shows its columns in, so that a spreadsheet's columns match their titles.
inline constexpr std::string_view kTextTableHeader = "No\tTime\tValue\tUnit\tFunction\tRemark";

// Calls `visit` with each piece of `text` cut at every `separator`, in order; empty pieces count,
// and a text without separator is one piece. Stops, returning false, when `visit` returns false.
template <typename Visit>
bool forEachPiece(std::string_view text, char separator, Visit&& visit) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      return visit(text.substr(start));
    }
    if (!visit(text.substr(start, end - start))) {
      return false;
    }
    start = end + 1;
  }
}

// Where the line after the first LF at or after `from` begins, or std::string_view::npos: where a
// load cuts the lines it parses into pieces for its two threads. Lines that end in a CR alone are
// never cut apart; they only make pieces longer.
inline std::size_t afterLineFeed(std::string_view bytes, std::size_t from) {
  const std::size_t lf = bytes.find('\n', from);
  return lf == std::string_view::npos ? lf : lf + 1;
}

// Appends the line of one row, CR LF included, for a file that grows as rows are logged.
void appendTextTableLine(std::string& out, const RowFields& row, const TimeOfDayFormat& timeFormat);

// Writes the header and every row the table shows (deleted rows are left out).
void writeTextTable(const ReadingTable& table, const TimeOfDayFormat& timeFormat, ChunkedOutput& out,
                    const FileProgress& progress);

// Reads the lines of a text table file (the first one, the header, is skipped unread) and appends
// one row per line to `table`, as rows the program adds: each with the state "added" and its
// change-log entry, announced once at the end. Stops at the first line that is not a row and
// says which and why: the rows of the lines before it are in the table, none of that line. An
// empty file has no header to skip and is refused as well. A large file is parsed on two threads
// at once (see piece_sharing.h); the rows, their order and the change log are those of one thread.
std::optional<LoadFailure> readTextTable(ChunkedInput& input, const TimeOfDayFormat& timeFormat, ReadingTable& table,
                                         const FileProgress& progress);
// The same for bytes in memory; true when every line was a row.
bool readTextTable(std::string_view bytes, const TimeOfDayFormat& timeFormat, ReadingTable& table,
                   const FileProgress& progress);

}  // namespace qm::log
