#include "mapsdk/engine/CVMsgDispatcher.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "platform/foundation/Mutex.h"
#include "platform/foundation/RunLoop.h"

namespace gmengine {

CVMsgDispatcher::CVMsgDispatcher() : mainLoop_(&platform::RunLoop::main()) {
  observer_ = platform::NotificationCenter::defaultCenter().addObserver(
      NotificationEngineMessage, this, [this](const platform::Notification&) { DispatchMessage(); });
}

CVMsgDispatcher::~CVMsgDispatcher() {
  Stop();
  platform::NotificationCenter::defaultCenter().removeObserver(observer_);
}

int CVMsgDispatcher::Start(CVMsgHandler* handler, bool runTimerThread) {
  std::thread finished;
  std::size_t pending = 0;
  {
    platform::MutexLock lock(mutex_);
    handler_ = handler;
    if (!started_) {
      started_ = true;
      pending = queues_[0].size() + queues_[1].size();
    }
    bool running = timerThread_.joinable() && !stopFlag_;
    if (runTimerThread && !running) {
      finished = std::move(timerThread_);  // one that was told to stop from inside itself
      stopFlag_ = false;
      try {
        timerThread_ = std::thread([this] { TimerThread(); });
      } catch (const std::system_error&) {
        stopFlag_ = true;
      }
    }
  }
  if (finished.joinable()) finished.join();
  for (std::size_t i = 0; i < pending; ++i) Announce();
  platform::MutexLock lock(mutex_);
  return !runTimerThread || timerThread_.joinable() ? 1 : 0;
}

void CVMsgDispatcher::Forget(const CVMsgHandler* handler) {
  platform::MutexLock lock(mutex_);
  if (handler_ == handler) handler_ = nullptr;
}

int CVMsgDispatcher::Stop() {
  std::thread thread;
  {
    platform::MutexLock lock(mutex_);
    stopFlag_ = true;
    changed_.notifyAll();
    if (!timerThread_.joinable() || std::this_thread::get_id() == timerThreadId_) return 1;
    thread = std::move(timerThread_);
  }
  thread.join();
  return 1;
}

bool CVMsgDispatcher::IsTimerRunning() const {
  platform::MutexLock lock(mutex_);
  return timerThread_.joinable() && !stopFlag_;
}

void CVMsgDispatcher::TimerThread() {
  platform::MutexLock lock(mutex_);
  timerThreadId_ = std::this_thread::get_id();
  while (!stopFlag_) {
    const auto tick = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTickMs);
    while (!stopFlag_ && changed_.waitUntil(mutex_, tick)) {
    }
    if (stopFlag_) break;
    lock.unlock();
    OnTimerTick(kTickMs);
    lock.lock();
  }
  timerThreadId_ = std::thread::id();
}

void CVMsgDispatcher::Announce() {
  const void* self = this;
  mainLoop_->performOnMain(
      [self] { platform::NotificationCenter::defaultCenter().post(NotificationEngineMessage, self); });
}

int CVMsgDispatcher::PostMessage(int queue, int message, int wParam, int lParam,
                                 std::shared_ptr<const SearchAnswer> answer) {
  if (queue != kEngineQueue && queue != kUIQueue) return 0;
  bool announce;
  {
    platform::MutexLock lock(mutex_);
    auto& q = queues_[queue - 1];
    if (static_cast<int>(q.size()) >= kQueueCapacity && IsRepeatable(queue, message)) return 0;
    q.push_back({message, wParam, lParam, std::move(answer)});
    announce = started_;  // before the first start, Start announces what waits
  }
  if (announce) Announce();
  return 1;
}

bool CVMsgDispatcher::IsRepeatable(int queue, int message) {
  // Progress and repaint say "something changed"; a later one says it again. Completions and
  // failures are said once and must arrive.
  return (queue == kEngineQueue && message == ToInt(EngineMsg::HttpData)) ||
         (queue == kUIQueue && message == ToInt(EngineMsg::Repaint));
}

int CVMsgDispatcher::SendMessage(int queue, int message, int wParam, int lParam) {
  CVMsgHandler* handler;
  {
    platform::MutexLock lock(mutex_);
    handler = handler_;
  }
  if (!handler) return 0;
  const VMessage m{message, wParam, lParam, nullptr};
  if (queue == kEngineQueue) return handler->EngineMessageProc(m);
  if (queue == kUIQueue) return handler->UIMessageProc(m);
  return 0;
}

int CVMsgDispatcher::DispatchMessage() {
  VMessage m;
  CVMsgHandler* handler;
  bool ui;
  {
    platform::MutexLock lock(mutex_);
    if (!started_) return 0;
    int index = !queues_[1].empty() ? 1 : (!queues_[0].empty() ? 0 : -1);
    if (index < 0) return 0;
    m = std::move(queues_[index].front());
    queues_[index].pop_front();
    handler = handler_;
    ui = index == 1;
  }
  if (handler) {
    if (ui) {
      handler->UIMessageProc(m);
    } else {
      handler->EngineMessageProc(m);
    }
  }
  return 1;
}

int CVMsgDispatcher::SetTimer(int id, int ms) {
  if (ms < 0) return 0;
  platform::MutexLock lock(mutex_);
  auto it = std::find_if(timers_.begin(), timers_.end(), [id](const Timer& t) { return t.id == id; });
  if (it != timers_.end()) {
    it->interval = ms;
    it->elapsed = 0;
  } else {
    timers_.push_back({id, ms, 0});
  }
  return 1;
}

int CVMsgDispatcher::KillTimer(int id) {
  platform::MutexLock lock(mutex_);
  auto it = std::find_if(timers_.begin(), timers_.end(), [id](const Timer& t) { return t.id == id; });
  if (it == timers_.end()) return 0;
  timers_.erase(it);
  if (firing_ && firingId_ == id && std::this_thread::get_id() != firingThread_) {
    while (firing_ && firingId_ == id) changed_.wait(mutex_);
  }
  return 1;
}

void CVMsgDispatcher::OnTimerTick(int elapsedMs) {
  std::vector<int> due;
  {
    platform::MutexLock lock(mutex_);
    for (Timer& t : timers_) {
      t.elapsed += elapsedMs;
      if (t.elapsed >= t.interval) {
        t.elapsed = 0;
        due.push_back(t.id);
      }
    }
  }
  for (int id : due) {
    CVMsgHandler* handler;
    {
      platform::MutexLock lock(mutex_);
      // A timer killed by an earlier call of this tick does not run.
      if (std::none_of(timers_.begin(), timers_.end(), [id](const Timer& t) { return t.id == id; })) continue;
      handler = handler_;
      firing_ = true;
      firingId_ = id;
      firingThread_ = std::this_thread::get_id();
    }
    if (handler) handler->EngineMessageProc({ToInt(EngineMsg::Timer), id, 0, nullptr});
    platform::MutexLock lock(mutex_);
    firing_ = false;
    changed_.notifyAll();
  }
}

int CVMsgDispatcher::GetQueueCount(int queue) const {
  if (queue != kEngineQueue && queue != kUIQueue) return 0;
  platform::MutexLock lock(mutex_);
  return static_cast<int>(queues_[queue - 1].size());
}

}  // namespace gmengine
