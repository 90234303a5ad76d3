#include "mapsdk/display/CBKGLayer.h"

#include <cmath>
#include <cstring>

#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/engine/VCodePage.h"

namespace mapsdk {

CBKGLayer::CBKGLayer(CMapStatus* status) : status_(status) {}

CBKGLayer::~CBKGLayer() = default;

void CBKGLayer::SetRequest(std::unique_ptr<CBKGReq> request) {
  request_ = std::move(request);
  if (request_) request_->SetData(&tiles_);
}

void CBKGLayer::SetDrawer(std::unique_ptr<CBKGDraw> drawer) {
  drawer_ = std::move(drawer);
  if (drawer_) drawer_->Attach(&tiles_);
}

void CBKGLayer::Draw(MapDrawTarget& target) {
  if (shown_ && drawer_) drawer_->Draw(target);
}

void CBKGLayer::Update() {
  if (shown_ && request_) request_->Request();
}

bool CBKGLayer::OnDataArrived(gmengine::SearchError error) {
  if (!request_ || !request_->OnAnswer(error)) return false;
  Update();
  return shown_;
}

bool CBKGLayer::HitTest(int x, int y, Attribute& result) const {
  if (!shown_ || status_->upp <= 0) return false;
  const gmengine::_VPoint m = status_->ScreenToMap(x, y);
  const std::int64_t side = static_cast<std::int64_t>(status_->upp) * CMapStatus::kTileSize;
  const auto column = static_cast<int>(m.x / side);
  const auto row = static_cast<int>(m.y / side);
  const double reach = static_cast<double>(status_->upp) * kHitTolerancePixels;
  for (const gmengine::tag_PoiBkgDataElem& tile : tiles_) {
    if (tile.key[0] != status_->level || tile.key[1] != column || tile.key[2] != row) continue;
    for (const gmengine::tag_PoiBkgBaseData& poi : tile.pois) {
      if (!(std::fabs(poi.x - m.x) < reach) || !(std::fabs(poi.y - m.y) < reach)) continue;
      result = Attribute();
      result.kind = Attribute::Kind::BackgroundPoi;
      result.geometryClass = 1;
      result.name = gmengine::MultiByteToCVString(
          gmengine::CP_ACP, std::string(poi.name, strnlen(poi.name, sizeof poi.name)).c_str());
      result.hitX = static_cast<int>(poi.x);
      result.hitY = static_cast<int>(poi.y);
      std::memcpy(result.uid, poi.uid, sizeof result.uid);
      result.uid[sizeof result.uid - 1] = '\0';
      return true;
    }
    return false;
  }
  return false;
}

}  // namespace mapsdk
