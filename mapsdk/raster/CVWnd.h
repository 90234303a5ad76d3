#pragma once
#include <memory>

#include "mapsdk/raster/CVDC.h"

namespace gmengine {

// Posted by those who changed what lies over the map (annotations, the user location) so that the
// map view lays it out again, and by the window (as sender) after each new picture, once it told
// its own view directly.
inline constexpr const char* kNotificationMainMapPaint = "NotificationMainMapPaint";

class CVWnd;

// What shows a window's back buffer: the map view. Told on the drawing thread each time the back
// buffer holds a new picture.
class CVWndView {
 public:
  virtual void OnWindowUpdate(const CVWnd& window) = 0;

 protected:
  ~CVWndView() = default;
};

// The engine's window: the view that shows it (not owned: a view that went away is simply not
// told), the drawing context it owns and the context's 32-bit back buffer, which belongs to the
// context. The engine global keeps the window. Main thread, or whichever thread draws while the
// view does not read.
class CVWnd {
 public:
  CVWnd() = default;
  virtual ~CVWnd() = default;
  CVWnd(const CVWnd&) = delete;
  CVWnd& operator=(const CVWnd&) = delete;

  // Creates the context and attaches the view (which may be empty: then nothing is told); 0 when
  // the window was created already.
  int Create(std::weak_ptr<CVWndView> view);
  // The view that shows the window from now on (the map view that came on screen).
  void SetView(std::weak_ptr<CVWndView> view) { view_ = std::move(view); }
  std::shared_ptr<CVWndView> GetView() const { return view_.lock(); }
  // Moves the window and gives it a new back buffer of size; 0 before Create or with an empty size
  // (the old buffer is kept).
  int SetWindowPos(int x, int y, const _VSize& size);
  // (0, 0, back-buffer width, back-buffer height); empty before the first SetWindowPos.
  _VRect GetClientRect() const;
  CVDC* GetDC() { return &dc_; }
  // Tells the view that the back buffer holds a new picture; 0 without a live view.
  int UpdateWindow();

  // The back buffer (null before SetWindowPos): 32-bit pixels, rows top-down.
  const VBitmap* GetBackBuffer() const;
  int x() const { return x_; }
  int y() const { return y_; }

 private:
  std::weak_ptr<CVWndView> view_;
  CVDC dc_;
  bool created_ = false;
  int x_ = 0;
  int y_ = 0;
  bool sized_ = false;
};

}  // namespace gmengine
