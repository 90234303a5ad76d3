#include "platform/foundation/NotificationCenter.h"

#include <atomic>
#include <stdexcept>
#include <vector>

#include "platform/foundation/Mutex.h"

namespace platform {

// Observer is nested rather than file-local: a unity build refuses a file-local type as a field of
// Impl, which has linkage.
struct NotificationCenter::Impl {
  struct Observer {
    Token token;
    std::string name;
    const void* object;
    const void* owner;
    std::function<void(const Notification&)> fn;
    std::atomic<bool> live{true};
  };

  platform::Mutex mutex;
  std::vector<std::shared_ptr<Observer>> observers GUARDED_BY(mutex);  // in registration order
  Token nextToken GUARDED_BY(mutex) = 1;

  // Takes out every observer that matches; they are destroyed by the caller, outside the lock,
  // since their callbacks' captures may call back into the centre.
  template <class Match>
  std::vector<std::shared_ptr<Observer>> extract(Match&& match) {
    std::vector<std::shared_ptr<Observer>> out;
    platform::MutexLock lock(mutex);
    std::erase_if(observers, [&](std::shared_ptr<Observer>& o) {
      if (!match(*o)) return false;
      o->live.store(false);
      out.push_back(std::move(o));
      return true;
    });
    return out;
  }
};

NotificationCenter::NotificationCenter() : impl_(std::make_unique<Impl>()) {}
NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
  // Never destroyed: observers may be removed by static destructors in any order.
  static NotificationCenter* center = new NotificationCenter();
  return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string_view name, const void* object,
                                                          std::function<void(const Notification&)> fn,
                                                          const void* owner) {
  if (!fn) throw std::invalid_argument("NotificationCenter: empty observer");
  auto o = std::make_shared<Impl::Observer>();
  o->name = std::string(name);
  o->object = object;
  o->owner = owner;
  o->fn = std::move(fn);
  platform::MutexLock lock(impl_->mutex);
  o->token = impl_->nextToken++;
  impl_->observers.push_back(std::move(o));
  return impl_->observers.back()->token;
}

void NotificationCenter::removeObserver(Token token) {
  auto removed = impl_->extract([&](const Impl::Observer& o) { return o.token == token; });
}

void NotificationCenter::removeObserversOwnedBy(const void* owner) {
  if (!owner) return;
  auto removed = impl_->extract([&](const Impl::Observer& o) { return o.owner == owner; });
}

void NotificationCenter::post(std::string_view name, const void* object,
                              std::shared_ptr<const Dictionary> userInfo) {
  if (name.empty()) throw std::invalid_argument("NotificationCenter: posting a notification without a name");
  std::vector<std::shared_ptr<Impl::Observer>> matching;
  {
    platform::MutexLock lock(impl_->mutex);
    for (auto& o : impl_->observers)
      if ((o->name.empty() || o->name == name) && (!o->object || o->object == object)) matching.push_back(o);
  }
  Notification n{std::string(name), object, std::move(userInfo)};
  for (auto& o : matching)
    if (o->live.load()) o->fn(n);
}

}  // namespace platform
