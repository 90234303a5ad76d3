#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "kit/codec/json/JSONBox.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"

// A string written as a JSON string (with or without its quotation marks).
namespace kavro::json {

// options: JBSerializeOption bits. Nothing, with error set, when the text is not well-formed
// UTF-8 (or, escaping non-ASCII, holds a non-character).
std::optional<platform::Data> JSONData(std::string_view string,
                                       JBSerializeOptions options = JBSerializeOptionNone,
                                       bool includeQuotes = true, platform::Error* error = nullptr);
std::optional<std::string> JSONString(std::string_view string,
                                      JBSerializeOptions options = JBSerializeOptionNone,
                                      bool includeQuotes = true, platform::Error* error = nullptr);

}  // namespace kavro::json
