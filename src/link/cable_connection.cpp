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

CableConnection::CableConnection(THidDeviceController& controller, HidPlatform& platform,
                                 ReportReassembler& reassembler, Hooks hooks)
    : controller_(controller),
      platform_(platform),
      reassembler_(reassembler),
      hooks_(std::move(hooks)),
      read310_([this](THidDevice&, std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size) {
        reassembler_.Read310(reportId, data, size);
      }) {}

CableConnection::~CableConnection() {
  // The change event last: clearing it rescans, and nothing of this object may run then.
  controller_.setOnEnumerate({});
  controller_.setOnArrival({});
  controller_.setOnRemoval({});
  controller_.setOnDeviceDataError({});
  controller_.setOnDeviceChange({});
  currentDevice_ = nullptr;
  devList_.clear();  // gives every device back, which stops its reading
}

void CableConnection::attach() {
  controller_.setOnArrival(THidPlugEvent([this](THidDevice& device) { HidCtlArrival(device); }));
  controller_.setOnRemoval(THidPlugEvent([this](THidDevice& device) { HidCtlRemoval(device); }));
  controller_.setOnEnumerate(THidEnumerateEvent([this](THidDevice& device, int index) { return HidCtlEnumerate(device, index); }));
  controller_.setOnDeviceDataError(
      THidDataErrorEvent([this](THidDevice& device, std::uint32_t error) { HidCtlDeviceDataError(device, error); }));
  controller_.setOnDeviceChange(TNotifyEvent([this](THidDeviceController&) { HidCtlDeviceChange(); }));
}

std::string CableConnection::DeviceCaption(THidDevice& device) const {
  std::string caption;
  const std::u16string product = device.ProductText();
  if (!product.empty()) {
    caption = toAnsiLossy(QString::fromStdU16String(product));
  } else {
    char text[32];
    std::snprintf(text, sizeof text, "Device VID=%.4X PID=%.4X", device.VendorId(), device.ProductId());
    caption = text;
  }
  const std::u16string serial = device.SerialText();
  if (!serial.empty()) {
    caption += " (Serial=" + toAnsiLossy(QString::fromStdU16String(serial)) + ")";
  }
  return caption;
}

THidDevice* CableConnection::selectedDevice() const {
  return selected_ ? devList_[*selected_].device.get() : nullptr;
}

void CableConnection::setUsbCon(bool pressed) { usbCon_ = pressed; }

void CableConnection::addHistory(std::string line) {
  history_.push_back(std::move(line));
  notify();
}

void CableConnection::notify() {
  if (hooks_.stateChanged) {
    hooks_.stateChanged();
  }
}

void CableConnection::ReadBtnClick() {
  currentDevice_ = nullptr;
  if (selected_) {
    currentDevice_ = selectedDevice();
    if (currentDevice_ != nullptr && currentDevice_->CanReadWrite()) {
      currentDevice_->SetDataCallback({});
    }
  }
}

void CableConnection::SetFeatureClick() {
  currentDevice_ = nullptr;
  if (!devList_.empty() && selected_ && selectedDevice() != nullptr) {
    currentDevice_ = selectedDevice();
    // A refused report is not reported: the history line below is all the trace it leaves.
    currentDevice_->SendFeatureReport(kLineSettingsReport);
    addHistory(hexBytes(kLineSettingsReport));
    return;
  }
  if (hooks_.showMessage) {
    hooks_.showMessage(kNotConnectedMessage);
  }
  setUsbCon(false);
  notify();
}

void CableConnection::Panel2Click() {
  if (panel2Caption_ == kConnectCaption) {
    if (portKind_ > 4) {
      USBConClick();
    }
    return;
  }
  panel2Colour_ = CaptionColour::Black;
  panel2Caption_ = kConnectCaption;
  comSetEnabled_ = true;
  notify();
  if (portKind_ == 5) {
    USBConClick();
  }
}

void CableConnection::USBConClick() {
  setUsbCon(!usbCon_);
  ReadBtnClick();
  SetFeatureClick();
  reassembler_.setEmptyReportCount(0);
  currentDevice_ = nullptr;
  if (selected_) {
    currentDevice_ = selectedDevice();
    if (currentDevice_ == nullptr || !currentDevice_->CanReadWrite()) {
      setUsbCon(false);
    } else {
      currentDevice_->SetDataCallback(usbCon_ ? read310_ : THidDataEvent{});
    }
  }
  panel2Colour_ = CaptionColour::Black;
  panel2Caption_ = usbCon_ ? kDisconnectCaption : kConnectCaption;
  comSetEnabled_ = !usbCon_;
  notify();
}

void CableConnection::ConTimerTimer() {
  if (watchdogTicks_ != 2) {
    ++watchdogTicks_;
    return;
  }
  if (reassembler_.EmptyReportCount() >= kSilentReportLimit) {
    reassembler_.setEmptyReportCount(0);
    setUsbCon(false);
    if (currentDevice_ != nullptr) {
      currentDevice_->SetDataCallback({});
    }
    notify();
    if (hooks_.showMessage) {
      hooks_.showMessage(kMeterNotReadyMessage);
    }
    if (panel2Caption_ == kDisconnectCaption) {
      panel2Colour_ = CaptionColour::Yellow;
      panel2Caption_ = kConnectCaption;
      notify();
    }
  }
  if (hooks_.darkenLinkIcon) {
    hooks_.darkenLinkIcon();
  }
  watchdogTicks_ = 0;
}

void CableConnection::HidCtlDeviceChange() {
  ReadBtnClick();
  currentDevice_ = nullptr;
  selected_.reset();
  devList_.clear();  // gives every claimed device back
  controller_.EnumerateDevices();
  for (std::size_t i = devList_.size(); i-- > 0;) {
    if (devList_[i].caption == kCableProduct) {
      selected_ = i;
      break;
    }
  }
  notify();
}

bool CableConnection::HidCtlEnumerate(THidDevice& device, int index) {
  std::string caption = DeviceCaption(device);
  devList_.push_back(DeviceEntry{std::move(caption), controller_.ClaimDevice(index)});
  return true;
}

void CableConnection::HidCtlArrival(THidDevice& device) { addHistory("Arrival of " + DeviceCaption(device)); }

void CableConnection::HidCtlRemoval(THidDevice& device) { addHistory("Removal of " + DeviceCaption(device)); }

void CableConnection::HidCtlDeviceDataError(THidDevice&, std::uint32_t error) {
  std::string message;
  if (!toAnsi(QString::fromStdString(platform_.errorMessage(error)), message)) {
    message = toAnsiLossy(QString::fromStdString(platform_.errorMessage(error)));
  }
  char code[16];
  std::snprintf(code, sizeof code, "%X", error);
  addHistory("READ ERROR: " + message + " (" + code + ")");
}

void CableConnection::COMClick(int port) {
  portKind_ = static_cast<std::int8_t>(port);
  const std::size_t own = static_cast<std::size_t>(port - 1);
  const bool ownChecked = !comChecked_[own];
  comChecked_.fill(false);
  comChecked_[own] = ownChecked;
  panel1Caption_ = "COM" + std::to_string(port);
  notify();
}

void CableConnection::USBClick() {
  comChecked_.fill(false);
  usbChecked_ = !usbChecked_;
  portKind_ = 5;
  panel1Caption_ = "USB";
  notify();
}

void CableConnection::Panel1Click() {
  if (panel2Caption_ != kConnectCaption) {
    return;
  }
  if (portKind_ >= 1 && portKind_ <= 3) {
    COMClick(portKind_ + 1);
  } else if (portKind_ == 4) {
    USBClick();
  } else {
    COMClick(1);
  }
}

}  // namespace qm::link
