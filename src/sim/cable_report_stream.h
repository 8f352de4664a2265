#pragma once

// The virtual cable's converter chip: the meter's serial bytes at 2400 baud, cut into the 8-byte
// input reports the chip sends every 12 ms. Each report carries a count byte F0 + n and the n
// (at most 7) bytes that completed on the wire since the last report; while the line is idle the
// reports carry no payload. Virtual time only: the caller decides how fast reports are taken.

#include "sim/meter_model.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>

namespace qm::sim {

using CableReport = std::array<std::uint8_t, 8>;

class CableReportStream {
public:
  static constexpr std::chrono::microseconds kReportPeriod{12'000};
  // Start bit, eight data bits, stop bit at 2400 baud.
  static constexpr std::chrono::microseconds kByteTime{10'000'000 / 2400};
  static constexpr std::chrono::milliseconds kDefaultFramePeriod{400};

  // `programmeStart`: how far into the meter's programme the stream begins.
  explicit CableReportStream(std::chrono::milliseconds framePeriod = kDefaultFramePeriod,
                             std::chrono::milliseconds programmeStart = std::chrono::milliseconds(0));

  // The report of the next 12 ms tick.
  CableReport nextReport();

  // Virtual time of the last report taken.
  std::chrono::microseconds now() const { return clock_; }

private:
  void sendBytesUpTo(std::chrono::microseconds time);

  MeterModel meter_;
  std::chrono::microseconds framePeriod_;
  std::chrono::milliseconds programmeStart_;
  std::chrono::microseconds clock_{0};
  // The frame on the wire and how many of its bytes have completed.
  std::int64_t frameIndex_ = 0;
  std::array<std::uint8_t, 22> frame_{};
  std::size_t bytesSent_ = 0;
  std::deque<std::uint8_t> waiting_;  // completed on the wire, not yet in a report
};

}  // namespace qm::sim
