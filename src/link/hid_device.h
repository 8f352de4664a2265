#pragma once

// One HID device interface as the controller lists it: its identity and strings, feature reports,
// and, while it is lent to the application and has a data callback, a read thread whose reports
// and read errors reach the callbacks on the GUI thread. Used on the GUI thread only.

#include "link/hid_event.h"
#include "link/hid_platform.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace qm::link {

class HidReadThread;
class ReportHandOver;

// Where a device interface is: the path to open it by, and the identity a rescan knows it by.
struct HidDeviceLocation {
  std::string devicePath;
  std::uint32_t deviceInstance = 0;
};

class HidDevice {
public:
  ~HidDevice();  // gives a lent device back to its controller
  HidDevice(const HidDevice&) = delete;
  HidDevice& operator=(const HidDevice&) = delete;

  bool present() const { return present_; }
  bool claimed() const { return claimed_; }
  bool inEnumeration() const { return inEnumeration_; }
  bool canReadWrite() const { return canReadWrite_; }
  std::uint16_t vendorId() const { return attributes_.vendorId; }
  std::uint16_t productId() const { return attributes_.productId; }
  std::uint16_t versionNumber() const { return attributes_.versionNumber; }
  const HidDeviceLocation& location() const { return *location_; }
  std::uint16_t inputReportLength();

  int sleepTime() const { return sleepTime_; }
  // Values outside 10 to 10000 ms are ignored.
  void setSleepTime(int ms);

  // Sets or clears the data callback; clearing stops the read thread and returns once it ended.
  void setDataCallback(HidDataEvent callback);
  const HidDataEvent& dataCallback() const { return dataCallback_; }
  void setDataErrorCallback(HidDataErrorEvent callback) { dataErrorCallback_ = std::move(callback); }
  const HidDataErrorEvent& dataErrorCallback() const { return dataErrorCallback_; }
  void setUnplugCallback(HidPlugEvent callback) { unplugCallback_ = std::move(callback); }
  const HidPlugEvent& unplugCallback() const { return unplugCallback_; }

  // Sends one feature report; `report[0]` is the report ID. False when the device cannot be
  // opened or refuses it.
  bool sendFeatureReport(std::span<const std::uint8_t> report);
  std::u16string productText();
  // Empty when the device has none, or answers with its language list, or gives no language list.
  std::u16string serialText();

  bool isReading() const { return readThread_ != nullptr; }

private:
  friend class HidDeviceController;
  friend class ReportHandOver;

  HidDevice(HidDeviceController* owner, HidPlatform& platform, std::unique_ptr<HidDeviceLocation> location);

  bool accessible() const { return present_ && (claimed_ || inEnumeration_); }
  void setInEnumeration(bool on);
  bool openQueryHandle();
  void closeQueryHandle() { queryHandle_.reset(); }
  void closeHandles();
  void startReadingIfAllowed();
  void stopReading();
  void markUnplugged();
  void deliverReport(std::span<const std::uint8_t> report);
  void deliverError(std::uint32_t error);

  HidDeviceController* owner_;
  HidPlatform& platform_;
  std::unique_ptr<HidDeviceLocation> location_;
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
  HidDataEvent dataCallback_;
  HidDataErrorEvent dataErrorCallback_;
  HidPlugEvent unplugCallback_;
  std::unique_ptr<ReportHandOver> handOver_;
  std::unique_ptr<HidReadThread> readThread_;
};

}  // namespace qm::link
