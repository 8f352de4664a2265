#include "sim/frame_encoder.h"

#include "display/frame_layout.h"

namespace qm::sim {
namespace {

namespace layout = display::layout;

using Nibbles = std::array<std::uint8_t, kFrameTextLength>;

void setNibble(Nibbles& nibbles, std::size_t character, std::uint8_t value) { nibbles[character - 1] |= value; }

// A blank digit cannot carry its flag: the flag alone is no pattern, so it is left out.
std::uint8_t digitCode(const display::layout::DigitSource& source, const DigitImage& digit) {
  if (digit.shown == ' ') {
    return 0x00;
  }
  return display::segmentCode(source.table, digit.shown, digit.flag).value_or(0x00);
}

}  // namespace

Frame encodeFrame(const DisplayImage& image) {
  Nibbles nibbles{};
  for (const layout::FrameBit& frameBit : layout::kFrameBits) {
    if (image.isSet(frameBit.elements[0])) {
      setNibble(nibbles, frameBit.character, static_cast<std::uint8_t>(1U << frameBit.bit));
    }
  }
  for (const layout::DigitSource& source : layout::kDigitSources) {
    const std::uint8_t code = digitCode(source, image.digit(source.digit));
    setNibble(nibbles, source.highCharacter, static_cast<std::uint8_t>(code >> 4));
    setNibble(nibbles, source.lowCharacter, static_cast<std::uint8_t>(code & 0x0F));
  }

  Frame frame{};
  for (std::size_t k = 0; k < frame.size(); ++k) {
    frame[k] = static_cast<std::uint8_t>(nibbles[2 * k] << 4 | nibbles[2 * k + 1]);
  }
  frame[20] = '\r';
  frame[21] = '\n';
  return frame;
}

std::string frameText(const Frame& frame) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(2 * frame.size());
  for (const std::uint8_t byte : frame) {
    text.push_back(kHex[byte >> 4]);
    text.push_back(kHex[byte & 0x0F]);
  }
  return text;
}

}  // namespace qm::sim
