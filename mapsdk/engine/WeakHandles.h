#pragma once
#include <memory>

namespace gmengine {

// Gives out weak handles on its owner that empty when the owner is destroyed, for users on the
// thread that destroys it (the main thread, for the parts of the engine core).
template <class T>
class WeakHandles {
 public:
  explicit WeakHandles(T* owner) : owner_(owner) {}
  WeakHandles(const WeakHandles&) = delete;
  WeakHandles& operator=(const WeakHandles&) = delete;

  std::weak_ptr<T> Get() const { return std::shared_ptr<T>(lifetime_, owner_); }

 private:
  T* owner_;
  std::shared_ptr<const char> lifetime_ = std::make_shared<const char>();
};

}  // namespace gmengine
