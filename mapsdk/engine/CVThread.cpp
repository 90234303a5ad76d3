#include "mapsdk/engine/CVThread.h"

#include <system_error>

#include "platform/foundation/Mutex.h"

namespace gmengine {

CVThread::~CVThread() {
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

int CVThread::CreateThread(StartRoutine routine, void* argument) {
  if (!routine) return 0;
  platform::MutexLock lock(mutex_);
  if (thread_.joinable()) return 0;
  try {
    thread_ = std::thread(routine, argument);
  } catch (const std::system_error&) {
    return 0;
  }
  return 1;
}

void CVThread::CloseHandle() {
  platform::MutexLock lock(mutex_);
  if (thread_.joinable()) thread_.detach();
}

int CVThread::Join() {
  std::thread held;
  {
    platform::MutexLock lock(mutex_);
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) return 0;
    held = std::move(thread_);
  }
  held.join();
  return 1;
}

int CVThread::HasHandle() const {
  platform::MutexLock lock(mutex_);
  return thread_.joinable() ? 1 : 0;
}

}  // namespace gmengine
