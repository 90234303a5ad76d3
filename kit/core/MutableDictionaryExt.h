#pragma once
#include <string_view>

#include "platform/foundation/Dictionary.h"

namespace kavro::dict {

// Stores value only when there is one (a null value leaves the dictionary as it was).
inline void setObjectEx(platform::MutableDictionary& d, const platform::Value& value, std::string_view key) {
  if (!value.isNull()) d.setObject(value, key);
}

}  // namespace kavro::dict
