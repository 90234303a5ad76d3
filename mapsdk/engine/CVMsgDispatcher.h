#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "mapsdk/engine/EngineTypes.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/NotificationCenter.h"

namespace platform {
class RunLoop;
}

namespace gmengine {

struct SearchAnswer;

// The engine message record. A search answer travels whole beside its two words.
struct VMessage {
  int message = 0;
  int wParam = 0;
  int lParam = 0;
  std::shared_ptr<const SearchAnswer> answer;
};

// The two procedures the dispatcher hands messages to.
class CVMsgHandler {
 public:
  virtual ~CVMsgHandler() = default;
  virtual int EngineMessageProc(const VMessage& message) = 0;
  virtual int UIMessageProc(const VMessage& message) = 0;
};

// Posted on the main thread, once for every message queued (object: the dispatcher).
inline constexpr const char* NotificationEngineMessage = "NotificationEngineMessage";

// Carries engine messages between the engine's threads and the main thread, and runs the engine's
// timers.
//
// Two queues of 50 messages: 1, the engine queue, and 2, the UI queue. A post from any thread
// queues the message and has "NotificationEngineMessage" posted on the main run loop; for each
// such notification the main thread takes one message, from the UI queue before the engine queue,
// and hands it to that queue's procedure. A queue holds 50 messages of the repeatable kinds (HTTP
// progress, EngineMsg::HttpData, on the engine queue, Repaint on the UI queue): a repeatable post to a queue
// holding 50 or more is refused (0), since a later one says the same. Every other message (HTTP
// completions and failures, commands, results) is queued whatever the count, so none is lost. SendMessage
// runs a queue's procedure at once on the calling thread.
//
// Timers: a timer thread ticks every 100 ms; at each tick every timer adds 100 ms to its count,
// and a timer whose count reached its interval calls the engine procedure with EngineMsg::Timer
// and its id (EngineTimer), on the timer thread, and counts again from 0. KillTimer waits for the timer's
// call when it is running on the timer thread (unless called from that call), so a killed timer never runs
// after KillTimer returns.
//
// Build and destroy it on the main thread; every other member is for any thread unless noted.
class CVMsgDispatcher {
 public:
  static constexpr int kQueueCapacity = 50;
  static constexpr int kTickMs = 100;
  enum Queue { kEngineQueue = 1, kUIQueue = 2 };

  CVMsgDispatcher();
  ~CVMsgDispatcher();
  CVMsgDispatcher(const CVMsgDispatcher&) = delete;
  CVMsgDispatcher& operator=(const CVMsgDispatcher&) = delete;

  // Sets the handler (not owned: it outlives the dispatcher's use, Stop and the next Start) and
  // starts the timer thread (with runTimerThread false, ticks come only from OnTimerTick: tests).
  // Messages queued before the first start are delivered then. Starting again while running only
  // replaces the handler. 0 when the thread cannot start.
  int Start(CVMsgHandler* handler, bool runTimerThread = true);
  // Messages are no longer handed to the handler (it is going).
  void Forget(const CVMsgHandler* handler);
  // Sets the stop flag and waits for the timer thread to end (from the timer thread itself it
  // only sets the flag). Queued messages still reach the main thread. Answers 1.
  int Stop();
  bool IsTimerRunning() const;

  // queue 1 or 2. 1 when queued; 0 for another queue, or a repeatable message to a full one.
  int PostMessage(int queue, int message, int wParam, int lParam,
                  std::shared_ptr<const SearchAnswer> answer = nullptr);
  // Whether a full queue may refuse the message.
  static bool IsRepeatable(int queue, int message);
  // The queue's procedure on the calling thread, at once; its result (0 without one).
  int SendMessage(int queue, int message, int wParam, int lParam);
  // Enters (or re-enters, counting from 0 again) timer id with interval ms; 0 for a negative one.
  int SetTimer(int id, int ms);
  // 1 when the timer was there.
  int KillTimer(int id);

  // Main thread: takes one message, UI queue first, and hands it over; 1 when one was handled.
  // The notification observer calls it; tests may too.
  int DispatchMessage();
  // One tick of elapsedMs: what the timer thread does every 100 ms.
  void OnTimerTick(int elapsedMs = kTickMs);
  int GetQueueCount(int queue) const;

 private:
  struct Timer {
    int id;
    int interval;
    int elapsed;
  };

  void TimerThread();
  void Announce();

  platform::RunLoop* mainLoop_;
  platform::NotificationCenter::Token observer_ = 0;

  mutable platform::Mutex mutex_;  // queues, procedures, timers, thread state
  platform::ConditionVariable changed_;
  std::deque<VMessage> queues_[2] GUARDED_BY(mutex_);
  CVMsgHandler* handler_ GUARDED_BY(mutex_) = nullptr;
  bool started_ GUARDED_BY(mutex_) = false;
  std::vector<Timer> timers_ GUARDED_BY(mutex_);
  int firingId_ GUARDED_BY(mutex_) = 0;
  bool firing_ GUARDED_BY(mutex_) = false;
  std::thread::id firingThread_ GUARDED_BY(mutex_);
  std::thread::id timerThreadId_ GUARDED_BY(mutex_);
  std::thread timerThread_ GUARDED_BY(mutex_);
  bool stopFlag_ GUARDED_BY(mutex_) = false;
};

}  // namespace gmengine
