#include "link/hidapi_platform.h"

#include "link/report_descriptor.h"

#include <QSocketNotifier>

#include <hidapi/hidapi.h>
#include <libudev.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace qm::link {
namespace {

struct DeviceInfo {
  HidAttributes attributes;
  std::wstring product;
  std::wstring serial;
};

std::wstring wideText(const wchar_t* text) { return text != nullptr ? std::wstring(text) : std::wstring(); }

// What hidapi's enumeration (udev and sysfs, no access rights needed) knows of one device path.
std::optional<DeviceInfo> enumerationOf(const std::string& path) {
  std::optional<DeviceInfo> found;
  hid_device_info* all = hid_enumerate(0, 0);
  for (const hid_device_info* device = all; device != nullptr; device = device->next) {
    if (device->path != nullptr && path == device->path) {
      found = DeviceInfo{{device->vendor_id, device->product_id, device->release_number},
                         wideText(device->product_string),
                         wideText(device->serial_number)};
      break;
    }
  }
  hid_free_enumeration(all);
  return found;
}

// /dev/hidrawN -> /sys/class/hidraw/hidrawN/device, the HID device the node belongs to.
std::filesystem::path sysfsDevice(const std::string& devicePath) {
  return std::filesystem::path("/sys/class/hidraw") / std::filesystem::path(devicePath).filename() / "device";
}

std::optional<ReportLengths> reportLengthsOf(const std::string& devicePath) {
  std::ifstream file(sysfsDevice(devicePath) / "report_descriptor", std::ios::binary);
  if (!file) {
    return std::nullopt;
  }
  const std::vector<std::uint8_t> descriptor((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return parseReportDescriptor(descriptor);
}

// What serves as the device instance: the sysfs directory of the HID device behind the hidraw
// node, e.g. /sys/devices/.../0003:1A86:E008.0005. The kernel numbers that directory anew each
// time a device is plugged, so the identity holds across rescans and changes with a replug even
// when the replugged device gets the same hidraw node.
std::uint32_t deviceInstanceOf(const std::string& devicePath) {
  std::error_code error;
  const std::string identity = std::filesystem::canonical(sysfsDevice(devicePath), error).string();
  const std::string& hashed = error ? devicePath : identity;
  std::uint32_t hash = 2166136261U;  // FNV-1a
  for (const char c : hashed) {
    hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619U;
  }
  return hash;
}

bool copyToUtf16(const std::wstring& text, HidStringBuffer& buffer) {
  std::size_t at = 0;
  for (const wchar_t wide : text) {
    const auto code = static_cast<std::uint32_t>(wide);
    const std::size_t units = code > 0xFFFF ? 2 : 1;
    if (at + units >= buffer.size()) {
      break;
    }
    if (units == 2) {
      const std::uint32_t value = code - 0x10000;
      buffer[at++] = static_cast<char16_t>(0xD800 + (value >> 10));
      buffer[at++] = static_cast<char16_t>(0xDC00 + (value & 0x3FF));
    } else {
      buffer[at++] = static_cast<char16_t>(code);
    }
  }
  buffer[at] = u'\0';
  return true;
}

class HidapiHandle final : public HidHandle {
public:
  HidapiHandle(std::string path, hid_device* device) : path_(std::move(path)), device_(device) {}
  ~HidapiHandle() override {
    if (device_ != nullptr) {
      hid_close(device_);
    }
  }
  HidapiHandle(const HidapiHandle&) = delete;
  HidapiHandle& operator=(const HidapiHandle&) = delete;

  const std::string& path() const { return path_; }
  hid_device* device() const { return device_; }  // none for a query-only handle

  const std::optional<DeviceInfo>& info() {
    if (!info_) {
      info_ = enumerationOf(path_);
    }
    return info_;
  }
  const std::optional<ReportLengths>& reportLengths() {
    if (!lengthsRead_) {
      reportLengths_ = reportLengthsOf(path_);
      lengthsRead_ = true;
    }
    return reportLengths_;
  }

private:
  std::string path_;
  hid_device* device_;
  std::optional<DeviceInfo> info_;
  std::optional<ReportLengths> reportLengths_;
  bool lengthsRead_ = false;
};

HidapiHandle& hidapiHandle(HidHandle& handle) { return static_cast<HidapiHandle&>(handle); }

// Reads a string from the open device, or from the enumeration for a query-only handle.
bool readString(HidapiHandle& handle, HidStringBuffer& buffer,
                int (*fromDevice)(hid_device*, wchar_t*, size_t), std::wstring DeviceInfo::*fromEnumeration) {
  if (handle.device() != nullptr) {
    std::array<wchar_t, kHidStringUnits> wide{};
    if (fromDevice(handle.device(), wide.data(), wide.size()) != 0) {
      return false;
    }
    return copyToUtf16(std::wstring(wide.data()), buffer);
  }
  const std::optional<DeviceInfo>& info = handle.info();
  return info && copyToUtf16((*info).*fromEnumeration, buffer);
}

}  // namespace

HidapiPlatform::HidapiPlatform() : initialised_(hid_init() == 0) {}

HidapiPlatform::~HidapiPlatform() {
  stopWatching();
  if (initialised_) {
    hid_exit();
  }
}

std::optional<std::vector<HidInterface>> HidapiPlatform::presentInterfaces() {
  std::vector<HidInterface> interfaces;
  // No devices and a failed enumeration both come back empty; either way there is nothing to list.
  hid_device_info* all = hid_enumerate(0, 0);
  for (const hid_device_info* device = all; device != nullptr; device = device->next) {
    if (device->path != nullptr) {
      interfaces.push_back(HidInterface{device->path, deviceInstanceOf(device->path)});
    }
  }
  hid_free_enumeration(all);
  return interfaces;
}

std::unique_ptr<HidHandle> HidapiPlatform::open(const std::string& devicePath, OpenMode mode, std::uint32_t& error) {
  if (mode == OpenMode::QueryOnly) {
    auto handle = std::make_unique<HidapiHandle>(devicePath, nullptr);
    if (!handle->info()) {
      error = ENODEV;
      return nullptr;
    }
    return handle;
  }
  errno = 0;
  hid_device* device = hid_open_path(devicePath.c_str());
  if (device == nullptr) {
    const int cause = errno;
    std::error_code exists;
    error = static_cast<std::uint32_t>(cause != 0 ? cause : std::filesystem::exists(devicePath, exists) ? EACCES : ENODEV);
    return nullptr;
  }
  return std::make_unique<HidapiHandle>(devicePath, device);
}

std::optional<HidAttributes> HidapiPlatform::attributes(HidHandle& handle) {
  const std::optional<DeviceInfo>& info = hidapiHandle(handle).info();
  if (!info) {
    return std::nullopt;
  }
  return info->attributes;
}

std::optional<std::uint16_t> HidapiPlatform::inputReportLength(HidHandle& handle) {
  const std::optional<ReportLengths>& lengths = hidapiHandle(handle).reportLengths();
  if (!lengths) {
    return std::nullopt;
  }
  return lengths->input;
}

bool HidapiPlatform::productString(HidHandle& handle, HidStringBuffer& buffer) {
  return readString(hidapiHandle(handle), buffer, hid_get_product_string, &DeviceInfo::product);
}

bool HidapiPlatform::serialNumberString(HidHandle& handle, HidStringBuffer& buffer) {
  return readString(hidapiHandle(handle), buffer, hid_get_serial_number_string, &DeviceInfo::serial);
}

// hidraw reads no string descriptors by index, so a device's language list (string 0) cannot be
// had here. The controller then counts the device as having no serial number, by its rule for a
// device that gives nothing for string 0.
bool HidapiPlatform::indexedString(HidHandle&, int, HidStringBuffer&) { return false; }

bool HidapiPlatform::setFeature(HidHandle& handle, std::span<const std::uint8_t> report) {
  hid_device* device = hidapiHandle(handle).device();
  return device != nullptr && !report.empty() && hid_send_feature_report(device, report.data(), report.size()) >= 0;
}

ReadOutcome HidapiPlatform::readReport(HidHandle& handle, std::span<std::uint8_t> report, int waitMs) {
  HidapiHandle& hidapi = hidapiHandle(handle);
  if (hidapi.device() == nullptr || report.empty()) {
    return {ReadOutcome::Status::Failed, 0, static_cast<std::uint32_t>(ENODEV)};
  }
  // The controller expects the report ID first. hidapi gives it only for devices that number
  // their reports; for the others (the meter's cable) it is 0 and goes in front of the data.
  const std::optional<ReportLengths>& lengths = hidapi.reportLengths();
  const bool numbered = lengths && lengths->usesReportIds;
  const std::span<std::uint8_t> data = numbered ? report : report.subspan(1);
  if (!numbered) {
    report[0] = 0;
  }
  errno = 0;
  const int count = hid_read_timeout(hidapi.device(), data.data(), data.size(), waitMs);
  if (count > 0) {
    return {ReadOutcome::Status::Completed, static_cast<std::size_t>(count) + (numbered ? 0 : 1), 0};
  }
  const int cause = errno;
  if (count == 0 || cause == EINTR) {
    return {ReadOutcome::Status::TimedOut, 0, 0};
  }
  // A node that went away hangs up the poll without an errno.
  return {ReadOutcome::Status::Failed, 0, static_cast<std::uint32_t>(cause != 0 && cause != EAGAIN ? cause : ENODEV)};
}

std::uint32_t HidapiPlatform::deviceNotConnectedError() const { return ENODEV; }

std::string HidapiPlatform::errorMessage(std::uint32_t error) const {
  return std::error_code(static_cast<int>(error), std::generic_category()).message();
}

void HidapiPlatform::watchDeviceChanges(std::function<void()> onChange) {
  stopWatching();
  onChange_ = std::move(onChange);
  if (!onChange_) {
    return;
  }
  udev_ = udev_new();
  if (udev_ == nullptr) {
    return;
  }
  // "udev" events come after udev has applied its rules, so a new node's permissions are set.
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ == nullptr || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    stopWatching();
    return;
  }
  notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    if (udev_device* device = udev_monitor_receive_device(monitor_)) {
      udev_device_unref(device);
    }
    if (onChange_) {
      onChange_();
    }
  });
}

void HidapiPlatform::stopWatching() {
  delete notifier_;
  notifier_ = nullptr;
  if (monitor_ != nullptr) {
    udev_monitor_unref(monitor_);
    monitor_ = nullptr;
  }
  if (udev_ != nullptr) {
    udev_unref(udev_);
    udev_ = nullptr;
  }
}

}  // namespace qm::link
