#pragma once

// The commands that work the meter link without a window.
//
//   qm-cli list [--simulate]
//       The HID devices as the window lists them, one a line: "*" for the entry the window
//       selects as the cable (else a blank), a blank, the list index, a TAB, the caption.
//   qm-cli log [--simulate] [--count N] [--seconds S] [--out FILE] [--decimal-separator SEP]
//       Connects to the selected cable and writes every reading offered to the reading table as
//       a TAB-separated line (number, time of day, value, unit, function, mode), flushed at once,
//       to standard output or to FILE.

#include <iosfwd>
#include <string>
#include <vector>

namespace qm::cli {

// Exit status 0, 1 when the link failed (reported on `err`), 2 for a usage error.
int runList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runLog(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qm::cli
