#pragma once

// The XML data packet: the table's field descriptions, its change log and every stored row
// (deleted ones too, with their row state) in one line of code page 936 bytes, version "2.0".
//
// This is not a general XML reader, on purpose: the packet's values hold raw CP936 bytes and
// control bytes that an XML parser would refuse. It reads what this format allows, written by
// us or by another writer of the format: attributes in any order and with either quote, the five
// named entities and decimal or hexadecimal character references, blanks and line breaks between
// tags and around attributes, the empty-element and start/end forms of an element, fields and
// attributes beyond the six of the table (ignored, child elements included). Anything else is
// refused, as is a packet that lacks one of the six fields or gives one another type.

#include "log/chunked_output.h"
#include "log/reading_table.h"

#include <string_view>

namespace qm::log {

void writeDataPacket(const ReadingTable& table, ChunkedOutput& out, const FileProgress& progress);

// Reads a whole packet into `table`, which must be empty: rows with their states, and the change
// log as it stands. False when `bytes` is not such a packet; `table` then holds part of it and is
// to be thrown away.
bool readDataPacket(std::string_view bytes, ReadingTable& table, const FileProgress& progress);

}  // namespace qm::log
