#include "link/hid_device.h"

#include "link/hid_device_controller.h"
#include "link/hid_read_thread.h"
#include "link/report_hand_over.h"

#include <algorithm>

namespace qm::link {
namespace {

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

HidDevice::HidDevice(HidDeviceController* owner, HidPlatform& platform, std::unique_ptr<HidDeviceLocation> location)
    : owner_(owner), platform_(platform), location_(std::move(location)), handOver_(std::make_unique<ReportHandOver>(*this)) {
  if (owner_ != nullptr) {
    dataCallback_ = owner_->onDeviceData_;
    unplugCallback_ = owner_->onDeviceUnplug_;
    // Devices that appear later report their read errors like those listed at start-up.
    dataErrorCallback_ = owner_->onDeviceDataError_;
  }
  std::uint32_t error = 0;
  std::unique_ptr<HidHandle> handle = platform_.open(location_->devicePath, OpenMode::ReadWrite, error);
  canReadWrite_ = handle != nullptr;
  if (!handle) {
    handle = platform_.open(location_->devicePath, OpenMode::QueryOnly, error);
  }
  if (!handle) {
    throw HidControllerError("device cannot be opened");
  }
  const std::optional<HidAttributes> attributes = platform_.attributes(*handle);
  if (!attributes) {
    throw HidControllerError("device cannot be identified");
  }
  attributes_ = *attributes;
}

HidDevice::~HidDevice() {
  const HidDataEvent savedData = dataCallback_;
  const HidPlugEvent savedUnplug = unplugCallback_;
  setDataCallback({});
  unplugCallback_ = {};
  closeHandles();
  if (owner_ != nullptr) {
    owner_->giveBack(*this, savedData, savedUnplug);
  }
}

void HidDevice::setSleepTime(int ms) {
  if (ms < kMinSleepTime || ms > kMaxSleepTime) {
    return;
  }
  sleepTime_ = ms;
  if (readThread_) {
    readThread_->setSleepTime(ms);
  }
}

void HidDevice::setInEnumeration(bool on) {
  inEnumeration_ = on;
  if (readThread_) {
    readThread_->setAccessible(accessible());
  }
}

bool HidDevice::openQueryHandle() {
  if (queryHandle_) {
    return true;
  }
  if (!accessible()) {
    return false;
  }
  std::uint32_t error = 0;
  queryHandle_ = platform_.open(location_->devicePath, OpenMode::ReadWrite, error);
  if (!queryHandle_) {
    queryHandle_ = platform_.open(location_->devicePath, OpenMode::QueryOnly, error);
  }
  return queryHandle_ != nullptr;
}

void HidDevice::closeHandles() {
  closeQueryHandle();
  if (readThread_) {
    readThread_->closeReadHandle();
  }
}

std::uint16_t HidDevice::inputReportLength() {
  if (!inputReportLength_ && openQueryHandle()) {
    inputReportLength_ = platform_.inputReportLength(*queryHandle_);
    closeQueryHandle();
  }
  return inputReportLength_.value_or(0);
}

bool HidDevice::sendFeatureReport(std::span<const std::uint8_t> report) {
  if (!openQueryHandle()) {
    return false;
  }
  return platform_.setFeature(*queryHandle_, report);
}

std::u16string HidDevice::productText() {
  if (productText_.empty() && openQueryHandle()) {
    HidStringBuffer buffer{};
    if (platform_.productString(*queryHandle_, buffer)) {
      productText_ = textOf(buffer);
    }
    closeQueryHandle();
  }
  return productText_;
}

std::u16string HidDevice::serialText() {
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

void HidDevice::setDataCallback(HidDataEvent callback) {
  if (!callback) {
    stopReading();
  }
  dataCallback_ = std::move(callback);
  if (dataCallback_) {
    startReadingIfAllowed();
  }
}

void HidDevice::startReadingIfAllowed() {
  if (!dataCallback_ || !present_ || !claimed_ || !canReadWrite_ || readThread_) {
    return;
  }
  const std::uint16_t reportLength = inputReportLength();
  handOver_->reopen();
  readThread_ = std::make_unique<HidReadThread>(platform_, location_->devicePath, reportLength, sleepTime_, *handOver_);
}

void HidDevice::stopReading() {
  if (readThread_) {
    readThread_->stopAndWait();
    readThread_.reset();
  }
}

void HidDevice::markUnplugged() {
  closeHandles();
  present_ = false;
  if (readThread_) {
    readThread_->setAccessible(false);
  }
  if (unplugCallback_) {
    const HidPlugEvent callback = unplugCallback_;
    callback(*this);
  }
  unplugCallback_ = {};
}

void HidDevice::deliverReport(std::span<const std::uint8_t> report) {
  if (dataCallback_ && !report.empty()) {
    const HidDataEvent callback = dataCallback_;
    callback(*this, report[0], report.data() + 1, static_cast<std::uint16_t>(report.size() - 1));
  }
}

void HidDevice::deliverError(std::uint32_t error) {
  if (dataErrorCallback_) {
    const HidDataErrorEvent callback = dataErrorCallback_;
    callback(*this, error);
  }
}

}  // namespace qm::link
