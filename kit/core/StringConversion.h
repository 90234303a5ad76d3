#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/graphics/Color.h"

namespace kavro::str {

// "yyyy-MM-dd HH:mm:ss zzz" in the device's locale and time zone, and back.
std::string stringFromDate(platform::Date date);
std::optional<platform::Date> toDate(std::string_view s);

// "#rrggbb", with a trailing transparency byte (255 - alpha) when the colour is not opaque; nothing
// for a model other than grey or RGB.
std::optional<std::string> fromColor(const std::optional<platform::Color>& color);
platform::Color toColor(std::string_view s);
// Named colours, "#rgb", "#rgbt", "#rrggbb", "#rrggbbtt" or "0x..."; anything else gives def.
platform::Color toColorWithDefaultColor(std::string_view s, const platform::Color& def);

// Local time now as "yyyy-mm-dd hh:mm:ss", or in the given Unicode date pattern.
std::string currentDateByFormat();
std::string currentDateByFormat(std::string_view pattern);

inline platform::Data toUtf8Data(std::string_view s) { return platform::dataFromString(s); }

}  // namespace kavro::str
