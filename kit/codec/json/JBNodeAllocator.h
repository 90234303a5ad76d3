#pragma once
#include <cstdint>
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

// Ahead of touching a container's node: fetch the lines a reader or the destructor reads first.
// The addresses are made as integers: a hint needs no pointer into the object, and may reach past
// the end of a small one.
inline void prefetchNode(const void* node) {
  if (!node) return;
  const auto at = reinterpret_cast<std::uintptr_t>(node);
  __builtin_prefetch(reinterpret_cast<const void*>(at), 1);
  __builtin_prefetch(reinterpret_cast<const void*>(at + 64), 1);
  __builtin_prefetch(reinterpret_cast<const void*>(at + 128), 1);
}

}  // namespace kavro
