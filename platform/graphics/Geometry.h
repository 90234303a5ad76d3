#pragma once
#include <algorithm>
#include <cmath>

namespace platform {

// Geometry of the UI in points: origin at the top left, x to the right, y downwards.

struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  Point origin;
  Size size;

  constexpr Rect() = default;
  constexpr Rect(Point o, Size s) : origin(o), size(s) {}
  constexpr Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

  double x() const { return origin.x; }
  double y() const { return origin.y; }
  double width() const { return size.width; }
  double height() const { return size.height; }

  // Edges and centre; a negative width or height counts from the other side.
  double minX() const { return std::min(origin.x, origin.x + size.width); }
  double maxX() const { return std::max(origin.x, origin.x + size.width); }
  double midX() const { return origin.x + size.width / 2; }
  double minY() const { return std::min(origin.y, origin.y + size.height); }
  double maxY() const { return std::max(origin.y, origin.y + size.height); }
  double midY() const { return origin.y + size.height / 2; }
  Point center() const { return {midX(), midY()}; }

  // The same area with a non-negative width and height.
  Rect standardized() const { return {minX(), minY(), maxX() - minX(), maxY() - minY()}; }
  // Nothing inside: a zero width or height.
  bool isEmpty() const { return size.width == 0 || size.height == 0; }

  // Left and top edges belong to the rectangle, right and bottom edges do not.
  bool containsPoint(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
  bool containsRect(const Rect& r) const {
    return !r.isEmpty() && r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() &&
           r.maxY() <= maxY();
  }
  bool intersectsRect(const Rect& r) const { return !intersection(r).isEmpty(); }
  // The common part; an empty rectangle at the origin when there is none.
  Rect intersection(const Rect& r) const {
    double x0 = std::max(minX(), r.minX()), x1 = std::min(maxX(), r.maxX());
    double y0 = std::max(minY(), r.minY()), y1 = std::min(maxY(), r.maxY());
    if (x1 <= x0 || y1 <= y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
  }
  // The smallest rectangle holding both; an empty one does not count.
  Rect unionWith(const Rect& r) const {
    if (isEmpty()) return r.standardized();
    if (r.isEmpty()) return standardized();
    double x0 = std::min(minX(), r.minX()), y0 = std::min(minY(), r.minY());
    return {x0, y0, std::max(maxX(), r.maxX()) - x0, std::max(maxY(), r.maxY()) - y0};
  }
  // Shrinks by dx on the left and right and dy at the top and bottom (negative values grow it).
  Rect insetBy(double dx, double dy) const {
    Rect s = standardized();
    return {s.origin.x + dx, s.origin.y + dy, s.size.width - 2 * dx, s.size.height - 2 * dy};
  }
  Rect offsetBy(double dx, double dy) const {
    return {origin.x + dx, origin.y + dy, size.width, size.height};
  }
  // The smallest rectangle with whole-number edges that holds this one.
  Rect integral() const {
    double x0 = std::floor(minX()), y0 = std::floor(minY());
    return {x0, y0, std::ceil(maxX()) - x0, std::ceil(maxY()) - y0};
  }

  bool operator==(const Rect&) const = default;
};

// Insets in the platform's order: top, left, bottom, right.
struct EdgeInsets {
  double top = 0;
  double left = 0;
  double bottom = 0;
  double right = 0;
  bool operator==(const EdgeInsets&) const = default;
};

inline Rect insetRect(const Rect& r, const EdgeInsets& e) {
  return {r.origin.x + e.left, r.origin.y + e.top, r.size.width - e.left - e.right,
          r.size.height - e.top - e.bottom};
}

// x' = a·x + c·y + tx, y' = b·x + d·y + ty. The operations that build on a transform (translated,
// scaled, rotated) apply the new step first and the existing transform after it, as a context's
// current transform is built up.
struct AffineTransform {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static constexpr AffineTransform identity() { return {}; }
  static constexpr AffineTransform makeTranslation(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static constexpr AffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  // With y downwards a positive angle turns clockwise on screen.
  static AffineTransform makeRotation(double radians) {
    double cs = std::cos(radians), sn = std::sin(radians);
    return {cs, sn, -sn, cs, 0, 0};
  }

  // This transform, then other.
  AffineTransform concat(const AffineTransform& o) const {
    return {a * o.a + b * o.c, a * o.b + b * o.d,          c * o.a + d * o.c,
            c * o.b + d * o.d, tx * o.a + ty * o.c + o.tx, tx * o.b + ty * o.d + o.ty};
  }
  AffineTransform translated(double x, double y) const { return makeTranslation(x, y).concat(*this); }
  AffineTransform scaled(double sx, double sy) const { return makeScale(sx, sy).concat(*this); }
  AffineTransform rotated(double radians) const { return makeRotation(radians).concat(*this); }

  double determinant() const { return a * d - b * c; }
  bool isInvertible() const { return determinant() != 0; }
  // The transform itself when it cannot be inverted.
  AffineTransform inverted() const {
    double det = determinant();
    if (det == 0) return *this;
    return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
  }
  bool isIdentity() const { return *this == AffineTransform{}; }
  // Only translation and scaling (no rotation or shear).
  bool isRectilinear() const { return b == 0 && c == 0; }

  Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  Size apply(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
  // The bounding box of the transformed rectangle.
  Rect apply(const Rect& r) const {
    Point p[4] = {apply(Point{r.minX(), r.minY()}), apply(Point{r.maxX(), r.minY()}),
                  apply(Point{r.minX(), r.maxY()}), apply(Point{r.maxX(), r.maxY()})};
    double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (const Point& q : p) {
      x0 = std::min(x0, q.x);
      x1 = std::max(x1, q.x);
      y0 = std::min(y0, q.y);
      y1 = std::max(y1, q.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
  }

  bool operator==(const AffineTransform&) const = default;
};

}  // namespace platform
