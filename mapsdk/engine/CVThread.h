#pragma once
#include <thread>

#include "platform/foundation/Mutex.h"

namespace gmengine {

// One of the engine's threads as a capability: what only that thread touches is guarded by it and
// needs no lock, and the functions that run there say so with claim(). Costs nothing at run time.
class CAPABILITY("thread") ThreadRole {
 public:
  void claim() const ASSERT_CAPABILITY(this) {}
};

// One engine thread handle. Any thread.
class CVThread {
 public:
  using StartRoutine = void (*)(void* argument);

  CVThread() = default;
  // A thread still held is waited for, so it never outlives what it was given.
  ~CVThread();
  CVThread(const CVThread&) = delete;
  CVThread& operator=(const CVThread&) = delete;

  // Starts routine(argument) on a new thread. 0 when this object already holds a thread (or
  // none can be made), else 1.
  int CreateThread(StartRoutine routine, void* argument);
  // Forgets the handle without waiting: the thread runs on by itself, and a new one can be made.
  void CloseHandle();
  // Waits for the thread held and forgets it; 0 when none is held or when called from that
  // thread itself.
  int Join();
  // 1 while a thread is held.
  int HasHandle() const;

 private:
  mutable platform::Mutex mutex_;
  std::thread thread_ GUARDED_BY(mutex_);
};

}  // namespace gmengine
