#pragma once

// Callbacks of the HID layer. Like the event properties of a component, they can be compared: the
// controller hands its callbacks on to exactly those devices that still hold the controller's old
// one. Copies of one callback compare equal; two callbacks made separately never do.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

namespace qm::link {

template <typename Signature>
class HidEvent;

template <typename Result, typename... Args>
class HidEvent<Result(Args...)> {
public:
  HidEvent() = default;
  template <typename Callable>
  explicit HidEvent(Callable&& callable)
      : function_(std::make_shared<const std::function<Result(Args...)>>(std::forward<Callable>(callable))) {}

  explicit operator bool() const { return function_ != nullptr; }
  Result operator()(Args... args) const { return (*function_)(std::forward<Args>(args)...); }

  bool operator==(const HidEvent& other) const { return function_ == other.function_; }

private:
  std::shared_ptr<const std::function<Result(Args...)>> function_;
};

class HidDevice;
class HidDeviceController;

// Raised while devices are made: the controller cannot be made, or a device cannot be opened or
// identified.
class HidControllerError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

using HidPlugEvent = HidEvent<void(HidDevice&)>;
using HidEnumerateEvent = HidEvent<bool(HidDevice&, int)>;
using HidDataEvent = HidEvent<void(HidDevice&, std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size)>;
using HidDataErrorEvent = HidEvent<void(HidDevice&, std::uint32_t error)>;
using HidChangeEvent = HidEvent<void(HidDeviceController&)>;

}  // namespace qm::link
