#pragma once
// What the drawing tests share: the colours they paint with, and one pixel of a context.
#include "platform/graphics/BitmapContext.h"

namespace kavro::test {

inline constexpr platform::Pixel kClear{};
inline constexpr platform::Pixel kRed{255, 0, 0, 255};
inline constexpr platform::Pixel kGreen{0, 255, 0, 255};
inline constexpr platform::Pixel kBlue{0, 0, 255, 255};

inline platform::Pixel at(const platform::BitmapContext& c, int x, int y) { return c.bitmap().pixelAt(x, y); }

}  // namespace kavro::test
