// Arbitrary sequences of cable reports through the reassembler and the decoder. Input: reports
// one after another, each a length byte (its low five bits: 0 to 31 data bytes) and that many data
// bytes; a short last report takes what is left.

#include "display/frame_decoder.h"
#include "link/report_reassembler.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::display::PanelState panel = qm::display::PanelState::startupLook();
  qm::display::FrameDecoder decoder(panel);
  decoder.setDecimalSeparator(",");
  int logRequests = 0;
  qm::link::ReportReassembler reassembler([&](std::string_view frameText) {
    if (decoder.decodeFrame(frameText)) {
      ++logRequests;
    }
  });

  std::size_t at = 0;
  while (at < size) {
    const std::size_t length = std::min<std::size_t>(data[at] & 0x1F, size - at - 1);
    reassembler.addReport(0, data + at + 1, static_cast<std::uint16_t>(length));
    at += 1 + length;
  }
  // Whatever came in, the reading texts stay within what the display can show.
  if (decoder.currentValue().size() > 1 + 4 + 3 * 1) {
    __builtin_trap();
  }
  return 0;
}
