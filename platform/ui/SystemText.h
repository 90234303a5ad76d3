#pragma once
#include <string>
#include <string_view>

namespace platform {

// The toolkit's own words (system bar items, the back button, the search bar's cancel button) in
// the user's language: the bundle's "System" table, keyed by the English word, which stands when
// the table lacks it.
std::string systemText(std::string_view english);

}  // namespace platform
