#include "link/report_descriptor.h"

#include <array>
#include <cstddef>

namespace qm::link {

namespace {

// Item types and tags of the HID 1.11 short item encoding (section 6.2.2).
constexpr std::uint8_t kTypeMain = 0;
constexpr std::uint8_t kTypeGlobal = 1;
constexpr std::uint8_t kTypeLocal = 2;
constexpr std::uint8_t kLongItemPrefix = 0xFE;

constexpr std::uint8_t kMainInput = 0x8;
constexpr std::uint8_t kMainOutput = 0x9;
constexpr std::uint8_t kMainCollection = 0xA;
constexpr std::uint8_t kMainFeature = 0xB;
constexpr std::uint8_t kMainEndCollection = 0xC;

constexpr std::uint8_t kGlobalReportSize = 0x7;
constexpr std::uint8_t kGlobalReportId = 0x8;
constexpr std::uint8_t kGlobalReportCount = 0x9;
constexpr std::uint8_t kGlobalPush = 0xA;
constexpr std::uint8_t kGlobalPop = 0xB;
constexpr std::uint8_t kGlobalLastDefined = kGlobalPop;

// The longest report whose length plus ID byte still fits HidP_GetCaps' 16-bit fields.
constexpr std::uint64_t kMaxReportBits = (0xFFFFull - 1) * 8;

// Only the global items that decide report lengths; Push and Pop save and restore all of them.
struct GlobalState {
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint32_t reportId = 0;
};

enum ReportKind : std::size_t { kInput, kOutput, kFeature, kKinds };

struct ReportBits {
  std::array<std::uint64_t, 256> bits{};
  std::array<bool, 256> declared{};
};

std::uint32_t unsignedValue(std::span<const std::uint8_t> data) {
  std::uint32_t value = 0;
  for (std::size_t i = data.size(); i-- > 0;) {
    value = (value << 8) | data[i];
  }
  return value;
}

std::uint16_t lengthWithId(const ReportBits& reports) {
  std::uint64_t largest = 0;
  bool any = false;
  for (std::size_t id = 0; id < reports.bits.size(); ++id) {
    if (reports.declared[id]) {
      any = true;
      if (reports.bits[id] > largest) {
        largest = reports.bits[id];
      }
    }
  }
  if (!any) {
    return 0;
  }
  // Bits are packed across items and only the report as a whole is padded to whole bytes.
  return static_cast<std::uint16_t>((largest + 7) / 8 + 1);
}

}  // namespace

std::optional<ReportLengths> parseReportDescriptor(std::span<const std::uint8_t> descriptor) {
  GlobalState global;
  std::array<GlobalState, kMaxPushDepth> pushed{};
  std::size_t pushDepth = 0;
  std::array<ReportBits, kKinds> reports{};
  int openCollections = 0;
  bool sawCollection = false;
  bool usesReportIds = false;

  std::size_t pos = 0;
  while (pos < descriptor.size()) {
    const std::uint8_t prefix = descriptor[pos];
    if (prefix == kLongItemPrefix) {
      // bDataSize, bLongItemTag, then the data. No long item tags are defined, so skip it whole.
      if (descriptor.size() - pos < 3) {
        return std::nullopt;
      }
      const std::size_t dataSize = descriptor[pos + 1];
      if (descriptor.size() - pos - 3 < dataSize) {
        return std::nullopt;
      }
      pos += 3 + dataSize;
      continue;
    }

    const std::size_t sizeCode = prefix & 0x3u;
    const std::size_t dataSize = sizeCode == 3 ? 4 : sizeCode;
    const auto type = static_cast<std::uint8_t>((prefix >> 2) & 0x3u);
    const auto tag = static_cast<std::uint8_t>(prefix >> 4);
    if (descriptor.size() - pos - 1 < dataSize) {
      return std::nullopt;
    }
    const std::uint32_t value = unsignedValue(descriptor.subspan(pos + 1, dataSize));
    pos += 1 + dataSize;

    switch (type) {
      case kTypeMain: {
        std::size_t kind = kKinds;
        switch (tag) {
          case kMainInput: kind = kInput; break;
          case kMainOutput: kind = kOutput; break;
          case kMainFeature: kind = kFeature; break;
          case kMainCollection:
            ++openCollections;
            sawCollection = true;
            break;
          case kMainEndCollection:
            if (openCollections == 0) {
              return std::nullopt;
            }
            --openCollections;
            break;
          default:
            return std::nullopt;
        }
        if (kind != kKinds) {
          auto& report = reports[kind];
          report.declared[global.reportId] = true;
          report.bits[global.reportId] += std::uint64_t{global.reportSize} * global.reportCount;
          if (report.bits[global.reportId] > kMaxReportBits) {
            return std::nullopt;
          }
        }
        break;
      }
      case kTypeGlobal:
        if (tag > kGlobalLastDefined) {
          return std::nullopt;
        }
        switch (tag) {
          case kGlobalReportSize: global.reportSize = value; break;
          case kGlobalReportCount: global.reportCount = value; break;
          case kGlobalReportId:
            if (value == 0 || value > 255) {
              return std::nullopt;
            }
            global.reportId = value;
            usesReportIds = true;
            break;
          case kGlobalPush:
            if (pushDepth == pushed.size()) {
              return std::nullopt;
            }
            pushed[pushDepth++] = global;
            break;
          case kGlobalPop:
            if (pushDepth == 0) {
              return std::nullopt;
            }
            global = pushed[--pushDepth];
            break;
          default:
            // Usage page, logical and physical extents, units: they do not change any length.
            break;
        }
        break;
      case kTypeLocal:
        // Usages, designators, strings and delimiters describe fields but never size them.
        break;
      default:
        // Type 3 is reserved apart from the long item prefix handled above.
        return std::nullopt;
    }
  }

  if (!sawCollection || openCollections != 0) {
    return std::nullopt;
  }
  if (usesReportIds) {
    // A report declared before the first Report ID (or after a Pop back to that state) would
    // travel without an ID byte among numbered reports; no reader could tell it apart.
    for (const auto& report : reports) {
      if (report.declared[0]) {
        return std::nullopt;
      }
    }
  }

  ReportLengths lengths;
  lengths.input = lengthWithId(reports[kInput]);
  lengths.output = lengthWithId(reports[kOutput]);
  lengths.feature = lengthWithId(reports[kFeature]);
  lengths.usesReportIds = usesReportIds;
  return lengths;
}

}  // namespace qm::link
