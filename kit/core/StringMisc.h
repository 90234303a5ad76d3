#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/URL.h"

// Small string helpers every layer uses: trimming, digests, URL escaping.
namespace kavro::str {

// The text without leading and trailing white space and line breaks.
std::string trim(std::string_view s);
// Lower-case hex MD5 of the UTF-8 bytes up to the first NUL; nothing for "".
std::optional<std::string> md5(std::string_view s);
// Percent-escapes every byte but ASCII letters, digits and - _ . ! ~ * ' ( ); a space is %20.
std::string urlEncoding(std::string_view s);
// Decodes %XX escapes ("+" stays "+"); nothing when the decoded bytes are not UTF-8.
std::optional<std::string> urlDecoding(std::string_view s);
// The URL the text names; nothing for "" or text that is no URL.
std::optional<platform::URL> toURL(std::string_view s);
// Drops "00" from the end while the text ends with it: 1200 -> 12, 12000 -> 120.
std::string stripDoubleSuffixZeros(std::string_view s);

}  // namespace kavro::str
