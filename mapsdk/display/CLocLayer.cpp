#include "mapsdk/display/CLocLayer.h"

#include "mapsdk/display/CAppLocation.h"

namespace mapsdk {

void CLocLayer::Update() {
  if (!shown_ || !location_) return;
  LocationRecord record = location_->GetLocation();
  hasFix_ = record.state == LocationState::Valid;
  x_ = record.mapX;
  y_ = record.mapY;
}

}  // namespace mapsdk
