#pragma once

// Simulated HID devices behind the same seam as the real HID services: devices that can be
// plugged, unplugged, made unreadable, made to refuse feature reports or fail their reads, and the
// meter's cable streaming the simulated meter. Tests drive them byte for byte; --simulate shows
// them to a person who has no meter at hand.

#include "link/hid_platform.h"
#include "sim/cable_report_stream.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qm::sim {

using link::HidAttributes;
using link::ReadOutcome;

// Where a virtual device's input reports come from. Called on the device's read thread.
class ReportSource {
public:
  virtual ~ReportSource() = default;
  // Writes one report, report ID first, or waits at most `waitMs` and says it timed out.
  virtual ReadOutcome read(std::span<std::uint8_t> report, int waitMs) = 0;
};

// Reports that a test hands in one by one.
class ScriptedReports final : public ReportSource {
public:
  void push(std::vector<std::uint8_t> report);  // report ID first
  ReadOutcome read(std::span<std::uint8_t> report, int waitMs) override;

private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::vector<std::uint8_t>> queue_;
};

// Where the simulated meter's programme begins, and how many times faster than the wall clock it
// runs in real time: a ten-minute test can be watched, or logged, in a fraction of that.
struct ProgrammeRun {
  std::chrono::milliseconds from{0};
  double speed = 1.0;
};

// The meter's cable: one report every 12 ms of the meter's time, either in real time (sped up
// by the run's speed) or as fast as they are read.
class VirtualCable final : public ReportSource {
public:
  enum class Pace { RealTime, AsFastAsRead };
  explicit VirtualCable(Pace pace, std::chrono::milliseconds framePeriod = CableReportStream::kDefaultFramePeriod,
                        ProgrammeRun run = {});
  ReadOutcome read(std::span<std::uint8_t> report, int waitMs) override;

  // The meter's time since the cable began: that of the last report read. Any thread may ask.
  std::chrono::milliseconds meterTime() const {
    return std::chrono::milliseconds(meterTimeMs_.load(std::memory_order_relaxed));
  }

private:
  Pace pace_;
  double speed_;
  std::mutex mutex_;
  CableReportStream stream_;
  std::chrono::steady_clock::time_point start_;
  std::atomic<std::int64_t> meterTimeMs_{0};
};

struct VirtualDeviceDescription {
  std::string path;
  HidAttributes attributes;
  std::u16string product;
  std::u16string serial;
  std::u16string languages = u"\u0409";  // string index 0: US English
  std::uint16_t inputReportLength = 9;   // report ID included
  bool openable = true;                  // false: not even a query handle opens
  bool readWriteAccess = true;           // false: query only, so it is listed but cannot be read
  bool identifiable = true;              // false: its attributes cannot be read
  std::shared_ptr<ReportSource> reports;
};

// The cable as it comes out of the box: "USB to Serial", no serial number, 8-byte reports.
VirtualDeviceDescription usbToSerialCable(std::string path, std::shared_ptr<ReportSource> reports);

class VirtualHidBus final : public QObject, public link::HidPlatform {
  Q_OBJECT
public:
  // Error codes the virtual devices report, with the platform texts of the meter's home system.
  static constexpr std::uint32_t kErrorAccessDenied = 5;
  static constexpr std::uint32_t kErrorNotFunctioning = 31;
  static constexpr std::uint32_t kErrorFileNotFound = 2;
  static constexpr std::uint32_t kErrorDeviceNotConnected = 1167;

  VirtualHidBus();
  ~VirtualHidBus() override;

  // Plugging and unplugging post a device-change notice to the GUI thread, as the system does.
  void plug(VirtualDeviceDescription description);
  void unplug(const std::string& path);
  bool isPlugged(const std::string& path) const;
  void setServicesPresent(bool present) { servicesPresent_ = present; }
  void setReadsFail(const std::string& path, bool fail);
  void setRefusesFeatureReports(const std::string& path, bool refuse);
  // Feature reports the device accepted, in order, across plugs.
  std::vector<std::vector<std::uint8_t>> featureReports(const std::string& path) const;

  bool servicesPresent() const override { return servicesPresent_; }
  std::optional<std::vector<link::HidInterface>> presentInterfaces() override;
  std::unique_ptr<link::HidHandle> open(const std::string& devicePath, link::OpenMode mode, std::uint32_t& error) override;
  std::optional<HidAttributes> attributes(link::HidHandle& handle) override;
  std::optional<std::uint16_t> inputReportLength(link::HidHandle& handle) override;
  bool productString(link::HidHandle& handle, link::HidStringBuffer& buffer) override;
  bool serialNumberString(link::HidHandle& handle, link::HidStringBuffer& buffer) override;
  bool indexedString(link::HidHandle& handle, int stringIndex, link::HidStringBuffer& buffer) override;
  bool setFeature(link::HidHandle& handle, std::span<const std::uint8_t> report) override;
  ReadOutcome readReport(link::HidHandle& handle, std::span<std::uint8_t> report, int waitMs) override;
  std::uint32_t deviceNotConnectedError() const override { return kErrorDeviceNotConnected; }
  std::string errorMessage(std::uint32_t error) const override;
  void watchDeviceChanges(std::function<void()> onChange) override;

  struct Device;

private:
  void noticeChange();

  bool servicesPresent_ = true;
  // Read threads open devices while the GUI thread plugs and unplugs them.
  mutable std::mutex devicesMutex_;
  std::vector<std::shared_ptr<Device>> devices_;  // plugged, in plug order
  std::map<std::string, std::vector<std::vector<std::uint8_t>>> featureReports_;
  std::uint32_t nextInstance_ = 1;
  std::function<void()> onChange_;
};

}  // namespace qm::sim
