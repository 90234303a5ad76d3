// JSON answers come from the network: any bytes must decode to a value or to a clear error. What
// decodes must encode again, in every layout, and read back to an equal tree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kit/codec/json/ArrayJSONBoxSerializing.h"
#include "kit/codec/json/DictionaryJSONBoxSerializing.h"
#include "kit/codec/json/JSONDecoder.h"
#include "kit/codec/json/StringJSONBoxDeserializing.h"
#include "kit/codec/json/UTF8Conversion.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"

namespace {

using platform::Value;

void require(bool condition) {
  if (!condition) std::abort();
}

bool validText(const std::string& s) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
  return kavro::json::isWellFormedUTF8(p, p + s.size());
}

std::optional<std::string> encode(const Value& v, kavro::JBSerializeOptions options, platform::Error* e) {
  if (auto a = v.arrayValue()) return kavro::json::JSONString(*a, options, e);
  return kavro::json::JSONString(*v.dictionaryValue(), options, e);
}

// The whole-text UTF-8 check the decoder makes first, against its byte-by-byte meaning.
bool plainByteByByte(const std::uint8_t* p, const std::uint8_t* end) {
  while (p < end) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    if (*p >= 0xF0 || (*p == 0xEF && end - p >= 2 && (p[1] == 0xB7 || p[1] == 0xBF))) return false;
    const std::size_t n = kavro::json::legalSequenceLength(p, end);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

// The same with every legal sequence taken.
bool legalByteByByte(const std::uint8_t* p, const std::uint8_t* end) {
  while (p < end) {
    const std::size_t n = *p < 0x80 ? 1 : kavro::json::legalSequenceLength(p, end);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool plain = plainByteByByte(data, data + size);
  require(kavro::json::isPlainUTF8(data, data + size) == plain);
  require(kavro::json::isPlainUTF8Baseline(data, data + size) == plain);
  require(kavro::json::isLegalUTF8(data, data + size) == legalByteByByte(data, data + size));
  const unsigned control = data[0];
  const auto options = static_cast<kavro::JBParseOptions>(control) & kavro::JBParseOptionValidFlags;
  const char* text = reinterpret_cast<const char*>(data + 1);
  const std::size_t length = size - 1;

  const auto made = kavro::JSONDecoder::decoderWithParseOptions(options);
  kavro::JSONDecoder& decoder = *made;
  platform::Error error;
  Value root = (control & 16) ? decoder.mutableObjectWithUTF8String(text, length, &error)
                              : decoder.objectWithUTF8String(text, length, &error);
  // A decoder made for one parse (no value cache; keys found as in the record before) agrees:
  // the same tree in the same order, or the same error at the same place.
  platform::Error onceError;
  Value once = kavro::JSONDecoder::parseOnce(text, length, options, (control & 16) != 0, &onceError);
  require(once.isNull() == root.isNull());
  if (root.isNull()) {
    require(onceError.localizedDescription == error.localizedDescription);
    require(onceError.userInfo->valueForKey(kavro::JBAtIndexKey) ==
            error.userInfo->valueForKey(kavro::JBAtIndexKey));
    require(onceError.userInfo->valueForKey(kavro::JBLineNumberKey) ==
            error.userInfo->valueForKey(kavro::JBLineNumberKey));
  } else {
    require(once == root && once.description() == root.description());
    // Immutable dictionaries reuse tables learnt from the records before; mutable ones are built
    // pair by pair: both put the pairs in the same order.
    if (!(control & 16)) {
      const Value built = kavro::JSONDecoder::parseOnce(text, length, options, true, nullptr);
      require(built == root && built.description() == root.description());
    }
  }
  // Learning the dictionaries' layouts changes nothing either: without it, the same tree in the
  // same order, or the same error at the same place and line.
  for (const bool mutableResult : {false, true}) {
    platform::Error learntError, plainError;
    const Value learnt = kavro::JSONDecoder::parseOnce(text, length, options, mutableResult, &learntError);
    const Value plain = kavro::JSONDecoder::parseOnce(text, length, options, mutableResult, &plainError,
                                                      kavro::JBLayoutLearning::Off);
    require(plain.isNull() == learnt.isNull());
    if (plain.isNull()) {
      require(plainError.localizedDescription == learntError.localizedDescription);
      require(plainError.userInfo->valueForKey(kavro::JBAtIndexKey) ==
              learntError.userInfo->valueForKey(kavro::JBAtIndexKey));
      require(plainError.userInfo->valueForKey(kavro::JBLineNumberKey) ==
              learntError.userInfo->valueForKey(kavro::JBLineNumberKey));
    } else {
      require(plain == learnt && plain.description() == learnt.description());
    }
  }
  if (root.isNull()) {
    require(error.domain == "JBErrorDomain" && !error.localizedDescription.empty());
    require(validText(error.localizedDescription));
    require(error.userInfo->valueForKey(kavro::JBAtIndexKey).uintValue() <= length);
    return 0;
  }
  require(root.arrayValue() || root.dictionaryValue());

  // A second parse by the same decoder (its cache now warm) gives an equal tree.
  Value again = decoder.objectWithUTF8String(text, length);
  require(again == root);

  const kavro::JBSerializeOptions layouts[] = {
      kavro::JBSerializeOptionNone, kavro::JBSerializeOptionPretty,
      kavro::JBSerializeOptionEscapeNonASCII | kavro::JBSerializeOptionEscapeSlash};
  for (kavro::JBSerializeOptions layout : layouts) {
    platform::Error encodeError;
    std::optional<std::string> written = encode(root, layout, &encodeError);
    require(written.has_value());
    require(validText(*written));
    platform::Error decodeError;
    Value back = kavro::json::objectFromJSONString(*written, kavro::JBParseOptionNone, &decodeError);
    require(!back.isNull());
    require(back == root);
  }
  return 0;
}
