#pragma once
#include <string_view>

#include "kit/codec/json/JSONBox.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

// Decoding JSON text held in a string. Each call uses a fresh decoder, so calls share nothing.
namespace kavro::json {

// The root array or dictionary (immutable containers), or a null value with error set. The text's
// bytes are read as they are, exactly as objectFromJSONData reads bytes. Options of 16 or more
// raise an invalid-argument exception.
platform::Value objectFromJSONString(std::string_view json, JBParseOptions parseOptions = JBParseOptionNone,
                                     platform::Error* error = nullptr);
// The same with mutable containers.
platform::Value mutableObjectFromJSONString(std::string_view json,
                                            JBParseOptions parseOptions = JBParseOptionNone,
                                            platform::Error* error = nullptr);

}  // namespace kavro::json
