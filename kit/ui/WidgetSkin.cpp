#include "kit/ui/WidgetSkin.h"

#include "kit/skin/AppSkin.h"

namespace kavro::widgetskin {
namespace {
Hooks& hooks() {
  static Hooks h;
  return h;
}
}  // namespace

void setHooks(Hooks h) { hooks() = std::move(h); }
void resetHooks() { hooks() = Hooks{}; }

bool apply(platform::View* view, std::string_view type, std::string_view group) {
  if (!view) return false;
  if (hooks().apply) return hooks().apply(*view, type, group);
  return AppSkin::apply(view, type, group);
}

bool applyKey(platform::View* view, std::string_view key) {
  if (!view) return false;
  if (hooks().applyKey) return hooks().applyKey(*view, key);
  return AppSkin::applyWithSkinKey(view, key);
}

std::shared_ptr<platform::Image> image(std::string_view type, std::string_view group) {
  if (hooks().image) return hooks().image(type, group);
  return AppSkin::imageWithSkinType(type, group);
}

}  // namespace kavro::widgetskin
