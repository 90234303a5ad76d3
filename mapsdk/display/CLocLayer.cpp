#include "mapsdk/display/CLocLayer.h"

#include "mapsdk/display/CAppLocation.h"

namespace mapsdk {

void CLocReq::Request() {
  if (!data_ || !location_) return;
  LocationRecord record = location_->GetLocation();
  data_->hasFix = record.state == LocationState::Valid;
  data_->x = record.mapX;
  data_->y = record.mapY;
}

CLocLayer::CLocLayer()
    : request_(std::make_unique<CLocReq>(&data_)), drawer_(std::make_unique<CLocDraw>(&data_)) {}

CLocLayer::~CLocLayer() = default;

void CLocLayer::SetLocation(CAppLocation* location) {
  if (request_) request_->SetLocation(location);
}

void CLocLayer::Draw(MapDrawTarget& target) {
  if (drawer_) drawer_->Draw(target);
}

void CLocLayer::Update() {
  if (shown_ && request_) request_->Request();
}

void CLocLayer::SetRequest(std::unique_ptr<CLocReq> request) {
  CAppLocation* location = request_ ? request_->Location() : nullptr;
  request_ = std::move(request);
  if (!request_) return;
  request_->SetData(&data_);
  if (!request_->Location()) request_->SetLocation(location);
}

void CLocLayer::SetDrawer(std::unique_ptr<CLocDraw> drawer) {
  drawer_ = std::move(drawer);
  if (drawer_) drawer_->SetData(&data_);
}

}  // namespace mapsdk
