#pragma once
#include <cstddef>
#include <cstdint>

#include "mapsdk/engine/VRect.h"

// The engine's software renderer: 32-bit memory bitmaps, pens, brushes and fonts selected into a
// drawing context that draws anti-aliased lines, polylines, polygons and ellipses, copies and
// stretches bitmaps and fills rectangles. Colours are 0xAARRGGBB words (blue in the low byte);
// every blend stores alpha 0xFF. Sizes are pixels, y grows downward.
//
// Every block is allocated with the engine allocator (VMalloc) and freed only by the functions
// here. A block's reference count is 1 at creation, raised while it is selected into a context and
// lowered when replaced there; its free is refused (0) while the count is above 1. A context, when
// freed, frees each current object whose count is below 3 and lowers the others.
// A context and what is selected into it are used by one thread at a time.

namespace gmengine {

class CVGlobalMan;

// The owner of a block: a wrapper object (CVPen, CVBitmap, ...) registers its slot here, so a
// context that frees the block (see VFreeDC) empties the wrapper instead of leaving it a dangling
// handle it would free a second time.
struct VOwnerSlot {
  void* handle = nullptr;
  bool owns = false;
};

// The DIB info header as device-independent bitmap files lay it out (40 bytes, little-endian).
#pragma pack(push, 1)
struct BITMAPINFOHEADER {
  std::uint32_t biSize = 40;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 1;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// A bitmap block; pixels (and the optional alpha plane) follow it in the same allocation.
struct VBitmap {
  std::uint16_t width;
  std::uint16_t height;
  std::uint16_t stride;  // bytes per row
  std::uint8_t refCount;
  std::uint8_t bitsPerPixel;
  BITMAPINFOHEADER* info;  // -> infoHeader
  std::uint8_t* pixels;    // height rows of stride bytes, row 0 at the top
  std::uint8_t* alpha;     // width x height bytes, or null
  BITMAPINFOHEADER infoHeader;
  VOwnerSlot* owner;
};

enum class PenStyle : std::uint8_t { Solid = 0, Dotted = 2, None = 5 };
enum class BrushStyle : std::uint16_t { Solid = 0, Hollow = 1 };

struct VPen {
  PenStyle style;
  std::uint8_t width;
  std::uint16_t refCount;
  std::uint32_t color;
  VOwnerSlot* owner;
};

struct VBrush {
  BrushStyle style;
  std::uint16_t refCount;
  std::uint32_t color;
  VOwnerSlot* owner;
};

struct VFont {
  std::int32_t height;
  std::int32_t width;
  std::uint16_t refCount;
  VOwnerSlot* owner;
};

struct VDC {
  std::uint32_t textColor;
  std::uint32_t bkColor;
  int bkMode;  // 2 opaque
  VPen* pen;
  VBrush* brush;
  VFont* font;
  VBitmap* bitmap;
  int originX;
  int originY;
  int curX;
  int curY;
  _VRect clip;  // left, top, right (exclusive), bottom (exclusive)
};

// A size in pixels.
struct _VSize {
  int cx = 0;
  int cy = 0;
  bool operator==(const _VSize&) const = default;
};

// The one raster operation that draws.
constexpr std::uint32_t SRCCOPY = 0xCC0020;

// Largest side of a bitmap (its stride is a 16-bit word) and largest pixel count.
constexpr int kMaxBitmapSide = 16383;
constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 25;

// Bytes per row for a bit count: ((bits x width + 31) >> 3) cut to a multiple of 4.
std::int64_t VBitmapStride(int bitsPerPixel, int width);

// ---- objects (each null on failure) ----

// A 32-bit bitmap (bitsPerPixel is ignored); pixels, when given, hold height rows of width x 4
// bytes and are copied, else the bitmap is zeroed.
VBitmap* VCreateBitmap(int width, int height, int bitsPerPixel, const void* pixels);
// The same with a copied alpha plane (width x height bytes).
VBitmap* VCreateBitmapWithAlpha(int width, int height, const void* pixels, const std::uint8_t* alpha);
// From a DIB: the info header followed by its pixels, dibSize bytes in all. Bit counts 16, 24
// and 32 are taken; bottom-up rows (the file order) are turned top-down; 16-bit 5-5-5 pixels
// become 5-6-5.
VBitmap* VCreateBitmapFromDIB(const void* dib, std::size_t dibSize);
// 0 (refused) while the count is above 1 or for null; else frees and answers 1.
int FreeBitmapData(VBitmap* bitmap);
// Copies the info header out (44 bytes: the 40-byte header and 4 zero bytes of colour mask); 0
// without a bitmap.
int VGetBitmapInfo(const VBitmap* bitmap, void* out44);

VPen* VCreatePen(PenStyle style, int width, std::uint32_t color);
int VFreePen(VPen* pen);
VBrush* VCreateBrush(BrushStyle style, std::uint32_t color);
int VFreeBrush(VBrush* brush);
// Null unless a face name and the engine's platform information (the caller's) are given.
VFont* VCreateFont(int height, int width, const char16_t* faceName, const CVGlobalMan* platform);
int VFreeFont(VFont* font);

// A context with its default pen (solid, 1, black), brush (solid, white), font (16 x 16,
// "MSYH.TTF") and 1 x 1 32-bit bitmap.
VDC* VCreateDC();
// Frees the context's current objects whose count is below 3 (lowering the others), then the
// context. Owners of the freed objects are emptied.
int VFreeDC(VDC* dc);

// ---- context operations; the context is the first argument ----

VPen* VSelectPen(VDC* dc, VPen* pen);
VBrush* VSelectBrush(VDC* dc, VBrush* brush);
VFont* VSelectFont(VDC* dc, VFont* font);
// Only a bitmap of the current bit count; the clip becomes the bitmap. Null when refused.
VBitmap* VSelectBitmap(VDC* dc, VBitmap* bitmap);

std::uint32_t VSetTextColor(VDC* dc, std::uint32_t color);  // previous, 0xFFFFFFFF without dc
std::uint32_t VGetTextColor(const VDC* dc);                 // 0xFFFFFFFF without dc

_VPoint VMoveTo(VDC* dc, int x, int y);  // previous position, (-1, -1) without dc
int VLineTo(VDC* dc, int x, int y);
int VPolyline(VDC* dc, const _VPoint* points, int count, int opacity);
int VPolygon(VDC* dc, const _VPoint* points, int count, int opacity);
int VEllipse(VDC* dc, int left, int top, int right, int bottom, int opacity);

int VBitBlt(VDC* dc, int x, int y, int width, int height, const VBitmap* source, int sourceX, int sourceY,
            std::uint32_t rop);
int VStretchBlt(VDC* dc, int x, int y, int width, int height, const VBitmap* source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, std::uint32_t rop);
// The source is raw pixels described by info (rows top-down); an image size beyond stride x
// height means an alpha plane of width x height bytes follows the pixels.
int VSetDIBitsToDevice(VDC* dc, int x, int y, int width, int height, int sourceX, int sourceY,
                       const void* bits, const BITMAPINFOHEADER* info);
int VFillRect(VDC* dc, const _VRect& rect, std::uint32_t color);

// Text is not drawn by this engine: output leaves the bitmap as it is, measurement answers (0, 0).
int VTextOut(VDC* dc, int x, int y, const char16_t* text, int length);
_VPoint VGetTextExtent(VDC* dc, const char16_t* text, int length);

}  // namespace gmengine
