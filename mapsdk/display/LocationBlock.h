#pragma once
#include <memory>

#include "mapsdk/display/CAppLocation.h"
#include "mapsdk/engine/EngineParts.h"
#include "mapsdk/engine/EngineTypes.h"
#include "mapsdk/engine/WeakHandles.h"

namespace gmengine {

// The location block: the location combiner followed by its start-mode code (0..3; 3 when made).
// The engine core owns it; it hears the location timer and the location clients' messages.
class CAppLocation : public mapsdk::CAppLocation, public EnginePart {
 public:
  using mapsdk::CAppLocation::CAppLocation;
  // A handle for the map views: it empties when the engine destroys the block. Main thread.
  std::weak_ptr<CAppLocation> Handle() const { return handles_.Get(); }
  int OnEngineMessage(EngineMsg message, int wParam, int lParam) override;
  // EngineTimer::Location killed, the sources stopped.
  void Shutdown() override;
  int startMode = 3;

 private:
  WeakHandles<CAppLocation> handles_{this};
};

inline constexpr int kLocationTimerMs = 1000;

// Bridge between the map view and the location block. Main thread, except the message procedure,
// which also runs on the timer thread for the location timer.
CAppLocation* InitAppLocation(CAppLocation* block);
int StartAppLocation(CAppLocation* block);
int StopAppLocation(CAppLocation* block);
mapsdk::LocationRecord GetAppLocationInfo(CAppLocation* block);
int SetAppLocationMode(CAppLocation* block, int mode);
int GetAppLocationMode(CAppLocation* block);
int LocationMessageProc(CAppLocation* block, int message, int wParam, int lParam);

// The engine core's location block (null when absent).
CAppLocation* LocationOfEngine();

// Creates and starts the location object unless it exists (location idles in mode 1); 1.
int initLocationControl();

}  // namespace gmengine
