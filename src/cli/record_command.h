#pragma once

// qm-cli record [--simulate] [--seconds S] [--count N] OUT
//     Connects to the cable as "CONNECT" does and writes every input report it reads to OUT ("-":
//     standard output), one report a line in exactly the form `qm-cli replay` reads: the data bytes
//     after the report ID as upper-case hex, a blank between bytes. A user whose meter shows
//     something the program gets wrong can send such a recording, and `replay` reproduces it.
//     Nothing is written to OUT before the first report. Ends after S seconds, after N reports, or
//     on Ctrl+C.

#include "link/hid_platform.h"

#include <QByteArray>

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace qm::cli {

// Exit status 0, 1 when the link or the file failed (reported on `err`), 2 for a usage error.
// `platform`, when given, is read instead of the machine's HID devices or the simulated desk.
int runRecord(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              std::unique_ptr<link::HidPlatform> platform = nullptr);

// One report's line, without its line end.
std::string reportLine(const QByteArray& data);

}  // namespace qm::cli
