#pragma once

// The meter link without a window: the HID services (real, or the simulated desk), the controller
// over them, the report reassembler and the cable connection, with messages going to a stream.

#include "link/cable_connection.h"
#include "link/hid_device_controller.h"
#include "link/report_reassembler.h"

#include <iosfwd>
#include <memory>
#include <string_view>

namespace qm::cli {

class HidSession {
public:
  // Throws link::EControllerError when the controller cannot be made.
  HidSession(bool simulate, link::ReportReassembler::FrameSink frames, std::ostream& messages);
  ~HidSession();

  link::CableConnection& connection() { return *connection_; }
  link::ReportReassembler& reassembler() { return reassembler_; }

private:
  std::unique_ptr<link::HidPlatform> platform_;
  std::unique_ptr<link::THidDeviceController> controller_;
  link::ReportReassembler reassembler_;
  std::unique_ptr<link::CableConnection> connection_;
};

}  // namespace qm::cli
