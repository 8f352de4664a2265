#include "link/report_hand_over.h"

#include "link/hid_device.h"

namespace qm::link {

ReportHandOver::ReportHandOver(HidDevice& device) : device_(device) {}

void ReportHandOver::handOverReport(std::span<const std::uint8_t> report) {
  handOver(Delivery{std::vector<std::uint8_t>(report.begin(), report.end()), std::nullopt});
}

void ReportHandOver::handOverError(std::uint32_t error) { handOver(Delivery{{}, error}); }

void ReportHandOver::handOver(Delivery delivery) {
  std::unique_lock lock(mutex_);
  if (closed_) {
    return;
  }
  waiting_ = std::move(delivery);
  const std::uint64_t ticket = ++handedOver_;
  QMetaObject::invokeMethod(this, &ReportHandOver::serve, Qt::QueuedConnection);
  answered_.wait(lock, [&] { return closed_ || served_ >= ticket; });
}

void ReportHandOver::serve() {
  std::unique_lock lock(mutex_);
  if (!waiting_) {
    return;
  }
  const Delivery delivery = std::move(*waiting_);
  waiting_.reset();
  const std::uint64_t ticket = handedOver_;
  lock.unlock();

  // The callback runs unlocked: it may stop this very device, which closes the hand-over.
  if (delivery.error) {
    device_.deliverError(*delivery.error);
  } else {
    device_.deliverReport(delivery.report);
  }

  lock.lock();
  served_ = ticket;
  answered_.notify_all();
}

void ReportHandOver::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  waiting_.reset();
  answered_.notify_all();
}

void ReportHandOver::reopen() {
  std::lock_guard lock(mutex_);
  closed_ = false;
  waiting_.reset();
  served_ = handedOver_;
}

}  // namespace qm::link
