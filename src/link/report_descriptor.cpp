#include "link/report_descriptor.h"

#include <map>
#include <vector>

namespace qm::link {
namespace {

enum class ItemType : std::uint8_t { Main = 0, Global = 1, Local = 2 };

namespace tag {
constexpr std::uint8_t kInput = 0x8;
constexpr std::uint8_t kOutput = 0x9;
constexpr std::uint8_t kFeature = 0xB;
constexpr std::uint8_t kReportSize = 0x7;
constexpr std::uint8_t kReportId = 0x8;
constexpr std::uint8_t kReportCount = 0x9;
constexpr std::uint8_t kPush = 0xA;
constexpr std::uint8_t kPop = 0xB;
}  // namespace tag

constexpr std::uint8_t kLongItemPrefix = 0xFE;

struct GlobalState {
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint32_t reportId = 0;
};

// Bits per report ID, for one kind of report.
using ReportBits = std::map<std::uint32_t, std::uint64_t>;

std::uint16_t longestReport(const ReportBits& bits) {
  std::uint64_t longest = 0;
  for (const auto& [id, count] : bits) {
    longest = std::max(longest, (count + 7) / 8);
  }
  if (bits.empty()) {
    return 0;
  }
  return static_cast<std::uint16_t>(std::min<std::uint64_t>(longest + 1, 0xFFFF));
}

}  // namespace

std::optional<ReportLengths> parseReportDescriptor(std::span<const std::uint8_t> descriptor) {
  if (descriptor.empty()) {
    return std::nullopt;
  }
  GlobalState global;
  std::vector<GlobalState> stack;
  ReportBits input;
  ReportBits output;
  ReportBits feature;
  bool usesReportIds = false;

  std::size_t at = 0;
  while (at < descriptor.size()) {
    const std::uint8_t prefix = descriptor[at];
    if (prefix == kLongItemPrefix) {
      // Prefix, data size, long tag, then the data; nothing of it counts for report lengths.
      if (at + 3 > descriptor.size()) {
        return std::nullopt;
      }
      const std::size_t dataSize = descriptor[at + 1];
      if (at + 3 + dataSize > descriptor.size()) {
        return std::nullopt;
      }
      at += 3 + dataSize;
      continue;
    }
    static constexpr std::size_t kDataSizes[] = {0, 1, 2, 4};
    const std::size_t dataSize = kDataSizes[prefix & 0x3];
    if (at + 1 + dataSize > descriptor.size()) {
      return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < dataSize; ++i) {
      value |= static_cast<std::uint32_t>(descriptor[at + 1 + i]) << (8 * i);
    }
    const auto type = static_cast<ItemType>((prefix >> 2) & 0x3);
    const std::uint8_t itemTag = prefix >> 4;
    at += 1 + dataSize;

    if (type == ItemType::Main) {
      ReportBits* kind = itemTag == tag::kInput ? &input : itemTag == tag::kOutput ? &output : itemTag == tag::kFeature ? &feature : nullptr;
      if (kind != nullptr) {
        (*kind)[global.reportId] += static_cast<std::uint64_t>(global.reportSize) * global.reportCount;
      }
    } else if (type == ItemType::Global) {
      switch (itemTag) {
        case tag::kReportSize:
          global.reportSize = value;
          break;
        case tag::kReportCount:
          global.reportCount = value;
          break;
        case tag::kReportId:
          if (value == 0) {
            return std::nullopt;  // report ID 0 is reserved
          }
          global.reportId = value;
          usesReportIds = true;
          break;
        case tag::kPush:
          stack.push_back(global);
          break;
        case tag::kPop:
          if (stack.empty()) {
            return std::nullopt;
          }
          global = stack.back();
          stack.pop_back();
          break;
        default:
          break;
      }
    }
  }
  return ReportLengths{longestReport(input), longestReport(output), longestReport(feature), usesReportIds};
}

}  // namespace qm::link
