#pragma once
#include <atomic>
#include <memory>

namespace platform {

// Where time comes from: the real clock in the program, a virtual one in tests.
// now() is seconds since 1970 as a double.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() const = 0;
  virtual bool isVirtual() const { return false; }
  static std::shared_ptr<Clock> real();
};

// Time that moves only when a test (or the run loop running on it) advances it.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(double start = 1'700'000'000.0) : now_(start) {}
  double now() const override { return now_.load(); }
  bool isVirtual() const override { return true; }
  void advance(double seconds) { now_.store(now_.load() + seconds); }
  void set(double t) { now_.store(t); }

 private:
  std::atomic<double> now_;
};

}  // namespace platform
