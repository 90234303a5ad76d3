#include "mapsdk/display/TileImage.h"

#include <libdeflate.h>
#include <png.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/graphics/ImageCodec.h"

namespace mapsdk::tileimage {

RecordKind KindOf(const std::uint8_t* data, std::size_t size) {
  if (!data) return RecordKind::Unknown;
  if (size >= 5 && std::memcmp(data, "taon", 4) == 0) {
    return data[4] == 0 ? RecordKind::EmptyTile : RecordKind::NoTile;
  }
  if (size >= 4 && std::memcmp(data + 1, "PNG", 3) == 0) return RecordKind::PNG;
  if (size >= 10 && std::memcmp(data + 6, "JFIF", 4) == 0) return RecordKind::JPEG;
  return RecordKind::Unknown;
}

std::array<std::uint8_t, kEmptyRecordSize> EmptyRecord(std::uint8_t flag) {
  std::array<std::uint8_t, kEmptyRecordSize> record{};
  std::memcpy(record.data(), "taon", 4);
  record[4] = flag;
  return record;
}

std::uint32_t BackgroundFor(int level) { return level < 10 ? kBackgroundLowLevels : kBackground; }

namespace {

// Straight into the tile's words: libpng writes each row in the words' byte order, so there is no
// picture in between to allocate, clear and copy.
bool DecodePNGWithLibpng(const std::uint8_t* data, std::size_t size, std::uint32_t* out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return false;
  if (image.width != static_cast<png_uint_32>(kTileSide) ||
      image.height != static_cast<png_uint_32>(kTileSide)) {
    png_image_free(&image);
    return false;
  }
  // 0xAARRGGBB words: B, G, R, A in memory on a little-endian machine.
  image.format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
  // finish_read frees the reader, whatever the outcome.
  return png_image_finish_read(&image, nullptr, out, kTileSide * 4, nullptr) != 0;
}

// The fast path covers what map services send: 8-bit RGB, RGBA or palette (with or without the
// palette's alphas), not interlaced, only chunks that cannot change a colour. It checks every chunk's CRC and
// the stream's Adler-32 as libpng does, and inflates the whole image in one call. Anything else, damaged or
// unusual alike, goes to libpng, which then decides exactly as it always did.
std::uint32_t ReadBigEndian(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

bool ChunkIs(const std::uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

// Chunks that change no colour of an 8-bit picture read as sRGB: text, time, pixel size, and the
// colour space when it says sRGB (the gamma of sRGB exactly; primaries alone convert nothing).
bool Harmless(const std::uint8_t* type, const std::uint8_t* body, std::uint32_t length) {
  if (ChunkIs(type, "gAMA")) return length == 4 && ReadBigEndian(body) == 45455;
  return ChunkIs(type, "tEXt") || ChunkIs(type, "zTXt") || ChunkIs(type, "iTXt") || ChunkIs(type, "tIME") ||
         ChunkIs(type, "pHYs") || ChunkIs(type, "sRGB") || ChunkIs(type, "cHRM");
}

struct FastBuffers {
  std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> inflater{
      libdeflate_alloc_decompressor(), libdeflate_free_decompressor};
  std::vector<std::uint8_t> stream;  // IDAT data when split over several chunks
  std::vector<std::uint8_t> rows;    // filter byte and samples of every row
};

inline std::uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes one row's filter in place; prior is the row above (already unfiltered), null for the first.
bool Unfilter(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* prior, int bytes, int bpp) {
  switch (filter) {
    case 0:
      return true;
    case 1:
      for (int i = bpp; i < bytes; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - bpp]);
      return true;
    case 2:
      if (prior) {
        for (int i = 0; i < bytes; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      }
      return true;
    case 3:
      for (int i = 0; i < bytes; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0;
        const int up = prior ? prior[i] : 0;
        row[i] = static_cast<std::uint8_t>(row[i] + ((left + up) >> 1));
      }
      return true;
    case 4:
      for (int i = 0; i < bytes; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0;
        const int up = prior ? prior[i] : 0;
        const int upLeft = prior && i >= bpp ? prior[i - bpp] : 0;
        row[i] = static_cast<std::uint8_t>(row[i] + Paeth(left, up, upLeft));
      }
      return true;
    default:
      return false;
  }
}

enum class Fast { Done, UseLibpng };

Fast DecodePNGFast(const std::uint8_t* data, std::size_t size, std::uint32_t* out) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size < 8 + 25 || std::memcmp(data, kSignature, 8) != 0) return Fast::UseLibpng;
  thread_local FastBuffers buffers;
  if (!buffers.inflater) return Fast::UseLibpng;
  int bpp = 0;
  bool indexed = false;
  // The palette as finished words, opaque unless its alphas say otherwise.
  std::array<std::uint32_t, 256> colours{};
  int paletteSize = 0;
  bool translucent = false;
  const std::uint8_t* idat = nullptr;  // the stream when it is one chunk
  std::size_t idatSize = 0;
  int idatChunks = 0;
  bool idatClosed = false;  // a chunk came after the IDATs
  bool ended = false;
  buffers.stream.clear();
  for (std::size_t at = 8; at < size;) {
    if (size - at < 12) return Fast::UseLibpng;
    const std::uint32_t length = ReadBigEndian(data + at);
    if (length > size - at - 12) return Fast::UseLibpng;
    const std::uint8_t* type = data + at + 4;
    const std::uint8_t* body = type + 4;
    if (libdeflate_crc32(0, type, length + 4) != ReadBigEndian(body + length)) return Fast::UseLibpng;
    if (at == 8) {
      // IHDR: 256 x 256, 8 bits, RGB, RGBA or palette, standard compression and filters, not
      // interlaced.
      if (!ChunkIs(type, "IHDR") || length != 13 || ReadBigEndian(body) != kTileSide ||
          ReadBigEndian(body + 4) != kTileSide || body[8] != 8 ||
          (body[9] != 2 && body[9] != 3 && body[9] != 6) || body[10] != 0 || body[11] != 0 || body[12] != 0) {
        return Fast::UseLibpng;
      }
      indexed = body[9] == 3;
      bpp = body[9] == 6 ? 4 : indexed ? 1 : 3;
    } else if (indexed && ChunkIs(type, "PLTE")) {
      // One palette, before the picture, of 1 to 256 whole entries.
      if (paletteSize > 0 || idatChunks > 0 || length == 0 || length % 3 != 0 || length > 256 * 3)
        return Fast::UseLibpng;
      paletteSize = static_cast<int>(length / 3);
      for (int i = 0; i < paletteSize; ++i) {
        const std::uint8_t* c = body + i * 3;
        colours[static_cast<std::size_t>(i)] = 0xFF000000u | static_cast<std::uint32_t>(c[0]) << 16 |
                                               static_cast<std::uint32_t>(c[1]) << 8 | c[2];
      }
    } else if (indexed && ChunkIs(type, "tRNS")) {
      // The first entries' alphas, after the palette and before the picture.
      if (paletteSize == 0 || translucent || idatChunks > 0 ||
          length > static_cast<std::uint32_t>(paletteSize))
        return Fast::UseLibpng;
      translucent = true;
      for (std::uint32_t i = 0; i < length; ++i)
        colours[i] = (colours[i] & 0x00FFFFFFu) | static_cast<std::uint32_t>(body[i]) << 24;
    } else if (ChunkIs(type, "IDAT")) {
      if (idatClosed) return Fast::UseLibpng;  // IDATs must follow one another
      if (++idatChunks == 1) {
        idat = body;
        idatSize = length;
      } else {
        if (idatChunks == 2) buffers.stream.assign(idat, idat + idatSize);
        buffers.stream.insert(buffers.stream.end(), body, body + length);
      }
    } else if (ChunkIs(type, "IEND")) {
      ended = true;
      break;
    } else if (!Harmless(type, body, length)) {
      return Fast::UseLibpng;
    } else if (idatChunks > 0) {
      idatClosed = true;
    }
    at += 12 + length;
  }
  if (!ended || idatChunks == 0 || (indexed && paletteSize == 0)) return Fast::UseLibpng;
  if (idatChunks > 1) {
    idat = buffers.stream.data();
    idatSize = buffers.stream.size();
  }
  const int rowBytes = kTileSide * bpp;
  const std::size_t expected = static_cast<std::size_t>(kTileSide) * static_cast<std::size_t>(rowBytes + 1);
  buffers.rows.resize(expected);
  std::size_t produced = 0;
  if (libdeflate_zlib_decompress(buffers.inflater.get(), idat, idatSize, buffers.rows.data(), expected,
                                 &produced) != LIBDEFLATE_SUCCESS ||
      produced != expected) {
    return Fast::UseLibpng;
  }
  const std::uint8_t* prior = nullptr;
  for (int y = 0; y < kTileSide; ++y) {
    std::uint8_t* line =
        buffers.rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(rowBytes + 1);
    std::uint8_t* row = line + 1;
    if (!Unfilter(line[0], row, prior, rowBytes, bpp)) return Fast::UseLibpng;
    std::uint32_t* target = out + static_cast<std::size_t>(y) * kTileSide;
    if (indexed) {
      // An index past the palette is an error libpng judges in its own way: it decides.
      if (paletteSize < 256) {
        std::uint8_t top = 0;
        for (int x = 0; x < kTileSide; ++x) top = std::max(top, row[x]);
        if (top >= paletteSize) return Fast::UseLibpng;
      }
      for (int x = 0; x < kTileSide; ++x) target[x] = colours[row[x]];
    } else if (bpp == 3) {
      for (int x = 0; x < kTileSide; ++x, row += 3) {
        target[x] = 0xFF000000u | static_cast<std::uint32_t>(row[0]) << 16 |
                    static_cast<std::uint32_t>(row[1]) << 8 | row[2];
      }
    } else {
      for (int x = 0; x < kTileSide; ++x, row += 4) {
        target[x] = static_cast<std::uint32_t>(row[3]) << 24 | static_cast<std::uint32_t>(row[0]) << 16 |
                    static_cast<std::uint32_t>(row[1]) << 8 | row[2];
      }
    }
    prior = line + 1;
  }
  return Fast::Done;
}

bool DecodePNG(const std::uint8_t* data, std::size_t size, std::uint32_t* out) {
  return DecodePNGFast(data, size, out) == Fast::Done || DecodePNGWithLibpng(data, size, out);
}

}  // namespace

bool Decode(const std::uint8_t* data, std::size_t size, std::uint32_t* out) {
  if (!out || size > kMaxTileBytes) return false;
  if (KindOf(data, size) == RecordKind::PNG) return DecodePNG(data, size, out);
  platform::DecodeLimits limits;
  limits.maxDimension = kTileSide;
  limits.maxPixels = kTilePixels;
  limits.maxTotalPixels = kTilePixels;
  limits.maxFrames = 1;
  std::optional<platform::Bitmap> bitmap;
  if (KindOf(data, size) != RecordKind::JPEG) return false;
  bitmap = platform::ImageCodec::decodeJPEG(data, size, limits);
  if (!bitmap || bitmap->width() != kTileSide || bitmap->height() != kTileSide) return false;
  const std::uint8_t* p = bitmap->data();
  for (int i = 0; i < kTilePixels; ++i, p += 4) {
    out[i] = static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[0]) << 16 |
             static_cast<std::uint32_t>(p[1]) << 8 | p[2];
  }
  return true;
}

bool HasAlpha(const std::uint32_t* words) {
  return !std::all_of(words, words + kTilePixels, [](std::uint32_t w) { return (w >> 24) == 0xFF; });
}

void WriteAlphaPlane(std::uint32_t* words) {
  auto* plane = reinterpret_cast<std::uint8_t*>(words + kTilePixels);
  for (int i = 0; i < kTilePixels; ++i) plane[i] = static_cast<std::uint8_t>(words[i] >> 24);
}

void StretchSquare(const std::uint32_t* source, int x, int y, int side, std::uint32_t* out) {
  side = std::clamp(side, 1, kTileSide);
  x = std::clamp(x, 0, kTileSide - side);
  y = std::clamp(y, 0, kTileSide - side);
  for (int row = 0; row < kTileSide; ++row) {
    const std::uint32_t* line = source + static_cast<std::size_t>(y + row * side / kTileSide) * kTileSide + x;
    std::uint32_t* target = out + static_cast<std::size_t>(row) * kTileSide;
    for (int col = 0; col < kTileSide; ++col) target[col] = line[col * side / kTileSide];
  }
}

}  // namespace mapsdk::tileimage
