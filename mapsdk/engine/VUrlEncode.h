#pragma once
#include <string>
#include <string_view>

namespace gmengine {

// Percent-encodes UTF-8 text for a URL query or a form body: letters, digits and "-._~" stay,
// every other byte becomes "%XX" (upper-case hexadecimal).
std::string UrlEncode(std::string_view utf8);

}  // namespace gmengine
