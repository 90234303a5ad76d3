#include "mapsdk/raster/CVWnd.h"

#include "platform/foundation/NotificationCenter.h"

namespace gmengine {

int CVWnd::Create(std::weak_ptr<CVWndView> view) {
  if (created_) return 0;
  created_ = dc_.CreateCompatibleDC() != 0;
  if (created_) view_ = std::move(view);
  return created_ ? 1 : 0;
}

int CVWnd::SetWindowPos(int x, int y, const _VSize& size) {
  if (!created_ || size.cx <= 0 || size.cy <= 0) return 0;
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
  if (!buffer) return {};
  return {0, 0, buffer->width, buffer->height};
}

int CVWnd::UpdateWindow() {
  std::shared_ptr<CVWndView> view = view_.lock();
  if (view) view->OnWindowUpdate(*this);
  // Everyone else who follows the map hears of the new picture too, with the window as sender.
  platform::NotificationCenter::defaultCenter().post(kNotificationMainMapPaint, this);
  return view ? 1 : 0;
}

const VBitmap* CVWnd::GetBackBuffer() const { return sized_ ? dc_.GetCurrentBitmap() : nullptr; }

}  // namespace gmengine
