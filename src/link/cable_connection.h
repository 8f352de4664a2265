#pragma once

// The user's side of the meter link: the list of HID devices kept in step with the controller, the
// cable picked out of it by its product string "USB to Serial", connecting and disconnecting with
// the line settings, the watchdog that drops a cable delivering nothing but empty reports, and the
// diagnostic history. Plain logic: the main window shows its state and forwards its clicks, and
// qm-cli uses it without a window.

#include "link/hid_device_controller.h"
#include "link/report_reassembler.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::link {

inline constexpr std::string_view kCableProduct = "USB to Serial";
inline constexpr std::string_view kNotConnectedMessage =
    "USB interface cable is not securely connected, please check and re-try.";
inline constexpr std::string_view kMeterNotReadyMessage =
    "USB interface cable is securely connected, please check if the meter is ready.";
inline constexpr std::string_view kConnectCaption = "CONNECT";
inline constexpr std::string_view kDisconnectCaption = "DISCONNECT";

// 2400 baud (0x0960), 8 data bits; the cable forgets it when unplugged, so every connect sends it.
inline constexpr std::array<std::uint8_t, 10> kLineSettingsReport = {0x00, 0x60, 0x09, 0x00, 0x00,
                                                                      0x03, 0x00, 0x00, 0x00, 0x00};
// Reports without payload in a row after which the watchdog drops the link.
inline constexpr std::int32_t kSilentReportLimit = 1900;

class CableConnection {
public:
  struct Hooks {
    std::function<void(std::string_view message)> showMessage;  // an information box with OK
    std::function<void()> darkenLinkIcon;                       // CONok off, CONokN on
    std::function<void()> stateChanged;                         // anything below changed
  };

  enum class CaptionColour { Black, Yellow };

  struct DeviceEntry {
    std::string caption;                  // CP936 bytes
    std::unique_ptr<THidDevice> device;  // none when the device could not be claimed
  };

  CableConnection(THidDeviceController& controller, HidPlatform& platform, ReportReassembler& reassembler, Hooks hooks);
  ~CableConnection();
  CableConnection(const CableConnection&) = delete;
  CableConnection& operator=(const CableConnection&) = delete;

  // Binds the controller's events; binding the device-change event fills the device list at once.
  void attach();

  // Handlers, named after the controls and events that trigger them.
  void Panel2Click();
  void USBConClick();
  void SetFeatureClick();
  void ReadBtnClick();
  void ConTimerTimer();
  void HidCtlDeviceChange();
  bool HidCtlEnumerate(THidDevice& device, int index);
  void HidCtlArrival(THidDevice& device);
  void HidCtlRemoval(THidDevice& device);
  void HidCtlDeviceDataError(THidDevice& device, std::uint32_t error);
  // The hidden port-kind choices: COM1 to COM4 (kind 1 to 4) and USB (kind 5).
  void COMClick(int port);
  void USBClick();
  void Panel1Click();

  std::string DeviceCaption(THidDevice& device) const;

  bool USBCon() const { return usbCon_; }
  std::string_view Panel2Caption() const { return panel2Caption_; }
  CaptionColour Panel2Colour() const { return panel2Colour_; }
  bool ComSetEnabled() const { return comSetEnabled_; }
  bool comChecked(int port) const { return comChecked_[static_cast<std::size_t>(port - 1)]; }
  bool usbChecked() const { return usbChecked_; }
  std::string_view Panel1Caption() const { return panel1Caption_; }
  std::int8_t PortKind() const { return portKind_; }
  void setPortKind(std::int8_t kind) { portKind_ = kind; }
  std::int32_t WatchdogTicks() const { return watchdogTicks_; }

  const std::vector<DeviceEntry>& DevListBox() const { return devList_; }
  std::optional<std::size_t> selectedEntry() const { return selected_; }
  const std::vector<std::string>& HistoryListBox() const { return history_; }
  THidDevice* CurrentDevice() const { return currentDevice_; }

private:
  THidDevice* selectedDevice() const;
  void setUsbCon(bool pressed);
  void addHistory(std::string line);
  void notify();

  THidDeviceController& controller_;
  HidPlatform& platform_;
  ReportReassembler& reassembler_;
  Hooks hooks_;
  const THidDataEvent read310_;

  bool usbCon_ = false;
  std::string panel2Caption_{kConnectCaption};
  CaptionColour panel2Colour_ = CaptionColour::Black;
  bool comSetEnabled_ = true;
  std::array<bool, 4> comChecked_{true, false, false, false};
  bool usbChecked_ = false;
  std::string panel1Caption_ = "USB";
  std::int8_t portKind_ = 5;
  std::int32_t watchdogTicks_ = 0;
  std::vector<DeviceEntry> devList_;
  std::optional<std::size_t> selected_;
  std::vector<std::string> history_;
  THidDevice* currentDevice_ = nullptr;
};

}  // namespace qm::link
