#pragma once

// The meter link without a window: the HID services (real, or the simulated desk), the controller
// over them, the report reassembler and the cable connection, with messages and history lines
// going to a stream. For a headless logger it also stands in for the person at the window, who
// would see the reading stop and click "DISCONNECT" and "CONNECT" once the cable is back.

#include "link/cable_connection.h"
#include "link/hid_device_controller.h"
#include "link/report_reassembler.h"

#include <chrono>
#include <iosfwd>
#include <memory>
#include <string_view>

namespace qm::cli {

class HidSession {
public:
  enum class LinkState {
    Reading,        // the cable is being read
    AwaitingCable,  // the cable was unplugged; the session reconnects when it is back
    Ended,          // the link is down for good, and a message said why
  };

  // How often a session that waits for its cable looks for it itself: on a machine whose device
  // changes go unannounced (no udev daemon), nothing else would notice the cable's return.
  static constexpr std::chrono::milliseconds kRescanInterval{1000};

  // Throws link::EControllerError when the controller cannot be made.
  HidSession(bool simulate, link::ReportReassembler::FrameSink frames, std::ostream& messages);
  HidSession(std::unique_ptr<link::HidPlatform> platform, link::ReportReassembler::FrameSink frames,
             std::ostream& messages);
  ~HidSession();

  HidSession(const HidSession&) = delete;
  HidSession& operator=(const HidSession&) = delete;

  link::CableConnection& connection() { return *connection_; }
  link::ReportReassembler& reassembler() { return reassembler_; }

  // Keeps a connected link up; call it after every watchdog tick. A read error makes it rescan the
  // devices, which tells a cable that is gone from a passing fault. When a device change has
  // stopped the reading, it disconnects and connects again as soon as the cable is there, saying
  // so on the message stream. It ends the link when the watchdog dropped it, or when the cable
  // came back but cannot be opened for reading.
  LinkState superviseLink();

private:
  void showNewHistory();
  LinkState reconnectWhenCableIsThere();

  std::ostream& messages_;
  std::unique_ptr<link::HidPlatform> platform_;
  std::unique_ptr<link::THidDeviceController> controller_;
  link::ReportReassembler reassembler_;
  std::unique_ptr<link::CableConnection> connection_;

  std::size_t historyShown_ = 0;
  bool readErrorSeen_ = false;
  bool awaitingCable_ = false;
  std::chrono::steady_clock::time_point lastRescan_;
};

}  // namespace qm::cli
