#include "mapsdk/display/LocationSources.h"

#include <algorithm>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

namespace mapsdk {

namespace {

platform::Mutex instanceMutex;
std::shared_ptr<IphoneGPSMan> instance GUARDED_BY(instanceMutex);

constexpr double kMaxFixAge = 1.0;  // seconds

}  // namespace

std::shared_ptr<IphoneGPSMan> IphoneGPSMan::getInstance() {
  platform::MutexLock lock(instanceMutex);
  if (!instance) instance = std::make_shared<IphoneGPSMan>();
  return instance;
}

int IphoneGPSMan::destroyInstance() {
  std::shared_ptr<IphoneGPSMan> gone;
  {
    platform::MutexLock lock(instanceMutex);
    gone.swap(instance);
  }
  if (gone) gone->unInitialize();
  return 0;
}

int IphoneGPSMan::initialize() {
  {
    platform::MutexLock lock(mutex_);
    gotLocation_ = false;
  }
  manager_ = platform::LocationManager::create();
  manager_->setDelegate(weak_from_this());
  manager_->setDesiredAccuracy(platform::LocationManager::AccuracyBest);
  startUpdatingLocation();
  observers_.clear();
  return 1;
}

int IphoneGPSMan::unInitialize() {
  if (manager_) manager_->stopUpdatingLocation();
  stopUpdatingHeading();
  manager_.reset();
  {
    platform::MutexLock lock(mutex_);
    best_.reset();
  }
  observers_.clear();
  return 1;
}

int IphoneGPSMan::getLastLocation(GpsFix& fix) const {
  fix = GpsFix();
  platform::MutexLock lock(mutex_);
  if (!gotLocation_ || !best_) return 1;
  fix.state = FixState::Fix;
  fix.longitude = static_cast<float>(best_->longitude);
  fix.latitude = static_cast<float>(best_->latitude);
  fix.accuracy = std::min(static_cast<float>(best_->horizontalAccuracy), kMaxFixAccuracy);
  // The receiver's course and speed go with the fix (0 when it does not know them).
  fix.course = best_->course >= 0 ? static_cast<float>(best_->course) : 0;
  fix.speed = best_->speed >= 0 ? static_cast<float>(best_->speed) : 0;
  fix.valid = 1;
  return 1;
}

void IphoneGPSMan::startUpdatingLocation() {
  if (!manager_) return;
  manager_->setDelegate(weak_from_this());
  manager_->startUpdatingLocation();
}

void IphoneGPSMan::stopUpdatingLocation() {
  if (manager_) {
    manager_->stopUpdatingLocation();
    manager_->setDelegate({});
  }
  {
    platform::MutexLock lock(mutex_);
    gotLocation_ = false;
    best_.reset();
  }
  platform::NotificationCenter::defaultCenter().post(NotificationLocationUpdate);
}

int IphoneGPSMan::registerHeadingObserver(const std::shared_ptr<LocationHeadingObserver>& observer) {
  if (observer) observers_.push_back(observer);
  return 0;
}

int IphoneGPSMan::removeHeadingObserver(const std::shared_ptr<LocationHeadingObserver>& observer) {
  auto it =
      std::find_if(observers_.begin(), observers_.end(),
                   [&](const std::weak_ptr<LocationHeadingObserver>& o) { return o.lock() == observer; });
  if (it == observers_.end()) return 0;
  observers_.erase(it);
  return 1;
}

void IphoneGPSMan::locationManagerDidUpdateToLocation(platform::LocationManager&,
                                                      const platform::Location& newLocation,
                                                      const std::optional<platform::Location>&) {
  if (platform::RunLoop::main().now() - newLocation.timestamp > kMaxFixAge ||
      newLocation.horizontalAccuracy < 0) {
    return;
  }
  {
    platform::MutexLock lock(mutex_);
    if (best_ && newLocation.horizontalAccuracy > kMaxFixAccuracy) return;
    best_ = newLocation;
    gotLocation_ = true;
  }
  platform::NotificationCenter::defaultCenter().post(NotificationLocationUpdate);
}

void IphoneGPSMan::locationManagerDidFailWithError(platform::LocationManager&, const platform::Error& error) {
  const bool denied =
      error.domain == platform::LocationErrorDomain && error.code == platform::LocationErrorDenied;
  if (denied) {
    // A refusal means the position may no longer be used, so the fix goes with it.
    platform::MutexLock lock(mutex_);
    gotLocation_ = false;
  }
  // Every report is passed on, as the service makes it: the map view tells its delegate each one.
  auto& center = platform::NotificationCenter::defaultCenter();
  if (denied) center.post(NotificationLocationUpdate);
  auto info = platform::MutableDictionary::create();
  info->setObject(
      platform::Value(std::static_pointer_cast<platform::Object>(std::make_shared<LocationFailure>(error))),
      "error");
  center.post(NotificationLocationFail, nullptr, info);
}

int CGPSMan::Start() {
  platform::RunLoop::main().performOnMain([] { IphoneGPSMan::getInstance()->initialize(); });
  return 1;
}

int CGPSMan::Stop() {
  platform::RunLoop::main().performOnMain([] { IphoneGPSMan::getInstance()->unInitialize(); });
  return 1;
}

GpsFix CGPSMan::GetFix() {
  GpsFix fix;
  IphoneGPSMan::getInstance()->getLastLocation(fix);
  return fix;
}

}  // namespace mapsdk
