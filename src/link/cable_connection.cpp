#include "link/cable_connection.h"

#include "core/ansi_text.h"

#include <QString>

#include <cstdio>

namespace qm::link {
namespace {

std::string hexBytes(std::span<const std::uint8_t> bytes) {
  std::string line;
  for (const std::uint8_t byte : bytes) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X ", byte);
    line += text;
  }
  return line;
}

}  // namespace

CableConnection::CableConnection(HidDeviceController& controller, HidPlatform& platform,
                                 ReportReassembler& reassembler, Hooks hooks)
    : controller_(controller),
      platform_(platform),
      reassembler_(reassembler),
      hooks_(std::move(hooks)),
      reportCallback_([this](HidDevice&, std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size) {
        if (hooks_.reportRead) {
          hooks_.reportRead(reportId, std::span(data, size));
        }
        reassembler_.addReport(reportId, data, size);
      }) {}

CableConnection::~CableConnection() {
  // The change event last: clearing it rescans, and nothing of this object may run then.
  controller_.setOnEnumerate({});
  controller_.setOnArrival({});
  controller_.setOnRemoval({});
  controller_.setOnDeviceDataError({});
  controller_.setOnDeviceChange({});
  currentDevice_ = nullptr;
  devices_.clear();  // gives every device back, which stops its reading
}

void CableConnection::attach() {
  controller_.setOnArrival(HidPlugEvent([this](HidDevice& device) { addHistory("Arrival of " + deviceName(device)); }));
  controller_.setOnRemoval(HidPlugEvent([this](HidDevice& device) { addHistory("Removal of " + deviceName(device)); }));
  controller_.setOnEnumerate(HidEnumerateEvent([this](HidDevice& device, int index) { return listDevice(device, index); }));
  controller_.setOnDeviceDataError(HidDataErrorEvent([this](HidDevice&, std::uint32_t error) { readError(error); }));
  controller_.setOnDeviceChange(HidChangeEvent([this](HidDeviceController&) { devicesChanged(); }));
}

std::string CableConnection::deviceName(HidDevice& device) {
  std::string name;
  const std::u16string product = device.productText();
  if (!product.empty()) {
    name = toAnsiLossy(QString::fromStdU16String(product));
  } else {
    char text[32];
    std::snprintf(text, sizeof text, "Device VID=%.4X PID=%.4X", device.vendorId(), device.productId());
    name = text;
  }
  const std::u16string serial = device.serialText();
  if (!serial.empty()) {
    name += " (Serial=" + toAnsiLossy(QString::fromStdU16String(serial)) + ")";
  }
  return name;
}

HidDevice* CableConnection::cableDevice() const { return cable_ ? devices_[*cable_].device.get() : nullptr; }

void CableConnection::setState(State state) {
  state_ = state;
  notify();
}

void CableConnection::setPortKind(std::int8_t kind) {
  portKind_ = kind;
  notify();
}

void CableConnection::addHistory(std::string line) {
  if (hooks_.historyLine) {
    hooks_.historyLine(line);
  }
}

void CableConnection::notify() {
  if (hooks_.stateChanged) {
    hooks_.stateChanged();
  }
}

void CableConnection::stopReading() {
  currentDevice_ = cableDevice();
  if (currentDevice_ != nullptr && currentDevice_->canReadWrite()) {
    currentDevice_->setDataCallback({});
  }
}

void CableConnection::sendLineSettings() {
  currentDevice_ = cableDevice();
  if (currentDevice_ != nullptr) {
    // A refused report is not reported: the history line below is all the trace it leaves.
    currentDevice_->sendFeatureReport(kLineSettingsReport);
    addHistory(hexBytes(kLineSettingsReport));
    return;
  }
  if (hooks_.showMessage) {
    hooks_.showMessage(kNotConnectedMessage);
  }
  setState(State::Disconnected);
}

void CableConnection::toggleConnection() {
  if (isConnected()) {
    disconnectCable();
  } else {
    connectCable();
  }
}

void CableConnection::connectCable() {
  // Only the USB cable connects; a serial port kind leaves the link as it is.
  if (!isConnected() && portKind_ == kUsbPortKind) {
    toggleReading();
  }
}

void CableConnection::disconnectCable() {
  if (isConnected()) {
    toggleReading();
  }
}

void CableConnection::toggleReading() {
  bool reading = !isConnected();
  stopReading();
  sendLineSettings();
  reading = reading && cable_.has_value();
  reassembler_.setEmptyReportCount(0);
  currentDevice_ = cableDevice();
  if (cable_) {
    if (currentDevice_ == nullptr || !currentDevice_->canReadWrite()) {
      reading = false;
    } else {
      currentDevice_->setDataCallback(reading ? reportCallback_ : HidDataEvent{});
    }
  }
  setState(reading ? State::Connected : State::Disconnected);
}

void CableConnection::watchdogTick() {
  if (watchdogTicks_ != 2) {
    ++watchdogTicks_;
    return;
  }
  if (reassembler_.emptyReportCount() >= kSilentReportLimit) {
    reassembler_.setEmptyReportCount(0);
    if (currentDevice_ != nullptr) {
      currentDevice_->setDataCallback({});
    }
    setState(isConnected() ? State::DroppedForSilence : State::Disconnected);
    if (hooks_.showMessage) {
      hooks_.showMessage(kMeterNotReadyMessage);
    }
  }
  if (hooks_.watchdogTicked) {
    hooks_.watchdogTicked();
  }
  watchdogTicks_ = 0;
}

void CableConnection::devicesChanged() {
  stopReading();
  currentDevice_ = nullptr;
  cable_.reset();
  devices_.clear();  // gives every claimed device back
  controller_.enumerateDevices();
  for (std::size_t i = devices_.size(); i-- > 0;) {
    if (devices_[i].name == kCableProduct) {
      cable_ = i;
      break;
    }
  }
  notify();
}

bool CableConnection::listDevice(HidDevice& device, int index) {
  std::string name = deviceName(device);
  devices_.push_back(ListedDevice{std::move(name), controller_.claimDevice(index)});
  return true;
}

void CableConnection::readError(std::uint32_t error) {
  std::string message;
  if (!toAnsi(QString::fromStdString(platform_.errorMessage(error)), message)) {
    message = toAnsiLossy(QString::fromStdString(platform_.errorMessage(error)));
  }
  char code[16];
  std::snprintf(code, sizeof code, "%X", error);
  addHistory("READ ERROR: " + message + " (" + code + ")");
}

}  // namespace qm::link
