#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>

namespace platform {

// Where time comes from: the real clock in the program, a virtual one in tests.
// now() is seconds since 1970 as a double. Any thread may read a clock.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() const = 0;
  virtual bool isVirtual() const { return false; }
  // The time that dates what outlives the process (a stored row): now(), but never after the real
  // clock's. A virtual clock runs ahead of the real one as its program skips the time it would have
  // waited; a row dated by it would look, to the next process (on the real time again), as left by
  // a clock set back, and be cleaned away.
  double recordNow() const;
  // The wall clock, shared by everybody.
  static std::shared_ptr<Clock> real();
  // What real()->now() answers, without touching the shared pointer.
  static double realNow();
  // Whole seconds of the wall clock from the kernel's coarse time: a few nanoseconds, but up to a
  // clock tick (a few ms) behind realNow() just after a second turns.
  static std::int64_t realWholeSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }
};

// Time that moves only when a test (or the run loop running on it) advances it. Thread-safe.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(double start = 1'700'000'000.0) : now_(start) {}
  double now() const override { return now_.load(); }
  bool isVirtual() const override { return true; }
  void advance(double seconds) { now_.fetch_add(seconds); }
  void set(double t) { now_.store(t); }
  // Moves to t unless the clock is already past it; time never goes back this way.
  void advanceTo(double t) {
    double cur = now_.load();
    while (cur < t && !now_.compare_exchange_weak(cur, t)) {
    }
  }

 private:
  std::atomic<double> now_;
};

}  // namespace platform
