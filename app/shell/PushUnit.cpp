#include "app/shell/PushUnit.h"

#include <memory>
#include <mutex>

namespace kavro {

namespace {
std::mutex instanceMutex;
std::unique_ptr<PushUnit> instance;
}  // namespace

PushUnit& PushUnit::sharedPushUnit() {
  std::lock_guard lock(instanceMutex);
  if (!instance) instance = std::make_unique<PushUnit>();
  return *instance;
}

void PushUnit::destroySharedPushUnit() {
  std::unique_ptr<PushUnit> gone;
  std::lock_guard lock(instanceMutex);
  gone = std::move(instance);
}

}  // namespace kavro
