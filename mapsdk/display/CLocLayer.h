#pragma once
#include "mapsdk/display/CMapLayer.h"

namespace mapsdk {

class CAppLocation;

// The device location for the map: a copy of the location object's record; the user-location view
// draws it, so nothing is drawn here.
class CLocLayer : public CMapLayer {
 public:
  void SetLocation(CAppLocation* location) { location_ = location; }
  void Draw(MapDrawTarget&) override {}
  void Update() override;
  bool HasFix() const { return hasFix_; }
  double X() const { return x_; }
  double Y() const { return y_; }

 private:
  CAppLocation* location_ = nullptr;
  bool hasFix_ = false;
  double x_ = 0;
  double y_ = 0;
};

}  // namespace mapsdk
