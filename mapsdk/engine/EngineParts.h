#pragma once
#include "mapsdk/engine/EngineTypes.h"

namespace gmengine {

class COfflineMapMan;
class CVWnd;
struct SearchAnswer;

// The slots of the engine core for the parts built above it.
enum class EngineSlot : int {
  MapControl,  // the map-control block
  Location,    // the location block
  Search,      // CAppSearch
  RecordMan,   // COLRecordMan
  VerDatsetMan,
  OfflineTaskMan,
  Count,
};

// A part that the engine core owns once its creator has installed it.
class EnginePart {
 public:
  virtual ~EnginePart() = default;
  // An engine-queue message or a timer tick routed to this part (CVMapEngine says which): for
  // EngineMsg::Timer wParam is the EngineTimer, for an HTTP message the EngineClient and lParam the
  // request tag.
  virtual int OnEngineMessage(EngineMsg message, int wParam, int lParam) {
    (void)message;
    (void)wParam;
    (void)lParam;
    return 0;
  }
  // What the part does at teardown before it is destroyed (the engine's threads are stopped).
  virtual void Shutdown() {}
  // Another part was installed in the slot, or was there when this one came: the part keeps what
  // it uses of it. Main thread.
  virtual void OnPartInstalled(EngineSlot slot, EnginePart& part) { (void)slot, (void)part; }
  // The part in the slot is about to shut down and go: the part forgets it. Main thread.
  virtual void OnPartRemoved(EngineSlot slot) { (void)slot; }
};

// The map display's side of the engine core: the UI queue's map messages, the core's start and
// window calls, and what the offline maps need of the map. Every method is optional; without a
// display the engine runs headless.
class EngineDisplay {
 public:
  virtual ~EngineDisplay() = default;
  // Repaint: the map drawn into the engine window's context and the window updated (window
  // null before CreateMapWindow).
  virtual void Repaint(CVWnd* window) { (void)window; }
  // SlideStep (UI queue): the next step of a slide.
  virtual void SlideStep() {}
  // PathStep: the next step along the stored path.
  virtual void MoveAlongPath(int packed, int direction) {
    (void)packed;
    (void)direction;
  }
  // 0.01 s after AnimationBegin: the next animated-move step.
  virtual void AnimationStep() {}
  // Start: the location object, when there is one, starts afresh.
  virtual void ResetLocation() {}
  // CreateMapWindow's display work (domain list, drawing context, initial map status); its result
  // is CreateMapWindow's.
  virtual int InitMapWindow(CVWnd* window, int centerX, int centerY, int left, int top, int right, int bottom,
                            int level) {
    (void)window, (void)centerX, (void)centerY, (void)left, (void)top, (void)right, (void)bottom, (void)level;
    return 1;
  }
  // SearchResult after the notifier: the answer shown on the map (answer null when the message
  // came without one).
  virtual void OnSearchAnswer(SearchType type, SearchError error, const SearchAnswer* answer) {
    (void)type, (void)error, (void)answer;
  }
  // PoiBkgData: background POI data arrived (or failed) for the background layer.
  virtual void OnPoiBkgData(SearchError error) { (void)error; }
  // A part was installed in the slot, or was there when the display was set: the display keeps
  // what it uses of it (and wires a new search to the map once).
  virtual void OnPartInstalled(EngineSlot slot, EnginePart& part) { (void)slot, (void)part; }
  // The part in the slot is about to shut down and go: the display forgets it.
  virtual void OnPartRemoved(EngineSlot slot) { (void)slot; }
  // The map controller's offline map manager; null without a map controller.
  virtual COfflineMapMan* OfflineMapMan() { return nullptr; }
};

// Where the UI queue's announcements go: the map SDK's notifier.
class EngineNotifier {
 public:
  virtual ~EngineNotifier() = default;
  // SearchResult (answer null when the message came without one).
  virtual void OnSearchAnswer(SearchType type, SearchError error, const SearchAnswer* answer) = 0;
  // OfflineState.
  virtual void OnOfflineState(OfflineState state, int value) = 0;
};

}  // namespace gmengine
