#include "link/hid_device_controller.h"

#include <algorithm>
#include <atomic>

namespace qm::link {
namespace {

std::atomic<int> liveControllers{0};

}  // namespace

HidDeviceController::HidDeviceController(HidPlatform& platform) : platform_(platform) {
  if (liveControllers.fetch_add(1) + 1 > 1) {
    liveControllers.fetch_sub(1);
    throw HidControllerError("Only one THidDeviceController allowed per program");
  }
  for (std::unique_ptr<HidDevice>& device : scanDevices()) {
    device->owner_ = this;
    HidDevice* listed = device.get();
    listed_.push_back({listed, std::move(device)});
  }
  if (platform_.servicesPresent()) {
    platform_.watchDeviceChanges([this] { rescan(); });
  }
}

HidDeviceController::~HidDeviceController() {
  liveControllers.fetch_sub(1);
  onDeviceChange_ = {};
  onDeviceUnplug_ = {};
  onEnumerate_ = {};
  if (platform_.servicesPresent()) {
    platform_.watchDeviceChanges({});
  }
  // Lent devices stay with the application, marked unplugged; the rest go with the controller.
  std::vector<ListedDevice> listed = std::move(listed_);
  listed_.clear();
  for (ListedDevice& entry : listed) {
    entry.device->owner_ = nullptr;
    if (entry.device->claimed_) {
      entry.device->markUnplugged();
    }
  }
}

std::unique_ptr<HidDevice> HidDeviceController::createDevice(std::unique_ptr<HidDeviceLocation> location) {
  return std::unique_ptr<HidDevice>(new HidDevice(this, platform_, std::move(location)));
}

std::vector<std::unique_ptr<HidDevice>> HidDeviceController::scanDevices() {
  std::vector<std::unique_ptr<HidDevice>> fresh;
  if (!platform_.servicesPresent()) {
    return fresh;
  }
  const std::optional<std::vector<HidInterface>> interfaces = platform_.presentInterfaces();
  if (!interfaces) {
    return fresh;
  }
  for (const HidInterface& hidInterface : *interfaces) {
    try {
      std::unique_ptr<HidDevice> device =
          createDevice(std::make_unique<HidDeviceLocation>(HidDeviceLocation{hidInterface.devicePath, hidInterface.deviceInstance}));
      // Not listed yet: a duplicate destroyed below must not look for its place in the list.
      device->owner_ = nullptr;
      fresh.push_back(std::move(device));
    } catch (const HidControllerError&) {
      // A device that cannot be opened or identified is left out of the list.
    }
  }
  return fresh;
}

void HidDeviceController::raiseWithEnumeration(const HidPlugEvent& event, HidDevice& device) {
  if (!event) {
    return;
  }
  device.setInEnumeration(true);
  event(device);
  device.setInEnumeration(false);
}

void HidDeviceController::rescan() {
  std::vector<std::unique_ptr<HidDevice>> fresh = scanDevices();
  auto inFresh = [&](const HidDevice& device) {
    return std::any_of(fresh.begin(), fresh.end(), [&](const std::unique_ptr<HidDevice>& f) {
      return f->location().deviceInstance == device.location().deviceInstance;
    });
  };
  bool changed = false;

  for (std::size_t i = listed_.size(); i-- > 0;) {
    HidDevice* device = listed_[i].device;
    if (device->present_ && inFresh(*device)) {
      continue;
    }
    device->markUnplugged();
    raiseWithEnumeration(onRemoval_, *device);
    if (!device->claimed_) {
      device->owner_ = nullptr;
      listed_.erase(listed_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    changed = true;
  }

  for (std::unique_ptr<HidDevice>& device : fresh) {
    const bool listed = std::any_of(listed_.begin(), listed_.end(), [&](const ListedDevice& entry) {
      const HidDevice* d = entry.device;
      return d->present_ && d->location().deviceInstance == device->location().deviceInstance;
    });
    if (listed) {
      continue;
    }
    device->owner_ = this;
    HidDevice* arrived = device.get();
    listed_.push_back({arrived, std::move(device)});
    raiseWithEnumeration(onArrival_, *arrived);
    changed = true;
  }

  if (onDeviceChange_ && (changed || !deviceChangeRaised_)) {
    deviceChangeRaised_ = true;
    const HidChangeEvent event = onDeviceChange_;
    event(*this);
  }
}

int HidDeviceController::enumerateDevices() {
  int count = 0;
  for (std::size_t i = 0; i < listed_.size(); ++i) {
    HidDevice* device = listed_[i].device;
    if (!device->present_) {
      continue;
    }
    ++count;
    if (!onEnumerate_) {
      break;
    }
    device->setInEnumeration(true);
    const bool goOn = onEnumerate_(*device, static_cast<int>(i));
    device->setInEnumeration(false);
    if (!device->claimed_) {
      device->closeHandles();
    }
    if (!goOn) {
      break;
    }
  }
  return count;
}

std::unique_ptr<HidDevice> HidDeviceController::claimDevice(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= listed_.size()) {
    return nullptr;
  }
  ListedDevice& entry = listed_[static_cast<std::size_t>(index)];
  if (entry.device->claimed_) {
    return nullptr;
  }
  std::unique_ptr<HidDevice> lent = std::move(entry.idle);
  lent->claimed_ = true;
  lent->startReadingIfAllowed();
  return lent;
}

void HidDeviceController::giveBack(HidDevice& device, const HidDataEvent& dataCallback,
                                   const HidPlugEvent& unplugCallback) {
  const auto place = std::find_if(listed_.begin(), listed_.end(),
                                  [&](const ListedDevice& entry) { return entry.device == &device; });
  if (place == listed_.end()) {
    return;
  }
  if (!device.present_) {
    listed_.erase(place);
    return;
  }
  // A fresh, idle object takes the returned one's place; the returned object is being destroyed.
  try {
    std::unique_ptr<HidDevice> fresh = createDevice(std::move(device.location_));
    fresh->dataCallback_ = dataCallback;
    fresh->unplugCallback_ = unplugCallback;
    fresh->sleepTime_ = device.sleepTime_;
    place->device = fresh.get();
    place->idle = std::move(fresh);
  } catch (const HidControllerError&) {
    // The interface can no longer be opened or identified: it leaves the list, and the next
    // rescan lists it again if it comes back.
    listed_.erase(place);
  }
}

std::vector<HidDevice*> HidDeviceController::devices() const {
  std::vector<HidDevice*> devices;
  devices.reserve(listed_.size());
  for (const ListedDevice& entry : listed_) {
    devices.push_back(entry.device);
  }
  return devices;
}

void HidDeviceController::setReadThreadSleepTime(int ms) {
  if (ms == readThreadSleepTime_) {
    return;
  }
  for (HidDevice* device : devices()) {
    if (device->sleepTime_ == readThreadSleepTime_) {
      device->setSleepTime(ms);
    }
  }
  readThreadSleepTime_ = ms;
}

void HidDeviceController::setOnDeviceChange(HidChangeEvent event) {
  if (event == onDeviceChange_) {
    return;
  }
  onDeviceChange_ = std::move(event);
  rescan();
  deviceChangeRaised_ = true;
}

void HidDeviceController::setOnDeviceData(HidDataEvent event) {
  if (event == onDeviceData_) {
    return;
  }
  for (HidDevice* device : devices()) {
    if (device->dataCallback_ == onDeviceData_) {
      device->setDataCallback(event);
    }
  }
  onDeviceData_ = std::move(event);
}

void HidDeviceController::setOnDeviceDataError(HidDataErrorEvent event) {
  if (event == onDeviceDataError_) {
    return;
  }
  for (HidDevice* device : devices()) {
    if (device->dataErrorCallback_ == onDeviceDataError_) {
      device->dataErrorCallback_ = event;
    }
  }
  onDeviceDataError_ = std::move(event);
}

void HidDeviceController::setOnDeviceUnplug(HidPlugEvent event) {
  if (event == onDeviceUnplug_) {
    return;
  }
  for (HidDevice* device : devices()) {
    if (device->unplugCallback_ == onDeviceUnplug_) {
      device->unplugCallback_ = event;
    }
  }
  onDeviceUnplug_ = std::move(event);
}

}  // namespace qm::link
