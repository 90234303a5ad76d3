#pragma once
#include "mapsdk/engine/CComplexPt.h"
#include "mapsdk/engine/CVString.h"

namespace gmengine {

// One drawable map element: what kind of geometry it is, its style, the direction of a marker,
// its label and its shape.
struct CGeoElement {
  enum GeometryKind { kPoint = 1, kLine = 2, kSurface = 3, kText = 4 };

  int geometryKind = kPoint;
  int styleId = 0;
  int angle = 0;  // degrees, for direction markers
  CVString label;
  CComplexPt shape;
};

}  // namespace gmengine
