#pragma once

// A simulated HID bus with a controller over it, for tests of the link.

#include "link/hid_device_controller.h"
#include "sim/virtual_hid_bus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

inline qm::sim::VirtualDeviceDescription keyboard(std::string path = "sim://keyboard") {
  qm::sim::VirtualDeviceDescription description;
  description.path = std::move(path);
  description.attributes = {0x046D, 0xC31C, 0x6400};
  description.product = u"USB Keyboard";
  return description;
}

// Lets queued hand-overs and device-change notices run.
inline void processEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); }

// Runs the event loop until `done` holds, as the program's own loop would: every hand-over is
// served as soon as it is posted. False when `timeoutMs` passed first.
template <typename Predicate>
bool runUntil(Predicate done, int timeoutMs = 10000) {
  QTimer wake;  // bounds each wait, so the predicate is checked at least every few ms
  wake.start(5);
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}
