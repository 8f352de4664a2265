#pragma once

// The meter's frame as it crosses the link: 22 bytes ending in CR LF, carried as 44 upper-case hex
// characters. The report reassembler cuts frames by it and the decoder reads them by it.

#include <cstddef>
#include <string_view>

namespace qm {

inline constexpr std::size_t kFrameBytes = 22;
inline constexpr std::size_t kFrameTextLength = 2 * kFrameBytes;

// The end of every frame: CR LF in bytes 21 and 22.
inline constexpr std::string_view kFrameEnd = "0D0A";
inline constexpr std::size_t kFrameEndOffset = 40;

}  // namespace qm
