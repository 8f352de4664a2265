#include "link/hid_read_thread.h"

#include "link/report_hand_over.h"

#include <algorithm>
#include <optional>

namespace qm::link {

HidReadThread::HidReadThread(HidPlatform& platform, std::string devicePath,
                             std::uint16_t inputReportLength, int sleepTime,
                             ReportHandOver& handOver)
    : platform_(platform),
      devicePath_(std::move(devicePath)),
      report_(inputReportLength),
      handOver_(handOver),
      sleepTime_(sleepTime),
      thread_([this] { run(); }) {}

HidReadThread::~HidReadThread() { stopAndWait(); }

void HidReadThread::stopAndWait() {
  {
    std::lock_guard lock(paceMutex_);
    stopRequested_.store(true);
  }
  paceWake_.notify_all();
  handOver_.close();
  if (thread_.joinable()) {
    thread_.join();
  }
}

// Waits `ms`, or less when a stop is asked.
void HidReadThread::pace(int ms) {
  std::unique_lock lock(paceMutex_);
  paceWake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopRequested_.load(); });
}

void HidReadThread::run() {
  std::unique_ptr<HidHandle> readHandle;
  // A device that is gone fails every read at once; its error is reported once, not on every
  // retry, and retries wait a slice so that a dead device neither floods the GUI nor spins.
  std::optional<std::uint32_t> reportedError;
  auto fail = [&](std::uint32_t error) {
    readHandle.reset();
    if (reportedError != error) {
      reportedError = error;
      handOver_.handOverError(error);
    }
    pace(sleepTime_.load());
  };

  while (!stopRequested_.load()) {
    if (closeRequested_.exchange(false)) {
      readHandle.reset();
    }
    if (!readHandle) {
      std::uint32_t error = platform_.deviceNotConnectedError();
      if (accessible_.load()) {
        readHandle = platform_.open(devicePath_, OpenMode::AsyncRead, error);
      }
      if (!readHandle) {
        fail(error);
        continue;
      }
    }
    if (report_.empty()) {
      // A device that does not say how long its reports are gives nothing to read.
      pace(sleepTime_.load());
      continue;
    }

    std::fill(report_.begin(), report_.end(), std::uint8_t{0});
    const ReadOutcome outcome = platform_.readReport(*readHandle, report_, sleepTime_.load());
    if (stopRequested_.load()) {
      break;
    }
    switch (outcome.status) {
      case ReadOutcome::Status::Completed:
        reportedError.reset();
        if (outcome.byteCount > 0) {
          handOver_.handOverReport(std::span(report_).first(std::min(outcome.byteCount, report_.size())));
        }
        break;
      case ReadOutcome::Status::TimedOut:
        break;
      case ReadOutcome::Status::Failed:
        fail(outcome.error);
        break;
    }
  }
}

}  // namespace qm::link
