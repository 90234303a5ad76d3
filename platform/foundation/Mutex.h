#pragma once
// Locks the compiler can check: std::mutex carries no annotations in the standard library, so
// every lock in the tree is one of these, held through a MutexLock.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/foundation/ThreadAnnotations.h"

namespace platform {

class ConditionVariable;

// Std is std::mutex, std::recursive_mutex (taken again by the thread that holds it) or
// std::timed_mutex (waits for the lock at most a given time). The analysis does not count the
// depth of a recursive lock: a function that may be called with it held takes it itself and is
// not marked REQUIRES.
template <typename Std>
class CAPABILITY("mutex") BasicMutex {
 public:
  BasicMutex() = default;
  BasicMutex(const BasicMutex&) = delete;
  BasicMutex& operator=(const BasicMutex&) = delete;

  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }
  bool tryLock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }
  bool tryLockFor(std::chrono::milliseconds timeout) TRY_ACQUIRE(true) {
    return mutex_.try_lock_for(timeout);
  }

 private:
  friend class ConditionVariable;
  Std mutex_;
};

using Mutex = BasicMutex<std::mutex>;
using RecursiveMutex = BasicMutex<std::recursive_mutex>;
using TimedMutex = BasicMutex<std::timed_mutex>;

// Holds M from construction to destruction; unlock() and lock() let go and take it again in
// between.
template <typename M>
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(M& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  // Takes over a lock the caller already holds (after a successful tryLock).
  MutexLock(M& mutex, std::adopt_lock_t) REQUIRES(mutex) : mutex_(mutex) {}
  ~MutexLock() RELEASE() {
    if (held_) mutex_.unlock();
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  void unlock() RELEASE() {
    mutex_.unlock();
    held_ = false;
  }
  void lock() ACQUIRE() {
    mutex_.lock();
    held_ = true;
  }

 private:
  M& mutex_;
  bool held_ = true;
};

// A condition variable over a Mutex the caller holds. Waits may wake without a notification:
// callers test their condition in a loop.
class ConditionVariable {
 public:
  void notifyOne() { cv_.notify_one(); }
  void notifyAll() { cv_.notify_all(); }

  void wait(Mutex& mutex) REQUIRES(mutex) {
    std::unique_lock<std::mutex> held(mutex.mutex_, std::adopt_lock);
    cv_.wait(held);
    held.release();
  }
  // false when the time ran out.
  template <typename Rep, typename Period>
  bool waitFor(Mutex& mutex, std::chrono::duration<Rep, Period> timeout) REQUIRES(mutex) {
    std::unique_lock<std::mutex> held(mutex.mutex_, std::adopt_lock);
    const bool notified = cv_.wait_for(held, timeout) == std::cv_status::no_timeout;
    held.release();
    return notified;
  }
  template <typename ClockType, typename Duration>
  bool waitUntil(Mutex& mutex, std::chrono::time_point<ClockType, Duration> deadline) REQUIRES(mutex) {
    std::unique_lock<std::mutex> held(mutex.mutex_, std::adopt_lock);
    const bool notified = cv_.wait_until(held, deadline) == std::cv_status::no_timeout;
    held.release();
    return notified;
  }

 private:
  std::condition_variable cv_;
};

}  // namespace platform
