#pragma once
#include "mapsdk/engine/CComplexPt.h"

// Douglas-Peucker thinning of vector shapes before the vector layer stores them. Points are
// integers in hundredths of a map unit; a tolerance is in map units, so the distance compared is
// tolerance x 100. Pure functions; any thread.
namespace gmengine {

enum class ToleranceKind { Logarithmic = 0, LinearLog = 1, Doubling = 2 };

// Squared distance from point to the segment (start, end); nearest gets the closest point.
double PointSegmentDistance(const _VPoint& point, const _VPoint& start, const _VPoint& end, _VPoint* nearest);

// Thins points into out (replaced) with the tolerance in map units: the number of points written,
// -1 for fewer than 2 points. Two kept points are written as three (the last twice).
int SimplifyPart(const CVArray<_VPoint>& points, CVArray<_VPoint>& out, double tolerance);

// Doubling: 4 x 2^n; LinearLog: 100 + 65 ln(2.6^n); Logarithmic: 100 + 2.6 (ln 2.6^n)^2.
double LevelTolerance(int n, ToleranceKind kind);

// Every part of source thinned for level 1..18 (tolerance 4 x 2^(18 - level) map units) and
// appended to destination when it keeps a point. The destination's part count; 0 for another
// level (nothing appended).
int SimplifyComplexPt(const CComplexPt& source, int level, CComplexPt& destination);

}  // namespace gmengine
