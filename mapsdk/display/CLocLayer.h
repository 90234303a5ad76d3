#pragma once
#include <memory>

#include "mapsdk/display/CMapLayer.h"

namespace mapsdk {

class CAppLocation;

// The location layer's own data: the device's position in map units while it has a fix.
struct LocLayerData {
  bool hasFix = false;
  double x = 0;
  double y = 0;
};

// Copies the location object's record into the layer's data.
class CLocReq : public CReqBase {
 public:
  explicit CLocReq(LocLayerData* data = nullptr) : data_(data) {}
  void SetData(LocLayerData* data) { data_ = data; }
  void SetLocation(CAppLocation* location) { location_ = location; }
  CAppLocation* Location() const { return location_; }
  void Request() override;

 private:
  LocLayerData* data_;
  CAppLocation* location_ = nullptr;
};

// The user-location view draws the position over the map, so the map's picture gets nothing here.
class CLocDraw : public CDrawBase {
 public:
  explicit CLocDraw(const LocLayerData* data = nullptr) : data_(data) {}
  void SetData(const LocLayerData* data) { data_ = data; }
  void Draw(MapDrawTarget&) override {}

 protected:
  const LocLayerData* data_;
};

// The device location for the map. Its request runs only while the layer is shown; its drawer is
// called on every repaint, shown or not.
class CLocLayer : public CMapLayer {
 public:
  CLocLayer();
  ~CLocLayer() override;
  void SetLocation(CAppLocation* location);
  void Draw(MapDrawTarget& target) override;
  void Update() override;
  // A new request keeps the location object of the one it replaces.
  void SetRequest(std::unique_ptr<CLocReq> request);
  void SetDrawer(std::unique_ptr<CLocDraw> drawer);
  CLocReq* Request() const { return request_.get(); }
  CLocDraw* Drawer() const { return drawer_.get(); }
  bool HasFix() const { return data_.hasFix; }
  double X() const { return data_.x; }
  double Y() const { return data_.y; }

 private:
  LocLayerData data_;
  std::unique_ptr<CLocReq> request_;
  std::unique_ptr<CLocDraw> drawer_;
};

}  // namespace mapsdk
