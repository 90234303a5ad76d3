#pragma once
#include <functional>
#include <optional>
#include <string>

#include "kit/codec/json/JSONBox.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace kavro {

// Called with a value the encoder cannot write (bytes, objects other than arrays and
// dictionaries); answers its replacement, or nothing to fail the call.
using JBUnsupportedClassFormatter =
    std::function<std::optional<platform::Value>(const platform::Value& unsupported)>;

// Writes a tree of values as UTF-8 JSON text: compact, or pretty (line feeds, two-space indents,
// ": " after keys, dictionary keys sorted), with "\u" escapes for non-ASCII text and "\/" on
// request. Failures give a null value and, when asked, the first error (domain JBErrorDomain,
// code -1). Calls share nothing, so they may run on several threads over trees nobody changes.
class JBSerializer {
 public:
  // object: the root; options: JBSerializeOption bits; encodeOption: JBEncodeOptionAsData (the
  // result holds bytes) or JBEncodeOptionAsString (the result holds text), plus what the root must
  // be. error is written only when the call fails. Contradictory encode bits raise an
  // internal-inconsistency exception.
  static platform::Value serializeObject(const platform::Value& object, JBSerializeOptions options,
                                         JBEncodeOptions encodeOption,
                                         const JBUnsupportedClassFormatter& formatter = nullptr,
                                         platform::Error* error = nullptr);
  // The same with an object as the root (an array or dictionary that need not be shared).
  static platform::Value serializeObject(const platform::Object& object, JBSerializeOptions options,
                                         JBEncodeOptions encodeOption,
                                         const JBUnsupportedClassFormatter& formatter = nullptr,
                                         platform::Error* error = nullptr);
  // serializeObject() of an array or dictionary with JBEncodeOptionAsString |
  // JBEncodeOptionCollectionObj, handing over the text without a copy.
  static std::optional<std::string> serializeCollectionAsText(const platform::Object& collection,
                                                              JBSerializeOptions options,
                                                              const JBUnsupportedClassFormatter& formatter,
                                                              platform::Error* error = nullptr);
};

}  // namespace kavro
