#pragma once
#include <memory>

#include "platform/ui/TextField.h"

namespace kavro::textfield {

// A field for names and codes: no autocorrection or capitalisation, "Done", a clear button while
// editing, an ASCII keyboard, skinned as "skinTextFieldCommonInput".
std::shared_ptr<platform::TextField> initCommonInput(platform::Rect frame);
// The same with secure text entry.
std::shared_ptr<platform::TextField> initPasswordInput(platform::Rect frame);

}  // namespace kavro::textfield
