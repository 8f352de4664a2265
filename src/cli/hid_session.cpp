#include "cli/hid_session.h"

#include "cli/reading_output.h"
#include "link/hidapi_platform.h"
#include "sim/simulated_desk.h"

#include <ostream>

namespace qm::cli {
namespace {

// How the connection's history begins the line of a read error.
constexpr std::string_view kReadErrorLine = "READ ERROR: ";

std::unique_ptr<link::HidPlatform> platformFor(bool simulate) {
  if (simulate) {
    return sim::simulatedDesk();
  }
  return std::make_unique<link::HidapiPlatform>();
}

}  // namespace

HidSession::HidSession(bool simulate, link::ReportReassembler::FrameSink frames, std::ostream& messages)
    : HidSession(platformFor(simulate), std::move(frames), messages) {}

HidSession::HidSession(std::unique_ptr<link::HidPlatform> platform, link::ReportReassembler::FrameSink frames,
                       std::ostream& messages)
    : messages_(messages), platform_(std::move(platform)), reassembler_(std::move(frames)) {
  controller_ = std::make_unique<link::THidDeviceController>(*platform_);
  connection_ = std::make_unique<link::CableConnection>(
      *controller_, *platform_, reassembler_,
      link::CableConnection::Hooks{
          [this](std::string_view message) { messages_ << message << '\n' << std::flush; }, {},
          [this] { showNewHistory(); }});
  connection_->attach();
}

HidSession::~HidSession() {
  connection_.reset();
  controller_.reset();
}

// The window keeps its history in a hidden list; without a window it is the only trace of read
// errors and of the line settings sent, so every new line goes to the message stream.
void HidSession::showNewHistory() {
  if (!connection_) {
    return;  // being destroyed
  }
  const std::vector<std::string>& history = connection_->HistoryListBox();
  for (; historyShown_ < history.size(); ++historyShown_) {
    const std::string& line = history[historyShown_];
    readErrorSeen_ = readErrorSeen_ || line.starts_with(kReadErrorLine);
    writeUtf8(messages_, line);
    messages_ << '\n';
  }
  messages_.flush();
}

HidSession::LinkState HidSession::superviseLink() {
  link::CableConnection& connection = *connection_;
  if (awaitingCable_) {
    if (std::chrono::steady_clock::now() - lastRescan_ >= kRescanInterval) {
      lastRescan_ = std::chrono::steady_clock::now();
      controller_->DeviceChange();
    }
    return reconnectWhenCableIsThere();
  }
  if (!connection.USBCon()) {
    return LinkState::Ended;  // the watchdog dropped the link and said why
  }
  if (readErrorSeen_) {
    readErrorSeen_ = false;
    // Rescanning here, not in the history hook: that runs inside the read thread's hand-over,
    // which stopping the read thread would have to wait for.
    controller_->DeviceChange();
  }
  const link::THidDevice* const device = connection.CurrentDevice();
  if (device != nullptr && device->Present() && device->isReading()) {
    return LinkState::Reading;
  }
  // The panel would still read "DISCONNECT" with nothing read: click it, as the user would. With
  // the cable gone this says that it is not connected.
  connection.Panel2Click();
  return reconnectWhenCableIsThere();
}

HidSession::LinkState HidSession::reconnectWhenCableIsThere() {
  link::CableConnection& connection = *connection_;
  if (!connection.selectedEntry()) {
    if (!awaitingCable_) {
      awaitingCable_ = true;
      lastRescan_ = std::chrono::steady_clock::now();
      messages_ << "qm-cli log: the cable was unplugged; waiting for it to be plugged in again\n" << std::flush;
    }
    return LinkState::AwaitingCable;
  }
  awaitingCable_ = false;
  readErrorSeen_ = false;
  connection.Panel2Click();
  if (!connection.USBCon()) {
    messages_ << "qm-cli log: the cable is back but cannot be opened for reading\n" << std::flush;
    return LinkState::Ended;
  }
  messages_ << "qm-cli log: reconnected to the cable; logging goes on\n" << std::flush;
  return LinkState::Reading;
}

}  // namespace qm::cli
