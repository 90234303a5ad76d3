#pragma once
#include <array>
#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "mapsdk/engine/CUrlTranslater.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/EngineParts.h"
#include "mapsdk/engine/EngineServices.h"
#include "mapsdk/engine/EngineTypes.h"
#include "platform/foundation/Mutex.h"

namespace platform {
class RunLoop;
}

namespace gmengine {

class CHttpClient;
class CVMainGlobalMan;
class CVWnd;

// Posted on the main thread by the UI procedure (EngineMsg::AnimationBegin, AnimationEnd).
inline constexpr const char* NotificationEngineAnimationBegin = "NotificationEngineAnimationBegin";
inline constexpr const char* NotificationEngineAnimationEnd = "NotificationEngineAnimationEnd";

// The engine core: starts and stops the engine's threads and message flow, owns the parts the
// display, search and offline maps install in its slots, and routes engine messages to them
// (EngineMsg, EngineClient and EngineTimer name every id):
//   Timer: to Location and MapControl; EngineTimer::OfflineTask to OfflineTaskMan first.
//   HTTP messages (IsHttpMessage; wParam the client, lParam the request tag), after
//     CHttpClient::DeliverReceived has filled the client's buffer for HttpData and HttpComplete:
//     EngineClient::OfflineTask to OfflineTaskMan (HttpData, HttpComplete, HttpBadAnswer,
//     HttpMarkupPage and the ones below HttpData; its failures stay with it); Search and
//     CityCenter to Search; Location and LocationUpload to Location; Street, OfflineBatch,
//     Satellite and any other id to MapControl.
//   PoiBkgData to the display's OnPoiBkgData; any other message (SlideStep, ZoomStep,
//     OfflineCommand, ...) to MapControl, then Location.
// The UI procedure: SearchResult to the notifier, then the display; OfflineState to the notifier;
// Repaint, SlideStep and PathStep to the display; AnimationBegin posts
// "NotificationEngineAnimationBegin" and has the display step 0.01 s later on the main thread;
// AnimationEnd posts "NotificationEngineAnimationEnd". LocationChanged is not handed on: the
// notifier ignores it, and it may come from the timer thread.
// Built by InitMapEngine; main thread except where noted.
class CVMapEngine : public CVMsgHandler {
 public:
  explicit CVMapEngine(CVMainGlobalMan& global);
  // Stops the engine and tears it down in this order: the map-control block (its layers released
  // first), the location block (stopped first), the search object (stopped first), then what the
  // core still holds (the other parts, the display, the notifier).
  ~CVMapEngine() override;
  CVMapEngine(const CVMapEngine&) = delete;
  CVMapEngine& operator=(const CVMapEngine&) = delete;

  // Marks the core started, starts the network threads and the dispatcher with the engine and UI
  // procedures; with a map-control block the map is redrawn (Repaint sent at once), with a
  // location block it is reset. 0 when the dispatcher cannot start, else 1.
  int Start();
  // Stops the dispatcher's timer thread and the network threads (requests in flight are dropped
  // without a message), waiting for them. Queued messages still reach the main thread. 1.
  int Stop();
  bool IsStarted() const { return started_.load(); }

  // 0 without a map-control block or a window; else the window goes into the engine global, the
  // initial map status is kept and the display does its part (1 without a display).
  int CreateMapWindow(CVWnd* window, int centerX, int centerY, int left, int top, int right, int bottom,
                      int level);

  // The part in the slot (not owned by the caller); null until one is installed. Any thread.
  EnginePart* Part(EngineSlot slot) const;
  // The part as T; null when the slot is empty or holds another kind.
  template <class T>
  T* PartAs(EngineSlot slot) const {
    return dynamic_cast<T*>(Part(slot));
  }
  // Puts the part in an empty slot and answers it; with the slot taken, the part is dropped and the
  // one there answered. A new part and the parts already there hear of each other (OnPartInstalled),
  // then the display. Main thread.
  EnginePart* Install(EngineSlot slot, std::unique_ptr<EnginePart> part);
  // As Install; null when the slot already holds a part of another kind.
  template <class T>
  T* InstallAs(EngineSlot slot, std::unique_ptr<T> part) {
    return dynamic_cast<T*>(Install(slot, std::unique_ptr<EnginePart>(std::move(part))));
  }
  // Tells the other parts and the display that the slot's part goes, shuts it down and destroys it.
  // Main thread, with the engine stopped (no timer thread may be handing the part a tick).
  void Remove(EngineSlot slot);
  // The display and the notifier (replacing any before). Main thread.
  void SetDisplay(std::unique_ptr<EngineDisplay> display);
  EngineDisplay* Display() const;
  void SetNotifier(std::unique_ptr<EngineNotifier> notifier);
  EngineNotifier* Notifier() const;

  CUrlTranslater& UrlTranslater() { return urlTranslater_; }
  // What the parts built on this engine are handed (the global's platform information and the URL
  // builder).
  EngineServices Services() { return {&global_, &urlTranslater_}; }
  void SetScreenDpi(int dpiX, int dpiY);

  // The search clients that catalogue downloads wait for (the search engine adds its own when it
  // starts and takes them back when it stops; not owned). Any thread.
  void AddSearchClient(CHttpClient* client);
  void RemoveSearchClient(CHttpClient* client);
  bool IsAnySearchClientBusy() const;

  // The two procedures the dispatcher runs (engine: main thread for queued messages, timer thread
  // for timers; UI: main thread, or the sender's thread for SendMessage).
  int EngineMessageProc(const VMessage& message) override;
  int UIMessageProc(const VMessage& message) override;

  // Screen densities: 326 on a retina screen, else 163.
  int dpiX = 163;
  int dpiY = 163;
  // The initial map status CreateMapWindow was given.
  int initCenterX = 0;
  int initCenterY = 0;
  _VRect initWindow;
  int initLevel = 0;

 private:
  void Route(EngineSlot slot, EngineMsg message, int wParam, int lParam) const;
  void RouteHttp(EngineMsg message, EngineClient client, int tag) const;
  // The display and the notifier taken out together, for the destructor to end outside the lock
  // (in a function of its own: the lock analysis does not look into destructors).
  std::pair<std::unique_ptr<EngineDisplay>, std::unique_ptr<EngineNotifier>> TakeOutputs()
      EXCLUDES(partsMutex_);

  CVMainGlobalMan& global_;
  platform::RunLoop* mainLoop_;
  std::atomic<bool> started_{false};
  mutable platform::Mutex partsMutex_;
  std::array<std::unique_ptr<EnginePart>, static_cast<std::size_t>(EngineSlot::Count)> parts_
      GUARDED_BY(partsMutex_);
  std::unique_ptr<EngineDisplay> display_ GUARDED_BY(partsMutex_);
  std::unique_ptr<EngineNotifier> notifier_ GUARDED_BY(partsMutex_);
  CUrlTranslater urlTranslater_;
  mutable platform::Mutex clientsMutex_;
  std::vector<CHttpClient*> searchClients_ GUARDED_BY(clientsMutex_);
};

}  // namespace gmengine
