#include "app/shell/PushUnit.h"

#include <memory>

#include "platform/foundation/Mutex.h"

namespace kavro {

namespace {
platform::Mutex instanceMutex;
std::unique_ptr<PushUnit> instance GUARDED_BY(instanceMutex);
}  // namespace

PushUnit& PushUnit::sharedPushUnit() {
  platform::MutexLock lock(instanceMutex);
  if (!instance) instance = std::make_unique<PushUnit>();
  return *instance;
}

void PushUnit::destroySharedPushUnit() {
  std::unique_ptr<PushUnit> gone;
  platform::MutexLock lock(instanceMutex);
  gone = std::move(instance);
}

}  // namespace kavro
