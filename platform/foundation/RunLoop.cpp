#include "platform/foundation/RunLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/foundation/Mutex.h"

namespace platform {

namespace {

constexpr double MinRepeatInterval = 0.0001;
// Waits this long or longer have no end.
constexpr double ForeverSeconds = 1e9;

bool modeMatches(const std::string& itemMode, std::string_view runMode) {
  return itemMode == CommonRunLoopModes || itemMode == runMode;
}

void checkRunMode(std::string_view mode) {
  if (mode.empty() || mode == CommonRunLoopModes)
    throw std::invalid_argument("RunLoop: cannot run in mode \"" + std::string(mode) + "\"");
}

void checkItemMode(std::string_view mode) {
  if (mode.empty()) throw std::invalid_argument("RunLoop: empty mode");
}

// Exceptions never leave a callback: the loop and everything else scheduled on it go on.
template <class F>
void guarded(const char* what, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "RunLoop: %s threw: %s\n", what, e.what());
  } catch (...) {
    std::fprintf(stderr, "RunLoop: %s threw a non-standard exception\n", what);
  }
}

double finiteOrZero(double v) { return std::isfinite(v) ? v : 0.0; }

struct TimerKey {
  double date;
  std::uint64_t seq;
  bool operator<(const TimerKey& o) const { return date < o.date || (date == o.date && seq < o.seq); }
};

class RunLoopImpl;

class TimerImpl final : public Timer {
 public:
  void invalidate() override;
  bool isValid() const override { return valid_.load(); }
  double fireDate() const override { return key_.date; }
  double interval() const override { return repeats_ ? interval_ : 0.0; }

  RunLoopImpl* loop_ = nullptr;  // null once unscheduled
  TimerKey key_{};
  double start_ = 0;         // a repeating timer fires at start_ + n * interval_
  std::uint64_t count_ = 0;  // the n of key_.date
  double interval_ = 0;
  bool repeats_ = false;
  std::shared_ptr<std::function<void(Timer&)>> fn_;
  std::string mode_;
  const void* target_ = nullptr;
  bool perform_ = false;
  bool firing_ = false;
  std::atomic<bool> valid_{true};
};

struct FdSource {
  RunLoop::SourceId id = 0;
  int fd = -1;
  unsigned events = 0;
  bool passive = false;  // not waited for in real time on a virtual clock
  std::shared_ptr<std::function<void(unsigned)>> fn;
  std::string mode;
  bool firing = false;
  bool removed = false;
  bool bad = false;  // not an open fd: no longer polled
};

struct Posted {
  std::uint64_t seq;
  std::function<void()> fn;
};

class RunLoopImpl final : public RunLoop {
 public:
  explicit RunLoopImpl(bool canHandOver);
  ~RunLoopImpl() override;

  void setClock(std::shared_ptr<Clock> clock) override;
  std::shared_ptr<Clock> clock() const override;
  double now() const override;
  std::shared_ptr<Timer> scheduleTimer(double interval, bool repeats, std::function<void(Timer&)> fn,
                                       std::string_view mode) override;
  void performAfter(double delay, const void* target, std::function<void()> fn) override;
  void cancelPerforms(const void* target) override;
  void performOnMain(std::function<void()> fn) override;
  SourceId addFdSource(int fd, unsigned events, std::function<void(unsigned)> fn,
                       std::string_view mode) override;
  void updateFdSource(SourceId id, unsigned events) override;
  void removeFdSource(SourceId id) override;
  void setFdSourcePassive(SourceId id, bool passive) override;
  bool runOnce(double maxWait, std::string_view mode) override;
  bool runOnceHoldingClock(double realSeconds, std::string_view mode) override;
  void run() override;
  void stop() override;
  void runFor(double seconds, std::string_view mode) override;
  bool runUntil(const std::function<bool()>& pred, double timeout, std::string_view mode) override;
  void wakeUp() override;
  bool isCurrentThread() const override { return owner_.load() == std::this_thread::get_id(); }
  void discardAll() override;

  void unschedule(TimerImpl& timer);

 private:
  // Marks one level of running on the calling thread.
  class Running {
   public:
    explicit Running(RunLoopImpl& loop);
    ~Running() { loop_.depth_.fetch_sub(1); }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    RunLoopImpl& loop_;
  };

  std::shared_ptr<TimerImpl> schedule(double delay, double interval, bool repeats,
                                      std::function<void(Timer&)> fn, std::string_view mode);
  // holdFor: on a virtual clock, the real seconds to wait for posted work or a ready fd instead
  // of moving the clock (which then stands).
  bool pass(std::string_view mode, double deadline, std::optional<double> holdFor = std::nullopt);
  std::optional<double> nextDue(std::string_view mode) const;
  bool hasPosted();
  void drainWake();
  bool runPosted();
  bool dispatchFds(const std::vector<std::shared_ptr<FdSource>>& polled, const std::vector<pollfd>& pfds);
  bool fireDue(std::string_view mode, double now);
  void fire(const std::shared_ptr<TimerImpl>& timer, double now);

  const bool canHandOver_;
  std::atomic<std::thread::id> owner_;
  std::atomic<int> depth_{0};
  std::atomic<bool> stopRequested_{false};
  int wakeFd_ = -1;

  mutable platform::Mutex clockMutex_;
  std::shared_ptr<Clock> clock_ GUARDED_BY(clockMutex_);

  std::map<TimerKey, std::shared_ptr<TimerImpl>> timers_;
  std::uint64_t nextTimerSeq_ = 1;
  std::map<SourceId, std::shared_ptr<FdSource>> sources_;
  SourceId nextSourceId_ = 1;

  platform::Mutex postMutex_;
  std::deque<Posted> posted_ GUARDED_BY(postMutex_);
  std::uint64_t nextPostSeq_ GUARDED_BY(postMutex_) = 0;
};

void TimerImpl::invalidate() {
  if (!valid_.exchange(false)) return;
  if (loop_) loop_->unschedule(*this);
  loop_ = nullptr;
  // A running callback keeps its own reference to fn.
  fn_.reset();
}

RunLoopImpl::Running::Running(RunLoopImpl& loop) : loop_(loop) {
  auto me = std::this_thread::get_id();
  if (loop_.owner_.load() != me) {
    if (!loop_.canHandOver_ || loop_.depth_.load() != 0)
      throw std::logic_error("RunLoop: run from a thread that does not own the loop");
    loop_.owner_.store(me);
  }
  loop_.depth_.fetch_add(1);
}

RunLoopImpl::RunLoopImpl(bool canHandOver)
    : canHandOver_(canHandOver), owner_(std::this_thread::get_id()), clock_(Clock::real()) {
  realClock_.store(true);
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0) throw std::runtime_error(std::string("RunLoop: eventfd failed: ") + std::strerror(errno));
}

RunLoopImpl::~RunLoopImpl() {
  discardAll();
  ::close(wakeFd_);
}

void RunLoopImpl::setClock(std::shared_ptr<Clock> clock) {
  if (!clock) throw std::invalid_argument("RunLoop: null clock");
  double delta;
  {
    platform::MutexLock lock(clockMutex_);
    delta = clock->now() - clock_->now();
    realClock_.store(clock == Clock::real());
    clock_ = std::move(clock);
  }
  if (delta == 0 || timers_.empty()) return;
  std::map<TimerKey, std::shared_ptr<TimerImpl>> moved;
  for (auto& [key, t] : timers_) {
    t->start_ += delta;
    t->key_.date += delta;
    moved.emplace(t->key_, t);
  }
  timers_.swap(moved);
}

std::shared_ptr<Clock> RunLoopImpl::clock() const {
  platform::MutexLock lock(clockMutex_);
  return clock_;
}

double RunLoopImpl::now() const {
  if (realClock_.load()) return Clock::realNow();
  platform::MutexLock lock(clockMutex_);
  return clock_->now();
}

std::shared_ptr<TimerImpl> RunLoopImpl::schedule(double delay, double interval, bool repeats,
                                                 std::function<void(Timer&)> fn, std::string_view mode) {
  if (!fn) throw std::invalid_argument("RunLoop: empty timer callback");
  checkItemMode(mode);
  auto t = std::make_shared<TimerImpl>();
  double now = clock()->now();
  t->loop_ = this;
  t->repeats_ = repeats;
  t->interval_ = interval;
  t->start_ = now;
  t->count_ = 1;
  t->key_ = {now + delay, nextTimerSeq_++};
  t->fn_ = std::make_shared<std::function<void(Timer&)>>(std::move(fn));
  t->mode_ = std::string(mode);
  timers_.emplace(t->key_, t);
  return t;
}

std::shared_ptr<Timer> RunLoopImpl::scheduleTimer(double interval, bool repeats,
                                                  std::function<void(Timer&)> fn, std::string_view mode) {
  interval = std::max(finiteOrZero(interval), repeats ? MinRepeatInterval : 0.0);
  return schedule(interval, interval, repeats, std::move(fn), mode);
}

void RunLoopImpl::performAfter(double delay, const void* target, std::function<void()> fn) {
  if (!fn) throw std::invalid_argument("RunLoop: empty perform");
  auto t = schedule(
      std::max(finiteOrZero(delay), 0.0), 0, false, [fn = std::move(fn)](Timer&) { fn(); },
      DefaultRunLoopMode);
  t->perform_ = true;
  t->target_ = target;
}

void RunLoopImpl::cancelPerforms(const void* target) {
  if (!target) return;
  std::vector<std::shared_ptr<TimerImpl>> cancelled;
  for (auto& [key, t] : timers_)
    if (t->perform_ && t->target_ == target) cancelled.push_back(t);
  for (auto& t : cancelled) t->invalidate();
}

void RunLoopImpl::unschedule(TimerImpl& timer) {
  auto it = timers_.find(timer.key_);
  if (it != timers_.end() && it->second.get() == &timer) {
    // The map's reference may be the last one; let go of it after the erase.
    auto keep = std::move(it->second);
    timers_.erase(it);
  }
}

void RunLoopImpl::performOnMain(std::function<void()> fn) {
  if (!fn) throw std::invalid_argument("RunLoop: empty posted work");
  {
    platform::MutexLock lock(postMutex_);
    posted_.push_back({nextPostSeq_++, std::move(fn)});
  }
  wakeUp();
}

RunLoop::SourceId RunLoopImpl::addFdSource(int fd, unsigned events, std::function<void(unsigned)> fn,
                                           std::string_view mode) {
  if (fd < 0) throw std::invalid_argument("RunLoop: negative fd");
  if (!fn) throw std::invalid_argument("RunLoop: empty fd callback");
  checkItemMode(mode);
  auto s = std::make_shared<FdSource>();
  s->id = nextSourceId_++;
  s->fd = fd;
  s->events = events & (Readable | Writable);
  s->fn = std::make_shared<std::function<void(unsigned)>>(std::move(fn));
  s->mode = std::string(mode);
  sources_.emplace(s->id, s);
  return s->id;
}

void RunLoopImpl::updateFdSource(SourceId id, unsigned events) {
  auto it = sources_.find(id);
  if (it != sources_.end()) it->second->events = events & (Readable | Writable);
}

void RunLoopImpl::setFdSourcePassive(SourceId id, bool passive) {
  auto it = sources_.find(id);
  if (it != sources_.end()) it->second->passive = passive;
}

void RunLoopImpl::removeFdSource(SourceId id) {
  auto it = sources_.find(id);
  if (it == sources_.end()) return;
  auto keep = std::move(it->second);
  sources_.erase(it);
  keep->removed = true;
}

void RunLoopImpl::wakeUp() {
  std::uint64_t one = 1;
  // A full counter already means "wake up"; nothing else can fail here.
  [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
}

void RunLoopImpl::drainWake() {
  std::uint64_t value;
  [[maybe_unused]] auto n = ::read(wakeFd_, &value, sizeof value);
}

bool RunLoopImpl::hasPosted() {
  platform::MutexLock lock(postMutex_);
  return !posted_.empty();
}

std::optional<double> RunLoopImpl::nextDue(std::string_view mode) const {
  for (auto& [key, t] : timers_)
    if (!t->firing_ && modeMatches(t->mode_, mode)) return key.date;
  return std::nullopt;
}

bool RunLoopImpl::runPosted() {
  std::uint64_t limit;
  {
    platform::MutexLock lock(postMutex_);
    limit = nextPostSeq_;
  }
  bool ran = false;
  for (;;) {
    std::function<void()> fn;
    {
      platform::MutexLock lock(postMutex_);
      // One at a time, so that a nested run picks up the next item in order.
      if (posted_.empty() || posted_.front().seq >= limit) break;
      fn = std::move(posted_.front().fn);
      posted_.pop_front();
    }
    guarded("posted work", fn);
    ran = true;
  }
  return ran;
}

bool RunLoopImpl::dispatchFds(const std::vector<std::shared_ptr<FdSource>>& polled,
                              const std::vector<pollfd>& pfds) {
  bool ran = false;
  for (std::size_t i = 0; i < polled.size(); ++i) {
    short re = pfds[i + 1].revents;
    const auto& s = polled[i];
    if (!re || s->removed || s->firing) continue;
    if (re & POLLNVAL) {
      std::fprintf(stderr, "RunLoop: fd %d of source %llu is not open; no longer polled\n", s->fd,
                   static_cast<unsigned long long>(s->id));
      s->bad = true;
      continue;
    }
    unsigned ready = 0;
    if ((s->events & Readable) && (re & (POLLIN | POLLHUP | POLLERR))) ready |= Readable;
    if ((s->events & Writable) && (re & (POLLOUT | POLLHUP | POLLERR))) ready |= Writable;
    if (!ready) continue;
    auto fn = s->fn;
    s->firing = true;
    guarded("fd source", [&] { (*fn)(ready); });
    s->firing = false;
    ran = true;
  }
  return ran;
}

void RunLoopImpl::fire(const std::shared_ptr<TimerImpl>& t, double now) {
  auto fn = t->fn_;
  auto it = timers_.find(t->key_);
  if (it != timers_.end()) timers_.erase(it);
  if (t->repeats_) {
    // Keep the cadence: the next date on the original grid that lies ahead.
    std::uint64_t next = t->count_ + 1;
    double elapsed = (now - t->start_) / t->interval_;
    if (elapsed >= static_cast<double>(next)) next = static_cast<std::uint64_t>(std::floor(elapsed)) + 1;
    t->count_ = next;
    t->key_.date = t->start_ + static_cast<double>(next) * t->interval_;
    timers_.emplace(t->key_, t);
  } else {
    t->loop_ = nullptr;
  }
  t->firing_ = true;
  guarded(t->perform_ ? "delayed perform" : "timer", [&] { (*fn)(*t); });
  t->firing_ = false;
  if (!t->repeats_) {
    t->valid_.store(false);
    t->fn_.reset();
  }
}

bool RunLoopImpl::fireDue(std::string_view mode, double now) {
  std::vector<std::shared_ptr<TimerImpl>> due;
  for (auto& [key, t] : timers_) {
    if (key.date > now) break;
    if (!t->firing_ && modeMatches(t->mode_, mode)) due.push_back(t);
  }
  bool ran = false;
  for (auto& t : due) {
    // An earlier callback (or a nested run) may have invalidated, fired or be firing it.
    if (!t->valid_.load() || t->loop_ != this || t->firing_) continue;
    double current = clock()->now();
    if (t->key_.date > current) continue;
    fire(t, current);
    ran = true;
  }
  return ran;
}

namespace {

// Real seconds one held pass waits for the outside work to post.
constexpr double OutsideWorkPollSlice = 0.05;

struct OutsideWorkBook {
  platform::Mutex mutex;
  std::uint64_t nextId GUARDED_BY(mutex) = 0;
  std::map<std::uint64_t, std::chrono::steady_clock::time_point> started GUARDED_BY(mutex);

  // Here rather than in OutsideWork's constructor and destructor, which the lock analysis does not
  // look into.
  std::uint64_t open() EXCLUDES(mutex) {
    platform::MutexLock lock(mutex);
    const std::uint64_t id = nextId++;
    started.emplace(id, std::chrono::steady_clock::now());
    return id;
  }
  void close(std::uint64_t id) EXCLUDES(mutex) {
    platform::MutexLock lock(mutex);
    started.erase(id);
  }
};

OutsideWorkBook& outsideWorkBook() {
  static OutsideWorkBook* book = new OutsideWorkBook;  // used by threads that outlive exit handlers
  return *book;
}

int pollFor(std::vector<pollfd>& pfds, int timeoutMs) {
  for (auto& p : pfds) p.revents = 0;
  for (;;) {
    int n = ::poll(pfds.data(), pfds.size(), timeoutMs);
    if (n >= 0) return n;
    if (errno != EINTR) {
      std::fprintf(stderr, "RunLoop: poll failed: %s\n", std::strerror(errno));
      return 0;
    }
  }
}

int toMillis(double seconds) {
  if (seconds <= 0) return 0;
  double ms = std::ceil(seconds * 1000.0);
  return ms >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
}

}  // namespace

bool RunLoopImpl::pass(std::string_view mode, double deadline, std::optional<double> holdFor) {
  auto clk = clock();
  double now = clk->now();
  bool forever = !(deadline - now < ForeverSeconds);

  std::vector<std::shared_ptr<FdSource>> polled;
  std::vector<pollfd> pfds;
  pfds.push_back({wakeFd_, POLLIN, 0});
  bool awaitingPeer = false;
  for (auto& [id, s] : sources_) {
    if (s->firing || s->bad || !s->events || !modeMatches(s->mode, mode)) continue;
    awaitingPeer = awaitingPeer || !s->passive;
    short ev = 0;
    if (s->events & Readable) ev |= POLLIN;
    if (s->events & Writable) ev |= POLLOUT;
    pfds.push_back({s->fd, ev, 0});
    polled.push_back(s);
  }

  auto next = nextDue(mode);
  bool immediate = hasPosted() || (next && *next <= now);
  auto* virtualClock = clk->isVirtual() ? dynamic_cast<VirtualClock*>(clk.get()) : nullptr;

  if (!virtualClock) {
    int timeoutMs = 0;
    if (!immediate) {
      if (forever && !next) {
        timeoutMs = -1;
      } else {
        double until = next ? std::min(*next, deadline) : deadline;
        timeoutMs = toMillis(until - now);
      }
    }
    pollFor(pfds, timeoutMs);
  } else {
    auto anyReady = [&] {
      for (std::size_t i = 1; i < pfds.size(); ++i)
        if (pfds[i].revents) return true;
      return hasPosted();
    };
    pollFor(pfds, 0);
    if (holdFor) {
      if (!immediate && !anyReady()) pollFor(pfds, toMillis(*holdFor));
    } else if (!immediate && !anyReady()) {
      std::optional<double> target;
      if (next && *next <= deadline)
        target = next;
      else if (!forever)
        target = deadline;
      if (!target) {
        // Nothing on the virtual clock can happen: only the outside can bring work.
        pollFor(pfds, -1);
      } else if (*target > now) {
        if (RunLoop::outsideWorkHoldsTime()) {
          // The clock stands; the next pass looks again.
          pollFor(pfds, toMillis(OutsideWorkPollSlice));
        } else {
          if (awaitingPeer) pollFor(pfds, toMillis(VirtualIdleRealPoll));
          if (!anyReady()) virtualClock->advanceTo(*target);
        }
      }
    }
  }

  if (pfds[0].revents) drainWake();
  bool ran = runPosted();
  ran = dispatchFds(polled, pfds) || ran;
  ran = fireDue(mode, clk->now()) || ran;
  return ran;
}

bool RunLoopImpl::runOnce(double maxWait, std::string_view mode) {
  checkRunMode(mode);
  Running running(*this);
  double wait = std::isnan(maxWait) ? 0.0 : std::max(maxWait, 0.0);
  return pass(mode, now() + wait);
}

bool RunLoopImpl::runOnceHoldingClock(double realSeconds, std::string_view mode) {
  checkRunMode(mode);
  Running running(*this);
  double wait = std::isnan(realSeconds) ? 0.0 : std::max(realSeconds, 0.0);
  if (clock()->isVirtual()) return pass(mode, now(), wait);
  return pass(mode, now() + wait);
}

void RunLoopImpl::run() {
  Running running(*this);
  do {
    pass(DefaultRunLoopMode, HUGE_VAL);
  } while (!stopRequested_.exchange(false));
}

void RunLoopImpl::stop() {
  stopRequested_.store(true);
  wakeUp();
}

void RunLoopImpl::runFor(double seconds, std::string_view mode) {
  checkRunMode(mode);
  Running running(*this);
  double deadline = now() + (std::isnan(seconds) ? 0.0 : std::max(seconds, 0.0));
  for (;;) {
    bool ran = pass(mode, deadline);
    if (stopRequested_.exchange(false)) return;
    if (!ran && now() >= deadline) return;
  }
}

bool RunLoopImpl::runUntil(const std::function<bool()>& pred, double timeout, std::string_view mode) {
  checkRunMode(mode);
  Running running(*this);
  if (pred()) return true;
  double deadline = now() + (std::isnan(timeout) ? 0.0 : std::max(timeout, 0.0));
  for (;;) {
    bool ran = pass(mode, deadline);
    if (pred()) return true;
    if (stopRequested_.exchange(false)) return false;
    if (!ran && now() >= deadline) return false;
  }
}

void RunLoopImpl::discardAll() {
  std::map<TimerKey, std::shared_ptr<TimerImpl>> timers;
  std::map<SourceId, std::shared_ptr<FdSource>> sources;
  std::deque<Posted> posted;
  timers.swap(timers_);
  sources.swap(sources_);
  {
    platform::MutexLock lock(postMutex_);
    posted.swap(posted_);
  }
  stopRequested_.store(false);
  drainWake();
  // Unhook everything before any captured state is destroyed: destructors may call back in.
  for (auto& [key, t] : timers) {
    t->loop_ = nullptr;
    t->valid_.store(false);
  }
  for (auto& [id, s] : sources) s->removed = true;
  for (auto& [key, t] : timers) t->fn_.reset();
}

}  // namespace

RunLoop::OutsideWork::OutsideWork() : id_(outsideWorkBook().open()) {}

RunLoop::OutsideWork::~OutsideWork() { outsideWorkBook().close(id_); }

bool RunLoop::outsideWorkHoldsTime() {
  auto& book = outsideWorkBook();
  platform::MutexLock lock(book.mutex);
  if (book.started.empty()) return false;
  auto youngest = book.started.rbegin()->second;  // ids grow with time
  return std::chrono::steady_clock::now() - youngest < std::chrono::duration<double>(OutsideWorkHold);
}

std::int64_t RunLoop::clockRecordWholeSeconds() const {
  return static_cast<std::int64_t>(std::floor(clock()->recordNow()));
}

RunLoop& RunLoop::main() {
  // Never destroyed: other threads may post to it while the process exits.
  static RunLoop* loop = new RunLoopImpl(false);
  return *loop;
}

std::unique_ptr<RunLoop> RunLoop::create() { return std::make_unique<RunLoopImpl>(true); }

}  // namespace platform
