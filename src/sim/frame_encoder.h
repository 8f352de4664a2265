#pragma once

// The meter's side of the frame: turns a display image into the 22 bytes the meter sends, the exact
// inverse of the frame decoder.

#include "display/frame_layout.h"
#include "sim/display_image.h"

#include <array>
#include <cstdint>
#include <string>

namespace qm::sim {

using Frame = std::array<std::uint8_t, kFrameBytes>;

Frame encodeFrame(const DisplayImage& image);

// The frame as 44 upper-case hex characters, the form the decoder reads.
std::string frameText(const Frame& frame);

}  // namespace qm::sim
