#include "platform/graphics/Path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform {

namespace {

constexpr double kFlatness = 0.02;
constexpr double kTwoPi = 2 * std::numbers::pi;

bool finitePoint(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Segments enough for a sweep of the angle at the radius to stay within the flatness.
int segmentsFor(double radius, double sweep) {
  double r = std::abs(radius);
  if (r <= kFlatness) return 1;
  double step = 2 * std::acos(1 - kFlatness / r);
  double n = std::ceil(std::abs(sweep) / step);
  return static_cast<int>(std::clamp(n, 4.0, 4096.0));
}

double cross(Point o, Point a, Point b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

Point unit(Point from, Point to) {
  double dx = to.x - from.x, dy = to.y - from.y, len = std::hypot(dx, dy);
  if (len == 0) return {0, 0};
  return {dx / len, dy / len};
}

}  // namespace

bool Path::addPoint(Subpath& s, Point p) {
  if (pointCount_ >= MaxPoints || !finitePoint(p)) return false;
  s.points.push_back(p);
  ++pointCount_;
  return true;
}

void Path::moveTo(Point p) {
  if (pointCount_ >= MaxPoints || !finitePoint(p)) return;
  subpaths_.emplace_back();
  addPoint(subpaths_.back(), p);
  open_ = true;
}

void Path::lineTo(Point p) {
  if (!open_) {
    // After a close the current point is the closed sub-path's start.
    if (subpaths_.empty() || !subpaths_.back().closed || subpaths_.back().points.empty()) {
      moveTo(p);
      return;
    }
    moveTo(subpaths_.back().points.front());
  }
  if (!subpaths_.empty()) addPoint(subpaths_.back(), p);
}

void Path::closeSubpath() {
  if (!open_ || subpaths_.empty()) return;
  subpaths_.back().closed = true;
  open_ = false;
}

void Path::addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise) {
  if (!finitePoint(center) || !std::isfinite(radius) || !std::isfinite(startAngle) ||
      !std::isfinite(endAngle))
    return;
  double sweep = endAngle - startAngle;
  if (std::abs(sweep) >= kTwoPi - 1e-6) {
    sweep = clockwise ? -kTwoPi : kTwoPi;
  } else if (clockwise) {
    while (sweep > 0) sweep -= kTwoPi;
  } else {
    while (sweep < 0) sweep += kTwoPi;
  }
  int n = segmentsFor(radius, sweep);
  for (int i = 0; i <= n; ++i) {
    double a = startAngle + sweep * i / n;
    Point p{center.x + radius * std::cos(a), center.y + radius * std::sin(a)};
    if (i == 0 && !open_)
      moveTo(p);
    else
      lineTo(p);
  }
}

void Path::addEllipseInRect(const Rect& rect) {
  Rect r = rect.standardized();
  double rx = r.width() / 2, ry = r.height() / 2;
  int n = segmentsFor(std::max(rx, ry), kTwoPi);
  for (int i = 0; i < n; ++i) {
    double a = kTwoPi * i / n;
    Point p{r.midX() + rx * std::cos(a), r.midY() + ry * std::sin(a)};
    if (i == 0)
      moveTo(p);
    else
      lineTo(p);
  }
  closeSubpath();
}

void Path::addRect(const Rect& rect) {
  Rect r = rect.standardized();
  moveTo({r.minX(), r.minY()});
  lineTo({r.maxX(), r.minY()});
  lineTo({r.maxX(), r.maxY()});
  lineTo({r.minX(), r.maxY()});
  closeSubpath();
}

Rect Path::boundingBox() const {
  bool any = false;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (const auto& s : subpaths_)
    for (Point p : s.points) {
      if (!any) {
        x0 = x1 = p.x;
        y0 = y1 = p.y;
        any = true;
      }
      x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
      y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    }
  return {x0, y0, x1 - x0, y1 - y0};
}

bool Path::contains(Point p, PathFillRule rule) const {
  // Crossings of a ray toward +x; half-open in y so a shared vertex counts once, and the pixel
  // rule (left edges in, right edges out) follows from x >= the edge's x.
  int winding = 0;
  for (const auto& s : subpaths_) {
    std::size_t n = s.points.size();
    if (n < 3) continue;
    for (std::size_t i = 0; i < n; ++i) {
      Point a = s.points[i], b = s.points[(i + 1) % n];
      if (a.y == b.y) continue;
      bool up = a.y < b.y;
      Point lo = up ? a : b, hi = up ? b : a;
      if (p.y < lo.y || p.y >= hi.y) continue;
      double x = lo.x + (p.y - lo.y) * (hi.x - lo.x) / (hi.y - lo.y);
      if (p.x >= x) winding += up ? 1 : -1;
    }
  }
  return rule == PathFillRule::EvenOdd ? (winding & 1) != 0 : winding != 0;
}

Path Path::dashed(const std::vector<double>& lengths, double phase) const {
  double total = 0;
  for (double d : lengths) {
    if (!(d >= 0) || !std::isfinite(d)) return *this;
    total += d;
  }
  if (lengths.empty() || total <= 0) return *this;
  Path out;
  for (const auto& s : subpaths_) {
    std::vector<Point> pts = s.points;
    if (s.closed && !pts.empty()) pts.push_back(pts.front());
    // Where in the pattern the sub-path starts.
    double offset = std::fmod(std::isfinite(phase) ? phase : 0, total);
    if (offset < 0) offset += total;
    std::size_t index = 0;
    while (offset >= lengths[index]) {
      offset -= lengths[index];
      index = (index + 1) % lengths.size();
    }
    double left = lengths[index] - offset;  // of the current dash or gap
    bool on = index % 2 == 0;
    if (on && !pts.empty()) out.moveTo(pts.front());
    for (std::size_t i = 1; i < pts.size(); ++i) {
      Point a = pts[i - 1], b = pts[i];
      double segment = std::hypot(b.x - a.x, b.y - a.y), done = 0;
      while (segment - done > left) {
        if (out.pointCount_ >= MaxPoints) return out;
        done += left;
        Point c{a.x + (b.x - a.x) * done / segment, a.y + (b.y - a.y) * done / segment};
        if (on)
          out.lineTo(c), out.open_ = false;
        else
          out.moveTo(c);
        on = !on;
        index = (index + 1) % lengths.size();
        left = lengths[index];
      }
      left -= segment - done;
      if (on) out.lineTo(b);
    }
    out.open_ = false;
  }
  return out;
}

StrokeOutline::StrokeOutline(const Path& path, const StrokeStyle& style) {
  if (!(style.width > 0) || !std::isfinite(style.width)) return;
  Path p = style.dashes.empty() ? path : path.dashed(style.dashes, style.dashPhase);
  for (const auto& s : p.subpaths()) addSubpath(s, style);
}

void StrokeOutline::addPolygon(std::vector<Point> corners) {
  // Turned anticlockwise (positive cross products) so the inside test has one sign.
  double area = 0;
  for (std::size_t i = 0; i < corners.size(); ++i)
    area += cross({0, 0}, corners[i], corners[(i + 1) % corners.size()]);
  if (area == 0) return;
  if (area < 0) std::reverse(corners.begin(), corners.end());
  double x0 = corners[0].x, y0 = corners[0].y, x1 = x0, y1 = y0;
  for (Point c : corners)
    x0 = std::min(x0, c.x), y0 = std::min(y0, c.y), x1 = std::max(x1, c.x), y1 = std::max(y1, c.y);
  Rect box(x0, y0, x1 - x0, y1 - y0);
  bounds_ = any_ ? bounds_.unionWith(box) : box;
  any_ = true;
  pieces_.push_back(Piece{std::move(corners), {}, 0});
}

void StrokeOutline::addDisk(Point c, double r) {
  Rect box(c.x - r, c.y - r, 2 * r, 2 * r);
  bounds_ = any_ ? bounds_.unionWith(box) : box;
  any_ = true;
  pieces_.push_back(Piece{{}, c, r});
}

void StrokeOutline::addCap(Point end, Point from, const StrokeStyle& style) {
  double h = style.width / 2;
  if (style.cap == LineCap::Round) {
    addDisk(end, h);
  } else if (style.cap == LineCap::Square) {
    Point u = unit(from, end);
    if (u.x == 0 && u.y == 0) u = {1, 0};
    Point n{-u.y * h, u.x * h};
    Point far{end.x + u.x * h, end.y + u.y * h};
    addPolygon({{end.x + n.x, end.y + n.y},
                {far.x + n.x, far.y + n.y},
                {far.x - n.x, far.y - n.y},
                {end.x - n.x, end.y - n.y}});
  }
}

void StrokeOutline::addJoin(Point prev, Point at, Point next, const StrokeStyle& style) {
  double h = style.width / 2;
  if (style.join == LineJoin::Round) {
    addDisk(at, h);
    return;
  }
  Point u1 = unit(prev, at), u2 = unit(at, next);
  double turn = u1.x * u2.y - u1.y * u2.x;
  if (turn == 0) return;
  // The outer side of the corner.
  double side = turn > 0 ? -1 : 1;
  Point a{at.x - u1.y * h * side, at.y + u1.x * h * side};
  Point b{at.x - u2.y * h * side, at.y + u2.x * h * side};
  if (style.join == LineJoin::Miter) {
    double cosTheta = std::clamp(u1.x * u2.x + u1.y * u2.y, -1.0, 1.0);
    double halfAngle = std::acos(-cosTheta) / 2;  // half the angle between the segments
    double ratio = halfAngle > 0 ? 1 / std::sin(halfAngle) : INFINITY;
    if (ratio <= style.miterLimit) {
      Point mid{(a.x + b.x) / 2 - at.x, (a.y + b.y) / 2 - at.y};
      double len = std::hypot(mid.x, mid.y);
      if (len > 0) {
        double reach = h * ratio;
        Point tip{at.x + mid.x / len * reach, at.y + mid.y / len * reach};
        addPolygon({at, a, tip, b});
        return;
      }
    }
  }
  addPolygon({at, a, b});
}

void StrokeOutline::addSubpath(const Path::Subpath& s, const StrokeStyle& style) {
  double h = style.width / 2;
  std::vector<Point> pts;
  for (Point p : s.points)
    if (pts.empty() || p != pts.back()) pts.push_back(p);
  bool closed = s.closed && pts.size() > 2;
  if (closed && pts.back() == pts.front()) pts.pop_back();
  if (pts.size() == 1) {
    // A dot: only caps with extent show it.
    if (style.cap == LineCap::Round) addDisk(pts[0], h);
    if (style.cap == LineCap::Square)
      addPolygon({{pts[0].x - h, pts[0].y - h},
                  {pts[0].x + h, pts[0].y - h},
                  {pts[0].x + h, pts[0].y + h},
                  {pts[0].x - h, pts[0].y + h}});
    return;
  }
  std::size_t segments = closed ? pts.size() : pts.size() - 1;
  for (std::size_t i = 0; i < segments; ++i) {
    Point a = pts[i], b = pts[(i + 1) % pts.size()];
    Point u = unit(a, b);
    Point n{-u.y * h, u.x * h};
    addPolygon(
        {{a.x + n.x, a.y + n.y}, {b.x + n.x, b.y + n.y}, {b.x - n.x, b.y - n.y}, {a.x - n.x, a.y - n.y}});
  }
  if (closed) {
    for (std::size_t i = 0; i < pts.size(); ++i)
      addJoin(pts[(i + pts.size() - 1) % pts.size()], pts[i], pts[(i + 1) % pts.size()], style);
  } else {
    for (std::size_t i = 1; i + 1 < pts.size(); ++i) addJoin(pts[i - 1], pts[i], pts[i + 1], style);
    addCap(pts.front(), pts[1], style);
    addCap(pts.back(), pts[pts.size() - 2], style);
  }
}

bool StrokeOutline::contains(Point p) const {
  for (const auto& piece : pieces_) {
    if (piece.corners.empty()) {
      double dx = p.x - piece.center.x, dy = p.y - piece.center.y;
      if (dx * dx + dy * dy <= piece.radius * piece.radius) return true;
      continue;
    }
    bool inside = true;
    for (std::size_t i = 0; i < piece.corners.size() && inside; ++i)
      inside = cross(piece.corners[i], piece.corners[(i + 1) % piece.corners.size()], p) >= 0;
    if (inside) return true;
  }
  return false;
}

}  // namespace platform
