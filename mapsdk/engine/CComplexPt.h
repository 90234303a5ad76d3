#pragma once
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/VRect.h"

namespace gmengine {

// A shape of the engine: a list of parts, each an array of integer points (a point list, a
// polyline or a polygon ring, as the owner's geometry kind says). Records keep their points in
// hundredths of a map unit. A value type; one thread at a time.
class CComplexPt {
 public:
  int GetPartSize() const { return parts_.GetSize(); }
  // The part's points; null when index is out of range.
  const CVArray<_VPoint>* GetPart(int index) const;
  // One point; (0, 0) when either index is out of range.
  _VPoint GetPartPt(int part, int index) const;
  // The bounding rectangle of every point, y up (top is the largest y); all zero when empty.
  _VRect GetBound() const;

  void AddPart(const CVArray<_VPoint>& points);
  void AddPart(const _VPoint* points, int count);
  // Appends a point to the last part (making one when there is none).
  void AddPoint(const _VPoint& point);
  void Clean() { parts_.RemoveAll(); }
  bool IsEmpty() const { return parts_.IsEmpty(); }

 private:
  CVArray<CVArray<_VPoint>> parts_;
};

}  // namespace gmengine
