#pragma once

// The seam between the HID device controller and the operating system's HID services: what the
// controller needs of them, and nothing more. Two implementations stand behind it: hidapi on the
// real machine, and the simulated devices of src/sim for tests and for people without a meter.
//
// Threads: every call but readReport() comes from the GUI thread. readReport() comes from a
// device's read thread, on a handle that only that thread uses (opened with OpenMode::AsyncRead),
// while the GUI thread may use other handles of the same device.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qm::link {

// One open device interface. Destroying it closes it.
class HidHandle {
public:
  virtual ~HidHandle() = default;
};

enum class OpenMode {
  ReadWrite,  // queries, feature reports
  QueryOnly,  // no access rights: enough to identify a device that cannot be opened for reading
  AsyncRead,  // the read thread's own handle for input reports
};

struct HidInterface {
  std::string devicePath;       // what open() takes
  std::uint32_t deviceInstance;  // stays the same for one plugged device across rescans
};

struct HidAttributes {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t versionNumber = 0;
};

// HID strings come in a buffer of 254 UTF-16 units (508 bytes) that the caller pre-fills.
inline constexpr std::size_t kHidStringUnits = 254;
using HidStringBuffer = std::array<char16_t, kHidStringUnits>;

struct ReadOutcome {
  enum class Status { Completed, TimedOut, Failed };
  Status status = Status::TimedOut;
  std::size_t byteCount = 0;  // Completed: bytes written to the report buffer, report ID included
  std::uint32_t error = 0;    // Failed: the platform's error code
};

class HidPlatform {
public:
  virtual ~HidPlatform() = default;

  // Whether the HID services could be loaded at all; without them the device list stays empty and
  // nothing is watched.
  virtual bool servicesPresent() const = 0;

  // The HID interfaces present now, in the platform's order; none when the platform cannot list.
  virtual std::optional<std::vector<HidInterface>> presentInterfaces() = 0;

  // Opens a device; null when it cannot be opened in that mode, with the reason in `error`.
  virtual std::unique_ptr<HidHandle> open(const std::string& devicePath, OpenMode mode, std::uint32_t& error) = 0;

  virtual std::optional<HidAttributes> attributes(HidHandle& handle) = 0;
  // Length of one input report in bytes, report ID byte included.
  virtual std::optional<std::uint16_t> inputReportLength(HidHandle& handle) = 0;

  // Fill `buffer` from its start and leave the rest as the caller filled it; false on failure.
  virtual bool productString(HidHandle& handle, HidStringBuffer& buffer) = 0;
  virtual bool serialNumberString(HidHandle& handle, HidStringBuffer& buffer) = 0;
  virtual bool indexedString(HidHandle& handle, int stringIndex, HidStringBuffer& buffer) = 0;

  // Sends one feature report; its first byte is the report ID (0 without numbered reports).
  virtual bool setFeature(HidHandle& handle, std::span<const std::uint8_t> report) = 0;

  // Waits at most `waitMs` for one input report and writes it, report ID first, into `report`.
  virtual ReadOutcome readReport(HidHandle& handle, std::span<std::uint8_t> report, int waitMs) = 0;

  // The error code a read reports when the device is gone or was never opened for reading.
  virtual std::uint32_t deviceNotConnectedError() const = 0;
  // The platform's message text for an error code.
  virtual std::string errorMessage(std::uint32_t error) const = 0;

  // `onChange` runs on the GUI thread whenever the set of HID devices may have changed. An empty
  // function stops the watch.
  virtual void watchDeviceChanges(std::function<void()> onChange) = 0;
};

}  // namespace qm::link
