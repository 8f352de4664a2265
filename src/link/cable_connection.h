#pragma once

// The user's side of the meter link, as link state only: the HID devices listed and kept in step
// with the controller, the cable picked out of them by its product string "USB to Serial",
// connecting and disconnecting with the line settings, the watchdog that drops a cable delivering
// nothing but empty reports, and the diagnostic history lines. How this looks (captions, colours,
// check marks, list boxes) is for whoever shows it; qm-cli uses it without a window.

#include "link/hid_device.h"
#include "link/hid_device_controller.h"
#include "link/report_reassembler.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm::link {

inline constexpr std::string_view kCableProduct = "USB to Serial";
inline constexpr std::string_view kNotConnectedMessage =
    "USB interface cable is not securely connected, please check and re-try.";
inline constexpr std::string_view kMeterNotReadyMessage =
    "USB interface cable is securely connected, please check if the meter is ready.";

// 2400 baud (0x0960), 8 data bits; the cable forgets it when unplugged, so every connect sends it.
inline constexpr std::array<std::uint8_t, 10> kLineSettingsReport = {0x00, 0x60, 0x09, 0x00, 0x00,
                                                                      0x03, 0x00, 0x00, 0x00, 0x00};
// Reports without payload in a row after which the watchdog drops the link.
inline constexpr std::int32_t kSilentReportLimit = 1900;

// The port kinds a user can choose: 1 to 4 are the serial ports COM1 to COM4, 5 the USB cable,
// the only kind that connects.
inline constexpr std::int8_t kUsbPortKind = 5;

class CableConnection {
public:
  enum class State {
    Disconnected,
    Connected,          // the user connected; the cable is read while it is there
    DroppedForSilence,  // the watchdog dropped the link: the cable delivered only empty reports
  };

  struct Hooks {
    std::function<void(std::string_view message)> showMessage;  // a message for the user (CP936)
    std::function<void()> watchdogTicked;                       // the link icon's time is up
    std::function<void()> stateChanged;                         // state, devices or port kind
    std::function<void(std::string_view line)> historyLine;     // a diagnostic line (CP936)
    // Every input report of the cable as read, before it is reassembled.
    std::function<void(std::uint8_t reportId, std::span<const std::uint8_t> data)> reportRead;
  };

  struct ListedDevice {
    std::string name;                    // product string or "Device VID=... PID=...", CP936
    std::unique_ptr<HidDevice> device;  // none when the device could not be claimed
  };

  CableConnection(HidDeviceController& controller, HidPlatform& platform, ReportReassembler& reassembler, Hooks hooks);
  ~CableConnection();
  CableConnection(const CableConnection&) = delete;
  CableConnection& operator=(const CableConnection&) = delete;

  // Binds the controller's events; binding the device-change event fills the device list at once.
  void attach();

  // Connects when not connected and disconnects when connected, as the "CONNECT" panel does.
  void toggleConnection();
  void connectCable();
  void disconnectCable();
  // The single steps a connection is made of: inverts the connection, sends the line settings,
  // and stops the selected device's reading.
  void toggleReading();
  void sendLineSettings();
  void stopReading();

  // One tick of the 100 ms link timer: every third tick the link icon's time is up and the
  // watchdog looks at the count of empty reports.
  void watchdogTick();

  State state() const { return state_; }
  bool isConnected() const { return state_ == State::Connected; }
  std::int8_t portKind() const { return portKind_; }
  void setPortKind(std::int8_t kind);
  std::int32_t watchdogTicks() const { return watchdogTicks_; }

  const std::vector<ListedDevice>& devices() const { return devices_; }
  // The cable's place in devices(): the last device named "USB to Serial".
  std::optional<std::size_t> cableIndex() const { return cable_; }
  HidDevice* currentDevice() const { return currentDevice_; }

  // How a device is listed: its product string, or its vendor and product IDs, and its serial.
  static std::string deviceName(HidDevice& device);

private:
  void devicesChanged();
  bool listDevice(HidDevice& device, int index);
  void readError(std::uint32_t error);
  HidDevice* cableDevice() const;
  void setState(State state);
  void addHistory(std::string line);
  void notify();

  HidDeviceController& controller_;
  HidPlatform& platform_;
  ReportReassembler& reassembler_;
  Hooks hooks_;
  const HidDataEvent reportCallback_;

  State state_ = State::Disconnected;
  std::int8_t portKind_ = kUsbPortKind;
  std::int32_t watchdogTicks_ = 0;
  std::vector<ListedDevice> devices_;
  std::optional<std::size_t> cable_;
  HidDevice* currentDevice_ = nullptr;
};

}  // namespace qm::link
