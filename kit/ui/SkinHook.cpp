#include "kit/ui/SkinHook.h"

namespace kavro::skinhook {

namespace {
ApplyFunction& applyFunction() {
  static ApplyFunction f;
  return f;
}
ImageFunction& imageFunction() {
  static ImageFunction f;
  return f;
}
}  // namespace

void setApply(ApplyFunction f) { applyFunction() = std::move(f); }
void setImage(ImageFunction f) { imageFunction() = std::move(f); }

bool apply(platform::Object* control, std::string_view type, std::string_view group) {
  if (!control || !applyFunction()) return false;
  return applyFunction()(*control, type, group);
}

std::shared_ptr<platform::Image> imageWithSkinType(std::string_view type, std::string_view group) {
  return imageFunction() ? imageFunction()(type, group) : nullptr;
}

}  // namespace kavro::skinhook
