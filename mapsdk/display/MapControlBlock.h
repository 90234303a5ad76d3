#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "mapsdk/display/CMapControl.h"
#include "mapsdk/engine/EngineParts.h"
#include "mapsdk/engine/WeakHandles.h"

namespace gmengine {

class CVDC;
class CVWndView;

// The map-control block: the controller followed by the state of a single tap. The tap state is
// the main thread's; only the pending flag is also read where engine messages are handled. The
// engine core owns it.
class CMapControlBlock : public CMapControl, public EnginePart {
 public:
  using CMapControl::CMapControl;
  // A handle for the map views: it empties when the engine destroys the block. Main thread.
  std::weak_ptr<CMapControlBlock> Handle() const { return handles_.Get(); }
  int OnEngineMessage(EngineMsg message, int wParam, int lParam) override;
  // The layers released.
  void Shutdown() override;
  std::atomic<int> tapPending{0};
  _VPoint tapStart;
  _VPoint dragOrigin;
  std::uint32_t tapTime = 0;

 private:
  WeakHandles<CMapControlBlock> handles_{this};
};

// The engine's initial map status for a new map controller.
inline constexpr int kInitialCenterX = 12958162;
inline constexpr int kInitialCenterY = 4825907;
inline constexpr int kInitialLevel = 12;

// Bridge between the map view and the map-control block. Main thread, except the message
// procedure, which also runs on the timer thread for timers.
CMapControlBlock* InitMapControl(CMapControlBlock* block);
int ReleaseMapLayers(CMapControl* control);
int InitMapStatus(CMapControl* control, int centerX, int centerY, int left, int top, int right, int bottom,
                  int level);
int MapControlMessageProc(CMapControl* control, int message, int wParam, int lParam);
void SetMapZoomLevel(CMapControl* control, int level, int flag1, int flag2);
int GetMapLevel(CMapControl* control = nullptr);
void GetMapCenter(_VPoint& center);
void GetMapStatusBound(std::int32_t& left, std::int32_t& bottom, std::int32_t& right, std::int32_t& top);
void MoveMapCenter(CMapControl* control, int x, int y, int animate, int update, int redraw);
void SetMapVisibleRect(CMapControl* control, int left, int top, int right, int bottom);
// A code the map does not know switches nothing (0).
int SetMapType(CMapControl* control, MapLayerCode layerCode, int on);
int UpdateMapBKGLayer(CMapControl* control);
int DrawMapControl(CMapControl* control, CVDC& dc);
int AdjustMapWindow(CMapControl* control, int left, int top, int right, int bottom);
int MapControlTapHitTest(CMapControlBlock* control, int x, int y);
int MapControlTapMove(CMapControlBlock* control, int x, int y);

// The engine core's map-control block (null when absent).
CMapControlBlock* MapControlOfEngine();

// Creates the engine window (shown by view) and the map controller unless they exist; 1.
int initWindowAndMapControl(std::weak_ptr<CVWndView> view);

}  // namespace gmengine
