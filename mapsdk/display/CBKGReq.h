#pragma once
#include <unordered_map>
#include <unordered_set>

#include "mapsdk/display/CMapLayer.h"
#include "mapsdk/display/TileKeyMap.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineTypes.h"
#include "mapsdk/engine/TileKey.h"
#include "mapsdk/search/SearchResultRecords.h"

namespace gmengine {
class CAppSearch;
}

namespace mapsdk {

class CMapStatus;

using BkgTileList = gmengine::CVArray<gmengine::tag_PoiBkgDataElem>;

// The background POI request: lists the window's tiles into the layer's tile list, fills them
// from the search engine's background POI cache and asks the service for the tiles it lacks, all
// in one request. The answer comes back as EngineMsg::PoiBkgData (OnAnswer), after which the layer
// runs this request again and the new tiles come out of the cache. A tile is asked for in at most
// two answered requests while it stays in the kept block, so a service that answers without it is
// not asked again and again; a failed answer is not retried until the view changes or a search
// answer frees the client. Nothing is asked while the search client is busy, so a search of the
// user's in flight is never replaced. Main thread.
class CBKGReq : public CReqBase {
 public:
  static constexpr int kMaxAsks = 2;

  explicit CBKGReq(CMapStatus* status = nullptr);

  // The layer's tile list (not owned).
  void SetData(BkgTileList* tiles) { tiles_ = tiles; }
  void SetSearch(gmengine::CAppSearch* search) { search_ = search; }
  // The data word of the requests; nothing is listed or asked while it is empty.
  void SetDataKey(const gmengine::CVString& key) { dataKey_ = key; }

  void Request() override;
  // EngineMsg::PoiBkgData's error word: true when the layer should run the request again.
  bool OnAnswer(gmengine::SearchError error);
  // Whether the request sent last still waits for its answer.
  bool Asking() const { return !pending_.empty(); }

 private:
  CMapStatus* status_;
  BkgTileList* tiles_ = nullptr;
  gmengine::CAppSearch* search_ = nullptr;
  gmengine::CVString dataKey_;
  TileKeyMap keys_;
  std::unordered_map<gmengine::TileKey, int> asks_;  // answers each tile of the block was asked in
  std::unordered_set<gmengine::TileKey> pending_;    // the tiles of the request sent last
};

}  // namespace mapsdk
