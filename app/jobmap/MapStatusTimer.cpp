#include "app/jobmap/MapStatusTimer.h"

#include "platform/foundation/Mutex.h"
#include "platform/foundation/NotificationCenter.h"

namespace kavro {

namespace {
platform::Mutex& instanceLock() {
  static platform::Mutex m;
  return m;
}
std::unique_ptr<MapStatusTimer>& instance() REQUIRES(instanceLock()) {
  static std::unique_ptr<MapStatusTimer> timer;
  return timer;
}
}  // namespace

MapStatusTimer& MapStatusTimer::sharedMapStatusTimer() {
  platform::MutexLock guard(instanceLock());
  if (!instance()) instance() = std::make_unique<MapStatusTimer>();
  return *instance();
}

void MapStatusTimer::destroyMapStatusTimer() {
  platform::MutexLock guard(instanceLock());
  if (instance()) instance()->timerInvalidate();
  instance().reset();
}

void MapStatusTimer::scheduledTimer(double interval) {
  // The timer outlives nothing it calls: the shared instance is the only target, and destroying
  // it invalidates the timer.
  mapTimer_ = platform::RunLoop::main().scheduleTimer(interval, false,
                                                      [this](platform::Timer&) { startMapStatus(); });
}

void MapStatusTimer::timerInvalidate() {
  if (mapTimer_) mapTimer_->invalidate();
}

void MapStatusTimer::startMapStatus() {
  platform::NotificationCenter::defaultCenter().post(MapStatusNotification);
}

}  // namespace kavro
