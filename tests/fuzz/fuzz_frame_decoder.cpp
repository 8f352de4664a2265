// Arbitrary texts handed to the decoder as frames, one after another on one panel: the input is
// split at line feeds.

#include "display/frame_decoder.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::display::PanelState panel = qm::display::PanelState::startupLook();
  qm::display::FrameDecoder decoder(panel);
  decoder.setDecimalSeparator(".");
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t start = 0;
  while (start <= input.size()) {
    const std::size_t end = std::min(input.find('\n', start), input.size());
    decoder.decodeFrame(input.substr(start, end - start));
    start = end + 1;
  }
  return 0;
}
