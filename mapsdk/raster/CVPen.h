#pragma once
#include <cstdint>

#include "mapsdk/raster/VOwnedHandle.h"

namespace gmengine {

// A pen of the raster engine. Owns the pen it creates (freed on destruction or DeleteObject,
// refused while selected into a context); an attached pen is never freed here. One thread at a
// time.
class CVPen {
 public:
  CVPen() = default;
  virtual ~CVPen() = default;
  CVPen(const CVPen&) = delete;
  CVPen& operator=(const CVPen&) = delete;

  // Replaces any pen held before (a width of 0 becomes 1). 1 on success.
  int CreatePen(PenStyle style, int width, std::uint32_t color);
  int DeleteObject() { return handle_.Delete(); }
  int Attach(VPen* pen) { return handle_.Attach(pen); }
  VPen* Detach() { return handle_.Detach(); }
  VPen* GetHandle() const { return handle_.Get(); }

 private:
  VOwnedHandle<VPen, VFreePen> handle_;
};

}  // namespace gmengine
