#pragma once

// Report lengths from a HID report descriptor, counted the way the HID class services of the
// meter's home platform count them: the longest report of each kind in bytes, plus one byte for
// the report ID, which is counted also when the device numbers no reports. A kind without any
// report has length 0.

#include <cstdint>
#include <optional>
#include <span>

namespace qm::link {

struct ReportLengths {
  std::uint16_t input = 0;
  std::uint16_t output = 0;
  std::uint16_t feature = 0;
  bool usesReportIds = false;
};

// None for an empty, truncated or inconsistent descriptor (a Pop without a Push, say).
std::optional<ReportLengths> parseReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace qm::link
