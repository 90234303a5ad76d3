#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "kit/codec/json/JBTokenCache.h"
#include "kit/codec/json/JSONBox.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace kavro {

class JBParseState;

// Whether a decoder learns the layouts of the dictionaries it reads (their keys, in their order) to
// read the next ones alike faster. Off, every dictionary is read by the general loop; the results,
// errors included, are the same either way.
enum class JBLayoutLearning : std::uint8_t { On, Off };

// Turns UTF-8 JSON text into a tree of values: a JBArray or JBDictionary root holding strings,
// numbers (signed 64-bit, unsigned 64-bit above the signed range, or double), booleans, nulls and
// further containers. Bad text gives a null value and, when asked, the first error found (domain
// JBErrorDomain, code -1, the byte offset and line under JBAtIndexKey and JBLineNumberKey). The
// value cache lives as long as the decoder, so equal values found by later parses come from it
// too. One parse at a time, on one thread.
class JSONDecoder {
  // Only the class names it: a decoder comes from its factories (or lives inside one parse).
  struct Token {
    explicit Token() = default;
  };

 public:
  // Raises an invalid-argument exception for options of 16 or more.
  JSONDecoder(Token, JBParseOptions parseOptions);
  ~JSONDecoder();
  JSONDecoder(const JSONDecoder&) = delete;
  JSONDecoder& operator=(const JSONDecoder&) = delete;

  static std::shared_ptr<JSONDecoder> decoder() { return decoderWithParseOptions(JBParseOptionNone); }
  static std::shared_ptr<JSONDecoder> decoderWithParseOptions(JBParseOptions parseOptions);

  JBParseOptions parseOptions() const { return options_; }

  // Immutable containers. A null bytes pointer with a non-zero length raises an invalid-argument
  // exception; a length of 0 parses as empty text. error is written only when the parse fails.
  platform::Value objectWithUTF8String(const char* bytes, std::size_t length,
                                       platform::Error* error = nullptr);
  platform::Value parseUTF8String(const char* bytes, std::size_t length, platform::Error* error = nullptr) {
    return objectWithUTF8String(bytes, length, error);
  }
  // Mutable containers.
  platform::Value mutableObjectWithUTF8String(const char* bytes, std::size_t length,
                                              platform::Error* error = nullptr);

  platform::Value objectWithData(const platform::Data& data, platform::Error* error = nullptr);
  platform::Value parseJSONData(const platform::Data& data, platform::Error* error = nullptr) {
    return objectWithData(data, error);
  }
  platform::Value mutableObjectWithData(const platform::Data& data, platform::Error* error = nullptr);

  // What the string and data entry points use: a decoder for this one parse. Nobody could look at
  // its value cache, so the parse goes without one; the result is the same.
  static platform::Value parseOnce(const char* bytes, std::size_t length, JBParseOptions parseOptions,
                                   bool mutableCollections, platform::Error* error,
                                   JBLayoutLearning learning = JBLayoutLearning::On);
  // On by default; the results are the same either way, only the speed differs.
  void setLayoutLearning(JBLayoutLearning learning);

  // Empties the value cache.
  void clearCache();
  const JBTokenCache& tokenCache() const;

 private:
  platform::Value parse(const char* bytes, std::size_t length, bool mutableCollections,
                        platform::Error* error);

  JBParseOptions options_;
  std::unique_ptr<JBParseState> state_;
};

}  // namespace kavro
