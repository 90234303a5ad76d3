#pragma once
#include <memory_resource>
#include <new>
#include <utility>

namespace kavro {

// The allocator the decoder's containers are made with: memory from a resource, and the only code
// besides the classes themselves that may call their private constructors.
template <class T>
class JBNodeAllocator : public std::pmr::polymorphic_allocator<T> {
 public:
  template <class U>
  struct rebind {
    using other = JBNodeAllocator<U>;
  };
  explicit JBNodeAllocator(std::pmr::memory_resource* resource) noexcept
      : std::pmr::polymorphic_allocator<T>(resource) {}
  template <class U>
  JBNodeAllocator(const JBNodeAllocator<U>& other) noexcept  // NOLINT: rebinding converts implicitly
      : std::pmr::polymorphic_allocator<T>(other.resource()) {}

  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

}  // namespace kavro
