#pragma once

// The real machine's HID services: hidapi on hidraw for the devices, libudev for their identity and
// for noticing plugs and unplugs. The device controller was written against Windows' HID services,
// so this class answers the way those would: report ID first in every report, lengths with the ID
// byte counted, a query-only open that needs no access rights, and one identity per plugged device.

#include "link/hid_platform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace qm::link {

// Copies `text` (UTF-32, as wchar_t is on Linux) into `buffer` as UTF-16 from its start, with a
// terminating 0 after it when there is room, and leaves the rest of the buffer as it was. Text that
// does not fit is cut at a character boundary; code points that are not Unicode scalar values
// become U+FFFD. Returns the number of UTF-16 units written before the terminator.
std::size_t storeHidString(std::wstring_view text, HidStringBuffer& buffer);

// The interfaces of the nodes an enumeration listed, in its order. hidapi lists a node once per
// top-level collection, where Windows would have one interface per collection with a path of its
// own; here the collections share the node and every reader of the node gets every report, so the
// node is one interface. Each gets the identity `instanceOf` gives its path.
std::vector<HidInterface> interfacesOfNodes(const std::vector<std::string>& listedPaths,
                                            const std::function<std::uint32_t(const std::string&)>& instanceOf);

class HidapiPlatform final : public HidPlatform {
public:
  HidapiPlatform();
  ~HidapiPlatform() override;

  HidapiPlatform(const HidapiPlatform&) = delete;
  HidapiPlatform& operator=(const HidapiPlatform&) = delete;

  bool servicesPresent() const override;
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
  void onMonitorReadable();
  std::uint32_t deviceInstanceOf(const std::string& devicePath);

  bool servicesPresent_ = false;
  // Used from the GUI thread only: libudev contexts are not safe to share between threads, and
  // readReport() never needs one.
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void()> onChange_;
  bool notifying_ = false;
};

}  // namespace qm::link
