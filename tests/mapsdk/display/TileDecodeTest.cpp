#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "demo/MapFixtureServer.h"
#include "mapsdk/display/TileImage.h"

using namespace mapsdk;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Pixels = std::vector<std::uint32_t>;

void PutBigEndian(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void Chunk(Bytes& png, const char* type, const Bytes& body) {
  PutBigEndian(png, static_cast<std::uint32_t>(body.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), body.begin(), body.end());
  PutBigEndian(
      png, static_cast<std::uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}

std::uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// A 256 x 256 PNG of these 8-bit samples (channels a pixel; 1 for palette indices) written by
// hand: row y uses filter y % 5, the stream is cut into IDATs of `split` bytes, and a text chunk
// stands before them (and after the palette and its alphas, when given). A bad row, when given, is
// left unfiltered under its filter byte.
struct BadRow {
  int row = -1;
  std::uint8_t filter = 0;
};
Bytes WrittenByHand(const Bytes& raw, int channels, std::size_t split, const Bytes& palette = {},
                    const Bytes& alphas = {}, BadRow bad = {}) {
  const int side = 256, rowBytes = side * channels;
  Bytes filtered;
  for (int y = 0; y < side; ++y) {
    const int filter = y == bad.row ? 0 : y % 5;
    filtered.push_back(y == bad.row ? bad.filter : static_cast<std::uint8_t>(filter));
    const std::uint8_t* row = raw.data() + y * rowBytes;
    const std::uint8_t* up = y > 0 ? row - rowBytes : nullptr;
    for (int i = 0; i < rowBytes; ++i) {
      const int a = i >= channels ? row[i - channels] : 0, b = up ? up[i] : 0,
                c = up && i >= channels ? up[i - channels] : 0;
      const int predicted = filter == 1   ? a
                            : filter == 2 ? b
                            : filter == 3 ? (a + b) / 2
                            : filter == 4 ? Paeth(a, b, c)
                                          : 0;
      filtered.push_back(static_cast<std::uint8_t>(row[i] - predicted));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(filtered.size()));
  Bytes packed(packedSize);
  EXPECT_EQ(compress(packed.data(), &packedSize, filtered.data(), static_cast<uLong>(filtered.size())), Z_OK);
  packed.resize(packedSize);
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBigEndian(header, side);
  PutBigEndian(header, side);
  header.insert(header.end(), {8,
                               static_cast<std::uint8_t>(channels == 4   ? 6
                                                         : channels == 1 ? 3
                                                                         : 2),
                               0, 0, 0});
  Chunk(png, "IHDR", header);
  if (!palette.empty()) Chunk(png, "PLTE", palette);
  if (!alphas.empty()) Chunk(png, "tRNS", alphas);
  const std::string text = "Comment\0tiles";
  Chunk(png, "tEXt", Bytes(text.begin(), text.end()));
  for (std::size_t at = 0; at < packed.size(); at += split) {
    Chunk(png, "IDAT",
          Bytes(packed.begin() + static_cast<long>(at),
                packed.begin() + static_cast<long>(std::min(packed.size(), at + split))));
  }
  Chunk(png, "IEND", {});
  return png;
}

// RGB (channels 3) or RGBA (4) rows: smooth gradients with noise, so that every filter has
// something to predict.
Bytes HandMadePng(int channels, std::size_t split, std::uint32_t seed, BadRow bad = {}) {
  const int rowBytes = 256 * channels;
  std::mt19937 rng(seed);
  Bytes raw(static_cast<std::size_t>(256 * rowBytes));
  for (int y = 0; y < 256; ++y)
    for (int i = 0; i < rowBytes; ++i)
      raw[static_cast<std::size_t>(y * rowBytes + i)] = static_cast<std::uint8_t>(
          y + i / channels * (i % channels + 1) + (rng() % 64 == 0 ? rng() % 9 : 0));
  return WrittenByHand(raw, channels, split, {}, {}, bad);
}

// A palette picture of `entries` colours (alphas for the first ones when given) whose indices
// reach up to `top`: past the palette when top >= entries.
Bytes HandMadePalettePng(int entries, const Bytes& alphas, int top, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes palette(static_cast<std::size_t>(entries) * 3);
  for (auto& b : palette) b = static_cast<std::uint8_t>(rng());
  Bytes raw(256 * 256);
  for (std::size_t i = 0; i < raw.size(); ++i)
    raw[i] =
        static_cast<std::uint8_t>((i / 256 + i % 256 / 16 + (rng() % 32 == 0 ? rng() % 5 : 0)) % (top + 1));
  return WrittenByHand(raw, 1, 5000, palette, alphas);
}

// What libpng itself makes of the bytes, in the tile's words; empty when it refuses them.
Pixels LibpngPixels(const Bytes& png) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
  image.format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
  Pixels pixels(PNG_IMAGE_SIZE(image) / 4);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  return pixels;
}

// A 256 x 256 picture written by libpng in another layout (grey, palette, 16-bit).
Bytes LibpngWritten(png_uint_32 format, std::uint32_t seed) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = 256;
  image.height = 256;
  image.format = format;
  if (format & PNG_FORMAT_FLAG_COLORMAP) image.colormap_entries = 256;
  std::mt19937 rng(seed);
  Bytes source(PNG_IMAGE_SIZE(image));
  for (std::size_t i = 0; i < source.size(); ++i)
    source[i] = static_cast<std::uint8_t>((i / 1024 + (rng() % 32 == 0)) * 37);
  Bytes colormap(256 * 4);
  for (auto& b : colormap) b = static_cast<std::uint8_t>(rng());
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, source.data(), 0, colormap.data());
  Bytes png(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, png.data(), &size, 0, source.data(), 0, colormap.data()));
  png.resize(size);
  return png;
}

bool Decodes(const Bytes& png, Pixels& out) {
  out.assign(tileimage::kTilePixels, 0);
  return tileimage::Decode(png.data(), png.size(), out.data());
}

Bytes Of(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace

// Every picture decodes to exactly the words libpng gives: the service's street (RGB) and traffic
// (RGBA) tiles, hand-made files using all five row filters over split streams, files libpng wrote
// (colour space chunks saying sRGB), palettes (with and without alphas, short ones, indices past
// them), and layouts that only libpng reads (grey, 16-bit).
TEST(TileDecodeTest, PicturesDecodeToTheSameWordsAsLibpng) {
  kavro::test::MapFixtureServer service;
  std::vector<Bytes> pictures = {Of(service.tile("map", 15, 6327, 2356)),
                                 Of(service.tile("tra", 13, 1581, 589)),
                                 HandMadePng(3, 1 << 20, 1),
                                 HandMadePng(4, 8192, 2),
                                 HandMadePng(3, 100, 3),
                                 LibpngWritten(PNG_FORMAT_GRAY, 4),
                                 LibpngWritten(PNG_FORMAT_RGB, 8),
                                 LibpngWritten(PNG_FORMAT_RGBA, 9),
                                 LibpngWritten(PNG_FORMAT_RGB | PNG_FORMAT_FLAG_COLORMAP, 5),
                                 LibpngWritten(PNG_FORMAT_LINEAR_RGB_ALPHA, 6),
                                 LibpngWritten(PNG_FORMAT_RGBA | PNG_FORMAT_FLAG_COLORMAP, 10),
                                 HandMadePalettePng(256, {}, 255, 11),
                                 HandMadePalettePng(40, {0, 128, 255, 7}, 39, 12),
                                 HandMadePalettePng(40, {}, 60, 13),
                                 HandMadePalettePng(40, Bytes(40, 99), 39, 14)};
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_LE(pictures[i].size(), tileimage::kMaxTileBytes);
    const Pixels expected = LibpngPixels(pictures[i]);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(tileimage::kTilePixels));
    Pixels decoded;
    ASSERT_TRUE(Decodes(pictures[i], decoded));
    EXPECT_EQ(decoded, expected);
  }
}

// Damage is refused as libpng refuses it: a flipped bit under a chunk's CRC, a stream whose
// Adler-32 does not match (CRC made good), a row filter that does not exist, a file cut short, a
// file without its end.
TEST(TileDecodeTest, DamagedPicturesAreRefused) {
  const Bytes good = HandMadePng(3, 4096, 7);
  Pixels out;
  ASSERT_TRUE(Decodes(good, out));
  const std::size_t firstIdat = 8 + 25 + 12 + 13;  // signature, IHDR, the text chunk

  Bytes flipped = good;
  flipped[firstIdat + 8 + 100] ^= 0x10;
  EXPECT_FALSE(Decodes(flipped, out));

  // The last IDAT's last four bytes are the stream's Adler-32.
  Bytes adler = good;
  const std::size_t iend = adler.size() - 12;
  adler[iend - 4 - 1] ^= 0x01;
  std::size_t chunk = firstIdat;
  while (chunk + 12 + 4096 < iend) chunk += 12 + 4096;
  const std::uint32_t length = static_cast<std::uint32_t>(iend - chunk - 12);
  const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, adler.data() + chunk + 4, length + 4));
  for (int k = 0; k < 4; ++k)
    adler[iend - 4 + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
  EXPECT_FALSE(Decodes(adler, out));

  // A row filter past the five there are, on the first row or a later one.
  for (const BadRow bad : {BadRow{0, 5}, BadRow{130, 5}, BadRow{255, 0xFF}}) {
    SCOPED_TRACE(bad.row);
    const Bytes unknownFilter = HandMadePng(3, 4096, 7, bad);
    ASSERT_TRUE(LibpngPixels(unknownFilter).empty());
    EXPECT_FALSE(Decodes(unknownFilter, out));
  }

  EXPECT_FALSE(Decodes(Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2)), out));
  Bytes noEnd(good.begin(), good.end() - 12);
  EXPECT_EQ(Decodes(noEnd, out), !LibpngPixels(noEnd).empty());
}

// The service writes a tile of at most 256 colours with a palette (its transparent traffic tiles
// with the palette's alphas) and any other as RGB rows; either way each pixel decodes to the colour
// drawn. Squares of distinct colours, 12 pixels a side, on a tile of level 18 at the origin.
TEST(TileDecodeTest, TheServiceSendsFewColoursAsAPaletteAndDecodesToTheSameColours) {
  for (const int squares : {200, 441}) {
    SCOPED_TRACE(squares);
    std::string text;
    for (int i = 0; i < squares; ++i) {
      const int x = i % 21 * 12, y = i / 21 * 12;
      char line[96];
      std::snprintf(line, sizeof line, "area %06X 0 %d,%d %d,%d %d,%d %d,%d\n", 0x10000 + i * 97, x, 256 - y,
                    x + 12, 256 - y, x + 12, 244 - y, x, 244 - y);
      text += line;
    }
    text += "road 102030 8 0,128 256,128\n";  // drawn over the squares
    std::optional<kavro::test::MapFixture> fixture = kavro::test::MapFixture::parse(text);
    ASSERT_TRUE(fixture);
    kavro::test::MapFixtureServer service(*fixture, false);
    const Bytes street = Of(service.tile("map", 18, 0, 0));
    ASSERT_GT(street.size(), 26u);
    EXPECT_EQ(street[25], squares <= 255 ? 3 : 2);  // palette or RGB, from the header
    Pixels decoded;
    ASSERT_TRUE(Decodes(street, decoded));
    for (int i = 0; i < squares; ++i) {
      const int x = i % 21 * 12 + 3, y = i / 21 * 12 + 3;
      if (y >= 120 && y < 136) continue;  // under the road
      ASSERT_EQ(decoded[static_cast<std::size_t>(y * 256 + x)],
                0xFF000000u + 0x10000u + static_cast<std::uint32_t>(i) * 97)
          << x << "," << y;
    }
    EXPECT_EQ(decoded[128 * 256 + 5], 0xFF102030u);

    const Bytes traffic = Of(service.tile("tra", 18, 0, 0));
    ASSERT_GT(traffic.size(), 26u);
    EXPECT_EQ(traffic[25], 3);
    ASSERT_TRUE(Decodes(traffic, decoded));
    EXPECT_EQ(decoded[128 * 256 + 5], 0xFF40C040u);
    EXPECT_EQ(decoded[20 * 256 + 5], 0u);
  }
}
