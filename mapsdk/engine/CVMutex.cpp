#include "mapsdk/engine/CVMutex.h"

#include <chrono>

namespace gmengine {

int CVMutex::Lock(int timeoutMs) {
  if (timeoutMs < 0) {
    lock();
    return 1;
  }
  return tryLockFor(std::chrono::milliseconds(timeoutMs)) ? 1 : 0;
}

}  // namespace gmengine
