#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

namespace kavro::data {

// Two lower-case hex digits per byte.
std::string toHex(const platform::Data& d);
// Nothing for "", an odd length or a pair without a hex digit.
std::optional<platform::Data> fromHex(std::string_view s);

}  // namespace kavro::data
