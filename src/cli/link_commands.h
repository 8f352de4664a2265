#pragma once

// The commands that work the meter link without a window, through the live meter.
//
//   qm-cli list [--simulate]
//       The HID devices as the window lists them, one a line: "*" for the entry the window
//       selects as the cable (else a blank), a blank, the list index, a TAB, the caption.
//   qm-cli log [--simulate [--from S] [--speed N]] [--count N] [--seconds S] [--limit N] [--interval S]
//              [--no-repeat] [--out FILE] [--decimal-separator SEP]
//       Connects to the selected cable and logs its readings by the window's rules; every logged
//       reading is a TAB-separated line (number, time of day, value, unit, function, mode) on
//       standard output, flushed at once, and goes to FILE too. --from and --speed start the
//       simulated meter elsewhere in its programme and run it faster, its time stamping the rows.

#include "link/hid_platform.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace qm::cli {

// Exit status 0, 1 when the link failed (reported on `err`), 2 for a usage error. `platform`, when
// given, is read instead of the machine's HID devices or the simulated desk.
int runList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runLog(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           std::unique_ptr<link::HidPlatform> platform = nullptr);

}  // namespace qm::cli
