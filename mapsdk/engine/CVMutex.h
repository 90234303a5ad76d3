#pragma once
#include "mapsdk/engine/CVString.h"
#include "platform/foundation/Mutex.h"

namespace gmengine {

// The engine's lock (not recursive): a platform lock with the engine's calls, so that
// platform::MutexLock holds it too. Any thread.
class CAPABILITY("mutex") CVMutex : public platform::TimedMutex {
 public:
  CVMutex() = default;

  // The name is not used: the engine's locks are private to the process. Answers 1.
  int Create(const CVString& name = CVString()) {
    (void)name;
    return 1;
  }
  // Waits at most timeoutMs milliseconds (negative: without limit) for the lock; 1 when taken,
  // 0 on time-out.
  int Lock(int timeoutMs = -1) TRY_ACQUIRE(1);
  void Unlock() RELEASE() { unlock(); }
};

}  // namespace gmengine
