#pragma once

// The HID devices of a desk with a meter on it, all simulated: a keyboard, a mouse that gives no
// product string, and the meter's cable streaming the simulated meter in real time.

#include "sim/virtual_hid_bus.h"

#include <memory>

namespace qm::sim {

inline constexpr const char* kSimulatedCablePath = "sim://usb-to-serial";

std::unique_ptr<VirtualHidBus> simulatedDesk(VirtualCable::Pace pace = VirtualCable::Pace::RealTime);
// The same desk with a cable the caller made, to start it elsewhere in the programme or to read
// the meter's time from it.
std::unique_ptr<VirtualHidBus> simulatedDesk(std::shared_ptr<VirtualCable> cable);

}  // namespace qm::sim
