#pragma once
#include <cstdint>

#include "mapsdk/raster/VRaster.h"

namespace gmengine {

class CVBitmap;
class CVBrush;
class CVFont;
class CVPen;

// A drawing context of the raster engine. Owns the context it creates (DeleteDC and the
// destructor free it, together with whatever is selected into it with a count below 3: see
// VFreeDC; wrappers of objects freed that way are emptied). An attached context is not freed.
// SelectObject answers the previously selected raw object, which the caller re-selects or frees.
// One thread at a time.
class CVDC {
 public:
  CVDC() = default;
  virtual ~CVDC();
  CVDC(const CVDC&) = delete;
  CVDC& operator=(const CVDC&) = delete;

  // Creates a context when there is none. 1 when the object holds a context afterwards.
  int CreateCompatibleDC(CVDC* reference = nullptr);
  // Frees an owned context (1 also when there was none).
  int DeleteDC();
  bool IsValid() const { return dc_ != nullptr; }
  int Attach(VDC* dc);
  VDC* Detach();
  VDC* GetSafeHdc() const { return dc_; }
  // The selected bitmap (the back buffer of a window's context), null without a context.
  VBitmap* GetCurrentBitmap() const { return dc_ ? dc_->bitmap : nullptr; }

  VPen* SelectObject(CVPen* pen);
  VBrush* SelectObject(CVBrush* brush);
  VFont* SelectObject(CVFont* font);
  VBitmap* SelectObject(CVBitmap* bitmap);
  // Re-selects a raw object answered by an earlier SelectObject.
  VPen* SelectObject(VPen* pen) { return VSelectPen(dc_, pen); }
  VBrush* SelectObject(VBrush* brush) { return VSelectBrush(dc_, brush); }
  VFont* SelectObject(VFont* font) { return VSelectFont(dc_, font); }
  VBitmap* SelectObject(VBitmap* bitmap) { return VSelectBitmap(dc_, bitmap); }

  std::uint32_t SetTextColor(std::uint32_t color) { return VSetTextColor(dc_, color); }
  std::uint32_t GetTextColor() const { return VGetTextColor(dc_); }
  _VPoint MoveTo(int x, int y) { return VMoveTo(dc_, x, y); }
  int LineTo(int x, int y) { return VLineTo(dc_, x, y); }
  int Polyline(const _VPoint* points, int count, int opacity) {
    return VPolyline(dc_, points, count, opacity);
  }
  int Polygon(const _VPoint* points, int count, int opacity) { return VPolygon(dc_, points, count, opacity); }
  int Ellipse(int left, int top, int right, int bottom, int opacity) {
    return VEllipse(dc_, left, top, right, bottom, opacity);
  }
  int BitBlt(int x, int y, int width, int height, const CVDC* source, int sourceX, int sourceY,
             std::uint32_t rop);
  int BitBlt(int x, int y, int width, int height, const VBitmap* source, int sourceX, int sourceY,
             std::uint32_t rop) {
    return VBitBlt(dc_, x, y, width, height, source, sourceX, sourceY, rop);
  }
  int StretchBlt(int x, int y, int width, int height, const CVDC* source, int sourceX, int sourceY,
                 int sourceWidth, int sourceHeight, std::uint32_t rop);
  int StretchBlt(int x, int y, int width, int height, const VBitmap* source, int sourceX, int sourceY,
                 int sourceWidth, int sourceHeight, std::uint32_t rop) {
    return VStretchBlt(dc_, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, rop);
  }
  int SetDIBitsToDevice(int x, int y, int width, int height, int sourceX, int sourceY, const void* bits,
                        const BITMAPINFOHEADER* info) {
    return VSetDIBitsToDevice(dc_, x, y, width, height, sourceX, sourceY, bits, info);
  }
  int FillSolidRect(const _VRect& rect, std::uint32_t color) { return VFillRect(dc_, rect, color); }
  // Text is not drawn: 0, the bitmap unchanged.
  int DrawText(const char16_t* text, int length, const _VRect& rect);
  _VSize GetTextExtent(const char16_t* text, int length);

 private:
  VDC* dc_ = nullptr;
  bool owns_ = false;
};

}  // namespace gmengine
