#pragma once
#include <mutex>

#include "mapsdk/engine/CVString.h"
#include "platform/foundation/ThreadAnnotations.h"

namespace gmengine {

// The engine's lock (not recursive). Any thread.
class CAPABILITY("mutex") CVMutex {
 public:
  CVMutex() = default;
  CVMutex(const CVMutex&) = delete;
  CVMutex& operator=(const CVMutex&) = delete;

  // The name is not used: the engine's locks are private to the process. Answers 1.
  int Create(const CVString& name = CVString()) {
    (void)name;
    return 1;
  }
  // Waits at most timeoutMs milliseconds (negative: without limit) for the lock; 1 when taken,
  // 0 on time-out.
  int Lock(int timeoutMs = -1) TRY_ACQUIRE(1);
  void Unlock() RELEASE() { mutex_.unlock(); }

 private:
  std::timed_mutex mutex_;
};

}  // namespace gmengine
