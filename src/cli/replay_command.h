#pragma once

// qm-cli replay: feeds recorded HID input reports through the report reassembler and the decoder,
// in order and without the display hold, and prints a line for every decoded frame in the format
// of qm-cli decode. Other tools depend on the format.
//
//   qm-cli replay [--state] [--decimal-separator SEP] [FILE]
//
// One report per line: its data bytes after the report ID, in hex, with or without blanks
// between the bytes; an empty line is a report without data bytes.

#include <iosfwd>
#include <string>
#include <vector>

namespace qm::cli {

// Exit status: 0, 1 when a line or the file was refused (reported on `err`), 2 for a usage error.
int runReplay(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace qm::cli
