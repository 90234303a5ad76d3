#pragma once
#include <cstddef>
#include <memory>
#include <string>

namespace platform {

// Base of everything stored by reference in a Value: collections, class descriptors, images,
// application objects that ride in a record.
class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;
  virtual std::string description() const;
  // Identity by default; collections compare by content.
  virtual bool isEqual(const Object& other) const { return this == &other; }
  virtual std::size_t hash() const { return std::hash<const void*>()(this); }
};

using ObjectPtr = std::shared_ptr<Object>;

}  // namespace platform
