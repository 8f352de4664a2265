#include "link/hidapi_platform.h"

#include "link/hidraw_node.h"

#include <QAbstractEventDispatcher>
#include <QObject>
#include <QSocketNotifier>

#include <hidapi.h>
#include <libudev.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace qm::link {

static_assert(sizeof(wchar_t) == 4, "hidapi's wide strings are taken to be UTF-32");

namespace {

// hid_init() and hid_exit() act on the whole library; the last platform to go finalises it.
std::mutex hidapiUsersMutex;
int hidapiUsers = 0;

// What hidapi enumerates for one device, kept for a handle that may not open the node.
struct EnumeratedDevice {
  HidAttributes attributes;
  std::wstring product;
  std::wstring serial;
};

class HidapiHandle final : public HidHandle {
public:
  HidapiHandle(std::string devicePath, OpenMode openMode, hid_device* openDevice)
      : path(std::move(devicePath)), mode(openMode), device(openDevice) {}
  ~HidapiHandle() override {
    if (device != nullptr) {
      hid_close(device);
    }
  }
  HidapiHandle(const HidapiHandle&) = delete;
  HidapiHandle& operator=(const HidapiHandle&) = delete;

  const std::string path;
  const OpenMode mode;
  hid_device* const device;  // null for OpenMode::QueryOnly
  // Read at open on the GUI thread, so that the read thread never needs sysfs or udev.
  std::optional<ReportLengths> lengths;
  // QueryOnly: what the enumeration said at open. Open handles ask hidapi instead.
  std::optional<EnumeratedDevice> enumerated;
  std::optional<HidAttributes> attributes;  // cached after the first answer
};

HidapiHandle* ours(HidHandle& handle) { return dynamic_cast<HidapiHandle*>(&handle); }

std::uint32_t fnv1a32(std::string_view text) {
  std::uint32_t hash = 2166136261u;
  for (const char c : text) {
    hash ^= static_cast<std::uint8_t>(c);
    hash *= 16777619u;
  }
  return hash;
}

std::wstring wideOrEmpty(const wchar_t* text) { return text != nullptr ? std::wstring(text) : std::wstring(); }

EnumeratedDevice fromInfo(const hid_device_info& info) {
  EnumeratedDevice device;
  device.attributes.vendorId = info.vendor_id;
  device.attributes.productId = info.product_id;
  device.attributes.versionNumber = info.release_number;
  device.product = wideOrEmpty(info.product_string);
  device.serial = wideOrEmpty(info.serial_number);
  return device;
}

bool sameNode(const char* entryPath, const std::string& path, const struct stat* target) {
  if (entryPath == nullptr) {
    return false;
  }
  if (path == entryPath) {
    return true;
  }
  // The caller may name the node through a udev symlink; the device number settles it.
  struct stat entry {};
  return target != nullptr && S_ISCHR(target->st_mode) && ::stat(entryPath, &entry) == 0 && S_ISCHR(entry.st_mode) &&
         entry.st_rdev == target->st_rdev;
}

// hidapi's enumeration entry for `path`, or nullopt when no HID device has that node now.
std::optional<EnumeratedDevice> enumerate(const std::string& path) {
  struct stat target {};
  const bool haveTarget = ::stat(path.c_str(), &target) == 0;
  hid_device_info* const list = hid_enumerate(0, 0);
  std::optional<EnumeratedDevice> found;
  for (const hid_device_info* entry = list; entry != nullptr; entry = entry->next) {
    if (sameNode(entry->path, path, haveTarget ? &target : nullptr)) {
      found = fromInfo(*entry);
      break;
    }
  }
  hid_free_enumeration(list);
  return found;
}

ReadOutcome failed(int error) {
  ReadOutcome outcome;
  outcome.status = ReadOutcome::Status::Failed;
  outcome.error = static_cast<std::uint32_t>(error);
  return outcome;
}

// strerror_r comes in two flavours; glibc gives the GNU one under _GNU_SOURCE, which g++ defines.
[[maybe_unused]] std::string strerrorText(int result, const char* buffer) {
  return result == 0 ? std::string(buffer) : std::string();
}
[[maybe_unused]] std::string strerrorText(const char* result, const char*) {
  return result != nullptr ? std::string(result) : std::string();
}

bool copyString(HidapiHandle& handle, int (*get)(hid_device*, wchar_t*, std::size_t),
                std::wstring EnumeratedDevice::*enumeratedText, HidStringBuffer& buffer) {
  if (handle.device == nullptr) {
    if (!handle.enumerated) {
      return false;
    }
    storeHidString((*handle.enumerated).*enumeratedText, buffer);
    return true;
  }
  // One more than the buffer holds, so that hidapi's own cut never decides where the text ends.
  std::array<wchar_t, kHidStringUnits + 1> wide{};
  if (get(handle.device, wide.data(), wide.size()) < 0) {
    return false;
  }
  storeHidString(std::wstring_view(wide.data(), ::wcsnlen(wide.data(), wide.size())), buffer);
  return true;
}

}  // namespace

std::vector<HidInterface> interfacesOfNodes(const std::vector<std::string>& listedPaths,
                                            const std::function<std::uint32_t(const std::string&)>& instanceOf) {
  std::vector<HidInterface> interfaces;
  for (const std::string& path : listedPaths) {
    const bool seen = std::any_of(interfaces.begin(), interfaces.end(),
                                  [&path](const HidInterface& known) { return known.devicePath == path; });
    if (!seen) {
      interfaces.push_back(HidInterface{path, instanceOf(path)});
    }
  }
  return interfaces;
}

std::size_t storeHidString(std::wstring_view text, HidStringBuffer& buffer) {
  std::size_t units = 0;
  for (const wchar_t character : text) {
    auto codePoint = static_cast<std::uint32_t>(character);
    if (codePoint == 0) {
      break;
    }
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
      codePoint = 0xFFFD;
    }
    if (codePoint < 0x10000) {
      if (units + 1 > buffer.size()) {
        break;
      }
      buffer[units++] = static_cast<char16_t>(codePoint);
    } else {
      if (units + 2 > buffer.size()) {
        break;
      }
      codePoint -= 0x10000;
      buffer[units++] = static_cast<char16_t>(0xD800 + (codePoint >> 10));
      buffer[units++] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    }
  }
  if (units < buffer.size()) {
    buffer[units] = u'\0';
  }
  return units;
}

HidapiPlatform::HidapiPlatform() {
  {
    const std::lock_guard lock(hidapiUsersMutex);
    servicesPresent_ = hid_init() == 0;
    if (servicesPresent_) {
      ++hidapiUsers;
    }
  }
  // Without udev the devices are still listed and opened; only the identities fall back to what
  // the node itself tells, and changes go unnoticed.
  udev_ = udev_new();
}

HidapiPlatform::~HidapiPlatform() {
  stopWatching();
  onChange_ = {};
  if (udev_ != nullptr) {
    udev_unref(udev_);
  }
  if (servicesPresent_) {
    const std::lock_guard lock(hidapiUsersMutex);
    if (--hidapiUsers == 0) {
      hid_exit();
    }
  }
}

bool HidapiPlatform::servicesPresent() const { return servicesPresent_; }

// What serves as DeviceInstance: Windows gives each plugged device a device instance handle that
// stays while it is plugged and is new after a replug. The nearest thing on Linux is the sysfs path
// of the HID device above the hidraw node, e.g. ".../0003:1A86:E008.0005": the kernel numbers every
// HID device it creates with a counter that only grows, so the path stays put across rescans and
// changes when the cable comes back, even on the same port and the same /dev/hidrawN. Its FNV-1a
// hash gives the 32 bits the seam carries.
std::uint32_t HidapiPlatform::deviceInstanceOf(const std::string& devicePath) {
  struct stat st {};
  if (::stat(devicePath.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
    return fnv1a32(devicePath);
  }
  if (udev_ != nullptr) {
    if (udev_device* const node = udev_device_new_from_devnum(udev_, 'c', st.st_rdev)) {
      udev_device* const hid = udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr);
      const char* const syspath = hid != nullptr ? udev_device_get_syspath(hid) : nullptr;
      const std::optional<std::uint32_t> instance =
          syspath != nullptr ? std::optional(fnv1a32(syspath)) : std::nullopt;
      udev_device_unref(node);  // also releases `hid`, which belongs to it
      if (instance) {
        return *instance;
      }
    }
  }
  // Without udev, sysfs itself resolves to the same path.
  if (const auto directory = hidSysfsDirectory(devicePath)) {
    if (char* const resolved = ::realpath(directory->c_str(), nullptr)) {
      const std::uint32_t instance = fnv1a32(resolved);
      ::free(resolved);
      return instance;
    }
  }
  // Last resort: a node created anew on replug gets a new inode, even under the same name.
  return fnv1a32(devicePath + ':' + std::to_string(st.st_ino) + ':' + std::to_string(st.st_ctim.tv_sec) + '.' +
                 std::to_string(st.st_ctim.tv_nsec));
}

std::optional<std::vector<HidInterface>> HidapiPlatform::presentInterfaces() {
  if (!servicesPresent_) {
    return std::nullopt;
  }
  // hid_enumerate gives NULL both for "nothing plugged" and for a failure, and says which only in
  // prose, so NULL is an empty list.
  hid_device_info* const list = hid_enumerate(0, 0);
  std::vector<std::string> paths;
  try {
    for (const hid_device_info* entry = list; entry != nullptr; entry = entry->next) {
      if (entry->path != nullptr) {
        paths.emplace_back(entry->path);
      }
    }
  } catch (...) {
    hid_free_enumeration(list);
    return std::nullopt;
  }
  hid_free_enumeration(list);
  try {
    return interfacesOfNodes(paths, [this](const std::string& path) { return deviceInstanceOf(path); });
  } catch (...) {
    return std::nullopt;
  }
}

std::unique_ptr<HidHandle> HidapiPlatform::open(const std::string& devicePath, OpenMode mode, std::uint32_t& error) {
  try {
    if (mode == OpenMode::QueryOnly) {
      // Like a Windows open with no access asked for: the node is never opened, so permissions do
      // not matter; what is there to know comes from the enumeration.
      struct stat st {};
      if (::stat(devicePath.c_str(), &st) != 0) {
        error = static_cast<std::uint32_t>(errno != 0 ? errno : ENOENT);
        return nullptr;
      }
      auto enumerated = enumerate(devicePath);
      if (!enumerated) {
        error = ENODEV;
        return nullptr;
      }
      auto handle = std::make_unique<HidapiHandle>(devicePath, mode, nullptr);
      handle->enumerated = std::move(enumerated);
      handle->lengths = readReportLengths(devicePath);
      return handle;
    }

    if (const std::uint32_t refused = refuseBeforeOpening(devicePath); refused != 0) {
      error = refused;
      return nullptr;
    }
    errno = 0;
    hid_device* const device = hid_open_path(devicePath.c_str());
    const int savedErrno = errno;
    if (device == nullptr) {
      error = openFailure(devicePath, savedErrno);
      return nullptr;
    }
    auto handle = std::make_unique<HidapiHandle>(devicePath, mode, device);
    handle->lengths = readReportLengths(devicePath);
    return handle;
  } catch (const std::bad_alloc&) {
    error = ENOMEM;
    return nullptr;
  }
}

std::optional<HidAttributes> HidapiPlatform::attributes(HidHandle& handle) {
  HidapiHandle* const h = ours(handle);
  if (h == nullptr) {
    return std::nullopt;
  }
  if (!h->attributes) {
    if (h->enumerated) {
      h->attributes = h->enumerated->attributes;
    } else if (h->device != nullptr) {
      if (const hid_device_info* const info = hid_get_device_info(h->device)) {
        h->attributes = HidAttributes{info->vendor_id, info->product_id, info->release_number};
      } else {
        try {
          if (const auto enumerated = enumerate(h->path)) {
            h->attributes = enumerated->attributes;
          }
        } catch (const std::bad_alloc&) {
        }
      }
    }
  }
  return h->attributes;
}

std::optional<std::uint16_t> HidapiPlatform::inputReportLength(HidHandle& handle) {
  HidapiHandle* const h = ours(handle);
  if (h == nullptr || !h->lengths) {
    return std::nullopt;
  }
  return h->lengths->input;
}

bool HidapiPlatform::productString(HidHandle& handle, HidStringBuffer& buffer) {
  HidapiHandle* const h = ours(handle);
  return h != nullptr && copyString(*h, &hid_get_product_string, &EnumeratedDevice::product, buffer);
}

bool HidapiPlatform::serialNumberString(HidHandle& handle, HidStringBuffer& buffer) {
  // The cable has no serial number: hidapi then gives an empty text, which is an answer, not a
  // failure.
  HidapiHandle* const h = ours(handle);
  return h != nullptr && copyString(*h, &hid_get_serial_number_string, &EnumeratedDevice::serial, buffer);
}

bool HidapiPlatform::indexedString(HidHandle&, int, HidStringBuffer&) {
  // hidraw offers no way to fetch a string descriptor by index (hidapi's hid_get_indexed_string
  // always fails there), so this always fails and leaves the buffer alone. The controller treats
  // that like a device that returns nothing for string index 0: no serial number.
  return false;
}

bool HidapiPlatform::setFeature(HidHandle& handle, std::span<const std::uint8_t> report) {
  HidapiHandle* const h = ours(handle);
  if (h == nullptr || h->device == nullptr || report.empty()) {
    return false;
  }
  return hid_send_feature_report(h->device, report.data(), report.size()) >= 0;
}

ReadOutcome HidapiPlatform::readReport(HidHandle& handle, std::span<std::uint8_t> report, int waitMs) {
  HidapiHandle* const h = ours(handle);
  if (h == nullptr || h->device == nullptr) {
    return failed(ENODEV);
  }
  // hidraw hands unnumbered reports over without the ID byte that Windows puts first. Without a
  // readable descriptor, unnumbered is the likelier guess: it is how the cable reports.
  const bool addIdByte = !(h->lengths && h->lengths->usesReportIds);
  if (report.size() < (addIdByte ? 2u : 1u)) {
    return failed(EINVAL);
  }
  const std::span<std::uint8_t> target = addIdByte ? report.subspan(1) : report;

  errno = 0;
  const int result = hid_read_timeout(h->device, target.data(), target.size(), waitMs);
  const int savedErrno = errno;
  if (result > 0) {
    if (addIdByte) {
      report[0] = 0;
    }
    ReadOutcome outcome;
    outcome.status = ReadOutcome::Status::Completed;
    outcome.byteCount = static_cast<std::size_t>(result) + (addIdByte ? 1 : 0);
    return outcome;
  }
  if (result == 0 || savedErrno == EINTR) {
    // A signal cut the wait short; nothing was lost, so it is as good as a timeout.
    return ReadOutcome{};
  }
  // hid_read_timeout fails without setting errno when poll() reports a hang-up, and hidraw's read()
  // fails with EIO only once the device has gone: both mean the device is not connected.
  if (savedErrno == 0 || savedErrno == EIO) {
    return failed(ENODEV);
  }
  return failed(savedErrno);
}

std::uint32_t HidapiPlatform::deviceNotConnectedError() const { return ENODEV; }

std::string HidapiPlatform::errorMessage(std::uint32_t error) const {
  std::array<char, 256> text{};
  try {
    std::string message = strerrorText(::strerror_r(static_cast<int>(error), text.data(), text.size()), text.data());
    if (message.empty()) {
      message = "error " + std::to_string(error);
    }
    return message;
  } catch (...) {
    return {};
  }
}

void HidapiPlatform::watchDeviceChanges(std::function<void()> onChange) {
  if (!onChange) {
    stopWatching();
    onChange_ = {};
    return;
  }
  onChange_ = std::move(onChange);
  if (notifier_ || udev_ == nullptr || QAbstractEventDispatcher::instance() == nullptr) {
    return;
  }
  // The "udev" source, not "kernel": its events come after udev has applied its rules, so a node
  // that appears is already accessible to the user when the controller tries to open it.
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ == nullptr) {
    return;
  }
  const int fd = udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) >= 0 &&
                         udev_monitor_enable_receiving(monitor_) >= 0
                     ? udev_monitor_get_fd(monitor_)
                     : -1;
  if (fd < 0) {
    stopWatching();
    return;
  }
  try {
    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { onMonitorReadable(); });
  } catch (...) {
    stopWatching();
  }
}

void HidapiPlatform::onMonitorReadable() {
  if (monitor_ == nullptr) {
    return;
  }
  // One message per wake-up; the notifier fires again while more are queued.
  udev_device* const device = udev_monitor_receive_device(monitor_);
  if (device == nullptr) {
    return;
  }
  udev_device_unref(device);
  if (!onChange_) {
    return;
  }
  // The callback may replace or stop the watch; a copy keeps it alive while it runs.
  const std::function<void()> callback = onChange_;
  notifying_ = true;
  callback();
  notifying_ = false;
}

void HidapiPlatform::stopWatching() {
  if (notifier_) {
    notifier_->setEnabled(false);
    QObject::disconnect(notifier_.get(), nullptr, nullptr, nullptr);
    if (notifying_) {
      // Stopped from inside its own signal: the notifier must outlive the emission.
      notifier_.release()->deleteLater();
    } else {
      notifier_.reset();
    }
  }
  if (monitor_ != nullptr) {
    udev_monitor_unref(monitor_);
    monitor_ = nullptr;
  }
}

}  // namespace qm::link
