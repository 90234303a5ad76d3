#include "mapsdk/engine/CComplexPt.h"

#include <algorithm>

namespace gmengine {

const CVArray<_VPoint>* CComplexPt::GetPart(int index) const {
  if (index < 0 || index >= parts_.GetSize()) return nullptr;
  return &parts_[index];
}

_VPoint CComplexPt::GetPartPt(int part, int index) const {
  const CVArray<_VPoint>* points = GetPart(part);
  if (!points || index < 0 || index >= points->GetSize()) return {};
  return (*points)[index];
}

_VRect CComplexPt::GetBound() const {
  bool any = false;
  _VRect bound;
  for (const CVArray<_VPoint>& part : parts_) {
    for (const _VPoint& p : part) {
      if (!any) {
        bound.SetRect(p.x, p.y, p.x, p.y);
        any = true;
        continue;
      }
      bound.left = std::min(bound.left, p.x);
      bound.right = std::max(bound.right, p.x);
      bound.bottom = std::min(bound.bottom, p.y);
      bound.top = std::max(bound.top, p.y);
    }
  }
  return bound;
}

void CComplexPt::AddPart(const CVArray<_VPoint>& points) { parts_.Add(points); }

void CComplexPt::AddPart(const _VPoint* points, int count) {
  CVArray<_VPoint> part;
  for (int i = 0; points && i < count; ++i) part.Add(points[i]);
  parts_.Add(part);
}

void CComplexPt::AddPoint(const _VPoint& point) {
  if (parts_.IsEmpty()) parts_.Add(CVArray<_VPoint>());
  parts_[parts_.GetUpperBound()].Add(point);
}

}  // namespace gmengine
