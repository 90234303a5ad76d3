#include "mapsdk/raster/CVDC.h"

#include "mapsdk/raster/CVBitmap.h"
#include "mapsdk/raster/CVBrush.h"
#include "mapsdk/raster/CVFont.h"
#include "mapsdk/raster/CVPen.h"

namespace gmengine {

CVDC::~CVDC() { DeleteDC(); }

int CVDC::CreateCompatibleDC(CVDC*) {
  if (dc_) return 1;
  dc_ = VCreateDC();
  owns_ = dc_ != nullptr;
  return dc_ ? 1 : 0;
}

int CVDC::DeleteDC() {
  if (!dc_) return 1;
  if (!owns_) return 0;
  VFreeDC(dc_);
  dc_ = nullptr;
  owns_ = false;
  return 1;
}

int CVDC::Attach(VDC* dc) {
  if (!dc || dc_) return 0;
  dc_ = dc;
  owns_ = false;
  return 1;
}

VDC* CVDC::Detach() {
  if (!dc_ || owns_) return nullptr;
  VDC* dc = dc_;
  dc_ = nullptr;
  return dc;
}

VPen* CVDC::SelectObject(CVPen* pen) { return pen ? VSelectPen(dc_, pen->GetHandle()) : nullptr; }
VBrush* CVDC::SelectObject(CVBrush* brush) { return brush ? VSelectBrush(dc_, brush->GetHandle()) : nullptr; }
VFont* CVDC::SelectObject(CVFont* font) { return font ? VSelectFont(dc_, font->GetHandle()) : nullptr; }
VBitmap* CVDC::SelectObject(CVBitmap* bitmap) {
  return bitmap ? VSelectBitmap(dc_, bitmap->GetHandle()) : nullptr;
}

int CVDC::BitBlt(int x, int y, int width, int height, const CVDC* source, int sourceX, int sourceY,
                 std::uint32_t rop) {
  if (!source) return 0;
  return VBitBlt(dc_, x, y, width, height, source->GetCurrentBitmap(), sourceX, sourceY, rop);
}

int CVDC::StretchBlt(int x, int y, int width, int height, const CVDC* source, int sourceX, int sourceY,
                     int sourceWidth, int sourceHeight, std::uint32_t rop) {
  if (!source) return 0;
  return VStretchBlt(dc_, x, y, width, height, source->GetCurrentBitmap(), sourceX, sourceY, sourceWidth,
                     sourceHeight, rop);
}

int CVDC::DrawText(const char16_t* text, int length, const _VRect& rect) {
  VTextOut(dc_, rect.left, rect.top, text, length);
  return 0;
}

_VSize CVDC::GetTextExtent(const char16_t* text, int length) {
  _VPoint extent = VGetTextExtent(dc_, text, length);
  return {extent.x, extent.y};
}

}  // namespace gmengine
