#pragma once
#include <memory>

#include "mapsdk/display/CBKGDraw.h"
#include "mapsdk/display/CBKGReq.h"
#include "mapsdk/display/CMapLayer.h"
#include "mapsdk/display/CVectorLayer.h"

namespace mapsdk {

class CMapStatus;

// The small points of interest the map service delivers tile by tile: the layer keeps the tile
// list (level, column, row and the tile's items), its request fills it and its drawer paints it.
// Main thread.
class CBKGLayer : public CMapLayer {
 public:
  static constexpr int kHitTolerancePixels = 10;
  // The data word the map asks the service for.
  static constexpr const char* kDefaultDataKey = "poi";

  explicit CBKGLayer(CMapStatus* status = nullptr);
  ~CBKGLayer() override;

  void Draw(MapDrawTarget& target) override;
  void Update() override;
  // EngineMsg::PoiBkgData (background POI data arrived, lParam the error): with data the request
  // runs again and takes it from the cache. true when the layer changed.
  bool OnDataArrived(gmengine::SearchError error);
  // Window pixel (x, y): the first item of the tapped tile within 10 pixels on both axes (strictly).
  bool HitTest(int x, int y, Attribute& result) const;

  void SetRequest(std::unique_ptr<CBKGReq> request);
  void SetDrawer(std::unique_ptr<CBKGDraw> drawer);
  CBKGReq* Request() const { return request_.get(); }
  CBKGDraw* Drawer() const { return drawer_.get(); }
  const BkgTileList& Tiles() const { return tiles_; }

 private:
  CMapStatus* status_;
  BkgTileList tiles_;
  std::unique_ptr<CBKGDraw> drawer_;
  std::unique_ptr<CBKGReq> request_;
};

}  // namespace mapsdk
