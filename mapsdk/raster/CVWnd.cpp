#include "mapsdk/raster/CVWnd.h"

#include "platform/foundation/NotificationCenter.h"

namespace gmengine {

int CVWnd::Create(void* handle) {
  if (!handle || handle_) return 0;
  handle_ = handle;
  return dc_.CreateCompatibleDC();
}

int CVWnd::SetWindowPos(int x, int y, const _VSize& size) {
  if (!handle_ || size.cx <= 0 || size.cy <= 0) return 0;
  VBitmap* buffer = VCreateBitmap(size.cx, size.cy, 32, nullptr);
  if (!buffer) return 0;
  x_ = x;
  y_ = y;
  dc_.DeleteDC();
  if (!dc_.CreateCompatibleDC()) {
    FreeBitmapData(buffer);
    return 0;
  }
  // The buffer now belongs to the context: its count (2 while selected) keeps it until the
  // context is freed, which frees it.
  VBitmap* previous = dc_.SelectObject(buffer);
  FreeBitmapData(previous);
  sized_ = true;
  return 1;
}

_VRect CVWnd::GetClientRect() const {
  const VBitmap* buffer = GetBackBuffer();
  if (!handle_ || !buffer) return {};
  return {0, 0, buffer->width, buffer->height};
}

int CVWnd::UpdateWindow() {
  if (!handle_) return 0;
  platform::NotificationCenter::defaultCenter().post(kNotificationMainMapPaint);
  return 1;
}

const VBitmap* CVWnd::GetBackBuffer() const { return sized_ ? dc_.GetCurrentBitmap() : nullptr; }

}  // namespace gmengine
