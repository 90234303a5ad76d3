#pragma once
#include <atomic>
#include <memory>

#include "mapsdk/display/CAppLocation.h"
#include "mapsdk/display/CMapControl.h"
#include "mapsdk/engine/EngineParts.h"
#include "mapsdk/search/GMKNotifier.h"

namespace gmengine {

class CVDC;
class CVWndView;

// The location block: the location combiner followed by its start-mode code (0..3; 3 when made).
// The engine core owns it; it hears the location timer and the location clients' messages.
class CAppLocation : public mapsdk::CAppLocation, public EnginePart {
 public:
  using mapsdk::CAppLocation::CAppLocation;
  int OnEngineMessage(EngineMsg message, int wParam, int lParam) override;
  // Timer 1000 killed, the sources stopped.
  void Shutdown() override;
  int startMode = 3;
};

// The map-control block: the controller followed by the state of a single tap. The tap state is
// the main thread's; only the pending flag is also read where engine messages are handled. The
// engine core owns it.
class CMapControlBlock : public CMapControl, public EnginePart {
 public:
  int OnEngineMessage(EngineMsg message, int wParam, int lParam) override;
  // The layers released.
  void Shutdown() override;
  std::atomic<int> tapPending{0};
  _VPoint tapStart;
  _VPoint dragOrigin;
  std::uint32_t tapTime = 0;
};

// The engine's initial map status for a new map controller.
inline constexpr int kInitialCenterX = 12958162;
inline constexpr int kInitialCenterY = 4825907;
inline constexpr int kInitialLevel = 12;
inline constexpr int kLocationTimerId = 1000;
inline constexpr int kLocationTimerMs = 1000;

// Bridge between the map view and the engine's objects. Main thread, except the two message
// procedures, which also run on the timer thread for timers.
CAppLocation* InitAppLocation(CAppLocation* block);
int StartAppLocation(CAppLocation* block);
int StopAppLocation(CAppLocation* block);
mapsdk::LocationRecord GetAppLocationInfo(CAppLocation* block);
int SetAppLocationMode(CAppLocation* block, int mode);
int GetAppLocationMode(CAppLocation* block);
int LocationMessageProc(CAppLocation* block, int message, int wParam, int lParam);

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

// The engine core's blocks (null when absent).
CMapControlBlock* MapControlOfEngine();
CAppLocation* LocationOfEngine();

// Creates the engine window (shown by view) and the map controller unless they exist; 1.
int initWindowAndMapControl(std::weak_ptr<CVWndView> view);
// Creates and starts the location object unless it exists (location idles in mode 1); 1.
int initLocationControl();

}  // namespace gmengine

namespace mapsdk {

// Owns the map engine for the application: creating it builds the engine (and installs the map
// display and the notifier in it), start runs its threads and message flow, stop halts them,
// destroying it tears the engine down. Main thread.
class GMKMapManager {
 public:
  GMKMapManager();
  ~GMKMapManager();
  GMKMapManager(const GMKMapManager&) = delete;
  GMKMapManager& operator=(const GMKMapManager&) = delete;

  // Starts the engine; the general delegate then hears network states. False without an engine
  // or when the start fails.
  bool start(GMKNotifier::NetworkStateHandler generalDelegate);
  bool stop();
};

}  // namespace mapsdk
