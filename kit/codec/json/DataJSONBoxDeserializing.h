#pragma once
#include "kit/codec/json/JSONBox.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

// Decoding JSON bytes. Each call uses a fresh decoder, so calls share nothing.
namespace kavro::json {

// The root array or dictionary (immutable containers), or a null value with error set. Options
// of 16 or more raise an invalid-argument exception.
platform::Value objectFromJSONData(const platform::Data& data,
                                   JBParseOptions parseOptions = JBParseOptionNone,
                                   platform::Error* error = nullptr);
// The same with mutable containers.
platform::Value mutableObjectFromJSONData(const platform::Data& data,
                                          JBParseOptions parseOptions = JBParseOptionNone,
                                          platform::Error* error = nullptr);

}  // namespace kavro::json
