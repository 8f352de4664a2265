#pragma once

// Joins the payload bytes of the cable's input reports back into meter frames. Each report's first
// data byte counts the payload bytes after it (low four bits, 1 to 9); any other count, or no data
// at all, marks a report without payload, and the first of those after payload ends the frame.
// A frame whose bytes 21 and 22 are CR LF goes on to the decoder as upper-case hex text.
//
// Runs on the GUI thread for every report the cable delivers, so it does a few byte operations per
// report and nothing more.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qm::link {

class ReportReassembler {
public:
  using FrameSink = std::function<void(std::string_view frameText)>;

  explicit ReportReassembler(FrameSink frameSink);

  // The cable's data callback, called once per input report with the bytes after the report ID.
  void addReport(std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size);

  // Payload collected for the current frame, two upper-case hex digits a byte. A cable that never
  // pauses could make it grow without end; only its first kMaxFrameHex characters are kept, which
  // is far more than any frame test or the decoder ever reads.
  std::string_view frameHex() const { return frameHex_; }
  bool frameInProgress() const { return frameInProgress_; }
  // Reports without payload since the last payload report; the link watchdog reads and resets it.
  std::int32_t emptyReportCount() const { return emptyReportCount_; }
  void setEmptyReportCount(std::int32_t count) { emptyReportCount_ = count; }

  static constexpr std::size_t kMaxFrameHex = 4096;

private:
  void endFrame();

  FrameSink frameSink_;
  std::string frameHex_;
  bool frameInProgress_ = false;
  std::int32_t emptyReportCount_ = 0;
};

}  // namespace qm::link
