#pragma once

// The rows of an XML data packet, parsed into rows a ReadingTable reserved. A packet's reader
// hands a parser a piece of the ROWDATA element's bytes at a time; there is one parser for each of
// the load's two threads, each filling the rows of the pieces it takes.

#include "log/data_packet_syntax.h"
#include "log/reading_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm::log::packet {

// Parses ROW elements into rows of the room the table reserved; one for each thread.
class RowsParser {
public:
  RowsParser(ReadingTable& table, TextCoding coding);

  enum class Stop {
    End,        // every byte was read
    EndTag,     // at an end tag: the rows are over
    OutOfRoom,  // at a row that did not fit in the room given
    RanOut,     // at a row that the bytes end inside of
    Failed,     // at what is not a row
  };
  struct Outcome {
    std::size_t rows = 0;
    Stop stop = Stop::End;
    std::size_t at = 0;
    std::string why;
  };

  // Writes the rows of `bytes` into reserved rows `firstRow` on, up to `roomEnd`.
  Outcome parse(std::string_view bytes, std::size_t firstRow, std::size_t roomEnd);

private:
  // Rows are written a few at a time, after their values were announced to the writer: looking a
  // value up then need not wait for memory.
  static constexpr std::size_t kPendingRows = 16;
  struct PendingRow {
    std::size_t row = 0;
    RowFields fields;
    std::optional<std::uint8_t> state;
  };

  Outcome parseRows(std::size_t firstRow, std::size_t roomEnd);
  void writePending();

  // The pending row the next row is read into, emptied. Rows are read in place: a row copied
  // in and out of a temporary costs more than reading it.
  PendingRow& nextPending();

  // Keeps the row read into nextPending() until its turn to be written. Texts that point into
  // buffers the next row reuses (a value with references, a converted text) are kept with it.
  void keep(std::size_t row, PendingRow& pending);

  // A row in the form this program writes it (attributes in field order, double quotes, one
  // blank before each, no references in the values), read straight from the bytes. Anything else
  // is left untouched for readRow, which reads every form the format allows and says what is wrong.
  bool readWrittenRow(std::size_t row);
  bool readRow(std::size_t row);

  // The table holds code page 936 bytes: a UTF-8 packet's texts beyond ASCII are converted.
  bool needsConversion(std::string_view text) const { return syntax_.coding == TextCoding::Utf8 && !isPlainAscii(text); }

  // `utf8` in code page 936 bytes, or null when it has no such form (the failure is set). The
  // same text in the same field as in the row before is converted only once.
  const std::string* convertedText(std::size_t field, std::string_view utf8, std::string_view raw);

  PacketSyntax syntax_;
  ReadingTable::RowWriter writer_;
  std::array<PendingRow, kPendingRows> pending_;
  std::size_t pendingCount_ = 0;
  std::string kept_;
  std::array<std::string, kTextFieldCount> textScratch_;
  std::array<std::string, kTextFieldCount> lastUtf8_;
  std::array<std::string, kTextFieldCount> lastAnsi_;
};

}  // namespace qm::log::packet
