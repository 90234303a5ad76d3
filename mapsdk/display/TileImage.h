#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace mapsdk {

// Tile records as the caches keep them, and their decoding into engine pixels (0xAARRGGBB words,
// rows top down, 256 x 256). Stateless; any thread.
namespace tileimage {

inline constexpr int kTileSide = 256;
inline constexpr int kTilePixels = kTileSide * kTileSide;
inline constexpr int kTileBytes = kTilePixels * 4;
// A tile with transparent pixels (traffic, any RGBA tile) carries an alpha plane of one byte a
// pixel after its words, as the DIB copy reads it: kTileBytes + kAlphaPlaneBytes in all.
inline constexpr int kAlphaPlaneBytes = kTilePixels;
inline constexpr int kAlphaPlaneWords = kAlphaPlaneBytes / 4;
inline constexpr int kTileWordsWithAlpha = kTilePixels + kAlphaPlaneWords;
// The largest compressed tile accepted from an answer or a cache.
inline constexpr std::size_t kMaxTileBytes = 102400;
inline constexpr std::uint32_t kBackground = 0xFFF5F3F0;
inline constexpr std::uint32_t kBackgroundLowLevels = 0xFFF2F0EB;  // below level 10
inline constexpr std::size_t kEmptyRecordSize = 20;

enum class RecordKind {
  EmptyTile,  // "taon" with a zero fifth byte: painted in the background colour
  NoTile,     // "taon" with another fifth byte: left empty, not asked for again
  PNG,        // "PNG" at bytes 1-3
  JPEG,       // "JFIF" at bytes 6-9
  Unknown,
};

RecordKind KindOf(const std::uint8_t* data, std::size_t size);
std::array<std::uint8_t, kEmptyRecordSize> EmptyRecord(std::uint8_t flag);
std::uint32_t BackgroundFor(int level);

// Decodes a PNG or JPEG record of exactly 256 x 256 pixels into out (kTilePixels words); other
// sizes are refused from their header. A PNG decodes straight into out, so on failure (false) out
// may hold part of the picture: callers then do not use it.
bool Decode(const std::uint8_t* data, std::size_t size, std::uint32_t* out);

// Whether any of the tile's kTilePixels words is not opaque.
bool HasAlpha(const std::uint32_t* words);
// Writes the words' alpha bytes as the alpha plane after them (words holds kTileWordsWithAlpha).
void WriteAlphaPlane(std::uint32_t* words);

// Stretches the side x side square at (x, y) of a 256 x 256 source over the whole of out
// (nearest pixel), as the ancestor fallback draws a magnified part of a coarser tile.
void StretchSquare(const std::uint32_t* source, int x, int y, int side, std::uint32_t* out);

}  // namespace tileimage

}  // namespace mapsdk
