#pragma once

// Reads the input reports of one HID device on a thread of its own until asked to stop, and hands
// each report (and each read error) to the GUI thread through its device's hand-over. Owned by its
// device; touches nothing but its own handle and buffer.

#include "link/hid_platform.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qm::link {

class ReportHandOver;

// Reads input reports of one device until asked to stop. Owned by its device.
class HidReadThread {
public:
  HidReadThread(HidPlatform& platform, std::string devicePath, std::uint16_t inputReportLength,
                int sleepTime, ReportHandOver& handOver);
  ~HidReadThread();
  HidReadThread(const HidReadThread&) = delete;
  HidReadThread& operator=(const HidReadThread&) = delete;

  void setSleepTime(int ms) { sleepTime_.store(ms); }
  // Whether the device may open its read handle (present and lent or being offered).
  void setAccessible(bool accessible) { accessible_.store(accessible); }
  // Closes the read handle at the thread's next step; further reads fail until it may reopen.
  void closeReadHandle() { closeRequested_.store(true); }
  // Asks the thread to stop and returns once it has ended. Hand-overs it is waiting on are
  // answered without running the callback, so this never waits on the GUI thread.
  void stopAndWait();

private:
  void run();
  void pace(int ms);

  HidPlatform& platform_;
  const std::string devicePath_;
  std::vector<std::uint8_t> report_;
  ReportHandOver& handOver_;
  std::atomic<int> sleepTime_;
  std::atomic<bool> accessible_{true};
  std::atomic<bool> closeRequested_{false};
  std::atomic<bool> stopRequested_{false};
  std::mutex paceMutex_;
  std::condition_variable paceWake_;
  std::thread thread_;
};

}  // namespace qm::link
