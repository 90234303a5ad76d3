#include "mapsdk/display/CGridLayer.h"

#include "mapsdk/display/CTrafficReq.h"

namespace mapsdk {

CGridLayer::CGridLayer() {
  needed_.SetSize(0);
  drawList_.reserve(12);
}

CGridLayer::~CGridLayer() = default;

void CGridLayer::Draw(MapDrawTarget& target) {
  if (shown_ && drawer_) drawer_->Draw(target);
}

void CGridLayer::Update() {
  if (shown_ && request_) request_->Request();
}

void CGridLayer::Show(bool shown) {
  if (request_ && shown != shown_) request_->OnShow(shown);
  CMapLayer::Show(shown);
}

void CGridLayer::SetRequest(std::unique_ptr<GridReq> request) {
  request_ = std::move(request);
  if (!request_) return;
  keepData_ = dynamic_cast<CTrafficReq*>(request_.get()) == nullptr;
  request_->SetGridData(&needed_, &drawList_);
}

void CGridLayer::SetDrawer(std::unique_ptr<GridDraw> drawer) {
  drawer_ = std::move(drawer);
  if (drawer_) drawer_->Attach(&needed_, &drawList_);
}

}  // namespace mapsdk
