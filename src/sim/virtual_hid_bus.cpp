#include "sim/virtual_hid_bus.h"

#include <algorithm>
#include <thread>

namespace qm::sim {

struct VirtualHidBus::Device {
  explicit Device(VirtualDeviceDescription s, std::uint32_t i) : description(std::move(s)), instance(i) {}
  const VirtualDeviceDescription description;
  const std::uint32_t instance;
  std::atomic<bool> plugged{true};
  std::atomic<bool> readsFail{false};
  bool refusesFeatureReports = false;
};

namespace {

class VirtualHandle final : public link::HidHandle {
public:
  VirtualHandle(std::shared_ptr<VirtualHidBus::Device> d, link::OpenMode m) : device(std::move(d)), mode(m) {}
  const std::shared_ptr<VirtualHidBus::Device> device;
  const link::OpenMode mode;
};

VirtualHidBus::Device& deviceOf(link::HidHandle& handle) { return *static_cast<VirtualHandle&>(handle).device; }

bool copyString(const std::u16string& text, link::HidStringBuffer& buffer) {
  const std::size_t length = std::min(text.size(), buffer.size() - 1);
  std::copy_n(text.begin(), length, buffer.begin());
  buffer[length] = u'\0';
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

void ScriptedReports::push(std::vector<std::uint8_t> report) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(report));
  }
  arrived_.notify_all();
}

ReadOutcome ScriptedReports::read(std::span<std::uint8_t> report, int waitMs) {
  std::unique_lock lock(mutex_);
  if (!arrived_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return !queue_.empty(); })) {
    return {ReadOutcome::Status::TimedOut, 0, 0};
  }
  const std::vector<std::uint8_t> next = std::move(queue_.front());
  queue_.pop_front();
  const std::size_t count = std::min(next.size(), report.size());
  std::copy_n(next.begin(), count, report.begin());
  return {ReadOutcome::Status::Completed, count, 0};
}

VirtualCable::VirtualCable(Pace pace, std::chrono::milliseconds framePeriod, ProgrammeRun run)
    : pace_(pace), speed_(run.speed), stream_(framePeriod, run.from), start_(std::chrono::steady_clock::now()) {}

ReadOutcome VirtualCable::read(std::span<std::uint8_t> report, int waitMs) {
  std::lock_guard lock(mutex_);
  if (pace_ == Pace::RealTime) {
    const std::chrono::duration<double, std::micro> meterDue = stream_.now() + CableReportStream::kReportPeriod;
    const auto due = start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(meterDue / speed_);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    if (due > limit) {
      std::this_thread::sleep_until(limit);
      return {ReadOutcome::Status::TimedOut, 0, 0};
    }
    std::this_thread::sleep_until(due);
  }
  const CableReport next = stream_.nextReport();
  meterTimeMs_.store(std::chrono::duration_cast<std::chrono::milliseconds>(stream_.now()).count(), std::memory_order_relaxed);
  if (report.empty()) {
    return {ReadOutcome::Status::Completed, 0, 0};
  }
  report[0] = 0;  // the cable numbers no reports
  const std::size_t count = std::min(next.size(), report.size() - 1);
  std::copy_n(next.begin(), count, report.begin() + 1);
  return {ReadOutcome::Status::Completed, count + 1, 0};
}

VirtualDeviceDescription usbToSerialCable(std::string path, std::shared_ptr<ReportSource> reports) {
  VirtualDeviceDescription description;
  description.path = std::move(path);
  description.attributes = HidAttributes{0x1A86, 0xE008, 0x0100};
  description.product = u"USB to Serial";
  description.inputReportLength = 9;
  description.reports = std::move(reports);
  return description;
}

// ---------------------------------------------------------------------------------------------

VirtualHidBus::VirtualHidBus() = default;
VirtualHidBus::~VirtualHidBus() = default;

void VirtualHidBus::noticeChange() {
  if (onChange_) {
    QMetaObject::invokeMethod(
        this, [this] { if (onChange_) { onChange_(); } }, Qt::QueuedConnection);
  }
}

void VirtualHidBus::plug(VirtualDeviceDescription description) {
  std::unique_lock lock(devicesMutex_);
  devices_.push_back(std::make_shared<Device>(std::move(description), nextInstance_++));
  lock.unlock();
  noticeChange();
}

void VirtualHidBus::unplug(const std::string& path) {
  std::unique_lock lock(devicesMutex_);
  const auto found = std::find_if(devices_.begin(), devices_.end(), [&](const auto& d) { return d->description.path == path; });
  if (found == devices_.end()) {
    return;
  }
  (*found)->plugged.store(false);
  devices_.erase(found);
  lock.unlock();
  noticeChange();
}

bool VirtualHidBus::isPlugged(const std::string& path) const {
  const std::lock_guard lock(devicesMutex_);
  return std::any_of(devices_.begin(), devices_.end(), [&](const auto& d) { return d->description.path == path; });
}

void VirtualHidBus::setReadsFail(const std::string& path, bool fail) {
  const std::lock_guard lock(devicesMutex_);
  for (const auto& device : devices_) {
    if (device->description.path == path) {
      device->readsFail.store(fail);
    }
  }
}

void VirtualHidBus::setRefusesFeatureReports(const std::string& path, bool refuse) {
  const std::lock_guard lock(devicesMutex_);
  for (const auto& device : devices_) {
    if (device->description.path == path) {
      device->refusesFeatureReports = refuse;
    }
  }
}

std::vector<std::vector<std::uint8_t>> VirtualHidBus::featureReports(const std::string& path) const {
  const auto found = featureReports_.find(path);
  return found == featureReports_.end() ? std::vector<std::vector<std::uint8_t>>{} : found->second;
}

std::optional<std::vector<link::HidInterface>> VirtualHidBus::presentInterfaces() {
  const std::lock_guard lock(devicesMutex_);
  std::vector<link::HidInterface> interfaces;
  for (const auto& device : devices_) {
    interfaces.push_back(link::HidInterface{device->description.path, device->instance});
  }
  return interfaces;
}

std::unique_ptr<link::HidHandle> VirtualHidBus::open(const std::string& devicePath, link::OpenMode mode, std::uint32_t& error) {
  const std::lock_guard lock(devicesMutex_);
  const auto found = std::find_if(devices_.begin(), devices_.end(), [&](const auto& d) { return d->description.path == devicePath; });
  if (found == devices_.end()) {
    error = kErrorFileNotFound;
    return nullptr;
  }
  const Device& device = **found;
  const bool allowed = device.description.openable && (mode == link::OpenMode::QueryOnly || device.description.readWriteAccess);
  if (!allowed) {
    error = kErrorAccessDenied;
    return nullptr;
  }
  return std::make_unique<VirtualHandle>(*found, mode);
}

std::optional<HidAttributes> VirtualHidBus::attributes(link::HidHandle& handle) {
  const Device& device = deviceOf(handle);
  if (!device.plugged.load() || !device.description.identifiable) {
    return std::nullopt;
  }
  return device.description.attributes;
}

std::optional<std::uint16_t> VirtualHidBus::inputReportLength(link::HidHandle& handle) {
  const Device& device = deviceOf(handle);
  if (!device.plugged.load()) {
    return std::nullopt;
  }
  return device.description.inputReportLength;
}

bool VirtualHidBus::productString(link::HidHandle& handle, link::HidStringBuffer& buffer) {
  const Device& device = deviceOf(handle);
  return device.plugged.load() && copyString(device.description.product, buffer);
}

bool VirtualHidBus::serialNumberString(link::HidHandle& handle, link::HidStringBuffer& buffer) {
  const Device& device = deviceOf(handle);
  // A device without a serial number answers with its language list, as many cheap chips do.
  return device.plugged.load() && copyString(device.description.serial.empty() ? device.description.languages : device.description.serial, buffer);
}

bool VirtualHidBus::indexedString(link::HidHandle& handle, int stringIndex, link::HidStringBuffer& buffer) {
  const Device& device = deviceOf(handle);
  if (!device.plugged.load() || stringIndex != 0 || device.description.languages.empty()) {
    return false;
  }
  return copyString(device.description.languages, buffer);
}

bool VirtualHidBus::setFeature(link::HidHandle& handle, std::span<const std::uint8_t> report) {
  auto& virtualHandle = static_cast<VirtualHandle&>(handle);
  const Device& device = *virtualHandle.device;
  if (!device.plugged.load() || device.refusesFeatureReports || virtualHandle.mode == link::OpenMode::QueryOnly) {
    return false;
  }
  featureReports_[device.description.path].emplace_back(report.begin(), report.end());
  return true;
}

ReadOutcome VirtualHidBus::readReport(link::HidHandle& handle, std::span<std::uint8_t> report, int waitMs) {
  const Device& device = deviceOf(handle);
  if (!device.plugged.load()) {
    return {ReadOutcome::Status::Failed, 0, kErrorDeviceNotConnected};
  }
  if (device.readsFail.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return {ReadOutcome::Status::Failed, 0, kErrorNotFunctioning};
  }
  if (!device.description.reports) {
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    return {ReadOutcome::Status::TimedOut, 0, 0};
  }
  return device.description.reports->read(report.first(std::min<std::size_t>(report.size(), device.description.inputReportLength)), waitMs);
}

std::string VirtualHidBus::errorMessage(std::uint32_t error) const {
  switch (error) {
    case kErrorFileNotFound:
      return "The system cannot find the file specified.";
    case kErrorAccessDenied:
      return "Access is denied.";
    case kErrorNotFunctioning:
      return "A device attached to the system is not functioning.";
    case kErrorDeviceNotConnected:
      return "The device is not connected.";
    default:
      return "Unknown error.";
  }
}

void VirtualHidBus::watchDeviceChanges(std::function<void()> onChange) { onChange_ = std::move(onChange); }

}  // namespace qm::sim
