#include "link/report_reassembler.h"

#include "core/meter_frame.h"

#include <algorithm>
#include <limits>

namespace qm::link {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

ReportReassembler::ReportReassembler(FrameSink frameSink) : frameSink_(std::move(frameSink)) {
  frameHex_.reserve(2 * kFrameTextLength);
}

void ReportReassembler::addReport(std::uint8_t /*reportId*/, const std::uint8_t* data, std::uint16_t size) {
  if (size >= 1 && emptyReportCount_ < std::numeric_limits<std::int32_t>::max()) {
    ++emptyReportCount_;
  }
  const unsigned count = size >= 1 ? data[0] & 0x0FU : 0;
  if (count >= 1 && count <= 9) {
    emptyReportCount_ = 0;
    frameInProgress_ = true;
    // A count beyond the report's end takes only the bytes that are there.
    const std::size_t present = std::min<std::size_t>(count, size - 1U);
    const std::size_t room = (kMaxFrameHex - frameHex_.size()) / 2;
    for (std::size_t i = 1; i <= std::min(present, room); ++i) {
      frameHex_.push_back(kHexDigits[data[i] >> 4]);
      frameHex_.push_back(kHexDigits[data[i] & 0x0F]);
    }
    return;
  }
  if (frameInProgress_) {
    endFrame();
  }
  frameInProgress_ = false;
}

void ReportReassembler::endFrame() {
  const std::string_view end = std::string_view(frameHex_).substr(
      std::min(frameHex_.size(), kFrameEndOffset), kFrameEnd.size());
  if (end == kFrameEnd && frameSink_) {
    frameSink_(frameHex_);
  }
  frameHex_.clear();
}

}  // namespace qm::link
