#pragma once
// Internal to the job search and job map screens: their texts, by key, in the user's language.
#include <string>
#include <string_view>

#include "kit/core/AppCoreInfo.h"

namespace kavro::jobtext {

inline std::string text(std::string_view key) { return AppCoreInfo::getLocalizedString(key); }

}  // namespace kavro::jobtext
