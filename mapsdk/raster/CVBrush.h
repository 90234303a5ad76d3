#pragma once
#include <cstdint>

#include "mapsdk/raster/VOwnedHandle.h"

namespace gmengine {

// A brush of the raster engine; ownership as CVPen. One thread at a time.
class CVBrush {
 public:
  CVBrush() = default;
  virtual ~CVBrush() = default;
  CVBrush(const CVBrush&) = delete;
  CVBrush& operator=(const CVBrush&) = delete;

  // A solid brush, replacing any brush held before. 1 on success.
  int CreateSolidBrush(std::uint32_t color);
  int DeleteObject() { return handle_.Delete(); }
  int Attach(VBrush* brush) { return handle_.Attach(brush); }
  VBrush* Detach() { return handle_.Detach(); }
  VBrush* GetHandle() const { return handle_.Get(); }

 private:
  VOwnedHandle<VBrush, VFreeBrush> handle_;
};

}  // namespace gmengine
