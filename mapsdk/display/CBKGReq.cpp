#include "mapsdk/display/CBKGReq.h"

#include <algorithm>
#include <climits>

#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/search/CAppSearch.h"

namespace mapsdk {

using gmengine::GridKey;
using gmengine::tag_PoiBkgDataElem;
using gmengine::TileKey;

namespace {

TileKey KeyOf(const tag_PoiBkgDataElem& tile) {
  return TileKey{tile.key[0], GridKey{tile.key[1], tile.key[2]}};
}

}  // namespace

CBKGReq::CBKGReq(CMapStatus* status) : status_(status) {}

void CBKGReq::Request() {
  if (dataKey_.IsEmpty() || !tiles_) return;
  CMapStatus& s = *status_;
  if (s.upp <= 0) return;
  keys_.Refresh(s.firstTileCol, s.firstTileRow, s.KeptCols(), s.KeptRows());
  keys_.LimitSize();
  tiles_->RemoveAll();
  const gmengine::_VRect range = s.WindowTileRange();
  for (int column = range.left; column <= range.right; ++column) {
    for (int row = range.bottom; row <= range.top; ++row) {
      if (!keys_.List(GridKey{column, row})) continue;
      tag_PoiBkgDataElem tile;
      tile.key[0] = s.level;
      tile.key[1] = column;
      tile.key[2] = row;
      tiles_->Add(tile);
    }
  }
  std::erase_if(
      asks_, [&](const auto& ask) { return ask.first.level != s.level || !keys_.Contains(ask.first.grid); });
  if (!search_ || tiles_->IsEmpty()) return;

  BkgTileList missing;
  search_->GetPoiBkgData(dataKey_, *tiles_, missing);
  BkgTileList ask;
  int left = INT_MAX, bottom = INT_MAX, right = INT_MIN, top = INT_MIN;
  for (const tag_PoiBkgDataElem& tile : missing) {
    auto asked = asks_.find(KeyOf(tile));
    if (asked != asks_.end() && asked->second >= kMaxAsks) continue;
    ask.Add(tile);
    left = std::min(left, tile.key[1]);
    right = std::max(right, tile.key[1]);
    bottom = std::min(bottom, tile.key[2]);
    top = std::max(top, tile.key[2]);
  }
  if (ask.IsEmpty() || search_->IsSearching()) return;
  auto hundred = [](int v) { return static_cast<int>(std::clamp(100LL * v, -2147483648LL, 2147483647LL)); };
  const gmengine::_VRect bound(hundred(left), hundred(top), hundred(right), hundred(bottom));
  if (!search_->RequestPoiBkgData(dataKey_, ask, 0, bound)) return;
  pending_.clear();
  for (const tag_PoiBkgDataElem& tile : ask) pending_.insert(KeyOf(tile));
}

bool CBKGReq::OnAnswer(gmengine::SearchError error) {
  if (error == gmengine::SearchError::None) {
    for (const gmengine::TileKey& key : pending_) ++asks_[key];
    pending_.clear();
    return true;
  }
  // Tried again at the next change of view, not at once.
  asks_.clear();
  pending_.clear();
  return false;
}

}  // namespace mapsdk
