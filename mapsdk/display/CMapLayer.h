#pragma once
#include <memory>

namespace mapsdk {

class MapDrawTarget;

// A map layer is a pair: a request that brings the layer's data up to date for the current view and
// a drawer that paints that data. The map controller holds the layers, calls Update when the view
// or the data changed, Draw when it repaints, and Show to switch them. A layer owns its request and
// drawer; giving it a new one destroys the old. Main thread.
class CMapLayer {
 public:
  virtual ~CMapLayer() = default;
  virtual void Draw(MapDrawTarget& target) = 0;
  virtual void Update() = 0;
  virtual void Show(bool shown) { shown_ = shown; }
  bool IsShown() const { return shown_; }

 protected:
  bool shown_ = true;
};

class CReqBase {
 public:
  virtual ~CReqBase() = default;
  virtual void Request() = 0;
};

class CDrawBase {
 public:
  virtual ~CDrawBase() = default;
  virtual void Draw(MapDrawTarget& target) = 0;
};

}  // namespace mapsdk
