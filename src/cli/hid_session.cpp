#include "cli/hid_session.h"

#include "link/hidapi_platform.h"
#include "sim/simulated_desk.h"

#include <ostream>

namespace qm::cli {

HidSession::HidSession(bool simulate, link::ReportReassembler::FrameSink frames, std::ostream& messages)
    : reassembler_(std::move(frames)) {
  if (simulate) {
    platform_ = sim::simulatedDesk();
  } else {
    platform_ = std::make_unique<link::HidapiPlatform>();
  }
  controller_ = std::make_unique<link::THidDeviceController>(*platform_);
  connection_ = std::make_unique<link::CableConnection>(
      *controller_, *platform_, reassembler_,
      link::CableConnection::Hooks{[&messages](std::string_view message) { messages << message << '\n' << std::flush; }, {}, {}});
  connection_->attach();
}

HidSession::~HidSession() {
  connection_.reset();
  controller_.reset();
}

}  // namespace qm::cli
