#pragma once

// What the commands that read the meter's cable share: the HID services they read (the machine's,
// or the simulated desk), and a run of the event loop while connected, kept up by the reconnect
// policy, until the time is up, Ctrl+C, or a listener of the live meter ends it.

#include "link/hid_platform.h"
#include "meter/live_meter.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string_view>

namespace qm::cli {

std::unique_ptr<link::HidPlatform> platformFor(bool simulate);

// Connects `meter` to its cable and runs the event loop. Returns 0 when `seconds` passed or the user
// interrupted (Ctrl+C, SIGTERM); 1 when there is no cable, it cannot be read, or the link ended for
// good, each said on `err` as "qm-cli COMMAND: ..."; otherwise the status a listener exited with.
int runConnected(meter::LiveMeter& meter, std::string_view command, std::optional<long long> seconds,
                 std::ostream& err);

}  // namespace qm::cli
