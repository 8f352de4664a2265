#pragma once

// Saving the reading table to a file and reading one back, as "Save As..." and "Open" do (and
// qm-cli convert). The file name's extension chooses the format: ".xml" is the XML data packet,
// every other name the TAB-separated text. A text load appends to the table; a packet load
// replaces it.
//
// A save writes a temporary file beside the target and renames it into place, so a save that
// fails half-way leaves the previous file as it was. A load never leaves a half-filled row: a
// text load keeps the rows of the lines before the one that failed, and a packet load changes
// the table only when the whole packet was read. A load reads the file a few megabytes at a time
// and parses it straight into the table's storage; a file that becomes shorter while it is read
// fails the load like any other bad file.

#include "log/chunked_output.h"
#include "log/reading_table.h"
#include "log/time_of_day_format.h"

#include <QString>

#include <string_view>
#include <vector>

namespace qm::log {

enum class TableFileFormat { Text, DataPacket };

// By the extension of the full name (after the last "." that follows the last path separator),
// in any letter case.
TableFileFormat formatForFileName(const QString& fullName);

// Cuts `text` at every `separator`: pieces in order, empty ones kept (a final separator gives an
// empty last piece), and an empty text gives one empty piece.
std::vector<std::string_view> splitBySeparator(std::string_view text, char separator);

// `message` is the text the window shows in its message box (for a failed load, in a box titled
// "Error"); empty after a load that succeeded. `detail` says what was wrong with a file that failed
// to load: the line of a text file ("line 5: ..."), or the line and column of a packet; and why a
// save failed, as the file system said it ("No space left on device").
struct TableFileOutcome {
  bool ok;
  QString message;
  QString detail = {};
};

TableFileOutcome saveTableToFile(const ReadingTable& table, const QString& fullName, const TimeOfDayFormat& timeFormat,
                                 const FileProgress& progress = {});

TableFileOutcome loadTableFromFile(const QString& fullName, ReadingTable& table, const TimeOfDayFormat& timeFormat,
                                   const FileProgress& progress = {});

}  // namespace qm::log
