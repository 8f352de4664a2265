#pragma once

// The HID layer the cable connection stands on: a controller that lists the HID devices present,
// keeps the list current as devices come and go, lends device objects to the application, reads a
// lent device's input reports on a thread of its own and hands each one to the GUI thread, sends
// feature reports and reads a device's identity and strings.
//
// All of it is used on the GUI thread only; the read threads touch nothing but their own handle
// and buffer, and wait while the GUI thread runs the callback for each report they read.

#include "link/hid_event.h"
#include "link/hid_platform.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <optional>
#include <span>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace qm::link {

class THidDevice;
class THidDeviceController;
class ReportHandOver;

class EControllerError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

using THidPlugEvent = HidEvent<void(THidDevice&)>;
using THidEnumerateEvent = HidEvent<bool(THidDevice&, int)>;
using THidDataEvent = HidEvent<void(THidDevice&, std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size)>;
using THidDataErrorEvent = HidEvent<void(THidDevice&, std::uint32_t error)>;
using TNotifyEvent = HidEvent<void(THidDeviceController&)>;

// Where a device interface is: the path to open it by, and the identity a rescan knows it by.
struct THidPnPInfo {
  std::string DevicePath;
  std::uint32_t DeviceInstance = 0;
};

// Reads input reports of one device until asked to stop. Owned by its device.
class THidDeviceReadThread {
public:
  THidDeviceReadThread(HidPlatform& platform, std::string devicePath, std::uint16_t inputReportLength,
                       int sleepTime, ReportHandOver& handOver);
  ~THidDeviceReadThread();
  THidDeviceReadThread(const THidDeviceReadThread&) = delete;
  THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

  void setSleepTime(int ms) { sleepTime_.store(ms); }
  // Whether the device may open its read handle (present and lent or being offered).
  void setAccessible(bool accessible) { accessible_.store(accessible); }
  // Closes the read handle at the thread's next step; further reads fail until it may reopen.
  void closeReadHandle() { closeRequested_.store(true); }
  // Asks the thread to stop and returns once it has ended. Hand-overs it is waiting on are
  // answered without running the callback, so this never waits on the GUI thread.
  void stopAndWait();

private:
  void run();
  void pace(int ms);

  HidPlatform& platform_;
  const std::string devicePath_;
  std::vector<std::uint8_t> Report;
  ReportHandOver& handOver_;
  std::atomic<int> sleepTime_;
  std::atomic<bool> accessible_{true};
  std::atomic<bool> closeRequested_{false};
  std::atomic<bool> stopRequested_{false};
  std::mutex paceMutex_;
  std::condition_variable paceWake_;
  std::thread thread_;
};

class THidDevice {
public:
  ~THidDevice();  // gives a lent device back to its controller
  THidDevice(const THidDevice&) = delete;
  THidDevice& operator=(const THidDevice&) = delete;

  bool Present() const { return present_; }
  bool Claimed() const { return claimed_; }
  bool InEnumeration() const { return inEnumeration_; }
  bool CanReadWrite() const { return canReadWrite_; }
  std::uint16_t VendorId() const { return attributes_.vendorId; }
  std::uint16_t ProductId() const { return attributes_.productId; }
  std::uint16_t VersionNumber() const { return attributes_.versionNumber; }
  const THidPnPInfo& PnPInfo() const { return *pnpInfo_; }
  std::uint16_t InputReportLength();

  int SleepTime() const { return sleepTime_; }
  // Values outside 10 to 10000 ms are ignored.
  void setSleepTime(int ms);

  // Sets or clears the data callback; clearing stops the read thread and returns once it ended.
  void SetDataCallback(THidDataEvent callback);
  const THidDataEvent& DataCallback() const { return dataCallback_; }
  void setDataErrorCallback(THidDataErrorEvent callback) { dataErrorCallback_ = std::move(callback); }
  const THidDataErrorEvent& DataErrorCallback() const { return dataErrorCallback_; }
  void setUnplugCallback(THidPlugEvent callback) { unplugCallback_ = std::move(callback); }
  const THidPlugEvent& UnplugCallback() const { return unplugCallback_; }

  // Sends one feature report; `report[0]` is the report ID. False when the device cannot be
  // opened or refuses it.
  bool SendFeatureReport(std::span<const std::uint8_t> report);
  std::u16string ProductText();
  // Empty when the device has none, or answers with its language list, or gives no language list.
  std::u16string SerialText();

  bool isReading() const { return readThread_ != nullptr; }

private:
  friend class THidDeviceController;
  friend class ReportHandOver;

  THidDevice(THidDeviceController* owner, HidPlatform& platform, std::unique_ptr<THidPnPInfo> pnpInfo);

  bool accessible() const { return present_ && (claimed_ || inEnumeration_); }
  void setInEnumeration(bool on);
  bool openQueryHandle();
  void closeQueryHandle() { queryHandle_.reset(); }
  void closeHandles();
  void startReadingIfAllowed();
  void stopReading();
  void MarkUnplugged();
  void deliverReport(std::span<const std::uint8_t> report);
  void deliverError(std::uint32_t error);

  THidDeviceController* owner_;
  HidPlatform& platform_;
  std::unique_ptr<THidPnPInfo> pnpInfo_;
  bool present_ = true;
  bool claimed_ = false;
  bool inEnumeration_ = false;
  bool canReadWrite_ = false;
  HidAttributes attributes_;
  std::unique_ptr<HidHandle> queryHandle_;
  std::optional<std::uint16_t> inputReportLength_;
  std::u16string productText_;
  std::u16string serialText_;
  int sleepTime_ = 100;
  THidDataEvent dataCallback_;
  THidDataErrorEvent dataErrorCallback_;
  THidPlugEvent unplugCallback_;
  std::unique_ptr<ReportHandOver> handOver_;
  std::unique_ptr<THidDeviceReadThread> readThread_;
};

class THidDeviceController {
public:
  // Fails with EControllerError when the program already has a controller.
  explicit THidDeviceController(HidPlatform& platform);
  ~THidDeviceController();
  THidDeviceController(const THidDeviceController&) = delete;
  THidDeviceController& operator=(const THidDeviceController&) = delete;

  // Rescans the devices present, updates the list and raises the events.
  void DeviceChange();
  // Offers every present listed device to OnEnumerate; returns how many were present.
  int EnumerateDevices();
  // Lends the listed device at `index`; none when the index is outside the list or it is lent.
  // Destroying the returned device gives it back.
  std::unique_ptr<THidDevice> ClaimDevice(int index);

  const std::vector<THidDevice*>& devices() const { return devices_; }

  std::string Version() const { return "1.0.22"; }
  void setVersion(const std::string&) {}

  int DevThreadSleepTime() const { return devThreadSleepTime_; }
  void setDevThreadSleepTime(int ms);

  void setOnArrival(THidPlugEvent event) { onArrival_ = std::move(event); }
  void setOnRemoval(THidPlugEvent event) { onRemoval_ = std::move(event); }
  void setOnEnumerate(THidEnumerateEvent event) { onEnumerate_ = std::move(event); }
  void setOnDeviceChange(TNotifyEvent event);
  void setOnDeviceData(THidDataEvent event);
  void setOnDeviceDataError(THidDataErrorEvent event);
  void setOnDeviceUnplug(THidPlugEvent event);
  const THidDataEvent& OnDeviceData() const { return onDeviceData_; }
  const THidDataErrorEvent& OnDeviceDataError() const { return onDeviceDataError_; }
  const THidPlugEvent& OnDeviceUnplug() const { return onDeviceUnplug_; }

private:
  friend class THidDevice;

  std::vector<std::unique_ptr<THidDevice>> ScanDevices();
  std::unique_ptr<THidDevice> createDevice(std::unique_ptr<THidPnPInfo> pnpInfo);
  void giveBack(THidDevice& device, const THidDataEvent& dataCallback, const THidPlugEvent& unplugCallback);
  void raiseWithEnumeration(const THidPlugEvent& event, THidDevice& device);

  HidPlatform& platform_;
  // Devices the controller owns (idle) and devices it has lent (owned by the application).
  std::vector<THidDevice*> devices_;
  int devThreadSleepTime_ = 100;
  THidPlugEvent onArrival_;
  THidPlugEvent onRemoval_;
  TNotifyEvent onDeviceChange_;
  bool deviceChangeRaised_ = false;
  THidEnumerateEvent onEnumerate_;
  THidDataEvent onDeviceData_;
  THidDataErrorEvent onDeviceDataError_;
  THidPlugEvent onDeviceUnplug_;
};

}  // namespace qm::link
