#pragma once

// qm-cli decode: decodes frame texts, one per line, and prints the reading (and on request the
// panel's look) that each one leaves behind. Other tools read its output, so its format is fixed:
//
//   qm-cli decode [--state] [--decimal-separator SEP] [FILE...]
//
// One line per decoded frame, UTF-8, TAB-separated: value, unit, function, mode, and 1 if the
// reading would be offered to the reading table, else 0. With --state, two more fields: the names
// of the lit panel elements in byte order, then the thirteen digits as Name=text.

#include <iosfwd>
#include <string>
#include <vector>

namespace qm::cli {

// Exit status: 0 when every line was a frame text, 1 when a line or file was refused (reported on
// `err`, the rest still decoded), 2 for a usage error.
int runDecode(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace qm::cli
