#pragma once

// Carries what a read thread read to the GUI thread and holds the read thread until the GUI thread
// has run the device's callback with it. Lives on the GUI thread, one per device.

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace qm::link {

class HidDevice;

class ReportHandOver : public QObject {
  Q_OBJECT
public:
  explicit ReportHandOver(HidDevice& device);

  // Read thread: return once the GUI thread has run the callback, or the hand-over was closed.
  void handOverReport(std::span<const std::uint8_t> report);
  void handOverError(std::uint32_t error);

  // GUI thread: answer a waiting read thread without running its callback; further hand-overs
  // return at once until reopen(). This is how a stopping device serves a hand-over in flight.
  void close();
  void reopen();

private:
  struct Delivery {
    std::vector<std::uint8_t> report;
    std::optional<std::uint32_t> error;
  };

  void handOver(Delivery delivery);
  void serve();

  HidDevice& device_;
  std::mutex mutex_;
  std::condition_variable answered_;
  std::optional<Delivery> waiting_;
  std::uint64_t handedOver_ = 0;
  std::uint64_t served_ = 0;
  bool closed_ = false;
};

}  // namespace qm::link
