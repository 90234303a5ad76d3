#pragma once
#include <optional>
#include <string>

#include "kit/codec/json/JBSerializer.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"

// An array written as JSON text; options are JBSerializeOption bits. Nothing, with error set, on
// failure. The formatter, when given, replaces values the encoder cannot write.
namespace kavro::json {

std::optional<platform::Data> JSONData(const platform::Array& array,
                                       JBSerializeOptions options = JBSerializeOptionNone,
                                       platform::Error* error = nullptr);
std::optional<platform::Data> JSONData(const platform::Array& array, JBSerializeOptions options,
                                       const JBUnsupportedClassFormatter& formatter,
                                       platform::Error* error = nullptr);
std::optional<std::string> JSONString(const platform::Array& array,
                                      JBSerializeOptions options = JBSerializeOptionNone,
                                      platform::Error* error = nullptr);
std::optional<std::string> JSONString(const platform::Array& array, JBSerializeOptions options,
                                      const JBUnsupportedClassFormatter& formatter,
                                      platform::Error* error = nullptr);

}  // namespace kavro::json
