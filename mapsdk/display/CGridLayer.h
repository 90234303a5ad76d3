#pragma once
#include <memory>

#include "mapsdk/display/CMapLayer.h"
#include "mapsdk/display/GridDraw.h"
#include "mapsdk/display/GridReq.h"

namespace mapsdk {

// A tile layer (street, satellite, traffic): owns its needed list, its draw list, its request and
// its drawer, and wires the lists into both. Main thread.
class CGridLayer : public CMapLayer {
 public:
  CGridLayer();
  ~CGridLayer() override;

  void Draw(MapDrawTarget& target) override;
  void Update() override;
  // A hidden layer holds no decoded pixels (its request frees them); the traffic layer also
  // empties its memory cache.
  void Show(bool shown) override;

  void SetRequest(std::unique_ptr<GridReq> request);
  void SetDrawer(std::unique_ptr<GridDraw> drawer);
  GridReq* Request() const { return request_.get(); }
  GridDraw* Drawer() const { return drawer_.get(); }
  const GridTileList& Needed() const { return needed_; }
  const GridShowList& DrawList() const { return drawList_; }
  bool KeepsData() const { return keepData_; }

 private:
  GridTileList needed_;
  GridShowList drawList_;
  std::unique_ptr<GridDraw> drawer_;
  std::unique_ptr<GridReq> request_;
  bool keepData_ = true;
};

}  // namespace mapsdk
