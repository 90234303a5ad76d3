#pragma once
#include "mapsdk/display/MapDrawTarget.h"

namespace gmengine {
class CVDC;
}

namespace mapsdk {

// The layers' drawing seam over a drawing context of the raster engine (the engine window's back
// buffer): bitmaps go through the DIB copy or a stretch, polylines through a solid pen. The
// context is not owned. Drawing thread.
class CVDCDrawTarget : public MapDrawTarget {
 public:
  explicit CVDCDrawTarget(gmengine::CVDC& dc) : dc_(dc) {}
  void drawBitmap(const std::uint32_t* pixels, int width, int height, int bytes,
                  const gmengine::_VRect& destination) override;
  void drawPolyline(std::span<const gmengine::_VPoint> points, std::uint32_t color, int width) override;
  gmengine::CVDC* dc() override { return &dc_; }

 private:
  gmengine::CVDC& dc_;
};

}  // namespace mapsdk
