#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/Clock.h"

namespace platform {

inline constexpr std::string_view DefaultRunLoopMode = "kDefaultRunLoopMode";
inline constexpr std::string_view CommonRunLoopModes = "kCommonRunLoopModes";

class RunLoop;

// A one-shot or repeating timer. Holding the pointer does not keep it scheduled: invalidate() does
// the unscheduling, and an invalidated timer never fires again.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void invalidate() = 0;
  virtual bool isValid() const = 0;
  virtual double fireDate() const = 0;
  virtual double interval() const = 0;
};

// The main thread's event loop: file-descriptor sources, timers, delayed performs and work posted
// from other threads. Everything but performOnMain() and wakeUp() is for the thread that runs it.
class RunLoop {
 public:
  enum FdEvents : unsigned { Readable = 1, Writable = 2 };
  using SourceId = std::uint64_t;

  // The process's main run loop; the first thread to ask owns it.
  static RunLoop& main();
  virtual ~RunLoop() = default;

  // Tests install a VirtualClock; timers and performs then run on virtual time.
  virtual void setClock(std::shared_ptr<Clock> clock) = 0;
  virtual std::shared_ptr<Clock> clock() const = 0;
  double now() const { return clock()->now(); }

  // fn runs on this loop after interval seconds (and every interval seconds when repeating)
  // while the loop runs in one of the timer's modes (CommonRunLoopModes: every mode).
  virtual std::shared_ptr<Timer> scheduleTimer(double interval, bool repeats, std::function<void(Timer&)> fn,
                                               std::string_view mode = CommonRunLoopModes) = 0;

  // A delayed perform, cancellable by its target (any address that identifies the caller).
  virtual void performAfter(double delay, const void* target, std::function<void()> fn) = 0;
  virtual void cancelPerforms(const void* target) = 0;

  // From any thread: fn runs on this loop's thread, in posting order, soon.
  virtual void performOnMain(std::function<void()> fn) = 0;

  // Watch a file descriptor; fn receives the ready events. Modes as for timers.
  virtual SourceId addFdSource(int fd, unsigned events, std::function<void(unsigned readyEvents)> fn,
                               std::string_view mode = CommonRunLoopModes) = 0;
  virtual void updateFdSource(SourceId id, unsigned events) = 0;
  virtual void removeFdSource(SourceId id) = 0;

  // Runs one pass in mode: waits at most maxWait seconds (real time, or virtual time advanced to the
  // next timer on a virtual clock) for something to do, then does all that is due. True when
  // anything ran.
  virtual bool runOnce(double maxWait, std::string_view mode = DefaultRunLoopMode) = 0;
  // Runs until stop().
  virtual void run() = 0;
  virtual void stop() = 0;
  // Runs for the given seconds of the loop's clock, firing what falls due.
  virtual void runFor(double seconds, std::string_view mode = DefaultRunLoopMode) = 0;
  // Runs until pred() holds or timeout seconds of the loop's clock have passed; answers pred().
  virtual bool runUntil(const std::function<bool()>& pred, double timeout,
                        std::string_view mode = DefaultRunLoopMode) = 0;
  // Wakes the loop if it is waiting; any thread.
  virtual void wakeUp() = 0;
  // True on the loop's own thread.
  virtual bool isCurrentThread() const = 0;

  // A fresh loop (tests that want isolation; main() is the one the application uses).
  static std::unique_ptr<RunLoop> create();
};

}  // namespace platform
