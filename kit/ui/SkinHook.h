#pragma once
#include <functional>
#include <memory>
#include <string_view>

#include "platform/foundation/Object.h"
#include "platform/graphics/Image.h"

// Where the views of this folder ask the skin engine for their look: apply a skin type and group
// to a control, and a skinned image. The application installs the engine's functions at start-up;
// until then every request answers "no skin" (false, null) and leaves the control as it was.
namespace kavro::skinhook {

using ApplyFunction =
    std::function<bool(platform::Object& control, std::string_view type, std::string_view group)>;
using ImageFunction =
    std::function<std::shared_ptr<platform::Image>(std::string_view type, std::string_view group)>;

// Empty functions remove the hook.
void setApply(ApplyFunction f);
void setImage(ImageFunction f);

// "" for a type or group means none.
bool apply(platform::Object* control, std::string_view type = "", std::string_view group = "");
std::shared_ptr<platform::Image> imageWithSkinType(std::string_view type, std::string_view group = "");

}  // namespace kavro::skinhook
