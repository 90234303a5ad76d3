#pragma once
#include <functional>
#include <memory>
#include <string_view>

#include "platform/graphics/Image.h"
#include "platform/ui/View.h"

// The widgets reach the skin engine (AppSkin) through these calls; tests may put hooks in its
// place. An empty type or group stands for nil (the default look of the control's class).
namespace kavro::widgetskin {

struct Hooks {
  std::function<bool(platform::View& view, std::string_view type, std::string_view group)> apply;
  std::function<bool(platform::View& view, std::string_view key)> applyKey;
  std::function<std::shared_ptr<platform::Image>(std::string_view type, std::string_view group)> image;
};

void setHooks(Hooks hooks);
void resetHooks();

// False for a null view or when the engine refuses.
bool apply(platform::View* view, std::string_view type, std::string_view group);
bool applyKey(platform::View* view, std::string_view key);
// Null when absent.
std::shared_ptr<platform::Image> image(std::string_view type, std::string_view group);

}  // namespace kavro::widgetskin
