#include "mapsdk/raster/VRaster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VRASTER_X86 1
#endif

#include "mapsdk/engine/VMemory.h"
#include "mapsdk/raster/VRasterFill.h"
#include "platform/foundation/Processor.h"

namespace gmengine {

using raster::FixPoint;

namespace {

constexpr std::size_t kHeaderBytes = (sizeof(VBitmap) + 15) & ~std::size_t{15};

bool AllowedSize(std::int64_t width, std::int64_t height) {
  return width >= 1 && height >= 1 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
         width * height <= kMaxBitmapPixels;
}

VBitmap* AllocBitmap(int width, int height, int bits, bool withAlpha) {
  if (!AllowedSize(width, height) || (bits != 16 && bits != 24 && bits != 32)) return nullptr;
  std::int64_t stride = VBitmapStride(bits, width);
  std::int64_t pixelBytes = stride * height;
  std::int64_t alphaBytes = withAlpha ? std::int64_t{width} * height : 0;
  auto* raw = static_cast<std::uint8_t*>(
      VMalloc(kHeaderBytes + static_cast<std::size_t>(pixelBytes) + static_cast<std::size_t>(alphaBytes)));
  if (!raw) return nullptr;
  auto* b = reinterpret_cast<VBitmap*>(raw);
  b->width = static_cast<std::uint16_t>(width);
  b->height = static_cast<std::uint16_t>(height);
  b->stride = static_cast<std::uint16_t>(stride);
  b->refCount = 1;
  b->bitsPerPixel = static_cast<std::uint8_t>(bits);
  b->info = &b->infoHeader;
  b->pixels = raw + kHeaderBytes;
  b->alpha = withAlpha ? b->pixels + pixelBytes : nullptr;
  b->infoHeader = BITMAPINFOHEADER{};
  b->infoHeader.biWidth = width;
  b->infoHeader.biHeight = height;
  b->infoHeader.biBitCount = static_cast<std::uint16_t>(bits);
  b->infoHeader.biSizeImage = static_cast<std::uint32_t>(pixelBytes);
  b->owner = nullptr;
  return b;
}

void ForgetOwner(VOwnerSlot*& owner) {
  if (owner) {
    owner->handle = nullptr;
    owner->owns = false;
    owner = nullptr;
  }
}

// Frees a block nobody else holds (count 1 or less), emptying its owner.
template <class T>
int FreeBlock(T* block) {
  if (!block || block->refCount > 1) return 0;
  ForgetOwner(block->owner);
  VFree(block);
  return 1;
}

template <class T>
void ReleaseFromContext(T* object, int (*freeFn)(T*)) {
  if (!object) return;
  if (object->refCount < 3) {
    ForgetOwner(object->owner);
    object->refCount = 1;
    freeFn(object);
  } else {
    --object->refCount;
  }
}

// Selects object in slot. The previous object's count is lowered; one that nobody holds any more
// (its owner gave it up while it was selected) is freed here and answered as null.
template <class T>
T* Swap(T*& slot, T* object, int (*freeFn)(T*)) {
  if (!object) return nullptr;
  T* previous = slot;
  if (previous == object) return previous;
  slot = object;
  ++object->refCount;
  if (previous && previous->refCount > 0 && --previous->refCount == 0) {
    previous->refCount = 1;
    freeFn(previous);
    return nullptr;
  }
  return previous;
}

inline std::uint32_t BlendAlpha(std::uint32_t source, std::uint32_t pixel, unsigned a) {
  if (a == 255) return source | 0xFF000000u;
  unsigned na = 255 - a;
  unsigned r = (((pixel >> 16) & 0xFF) * na + ((source >> 16) & 0xFF) * a) >> 8;
  unsigned g = (((pixel >> 8) & 0xFF) * na + ((source >> 8) & 0xFF) * a) >> 8;
  unsigned b = ((pixel & 0xFF) * na + (source & 0xFF) * a) >> 8;
  return 0xFF000000u | r << 16 | g << 8 | b;
}

// True when one of the four bytes is 0 (or, for HasFF, 0xFF): such blocks need the exact ends.
inline bool HasZero(std::uint32_t v) { return ((v - 0x01010101u) & ~v & 0x80808080u) != 0; }
inline bool HasFF(std::uint32_t v) { return HasZero(~v); }

#if defined(VRASTER_X86)
// Eight pixels a step (see BlendRow); answers how many pixels it did.
__attribute__((target("avx2"))) std::int64_t BlendRowAvx2(std::uint32_t* d, const std::uint32_t* s,
                                                          const std::uint8_t* a, std::int64_t n) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i all = _mm256_set1_epi8(static_cast<char>(0xFF));
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i c255 = _mm256_set1_epi16(255);
  const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5,
                                          5, 6, 6, 6, 6, 7, 7, 7, 7);
  std::int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint32_t a4[2];
    std::memcpy(a4, a + i, 8);
    if ((a4[0] | a4[1]) == 0) continue;
    __m256i src = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    __m256i av = _mm256_shuffle_epi8(
        _mm256_broadcastsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + i))), spread);
    __m256i aLo = _mm256_unpacklo_epi8(av, zero), aHi = _mm256_unpackhi_epi8(av, zero);
    __m256i lo = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(dst, zero), _mm256_sub_epi16(c255, aLo)),
                         _mm256_mullo_epi16(_mm256_unpacklo_epi8(src, zero), aLo)),
        8);
    __m256i hi = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(dst, zero), _mm256_sub_epi16(c255, aHi)),
                         _mm256_mullo_epi16(_mm256_unpackhi_epi8(src, zero), aHi)),
        8);
    __m256i out = _mm256_or_si256(_mm256_packus_epi16(lo, hi), opaque);
    if (HasFF(a4[0]) || HasFF(a4[1])) {
      __m256i full = _mm256_cmpeq_epi8(av, all);
      out = _mm256_blendv_epi8(out, _mm256_or_si256(src, opaque), full);
    }
    if (HasZero(a4[0]) || HasZero(a4[1])) out = _mm256_blendv_epi8(out, dst, _mm256_cmpeq_epi8(av, zero));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), out);
  }
  return i;
}
#endif

// One row of n pixels blended through their alpha bytes: alpha 0 keeps the destination, 255
// stores the source; between, channel = (pixel x (255 - a) + source x a) >> 8, alpha 0xFF.
void BlendRow(std::uint32_t* d, const std::uint32_t* s, const std::uint8_t* a, std::int64_t n) {
  std::int64_t i = 0;
#if defined(VRASTER_X86)
  static const bool avx2 = platform::processorHasAVX2();
  if (avx2) i = BlendRowAvx2(d, s, a, n);
#endif
  for (; i < n; ++i) {
    if (a[i] != 0) d[i] = BlendAlpha(s[i], d[i], a[i]);
  }
}

// A source of pixels for the copies: a bitmap block or a raw DIB.
struct Source {
  int width;
  int height;
  int stride;
  int bits;
  const std::uint8_t* pixels;
  const std::uint8_t* alpha;
};

// Copies (w x h) from source (sx, sy) to the destination (x, y), the two rectangles clipped
// together against both bitmaps. A source with an alpha plane is blended.
int CopyRect(VBitmap* dest, int x, int y, int w, int h, const Source& src, int sx, int sy) {
  if (w <= 0 || h <= 0) return 0;
  std::int64_t dx = x, dy = y, ssx = sx, ssy = sy, cw = w, ch = h;
  auto clipAxis = [](std::int64_t& d, std::int64_t& s, std::int64_t& len, std::int64_t dLimit,
                     std::int64_t sLimit) {
    if (d < 0) {
      s -= d;
      len += d;
      d = 0;
    }
    if (s < 0) {
      d -= s;
      len += s;
      s = 0;
    }
    len = std::min({len, dLimit - d, sLimit - s});
  };
  clipAxis(dx, ssx, cw, dest->width, src.width);
  clipAxis(dy, ssy, ch, dest->height, src.height);
  if (cw <= 0 || ch <= 0) return 0;
  int bpp = dest->bitsPerPixel / 8;
  for (std::int64_t row = 0; row < ch; ++row) {
    std::uint8_t* d = dest->pixels + static_cast<std::size_t>(dy + row) * dest->stride + dx * bpp;
    const std::uint8_t* s = src.pixels + static_cast<std::size_t>(ssy + row) * src.stride + ssx * bpp;
    if (!src.alpha || bpp != 4) {
      std::memmove(d, s, static_cast<std::size_t>(cw * bpp));
      continue;
    }
    const std::uint8_t* a = src.alpha + static_cast<std::size_t>(ssy + row) * src.width + ssx;
    BlendRow(reinterpret_cast<std::uint32_t*>(d), reinterpret_cast<const std::uint32_t*>(s), a, cw);
  }
  return 1;
}

bool WholeCopy(const VBitmap* dest, int x, int y, int w, int h, const Source& src, int sx, int sy) {
  return x == 0 && y == 0 && sx == 0 && sy == 0 && w == dest->width && h == dest->height && w == src.width &&
         h == src.height && !src.alpha && src.stride == dest->stride;
}

Source SourceOf(const VBitmap* b) {
  return {b->width, b->height, b->stride, b->bitsPerPixel, b->pixels, b->alpha};
}

// Where a destination step lands in the source: error accumulation from the start of the axis,
// mirrored for the far half so that both ends of a row are treated alike.
std::int64_t StretchIndex(std::int64_t j, std::int64_t destExtent, std::int64_t srcExtent) {
  if (j < (destExtent + 1) / 2) return j * srcExtent / destExtent;
  return srcExtent - 1 - (destExtent - 1 - j) * srcExtent / destExtent;
}

int StretchRect(VBitmap* dest, int x, int y, int w, int h, const Source& src, int sx, int sy, int sw, int sh,
                std::uint32_t rop) {
  if (w < 1 || h < 1 || sw < 1 || sh < 1) return 0;
  if (src.bits != dest->bitsPerPixel) return 0;
  if (w == sw && h == sh && WholeCopy(dest, x, y, w, h, src, sx, sy)) {
    if (rop != SRCCOPY) return 0;
    std::memcpy(dest->pixels, src.pixels, static_cast<std::size_t>(dest->stride) * dest->height);
    return 1;
  }
  // Only the destination pixels inside the bitmap whose source lies inside the source are written.
  std::int64_t jx0 = std::max<std::int64_t>(0, -std::int64_t{x});
  std::int64_t jx1 = std::min<std::int64_t>(w, std::int64_t{dest->width} - x);
  std::int64_t jy0 = std::max<std::int64_t>(0, -std::int64_t{y});
  std::int64_t jy1 = std::min<std::int64_t>(h, std::int64_t{dest->height} - y);
  if (jx0 >= jx1 || jy0 >= jy1) return 0;
  std::vector<std::int64_t> xs(static_cast<std::size_t>(jx1 - jx0));
  for (std::int64_t j = jx0; j < jx1; ++j)
    xs[static_cast<std::size_t>(j - jx0)] = sx + StretchIndex(j, w, sw);
  int bpp = dest->bitsPerPixel / 8;
  bool drew = false;
  for (std::int64_t j = jy0; j < jy1; ++j) {
    std::int64_t srow = sy + StretchIndex(j, h, sh);
    if (srow < 0 || srow >= src.height) continue;
    std::uint8_t* d = dest->pixels + static_cast<std::size_t>(y + j) * dest->stride;
    const std::uint8_t* s = src.pixels + static_cast<std::size_t>(srow) * src.stride;
    const std::uint8_t* a = src.alpha ? src.alpha + static_cast<std::size_t>(srow) * src.width : nullptr;
    for (std::int64_t i = jx0; i < jx1; ++i) {
      std::int64_t scol = xs[static_cast<std::size_t>(i - jx0)];
      if (scol < 0 || scol >= src.width) continue;
      std::int64_t dcol = x + i;
      drew = true;
      if (a && bpp == 4) {
        unsigned av = a[scol];
        if (av == 0) continue;
        auto* dw = reinterpret_cast<std::uint32_t*>(d) + dcol;
        *dw = BlendAlpha(reinterpret_cast<const std::uint32_t*>(s)[scol], *dw, av);
      } else {
        std::memcpy(d + dcol * bpp, s + scol * bpp, static_cast<std::size_t>(bpp));
      }
    }
  }
  return drew ? 1 : 0;
}

// The stroke of the current pen through fixed-point points (closed: back to the first).
int StrokeWithPen(VDC* dc, const FixPoint* points, int count, bool closed, std::int64_t halfWidth,
                  int opacity) {
  std::vector<FixPoint> pts(points, points + count);
  if (closed) pts.push_back(points[0]);
  return raster::StrokePolyline(dc->bitmap, dc->clip, pts.data(), static_cast<int>(pts.size()), halfWidth,
                                dc->pen->color, opacity);
}

// One segment with the current pen (line dispatch).
int DrawSegment(VDC* dc, int x1, int y1, int x2, int y2, int opacity) {
  const VPen* pen = dc->pen;
  if (pen->width == 0) return 0;
  std::int64_t ax = std::int64_t{x1} + dc->originX, ay = std::int64_t{y1} + dc->originY;
  std::int64_t bx = std::int64_t{x2} + dc->originX, by = std::int64_t{y2} + dc->originY;
  switch (pen->style) {
    case PenStyle::Solid:
      if (pen->width == 1)
        return raster::DrawThinLine(dc->bitmap, dc->clip, ax, ay, bx, by, pen->color, false);
      {
        FixPoint pts[2] = {{std::int64_t{x1} << 8, std::int64_t{y1} << 8},
                           {std::int64_t{x2} << 8, std::int64_t{y2} << 8}};
        return raster::StrokePolyline(dc->bitmap, dc->clip, pts, 2, ((pen->width + 1) >> 1) << 8, pen->color,
                                      opacity);
      }
    case PenStyle::Dotted:
      return raster::DrawThinLine(dc->bitmap, dc->clip, ax, ay, bx, by, pen->color, true);
    default:
      return 1;  // other styles draw nothing but count as drawn
  }
}

// A polyline: one wide stroke for a pen wider than 1, else every segment as a thin line, whatever
// the pen's style.
int PolylineWithPen(VDC* dc, const _VPoint* points, int count, bool closed, int opacity) {
  if (dc->pen->width > 1) {
    std::vector<FixPoint> pts;
    pts.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
      pts.push_back({std::int64_t{points[i].x} << 8, std::int64_t{points[i].y} << 8});
    return StrokeWithPen(dc, pts.data(), count, closed, ((dc->pen->width + 1) >> 1) << 8, opacity);
  }
  int drawn = 0;
  int segments = closed ? count : count - 1;
  for (int i = 0; i < segments; ++i) {
    const _VPoint& a = points[i];
    const _VPoint& b = points[(i + 1) % count];
    drawn |= raster::DrawThinLine(dc->bitmap, dc->clip, std::int64_t{a.x} + dc->originX,
                                  std::int64_t{a.y} + dc->originY, std::int64_t{b.x} + dc->originX,
                                  std::int64_t{b.y} + dc->originY, dc->pen->color, false);
  }
  return drawn;
}

bool Usable(const VDC* dc) { return dc && dc->bitmap && dc->pen && dc->brush; }

}  // namespace

std::int64_t VBitmapStride(int bitsPerPixel, int width) {
  return ((static_cast<std::int64_t>(bitsPerPixel) * width + 31) >> 3) & ~std::int64_t{3};
}

VBitmap* VCreateBitmap(int width, int height, int /*bitsPerPixel*/, const void* pixels) {
  VBitmap* b = AllocBitmap(width, height, 32, false);
  if (b && pixels) std::memcpy(b->pixels, pixels, static_cast<std::size_t>(b->stride) * b->height);
  return b;
}

VBitmap* VCreateBitmapWithAlpha(int width, int height, const void* pixels, const std::uint8_t* alpha) {
  VBitmap* b = AllocBitmap(width, height, 32, true);
  if (!b) return nullptr;
  if (pixels) std::memcpy(b->pixels, pixels, static_cast<std::size_t>(b->stride) * b->height);
  if (alpha) std::memcpy(b->alpha, alpha, static_cast<std::size_t>(width) * height);
  return b;
}

VBitmap* VCreateBitmapFromDIB(const void* dib, std::size_t dibSize) {
  if (!dib || dibSize < sizeof(BITMAPINFOHEADER)) return nullptr;
  BITMAPINFOHEADER info;
  std::memcpy(&info, dib, sizeof info);
  // Uncompressed, or bit fields: the three colour masks after a 40-byte header are skipped (the
  // engine's pixel layouts are fixed).
  if (info.biSize < sizeof(BITMAPINFOHEADER) || (info.biCompression != 0 && info.biCompression != 3))
    return nullptr;
  std::size_t pixelOffset = info.biSize + (info.biCompression == 3 && info.biSize == 40 ? 12 : 0);
  if (pixelOffset > dibSize) return nullptr;
  int bits = info.biBitCount;
  if (bits < 9 || (bits != 16 && bits != 24 && bits != 32)) return nullptr;
  std::int64_t width = info.biWidth;
  std::int64_t height = info.biHeight;
  bool bottomUp = height > 0;
  if (height < 0) height = -height;
  if (!AllowedSize(width, height)) return nullptr;
  std::int64_t stride = VBitmapStride(bits, static_cast<int>(width));
  if (static_cast<std::int64_t>(dibSize - pixelOffset) < stride * height) return nullptr;
  VBitmap* b = AllocBitmap(static_cast<int>(width), static_cast<int>(height), bits, false);
  if (!b) return nullptr;
  const auto* src = static_cast<const std::uint8_t*>(dib) + pixelOffset;
  for (std::int64_t row = 0; row < height; ++row) {
    std::int64_t from = bottomUp ? height - 1 - row : row;
    std::uint8_t* d = b->pixels + row * stride;
    std::memcpy(d, src + from * stride, static_cast<std::size_t>(stride));
    if (bits == 16) {
      for (std::int64_t x = 0; x < width; ++x) {
        std::uint16_t v = static_cast<std::uint16_t>(d[x * 2] | d[x * 2 + 1] << 8);
        // 5-5-5 to 5-6-5: red up one bit, green widened by its top bit.
        std::uint16_t r = (v >> 10) & 0x1F, g = (v >> 5) & 0x1F, bl = v & 0x1F;
        std::uint16_t g6 = static_cast<std::uint16_t>((g << 1) | (g >> 4));
        std::uint16_t out = static_cast<std::uint16_t>(r << 11 | g6 << 5 | bl);
        d[x * 2] = static_cast<std::uint8_t>(out & 0xFF);
        d[x * 2 + 1] = static_cast<std::uint8_t>(out >> 8);
      }
    }
  }
  return b;
}

int FreeBitmapData(VBitmap* bitmap) { return FreeBlock(bitmap); }

int VGetBitmapInfo(const VBitmap* bitmap, void* out44) {
  if (!bitmap || !out44) return 0;
  std::memset(out44, 0, 44);
  std::memcpy(out44, bitmap->info, sizeof(BITMAPINFOHEADER));
  return 1;
}

VPen* VCreatePen(PenStyle style, int width, std::uint32_t color) {
  auto* p = static_cast<VPen*>(VMalloc(sizeof(VPen)));
  if (!p) return nullptr;
  p->style = style;
  p->width = static_cast<std::uint8_t>(std::clamp(width, 1, 255));
  p->refCount = 1;
  p->color = color;
  p->owner = nullptr;
  return p;
}

int VFreePen(VPen* pen) { return FreeBlock(pen); }

VBrush* VCreateBrush(BrushStyle style, std::uint32_t color) {
  auto* b = static_cast<VBrush*>(VMalloc(sizeof(VBrush)));
  if (!b) return nullptr;
  b->style = style;
  b->refCount = 1;
  b->color = color;
  b->owner = nullptr;
  return b;
}

int VFreeBrush(VBrush* brush) { return FreeBlock(brush); }

namespace {
VFont* MakeFont(int height, int width) {
  auto* f = static_cast<VFont*>(VMalloc(sizeof(VFont)));
  if (!f) return nullptr;
  if (height < 1) height = width;
  if (width == 0 && height >= 1) width = height;
  f->height = height;
  f->width = width;
  f->refCount = 1;
  f->owner = nullptr;
  return f;
}
}  // namespace

VFont* VCreateFont(int height, int width, const char16_t* faceName, const CVGlobalMan* platform) {
  if (!faceName || !platform) return nullptr;
  return MakeFont(height, width);
}

int VFreeFont(VFont* font) { return FreeBlock(font); }

VDC* VCreateDC() {
  auto* dc = static_cast<VDC*>(VMalloc(sizeof(VDC)));
  if (!dc) return nullptr;
  dc->textColor = 0xFF000000u;
  dc->bkColor = 0xFFFFFFFFu;
  dc->bkMode = 2;
  dc->pen = VCreatePen(PenStyle::Solid, 1, 0xFF000000u);
  dc->brush = VCreateBrush(BrushStyle::Solid, 0xFFFFFFFFu);
  dc->font = MakeFont(16, 16);  // face "MSYH.TTF"; the default needs no platform information
  dc->bitmap = VCreateBitmap(1, 1, 32, nullptr);
  if (!dc->pen || !dc->brush || !dc->font || !dc->bitmap) {
    VFreePen(dc->pen);
    VFreeBrush(dc->brush);
    VFreeFont(dc->font);
    FreeBitmapData(dc->bitmap);
    VFree(dc);
    return nullptr;
  }
  // The defaults are created and selected: their count is 2 until something replaces them.
  dc->pen->refCount = dc->brush->refCount = dc->font->refCount = 2;
  dc->bitmap->refCount = 2;
  dc->originX = dc->originY = 0;
  dc->curX = dc->curY = 0;
  dc->clip = _VRect(0, 0, 1, 1);
  return dc;
}

int VFreeDC(VDC* dc) {
  if (!dc) return 0;
  ReleaseFromContext(dc->pen, VFreePen);
  ReleaseFromContext(dc->brush, VFreeBrush);
  ReleaseFromContext(dc->font, VFreeFont);
  ReleaseFromContext(dc->bitmap, FreeBitmapData);
  VFree(dc);
  return 1;
}

VPen* VSelectPen(VDC* dc, VPen* pen) { return dc ? Swap(dc->pen, pen, VFreePen) : nullptr; }
VBrush* VSelectBrush(VDC* dc, VBrush* brush) { return dc ? Swap(dc->brush, brush, VFreeBrush) : nullptr; }
VFont* VSelectFont(VDC* dc, VFont* font) { return dc ? Swap(dc->font, font, VFreeFont) : nullptr; }

VBitmap* VSelectBitmap(VDC* dc, VBitmap* bitmap) {
  if (!dc || !bitmap) return nullptr;
  if (dc->bitmap && dc->bitmap->bitsPerPixel != bitmap->bitsPerPixel) return nullptr;
  dc->clip = _VRect(0, 0, bitmap->width, bitmap->height);
  return Swap(dc->bitmap, bitmap, FreeBitmapData);
}

std::uint32_t VSetTextColor(VDC* dc, std::uint32_t color) {
  if (!dc) return 0xFFFFFFFFu;
  std::uint32_t previous = dc->textColor;
  dc->textColor = color;
  return previous;
}

std::uint32_t VGetTextColor(const VDC* dc) { return dc ? dc->textColor : 0xFFFFFFFFu; }

_VPoint VMoveTo(VDC* dc, int x, int y) {
  if (!dc) return {-1, -1};
  _VPoint previous(dc->curX, dc->curY);
  dc->curX = x;
  dc->curY = y;
  return previous;
}

int VLineTo(VDC* dc, int x, int y) {
  if (!Usable(dc)) return 0;
  int drawn = DrawSegment(dc, dc->curX, dc->curY, x, y, 255);
  if (drawn) {
    dc->curX = x;
    dc->curY = y;
  }
  return drawn;
}

int VPolyline(VDC* dc, const _VPoint* points, int count, int opacity) {
  if (!Usable(dc) || !points || count < 2 || count > raster::kMaxFillPoints / 4) return 0;
  return PolylineWithPen(dc, points, count, false, opacity);
}

int VPolygon(VDC* dc, const _VPoint* points, int count, int opacity) {
  if (!Usable(dc) || !points || count < 3 || count > raster::kMaxFillPoints / 4) return 0;
  bool hollow = dc->brush->style == BrushStyle::Hollow;
  bool noPen = dc->pen->style == PenStyle::None;
  if (hollow && noPen) return 0;
  int drawn = 0;
  if (!hollow) {
    std::vector<FixPoint> pts;
    pts.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
      pts.push_back({std::int64_t{points[i].x} << 8, std::int64_t{points[i].y} << 8});
    drawn |= raster::FillPolygon(dc->bitmap, dc->clip, pts.data(), count, dc->brush->color, opacity);
  }
  if (!noPen) drawn |= PolylineWithPen(dc, points, count, true, opacity);
  return drawn;
}

int VEllipse(VDC* dc, int left, int top, int right, int bottom, int opacity) {
  if (!Usable(dc)) return 0;
  std::int64_t rx = std::llabs(std::int64_t{right} - left) >> 1;
  std::int64_t ry = std::llabs(std::int64_t{bottom} - top) >> 1;
  if (rx < 1 || ry < 1) return 0;
  std::int64_t cx = (std::int64_t{left} + right) >> 1;
  std::int64_t cy = (std::int64_t{top} + bottom) >> 1;
  int n = static_cast<int>(std::clamp<std::int64_t>(rx + ry, 4, 500));
  std::vector<FixPoint> pts(static_cast<std::size_t>(n));
  const float pi = 3.14159274f;
  pts[0] = {(cx + rx) << 8, cy << 8};
  for (int i = 1; i < n; ++i) {
    double angle = 2.0 * static_cast<double>(pi) * i / n;
    pts[static_cast<std::size_t>(i)] = {
        (cx << 8) + std::llround(static_cast<double>(rx) * 256.0 * std::cos(angle)),
        (cy << 8) + std::llround(static_cast<double>(ry) * 256.0 * std::sin(angle))};
  }
  int drawn = raster::FillPolygon(dc->bitmap, dc->clip, pts.data(), n, dc->brush->color, opacity);
  if (dc->pen->style != PenStyle::None) {
    std::int64_t h = static_cast<std::int64_t>(dc->pen->width * 0.5 * 256);
    drawn |= StrokeWithPen(dc, pts.data(), n, true, h, opacity);
  }
  return drawn;
}

int VBitBlt(VDC* dc, int x, int y, int width, int height, const VBitmap* source, int sourceX, int sourceY,
            std::uint32_t rop) {
  if (!dc || !dc->bitmap || !source || rop != SRCCOPY || width <= 0 || height <= 0) return 0;
  if (source->bitsPerPixel != dc->bitmap->bitsPerPixel) return 0;
  Source src = SourceOf(source);
  if (WholeCopy(dc->bitmap, x, y, width, height, src, sourceX, sourceY)) {
    std::memcpy(dc->bitmap->pixels, source->pixels,
                static_cast<std::size_t>(source->stride) * source->height);
    return 1;
  }
  return CopyRect(dc->bitmap, x, y, width, height, src, sourceX, sourceY);
}

int VStretchBlt(VDC* dc, int x, int y, int width, int height, const VBitmap* source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, std::uint32_t rop) {
  if (!dc || !dc->bitmap || !source) return 0;
  return StretchRect(dc->bitmap, x, y, width, height, SourceOf(source), sourceX, sourceY, sourceWidth,
                     sourceHeight, rop);
}

int VSetDIBitsToDevice(VDC* dc, int x, int y, int width, int height, int sourceX, int sourceY,
                       const void* bits, const BITMAPINFOHEADER* info) {
  if (!dc || !dc->bitmap || !bits || !info || width <= 0 || height <= 0) return 0;
  if (info->biBitCount != dc->bitmap->bitsPerPixel) return 0;
  if (!AllowedSize(info->biWidth, info->biHeight)) return 0;
  Source src{info->biWidth,
             info->biHeight,
             static_cast<int>(VBitmapStride(info->biBitCount, info->biWidth)),
             info->biBitCount,
             static_cast<const std::uint8_t*>(bits),
             nullptr};
  std::int64_t pixelBytes = std::int64_t{src.stride} * src.height;
  if (info->biSizeImage > pixelBytes) {
    // The bytes after the pixels are an alpha plane; one too short to cover the image is refused.
    if (info->biSizeImage < pixelBytes + std::int64_t{src.width} * src.height) return 0;
    src.alpha = src.pixels + pixelBytes;
  }
  if (WholeCopy(dc->bitmap, x, y, width, height, src, sourceX, sourceY)) {
    std::memcpy(dc->bitmap->pixels, src.pixels, static_cast<std::size_t>(pixelBytes));
    return 1;
  }
  return CopyRect(dc->bitmap, x, y, width, height, src, sourceX, sourceY);
}

int VFillRect(VDC* dc, const _VRect& rect, std::uint32_t color) {
  if (!dc || !dc->bitmap) return 0;
  std::uint32_t previous = dc->bkColor;
  dc->bkColor = color;
  VBitmap* b = dc->bitmap;
  int l = std::max(rect.left, 0), t = std::max(rect.top, 0);
  int r = std::min(rect.right, static_cast<int>(b->width)),
      btm = std::min(rect.bottom, static_cast<int>(b->height));
  if (b->bitsPerPixel == 32 && l < r && t < btm) {
    for (int yy = t; yy < btm; ++yy) {
      auto* row = reinterpret_cast<std::uint32_t*>(b->pixels + static_cast<std::size_t>(yy) * b->stride);
      std::fill(row + l, row + r, dc->bkColor);
    }
  }
  dc->bkColor = previous;
  return 1;
}

int VTextOut(VDC* dc, int, int, const char16_t*, int) { return dc ? 1 : 0; }

_VPoint VGetTextExtent(VDC*, const char16_t*, int) { return {0, 0}; }

}  // namespace gmengine
