#pragma once
#include <atomic>
#include <functional>
#include <vector>

#include "mapsdk/engine/CUrlTranslater.h"
#include "platform/foundation/Mutex.h"

namespace platform {
class RunLoop;
}

namespace gmengine {

class CAppLocation;
class CAppSearch;
class CHttpClient;
class CMapControl;
class COfflineTaskMan;
class COLRecordMan;
class CVerDatsetMan;
class CVMainGlobalMan;
class CVWnd;

using EngineMsgProc = std::function<int(int message, int wParam, int lParam)>;

// Where the map display, search and offline parts plug into the engine's message flow. Each may
// be empty (nothing is called). The engine procedure's routing:
//   message 8 (timer, wParam the id): location and mapControl; timer 1004 also offlineTask.
//   HTTP messages 1000-1008, 1100, 1120 (wParam the client id): client 9 to offlineTask (only
//     1000-1003, 1007 and 1120), clients 0 and 3 to search, 2 and 5 to location, every other
//     client (the tile clients) to mapControl. 1002 and 1003 first fill the client's buffer.
//   any other engine message (8008, 8009, 8010, 8013, ...): mapControl, then location.
// The UI procedure: 2000 to notifier (kind of the result type, error with 11-14 as 100, type);
// 65289 to notifier (13, wParam, lParam); 8015 posts "NotificationEngineAnimationBegin" and runs
// animationStep 0.01 s later on the main thread; 8018 posts "NotificationEngineAnimationEnd";
// every other UI message (9 repaint, 8008, 8016, ...) to mapView. Message 2004 is not handed on:
// the notifier ignores it, and it may come from the timer thread.
struct EngineHooks {
  EngineMsgProc location;
  EngineMsgProc mapControl;
  EngineMsgProc search;
  EngineMsgProc offlineTask;
  EngineMsgProc mapView;
  std::function<void(int kind, int param1, int param2)> notifier;
  std::function<void()> animationStep;
  // Start: with a location block, resets it.
  std::function<void()> resetLocation;
  // CreateMapWindow's display work (domain list, drawing context, initial map status); its result
  // is CreateMapWindow's. Without it CreateMapWindow answers 1.
  std::function<int(CVWnd* window, int centerX, int centerY, int left, int top, int right, int bottom,
                    int level)>
      initMapWindow;
  // Release: frees what the display and search parts still hold in the core.
  std::function<void()> release;
};

// Engine messages and notifications of the engine core.
inline constexpr int kMsgRepaint = 9;
inline constexpr int kMsgSearchResult = 2000;
inline constexpr int kMsgLocationChanged = 2004;
inline constexpr int kMsgAnimationBegin = 8015;
inline constexpr int kMsgAnimationEnd = 8018;
inline constexpr int kMsgOfflineState = 65289;
inline constexpr int kOfflineTaskClientId = 9;
inline constexpr int kOfflineTaskTimerId = 1004;
inline constexpr const char* NotificationEngineAnimationBegin = "NotificationEngineAnimationBegin";
inline constexpr const char* NotificationEngineAnimationEnd = "NotificationEngineAnimationEnd";

// The engine core: starts and stops the engine's threads and message flow, routes engine messages
// to the parts that plugged in (EngineHooks), and keeps the slots where those parts put their
// objects (each null until its creator runs, and owned by that part, not by the core). Built by
// InitMapEngine; main thread except where noted.
class CVMapEngine {
 public:
  explicit CVMapEngine(CVMainGlobalMan& global);
  ~CVMapEngine();
  CVMapEngine(const CVMapEngine&) = delete;
  CVMapEngine& operator=(const CVMapEngine&) = delete;

  // Marks the core started, starts the network threads and the dispatcher with the engine and UI
  // procedures; with a map-control block the map is redrawn (UI message 9 sent at once), with a
  // location block it is reset. 0 when the dispatcher cannot start, else 1.
  int Start();
  // Stops the dispatcher's timer thread and the network threads (requests in flight are dropped
  // without a message), waiting for them. Queued messages still reach the main thread. 1.
  int Stop();
  // Stop, then the release hook, delayed animation steps cancelled, every hook dropped.
  void Release();
  bool IsStarted() const { return started_.load(); }

  // 0 without a map-control block or a window; else the window goes into the engine global, the
  // initial map status is kept and the initMapWindow hook does the display's part (1 without one).
  int CreateMapWindow(CVWnd* window, int centerX, int centerY, int left, int top, int right, int bottom,
                      int level);

  // Any thread.
  void SetHooks(EngineHooks hooks);
  EngineHooks GetHooks() const;
  CUrlTranslater& UrlTranslater() { return urlTranslater_; }
  void SetScreenDpi(int dpiX, int dpiY);

  // The search clients that catalogue downloads wait for (the search engine adds its own when it
  // starts and takes them back when it stops; not owned). Any thread.
  void AddSearchClient(CHttpClient* client);
  void RemoveSearchClient(CHttpClient* client);
  bool IsAnySearchClientBusy() const;

  // The two procedures the dispatcher runs (engine: main thread for queued messages, timer thread
  // for timers; UI: main thread, or the sender's thread for SendMessage).
  int EngineMessageProc(int message, int wParam, int lParam);
  int UIMessageProc(int message, int wParam, int lParam);
  // The notifier kind of a search result type (0 for a type the notifier does not know).
  static int NotifierKindForResultType(int type);

  // Slots of the display, search and offline parts.
  CMapControl* mapControl = nullptr;  // the map-control block (it begins with the controller)
  CAppLocation* location = nullptr;   // the location block
  CAppSearch* search = nullptr;
  COLRecordMan* recordMan = nullptr;
  CVerDatsetMan* verDatsetMan = nullptr;
  COfflineTaskMan* offlineTaskMan = nullptr;
  // Screen densities: 326 on a retina screen, else 163.
  int dpiX = 163;
  int dpiY = 163;
  // The initial map status CreateMapWindow was given.
  int initCenterX = 0;
  int initCenterY = 0;
  _VRect initWindow;
  int initLevel = 0;

 private:
  CVMainGlobalMan& global_;
  platform::RunLoop* mainLoop_;
  std::atomic<bool> started_{false};
  mutable platform::Mutex hooksMutex_;
  EngineHooks hooks_;
  CUrlTranslater urlTranslater_;
  mutable platform::Mutex clientsMutex_;
  std::vector<CHttpClient*> searchClients_;
};

}  // namespace gmengine
