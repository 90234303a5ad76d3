#pragma once
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"

namespace kavro::str {

void setUnkownErrorDescription(std::string_view text);
const std::string& getUnkownErrorDescription();
// The error's text for the user: its localised description, else its plain description, else the
// unknown-error text.
std::string fromError(const platform::Error* error);

}  // namespace kavro::str
