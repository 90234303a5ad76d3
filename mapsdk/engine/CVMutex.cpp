#include "mapsdk/engine/CVMutex.h"

#include <chrono>

namespace gmengine {

int CVMutex::Lock(int timeoutMs) {
  if (timeoutMs < 0) {
    mutex_.lock();
    return 1;
  }
  return mutex_.try_lock_for(std::chrono::milliseconds(timeoutMs)) ? 1 : 0;
}

}  // namespace gmengine
