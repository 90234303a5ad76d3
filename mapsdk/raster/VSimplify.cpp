#include "mapsdk/raster/VSimplify.h"

#include <cmath>
#include <utility>
#include <vector>

namespace gmengine {

double PointSegmentDistance(const _VPoint& point, const _VPoint& start, const _VPoint& end,
                            _VPoint* nearest) {
  double px = point.x, py = point.y, ax = start.x, ay = start.y, bx = end.x, by = end.y;
  double dpa = (px - ax) * (px - ax) + (py - ay) * (py - ay);
  double length = (ax - bx) * (ax - bx) + (ay - by) * (ay - by);
  if (length >= -1e-5 && length <= 1e-5) {
    if (nearest) *nearest = start;
    return dpa;
  }
  double t = ((px - ax) * (bx - ax) + (py - ay) * (by - ay)) / length;
  if (t < 0 || t > 1) {
    double dpb = (px - bx) * (px - bx) + (py - by) * (py - by);
    bool toStart = dpa < dpb;
    if (nearest) *nearest = toStart ? start : end;
    return toStart ? dpa : dpb;
  }
  double cross = (ax - bx) * (ay - py) - (ay - by) * (ax - px);
  if (nearest) {
    *nearest = _VPoint(static_cast<int>(ax + t * (bx - ax)), static_cast<int>(ay + t * (by - ay)));
  }
  return cross * cross / length;
}

int SimplifyPart(const CVArray<_VPoint>& points, CVArray<_VPoint>& out, double tolerance) {
  int n = points.GetSize();
  if (n < 2) return -1;
  const _VPoint* p = points.GetData();
  std::vector<char> keep(static_cast<std::size_t>(n), 1);
  double limit = tolerance * 100 * (tolerance * 100);
  // An explicit stack of ranges, so a long part cannot exhaust the call stack.
  std::vector<std::pair<int, int>> ranges{{0, n - 1}};
  while (!ranges.empty()) {
    auto [s, e] = ranges.back();
    ranges.pop_back();
    if (s + 1 >= e) continue;
    int farthest = s + 1;
    double best = -1;
    for (int k = s + 1; k < e; ++k) {
      double d = PointSegmentDistance(p[k], p[s], p[e], nullptr);
      if (d > best) {
        best = d;
        farthest = k;
      }
    }
    if (best >= limit) {
      ranges.push_back({farthest, e});
      ranges.push_back({s, farthest});
    } else {
      for (int k = s + 1; k < e; ++k) keep[static_cast<std::size_t>(k)] = 0;
    }
  }
  out.RemoveAll();
  for (int i = 0; i < n; ++i) {
    if (keep[static_cast<std::size_t>(i)]) out.Add(p[i]);
  }
  if (out.GetSize() == 2) out.Add(out[1]);
  return out.GetSize();
}

double LevelTolerance(int n, ToleranceKind kind) {
  double lnPow = n * std::log(2.6);
  switch (kind) {
    case ToleranceKind::Doubling:
      return 4.0 * std::pow(2.0, n);
    case ToleranceKind::LinearLog:
      return 100 + 65 * lnPow;
    case ToleranceKind::Logarithmic:
      return 100 + 2.6 * lnPow * lnPow;
  }
  return 100;
}

int SimplifyComplexPt(const CComplexPt& source, int level, CComplexPt& destination) {
  if (level < 1 || level > 18) return 0;
  double tolerance = LevelTolerance(18 - level, ToleranceKind::Doubling);
  for (int i = 0; i < source.GetPartSize(); ++i) {
    const CVArray<_VPoint>* part = source.GetPart(i);
    if (!part) continue;
    CVArray<_VPoint> thinned;
    if (SimplifyPart(*part, thinned, tolerance) >= 1) destination.AddPart(thinned);
  }
  return destination.GetPartSize();
}

}  // namespace gmengine
