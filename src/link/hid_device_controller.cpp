#include "link/hid_device_controller.h"

#include "link/report_hand_over.h"

#include <algorithm>

namespace qm::link {
namespace {

std::atomic<int> liveControllers{0};

constexpr int kMinSleepTime = 10;
constexpr int kMaxSleepTime = 10000;

// The text of a string buffer up to its first zero.
std::u16string textOf(const HidStringBuffer& buffer) {
  const auto end = std::find(buffer.begin(), buffer.end(), u'\0');
  return std::u16string(buffer.begin(), end);
}

// Length of the index-0 string (the language-ID list) in a buffer pre-filled with FFFF: scanning
// from the end, units still FFFF were not written; the first written unit ends the string, and a
// zero there is its terminator.
std::size_t writtenLength(const HidStringBuffer& buffer) {
  for (std::size_t p = buffer.size(); p-- > 0;) {
    if (buffer[p] != u'\xFFFF') {
      return buffer[p] == u'\0' ? p : p + 1;
    }
  }
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Read thread

THidDeviceReadThread::THidDeviceReadThread(HidPlatform& platform, std::string devicePath,
                                           std::uint16_t inputReportLength, int sleepTime,
                                           ReportHandOver& handOver)
    : platform_(platform),
      devicePath_(std::move(devicePath)),
      Report(inputReportLength),
      handOver_(handOver),
      sleepTime_(sleepTime),
      thread_([this] { run(); }) {}

THidDeviceReadThread::~THidDeviceReadThread() { stopAndWait(); }

void THidDeviceReadThread::stopAndWait() {
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
void THidDeviceReadThread::pace(int ms) {
  std::unique_lock lock(paceMutex_);
  paceWake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopRequested_.load(); });
}

void THidDeviceReadThread::run() {
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
    if (Report.empty()) {
      // A device that does not say how long its reports are gives nothing to read.
      pace(sleepTime_.load());
      continue;
    }

    std::fill(Report.begin(), Report.end(), std::uint8_t{0});
    const ReadOutcome outcome = platform_.readReport(*readHandle, Report, sleepTime_.load());
    if (stopRequested_.load()) {
      break;
    }
    switch (outcome.status) {
      case ReadOutcome::Status::Completed:
        reportedError.reset();
        if (outcome.byteCount > 0) {
          handOver_.handOverReport(std::span(Report).first(std::min(outcome.byteCount, Report.size())));
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

// ---------------------------------------------------------------------------------------------
// Device

THidDevice::THidDevice(THidDeviceController* owner, HidPlatform& platform, std::unique_ptr<THidPnPInfo> pnpInfo)
    : owner_(owner), platform_(platform), pnpInfo_(std::move(pnpInfo)), handOver_(std::make_unique<ReportHandOver>(*this)) {
  if (owner_ != nullptr) {
    dataCallback_ = owner_->onDeviceData_;
    unplugCallback_ = owner_->onDeviceUnplug_;
    // Devices that appear later report their read errors like those listed at start-up.
    dataErrorCallback_ = owner_->onDeviceDataError_;
  }
  std::uint32_t error = 0;
  std::unique_ptr<HidHandle> handle = platform_.open(pnpInfo_->DevicePath, OpenMode::ReadWrite, error);
  canReadWrite_ = handle != nullptr;
  if (!handle) {
    handle = platform_.open(pnpInfo_->DevicePath, OpenMode::QueryOnly, error);
  }
  if (!handle) {
    throw EControllerError("device cannot be opened");
  }
  const std::optional<HidAttributes> attributes = platform_.attributes(*handle);
  if (!attributes) {
    throw EControllerError("device cannot be identified");
  }
  attributes_ = *attributes;
}

THidDevice::~THidDevice() {
  const THidDataEvent savedData = dataCallback_;
  const THidPlugEvent savedUnplug = unplugCallback_;
  SetDataCallback({});
  unplugCallback_ = {};
  closeHandles();
  if (owner_ != nullptr) {
    owner_->giveBack(*this, savedData, savedUnplug);
  }
}

void THidDevice::setSleepTime(int ms) {
  if (ms < kMinSleepTime || ms > kMaxSleepTime) {
    return;
  }
  sleepTime_ = ms;
  if (readThread_) {
    readThread_->setSleepTime(ms);
  }
}

void THidDevice::setInEnumeration(bool on) {
  inEnumeration_ = on;
  if (readThread_) {
    readThread_->setAccessible(accessible());
  }
}

bool THidDevice::openQueryHandle() {
  if (queryHandle_) {
    return true;
  }
  if (!accessible()) {
    return false;
  }
  std::uint32_t error = 0;
  queryHandle_ = platform_.open(pnpInfo_->DevicePath, OpenMode::ReadWrite, error);
  if (!queryHandle_) {
    queryHandle_ = platform_.open(pnpInfo_->DevicePath, OpenMode::QueryOnly, error);
  }
  return queryHandle_ != nullptr;
}

void THidDevice::closeHandles() {
  closeQueryHandle();
  if (readThread_) {
    readThread_->closeReadHandle();
  }
}

std::uint16_t THidDevice::InputReportLength() {
  if (!inputReportLength_ && openQueryHandle()) {
    inputReportLength_ = platform_.inputReportLength(*queryHandle_);
    closeQueryHandle();
  }
  return inputReportLength_.value_or(0);
}

bool THidDevice::SendFeatureReport(std::span<const std::uint8_t> report) {
  if (!openQueryHandle()) {
    return false;
  }
  return platform_.setFeature(*queryHandle_, report);
}

std::u16string THidDevice::ProductText() {
  if (productText_.empty() && openQueryHandle()) {
    HidStringBuffer buffer{};
    if (platform_.productString(*queryHandle_, buffer)) {
      productText_ = textOf(buffer);
    }
    closeQueryHandle();
  }
  return productText_;
}

std::u16string THidDevice::SerialText() {
  if (serialText_.empty() && openQueryHandle()) {
    HidStringBuffer serial{};
    if (platform_.serialNumberString(*queryHandle_, serial)) {
      HidStringBuffer languages;
      languages.fill(u'\xFFFF');
      platform_.indexedString(*queryHandle_, 0, languages);
      const std::size_t length = writtenLength(languages);
      if (!std::equal(serial.begin(), serial.begin() + static_cast<std::ptrdiff_t>(length), languages.begin())) {
        serialText_ = textOf(serial);
      }
    }
    closeQueryHandle();
  }
  return serialText_;
}

void THidDevice::SetDataCallback(THidDataEvent callback) {
  if (!callback) {
    stopReading();
  }
  dataCallback_ = std::move(callback);
  if (dataCallback_) {
    startReadingIfAllowed();
  }
}

void THidDevice::startReadingIfAllowed() {
  if (!dataCallback_ || !present_ || !claimed_ || !canReadWrite_ || readThread_) {
    return;
  }
  const std::uint16_t reportLength = InputReportLength();
  handOver_->reopen();
  readThread_ = std::make_unique<THidDeviceReadThread>(platform_, pnpInfo_->DevicePath, reportLength, sleepTime_, *handOver_);
}

void THidDevice::stopReading() {
  if (readThread_) {
    readThread_->stopAndWait();
    readThread_.reset();
  }
}

void THidDevice::MarkUnplugged() {
  closeHandles();
  present_ = false;
  if (readThread_) {
    readThread_->setAccessible(false);
  }
  if (unplugCallback_) {
    const THidPlugEvent callback = unplugCallback_;
    callback(*this);
  }
  unplugCallback_ = {};
}

void THidDevice::deliverReport(std::span<const std::uint8_t> report) {
  if (dataCallback_ && !report.empty()) {
    const THidDataEvent callback = dataCallback_;
    callback(*this, report[0], report.data() + 1, static_cast<std::uint16_t>(report.size() - 1));
  }
}

void THidDevice::deliverError(std::uint32_t error) {
  if (dataErrorCallback_) {
    const THidDataErrorEvent callback = dataErrorCallback_;
    callback(*this, error);
  }
}

// ---------------------------------------------------------------------------------------------
// Controller

THidDeviceController::THidDeviceController(HidPlatform& platform) : platform_(platform) {
  if (liveControllers.fetch_add(1) + 1 > 1) {
    liveControllers.fetch_sub(1);
    throw EControllerError("Only one THidDeviceController allowed per program");
  }
  for (std::unique_ptr<THidDevice>& device : ScanDevices()) {
    device->owner_ = this;
    devices_.push_back(device.release());
  }
  if (platform_.servicesPresent()) {
    platform_.watchDeviceChanges([this] { DeviceChange(); });
  }
}

THidDeviceController::~THidDeviceController() {
  liveControllers.fetch_sub(1);
  onDeviceChange_ = {};
  onDeviceUnplug_ = {};
  onEnumerate_ = {};
  if (platform_.servicesPresent()) {
    platform_.watchDeviceChanges({});
  }
  // Lent devices stay with the application, marked unplugged; the rest go with the controller.
  const std::vector<THidDevice*> devices = std::move(devices_);
  devices_.clear();
  for (THidDevice* device : devices) {
    device->owner_ = nullptr;
    if (device->claimed_) {
      device->MarkUnplugged();
    } else {
      delete device;
    }
  }
}

std::unique_ptr<THidDevice> THidDeviceController::createDevice(std::unique_ptr<THidPnPInfo> pnpInfo) {
  return std::unique_ptr<THidDevice>(new THidDevice(this, platform_, std::move(pnpInfo)));
}

std::vector<std::unique_ptr<THidDevice>> THidDeviceController::ScanDevices() {
  std::vector<std::unique_ptr<THidDevice>> fresh;
  if (!platform_.servicesPresent()) {
    return fresh;
  }
  const std::optional<std::vector<HidInterface>> interfaces = platform_.presentInterfaces();
  if (!interfaces) {
    return fresh;
  }
  for (const HidInterface& hidInterface : *interfaces) {
    try {
      std::unique_ptr<THidDevice> device =
          createDevice(std::make_unique<THidPnPInfo>(THidPnPInfo{hidInterface.devicePath, hidInterface.deviceInstance}));
      // Not listed yet: a duplicate destroyed below must not look for its place in the list.
      device->owner_ = nullptr;
      fresh.push_back(std::move(device));
    } catch (const EControllerError&) {
      // A device that cannot be opened or identified is left out of the list.
    }
  }
  return fresh;
}

void THidDeviceController::raiseWithEnumeration(const THidPlugEvent& event, THidDevice& device) {
  if (!event) {
    return;
  }
  device.setInEnumeration(true);
  event(device);
  device.setInEnumeration(false);
}

void THidDeviceController::DeviceChange() {
  std::vector<std::unique_ptr<THidDevice>> fresh = ScanDevices();
  auto inFresh = [&](const THidDevice& device) {
    return std::any_of(fresh.begin(), fresh.end(), [&](const std::unique_ptr<THidDevice>& f) {
      return f->PnPInfo().DeviceInstance == device.PnPInfo().DeviceInstance;
    });
  };
  bool changed = false;

  for (std::size_t i = devices_.size(); i-- > 0;) {
    THidDevice* device = devices_[i];
    if (device->present_ && inFresh(*device)) {
      continue;
    }
    device->MarkUnplugged();
    raiseWithEnumeration(onRemoval_, *device);
    if (!device->claimed_) {
      devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(i));
      device->owner_ = nullptr;
      delete device;
    }
    changed = true;
  }

  for (std::unique_ptr<THidDevice>& device : fresh) {
    const bool listed = std::any_of(devices_.begin(), devices_.end(), [&](const THidDevice* d) {
      return d->present_ && d->PnPInfo().DeviceInstance == device->PnPInfo().DeviceInstance;
    });
    if (listed) {
      continue;
    }
    device->owner_ = this;
    THidDevice* arrived = device.release();
    devices_.push_back(arrived);
    raiseWithEnumeration(onArrival_, *arrived);
    changed = true;
  }

  if (onDeviceChange_ && (changed || !deviceChangeRaised_)) {
    deviceChangeRaised_ = true;
    const TNotifyEvent event = onDeviceChange_;
    event(*this);
  }
}

int THidDeviceController::EnumerateDevices() {
  int count = 0;
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    THidDevice* device = devices_[i];
    if (!device->present_) {
      continue;
    }
    ++count;
    if (!onEnumerate_) {
      break;
    }
    device->setInEnumeration(true);
    const bool goOn = onEnumerate_(*device, static_cast<int>(i));
    device->setInEnumeration(false);
    if (!device->claimed_) {
      device->closeHandles();
    }
    if (!goOn) {
      break;
    }
  }
  return count;
}

std::unique_ptr<THidDevice> THidDeviceController::ClaimDevice(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= devices_.size()) {
    return nullptr;
  }
  THidDevice* device = devices_[static_cast<std::size_t>(index)];
  if (device->claimed_) {
    return nullptr;
  }
  device->claimed_ = true;
  device->startReadingIfAllowed();
  return std::unique_ptr<THidDevice>(device);
}

void THidDeviceController::giveBack(THidDevice& device, const THidDataEvent& dataCallback,
                                    const THidPlugEvent& unplugCallback) {
  const auto place = std::find(devices_.begin(), devices_.end(), &device);
  if (place == devices_.end()) {
    return;
  }
  if (!device.present_) {
    devices_.erase(place);
    return;
  }
  // A fresh, idle object takes the returned one's place; the returned object is being destroyed.
  try {
    std::unique_ptr<THidDevice> fresh = createDevice(std::move(device.pnpInfo_));
    fresh->dataCallback_ = dataCallback;
    fresh->unplugCallback_ = unplugCallback;
    fresh->sleepTime_ = device.sleepTime_;
    *place = fresh.release();
  } catch (const EControllerError&) {
    // The interface can no longer be opened or identified: it leaves the list, and the next
    // rescan lists it again if it comes back.
    devices_.erase(place);
  }
}

void THidDeviceController::setDevThreadSleepTime(int ms) {
  if (ms == devThreadSleepTime_) {
    return;
  }
  for (THidDevice* device : devices_) {
    if (device->sleepTime_ == devThreadSleepTime_) {
      device->setSleepTime(ms);
    }
  }
  devThreadSleepTime_ = ms;
}

void THidDeviceController::setOnDeviceChange(TNotifyEvent event) {
  if (event == onDeviceChange_) {
    return;
  }
  onDeviceChange_ = std::move(event);
  DeviceChange();
  deviceChangeRaised_ = true;
}

void THidDeviceController::setOnDeviceData(THidDataEvent event) {
  if (event == onDeviceData_) {
    return;
  }
  for (THidDevice* device : devices_) {
    if (device->dataCallback_ == onDeviceData_) {
      device->SetDataCallback(event);
    }
  }
  onDeviceData_ = std::move(event);
}

void THidDeviceController::setOnDeviceDataError(THidDataErrorEvent event) {
  if (event == onDeviceDataError_) {
    return;
  }
  for (THidDevice* device : devices_) {
    if (device->dataErrorCallback_ == onDeviceDataError_) {
      device->dataErrorCallback_ = event;
    }
  }
  onDeviceDataError_ = std::move(event);
}

void THidDeviceController::setOnDeviceUnplug(THidPlugEvent event) {
  if (event == onDeviceUnplug_) {
    return;
  }
  for (THidDevice* device : devices_) {
    if (device->unplugCallback_ == onDeviceUnplug_) {
      device->unplugCallback_ = event;
    }
  }
  onDeviceUnplug_ = std::move(event);
}

}  // namespace qm::link
