#include "kit/ui/WidgetSkin.h"

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
  if (!view || !hooks().apply) return false;
  return hooks().apply(*view, type, group);
}

bool applyKey(platform::View* view, std::string_view key) {
  if (!view || !hooks().applyKey) return false;
  return hooks().applyKey(*view, key);
}

std::shared_ptr<platform::Image> image(std::string_view type, std::string_view group) {
  if (!hooks().image) return nullptr;
  return hooks().image(type, group);
}

}  // namespace kavro::widgetskin
