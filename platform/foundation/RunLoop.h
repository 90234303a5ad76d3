#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/Clock.h"

namespace platform {

inline constexpr std::string_view DefaultRunLoopMode = "kDefaultRunLoopMode";
// Not a mode to run in: timers and sources registered for it run in every mode.
inline constexpr std::string_view CommonRunLoopModes = "kCommonRunLoopModes";

class RunLoop;

// A one-shot or repeating timer. Holding the pointer does not keep it scheduled: invalidate() does
// the unscheduling, and an invalidated timer never fires again. For the loop's thread; isValid()
// may be asked from anywhere.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void invalidate() = 0;
  // True until invalidated; a one-shot timer stays valid during its callback and not after.
  virtual bool isValid() const = 0;
  // When it fires next (a repeating timer's next date already during its callback).
  virtual double fireDate() const = 0;
  // The repeat interval; 0 for a one-shot timer.
  virtual double interval() const = 0;
};

// An event loop: file-descriptor sources, timers, delayed performs and work posted from other
// threads. main() is the application's; create() makes isolated ones (tests, engine threads).
//
// Threads: everything but performOnMain(), wakeUp(), stop(), now() and isCurrentThread() is for the
// loop's own thread. main() belongs to the first thread that asks for it, for good. A loop from
// create() belongs to the thread that created it; when another thread runs it while it is not
// running, that thread becomes its thread (handing a loop to an engine thread). Running main()
// from a thread that is not its own throws std::logic_error.
//
// A pass in mode M does, in this order: the work posted with performOnMain() up to the start of the
// pass (FIFO); the callbacks of fd sources found ready; the timers and delayed performs due at the
// pass's time, by fire date and, at equal dates, in scheduling order. Only timers and sources
// registered for M or for CommonRunLoopModes take part; delayed performs belong to
// DefaultRunLoopMode; posted work runs in every mode. A callback may add or remove anything and
// may run the loop again (nested runs): an item the nested run handled, invalidated or cancelled
// is not handled again by the outer pass, and a timer or source is never re-entered while its
// own callback runs. Exceptions thrown by callbacks are caught and printed to stderr.
//
// Virtual time: when the clock is a VirtualClock nothing waits for real time to reach a timer.
// Every pass first polls the fds without waiting; if there is no posted work, no ready fd and
// nothing due, it moves the clock forward (never back) to the earliest due timer or perform of the
// mode, or to the end of the wait when that comes first, and then runs what is due. Before such a
// move, when active fd sources of the mode are registered, it polls them (and the wake-up) for real for
// up to VirtualIdleRealPoll seconds, so that a peer on a local socket can answer; whatever arrives
// is handled at the unchanged virtual time. Work posted by other threads is handled when it has
// arrived. Work announced as an OutsideWork (a request on the network thread, a connection waiting
// for its peer) holds the clock still while it is younger than OutsideWorkHold real seconds: the
// pass waits for real for its answer instead, so that on a loaded machine the answer comes before
// a time-out on the virtual clock; other work on other threads is not waited for. A wait
// with no end (run(), or 1e9 seconds and more) and nothing scheduled waits for real for an fd or
// a wake-up.
//   runOnce(w): one pass whose wait ends at now + w (the clock then stands there if idle).
//   runFor(s): passes until, at now + s, a pass has nothing to do; the clock ends at exactly
//     now + s, and timers due exactly then have fired.
//   runUntil(p, t): as runFor(t), but returns as soon as p() holds after a pass, leaving the
//     clock at the time that happened.
class RunLoop {
 public:
  enum FdEvents : unsigned { Readable = 1, Writable = 2 };
  using SourceId = std::uint64_t;

  // Real seconds a virtual-time pass polls registered fds before moving the clock.
  static constexpr double VirtualIdleRealPoll = 0.025;
  // Real seconds an announced piece of outside work holds a virtual clock still at most: long
  // enough for a loaded machine, short enough that a peer that never answers costs little.
  static constexpr double OutsideWorkHold = 5;

  // Announces, for its lifetime, work on another thread that will post its result to a loop.
  class OutsideWork {
   public:
    OutsideWork();
    ~OutsideWork();
    OutsideWork(const OutsideWork&) = delete;
    OutsideWork& operator=(const OutsideWork&) = delete;

   private:
    std::uint64_t id_;
  };
  // True while some OutsideWork younger than OutsideWorkHold exists.
  static bool outsideWorkHoldsTime();

  // The process's main run loop; the first thread to ask owns it.
  static RunLoop& main();
  // A fresh loop on the real clock (tests that want isolation, engine threads).
  static std::unique_ptr<RunLoop> create();
  virtual ~RunLoop() = default;

  // Tests install a VirtualClock; timers and performs then run on virtual time. Scheduled timers
  // and performs keep the time they had left. The clock must not be null.
  virtual void setClock(std::shared_ptr<Clock> clock) = 0;
  virtual std::shared_ptr<Clock> clock() const = 0;
  // clock()->now(), cheaper on the real clock (read by every store write).
  virtual double now() const { return clock()->now(); }
  // The clock's recordNow() in whole seconds, the time that dates stored records: never after the
  // real clock's, however far a virtual clock has run ahead. On the real clock the coarse reading
  // (Clock::realWholeSeconds), inline for the store writes that read it.
  std::int64_t recordWholeSeconds() const {
    return realClock_.load(std::memory_order_relaxed) ? Clock::realWholeSeconds() : clockRecordWholeSeconds();
  }

  // fn runs on this loop after interval seconds (and every interval seconds when repeating, on the
  // original cadence; dates missed while the loop was busy are skipped, not caught up) while the
  // loop runs in one of the timer's modes. A repeating interval under 0.1 ms counts as 0.1 ms.
  virtual std::shared_ptr<Timer> scheduleTimer(double interval, bool repeats, std::function<void(Timer&)> fn,
                                               std::string_view mode = CommonRunLoopModes) = 0;

  // A delayed perform in the default mode, cancellable by its target (any address that identifies
  // the caller; nullptr: not cancellable).
  virtual void performAfter(double delay, const void* target, std::function<void()> fn) = 0;
  // Stops every perform of target not yet run, also those due in the pass that is running.
  virtual void cancelPerforms(const void* target) = 0;

  // From any thread: fn runs on this loop's thread, in posting order, at the next pass in any mode
  // (work posted while the loop is not running waits for the next run). Wakes the loop.
  virtual void performOnMain(std::function<void()> fn) = 0;

  // Watch a file descriptor; fn receives the ready events (a hang-up or error counts as ready for
  // what is watched). Modes as for timers. events 0 pauses the source. An fd that turns out not to
  // be open is reported on stderr and no longer polled. Removing an unknown id does nothing.
  virtual SourceId addFdSource(int fd, unsigned events, std::function<void(unsigned readyEvents)> fn,
                               std::string_view mode = CommonRunLoopModes) = 0;
  virtual void updateFdSource(SourceId id, unsigned events) = 0;
  virtual void removeFdSource(SourceId id) = 0;
  // A passive source watches for news that may never come (a change of the network's routes), not
  // for a peer's answer: a virtual-time pass polls it without waiting and does not wait for it in
  // real time before it moves the clock. Sources are active when added.
  virtual void setFdSourcePassive(SourceId id, bool passive) = 0;

  // Runs one pass in mode: waits at most maxWait seconds (real time, or virtual time advanced to the
  // next timer on a virtual clock) for something to do, then does all that is due. True when
  // anything ran. Modes must be named; CommonRunLoopModes is not one to run in.
  virtual bool runOnce(double maxWait, std::string_view mode = DefaultRunLoopMode) = 0;
  // One pass that waits at most realSeconds of real time for posted work or a ready fd of the mode
  // and never moves the clock: a virtual clock stands, a real one runs only what falls due in
  // the wait. For a caller that holds virtual time still while an answer is on its way and wants
  // it handled the moment it arrives. True when anything ran.
  virtual bool runOnceHoldingClock(double realSeconds, std::string_view mode = DefaultRunLoopMode) = 0;
  // Runs the default mode until stop().
  virtual void run() = 0;
  // Any thread: ends the innermost run(), runFor() or runUntil() after its current pass; when none
  // is running, the next one to start returns after its first pass.
  virtual void stop() = 0;
  // Runs for the given seconds of the loop's clock, firing what falls due.
  virtual void runFor(double seconds, std::string_view mode = DefaultRunLoopMode) = 0;
  // Runs until pred() holds or timeout seconds of the loop's clock have passed; answers pred().
  // pred() is asked before the first pass and after every pass.
  virtual bool runUntil(const std::function<bool()>& pred, double timeout,
                        std::string_view mode = DefaultRunLoopMode) = 0;
  // Wakes the loop if it is waiting; any thread.
  virtual void wakeUp() = 0;
  // True on the loop's own thread.
  virtual bool isCurrentThread() const = 0;

  // Drops every timer (invalidated), delayed perform, fd source and posted work without running
  // them, and forgets a pending stop(). For test fixtures between tests.
  virtual void discardAll() = 0;

 protected:
  // The loop's clock is the real one: the time is read without asking the clock.
  std::atomic<bool> realClock_{false};

 private:
  std::int64_t clockRecordWholeSeconds() const;
};

}  // namespace platform
