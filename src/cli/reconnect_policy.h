#pragma once

// What a person at the window would do for a headless logger: watch what the link says, and when
// the reading stops because the cable went away, disconnect and connect again as soon as the
// cable is back. Everything the link says (history lines, messages) goes to a stream, since no
// one sees a window.

#include "meter/live_meter.h"

#include <QObject>

#include <chrono>
#include <iosfwd>
#include <string>
#include <string_view>

namespace qm::cli {

class ReconnectPolicy : public QObject {
  Q_OBJECT
public:
  enum class LinkState {
    Reading,        // the cable is being read
    AwaitingCable,  // the cable was unplugged; the policy reconnects when it is back
    Ended,          // the link is down for good, and a message said why
  };

  // How often a policy that waits for its cable looks for it itself: on a machine whose device
  // changes go unannounced (no udev daemon), nothing else would notice the cable's return.
  static constexpr std::chrono::milliseconds kRescanInterval{1000};

  // `command` names the qm-cli command in the policy's own messages.
  ReconnectPolicy(meter::LiveMeter& meter, std::string_view command, std::ostream& messages);

  // Keeps a connected link up; call it after every watchdog tick. A read error makes it rescan the
  // devices, which tells a cable that is gone from a passing fault. When a device change has
  // stopped the reading, it disconnects and connects again as soon as the cable is there, saying
  // so on the message stream. It ends the link when the watchdog dropped it, or when the cable
  // came back but cannot be opened for reading.
  LinkState superviseLink();

private:
  LinkState reconnectWhenCableIsThere();

  meter::LiveMeter& meter_;
  std::string prefix_;
  std::ostream& messages_;
  bool readErrorSeen_ = false;
  bool awaitingCable_ = false;
  std::chrono::steady_clock::time_point lastRescan_;
};

}  // namespace qm::cli
