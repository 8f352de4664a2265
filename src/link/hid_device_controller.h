#pragma once

// The HID layer the cable connection stands on: a controller that lists the HID devices present,
// keeps the list current as devices come and go, lends device objects to the application and
// takes them back. Used on the GUI thread only.

#include "link/hid_device.h"
#include "link/hid_event.h"
#include "link/hid_platform.h"

#include <memory>
#include <string>
#include <vector>

namespace qm::link {

class HidDeviceController {
public:
  // Fails with HidControllerError when the program already has a controller.
  explicit HidDeviceController(HidPlatform& platform);
  ~HidDeviceController();
  HidDeviceController(const HidDeviceController&) = delete;
  HidDeviceController& operator=(const HidDeviceController&) = delete;

  // Rescans the devices present, updates the list and raises the events.
  void rescan();
  // Offers every present listed device to OnEnumerate; returns how many were present.
  int enumerateDevices();
  // Lends the listed device at `index`; none when the index is outside the list or it is lent.
  // Destroying the returned device gives it back.
  std::unique_ptr<HidDevice> claimDevice(int index);

  // Every listed device, idle or lent, in list order.
  std::vector<HidDevice*> devices() const;

  std::string Version() const { return "1.0.22"; }
  void setVersion(const std::string&) {}

  int readThreadSleepTime() const { return readThreadSleepTime_; }
  void setReadThreadSleepTime(int ms);

  void setOnArrival(HidPlugEvent event) { onArrival_ = std::move(event); }
  void setOnRemoval(HidPlugEvent event) { onRemoval_ = std::move(event); }
  void setOnEnumerate(HidEnumerateEvent event) { onEnumerate_ = std::move(event); }
  void setOnDeviceChange(HidChangeEvent event);
  void setOnDeviceData(HidDataEvent event);
  void setOnDeviceDataError(HidDataErrorEvent event);
  void setOnDeviceUnplug(HidPlugEvent event);
  const HidDataEvent& onDeviceData() const { return onDeviceData_; }
  const HidDataErrorEvent& onDeviceDataError() const { return onDeviceDataError_; }
  const HidPlugEvent& onDeviceUnplug() const { return onDeviceUnplug_; }

private:
  friend class HidDevice;

  std::vector<std::unique_ptr<HidDevice>> scanDevices();
  std::unique_ptr<HidDevice> createDevice(std::unique_ptr<HidDeviceLocation> location);
  void giveBack(HidDevice& device, const HidDataEvent& dataCallback, const HidPlugEvent& unplugCallback);
  void raiseWithEnumeration(const HidPlugEvent& event, HidDevice& device);

  // One place of the list. The controller owns an idle device; a lent one belongs to its borrower,
  // which gives it back by destroying it, and the list only points at it meanwhile.
  struct ListedDevice {
    HidDevice* device = nullptr;
    std::unique_ptr<HidDevice> idle;
  };

  HidPlatform& platform_;
  std::vector<ListedDevice> listed_;
  int readThreadSleepTime_ = 100;
  HidPlugEvent onArrival_;
  HidPlugEvent onRemoval_;
  HidChangeEvent onDeviceChange_;
  bool deviceChangeRaised_ = false;
  HidEnumerateEvent onEnumerate_;
  HidDataEvent onDeviceData_;
  HidDataErrorEvent onDeviceDataError_;
  HidPlugEvent onDeviceUnplug_;
};

}  // namespace qm::link
