#pragma once
#include <vector>

#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineParts.h"
#include "mapsdk/engine/EngineTypes.h"
#include "mapsdk/offline/COLVersionInfo.h"
#include "platform/foundation/Mutex.h"

namespace gmengine {

class COLRecordMan;
class CVMapEngine;
class CVMsgDispatcher;
class CVerDatsetMan;

// A catalogue download waiting in the task manager's queue.
struct tag_CommonTask {
  int kind = 0;  // 2 city task list, 3 update file
  CVString url;
  int param = -1;  // kind 3: the file code
};

// Fetches the offline catalogue files one at a time on EngineTimer::OfflineTask (every 5000 ms), waiting
// while any pooled search client is busy, and hands each answer to the record manager. Timer
// ticks arrive on the timer thread, answers on the main thread; the queue is guarded for that. The
// engine core owns it.
class COfflineTaskMan : public CHttpClient, public EnginePart {
 public:
  static constexpr int kBufferSize = 256000;
  static constexpr int kTimerMs = 5000;
  enum FileCode { kVerDatset = 0, kCMRequire = 1, kMPZoomCtl = 2, kHotcity = 3, kSearch = 4 };

  // The engine core that owns it (its URL builder and the search clients it waits for), the
  // dispatcher of its timer, and the record and version managers the answers go to (any may be
  // null; none owned: the engine global outlives the core, which removes the task manager before
  // the two managers).
  COfflineTaskMan(CVMapEngine* engine, CVMsgDispatcher* dispatcher, COLRecordMan* records,
                  CVerDatsetMan* versions);
  ~COfflineTaskMan() override;

  // Sockets, EngineClient::OfflineTask, the receive buffer, gzip, 10 s time-out, the timer. 1; 0
  // when the client cannot be readied.
  int Init();
  int AddHttpClient(CHttpClient* client);
  // Queues the offline city task list; the argument does not change the URL. 0.
  int AddCityListTask(int unused);
  // Queues the catalogue file with its code. 0.
  int AddUpdateFileTask(const CVString& fileName, int code);
  // The HTTP messages of its client (EngineMsg, EngineClient::OfflineTask) and its timer ticks
  // (EngineMsg::Timer, wParam EngineTimer::OfflineTask). 0.
  int OnMessage(int message, int wParam, int lParam);
  int OnEngineMessage(EngineMsg message, int wParam, int lParam) override {
    return OnMessage(ToInt(message), wParam, lParam);
  }
  int IsAnyClientBusy() const;
  int GetTaskCount() const;
  // The catalogue version of a data-version answer (pic_version, task_version, city_version into
  // d, m and c); false when the answer lacks a part or its error is not 0.
  static bool ParseDataVersion(const char* text, int length, COLVersionInfo& version);

 private:
  int RunNextTask();
  // Hands the answer in the receive buffer of a task of that kind and code to its manager.
  void HandleAnswer(int kind, int param);

  CVMapEngine* const engine_;
  CVMsgDispatcher* const dispatcher_;
  COLRecordMan* const records_;
  CVerDatsetMan* const versions_;
  std::vector<char> buffer_;
  int received_ = 0;
  // The task at the head of the queue is being fetched under tag sequence_.
  bool running_ GUARDED_BY(mutex_) = false;
  int runningKind_ GUARDED_BY(mutex_) = 0;
  CVString runningUrl_ GUARDED_BY(mutex_);
  int runningParam_ GUARDED_BY(mutex_) = -1;
  int sequence_ GUARDED_BY(mutex_) = 0;
  CVArray<tag_CommonTask> tasks_ GUARDED_BY(mutex_);
  CVArray<CHttpClient*> pool_ GUARDED_BY(mutex_);
  mutable platform::Mutex mutex_;
};

}  // namespace gmengine
