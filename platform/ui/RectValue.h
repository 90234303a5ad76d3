#pragma once
#include <memory>
#include <optional>

#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"

namespace platform {

// A rectangle boxed as an object, so that it can ride in a Value (notification user info).
class RectValue : public Object {
 public:
  static std::shared_ptr<RectValue> create(Rect r) { return std::shared_ptr<RectValue>(new RectValue(r)); }
  const Rect& rect() const { return rect_; }
  bool isEqual(const Object& other) const override {
    auto* o = dynamic_cast<const RectValue*>(&other);
    return o && o->rect_ == rect_;
  }

  // The rectangle a value holds; empty when it holds none.
  static std::optional<Rect> rectFromValue(const Value& v) {
    if (auto r = v.as<RectValue>()) return r->rect();
    return std::nullopt;
  }

 private:
  Rect rect_;

 protected:
  explicit RectValue(Rect r) : rect_(r) {}
};

}  // namespace platform
