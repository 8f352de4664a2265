#pragma once

// The HID services of a Linux machine: hidapi on hidraw for the devices, sysfs for what hidapi
// does not give (report lengths, a stable identity), and a libudev monitor for device changes.

#include "link/hid_platform.h"

#include <QObject>

#include <memory>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace qm::link {

class HidapiPlatform final : public QObject, public HidPlatform {
  Q_OBJECT
public:
  HidapiPlatform();
  ~HidapiPlatform() override;

  bool servicesPresent() const override { return initialised_; }
  std::optional<std::vector<HidInterface>> presentInterfaces() override;
  std::unique_ptr<HidHandle> open(const std::string& devicePath, OpenMode mode, std::uint32_t& error) override;
  std::optional<HidAttributes> attributes(HidHandle& handle) override;
  std::optional<std::uint16_t> inputReportLength(HidHandle& handle) override;
  bool productString(HidHandle& handle, HidStringBuffer& buffer) override;
  bool serialNumberString(HidHandle& handle, HidStringBuffer& buffer) override;
  bool indexedString(HidHandle& handle, int stringIndex, HidStringBuffer& buffer) override;
  bool setFeature(HidHandle& handle, std::span<const std::uint8_t> report) override;
  ReadOutcome readReport(HidHandle& handle, std::span<std::uint8_t> report, int waitMs) override;
  std::uint32_t deviceNotConnectedError() const override;
  std::string errorMessage(std::uint32_t error) const override;
  void watchDeviceChanges(std::function<void()> onChange) override;

private:
  void stopWatching();

  bool initialised_ = false;
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  std::function<void()> onChange_;
};

}  // namespace qm::link
