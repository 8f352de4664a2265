#include "cli/reconnect_policy.h"

#include "cli/reading_output.h"

#include <ostream>

namespace qm::cli {
namespace {

// How the connection's history begins the line of a read error.
constexpr std::string_view kReadErrorLine = "READ ERROR: ";

}  // namespace

ReconnectPolicy::ReconnectPolicy(meter::LiveMeter& meter, std::string_view command, std::ostream& messages)
    : meter_(meter), prefix_("qm-cli " + std::string(command) + ": "), messages_(messages) {
  connect(&meter_, &meter::LiveMeter::linkMessage, this, [this](const QByteArray& message) {
    writeUtf8(messages_, message.toStdString());
    messages_ << '\n' << std::flush;
  });
  // The window keeps its history in a hidden list; without a window it is the only trace of read
  // errors and of the line settings sent.
  connect(&meter_, &meter::LiveMeter::historyLine, this, [this](const QByteArray& line) {
    readErrorSeen_ = readErrorSeen_ || line.startsWith(QByteArray(kReadErrorLine.data(), kReadErrorLine.size()));
    writeUtf8(messages_, line.toStdString());
    messages_ << '\n' << std::flush;
  });
}

ReconnectPolicy::LinkState ReconnectPolicy::superviseLink() {
  const link::CableConnection& connection = meter_.connection();
  if (awaitingCable_) {
    if (std::chrono::steady_clock::now() - lastRescan_ >= kRescanInterval) {
      lastRescan_ = std::chrono::steady_clock::now();
      meter_.controller().rescan();
    }
    return reconnectWhenCableIsThere();
  }
  if (!connection.isConnected()) {
    return LinkState::Ended;  // the watchdog dropped the link and said why
  }
  if (readErrorSeen_) {
    readErrorSeen_ = false;
    // Rescanning here, not when the history line arrives: that runs inside the read thread's
    // hand-over, which stopping the read thread would have to wait for.
    meter_.controller().rescan();
  }
  const link::HidDevice* const device = connection.currentDevice();
  if (device != nullptr && device->present() && device->isReading()) {
    return LinkState::Reading;
  }
  // The link still counts as connected with nothing read. With the cable gone, disconnecting
  // says that it is not connected.
  meter_.disconnectCable();
  return reconnectWhenCableIsThere();
}

ReconnectPolicy::LinkState ReconnectPolicy::reconnectWhenCableIsThere() {
  if (!meter_.connection().cableIndex()) {
    if (!awaitingCable_) {
      awaitingCable_ = true;
      lastRescan_ = std::chrono::steady_clock::now();
      messages_ << prefix_ << "the cable was unplugged; waiting for it to be plugged in again\n" << std::flush;
    }
    return LinkState::AwaitingCable;
  }
  awaitingCable_ = false;
  readErrorSeen_ = false;
  meter_.connectCable();
  if (!meter_.connection().isConnected()) {
    messages_ << prefix_ << "the cable is back but cannot be opened for reading\n" << std::flush;
    return LinkState::Ended;
  }
  messages_ << prefix_ << "reconnected to the cable; logging goes on\n" << std::flush;
  return LinkState::Reading;
}

}  // namespace qm::cli
