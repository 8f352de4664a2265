#pragma once

// The XML data packet: the table's field descriptions, its change log and every stored row
// (deleted ones too, with their row state) in one line of code page 936 bytes, version "2.0".
//
// This is not a general XML reader, on purpose: the packet's values hold raw CP936 bytes and
// control bytes that an XML parser would refuse. It reads what this format allows, written by
// us or by another writer of the format: attributes in any order and with either quote, the five
// named entities and decimal or hexadecimal character references, blanks and line breaks between
// tags and around attributes, the empty-element and start/end forms of an element, fields and
// attributes beyond the six of the table (ignored, child elements included), times with or without
// milliseconds, and texts in UTF-8 when the declaration says so (they are stored as code page 936;
// a text without a CP936 form is refused). Anything else is refused, as is a packet that lacks one
// of the six fields or gives one another type.
//
// A packet is read a few megabytes at a time, and a large one on two threads: its rows are cut at
// "<ROW" boundaries, parsed in parallel and joined in order, and where a cut could have fallen
// inside an element (a row with child elements) the piece is parsed again on one thread.

#include "log/chunked_input.h"
#include "log/chunked_output.h"
#include "log/reading_table.h"

#include <optional>
#include <string_view>

namespace qm::log {

void writeDataPacket(const ReadingTable& table, ChunkedOutput& out, const FileProgress& progress);

// Reads a whole packet into `table`, which must be empty: rows with their states, and the change
// log as it stands. When the input is not such a packet it says where and why; `table` then holds
// part of it and is to be thrown away.
std::optional<LoadFailure> readDataPacket(ChunkedInput& input, ReadingTable& table, const FileProgress& progress);
// The same for bytes in memory; true when they are a packet.
bool readDataPacket(std::string_view bytes, ReadingTable& table, const FileProgress& progress);

}  // namespace qm::log
