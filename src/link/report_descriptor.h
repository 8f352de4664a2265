#pragma once

// Reads the report lengths out of a HID report descriptor, counted the way Windows' HidP_GetCaps
// counts them, because the device controller was written against those numbers: a length is the
// largest report of its kind in bytes, plus one byte for the report ID. Windows counts that byte
// also when the device numbers no reports (the ID is then 0 and never travels on the wire).
//
// The parser is strict: anything it cannot account for makes the whole descriptor unusable rather
// than giving a length that might be wrong. The kernel has parsed every descriptor we read from
// sysfs before us, so in practice only damaged or hand-made input is refused.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qm::link {

struct ReportLengths {
  // Bytes, report ID byte included; 0 when the descriptor declares no report of that kind.
  std::uint16_t input = 0;
  std::uint16_t output = 0;
  std::uint16_t feature = 0;
  // Whether reports are numbered (a Report ID item appears). When they are not, hidraw hands input
  // reports over without an ID byte.
  bool usesReportIds = false;
};

// How deeply Push items may nest; a bound on what damaged input can make the parser hold.
inline constexpr std::size_t kMaxPushDepth = 64;

// nullopt for a descriptor that is:
// - empty or declares no collection (such a descriptor describes no HID interface; Windows would
//   not create one, so there is no length to report),
// - cut short inside an item (short or long),
// - unbalanced: End Collection without Collection, a collection left open, Pop without Push,
//   or Push nested deeper than kMaxPushDepth,
// - using a reserved main or global tag, or a reserved item type,
// - using Report ID 0 or above 255, or mixing numbered reports with reports declared before any
//   Report ID,
// - declaring a report longer than 65534 bytes (the length plus its ID byte must fit 16 bits).
// Long items (prefix 0xFE) are skipped; unknown local items are ignored.
std::optional<ReportLengths> parseReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace qm::link
