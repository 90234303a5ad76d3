#include "mapsdk/display/CTrafficReq.h"

#include "mapsdk/display/CMapStatus.h"

namespace mapsdk {

using gmengine::CVArray;
using gmengine::GridKey;

CTrafficReq::CTrafficReq(CMapStatus* status) : GridReq(GridKind::Traffic, status) {
  sequence_ = kFirstSequence;
}

void CTrafficReq::Request() {
  if (status_->level < kMinLevel) return;
  GridReq::Request();
}

int CTrafficReq::NextSequence() const {
  return sequence_ >= kLastSequence ? kFirstSequence + 1 : sequence_ + 1;
}

void CTrafficReq::BatchFetch(const CVArray<GridKey>& keys) {
  if (keys.IsEmpty() || !needed_ || needed_->IsEmpty()) return;
  int sequence = NextSequence();
  bool history = day_ != 0 || time_ != 0;
  if (client_ &&
      client_->RequestGrids(
          history ? static_cast<int>(GridKind::TrafficHistory) : static_cast<int>(GridKind::Traffic),
          (*needed_)[0].level, history ? day_ : 0, history ? time_ : 0, keys, sequence, 1)) {
    sequence_ = sequence;
    delivered_ = 0;
  }
  PostUI(gmengine::EngineMsg::TileActivity, 1, 1);
}

void CTrafficReq::OnShow(bool shown) {
  GridReq::OnShow(shown);
  allocate_ = shown;
  if (!shown) cache_.RemoveAll();
}

}  // namespace mapsdk
