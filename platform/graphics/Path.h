#pragma once
#include <cstddef>
#include <vector>

#include "platform/graphics/Geometry.h"

namespace platform {

// The platform's values.
enum class PathFillRule { NonZero = 0, EvenOdd = 1 };
enum class LineCap { Butt = 0, Round = 1, Square = 2 };
enum class LineJoin { Miter = 0, Round = 1, Bevel = 2 };

// How a path is stroked: width in user-space units, the ends and corners, and an optional dash
// pattern (lengths of dash, gap, dash, ... repeated; phase is how far into the pattern the path
// starts). An empty pattern, or one with a negative entry or a zero sum, is a solid line.
struct StrokeStyle {
  double width = 1;
  LineCap cap = LineCap::Butt;
  LineJoin join = LineJoin::Miter;
  double miterLimit = 10;
  std::vector<double> dashes;
  double dashPhase = 0;
};

// A drawing path: sub-paths of straight segments, curves flattened when added (close enough that
// no flattened point strays more than 1/50 of a unit from the true curve). Built in user space,
// y downwards. A path holds at most MaxPoints points; what would go past it is dropped.
class Path {
 public:
  static constexpr std::size_t MaxPoints = 1 << 20;

  struct Subpath {
    std::vector<Point> points;
    bool closed = false;
  };

  // Starts a new sub-path.
  void moveTo(Point p);
  // A line from the current point; without one it starts a sub-path there.
  void lineTo(Point p);
  // Joins the current sub-path's last point to its first; the next line starts a new sub-path there.
  void closeSubpath();
  // An arc of the circle around center from startAngle to endAngle (radians, measured from the x
  // axis toward y), preceded by a line from the current point to its start. clockwise turns the
  // angle downwards (the platform's flag); a sweep of a full turn or more draws the whole circle.
  void addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise);
  // A closed ellipse inscribed in the rectangle.
  void addEllipseInRect(const Rect& rect);
  void addRect(const Rect& rect);

  bool isEmpty() const { return subpaths_.empty(); }
  const std::vector<Subpath>& subpaths() const { return subpaths_; }
  // The smallest rectangle holding every point; empty at the origin for an empty path.
  Rect boundingBox() const;
  // Inside the area the path encloses, every sub-path taken as closed. Edges as the context
  // fills: a point on a left or top edge counts, on a right or bottom edge it does not.
  bool contains(Point p, PathFillRule rule) const;
  // The sub-paths cut into dashes (open sub-paths); the path itself for a solid style. At most
  // MaxPoints points come out.
  Path dashed(const std::vector<double>& lengths, double phase) const;

 private:
  bool addPoint(Subpath& s, Point p);
  std::vector<Subpath> subpaths_;
  std::size_t pointCount_ = 0;
  bool open_ = false;  // the last sub-path takes further lines
};

// The area a stroke covers, as convex pieces (segment bodies, caps and joins) built once, so a
// renderer can ask point by point.
class StrokeOutline {
 public:
  StrokeOutline(const Path& path, const StrokeStyle& style);
  // Holds every piece.
  Rect bounds() const { return bounds_; }
  bool contains(Point p) const;

 private:
  struct Piece {
    std::vector<Point> corners;  // convex, or empty for a disk
    Point center;
    double radius = 0;
  };
  void addSubpath(const Path::Subpath& s, const StrokeStyle& style);
  void addPolygon(std::vector<Point> corners);
  void addDisk(Point c, double r);
  void addJoin(Point prev, Point at, Point next, const StrokeStyle& style);
  void addCap(Point end, Point from, const StrokeStyle& style);

  std::vector<Piece> pieces_;
  Rect bounds_;
  bool any_ = false;
};

}  // namespace platform
