#include "platform/location/LocationManager.h"

#include <algorithm>
#include <vector>

#include "platform/foundation/Mutex.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

namespace {

struct DeviceState {
  platform::Mutex mutex;
  bool servicesEnabled GUARDED_BY(mutex) = true;
  AuthorizationStatus status GUARDED_BY(mutex) = AuthorizationStatus::Authorized;
  std::optional<Location> current GUARDED_BY(mutex);
  std::vector<std::weak_ptr<LocationManager>> managers GUARDED_BY(mutex);
};

DeviceState& device() {
  static DeviceState* state = new DeviceState();
  return *state;
}

bool useRefused(bool enabled, AuthorizationStatus status) {
  return !enabled || status == AuthorizationStatus::Restricted || status == AuthorizationStatus::Denied;
}

Error deniedError() {
  return Error{std::string(LocationErrorDomain), LocationErrorDenied,
               "The use of location services was refused.", nullptr, nullptr};
}

// The live managers, pruned of the dead ones.
std::vector<std::shared_ptr<LocationManager>> liveManagers() {
  auto& d = device();
  platform::MutexLock lock(d.mutex);
  std::vector<std::shared_ptr<LocationManager>> live;
  std::erase_if(d.managers, [&](const std::weak_ptr<LocationManager>& weak) {
    auto m = weak.lock();
    if (!m) return true;
    live.push_back(std::move(m));
    return false;
  });
  return live;
}

}  // namespace

std::shared_ptr<LocationManager> LocationManager::create() {
  auto manager = std::make_shared<LocationManager>(Token{});
  auto& d = device();
  platform::MutexLock lock(d.mutex);
  d.managers.push_back(manager);
  return manager;
}

LocationManager::~LocationManager() = default;

bool LocationManager::locationServicesEnabled() {
  auto& d = device();
  platform::MutexLock lock(d.mutex);
  return d.servicesEnabled;
}

AuthorizationStatus LocationManager::authorizationStatus() {
  auto& d = device();
  platform::MutexLock lock(d.mutex);
  return d.status;
}

void LocationManager::startUpdatingLocation() {
  if (updating_) return;
  updating_ = true;
  ++session_;
  bool refused;
  std::optional<Location> current;
  {
    auto& d = device();
    platform::MutexLock lock(d.mutex);
    refused = useRefused(d.servicesEnabled, d.status);
    current = d.current;
  }
  if (refused) {
    deliverError(deniedError());
  } else if (current) {
    // The device is still where it was put and fixes there afresh.
    deliverLocation(*current, true);
  }
}

void LocationManager::stopUpdatingLocation() {
  if (!updating_) return;
  updating_ = false;
  ++session_;
}

void LocationManager::post(std::function<void(LocationManager&)> report) {
  std::weak_ptr<LocationManager> weak = weak_from_this();
  std::uint64_t session = session_;
  RunLoop::main().performOnMain([weak, session, report = std::move(report)] {
    auto self = weak.lock();
    if (!self || !self->updating_ || self->session_ != session) return;
    report(*self);
  });
}

void LocationManager::deliverLocation(const Location& fix, bool fresh) {
  post([fix, fresh](LocationManager& self) {
    std::optional<Location> old = self.location_;
    self.location_ = fix;
    if (fresh) self.location_->timestamp = std::max(fix.timestamp, RunLoop::main().now());
    if (auto delegate = self.delegate_.lock())
      delegate->locationManagerDidUpdateToLocation(self, *self.location_, old);
  });
}

void LocationManager::deliverError(const Error& error) {
  post([error](LocationManager& self) {
    if (auto delegate = self.delegate_.lock()) delegate->locationManagerDidFailWithError(self, error);
  });
}

void LocationManager::deliverAuthorization(AuthorizationStatus status) {
  // Told whether updating or not.
  std::weak_ptr<LocationManager> weak = weak_from_this();
  RunLoop::main().performOnMain([weak, status] {
    auto self = weak.lock();
    if (!self) return;
    if (auto delegate = self->delegate_.lock())
      delegate->locationManagerDidChangeAuthorizationStatus(*self, status);
  });
}

void LocationDevice::setLocationServicesEnabled(bool enabled) {
  bool nowRefused;
  {
    auto& d = device();
    platform::MutexLock lock(d.mutex);
    bool wasRefused = useRefused(d.servicesEnabled, d.status);
    d.servicesEnabled = enabled;
    nowRefused = useRefused(d.servicesEnabled, d.status) && !wasRefused;
  }
  if (!nowRefused) return;
  for (auto& m : liveManagers())
    if (m->updating_) m->deliverError(deniedError());
}

void LocationDevice::setAuthorizationStatus(AuthorizationStatus status) {
  bool changed;
  bool nowRefused;
  {
    auto& d = device();
    platform::MutexLock lock(d.mutex);
    changed = d.status != status;
    bool wasRefused = useRefused(d.servicesEnabled, d.status);
    d.status = status;
    nowRefused = useRefused(d.servicesEnabled, d.status) && !wasRefused;
  }
  if (!changed) return;
  for (auto& m : liveManagers()) {
    m->deliverAuthorization(status);
    if (nowRefused && m->updating_) m->deliverError(deniedError());
  }
}

void LocationDevice::setCurrentLocation(const Location& fix) {
  {
    auto& d = device();
    platform::MutexLock lock(d.mutex);
    d.current = fix;
    if (useRefused(d.servicesEnabled, d.status)) return;
  }
  for (auto& m : liveManagers())
    if (m->updating_) m->deliverLocation(fix);
}

void LocationDevice::clearCurrentLocation() {
  auto& d = device();
  platform::MutexLock lock(d.mutex);
  d.current.reset();
}

std::optional<Location> LocationDevice::currentLocation() {
  auto& d = device();
  platform::MutexLock lock(d.mutex);
  return d.current;
}

void LocationDevice::failWithError(const Error& error) {
  for (auto& m : liveManagers())
    if (m->updating_) m->deliverError(error);
}

void LocationDevice::reset() {
  auto& d = device();
  platform::MutexLock lock(d.mutex);
  d.servicesEnabled = true;
  d.status = AuthorizationStatus::Authorized;
  d.current.reset();
}

}  // namespace platform
