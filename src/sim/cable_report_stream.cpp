#include "sim/cable_report_stream.h"

#include "sim/frame_encoder.h"

namespace qm::sim {

namespace {
constexpr std::size_t kMaxPayload = 7;
}

CableReportStream::CableReportStream(std::chrono::milliseconds framePeriod, std::chrono::milliseconds programmeStart)
    : framePeriod_(framePeriod), programmeStart_(programmeStart), frame_(encodeFrame(meter_.displayAt(programmeStart))) {}

void CableReportStream::sendBytesUpTo(std::chrono::microseconds time) {
  for (;;) {
    const std::chrono::microseconds frameStart = framePeriod_ * frameIndex_;
    if (bytesSent_ == frame_.size()) {
      const std::chrono::microseconds nextStart = frameStart + framePeriod_;
      if (nextStart > time) {
        return;
      }
      ++frameIndex_;
      bytesSent_ = 0;
      frame_ = encodeFrame(meter_.displayAt(programmeStart_ + std::chrono::duration_cast<std::chrono::milliseconds>(nextStart)));
      continue;
    }
    const std::chrono::microseconds byteDone = frameStart + kByteTime * static_cast<std::int64_t>(bytesSent_ + 1);
    if (byteDone > time) {
      return;
    }
    waiting_.push_back(frame_[bytesSent_++]);
  }
}

CableReport CableReportStream::nextReport() {
  clock_ += kReportPeriod;
  sendBytesUpTo(clock_);
  CableReport report{};
  std::size_t count = 0;
  while (count < kMaxPayload && !waiting_.empty()) {
    report[1 + count++] = waiting_.front();
    waiting_.pop_front();
  }
  report[0] = static_cast<std::uint8_t>(0xF0 | count);
  return report;
}

}  // namespace qm::sim
