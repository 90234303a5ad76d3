#pragma once
// Internal to the bitmap and its drawing context, which store colour channels the same way.
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace platform::channelbyte {

// A channel of 0...255 in floating point as the byte it rounds to.
inline std::uint8_t toByte(float v) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace platform::channelbyte
