#pragma once
#include "mapsdk/raster/CVDC.h"

namespace gmengine {

// The notification the window posts when its back buffer is ready to be shown.
inline constexpr const char* kNotificationMainMapPaint = "NotificationMainMapPaint";

// The engine's window: a platform view handle (not owned; the map view), the drawing context it
// owns and the context's 32-bit back buffer, which belongs to the context. The engine global
// keeps the window; the map view reads the back buffer on "NotificationMainMapPaint". Main
// thread, or whichever thread draws while the map view does not read.
class CVWnd {
 public:
  CVWnd() = default;
  virtual ~CVWnd() = default;
  CVWnd(const CVWnd&) = delete;
  CVWnd& operator=(const CVWnd&) = delete;

  // Attaches the platform handle and creates the context; 0 for a null handle or when a handle is
  // already attached.
  int Create(void* handle);
  // Moves the window and gives it a new back buffer of size; 0 without a handle or with an empty
  // size (the old buffer is kept).
  int SetWindowPos(int x, int y, const _VSize& size);
  // (0, 0, back-buffer width, back-buffer height); empty without a handle.
  _VRect GetClientRect() const;
  CVDC* GetDC() { return &dc_; }
  // Posts "NotificationMainMapPaint" on the default centre; 0 without a handle.
  int UpdateWindow();

  void* GetHandle() const { return handle_; }
  // The back buffer (null before SetWindowPos): 32-bit pixels, rows top-down.
  const VBitmap* GetBackBuffer() const;
  int x() const { return x_; }
  int y() const { return y_; }

 private:
  void* handle_ = nullptr;
  CVDC dc_;
  int x_ = 0;
  int y_ = 0;
  bool sized_ = false;
};

}  // namespace gmengine
