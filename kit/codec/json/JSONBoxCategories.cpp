#include "kit/codec/json/ArrayJSONBoxSerializing.h"
#include "kit/codec/json/DataJSONBoxDeserializing.h"
#include "kit/codec/json/DictionaryJSONBoxSerializing.h"
#include "kit/codec/json/JBSerializer.h"
#include "kit/codec/json/JSONDecoder.h"
#include "kit/codec/json/StringJSONBoxDeserializing.h"
#include "kit/codec/json/StringJSONBoxSerializing.h"

namespace kavro::json {

namespace {

platform::Value decodeString(std::string_view json, JBParseOptions parseOptions, bool mutableResult,
                             platform::Error* error) {
  return JSONDecoder::parseOnce(json.data(), json.size(), parseOptions, mutableResult, error);
}

std::optional<platform::Data> asData(platform::Value v) {
  if (!v.isBytes()) return std::nullopt;
  return v.bytesValue();
}

std::optional<std::string> asString(platform::Value v) {
  if (!v.isString()) return std::nullopt;
  return v.stringValue();
}

JBEncodeOptions stringEncodeOption(JBEncodeOptions kind, bool includeQuotes) {
  return kind | JBEncodeOptionStringObj |
         (includeQuotes ? JBEncodeOptions::None : JBEncodeOptionStringObjTrimQuotes);
}

}  // namespace

platform::Value objectFromJSONString(std::string_view json, JBParseOptions parseOptions,
                                     platform::Error* error) {
  return decodeString(json, parseOptions, false, error);
}

platform::Value mutableObjectFromJSONString(std::string_view json, JBParseOptions parseOptions,
                                            platform::Error* error) {
  return decodeString(json, parseOptions, true, error);
}

platform::Value objectFromJSONData(const platform::Data& data, JBParseOptions parseOptions,
                                   platform::Error* error) {
  return JSONDecoder::parseOnce(reinterpret_cast<const char*>(data.data()), data.size(), parseOptions, false,
                                error);
}

platform::Value mutableObjectFromJSONData(const platform::Data& data, JBParseOptions parseOptions,
                                          platform::Error* error) {
  return JSONDecoder::parseOnce(reinterpret_cast<const char*>(data.data()), data.size(), parseOptions, true,
                                error);
}

std::optional<platform::Data> JSONData(std::string_view string, JBSerializeOptions options,
                                       bool includeQuotes, platform::Error* error) {
  return asData(JBSerializer::serializeObject(platform::Value(string), options,
                                              stringEncodeOption(JBEncodeOptionAsData, includeQuotes),
                                              nullptr, error));
}

std::optional<std::string> JSONString(std::string_view string, JBSerializeOptions options, bool includeQuotes,
                                      platform::Error* error) {
  return asString(JBSerializer::serializeObject(platform::Value(string), options,
                                                stringEncodeOption(JBEncodeOptionAsString, includeQuotes),
                                                nullptr, error));
}

#define KAVRO_JSON_COLLECTION_ENTRY_POINTS(Type)                                               \
  std::optional<platform::Data> JSONData(const Type& root, JBSerializeOptions options,         \
                                         platform::Error* error) {                             \
    return asData(JBSerializer::serializeObject(                                               \
        root, options, JBEncodeOptionAsData | JBEncodeOptionCollectionObj, nullptr, error));   \
  }                                                                                            \
  std::optional<platform::Data> JSONData(const Type& root, JBSerializeOptions options,         \
                                         const JBUnsupportedClassFormatter& formatter,         \
                                         platform::Error* error) {                             \
    return asData(JBSerializer::serializeObject(                                               \
        root, options, JBEncodeOptionAsData | JBEncodeOptionCollectionObj, formatter, error)); \
  }                                                                                            \
  std::optional<std::string> JSONString(const Type& root, JBSerializeOptions options,          \
                                        platform::Error* error) {                              \
    return JBSerializer::serializeCollectionAsText(root, options, nullptr, error);             \
  }                                                                                            \
  std::optional<std::string> JSONString(const Type& root, JBSerializeOptions options,          \
                                        const JBUnsupportedClassFormatter& formatter,          \
                                        platform::Error* error) {                              \
    return JBSerializer::serializeCollectionAsText(root, options, formatter, error);           \
  }

KAVRO_JSON_COLLECTION_ENTRY_POINTS(platform::Array)
KAVRO_JSON_COLLECTION_ENTRY_POINTS(platform::Dictionary)

#undef KAVRO_JSON_COLLECTION_ENTRY_POINTS

}  // namespace kavro::json
