#pragma once

namespace gmengine {

// An engine point: integer map units or pixels, as the caller's space says.
struct _VPoint {
  int x = 0;
  int y = 0;

  _VPoint() = default;
  _VPoint(int px, int py) : x(px), y(py) {}
  void SetPoint(int px, int py) {
    x = px;
    y = py;
  }
  void OffsetBy(int dx, int dy) {
    x += dx;
    y += dy;
  }
  _VPoint operator-(const _VPoint& other) const { return {x - other.x, y - other.y}; }
  _VPoint operator+(const _VPoint& other) const { return {x + other.x, y + other.y}; }
  bool operator==(const _VPoint&) const = default;
};

// An engine rectangle (left, top, right, bottom). Which way y grows is the caller's space: map
// rectangles have y up (top > bottom), window rectangles y down. Width and height are the plain
// differences right - left and bottom - top.
struct _VRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  _VRect() = default;
  _VRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
  void SetRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
  }
  void OffsetBy(int dx, int dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
  }
  _VPoint TopLeft() const { return {left, top}; }
  _VPoint BottomRight() const { return {right, bottom}; }
  // The middle, computed without overflow.
  _VPoint CenterPoint() const {
    return {static_cast<int>((static_cast<long long>(left) + right) / 2),
            static_cast<int>((static_cast<long long>(top) + bottom) / 2)};
  }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const _VRect&) const = default;
};

}  // namespace gmengine
