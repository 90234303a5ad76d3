#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "kit/codec/json/ArrayJSONBoxSerializing.h"
#include "kit/codec/json/DataJSONBoxDeserializing.h"
#include "kit/codec/json/DictionaryJSONBoxSerializing.h"
#include "kit/codec/json/JBSerializer.h"
#include "kit/codec/json/StringJSONBoxDeserializing.h"
#include "kit/codec/json/StringJSONBoxSerializing.h"
#include "kit/codec/json/UTF8Conversion.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"

namespace kavro {
namespace {

using platform::Value;

std::shared_ptr<platform::MutableArray> arrayOf(std::vector<Value> items) {
  return platform::MutableArray::create(std::move(items));
}

std::string compact(const platform::Array& a, JBSerializeOptions options = JBSerializeOptionNone) {
  platform::Error e;
  auto s = json::JSONString(a, options, &e);
  EXPECT_TRUE(s) << e.localizedDescription;
  return s.value_or("<failed>");
}

std::string failure(const platform::Array& a, JBSerializeOptions options = JBSerializeOptionNone) {
  platform::Error e;
  auto s = json::JSONString(a, options, &e);
  EXPECT_FALSE(s) << *s;
  EXPECT_EQ(e.domain, "JBErrorDomain");
  EXPECT_EQ(e.code, -1);
  return e.localizedDescription;
}

struct Opaque : platform::Object {};

TEST(JBSerializer, ContainersCompactAndPretty) {
  auto empty = arrayOf({});
  EXPECT_EQ(compact(*empty), "[]");
  EXPECT_EQ(compact(*empty, JBSerializeOptionPretty), "[\n  \n]");
  auto emptyDict = platform::MutableDictionary::create();
  EXPECT_EQ(json::JSONString(*emptyDict).value(), "{}");
  EXPECT_EQ(json::JSONString(*emptyDict, JBSerializeOptionPretty).value(), "{\n  \n}");

  auto d = platform::MutableDictionary::create();
  d->setObject(Value(arrayOf({Value(true)})), "b");
  d->setObject(Value(1), "a");
  EXPECT_EQ(json::JSONString(*d).value(), R"({"b":[true],"a":1})");
  EXPECT_EQ(json::JSONString(*d, JBSerializeOptionPretty).value(),
            "{\n  \"a\": 1,\n  \"b\": [\n    true\n  ]\n}");
  auto data = json::JSONData(*d);
  ASSERT_TRUE(data);
  EXPECT_EQ(platform::stringFromData(*data), R"({"b":[true],"a":1})");
  EXPECT_EQ(compact(*arrayOf({Value(), Value(false), Value("x"), Value(arrayOf({}))})),
            R"([null,false,"x",[]])");
}

TEST(JBSerializer, PrettyKeysSortInUTF16Order) {
  auto d = platform::MutableDictionary::create();
  for (const char* k :
       {"b", "\xEF\xBD\x81" /* U+FF41 */, "\xF0\x9F\x98\x80" /* U+1F600 */, "a", "B", "ab", ""})
    d->setObject(Value(0), k);
  std::string out = json::JSONString(*d, JBSerializeOptionPretty).value();
  EXPECT_EQ(out,
            "{\n  \"\": 0,\n  \"B\": 0,\n  \"a\": 0,\n  \"ab\": 0,\n  \"b\": 0,\n  \"\xF0\x9F\x98\x80\": 0,\n"
            "  \"\xEF\xBD\x81\": 0\n}");
}

TEST(JBSerializer, StringEscaping) {
  auto a = arrayOf({Value(std::string("q\"b\\t\t\x01/\b\f\n\r\x1f", 13))});
  EXPECT_EQ(compact(*a), R"(["q\"b\\t\t\u0001/\b\f\n\r\u001f"])");
  EXPECT_EQ(compact(*a, JBSerializeOptionEscapeSlash), R"(["q\"b\\t\t\u0001\/\b\f\n\r\u001f"])");
  EXPECT_EQ(compact(*arrayOf({Value(std::string("a\0b", 3))})), R"(["a\u0000b"])");

  auto text = arrayOf({Value("é"), Value("\xF0\x9F\x98\x80"), Value("中")});
  EXPECT_EQ(compact(*text), "[\"é\",\"\xF0\x9F\x98\x80\",\"中\"]");
  EXPECT_EQ(compact(*text, JBSerializeOptionEscapeNonASCII), R"(["\u00e9","\ud83d\ude00","\u4e2d"])");

  // Text that is not UTF-8 cannot be written; a non-character can, unless escaped.
  EXPECT_EQ(failure(*arrayOf({Value("ok"), Value("bad \xFF")})),
            "An error occurred converting the contents of a NSString to UTF8.");
  EXPECT_EQ(failure(*arrayOf({Value("\xED\xA0\x80")})),
            "An error occurred converting the contents of a NSString to UTF8.");
  EXPECT_EQ(compact(*arrayOf({Value("\xEF\xBF\xBF")})), "[\"\xEF\xBF\xBF\"]");
  EXPECT_EQ(failure(*arrayOf({Value("\xEF\xBF\xBF")}), JBSerializeOptionEscapeNonASCII),
            "Error converting UTF8.");
  EXPECT_EQ(failure(*arrayOf({Value("\xEF\xBF\xBF\xFF")}), JBSerializeOptionEscapeNonASCII),
            "An error occurred converting the contents of a NSString to UTF8.");
}

TEST(JBSerializer, StringRoots) {
  EXPECT_EQ(json::JSONString("a\"b").value(), "\"a\\\"b\"");
  EXPECT_EQ(json::JSONString("a\"b", JBSerializeOptionNone, false).value(), "a\\\"b");
  EXPECT_EQ(platform::stringFromData(json::JSONData("x/y", JBSerializeOptionEscapeSlash).value()),
            "\"x\\/y\"");
  EXPECT_EQ(platform::stringFromData(json::JSONData("x", JBSerializeOptionNone, false).value()), "x");
  platform::Error e;
  EXPECT_FALSE(json::JSONString("\xC3", JBSerializeOptionNone, true, &e));
  EXPECT_EQ(e.localizedDescription, "An error occurred converting the contents of a NSString to UTF8.");

  Value result = JBSerializer::serializeObject(Value(arrayOf({})), JBSerializeOptionNone,
                                               JBEncodeOptionAsString | JBEncodeOptionStringObj, nullptr, &e);
  EXPECT_TRUE(result.isNull());
  EXPECT_EQ(e.localizedDescription,
            "Unable to serialize object class platform::MutableArray, expected a NSString.");
  result = JBSerializer::serializeObject(Value("s"), JBSerializeOptionNone,
                                         JBEncodeOptionAsString | JBEncodeOptionCollectionObj, nullptr, &e);
  EXPECT_EQ(e.localizedDescription,
            "Unable to serialize object class std::string, expected a NSArray or NSDictionary.");
  result = JBSerializer::serializeObject(Value(arrayOf({})), JBSerializeOptionNone,
                                         static_cast<JBEncodeOptions>(3), nullptr, &e);
  EXPECT_EQ(e.localizedDescription, "Unknown encode as type.");
  EXPECT_THROW(JBSerializer::serializeObject(
                   Value("s"), JBSerializeOptionNone,
                   JBEncodeOptionAsString | JBEncodeOptionCollectionObj | JBEncodeOptionStringObj),
               platform::InternalInconsistencyException);
  EXPECT_THROW(JBSerializer::serializeObject(Value("s"), JBSerializeOptionNone,
                                             JBEncodeOptionAsString | JBEncodeOptionStringObjTrimQuotes),
               platform::InternalInconsistencyException);
  // Without root bits any value may be the root.
  EXPECT_EQ(
      JBSerializer::serializeObject(Value(42), JBSerializeOptionNone, JBEncodeOptionAsString).stringValue(),
      "42");
}

TEST(JBSerializer, Numbers) {
  auto a = arrayOf({Value(0.1), Value(1.0), Value(1e21), Value(-5), Value(UINT64_MAX), Value(INT64_MIN),
                    Value(7), Value(-0.0), Value(5e-324), Value(123456789.125)});
  EXPECT_EQ(compact(*a),
            "[0.10000000000000001,1,1e+21,-5,18446744073709551615,-9223372036854775808,7,-0,"
            "4.9406564584124654e-324,123456789.125]");
  EXPECT_EQ(failure(*arrayOf({Value(std::nan(""))})),
            "Floating point values must be finite.  JSON does not support NaN or Infinity.");
  EXPECT_EQ(failure(*arrayOf({Value(-std::numeric_limits<double>::infinity())})),
            "Floating point values must be finite.  JSON does not support NaN or Infinity.");
}

// Doubles come out as "%.17g" writes them at every magnitude: the edges where the decimal
// exponent changes (1e-4, 1e16, 1e17), digits that carry into a new one, halves that round to
// even, and random values of every exponent and of the decimal shapes answers hold.
TEST(JBSerializer, DoublesComeOutAsPrintfWritesThemWithSeventeenDigits) {
  std::vector<double> values = {1e-4,
                                std::nextafter(1e-4, 0.0),
                                std::nextafter(1e-4, 1.0),
                                9.9999999999999995e-5,
                                1e16,
                                1e17,
                                std::nextafter(1e17, 0.0),
                                99999999999999999.0,
                                9.9999999999999999e15,
                                0.5,
                                2.5,
                                1.0000000000000002,
                                9007199254740993.0,
                                123456789012345680.0,
                                30.5845,
                                0.30000000000000004,
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::min(),
                                std::numeric_limits<double>::denorm_min()};
  std::mt19937_64 rng(17);
  for (int i = 0; i < 20000; ++i) {
    std::uint64_t bits = rng();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    if (std::isfinite(d)) values.push_back(d);
    values.push_back(static_cast<double>(rng() % 100000000000ull) /
                     std::pow(10.0, static_cast<int>(rng() % 24)));
    values.push_back(-static_cast<double>(rng() >> (rng() % 64)));
  }
  auto list = platform::MutableArray::create();
  std::string expected = "[";
  for (double d : values) {
    list->addObject(Value(d));
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", d);
    expected += (expected.size() > 1 ? "," : "") + std::string(text);
  }
  expected += "]";
  EXPECT_EQ(compact(*list), expected);
}

TEST(JBSerializer, UnsupportedValuesAndFormatters) {
  auto a = arrayOf({Value(1), Value(platform::Data{1, 2})});
  EXPECT_EQ(failure(*a), "Unable to serialize object class platform::Data.");
  auto withObject = arrayOf({Value(std::make_shared<Opaque>())});
  EXPECT_EQ(failure(*withObject), "Unable to serialize object class kavro::(anonymous namespace)::Opaque.");

  JBUnsupportedClassFormatter toText = [](const Value& v) -> std::optional<Value> {
    if (v.isBytes()) return Value("bytes:" + std::to_string(v.bytesValue().size()));
    return Value(arrayOf({Value("object")}));
  };
  EXPECT_EQ(json::JSONString(*a, JBSerializeOptionNone, toText).value(), R"([1,"bytes:2"])");
  EXPECT_EQ(json::JSONString(*withObject, JBSerializeOptionNone, toText).value(), R"([["object"]])");

  platform::Error e;
  JBUnsupportedClassFormatter again = [](const Value&) -> std::optional<Value> {
    return Value(platform::Data{});
  };
  EXPECT_FALSE(json::JSONString(*a, JBSerializeOptionNone, again, &e));
  EXPECT_EQ(e.localizedDescription,
            "Unable to serialize object class platform::Data that was returned by the unsupported class "
            "formatter.  "
            "Original object class was platform::Data.");
  JBUnsupportedClassFormatter none = [](const Value&) -> std::optional<Value> { return std::nullopt; };
  EXPECT_FALSE(json::JSONString(*a, JBSerializeOptionNone, none, &e));
  EXPECT_EQ(e.localizedDescription, "Unable to serialize object class platform::Data.");
  // A replacement may hold further unsupported values: they get the formatter too.
  JBUnsupportedClassFormatter nested = [](const Value& v) -> std::optional<Value> {
    if (v.isBytes()) return Value(arrayOf({Value(std::make_shared<Opaque>())}));
    return Value("inner");
  };
  EXPECT_EQ(json::JSONString(*a, JBSerializeOptionNone, nested).value(), R"([1,["inner"]])");
  // A formatter may encode on its own while the outer encoding is under way.
  JBUnsupportedClassFormatter encoding = [](const Value&) -> std::optional<Value> {
    return Value(*json::JSONString(*arrayOf({Value(std::string(40000, 'i'))})));
  };
  const std::string inner = R"([\")" + std::string(40000, 'i') + R"(\"])";
  auto big = arrayOf({Value(std::string(40000, 'o')), Value(platform::Data{1})});
  EXPECT_EQ(json::JSONString(*big, JBSerializeOptionNone, encoding).value(),
            R"([")" + std::string(40000, 'o') + R"(",")" + inner + R"("])");

  // A formatter that changes the list or map being written: a list that grows (and moves its
  // elements) is caught, a map goes on with its pairs as they are then.
  auto list = arrayOf({Value(1), Value(platform::Data{1}), Value(3)});
  JBUnsupportedClassFormatter growList = [&](const Value&) -> std::optional<Value> {
    for (int i = 0; i < 100; ++i) list->addObject(Value(i));
    return Value("bytes");
  };
  try {
    json::JSONString(*list, JBSerializeOptionNone, growList);
    ADD_FAILURE() << "no exception";
  } catch (const platform::Exception& x) {
    EXPECT_EQ(x.reason(), "*** Collection <platform::MutableArray> was mutated while being enumerated.");
  }
  auto map = platform::MutableDictionary::create();
  map->setObject(platform::Data{1}, "a");
  map->setObject(2, "b");
  JBUnsupportedClassFormatter growMap = [&](const Value&) -> std::optional<Value> {
    for (int i = 0; i < 20; ++i) map->setObject(i, "k" + std::to_string(i));
    map->removeObjectForKey("b");
    return Value("bytes");
  };
  const std::string grown = json::JSONString(*map, JBSerializeOptionNone, growMap).value();
  EXPECT_EQ(grown.substr(0, 28), R"({"a":"bytes","k0":0,"k1":1,")");
  EXPECT_EQ(grown.substr(grown.size() - 9), R"("k19":19})");
}

TEST(JBSerializer, SelfContainingAndDeepContainersFail) {
  auto a = arrayOf({Value(1)});
  a->addObject(Value(a));
  EXPECT_EQ(failure(*a), "Unable to serialize an array or dictionary that contains itself.");
  a->removeLastObject();  // break the cycle so it is freed

  auto d = platform::MutableDictionary::create();
  auto inner = arrayOf({});
  inner->addObject(Value(d));
  d->setObject(Value(inner), "x");
  platform::Error e;
  EXPECT_FALSE(json::JSONString(*d, JBSerializeOptionPretty, &e));
  EXPECT_EQ(e.localizedDescription, "Unable to serialize an array or dictionary that contains itself.");
  inner->removeAllObjects();

  // The same container twice, side by side, is fine.
  auto shared = arrayOf({Value("s")});
  EXPECT_EQ(compact(*arrayOf({Value(shared), Value(shared)})), R"([["s"],["s"]])");

  auto root = arrayOf({});
  auto cursor = root;
  for (std::size_t i = 1; i < JBMaximumNestingDepth; ++i) {
    auto next = arrayOf({});
    cursor->addObject(Value(next));
    cursor = next;
  }
  EXPECT_TRUE(json::JSONString(*root));
  cursor->addObject(Value(arrayOf({})));
  EXPECT_EQ(failure(*root), "Unable to serialize arrays and dictionaries nested deeper than 512 levels.");
}

void expectRoundTrip(std::string_view text, JBSerializeOptions options) {
  platform::Error e;
  Value first = json::objectFromJSONData(platform::dataFromString(text), JBParseOptionLenientUnicode, &e);
  ASSERT_FALSE(first.isNull()) << e.localizedDescription;
  std::optional<std::string> written;
  if (auto a = first.arrayValue())
    written = json::JSONString(*a, options, &e);
  else
    written = json::JSONString(*first.dictionaryValue(), options, &e);
  ASSERT_TRUE(written) << e.localizedDescription;
  Value second = json::objectFromJSONString(*written, JBParseOptionNone, &e);
  ASSERT_FALSE(second.isNull()) << e.localizedDescription << "\n" << *written;
  EXPECT_EQ(first, second) << *written;
}

TEST(JBSerializer, RoundTrips) {
  const char* documents[] = {
      (R"({"jobs":[{"id":18446744073709551615,"min":-9223372036854775808,"salary":12.5,"name":"工程师 \"A\"",)"
       R"("tags":["c++","\u0001\t\n"],"remote":false,"desc":null,"emoji":"\ud83d\ude00","e":"","k":{}}],"n":[]})"),
      R"([0.1,1e300,5e-324,-0.0,1e21,3.14159,2.718281828459045])",
      "[\"\xC3\xA9\xFF\", \"\\uD800\"]",  // lenient replacements survive
      R"([[[[[["deep"]]]]],{"a":{"b":{"c":[1,{"d":"e"}]}}}])",
  };
  for (const char* doc : documents) {
    for (JBSerializeOptions options : {JBSerializeOptionNone, JBSerializeOptionPretty,
                                       JBSerializeOptionEscapeNonASCII | JBSerializeOptionEscapeSlash,
                                       JBSerializeOptionPretty | JBSerializeOptionEscapeNonASCII}) {
      SCOPED_TRACE(doc);
      expectRoundTrip(doc, options);
    }
  }
}

}  // namespace
}  // namespace kavro

namespace kavro {
namespace {

// Text a decoded document keeps in its own memory is written exactly as the same text held any
// other way: escapes, controls, CJK and four-byte sequences, at every length and with every
// option.
TEST(JBSerializer, DecodedTextIsWrittenAsTheSameTextHeldAnyOtherWay) {
  const std::vector<std::string> pieces = {
      "plain",    "q\\\"uote",        "back\\\\slash", "ctl\\u0001\\u001f", "\\n\\r\\t\\b\\f", "sl/ash",
      "中文字符", "\xF0\x9F\x98\x80", "\\u00e9"};
  std::string text = "[";
  for (std::size_t n = 0; n < 120; ++n) {
    std::string s;
    for (std::size_t i = 0; i <= n; ++i) s += pieces[(n * 7 + i) % pieces.size()];
    text += (n ? ",\"" : "\"") + s + "\"";
  }
  text += "]";
  Value decoded = json::objectFromJSONString(text);
  auto list = decoded.arrayValue();
  ASSERT_TRUE(list);
  auto owned = platform::MutableArray::create();
  for (std::size_t i = 0; i < list->count(); ++i)
    owned->addObject(Value(std::string(list->objectAtIndex(i).stringView())));
  for (JBSerializeOptions options : {JBSerializeOptionNone, JBSerializeOptionEscapeSlash,
                                     JBSerializeOptionEscapeNonASCII, JBSerializeOptionPretty}) {
    auto ours = json::JSONString(*list, options);
    auto theirs = json::JSONString(*owned, options);
    ASSERT_EQ(ours.has_value(), theirs.has_value()) << static_cast<unsigned>(options);
    if (ours) {
      EXPECT_EQ(*ours, *theirs) << static_cast<unsigned>(options);
    }
  }
  EXPECT_EQ(json::objectFromJSONString(*json::JSONString(*list)), decoded);

  // Keys too, in a decoded dictionary and in a copy with the same order.
  std::string object = "{";
  for (std::size_t n = 0; n < pieces.size(); ++n)
    object +=
        (n ? ",\"" : "\"") + pieces[n] + std::to_string(n) + "\":\"" + pieces[(n + 3) % pieces.size()] + "\"";
  object += "}";
  auto dict = json::objectFromJSONString(object).dictionaryValue();
  ASSERT_TRUE(dict);
  auto ownedDict = platform::MutableDictionary::create();
  dict->enumerate([&](const std::string& k, const Value& v) {
    ownedDict->setObject(Value(std::string(v.stringView())), std::string(k));
    return true;
  });
  for (JBSerializeOptions options : {JBSerializeOptionNone, JBSerializeOptionEscapeNonASCII})
    EXPECT_EQ(json::JSONString(*dict, options), json::JSONString(*ownedDict, options))
        << static_cast<unsigned>(options);
}

}  // namespace
}  // namespace kavro

namespace kavro {
namespace {

// Short keys of a decoded dictionary go out whole and escaped as any other text: every length
// around the size of a string's own buffer, with a byte that needs an escape at every place, and
// with bytes that need none (space, DEL, CJK).
TEST(JBSerializer, ShortDecodedKeysAreEscapedAtEveryLengthAndPlace) {
  const std::vector<std::pair<std::string, std::string>> specials = {
      {"\\\"", "\\\""}, {"\\\\", "\\\\"}, {"\\u0001", "\\u0001"}, {"\\u001f", "\\u001f"},
      {"\\n", "\\n"},   {" ", " "},       {"\\u007f", "\x7F"},    {"中", "中"}};
  for (const auto& [in, out] : specials) {
    for (std::size_t length = 0; length <= 18; ++length) {
      std::string text = "{";
      std::vector<std::string> keys;
      for (std::size_t at = 0; at <= length; ++at) {
        std::string key;
        std::string written;
        for (std::size_t i = 0; i < length; ++i) {
          key += i == at ? in : std::string(1, static_cast<char>('a' + i));
          written += i == at ? out : std::string(1, static_cast<char>('a' + i));
        }
        text += (at ? ",\"" : "\"") + key + "\":" + std::to_string(at);
        keys.push_back("\"" + written + "\":" + std::to_string(at));
      }
      text += "}";
      SCOPED_TRACE(text);
      Value decoded = json::objectFromJSONString(text);
      auto dict = decoded.dictionaryValue();
      ASSERT_TRUE(dict);
      auto written = json::JSONString(*dict);
      ASSERT_TRUE(written);
      for (const std::string& key : keys) EXPECT_NE(written->find(key), std::string::npos) << key;
      EXPECT_EQ(json::objectFromJSONString(*written), decoded);
    }
  }
}

// Strings held by hand, around the lengths a word-at-a-time look takes whole, with one byte that
// needs a look of its own at every place: escapes where JSON wants them, text as it is elsewhere,
// and a failure for what is not UTF-8.
TEST(JBSerializer, ShortStringsHeldByHandAreEscapedAtEveryLengthAndPlace) {
  const std::vector<std::pair<std::string, std::string>> specials = {
      {"\"", "\\\""}, {"\\", "\\\\"},   {"\x01", "\\u0001"}, {"\x1F", "\\u001f"},
      {"\n", "\\n"},  {"\x7F", "\x7F"}, {"/", "/"},          {"中", "中"},
      {"é", "é"},     {" ", " "},       {"\xFF", ""}};
  for (const auto& [in, out] : specials) {
    for (std::size_t length = 1; length <= 40; ++length) {
      std::vector<Value> items;
      std::string expected = "[";
      for (std::size_t at = 0; at < length; ++at) {
        std::string text, written;
        for (std::size_t i = 0; i < length; ++i) {
          text += i == at ? in : std::string(1, static_cast<char>('a' + i % 26));
          written += i == at ? out : std::string(1, static_cast<char>('a' + i % 26));
        }
        items.emplace_back(text);
        expected += (at ? ",\"" : "\"") + written + "\"";
      }
      expected += "]";
      SCOPED_TRACE(in + " in " + std::to_string(length));
      if (out.empty())
        failure(*arrayOf(items));
      else
        EXPECT_EQ(compact(*arrayOf(items)), expected);
    }
  }
}

// Texts of several megabytes written one after another (the buffer of one kept for the next, the
// larger part of it handed back lazily): each comes out whole, whatever was written before it.
TEST(JBSerializer, LargeTextsOneAfterAnother) {
  for (std::size_t megabytes : {6, 2, 9, 6}) {
    std::vector<Value> items;
    std::string expected = "[";
    for (std::size_t i = 0; expected.size() < megabytes << 20; ++i) {
      std::string text =
          std::to_string(i * megabytes) + std::string(100 + i % 50, static_cast<char>('a' + i % 26));
      expected += (i ? ",\"" : "\"") + text + "\"";
      items.emplace_back(std::move(text));
    }
    expected += "]";
    const std::string written = compact(*arrayOf(std::move(items)));
    ASSERT_EQ(written.size(), expected.size());
    ASSERT_TRUE(written == expected) << megabytes;
  }
}

// A large decoded document is written straight into the returned text, sized by the text it came
// from: output far longer than that (numbers written in full, escapes) or shorter (whitespace,
// "\u" escapes of CJK) comes out the same as the same values held in the platform's containers.
TEST(JBSerializer, LargeDecodedDocumentsComeOutWholeWhateverTheirLength) {
  auto ownedCopy = [](const platform::Array& list) {
    auto owned = platform::MutableArray::create();
    for (std::size_t i = 0; i < list.count(); ++i) {
      const Value& v = list.objectAtIndex(i);
      owned->addObject(v.isString() ? Value(std::string(v.stringView())) : v);
    }
    return owned;
  };
  std::string numbers = "[";
  for (int i = 0; i < 60000; ++i) numbers += (i ? ",0." : "0.") + std::to_string(i % 9 + 1);
  numbers += "]";
  std::string strings = "[";
  for (int i = 0; i < 6000; ++i)
    strings += std::string(i ? ", " : "") + "\"\\u4e2d\\n" +
               std::string(static_cast<std::size_t>(i % 40), 'x') + "\\\"\\u0001 \\/\"";
  strings += "]";
  for (const std::string* text : {&numbers, &strings}) {
    Value decoded = json::objectFromJSONString(*text);
    auto list = decoded.arrayValue();
    ASSERT_TRUE(list);
    auto ours = json::JSONString(*list);
    auto theirs = json::JSONString(*ownedCopy(*list));
    ASSERT_TRUE(ours && theirs);
    EXPECT_EQ(*ours, *theirs);
    EXPECT_EQ(json::objectFromJSONString(*ours), decoded);
  }
}

}  // namespace
}  // namespace kavro

namespace kavro {
namespace {

// A tree put together by hand, as a request body is: keys in the order they were set (a key set
// again keeps its place, a removed one is left out), escapes in keys and values, non-ASCII text as it is, and
// numbers.
TEST(JBSerializer, HandBuiltTreeComesOutAsItWasBuilt) {
  auto record = platform::MutableDictionary::create();
  record->setObject(Value("1000042"), "jobid");
  record->setObject(Value("高级软件工程师 \"C++\""), "jobname");
  record->setObject(Value(52311), "coid");
  record->setObject(Value(30.5845), "lat");
  record->setObject(Value(-0.5), "score");
  record->setObject(Value(UINT64_MAX), "big");
  record->setObject(Value(false), "isapply");
  record->setObject(Value(), "contact");
  record->setObject(Value(arrayOf({Value("五险一金"), Value("年终奖")})), "welfare");
  record->setObject(Value("line\none\ttab\\ \x01 /"), "ke\"y\n");
  record->setObject(Value("9-500人"), "jobid");  // replaced, in its place
  record->setObject(Value("gone"), "removed");
  record->removeObjectForKey("removed");
  auto root = platform::MutableDictionary::create();
  root->setObject(Value(0), "status");
  root->setObject(Value(arrayOf({Value(record), Value(platform::MutableDictionary::create())})), "items");
  EXPECT_EQ(json::JSONString(*root).value(),
            "{\"status\":0,\"items\":[{\"jobid\":\"9-500人\",\"jobname\":\"高级软件工程师 \\\"C++\\\"\","
            "\"coid\":52311,\"lat\":30.584499999999998,\"score\":-0.5,\"big\":18446744073709551615,"
            "\"isapply\":false,\"contact\":null,\"welfare\":[\"五险一金\",\"年终奖\"],"
            "\"ke\\\"y\\n\":\"line\\none\\ttab\\\\ \\u0001 /\"},{}]}");
}

// Text and keys held by the platform's containers, at every length around the block sizes the
// writer copies by, with a byte that needs an escape, a non-ASCII character or a byte that is not
// UTF-8 at every place: escaped exactly where needed, refused when not UTF-8.
TEST(JBSerializer, HandBuiltTextIsEscapedAndCheckedAtEveryLengthAndPlace) {
  const std::vector<std::pair<std::string, std::string>> specials = {{"\"", "\\\""},
                                                                     {"\\", "\\\\"},
                                                                     {"\x01", "\\u0001"},
                                                                     {"\x1f", "\\u001f"},
                                                                     {"\n", "\\n"},
                                                                     {"\x7F", "\x7F"},
                                                                     {"中", "中"},
                                                                     {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
                                                                     {"\xEF\xBF\xBF", "\xEF\xBF\xBF"}};
  for (std::size_t length = 0; length <= 40; ++length) {
    for (std::size_t at = 0; at <= length; ++at) {
      for (const auto& [in, out] : specials) {
        std::string text, written;
        for (std::size_t i = 0; i < length; ++i) {
          text += i == at ? in : std::string(1, static_cast<char>('a' + i % 26));
          written += i == at ? out : std::string(1, static_cast<char>('a' + i % 26));
        }
        SCOPED_TRACE(text);
        auto d = platform::MutableDictionary::create();
        d->setObject(Value(text), text);
        EXPECT_EQ(json::JSONString(*d).value_or("<failed>"), "{\"" + written + "\":\"" + written + "\"}");
      }
      std::string bad(length + 1, 'x');
      bad[at] = '\xC3';  // a lead byte without its continuation
      EXPECT_EQ(failure(*arrayOf({Value(bad)})),
                "An error occurred converting the contents of a NSString to UTF8.");
      auto d = platform::MutableDictionary::create();
      d->setObject(Value(1), bad);
      platform::Error e;
      EXPECT_FALSE(json::JSONString(*d, JBSerializeOptionNone, &e));
      EXPECT_EQ(e.localizedDescription, "An error occurred converting the contents of a NSString to UTF8.");
    }
  }
}

}  // namespace
}  // namespace kavro

namespace kavro {
namespace {

// A long hand-built list is written straight into the text handed out once its first elements
// tell about how long it comes out: the text is whole when the rest is far longer or far shorter
// than those promised, and when a formatter encodes on its own along the way.
TEST(JBSerializer, LongHandBuiltListsComeOutWholeWhateverTheirFirstElementsPromise) {
  JBUnsupportedClassFormatter encoding = [](const Value&) -> std::optional<Value> {
    return Value(*json::JSONString(*arrayOf({Value(std::string(3000, 'i'))})));
  };
  for (bool longFirst : {false, true}) {
    for (std::size_t n : {128u, 129u, 2000u}) {
      auto list = platform::MutableArray::create();
      std::string expected = "[";
      for (std::size_t i = 0; i < n; ++i) {
        const bool isLong = (i < 32) == longFirst;
        std::string s(isLong ? 3000 + i : i % 7, static_cast<char>('a' + i % 26));
        if (i % 5 == 0) s += "\"\n";
        auto record = platform::MutableDictionary::create();
        record->setObject(Value(s), "s");
        record->setObject(Value(static_cast<int>(i)), "n");
        if (i == n / 2) record->setObject(Value(platform::Data{1}), "d");
        list->addObject(Value(record));
        std::string escaped = s;
        if (i % 5 == 0) escaped.replace(escaped.size() - 2, 2, "\\\"\\n");
        expected += (i ? ",{\"s\":\"" : "{\"s\":\"") + escaped + "\",\"n\":" + std::to_string(i);
        if (i == n / 2) expected += ",\"d\":\"[\\\"" + std::string(3000, 'i') + "\\\"]\"";
        expected += "}";
      }
      expected += "]";
      SCOPED_TRACE(testing::Message() << n << (longFirst ? " long first" : " short first"));
      auto written = json::JSONString(*list, JBSerializeOptionNone, encoding);
      ASSERT_TRUE(written);
      EXPECT_EQ(*written, expected);
    }
  }
}

}  // namespace
}  // namespace kavro

namespace kavro {
namespace {

// Text held by the platform's containers is written exactly when it is well-formed UTF-8: random
// text of every length up to a few blocks, of characters at the edges of each sequence length, at
// times with one piece that is not UTF-8 (overlong forms, surrogates, beyond U+10FFFF, stray or
// missing continuation bytes) or cut at the end.
TEST(JBSerializer, HandBuiltTextIsWrittenExactlyWhenItIsUTF8) {
  const char* const good[] = {"a",
                              "\x7F",
                              "\xC2\x80",
                              "\xDF\xBF",
                              "\xE0\xA0\x80",
                              "\xED\x9F\xBF",
                              "\xEE\x80\x80",
                              "\xEF\xBF\xBF",
                              "中",
                              "\xF0\x90\x80\x80",
                              "\xF4\x8F\xBF\xBF"};
  const char* const bad[] = {"\xC0\x80",
                             "\xC1\xBF",
                             "\xE0\x9F\xBF",
                             "\xED\xA0\x80",
                             "\xF0\x8F\xBF\xBF",
                             "\xF4\x90\x80\x80",
                             "\xF5\x80\x80\x80",
                             "\xFF",
                             "\x80",
                             "\xE4\xB8",
                             "\xC2",
                             "\xF0\x90\x80"};
  std::mt19937 rng(44);
  int written = 0, refused = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::size_t pieces = rng() % 40;
    const std::size_t wrongAt = rng() % 2 ? rng() % (pieces + 1) : pieces + 1;
    std::string text;
    for (std::size_t i = 0; i <= pieces; ++i)
      text += i == wrongAt ? bad[rng() % std::size(bad)] : good[rng() % std::size(good)];
    if (rng() % 8 == 0) text.pop_back();
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    const bool wellFormed = json::isWellFormedUTF8(p, p + text.size());
    auto out = json::JSONString(*arrayOf({Value(text)}));
    ASSERT_EQ(out.has_value(), wellFormed) << testing::PrintToString(text);
    if (out) {
      EXPECT_EQ(*out, "[\"" + text + "\"]");
      ++written;
    } else {
      ++refused;
    }
  }
  EXPECT_GT(written, 5000);
  EXPECT_GT(refused, 5000);
}

}  // namespace
}  // namespace kavro

namespace kavro {
namespace {

// The same values held in the platform's containers, each container a node of its own, in the
// order the original gives its pairs.
Value heldByHand(const Value& v) {
  if (auto d = v.dictionaryValue()) {
    auto copy = platform::MutableDictionary::create();
    d->enumerate([&](const std::string& key, const Value& value) {
      copy->setObject(heldByHand(value), key);
      return true;
    });
    return Value(copy);
  }
  if (auto a = v.arrayValue()) {
    auto copy = platform::MutableArray::create();
    for (std::size_t i = 0; i < a->count(); ++i) copy->addObject(heldByHand(a->objectAtIndex(i)));
    return Value(copy);
  }
  return v;
}

std::string written(const Value& root, JBSerializeOptions options = JBSerializeOptionNone) {
  platform::Error e;
  auto s = root.arrayValue() ? json::JSONString(*root.arrayValue(), options, &e)
                             : json::JSONString(*root.dictionaryValue(), options, &e);
  EXPECT_TRUE(s) << e.localizedDescription;
  return s.value_or("<failed>");
}

// A decoded document whose small containers repeat (the same prices and areas in every
// performance, as a catalogue has) comes out as the same values held one node each, with every
// option, in short answers and in long ones written straight into the text handed out.
TEST(JBSerializer, RepeatedDecodedContainersComeOutAsTheSameValuesHeldApart) {
  for (int performances : {3, 40, 3000}) {
    std::string text = "{\"performances\":[";
    for (int i = 0; i < performances; ++i) {
      text += i ? "," : "";
      text +=
          R"({"id":)" + std::to_string(339887544 + i % 5) +
          R"(,"logo":null,"prices":[{"amount":90250,"audienceSubCategoryId":337100890,"seatCategoryId":338937295},)"
          R"({"amount":66500,"audienceSubCategoryId":337100890,"seatCategoryId":338937296}],)"
          R"("seatCategories":[{"areas":[{"areaId":205705999,"blockIds":[]},{"areaId":205705998,"blockIds":[]}],)"
          R"("seatCategoryId":338937295},{"areas":[[1,"a\/\u00e9"],[2,["\n"]]],"seatCategoryId":)" +
          std::to_string(i % 3) + R"(}],"venueCode":"PLEYEL_PLEYEL","tags":[[],{},[[]],[{}]]})";
    }
    text += "],\"areas\":[{\"areaId\":205705999,\"blockIds\":[]},[1,\"a\\/\\u00e9\"]]}";
    const Value decoded = json::objectFromJSONString(text);
    ASSERT_TRUE(decoded.dictionaryValue());
    const Value apart = heldByHand(decoded);
    for (JBSerializeOptions options : {JBSerializeOptionNone, JBSerializeOptionPretty,
                                       JBSerializeOptionEscapeNonASCII | JBSerializeOptionEscapeSlash}) {
      SCOPED_TRACE(testing::Message()
                   << performances << " performances, options " << static_cast<int>(options));
      const std::string ours = written(decoded, options);
      const std::string theirs = written(apart, options);
      const auto differ = std::mismatch(ours.begin(), ours.end(), theirs.begin(), theirs.end());
      EXPECT_TRUE(ours == theirs) << "from byte " << (differ.first - ours.begin()) << ": "
                                  << std::string(differ.first, ours.end()).substr(0, 200) << "\ninstead of "
                                  << std::string(differ.second, theirs.end()).substr(0, 200);
      EXPECT_EQ(json::objectFromJSONString(ours), decoded);
    }
  }
}

// One decoded node met at several places and depths: each place gets the text of the node as it
// stands, indented for its depth when pretty.
TEST(JBSerializer, OneDecodedNodeAtSeveralPlacesComesOutForEachPlace) {
  const Value node = json::mutableObjectFromJSONString(R"({"a":[1,{"b":null}],"c":"\u00e9"})");
  const Value list = json::mutableObjectFromJSONString("[[1,2]]");
  auto root = arrayOf({node, list, Value(arrayOf({node, Value(arrayOf({node, list}))})), node});
  const std::string one = R"({"a":[1,{"b":null}],"c":"é"})";
  EXPECT_EQ(compact(*root), "[" + one + ",[[1,2]],[" + one + ",[" + one + ",[[1,2]]]]," + one + "]");
  EXPECT_EQ(compact(*root), compact(*heldByHand(Value(root)).arrayValue()));
  EXPECT_EQ(compact(*root, JBSerializeOptionPretty),
            compact(*heldByHand(Value(root)).arrayValue(), JBSerializeOptionPretty));
}

// A formatter may change a node between two places the node is met: the later place shows the
// change.
TEST(JBSerializer, ANodeChangedByAFormatterComesOutChangedAfterwards) {
  const Value node = json::mutableObjectFromJSONString(R"({"x":1})");
  const Value list = json::mutableObjectFromJSONString("[[1]]");
  auto root = arrayOf({node, list, Value(platform::Data{1}), node, list});
  JBUnsupportedClassFormatter change = [&](const Value&) -> std::optional<Value> {
    std::dynamic_pointer_cast<platform::MutableDictionary>(node.dictionaryValue())->setObject(Value(2), "x");
    std::dynamic_pointer_cast<platform::MutableArray>(list.arrayValue())->addObject(Value(3));
    return Value("changed");
  };
  EXPECT_EQ(json::JSONString(*root, JBSerializeOptionNone, change).value_or("<failed>"),
            R"([{"x":1},[[1]],"changed",{"x":2},[[1],3]])");
}

// A decoded list that a formatter makes longer while it is written is caught, as a list held by
// hand is; one it leaves alone is written whole.
TEST(JBSerializer, ADecodedListChangedWhileWrittenIsCaught) {
  const Value decoded = json::mutableObjectFromJSONString("[1,2]");
  auto list = std::dynamic_pointer_cast<platform::MutableArray>(decoded.arrayValue());
  ASSERT_TRUE(list);
  list->insertObject(Value(platform::Data{1}), 1);
  JBUnsupportedClassFormatter quiet = [](const Value&) -> std::optional<Value> { return Value("d"); };
  EXPECT_EQ(json::JSONString(*list, JBSerializeOptionNone, quiet).value_or("<failed>"), R"([1,"d",2])");
  JBUnsupportedClassFormatter grow = [&](const Value&) -> std::optional<Value> {
    for (int i = 0; i < 100; ++i) list->addObject(Value(i));
    return Value("d");
  };
  try {
    json::JSONString(*list, JBSerializeOptionNone, grow);
    ADD_FAILURE() << "no exception";
  } catch (const platform::Exception& x) {
    EXPECT_EQ(x.reason(), "*** Collection <kavro::JBArray> was mutated while being enumerated.");
  }
}

// A decoded node written near the top and met again so deep that writing it would pass the
// nesting limit fails there as writing it would, alone or inside another node that holds it.
TEST(JBSerializer, ARepeatedNodeTooDeepDownFailsAsWritingItWould) {
  const Value doc = json::objectFromJSONString(R"([[[1]],[[[1]]],[[[[1]]]]])");
  ASSERT_TRUE(doc.arrayValue());
  for (std::size_t index = 0; index < 3; ++index) {
    const Value node = doc.arrayValue()->objectAtIndex(index);
    const std::size_t levels = index + 2;  // the node's own levels
    for (std::size_t above : {JBMaximumNestingDepth - levels, JBMaximumNestingDepth - levels + 1}) {
      // doc first, then node under `above` levels (the root's one included).
      auto chain = arrayOf({node});
      for (std::size_t i = 2; i < above; ++i) chain = arrayOf({Value(chain)});
      auto root = arrayOf({doc, Value(chain)});
      SCOPED_TRACE(testing::Message() << "node " << index << " under " << above);
      if (above + levels <= JBMaximumNestingDepth)
        EXPECT_TRUE(json::JSONString(*root));
      else
        EXPECT_EQ(failure(*root),
                  "Unable to serialize arrays and dictionaries nested deeper than 512 levels.");
    }
  }
}

}  // namespace
}  // namespace kavro
