#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kit/codec/json/DataJSONBoxDeserializing.h"
#include "kit/codec/json/JBArray.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JSONDecoder.h"
#include "kit/codec/json/StringJSONBoxDeserializing.h"
#include "kit/codec/json/UTF8Conversion.h"
#include "platform/foundation/Dictionary.h"

namespace kavro {
namespace {

using platform::Value;

const char* const kUnexpected =
    "Unexpected token, wanted '{', '}', '[', ']', ',', ':', 'true', 'false', 'null', '\"STRING\"', 'NUMBER'.";
const char* const kEnd = "Reached the end of the buffer.";

struct Outcome {
  Value value;
  bool failed = false;
  platform::Error error;
  std::string message() const { return error.localizedDescription; }
  std::uint64_t index() const { return error.userInfo->valueForKey(JBAtIndexKey).uintValue(); }
  std::uint64_t line() const { return error.userInfo->valueForKey(JBLineNumberKey).uintValue(); }
};

// What reading text gives, the same whether the decoder learns the layouts of its dictionaries or
// not: the same tree with its pairs in the same order, or the same error at the same place and line.
void expectLearningChangesNothing(std::string_view text, JBParseOptions options, bool mutableResult,
                                  const Value& learnt, const platform::Error& learntError) {
  platform::Error plainError;
  const Value plain = JSONDecoder::parseOnce(text.data(), text.size(), options, mutableResult, &plainError,
                                             JBLayoutLearning::Off);
  ASSERT_EQ(plain.isNull(), learnt.isNull()) << text;
  if (plain.isNull()) {
    EXPECT_EQ(plainError.localizedDescription, learntError.localizedDescription) << text;
    EXPECT_EQ(plainError.userInfo->valueForKey(JBAtIndexKey), learntError.userInfo->valueForKey(JBAtIndexKey))
        << text;
    EXPECT_EQ(plainError.userInfo->valueForKey(JBLineNumberKey),
              learntError.userInfo->valueForKey(JBLineNumberKey))
        << text;
  } else {
    EXPECT_EQ(plain, learnt) << text;
    EXPECT_EQ(plain.description(), learnt.description()) << text;
  }
}

// Every text a test reads here is read with and without learning layouts too.
Outcome decode(std::string_view text, JBParseOptions options = JBParseOptionNone) {
  Outcome o;
  o.value = json::objectFromJSONData(platform::dataFromString(text), options, &o.error);
  o.failed = o.value.isNull();
  expectLearningChangesNothing(text, options, false, o.value, o.error);
  return o;
}

// Records whose keys are written in other ways than in the record before (escaped, with a quotation
// mark or backslash in them, with space before the ':', cut short) read as a decoder that keeps a
// value cache reads them: same values, or the same error at the same place.
// A decoder made for one parse (which takes keys as the record before wrote them) reads text as
// a kept decoder (which looks every key up in its cache) does: the same tree, pairs in the same
// order, or the same error at the same place.
void expectAsALookingUpDecoderReads(const std::string& text) {
  platform::Error onceError, keptError;
  const Value once = JSONDecoder::parseOnce(text.data(), text.size(), JBParseOptionNone, false, &onceError);
  ASSERT_NO_FATAL_FAILURE(expectLearningChangesNothing(text, JBParseOptionNone, false, once, onceError));
  // Kept decoders, learning layouts and not.
  for (const JBLayoutLearning learning : {JBLayoutLearning::On, JBLayoutLearning::Off}) {
    auto kept = JSONDecoder::decoder();
    kept->setLayoutLearning(learning);
    const Value withCache = kept->objectWithUTF8String(text.data(), text.size(), &keptError);
    ASSERT_EQ(once.isNull(), withCache.isNull()) << text;
    if (once.isNull()) {
      ASSERT_EQ(onceError.localizedDescription, keptError.localizedDescription) << text;
      ASSERT_EQ(onceError.userInfo->valueForKey(JBAtIndexKey), keptError.userInfo->valueForKey(JBAtIndexKey))
          << text;
      ASSERT_EQ(onceError.userInfo->valueForKey(JBLineNumberKey),
                keptError.userInfo->valueForKey(JBLineNumberKey))
          << text;
    } else {
      ASSERT_EQ(once, withCache) << text;
      // Pairs come out in the same order too.
      ASSERT_EQ(once.description(), withCache.description()) << text;
    }
  }
}

std::string errorOf(std::string_view text, JBParseOptions options = JBParseOptionNone) {
  Outcome o = decode(text, options);
  EXPECT_TRUE(o.failed) << text;
  return o.message();
}

// The one element of a one-element array.
Value element(std::string_view text, JBParseOptions options = JBParseOptionNone) {
  Outcome o = decode(text, options);
  EXPECT_FALSE(o.failed) << text << ": " << o.message();
  auto a = o.value.arrayValue();
  if (!a || a->count() != 1) {
    ADD_FAILURE() << "not a one-element array: " << text;
    return Value();
  }
  return a->objectAtIndex(0);
}

std::string stringElement(std::string_view text, JBParseOptions options = JBParseOptionNone) {
  return element(text, options).stringValue();
}

TEST(JSONDecoder, ParsesContainersAndScalars) {
  EXPECT_EQ(decode("{}").value.dictionaryValue()->count(), 0u);
  EXPECT_EQ(decode("[]").value.arrayValue()->count(), 0u);
  auto a = decode(" \t[ 1 ,\r\n 2 ] \n").value.arrayValue();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->objectAtIndex(1).intValue(), 2);

  auto d = decode(R"({"s":"x","t":true,"f":false,"n":null,"a":[{"k":[]}],"o":{}})").value.dictionaryValue();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->count(), 6u);
  EXPECT_EQ(d->valueForKey("s").stringValue(), "x");
  EXPECT_TRUE(d->valueForKey("t").isBool());
  EXPECT_TRUE(d->valueForKey("t").boolValue());
  EXPECT_FALSE(d->valueForKey("f").boolValue());
  EXPECT_TRUE(d->objectForKey("n") && d->objectForKey("n")->isNull());
  EXPECT_TRUE(d->valueForKey("a").arrayValue()->objectAtIndex(0).dictionaryValue()->objectForKey("k"));
  EXPECT_EQ(d->valueForKey("o").dictionaryValue()->count(), 0u);
  EXPECT_TRUE(std::dynamic_pointer_cast<JBDictionary>(d));
  EXPECT_TRUE(std::dynamic_pointer_cast<JBArray>(d->valueForKey("a").arrayValue()));
}

TEST(JSONDecoder, RootMustBeAContainerFollowedByAByte) {
  EXPECT_EQ(errorOf("\"abc\" "), "Expected either '[' or '{'.");
  EXPECT_EQ(errorOf("42 "), "Expected either '[' or '{'.");
  EXPECT_EQ(errorOf("true "), "Expected either '[' or '{'.");
  EXPECT_EQ(errorOf("null "), "Expected either '[' or '{'.");
  EXPECT_EQ(errorOf("42"), "Invalid number.");
  EXPECT_EQ(errorOf("true"), kUnexpected);
  EXPECT_EQ(errorOf(""), kEnd);
  EXPECT_EQ(errorOf("  \n "), kUnexpected);
  EXPECT_EQ(errorOf("[1,"), kEnd);
  EXPECT_EQ(errorOf("[1, "), kUnexpected);
  EXPECT_EQ(errorOf("[[[1,"), kEnd);
  EXPECT_EQ(errorOf("{"), kEnd);
  EXPECT_EQ(errorOf("@"), kUnexpected);
}

// White space to the end, where a dictionary's first key or its '}' should come, is an unexpected
// token at the end of the text, as anywhere else; only text ending right after the '{' (or a comma)
// reached the end of the buffer. At every depth, with or without records before it, in text a kept
// decoder, a decoder for one parse and one not learning layouts read, the message, index and line
// agree.
TEST(JSONDecoder, WhiteSpaceToTheEndInsideADictionary) {
  const std::string records = R"({"a":1,"b":{"c":2}},{"a":3,"b":{"c":4}},)";
  for (const std::string& blank : {std::string(" "), std::string("\n"), std::string("\t\r\n  "),
                                   std::string(17, ' '), std::string("\n") + std::string(40, ' ')}) {
    for (std::size_t depth = 1; depth <= 20; ++depth) {
      for (const std::string& before : {std::string(), std::string("["), "[" + records}) {
        std::string text = before;
        for (std::size_t d = 1; d < depth; ++d) text += R"({"k":)";
        text += "{" + blank;
        const Outcome o = decode(text);
        ASSERT_TRUE(o.failed) << text;
        EXPECT_EQ(o.message(), kUnexpected) << text;
        EXPECT_EQ(o.index(), text.size()) << text;
        EXPECT_EQ(o.line(), 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'))) << text;
        ASSERT_NO_FATAL_FAILURE(expectAsALookingUpDecoderReads(text));
        // Without the blank the text ends right after the '{'.
        text.resize(text.size() - blank.size());
        EXPECT_EQ(errorOf(text), kEnd) << text;
        ASSERT_NO_FATAL_FAILURE(expectAsALookingUpDecoderReads(text));
      }
    }
  }
  EXPECT_EQ(errorOf("{ "), kUnexpected);
  EXPECT_EQ(errorOf("{\n"), kUnexpected);
  EXPECT_EQ(errorOf("[{\n"), kUnexpected);
  EXPECT_EQ(errorOf(R"({"a":1, )"), kUnexpected);
  EXPECT_EQ(errorOf(R"({"a":1,)"), kEnd);
  // Comments count as white space where they are allowed.
  EXPECT_EQ(errorOf("{ /* open", JBParseOptionAllowComments), kUnexpected);
  EXPECT_EQ(errorOf("[{ // to the end", JBParseOptionAllowComments), kUnexpected);
}

TEST(JSONDecoder, GrammarErrors) {
  EXPECT_EQ(errorOf("[1,]"), "Unexpected ']'.");
  EXPECT_EQ(errorOf(R"({"a":1,})"), "Unexpected '}'.");
  EXPECT_EQ(errorOf("[1 2]"), "Unexpected value.");
  EXPECT_EQ(errorOf("[,1]"), "Unexpected ','.");
  EXPECT_EQ(errorOf("[1,,2]"), "Unexpected ','.");
  EXPECT_EQ(errorOf("{1:2}"), "Expected a \"STRING\" or a '}', not '1'");
  EXPECT_EQ(errorOf(R"({"a" 1})"), "Expected ':'.");
  EXPECT_EQ(errorOf("[1:2]"), "Expected a comma or a ']', not ':'");
  EXPECT_EQ(errorOf("[:]"), "Expected a value or a ']', not ':'");
  EXPECT_EQ(errorOf("[1,:]"), "Expected a value, not ':'");
  EXPECT_EQ(errorOf(R"({"a":]})"), "Expected a value or a '}', not ']'");
  EXPECT_EQ(errorOf(R"({"a":1,"b":})"), "Expected a value, not '}'");
  EXPECT_EQ(errorOf(R"({"a":1 "b":2})"), "Unexpected string.");
  EXPECT_EQ(errorOf(R"({"a":1:})"), "Expected a comma or a '}', not ':'");
  EXPECT_EQ(errorOf(R"({"a":1,])"), "Expected a \"STRING\", not ']'");
  EXPECT_EQ(errorOf("[}"), "Expected a value or a ']', not '}'");
  EXPECT_EQ(errorOf("[1}"), "Expected a comma or a ']', not '}'");
}

TEST(JSONDecoder, Words) {
  auto a = decode("[true,false,null]").value.arrayValue();
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->objectAtIndex(0).boolValue());
  EXPECT_TRUE(a->objectAtIndex(1).isBool());
  EXPECT_TRUE(a->objectAtIndex(2).isNull());
  EXPECT_EQ(errorOf("[tru]"), kUnexpected);
  EXPECT_EQ(errorOf("[nul]"), kUnexpected);
  EXPECT_EQ(errorOf("[True]"), kUnexpected);
  EXPECT_EQ(errorOf("[true"), kUnexpected);
  EXPECT_EQ(errorOf("[true "), kUnexpected);

  // After a line break, a tab, several spaces or a comment, as pretty-printed text has them.
  for (std::string_view text : {"[\ntrue,\n\tfalse,  null]", "[\r\n  true,\tfalse,\n\n null\n]",
                                "[/* on */ true, // off\n false, null]"}) {
    Outcome o = decode(text, JBParseOptionAllowComments);
    ASSERT_FALSE(o.failed) << text << ": " << o.message();
    auto words = o.value.arrayValue();
    ASSERT_TRUE(words && words->count() == 3) << text;
    EXPECT_TRUE(words->objectAtIndex(0).boolValue()) << text;
    EXPECT_TRUE(words->objectAtIndex(1).isBool()) << text;
    EXPECT_FALSE(words->objectAtIndex(1).boolValue()) << text;
    EXPECT_TRUE(words->objectAtIndex(2).isNull()) << text;
  }
  auto d = decode("{\n  \"t\":\n    true,\n  \"f\":  false,\n  \"n\":\tnull\n}").value.dictionaryValue();
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->valueForKey("t").boolValue());
  EXPECT_FALSE(d->valueForKey("f").boolValue());
  EXPECT_TRUE(d->valueForKey("n").isNull());
  EXPECT_EQ(errorOf("[\n  tru]"), kUnexpected);
  EXPECT_EQ(errorOf("[\n  nulx]"), kUnexpected);
  EXPECT_EQ(errorOf("[\n  false"), kUnexpected);
  EXPECT_EQ(errorOf("[\n  falsey]"), kUnexpected);
}

TEST(JSONDecoder, ErrorCarriesDomainIndexAndLine) {
  Outcome o = decode("[\n1,\n+]");
  ASSERT_TRUE(o.failed);
  EXPECT_EQ(o.error.domain, "JBErrorDomain");
  EXPECT_EQ(o.error.code, -1);
  EXPECT_EQ(o.message(), kUnexpected);
  EXPECT_EQ(o.line(), 3u);
  EXPECT_EQ(o.index(), 5u);

  // CR LF is one line break; a lone CR is one too.
  o = decode("[1,\r\n2,\r3,\r\n\r\n#]");
  EXPECT_EQ(o.line(), 5u);
  EXPECT_EQ(o.index(), 14u);

  // Errors inside a string are reported at its opening quotation mark.
  o = decode("[1,\n \"ab\\x\"]");
  EXPECT_EQ(o.message(), "Invalid escape sequence found in \"\" string.");
  EXPECT_EQ(o.index(), 5u);
  EXPECT_EQ(o.line(), 2u);

  // A number that cannot be represented is reported after it.
  o = decode("[18446744073709551616]");
  EXPECT_EQ(o.index(), 21u);
}

TEST(JSONDecoder, ErrorOutParameterUntouchedOnSuccess) {
  platform::Error e{"keep", 7, "as it was", nullptr, nullptr};
  Value v = json::objectFromJSONString("[1]", JBParseOptionNone, &e);
  EXPECT_FALSE(v.isNull());
  EXPECT_EQ(e.domain, "keep");
  EXPECT_TRUE(json::objectFromJSONString("[").isNull());  // no error asked for
}

TEST(JSONDecoder, TrailingText) {
  EXPECT_EQ(errorOf("[1]x"),
            "A valid JSON object was parsed but there were additional non-white-space characters remaining.");
  EXPECT_EQ(errorOf("[1] [2]"),
            "A valid JSON object was parsed but there were additional non-white-space characters remaining.");
  Outcome o = decode("[1]x", JBParseOptionAllowTrailingText);
  ASSERT_FALSE(o.failed);
  EXPECT_EQ(o.value.arrayValue()->count(), 1u);
  EXPECT_FALSE(decode("[1] \r\n\t").failed);
  // Form feed and vertical tab are not white space.
  EXPECT_TRUE(decode("[1]\f").failed);
  EXPECT_TRUE(decode("[\v1]").failed);
}

TEST(JSONDecoder, Comments) {
  const char* text = "[1 /* one */, 2 // two\n]";
  EXPECT_TRUE(decode(text).failed);
  Outcome o = decode(text, JBParseOptionAllowComments);
  ASSERT_FALSE(o.failed) << o.message();
  EXPECT_EQ(o.value.arrayValue()->count(), 2u);

  EXPECT_FALSE(decode("[1/*/,2]", JBParseOptionAllowComments).failed);
  EXPECT_TRUE(decode("[1/*/,2]").failed);
  EXPECT_FALSE(decode("[1] /* never closed", JBParseOptionAllowComments).failed);
  EXPECT_TRUE(decode("[1] /* never closed").failed);
  EXPECT_FALSE(decode("[1] // to the end", JBParseOptionAllowComments).failed);

  // Line breaks inside comments count.
  o = decode("[/* a\n b */ 1, // c\n #]", JBParseOptionAllowComments);
  EXPECT_EQ(o.line(), 3u);
  EXPECT_EQ(o.message(), kUnexpected);
  // A lone slash is not a comment.
  EXPECT_EQ(errorOf("[1 / 2]", JBParseOptionAllowComments), kUnexpected);
}

TEST(JSONDecoder, UnicodeLineBreaks) {
  const std::string ls = "[1,\xE2\x80\xA8 2,\xC2\x85 3,\xE2\x80\xA9#]";
  EXPECT_EQ(errorOf(ls), kUnexpected);
  Outcome o = decode(ls, JBParseOptionUnicodeLineBreaks);
  EXPECT_EQ(o.message(), kUnexpected);
  EXPECT_EQ(o.line(), 4u);
  EXPECT_FALSE(decode("[1,\xE2\x80\xA8 2]", JBParseOptionUnicodeLineBreaks).failed);
  // They end a line comment too.
  EXPECT_FALSE(
      decode("[1, // c\xE2\x80\xA9 2]", JBParseOptionUnicodeLineBreaks | JBParseOptionAllowComments).failed);
}

// Line numbers of errors after every kind of white space, line break and comment, long runs of
// indentation among them, with a fault at each place: the count made by hand agrees with the one
// kept while the text is read (which Unicode line breaks need; there are none here).
TEST(JSONDecoder, ErrorLinesCountEveryBreakBeforeThem) {
  const std::vector<std::pair<std::string, int>> gaps = {
      {" ", 0},
      {"\t", 0},
      {"\n", 1},
      {"\r\n", 1},
      {"\r", 1},
      {"\n\r", 2},
      {"\r\r\n", 2},
      {"/* a\r\nb\n */", 2},
      {"// c\r\n", 1},
      {"// d\r", 1},
      {"/*\r*/", 1},
      {"\n                    ", 1},
      {"\n\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t", 1},
      {"\n \n  \n   \n    \n     \n", 6},
      {std::string(40, ' ') + "\n" + std::string(17, '\t') + "\n", 2},
      {std::string(33, '\n'), 33}};
  std::mt19937 rng(41);
  for (int round = 0; round < 400; ++round) {
    std::string text = "{\"k\": [";
    int lines = 1;
    const int values = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < values; ++i) {
      const auto& gap = gaps[rng() % gaps.size()];
      text += gap.first;
      lines += gap.second;
      text += i == values - 1 ? "+" : "1,";
    }
    for (JBParseOptions options :
         {JBParseOptionAllowComments, JBParseOptionAllowComments | JBParseOptionUnicodeLineBreaks}) {
      Outcome o = decode(text + "]}", options);
      ASSERT_TRUE(o.failed) << text;
      EXPECT_EQ(o.message(), kUnexpected) << text;
      EXPECT_EQ(o.line(), static_cast<std::uint64_t>(lines)) << text;
      EXPECT_EQ(o.index(), text.size() - 1) << text;
    }
  }
}

// Empty lists are read without a token of their own: what follows them reads and fails as after
// any other value, at the same place.
TEST(JSONDecoder, WhatFollowsAnEmptyList) {
  const struct {
    const char* text;
    const char* message;  // nullptr: read
    std::uint64_t index;
  } cases[] = {
      {"[[]", kEnd, 3},
      {"[[],", kEnd, 4},
      {"[[],[],[", kEnd, 8},
      {"{\"a\":[]", kEnd, 7},
      {"[[]]x",
       "A valid JSON object was parsed but there were additional non-white-space characters remaining.", 4},
      {"[[]1]", "Unexpected value.", 4},
      {"{\"a\":[],}", "Unexpected '}'.", 9},
      {"{\"a\":[]]", "Expected a comma or a '}', not ']'", 8},
      {"[[] ,]", "Unexpected ']'.", 6},
      {"[[] ]", nullptr, 0},
      {"[[],{}]", nullptr, 0},
      {"{\"a\":[],\"b\":[]}", nullptr, 0},
  };
  for (const auto& c : cases) {
    Outcome o = decode(c.text);
    if (!c.message) {
      ASSERT_FALSE(o.failed) << c.text << ": " << o.message();
      continue;
    }
    ASSERT_TRUE(o.failed) << c.text;
    EXPECT_EQ(o.message(), c.message) << c.text;
    EXPECT_EQ(o.index(), c.index) << c.text;
  }
  EXPECT_EQ(element("[[]]").arrayValue()->count(), 0u);
  auto m = json::mutableObjectFromJSONString("[[],[]]").arrayValue();
  auto first = std::dynamic_pointer_cast<platform::MutableArray>(m->objectAtIndex(0).arrayValue());
  ASSERT_TRUE(first);
  first->addObject(Value(1));
  EXPECT_EQ(m->objectAtIndex(0).arrayValue()->count(), 1u);
  EXPECT_EQ(m->objectAtIndex(1).arrayValue()->count(), 0u);
}

TEST(JSONDecoder, InvalidOptionsRaise) {
  EXPECT_THROW(JSONDecoder::decoderWithParseOptions(static_cast<JBParseOptions>(16)),
               platform::InvalidArgumentException);
  EXPECT_THROW(json::objectFromJSONString("[]", static_cast<JBParseOptions>(16)),
               platform::InvalidArgumentException);
  try {
    JSONDecoder::decoderWithParseOptions(static_cast<JBParseOptions>(99));
    FAIL();
  } catch (const platform::InvalidArgumentException& e) {
    EXPECT_EQ(e.reason(), "Invalid parse options.");
  }
  auto d = JSONDecoder::decoderWithParseOptions(JBParseOptionValidFlags);
  EXPECT_THROW(d->objectWithUTF8String(nullptr, 3), platform::InvalidArgumentException);
  platform::Error e;
  EXPECT_TRUE(d->objectWithUTF8String(nullptr, 0, &e).isNull());
  EXPECT_EQ(e.localizedDescription, kEnd);
}

TEST(JSONDecoder, Numbers) {
  Value v = element("[0]");
  EXPECT_EQ(v.kind(), Value::Kind::Int);
  EXPECT_EQ(element("[-12]").intValue(), -12);
  EXPECT_EQ(element("[9223372036854775807]").kind(), Value::Kind::Int);
  v = element("[9223372036854775808]");
  EXPECT_EQ(v.kind(), Value::Kind::UInt);
  EXPECT_EQ(v.uintValue(), 9223372036854775808ull);
  v = element("[18446744073709551615]");
  EXPECT_EQ(v.kind(), Value::Kind::UInt);
  EXPECT_EQ(v.uintValue(), UINT64_MAX);
  v = element("[-9223372036854775808]");
  EXPECT_EQ(v.kind(), Value::Kind::Int);
  EXPECT_EQ(v.intValue(), INT64_MIN);

  v = element("[-0]");
  EXPECT_EQ(v.kind(), Value::Kind::Double);
  EXPECT_TRUE(std::signbit(v.doubleValue()));
  v = element("[1.5]");
  EXPECT_EQ(v.kind(), Value::Kind::Double);
  EXPECT_EQ(v.doubleValue(), 1.5);
  EXPECT_EQ(element("[1E2]").doubleValue(), 100.0);
  EXPECT_EQ(element("[1e+2]").doubleValue(), 100.0);
  EXPECT_EQ(element("[-2.5e-3]").doubleValue(), -0.0025);
  EXPECT_EQ(element("[1.0]").kind(), Value::Kind::Double);
  EXPECT_EQ(element("[0e-999]").doubleValue(), 0.0);
  // The smallest subnormal and the largest finite double.
  EXPECT_EQ(element("[5e-324]").doubleValue(), 4.9406564584124654e-324);
  EXPECT_EQ(element("[1.7976931348623157e308]").doubleValue(), 1.7976931348623157e308);
  EXPECT_EQ(element("[0.1]").doubleValue(), 0.1);

  EXPECT_EQ(errorOf("[01]"), "Unexpected value.");
  EXPECT_EQ(errorOf("[-00]"), "Unexpected value.");
  EXPECT_EQ(errorOf("[-]"), "Invalid number.");
  EXPECT_EQ(errorOf("[1.]"), "Invalid number.");
  EXPECT_EQ(errorOf("[.5]"), kUnexpected);
  EXPECT_EQ(errorOf("[1e]"), "Invalid number.");
  EXPECT_EQ(errorOf("[1e+]"), "Invalid number.");
  EXPECT_EQ(errorOf("[+1]"), kUnexpected);
  EXPECT_EQ(errorOf("[-a]"), "Invalid number.");
  EXPECT_EQ(errorOf("[1"), "Invalid number.");
  EXPECT_EQ(errorOf("[18446744073709551616]"),
            "The value '18446744073709551616' exceeded the maximum value that could be represented: "
            "18446744073709551615.");
  EXPECT_EQ(errorOf("[-9223372036854775809]"),
            "The value '-9223372036854775809' exceeded the minimum value that could be represented: "
            "-9223372036854775808.");
  EXPECT_EQ(errorOf("[1e999]"), "The value '1e999' could not be represented as a 'double' due to overflow.");
  EXPECT_EQ(errorOf("[-123.4e400]"),
            "The value '-123.4e400' could not be represented as a 'double' due to overflow.");
  EXPECT_EQ(errorOf("[1e-999]"),
            "The value '1e-999' could not be represented as a 'double' due to underflow.");
  EXPECT_EQ(errorOf("[0.00001e-320]"),
            "The value '0.00001e-320' could not be represented as a 'double' due to underflow.");
}

TEST(JSONDecoder, NumbersIgnoreTheProcessLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  // A locale with a decimal comma, when the machine has one.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    EXPECT_EQ(element("[2.5]").doubleValue(), 2.5);
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(element("[2.5]").doubleValue(), 2.5);
}

TEST(JSONDecoder, StringEscapes) {
  EXPECT_EQ(stringElement(R"(["a\"b\\c\/d\b\f\n\r\t"])"), "a\"b\\c/d\b\f\n\r\t");
  EXPECT_EQ(stringElement(R"(["\u00e9"])"), "\xC3\xA9");
  EXPECT_EQ(stringElement(R"(["\u00E9x\u0041"])"), "\xC3\xA9xA");
  EXPECT_EQ(stringElement(R"(["\u4e2d\u6587"])"), "中文");
  EXPECT_EQ(stringElement(R"(["\uD83D\uDE00"])"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(stringElement(R"(["\u0001"])"), std::string("\x01"));
  EXPECT_EQ(stringElement(R"(["plain then \n escape, then é"])"), "plain then \n escape, then é");

  EXPECT_EQ(
      errorOf(R"(["\uD83D"])"),
      "Required a second \\u Unicode escape sequence following a surrogate \\u Unicode escape sequence.");
  EXPECT_EQ(
      errorOf(R"(["\uD83Dx"])"),
      "Required a second \\u Unicode escape sequence following a surrogate \\u Unicode escape sequence.");
  EXPECT_EQ(
      errorOf(R"(["\uD83D\n"])"),
      "Required a second \\u Unicode escape sequence following a surrogate \\u Unicode escape sequence.");
  EXPECT_EQ(errorOf(R"(["\uDE00"])"), "Illegal \\u Unicode escape sequence.");
  EXPECT_EQ(errorOf(R"(["\uD83D\u0041"])"), "Illegal \\u Unicode escape sequence.");
  EXPECT_EQ(errorOf(R"(["\u0000"])"), "Illegal \\u Unicode escape sequence.");
  EXPECT_EQ(errorOf(R"(["\uFFFE"])"), "Illegal \\u Unicode escape sequence.");
  EXPECT_EQ(errorOf(R"(["\uFDD0"])"), "Illegal \\u Unicode escape sequence.");
  EXPECT_EQ(errorOf(R"(["\uD83F\uDFFF"])"), "Illegal \\u Unicode escape sequence.");  // U+1FFFF
  EXPECT_EQ(errorOf(R"(["\x"])"), "Invalid escape sequence found in \"\" string.");
  EXPECT_EQ(errorOf(R"(["\u12G4"])"),
            "Unexpected character found in \\u Unicode escape sequence.  Found 'G', expected [0-9a-fA-F].");
  EXPECT_EQ(errorOf("[\"\\u12\xC3\xA9\"]"),
            "Unexpected character found in \\u Unicode escape sequence.  Found '\xEF\xBF\xBD', expected "
            "[0-9a-fA-F].");
  EXPECT_EQ(errorOf("[\"a\tb\"]"), "Invalid character < 0x20 found in string: 0x09.");
  EXPECT_EQ(errorOf("[\"a\\n\x1f\"]"), "Invalid character < 0x20 found in string: 0x1f.");
  EXPECT_EQ(errorOf("[\"abc"), "Invalid string.");
  EXPECT_EQ(errorOf("[\""), "Invalid string.");
  EXPECT_EQ(errorOf("[\"ab\\"), "Invalid string.");
  EXPECT_EQ(errorOf("[\"\\u12"), "Invalid string.");
  EXPECT_EQ(errorOf("[\"\\uD83D\\"), "Invalid string.");
}

TEST(JSONDecoder, LenientEscapes) {
  const JBParseOptions L = JBParseOptionLenientUnicode;
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(stringElement(R"(["a\uD83Db"])", L), "a" + fffd + "b");
  EXPECT_EQ(stringElement(R"(["\uDE00"])", L), fffd);
  EXPECT_EQ(stringElement(R"(["\u0000"])", L), fffd);
  // A rejected pair is one replacement character.
  EXPECT_EQ(stringElement(R"(["\uD83D\u0041z"])", L), fffd + "z");
  // After a missing "u" the backslash and what follows are read again.
  EXPECT_EQ(stringElement(R"(["\uD83D\n"])", L), fffd + "\n");
  EXPECT_EQ(stringElement(R"(["\uD83D\"x"])", L), fffd + "\"x");
  // Bad hex digits stay errors.
  EXPECT_EQ(errorOf(R"(["\uZZZZ"])", L),
            "Unexpected character found in \\u Unicode escape sequence.  Found 'Z', expected [0-9a-fA-F].");
}

TEST(JSONDecoder, RawUTF8) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(stringElement("[\"中文 é 😀\"]"), "中文 é 😀");
  EXPECT_EQ(stringElement("[\"\xF4\x8F\xBF\xBD\"]"), "\xF4\x8F\xBF\xBD");  // U+10FFFD
  struct Case {
    std::string bytes;
    std::string lenient;
  };
  const Case illegal[] = {
      {"\xC0\x80", fffd},          // overlong NUL
      {"\xC1\xBF", fffd},          // overlong
      {"\xE0\x80\x80", fffd},      // overlong, three bytes
      {"\xF0\x80\x80\x80", fffd},  // overlong, four bytes
      {"\xED\xA0\x80", fffd},      // a surrogate
      {"\xED\xBF\xBF", fffd},      // a surrogate
      {"\xEF\xBF\xBE", fffd},      // U+FFFE
      {"\xEF\xBF\xBF", fffd},      // U+FFFF
      {"\xEF\xB7\x90", fffd},      // U+FDD0
      {"\xF0\x9F\xBF\xBE", fffd},  // U+1FFFE
      {"\xF4\x90\x80\x80", fffd},  // above U+10FFFF
      {"\xF5\x80\x80\x80", fffd},  // invalid lead
      {"\xFF", fffd},              // invalid lead
      {"\x80", fffd},              // lone continuation byte
      {"\x80\x80", fffd + fffd},   // each lone continuation byte on its own
      {"\xC3(", fffd + "("},       // missing continuation byte
      {"\xE4\xB8"
       "a",
       fffd + "a"},  // cut short before an ASCII byte
      {"a\xC3\xA9\xFF"
       "b",
       "a\xC3\xA9" + fffd + "b"},
  };
  for (const Case& c : illegal) {
    const std::string text = "[\"" + c.bytes + "\"]";
    EXPECT_EQ(errorOf(text), "Illegal UTF8 sequence found in \"\" string.") << text;
    EXPECT_EQ(stringElement(text, JBParseOptionLenientUnicode), c.lenient) << text;
  }
  // Cut off by the end of the input: an error even when lenient.
  for (const char* text : {"[\"\xE4\xB8", "[\"\xF0\x9F\x98", "[\"\xC3"}) {
    EXPECT_EQ(errorOf(text), "End of buffer reached while parsing UTF8 in \"\" string.") << text;
    EXPECT_EQ(errorOf(text, JBParseOptionLenientUnicode),
              "End of buffer reached while parsing UTF8 in \"\" string.");
  }
  // Outside strings, non-ASCII bytes are just unexpected.
  EXPECT_EQ(errorOf("[\xC3\xA9]"), kUnexpected);
}

TEST(JSONDecoder, StringAndDataEntryPointsReadTheSameBytes) {
  platform::Error e;
  EXPECT_TRUE(json::objectFromJSONString("[\"\xFF\"]", JBParseOptionNone, &e).isNull());
  EXPECT_EQ(e.localizedDescription, "Illegal UTF8 sequence found in \"\" string.");
  Value v = json::objectFromJSONString("[\"\xFF\"]", JBParseOptionLenientUnicode);
  ASSERT_TRUE(v.arrayValue());
  EXPECT_EQ(v.arrayValue()->objectAtIndex(0).stringValue(), "\xEF\xBF\xBD");
  v = json::mutableObjectFromJSONData(platform::dataFromString("{\"k\":[]}"));
  EXPECT_NO_THROW(std::dynamic_pointer_cast<JBDictionary>(v.dictionaryValue())->setObject(Value(1), "n"));
}

TEST(JSONDecoder, LongAndShortStringsAlike) {
  // Strings on both sides of the cache's length limit, plain and escaped, as values and keys.
  for (std::size_t n : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 64u, 1000u}) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
    EXPECT_EQ(stringElement("[\"" + s + "\"]"), s);
    EXPECT_EQ(stringElement("[\"" + s + "\\n\"]"), s + "\n");
    EXPECT_EQ(stringElement("[\"\\t" + s + "é\"]"), "\t" + s + "é");
    auto d = decode("{\"" + s + "\":1,\"" + s + "x\":2}").value.dictionaryValue();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->valueForKey(s).intValue(), 1);
    EXPECT_EQ(d->valueForKey(s + "x").intValue(), 2);
  }
}

TEST(JSONDecoder, DuplicateKeysKeepTheLastValue) {
  auto d = decode(R"({"a":1,"b":2,"a":3})").value.dictionaryValue();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->count(), 2u);
  EXPECT_EQ(d->valueForKey("a").intValue(), 3);
  EXPECT_EQ(d->valueForKey("b").intValue(), 2);
  EXPECT_EQ(d->allKeys().size(), 2u);

  // Many repeats of many keys, in a table that is completely full.
  std::string text = "{";
  for (int round = 0; round < 5; ++round)
    for (int k = 0; k < 30; ++k)
      text += "\"k" + std::to_string(k) + "\":" + std::to_string(round * 100 + k) + ",";
  text.back() = '}';
  d = decode(text).value.dictionaryValue();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->count(), 30u);
  for (int k = 0; k < 30; ++k) EXPECT_EQ(d->valueForKey("k" + std::to_string(k)).intValue(), 400 + k);

  // Long keys (each a copy of its own) and containers for values, through both entry points.
  const std::string longKey = "\"a key of more than sixteen bytes\"";
  const std::string repeated =
      "{" + longKey + ":[1]," + longKey + ":{\"x\":2},\"\":0,\"\":[]," + longKey + ":[3,{}]}";
  auto decoder = JSONDecoder::decoder();
  for (const Value& v :
       {decode(repeated).value, decoder->objectWithUTF8String(repeated.data(), repeated.size())}) {
    d = v.dictionaryValue();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->count(), 2u);
    EXPECT_EQ(d->valueForKey("a key of more than sixteen bytes").arrayValue()->objectAtIndex(0).intValue(),
              3);
    EXPECT_EQ(d->valueForKey("").arrayValue()->count(), 0u);
  }
}

TEST(JSONDecoder, EmptyKeysAndValues) {
  auto d = decode(R"({"":"","e":[]})").value.dictionaryValue();
  ASSERT_TRUE(d);
  ASSERT_TRUE(d->objectForKey(""));
  EXPECT_TRUE(d->objectForKey("")->isString());
  EXPECT_EQ(d->objectForKey("")->stringValue(), "");
}

TEST(JSONDecoder, NestingLimit) {
  const std::size_t limit = JBMaximumNestingDepth;
  std::string deep = std::string(limit, '[') + std::string(limit, ']');
  EXPECT_FALSE(decode(deep).failed);
  std::string tooDeep = std::string(limit + 1, '[') + std::string(limit + 1, ']');
  Outcome o = decode(tooDeep);
  ASSERT_TRUE(o.failed);
  EXPECT_EQ(o.message(), "Arrays and dictionaries are nested deeper than 512 levels.");
  EXPECT_EQ(o.index(), limit + 1);

  std::string mixed;
  for (std::size_t i = 0; i <= limit; ++i) mixed += "{\"a\":[";
  EXPECT_EQ(errorOf(mixed), "Arrays and dictionaries are nested deeper than 512 levels.");
  // Far deeper input ends in the same error, without exhausting the stack.
  EXPECT_EQ(errorOf(std::string(1'000'000, '[')),
            "Arrays and dictionaries are nested deeper than 512 levels.");
}

TEST(JSONDecoder, MutableResults) {
  platform::Error e;
  Value v = json::mutableObjectFromJSONString(R"({"a":[1]})", JBParseOptionNone, &e);
  auto d = std::dynamic_pointer_cast<JBDictionary>(v.dictionaryValue());
  ASSERT_TRUE(d);
  d->setObject(Value(2), "b");
  auto a = std::dynamic_pointer_cast<JBArray>(d->valueForKey("a").arrayValue());
  ASSERT_TRUE(a);
  a->addObject(Value("x"));
  EXPECT_EQ(a->count(), 2u);

  auto immutable = std::dynamic_pointer_cast<JBArray>(
      json::objectFromJSONData(platform::dataFromString("[1]")).arrayValue());
  ASSERT_TRUE(immutable);
  EXPECT_THROW(immutable->addObject(Value(1)), platform::InternalInconsistencyException);

  auto decoder = JSONDecoder::decoder();
  auto m = decoder->mutableObjectWithData(platform::dataFromString("[[]]")).arrayValue();
  EXPECT_NO_THROW(std::dynamic_pointer_cast<JBArray>(m->objectAtIndex(0).arrayValue())->addObject(Value(1)));
}

TEST(JSONDecoder, DecoderIsReusable) {
  auto decoder = JSONDecoder::decoder();
  platform::Error e;
  EXPECT_TRUE(decoder->objectWithUTF8String("[1,", 3, &e).isNull());
  EXPECT_EQ(e.localizedDescription, kEnd);
  // A failed parse leaves nothing behind for the next one.
  const std::string text = R"({"a":[1,2,{"b":"c"}]})";
  Value v = decoder->parseUTF8String(text.data(), text.size());
  ASSERT_TRUE(v.dictionaryValue());
  EXPECT_EQ(v.dictionaryValue()->valueForKey("a").arrayValue()->count(), 3u);
  platform::Error second;
  EXPECT_TRUE(decoder->parseJSONData(platform::dataFromString("[\"\\q\"]"), &second).isNull());
  EXPECT_EQ(second.localizedDescription, "Invalid escape sequence found in \"\" string.");
  EXPECT_EQ(second.userInfo->valueForKey(JBLineNumberKey).uintValue(), 1u);
}

// Numbers read the same whether or not they take the short ways for exact integers and short
// decimals: integers as the general conversion gives them, decimals to the nearest double.
// The number that starts the array of doc, written as text, against the general conversion of
// text: the same double bit for bit, or a failure where that fails.
void expectDoubleAsGeneral(const std::string& text, const std::string& doc) {
  double expected;
  const bool representable =
      std::from_chars(text.data(), text.data() + text.size(), expected).ec == std::errc();
  Outcome o = decode(doc);
  if (!representable) {
    EXPECT_TRUE(o.failed) << text;
    return;
  }
  ASSERT_FALSE(o.failed) << text << ": " << o.message();
  const Value v = o.value.arrayValue()->objectAtIndex(0);
  ASSERT_EQ(v.kind(), Value::Kind::Double) << text;
  const double got = v.doubleValue();
  ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text;
}

TEST(JSONDecoder, NumbersAgreeWithTheGeneralConversion) {
  std::mt19937_64 rng(11);
  auto digits = [&](std::size_t n, bool leadingNonZero) {
    std::string d;
    for (std::size_t i = 0; i < n; ++i)
      d += static_cast<char>('0' + (i == 0 && leadingNonZero ? 1 + rng() % 9 : rng() % 10));
    return d;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string text = rng() % 3 == 0 ? "-" : "";
    text += rng() % 10 == 0 ? "0" : digits(1 + rng() % 21, true);
    const bool fraction = rng() % 2 == 0;
    const bool exponent = rng() % 4 == 0;
    if (fraction) text += "." + digits(1 + rng() % 20, false);
    if (exponent) {
      text += rng() % 2 ? "e" : "E";
      if (rng() % 2) text += rng() % 2 ? "-" : "+";
      text += digits(1 + rng() % 3, false);
    }
    const char* first = text.data();
    const char* last = first + text.size();
    // The bytes just past the digits' range end a number; a long tail lets digits be read many at
    // a time.
    for (const char* after : {"/]", ":]"}) EXPECT_TRUE(decode("[" + text + after).failed) << text << after;
    // Near the end, a little before it, and well before it (where the longest integers are read
    // whole).
    const char* const after = round % 3 == 0   ? "]"
                              : round % 3 == 1 ? ",   0, 1, 2]"
                                               : ",   0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 4, 5, 6]";
    if (fraction || exponent || text == "-0") {
      ASSERT_NO_FATAL_FAILURE(expectDoubleAsGeneral(text, "[" + text + after));
      continue;
    }
    Outcome o = decode("[" + text + after);
    if (text[0] == '-') {
      std::int64_t expected;
      if (std::from_chars(first, last, expected).ec != std::errc()) {
        EXPECT_TRUE(o.failed) << text;
        continue;
      }
      ASSERT_FALSE(o.failed) << text;
      const Value v = o.value.arrayValue()->objectAtIndex(0);
      ASSERT_EQ(v.kind(), Value::Kind::Int) << text;
      ASSERT_EQ(v.intValue(), expected) << text;
    } else {
      std::uint64_t expected;
      if (std::from_chars(first, last, expected).ec != std::errc()) {
        EXPECT_TRUE(o.failed) << text;
        continue;
      }
      ASSERT_FALSE(o.failed) << text;
      const Value v = o.value.arrayValue()->objectAtIndex(0);
      ASSERT_EQ(v.kind(), expected < (std::uint64_t{1} << 63) ? Value::Kind::Int : Value::Kind::UInt) << text;
      ASSERT_EQ(v.uintValue(), expected) << text;
    }
  }
  // The edges of the integers, with room for them to be read whole.
  const std::string tail = ", 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1]";
  for (const char* edge :
       {"-9223372036854775808", "18446744073709551615", "9999999999999999999", "-999999999999999999",
        "1000000000000000", "-1000000000000000000", "12345678901234567890"}) {
    Outcome o = decode("[" + std::string(edge) + tail);
    ASSERT_FALSE(o.failed) << edge << ": " << o.message();
    EXPECT_EQ(o.value.arrayValue()->objectAtIndex(0).description(), edge);
  }
  for (const char* beyond : {"-9223372036854775809", "18446744073709551616", "-18446744073709551615",
                             "98765432109876543210", "00000000000000001"}) {
    EXPECT_TRUE(decode("[" + std::string(beyond) + tail).failed) << beyond;
  }
  // Long integers that go on as decimals take the general way, to the same double.
  ASSERT_NO_FATAL_FAILURE(expectDoubleAsGeneral("1234567890123456789.5", "[1234567890123456789.5" + tail));
  ASSERT_NO_FATAL_FAILURE(expectDoubleAsGeneral("-1234567890123456789e3", "[-1234567890123456789e3" + tail));
}

// Numbers of 15 to 19 significant digits, the most that are read whole, at every power of ten a
// double reaches and past it, and the integers halfway between two doubles (and one either side)
// written as decimals: each reads as the double the general conversion gives, bit for bit, or
// fails where that fails.
TEST(JSONDecoder, ManyDigitNumbersRoundAsTheGeneralConversion) {
  std::mt19937_64 rng(23);
  auto expectAsGeneral = [](const std::string& text) {
    // Inside a long document and near its end: the two ways to the digits.
    ASSERT_NO_FATAL_FAILURE(
        expectDoubleAsGeneral(text, "[" + text + ",0,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6]"));
    ASSERT_NO_FATAL_FAILURE(expectDoubleAsGeneral(text, "[" + text + "]"));
  };
  for (int round = 0; round < 20000; ++round) {
    const std::size_t count = 15 + rng() % 5;
    std::string digits(1, static_cast<char>('1' + rng() % 9));
    while (digits.size() < count) digits += static_cast<char>('0' + rng() % 10);
    const std::string sign = rng() % 2 ? "-" : "";
    // A point somewhere in the digits, or an exponent from below the smallest subnormal to past
    // the largest double.
    const std::size_t point = 1 + rng() % (count - 1);
    expectAsGeneral(sign + digits.substr(0, point) + "." + digits.substr(point));
    expectAsGeneral(sign + "0." + digits);
    const int exponent = -350 + static_cast<int>(rng() % 680);
    expectAsGeneral(sign + digits.substr(0, point) + "." + digits.substr(point) + "e" +
                    std::to_string(exponent));
    expectAsGeneral(sign + digits + "e" + std::to_string(exponent));
  }
  for (int round = 0; round < 5000; ++round) {
    // A double of 2^53 to 2^63, whose neighbours are whole numbers apart, and the whole number
    // halfway to the next one.
    const double d =
        std::ldexp(1.0 + static_cast<double>(rng() >> 12) * 0x1p-52, 53 + static_cast<int>(rng() % 10));
    const auto halfway =
        static_cast<std::uint64_t>(d) + static_cast<std::uint64_t>(std::nextafter(d, INFINITY) - d) / 2;
    for (std::uint64_t near : {halfway - 1, halfway, halfway + 1}) {
      const std::string whole = std::to_string(near);
      expectAsGeneral(whole + ".0");
      expectAsGeneral(whole + "e0");
      expectAsGeneral(whole.substr(0, whole.size() - 1) + "." + whole.substr(whole.size() - 1) + "e1");
    }
  }
}

// Decimals exactly halfway between two doubles round to the even one. With up to 19 digits that
// can happen only from 10^-4 to 10^23 (1e23 itself among them): at each power, both ends included,
// the halfway decimals and their neighbours read as the general conversion reads them.
TEST(JSONDecoder, DecimalsHalfwayBetweenDoublesRoundToEven) {
  using U128 = unsigned __int128;
  std::mt19937_64 rng(1023);
  auto expectAsGeneral = [](const std::string& text) {
    ASSERT_NO_FATAL_FAILURE(expectDoubleAsGeneral(text, "[" + text + "]"));
    ASSERT_NO_FATAL_FAILURE(
        expectDoubleAsGeneral(text, "[" + text + ",0,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6]"));
  };
  for (const char* known : {"1e23", "2e23", "4e23", "8e23", "-1e23", "5629499534213120625e-4"})
    ASSERT_NO_FATAL_FAILURE(expectAsGeneral(known));
  constexpr U128 kLimit = 10'000'000'000'000'000'000ull;  // 19 digits
  for (int q = -6; q <= 25; ++q) {
    U128 five = 1;
    for (int i = 0; i < (q < 0 ? -q : q); ++i) five *= 5;
    int found = 0;
    for (int tries = 0; tries < 4000 && found < 40; ++tries) {
      // The value is an odd significand of 54 bits (half a unit past a 53-bit one) times a power of
      // two: o * 5^q for a power q >= 0, the significand itself divided by 2^-q for q < 0.
      constexpr U128 kLow = U128{1} << 53, kHigh = kLow << 1;
      U128 w;
      if (q >= 0) {
        const U128 lo = (kLow + five - 1) / five, hi = (kHigh - 1) / five + 1;
        if (lo >= hi) break;
        w = (lo + static_cast<U128>(rng()) % (hi - lo)) | 1;
        if (w * five >= kHigh) continue;
      } else {
        w = (kLow | (rng() & ((std::uint64_t{1} << 53) - 1)) | 1) * five;
      }
      w <<= rng() % 4;
      if (w == 0 || w >= kLimit) continue;
      ++found;
      for (const U128 near : {w - 1, w, w + 1}) {
        const std::string digits = std::to_string(static_cast<std::uint64_t>(near));
        ASSERT_NO_FATAL_FAILURE(expectAsGeneral(digits + "e" + std::to_string(q)));
        ASSERT_NO_FATAL_FAILURE(expectAsGeneral("-" + digits + "e" + std::to_string(q)));
      }
    }
    if (q >= -4 && q <= 23) {
      EXPECT_GT(found, 0) << q;
    }
  }
}

// Numbers of up to 8 digits with up to 8 after the point are read many digits at a time when
// enough text follows them: at each count of digits, around both limits, and at every distance
// from the end of the text, they read as the general conversion reads them.
TEST(JSONDecoder, ShortNumbersAtTheEdgesOfTheirFastPath) {
  std::mt19937_64 rng(5);
  auto digits = [&](std::size_t n) {
    std::string d;
    for (std::size_t i = 0; i < n; ++i) d += static_cast<char>('0' + (i == 0 ? 1 + rng() % 9 : rng() % 10));
    return d;
  };
  auto check = [&](const std::string& text, const std::string& doc) {
    Outcome o = decode(doc);
    ASSERT_FALSE(o.failed) << doc << ": " << o.message();
    const Value v = o.value.arrayValue()->objectAtIndex(0);
    const char* first = text.data();
    const char* last = first + text.size();
    if (text.find_first_of(".eE") != std::string::npos || text == "-0") {
      double expected = 0;
      ASSERT_EQ(std::from_chars(first, last, expected).ec, std::errc()) << text;
      ASSERT_EQ(v.kind(), Value::Kind::Double) << doc;
      const double got = v.doubleValue();
      ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << doc;
    } else {
      std::int64_t expected = 0;
      ASSERT_EQ(std::from_chars(first, last, expected).ec, std::errc()) << text;
      ASSERT_EQ(v.kind(), Value::Kind::Int) << doc;
      ASSERT_EQ(v.intValue(), expected) << doc;
    }
  };
  const std::string tail(40, ' ');
  for (std::size_t whole = 1; whole <= 10; ++whole) {
    for (std::size_t fraction = 0; fraction <= 10; ++fraction) {
      for (const char* sign : {"", "-"}) {
        for (const char* exponent : {"", "e2", "E-3"}) {
          std::string text = sign + digits(whole);
          if (fraction) text += "." + digits(fraction);
          text += exponent;
          check(text, "[" + text + tail + "]");
          check(text, "[" + text + ",1]");
          // All nines, and zeros after the point.
          std::string nines = sign + std::string(whole, '9');
          if (fraction) nines += "." + std::string(fraction, '9');
          check(nines, "[" + nines + "," + tail + "2]");
          if (fraction)
            check(std::string(sign) + "0." + std::string(fraction, '0'),
                  std::string("[") + sign + "0." + std::string(fraction, '0') + tail + "]");
        }
      }
    }
  }
  // Every distance from the end of the text.
  for (std::size_t pad = 0; pad <= 40; ++pad) {
    for (const std::string text : {"12345678", "-7", "0", "-0", "3.25", "-0.125", "98765432.12345678"})
      check(text, "[" + text + std::string(pad, ' ') + "]");
  }
  // What the fast path leaves to the general reader still fails as before.
  for (const std::string bad : {"[01", "[-01", "[00.5", "[1.", "[1.e5", "[-.5", "[1.5e", "[12345678.x"}) {
    const std::string text = bad + tail + "]";
    EXPECT_TRUE(decode(text).failed) << text;
  }
  EXPECT_EQ(errorOf("[01" + tail + "]"), "Unexpected value.");
  EXPECT_EQ(errorOf("[1." + tail + "]"), "Invalid number.");
  EXPECT_EQ(errorOf("[-" + tail + "]"), "Invalid number.");
}

// true, false and null are taken whole where they stand, and cut or misspelt words fail as the
// general reader fails them, in arrays and dictionaries, near the end of the text and far from it.
TEST(JSONDecoder, WordsNearAndFarFromTheEnd) {
  const std::string tail(40, ' ');
  for (const std::string& pad : {std::string(), tail}) {
    auto a = decode("[true,false,null" + pad + "]").value.arrayValue();
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->objectAtIndex(0).boolValue());
    EXPECT_FALSE(a->objectAtIndex(1).boolValue());
    EXPECT_TRUE(a->objectAtIndex(1).isBool());
    EXPECT_TRUE(a->objectAtIndex(2).isNull());
    auto d = decode("{\"a\":false,\"b\":true,\"c\":null" + pad + "}").value.dictionaryValue();
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->valueForKey("a").isBool());
    EXPECT_FALSE(d->valueForKey("a").boolValue());
    EXPECT_TRUE(d->valueForKey("b").boolValue());
    for (const std::string bad : {"[fals", "[falsy", "[nulL", "[trUe", "[tru", "[n", "[f"})
      EXPECT_EQ(errorOf(bad + pad + "]"), kUnexpected) << bad;
  }
  EXPECT_EQ(errorOf("[false"), kUnexpected);
  EXPECT_EQ(errorOf("[null"), kUnexpected);
  EXPECT_EQ(errorOf("{\"a\":true"), kUnexpected);
  EXPECT_FALSE(decode("[false]").failed);
  EXPECT_EQ(errorOf("[truefalse]"), "Unexpected value.");
}

// Documents of many kilobytes, whose text is checked piece by piece ahead of the strings read:
// strings of any length anywhere, across the pieces' ends, read back exactly; the first string
// that is not text fails the document with its own error at its own place, however far into the
// document it lies; bytes that are not text outside the strings (in a comment) spoil nothing.
TEST(JSONDecoder, LongDocumentsCheckedAheadOfTheirStrings) {
  const std::vector<std::pair<std::string, std::string>> good = {
      {"a", "a"}, {"中", "中"}, {"，", "，"}, {"é", "é"}, {R"(\n)", "\n"}, {R"(\u4e2d)", "中"}, {"😀", "😀"}};
  const std::vector<std::string> bad = {"\x80",         "\x80\x80\x80", "\xE4\xB8",
                                        "\xED\xA0\x80", "\xEF\xBF\xBF", "\xC0\xAF"};
  std::mt19937 rng(29);
  for (int round = 0; round < 120; ++round) {
    std::string text = "[";
    std::vector<std::string> expected;
    std::size_t firstBad = std::string::npos;
    const bool withComment = round % 4 == 0;
    while (text.size() < 40000 + rng() % 30000) {
      if (!expected.empty()) text += ',';
      if (withComment && rng() % 50 == 0) text += "/* \xFF\xFE */";
      const std::size_t at = text.size();
      std::string raw, decoded;
      // Mostly short strings, now and then one of several kilobytes.
      const std::size_t pieces = rng() % 20 == 0 ? 500 + rng() % 3000 : rng() % 12;
      for (std::size_t i = 0; i < pieces; ++i) {
        if (round % 3 == 0 && rng() % 20000 == 0) {
          raw += bad[rng() % bad.size()];
          if (firstBad == std::string::npos) firstBad = at;
          continue;
        }
        const auto& piece = good[rng() % (rng() % 4 == 0 ? good.size() : 4)];
        raw += piece.first;
        decoded += piece.second;
      }
      text += "\"" + raw + "\"";
      expected.push_back(decoded);
    }
    text += "]";
    Outcome o = decode(text, withComment ? JBParseOptionAllowComments : JBParseOptionNone);
    if (firstBad != std::string::npos) {
      ASSERT_TRUE(o.failed) << round;
      EXPECT_EQ(o.message(), "Illegal UTF8 sequence found in \"\" string.") << round;
      EXPECT_EQ(o.index(), firstBad) << round;
      continue;
    }
    ASSERT_FALSE(o.failed) << round << ": " << o.message();
    auto a = o.value.arrayValue();
    ASSERT_EQ(a->count(), expected.size()) << round;
    for (std::size_t i = 0; i < expected.size(); ++i)
      ASSERT_EQ(a->objectAtIndex(i).stringValue(), expected[i]) << round << " string " << i;
  }
  // One string of many pieces' length, with a sequence that is not text near its start, around a
  // piece's end or far into it.
  std::string longText;
  while (longText.size() < 40000) longText += "中文，text";
  for (std::size_t at : {std::size_t{0}, std::size_t{100}, std::size_t{16381}, std::size_t{16383},
                         std::size_t{16384}, std::size_t{16386}, std::size_t{32770}, std::size_t{39990}}) {
    for (const std::string& b : bad) {
      std::string raw = longText;
      std::size_t cut = at;
      while ((static_cast<unsigned char>(raw[cut]) & 0xC0) == 0x80) ++cut;  // between characters
      raw.insert(cut, b);
      Outcome o = decode("[1,\"" + raw + "\"]");
      ASSERT_TRUE(o.failed) << at;
      EXPECT_EQ(o.message(), "Illegal UTF8 sequence found in \"\" string.") << at;
      EXPECT_EQ(o.index(), 3u) << at;
    }
  }
}

// Strings of every length, mixing ASCII, CJK and other sequences, escapes and bytes that are not
// text, read back exactly or fail with the error of their first bad sequence.
TEST(JSONDecoder, StringsAcrossScanBlocks) {
  struct Piece {
    std::string raw;      // as written in the document
    std::string decoded;  // as read back; empty with bad set for what is not text
    bool bad = false;
  };
  const std::vector<Piece> pieces = {{"a", "a"},
                                     {"Zz", "Zz"},
                                     {"中", "中"},
                                     {"文字", "文字"},
                                     {"，", "，"},
                                     {"é", "é"},
                                     {"\xEE\x80\x80", "\xEE\x80\x80"},
                                     {"\xE0\xA0\x80", "\xE0\xA0\x80"},
                                     {"\xED\x9F\xBF", "\xED\x9F\xBF"},
                                     {"😀", "😀"},
                                     {R"(\n)", "\n"},
                                     {R"(\")", "\""},
                                     {R"(\u4e2d)", "中"},
                                     {"\xEF\xB7\x90", "", true},
                                     {"\xEF\xBF\xBF", "", true},
                                     {"\xED\xA0\x80", "", true},
                                     {"\xC0\xAF", "", true},
                                     {"\x80", "", true},
                                     {"\xE4\xB8x", "", true},
                                     {"\xF8", "", true}};
  std::mt19937 rng(5);
  for (int round = 0; round < 10000; ++round) {
    std::string raw;
    std::string decoded;
    bool bad = false;
    const std::size_t count = rng() % 60;
    // Half the documents without four-byte sequences: text whose UTF-8 is checked once, whole.
    const std::size_t common = round % 2 ? 10 : 9;
    for (std::size_t i = 0; i < count; ++i) {
      const Piece& piece = pieces[rng() % 10 == 0 ? rng() % pieces.size() : rng() % common];
      raw += piece.raw;
      decoded += piece.decoded;
      bad = bad || piece.bad;
    }
    Outcome o = decode("[\"" + raw + "\"]");
    if (bad) {
      ASSERT_TRUE(o.failed) << round;
      ASSERT_EQ(o.message(), "Illegal UTF8 sequence found in \"\" string.") << round;
    } else {
      ASSERT_FALSE(o.failed) << round << ": " << o.message();
      ASSERT_EQ(o.value.arrayValue()->objectAtIndex(0).stringValue(), decoded) << round;
    }
  }
}

// An escape, a multi-byte character, a bad sequence or a control at every offset from a string's
// start, with the text at every place relative to a 64-byte boundary: the string reads the same or
// fails the same. The bytes after the text are quotation marks, which a look past its end would
// take for the string's end.
TEST(JSONDecoder, SpecialBytesAtEveryOffsetAndAlignment) {
  struct Piece {
    std::string raw;
    std::string decoded;
    std::string error;  // empty when the text is good
  };
  const std::string illegal = "Illegal UTF8 sequence found in \"\" string.";
  const std::vector<Piece> pieces = {{R"(\n)", "\n", ""},
                                     {R"(\")", "\"", ""},
                                     {R"(\u4e2d)", "中", ""},
                                     {R"(\ud83d\ude00)", "😀", ""},
                                     {"中", "中", ""},
                                     {"😀", "😀", ""},
                                     {"\xE4\xB8", "", illegal},
                                     {"\xEF\xBF\xBF", "", illegal},
                                     {"\x01", "", "Invalid character < 0x20 found in string: 0x01."}};
  alignas(64) static char buffer[256];
  for (const Piece& piece : pieces) {
    for (std::size_t before = 0; before < 72; ++before) {
      const std::string text = "[\"" + std::string(before, 'a') + piece.raw + "b\"]";
      for (std::size_t at = 0; at < 64; at += before % 2 ? 7 : 9) {
        std::memset(buffer, '"', sizeof buffer);
        std::memcpy(buffer + at, text.data(), text.size());
        for (bool once : {true, false}) {
          platform::Error error;
          auto decoder = JSONDecoder::decoder();
          const Value v =
              once ? JSONDecoder::parseOnce(buffer + at, text.size(), JBParseOptionNone, false, &error)
                   : decoder->objectWithUTF8String(buffer + at, text.size(), &error);
          if (piece.error.empty()) {
            ASSERT_FALSE(v.isNull()) << text << " at " << at << ": " << error.localizedDescription;
            ASSERT_EQ(v.arrayValue()->objectAtIndex(0).stringValue(),
                      std::string(before, 'a') + piece.decoded + "b")
                << text << " at " << at;
          } else {
            ASSERT_TRUE(v.isNull()) << text << " at " << at;
            ASSERT_EQ(error.localizedDescription, piece.error) << text << " at " << at;
          }
        }
      }
    }
  }
}

// Strings with escapes and CJK text are written into the document's memory as they are read:
// enough of them, of every length up to several blocks of that memory, and long escaped keys
// (whose text must not be overwritten by the key's own home) beside long escaped values, all read
// back exactly, in immutable and mutable results, through a kept decoder and a one-off parse.
TEST(JSONDecoder, EscapedStringsFillingTheDocumentsMemory) {
  const std::vector<std::pair<std::string, std::string>> pieces = {
      {"abc", "abc"},     {"中文", "中文"},         {R"(\n)", "\n"}, {R"(\")", "\""}, {R"(\\)", "\\"},
      {R"(\u00e9)", "é"}, {R"(\ud83d\ude00)", "😀"}, {"x", "x"},      {R"(\/)", "/"}};
  std::mt19937 rng(11);
  auto makeString = [&](std::size_t pieceCount, std::string& raw, std::string& decoded) {
    for (std::size_t i = 0; i < pieceCount; ++i) {
      const auto& piece = pieces[rng() % pieces.size()];
      raw += piece.first;
      decoded += piece.second;
    }
  };
  std::string text = "[";
  std::vector<std::string> keys, values;
  for (int i = 0; i < 3000; ++i) {
    std::string rawKey, key, rawValue, value;
    makeString(8 + rng() % 8, rawKey, key);
    // Mostly short to middling, now and then longer than a block of the document's memory.
    makeString(i % 500 == 7 ? 40000 : rng() % 200, rawValue, value);
    text += std::string(i ? "," : "") + "{\"" + rawKey + "\":\"" + rawValue +
            "\",\"n\":" + std::to_string(i) + "}";
    keys.push_back(std::move(key));
    values.push_back(std::move(value));
  }
  text += "]";
  auto decoder = JSONDecoder::decoder();
  for (int way = 0; way < 3; ++way) {
    platform::Error error;
    const Value v = way == 0 ? decoder->objectWithUTF8String(text.data(), text.size(), &error)
                    : way == 1
                        ? JSONDecoder::parseOnce(text.data(), text.size(), JBParseOptionNone, false, &error)
                        : decoder->mutableObjectWithUTF8String(text.data(), text.size(), &error);
    ASSERT_FALSE(v.isNull()) << way << ": " << error.localizedDescription;
    auto records = v.arrayValue();
    ASSERT_EQ(records->count(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
      auto record = records->objectAtIndex(i).dictionaryValue();
      ASSERT_TRUE(record) << way << " " << i;
      ASSERT_EQ(record->valueForKey(keys[i]).stringValue(), values[i]) << way << " " << i;
      ASSERT_EQ(record->valueForKey("n").intValue(), static_cast<std::int64_t>(i));
    }
  }
}

// Empty containers at the root, nested and as values, in immutable and mutable results.
// Long strings of plain text with \u escapes between runs of every length: wherever the room of
// the document's memory runs out, an escape just after that is written in new room.
TEST(JSONDecoder, EscapesWhereTheDocumentsMemoryRunsOut) {
  std::mt19937 rng(37);
  for (int round = 0; round < 20; ++round) {
    std::string text = "[";
    std::vector<std::string> expected;
    for (int s = 0; s < 200; ++s) {
      std::string raw, decoded;
      for (int run = 0; run < 40; ++run) {
        const std::string plain(1 + rng() % 90, static_cast<char>('a' + rng() % 26));
        raw += plain + (run % 2 ? "\\u00e9" : "\\u4e2d");
        decoded += plain + (run % 2 ? "é" : "中");
      }
      text += (s ? ",\"" : "\"") + raw + "\"";
      expected.push_back(decoded);
    }
    text += "]";
    Outcome o = decode(text);
    ASSERT_FALSE(o.failed) << o.message();
    auto list = o.value.arrayValue();
    ASSERT_EQ(list->count(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
      ASSERT_EQ(list->objectAtIndex(i).stringValue(), expected[i]);
  }
}

TEST(JSONDecoder, EmptyContainersAnywhere) {
  for (bool isMutable : {false, true}) {
    auto decodeAs = [&](std::string_view text) {
      return isMutable ? json::mutableObjectFromJSONString(text) : json::objectFromJSONString(text);
    };
    EXPECT_EQ(decodeAs("{}").dictionaryValue()->count(), 0u);
    EXPECT_EQ(decodeAs("[]").arrayValue()->count(), 0u);
    const Value v = decodeAs(R"([{},[],{"a":{},"b":[]},[[],[{}]]])");
    auto list = v.arrayValue();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count(), 4u);
    EXPECT_EQ(list->objectAtIndex(0).dictionaryValue()->count(), 0u);
    EXPECT_EQ(list->objectAtIndex(0).dictionaryValue()->objectForKey("a"), nullptr);
    EXPECT_EQ(list->objectAtIndex(1).arrayValue()->count(), 0u);
    auto d = list->objectAtIndex(2).dictionaryValue();
    EXPECT_EQ(d->valueForKey("a").dictionaryValue()->count(), 0u);
    EXPECT_EQ(d->valueForKey("b").arrayValue()->count(), 0u);
    auto nested = list->objectAtIndex(3).arrayValue();
    EXPECT_EQ(nested->objectAtIndex(0).arrayValue()->count(), 0u);
    EXPECT_EQ(nested->objectAtIndex(1).arrayValue()->objectAtIndex(0).dictionaryValue()->count(), 0u);
    EXPECT_EQ(v, decodeAs(R"([{},[],{"b":[],"a":{}},[[],[{}]]])"));
  }
}

// Values taken out of a decoded document stay good after the document is gone, on any thread.
TEST(JSONDecoder, ValuesOutliveTheirDocument) {
  const std::string longText(100, 'x');
  Value longString, shortString, inner, key;
  std::thread([&] {
    Value root =
        json::objectFromJSONString(R"({"long":")" + longText + R"(","short":"abc","inner":{"k":[1,"v"]}})");
    auto d = root.dictionaryValue();
    longString = d->valueForKey("long");
    shortString = d->valueForKey("short");
    inner = d->valueForKey("inner");
  }).join();
  EXPECT_EQ(longString.stringValue(), longText);
  EXPECT_EQ(longString.stringView(), longText);
  EXPECT_EQ(shortString.stringValue(), "abc");
  EXPECT_EQ(inner.dictionaryValue()->valueForKey("k").arrayValue()->objectAtIndex(1).stringValue(), "v");
  Value copy = longString;
  longString = Value();
  EXPECT_EQ(copy, Value(longText));
  EXPECT_EQ(copy.hash(), Value(longText).hash());
}

// Several threads asking one shared document for the same text all get it, made once.
TEST(JSONDecoder, SharedDocumentsReadFromManyThreads) {
  std::string text = "[";
  for (int i = 0; i < 200; ++i) text += (i ? ",\"" : "\"") + std::string(20 + i % 7, 'a' + i % 26) + "\"";
  text += "]";
  const Value root = json::objectFromJSONString(text);
  auto list = root.arrayValue();
  ASSERT_EQ(list->count(), 200u);
  std::vector<std::vector<const std::string*>> seen(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (std::size_t i = 0; i < list->count(); ++i)
        seen[t].push_back(&list->objectAtIndex(i).stringValue());
    });
  for (auto& th : threads) th.join();
  for (std::size_t i = 0; i < list->count(); ++i) {
    EXPECT_EQ(*seen[0][i], std::string(20 + i % 7, static_cast<char>('a' + i % 26)));
    for (int t = 1; t < 4; ++t) EXPECT_EQ(seen[t][i], seen[0][i]);
  }
}

// Many documents with many different keys, all kept: every key stays readable.
TEST(JSONDecoder, ManyKeysOverManyDocuments) {
  std::vector<Value> kept;
  for (int doc = 0; doc < 300; ++doc) {
    std::string text = "{";
    for (int k = 0; k < 10; ++k)
      text += (k ? ",\"" : "\"") + std::to_string(doc * 10 + k) + "k\":" + std::to_string(k);
    text += "}";
    kept.push_back(json::objectFromJSONString(text));
  }
  for (int doc = 0; doc < 300; ++doc) {
    auto d = kept[static_cast<std::size_t>(doc)].dictionaryValue();
    ASSERT_EQ(d->count(), 10u);
    for (int k = 0; k < 10; ++k) ASSERT_EQ(d->valueForKey(std::to_string(doc * 10 + k) + "k").intValue(), k);
    int seen = 0;
    d->enumerate([&](const std::string& key, const Value& v) {
      EXPECT_EQ(key, std::to_string(doc * 10 + v.intValue()) + "k");
      ++seen;
      return true;
    });
    EXPECT_EQ(seen, 10);
  }
}

// Dictionaries large and small, holding containers anywhere and repeating keys, read back whole.
TEST(JSONDecoder, DictionariesHoldingContainers) {
  for (int size : {3, 40, 63, 64, 65, 130}) {
    std::string text = "{";
    for (int i = 0; i < size; ++i) {
      if (i) text += ",";
      const std::string key = "\"k" + std::to_string(i % (size - 1)) + "\":";
      text += key + (i % 3 == 0   ? "[" + std::to_string(i) + "]"
                     : i % 3 == 1 ? "{\"n\":" + std::to_string(i) + "}"
                                  : std::to_string(i));
    }
    text += "}";
    for (bool isMutable : {false, true}) {
      Value root = isMutable ? json::mutableObjectFromJSONString(text) : json::objectFromJSONString(text);
      auto d = root.dictionaryValue();
      ASSERT_TRUE(d) << size;
      ASSERT_EQ(d->count(), static_cast<std::size_t>(size - 1)) << size;
      // The last key repeats the first and wins.
      const int last = size - 1;
      const Value& first = d->valueForKey("k0");
      if (last % 3 == 0)
        EXPECT_EQ(first.arrayValue()->objectAtIndex(0).intValue(), last);
      else if (last % 3 == 1)
        EXPECT_EQ(first.dictionaryValue()->valueForKey("n").intValue(), last);
      else
        EXPECT_EQ(first.intValue(), last);
    }
  }
}

// Records one after another with the same keys, the same keys in another order, one more or one
// less, a repeated key, and nested records whose keys differ at the same depth: each reads back
// its own pairs, by key and whole, in one document and over documents read by one decoder.
// root is a list of records holding exactly the expected pairs (a dictionary's value counted as
// its number of pairs), found by walking them and by looking each key up.
void expectRecords(const Value& root, const std::vector<std::map<std::string, int>>& expected) {
  auto list = root.arrayValue();
  ASSERT_TRUE(list);
  ASSERT_EQ(list->count(), expected.size());
  for (std::size_t r = 0; r < expected.size(); ++r) {
    auto d = list->objectAtIndex(r).dictionaryValue();
    ASSERT_EQ(d->count(), expected[r].size()) << r;
    std::map<std::string, int> seen;
    d->enumerate([&](const std::string& key, const Value& v) {
      seen[key] = v.dictionaryValue() ? static_cast<int>(v.dictionaryValue()->count())
                                      : static_cast<int>(v.intValue());
      return true;
    });
    ASSERT_EQ(seen, expected[r]) << r;
    for (const auto& [key, v] : expected[r])
      if (!d->valueForKey(key).dictionaryValue()) {
        ASSERT_EQ(d->valueForKey(key).intValue(), v) << r << " " << key;
      }
    EXPECT_TRUE(d->valueForKey("missing").isNull());
  }
}

TEST(JSONDecoder, RecordsWithAndWithoutTheKeysOfTheRecordBefore) {
  const std::vector<std::vector<std::string>> shapes = {{"id", "name", "city"},
                                                        {"id", "name", "city"},
                                                        {"city", "name", "id"},
                                                        {"id", "name", "city", "pay"},
                                                        {"id", "name"},
                                                        {"id", "name", "id"},
                                                        {"id", "name", "city"},
                                                        {"a_key_longer_than_the_pool_takes_"
                                                         "for_its_keys_of_short_text",
                                                         "name", "city"},
                                                        {"", "name", "city"},
                                                        {"id", "name", "city"}};
  std::mt19937 rng(3);
  std::string text = "[";
  std::vector<std::map<std::string, int>> expected;
  for (int r = 0; r < 400; ++r) {
    const auto& keys = shapes[rng() % shapes.size()];
    std::map<std::string, int> pairs;
    text += r ? ",{" : "{";
    for (std::size_t k = 0; k < keys.size(); ++k) {
      const int v = static_cast<int>(rng() % 1000);
      text += (k ? ",\"" : "\"") + keys[k] + "\":" + std::to_string(v);
      pairs[keys[k]] = v;
    }
    // A nested record at the next depth, with the shape of another.
    const auto& inner = shapes[rng() % shapes.size()];
    text += ",\"inner\":{";
    for (std::size_t k = 0; k < inner.size(); ++k)
      text += (k ? ",\"" : "\"") + inner[k] + "\":" + std::to_string(k);
    text += "}}";
    expected.push_back(std::move(pairs));
    expected.back()["inner"] = static_cast<int>(inner.size() - (inner.size() == 3 && inner[0] == inner[2]));
  }
  text += "]";
  auto kept = JSONDecoder::decoder();
  for (int pass = 0; pass < 3; ++pass) {
    Value root =
        pass == 0 ? json::objectFromJSONString(text) : kept->objectWithUTF8String(text.data(), text.size());
    ASSERT_NO_FATAL_FAILURE(expectRecords(root, expected));
  }
}

// Records of one shape, written compactly and pretty-printed (indentation longer and shorter than
// what one look at the text takes, tabs, CR LF line ends, a space after each colon): both read
// as the same tree, and a fault after many lines (blank ones among them) is reported on its own
// line, whether lines are counted as they are passed or afterwards.
TEST(JSONDecoder, PrettyPrintedRecordsReadAsCompactOnes) {
  std::mt19937 rng(17);
  std::string compact = "[";
  std::vector<std::string> records;
  for (int r = 0; r < 60; ++r) {
    const std::string record =
        "{\"id\":" + std::to_string(r) + ",\"name\":\"工程师" + std::to_string(rng() % 100) +
        "\",\"tags\":[\"a\",\"b\"],\"company\":{\"size\":" + std::to_string(rng() % 9) +
        ",\"open\":true},\"pay\":null}";
    records.push_back(record);
    compact += (r ? "," : "") + record;
  }
  compact += "]";
  const Outcome expected = decode(compact);
  ASSERT_FALSE(expected.failed);
  for (const std::string& indent :
       std::vector<std::string>{" ", "  ", "\t", std::string(20, ' '), std::string(37, ' ') + "\t "}) {
    for (const char* newline : {"\n", "\r\n"}) {
      // One member to a line, each line indented by its depth.
      std::string pretty;
      int depth = 0;
      std::size_t lines = 1;
      bool inString = false;
      auto breakLine = [&] {
        pretty += newline;
        ++lines;
        for (int i = 0; i < depth; ++i) pretty += indent;
      };
      for (std::size_t i = 0; i < compact.size(); ++i) {
        const char c = compact[i];
        if (inString) {
          pretty += c;
          if (c == '"') inString = false;
          continue;
        }
        if (c == '"') inString = true;
        if (c == '}' || c == ']') {
          --depth;
          breakLine();
        }
        pretty += c;
        if (c == ':') pretty += ' ';
        if (c == '{' || c == '[') ++depth;
        // A blank line between records.
        if (c == ',' && depth == 1) {
          pretty += newline;
          ++lines;
        }
        if (c == '{' || c == '[' || c == ',') breakLine();
      }
      Outcome o = decode(pretty);
      ASSERT_FALSE(o.failed) << o.message();
      EXPECT_EQ(o.value, expected.value);
      EXPECT_EQ(o.value.description(), expected.value.description());
      ASSERT_NO_FATAL_FAILURE(expectAsALookingUpDecoderReads(pretty));

      // A fault on the last line, after the indentation.
      const std::string faulty = pretty.substr(0, pretty.size() - 1) + indent + "+]";
      o = decode(faulty);
      ASSERT_TRUE(o.failed);
      EXPECT_EQ(o.message(), kUnexpected);
      EXPECT_EQ(o.line(), lines);
      EXPECT_EQ(o.index(), faulty.size() - 2);
      // Lines counted as they are passed, as Unicode line breaks need, come to the same.
      o = decode(faulty, JBParseOptionUnicodeLineBreaks);
      ASSERT_TRUE(o.failed);
      EXPECT_EQ(o.line(), lines);
      EXPECT_EQ(o.index(), faulty.size() - 2);
      // Cut inside the indentation before a key: the text ends where a key was wanted.
      const std::size_t key = pretty.find("\"name\"", pretty.size() / 2);
      o = decode(pretty.substr(0, key));
      ASSERT_TRUE(o.failed);
      EXPECT_EQ(o.message(), kUnexpected);
      EXPECT_EQ(o.index(), key);
    }
  }
}

// Long keys (as many a public answer has) that agree in their first and last eight bytes and
// differ only between them, among many short ones, in records taking them in an order of their
// own or the order of the record before: each record holds exactly its own keys, with a decoder
// for one parse and with a decoder kept across documents.
TEST(JSONDecoder, LongKeysDifferingOnlyInTheirMiddle) {
  std::vector<std::string> keys;
  for (std::size_t n : {16, 17, 24, 40, 64, 65, 90}) {
    for (char middle : {'x', 'y'}) {
      std::string key = "profile_" + std::string(n - 16, '_') + "_setting";
      if (n > 16) key[8 + (n - 16) / 2] = middle;
      if (n > 16 || middle == 'x') keys.push_back(key);
    }
  }
  // Records of more keys than places are remembered for.
  for (int i = 0; i < 60; ++i) keys.push_back("k" + std::to_string(i));
  std::mt19937 rng(31);
  const auto kept = JSONDecoder::decoder();
  for (int round = 0; round < 300; ++round) {
    std::vector<std::map<std::string, int>> expected;
    std::string text = "[";
    std::vector<std::string> order = keys;
    for (int r = 0; r < 6; ++r) {
      if (rng() % 2) std::shuffle(order.begin(), order.end(), rng);
      std::map<std::string, int> record;
      text += r ? ",{" : "{";
      for (std::size_t k = 0, count = 1 + rng() % order.size(); k < count; ++k) {
        const int v = static_cast<int>(rng() % 1000);
        text += (k ? ",\"" : "\"") + order[k] + "\":" + std::to_string(v);
        record[order[k]] = v;
      }
      text += "}";
      expected.push_back(std::move(record));
    }
    text += "]";
    for (const Value& root :
         {json::objectFromJSONString(text), kept->objectWithUTF8String(text.data(), text.size())}) {
      ASSERT_NO_FATAL_FAILURE(expectRecords(root, expected)) << text;
    }
  }
}

// Records taking the keys of the record before in an order of their own (enough keys that some
// share a slot's run), with one key repeated, left out or added, one key written escaped, and
// string, nested and listed values: each reads as the decoder that makes mutable containers reads
// it, pairs in the same order and found by key, with a decoder for one parse and a kept one.
TEST(JSONDecoder, RecordsTakingTheKeysOfTheRecordBeforeInAnOrderOfTheirOwn) {
  std::vector<std::string> keys = {"ab",
                                   "jobid",
                                   "jobname",
                                   "jobarea",
                                   "jobinfo",
                                   "salary",
                                   "salary_min",
                                   "salary_max",
                                   "lat",
                                   "lng",
                                   "coid",
                                   "coname",
                                   "welfare",
                                   "isapply",
                                   "issuedate",
                                   "a_key_of_14_b",
                                   "a_key_of_twenty_byte"};
  std::mt19937 rng(41);
  auto record = [&](int depth) {
    std::vector<std::string> order = keys;
    std::shuffle(order.begin(), order.end(), rng);
    switch (rng() % 8) {
      case 0:
        order[rng() % order.size()] = order[rng() % order.size()];
        break;
      case 1:
        order.pop_back();
        break;
      case 2:
        order.push_back("extra");
        break;
      default:
        break;
    }
    std::string text = "{";
    for (std::size_t k = 0; k < order.size(); ++k) {
      text += k ? "," : "";
      text += order[k] == "ab" && rng() % 4 == 0 ? "\"a\\u0062\"" : "\"" + order[k] + "\"";
      text += rng() % 10 == 0 ? " : " : ":";
      switch (depth < 2 ? rng() % 5 : rng() % 3) {
        case 0:
          text += std::to_string(rng() % 1000);
          break;
        case 1:
          text += "\"" + std::string(rng() % 30, static_cast<char>('a' + rng() % 26)) + "\"";
          break;
        case 2:
          text += "\"" + std::to_string(rng()) + "\\n\"";
          break;
        case 3:
          text += "[\"x\"," + std::to_string(rng() % 9) + "]";
          break;
        default:
          text += "__record__";
          break;
      }
    }
    return text + "}";
  };
  const auto kept = JSONDecoder::decoder();
  for (int round = 0; round < 40; ++round) {
    std::string text = "[";
    for (int r = 0; r < 30; ++r) {
      std::string one = record(0);
      // Nested records at the next depth and the one below it.
      for (std::size_t at; (at = one.find("__record__")) != std::string::npos;) {
        std::string inner = record(1);
        for (std::size_t in; (in = inner.find("__record__")) != std::string::npos;)
          inner.replace(in, 10, record(2));
        one.replace(at, 10, inner);
      }
      text += (r ? "," : "") + one;
    }
    text += "]";
    platform::Error error;
    const Value expected = JSONDecoder::parseOnce(text.data(), text.size(), JBParseOptionNone, true, &error);
    ASSERT_FALSE(expected.isNull()) << error.localizedDescription << text;
    for (const Value& root :
         {JSONDecoder::parseOnce(text.data(), text.size(), JBParseOptionNone, false, nullptr),
          kept->objectWithUTF8String(text.data(), text.size())}) {
      ASSERT_EQ(root, expected) << text;
      ASSERT_EQ(root.description(), expected.description()) << text;
      const auto list = root.arrayValue();
      for (std::size_t r = 0; r < list->count(); ++r) {
        const auto d = list->objectAtIndex(r).dictionaryValue();
        for (const std::string& key : keys)
          ASSERT_EQ(d->valueForKey(key),
                    expected.arrayValue()->objectAtIndex(r).dictionaryValue()->valueForKey(key))
              << key << " " << text;
      }
    }
  }
}

// Dictionaries at one depth taking turns between more kinds than are remembered (some starting
// with the same key, one with a key too long to be told at a glance, some with their keys in
// another order or one missing, some after space): values, pair order and look-ups are those of
// the mutable decode.
TEST(JSONDecoder, DictionariesOfAlternatingKindsAtOneDepth) {
  const std::vector<std::vector<std::string>> kinds = {
      {"result_type", "iso_language_code"},
      {"id", "name", "screen_name", "location", "url", "followers", "verified"},
      {"hashtags", "symbols", "urls", "user_mentions"},
      {"url", "expanded_url", "display_url", "indices"},
      {"screen_name", "name", "id", "id_str", "indices"},
      {"id", "name", "screen_name"},
      {"description", "urls"},
      {"a_first_key_too_long_to_see", "x", "y"},
      {"text", "lang", "id", "favorited", "retweeted", "source", "place", "coordinates"}};
  std::mt19937 rng(44);
  auto record = [&](int depth, auto& self) -> std::string {
    std::vector<std::string> keys = kinds[rng() % kinds.size()];
    switch (rng() % 10) {
      case 0:
        std::shuffle(keys.begin(), keys.end(), rng);
        break;
      case 1:
        if (keys.size() > 1) keys.erase(keys.begin() + 1 + rng() % (keys.size() - 1));
        break;
      case 2:
        keys.push_back(keys[rng() % keys.size()]);
        break;
      default:
        break;
    }
    std::string text = rng() % 8 == 0 ? "{\n  " : "{";
    for (std::size_t k = 0; k < keys.size(); ++k) {
      text += (k ? ",\"" : "\"") + keys[k] + "\":";
      if (depth < 3 && rng() % 4 == 0)
        text += self(depth + 1, self);
      else if (depth < 3 && rng() % 6 == 0)
        text += "[" + self(depth + 1, self) + "," + self(depth + 1, self) + "]";
      else
        text += std::to_string(rng() % 1000);
    }
    return text + "}";
  };
  std::vector<std::string> allKeys;
  for (const auto& kind : kinds) allKeys.insert(allKeys.end(), kind.begin(), kind.end());
  std::sort(allKeys.begin(), allKeys.end());
  allKeys.erase(std::unique(allKeys.begin(), allKeys.end()), allKeys.end());
  const auto kept = JSONDecoder::decoder();
  for (int round = 0; round < 12; ++round) {
    std::string text = "[";
    for (int r = 0; r < 40; ++r) text += (r ? "," : "") + record(0, record);
    text += "]";
    const Value expected = json::mutableObjectFromJSONString(text);
    ASSERT_FALSE(expected.isNull()) << text;
    for (const Value& root :
         {json::objectFromJSONString(text), kept->objectWithUTF8String(text.data(), text.size())}) {
      ASSERT_EQ(root, expected) << text;
      ASSERT_EQ(root.description(), expected.description()) << text;
      // Every dictionary finds each of its keys, and none of the others.
      std::vector<std::pair<Value, Value>> pending = {{root, expected}};
      while (!pending.empty()) {
        auto [got, want] = pending.back();
        pending.pop_back();
        if (const auto list = got.arrayValue()) {
          for (std::size_t i = 0; i < list->count(); ++i)
            pending.emplace_back(list->objectAtIndex(i), want.arrayValue()->objectAtIndex(i));
        } else if (const auto d = got.dictionaryValue()) {
          for (const std::string& key : allKeys) {
            ASSERT_EQ(d->valueForKey(key), want.dictionaryValue()->valueForKey(key)) << key << " " << text;
            if (!d->valueForKey(key).isNull())
              pending.emplace_back(d->valueForKey(key), want.dictionaryValue()->valueForKey(key));
          }
        }
      }
    }
  }
}

// Keys of the lengths around what one, two and three 16-byte looks take whole, written as in the
// record before or differing in one byte anywhere (the quotation marks and the colon too), with
// text enough after them or not: the tree is the one a decoder that looks every key up builds.
TEST(JSONDecoder, LongerKeysLikeAndUnlikeTheRecordBefore) {
  std::vector<std::string> keys;
  const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (std::size_t n : {11, 12, 13, 14, 15, 28, 29, 30, 44, 45, 46}) keys.push_back(letters.substr(0, n));
  std::mt19937 rng(23);
  auto writing = [&](const std::string& key) {
    std::string w = "\"" + key + "\":";
    switch (rng() % 8) {
      case 0: {  // one byte differs
        const std::size_t at = rng() % w.size();
        w[at] = w[at] == '"' || w[at] == ':' ? ' ' : static_cast<char>('A' + rng() % 26);
        break;
      }
      case 1:
        w.insert(w.size() - 1, " ");
        break;
      case 2:
        w.replace(1, 1, "\\u0061");
        break;
      default:
        break;
    }
    return w;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string text = "[";
    for (int r = 0, records = 2 + static_cast<int>(rng() % 4); r < records; ++r) {
      text += r ? ",{" : "{";
      for (std::size_t k = 0, count = 1 + rng() % keys.size(); k < count; ++k) {
        if (k) text += ',';
        text += writing(keys[k]);
        text += rng() % 2 ? std::to_string(rng() % 100) : "\"v\"";
      }
      text += '}';
    }
    text += std::string(rng() % 56, ' ') + "]";
    ASSERT_NO_FATAL_FAILURE(expectAsALookingUpDecoderReads(text));
  }
}

// A record whose keys stand as in the record before is held to the grammar as any other: after
// records that set the pattern, a faulty one fails with the message the first record would give.
TEST(JSONDecoder, RecordsLikeTheOneBeforeKeepToTheGrammar) {
  const std::string pad(40, ' ');
  const std::string records =
      R"([{"id":1,"name":"a","tags":[1],"on":true},{"id":2,"name":"b","tags":[2],"on":false},)";
  const std::vector<std::pair<std::string, std::string>> faults = {
      {R"({"id":3,"name":"c","tags":[3],"on":true,})", "Unexpected '}'."},
      {R"({"id":3,"name":"c",,"tags":[3],"on":true})", "Unexpected ','."},
      {R"({"id":3,"name":"c","tags":[3]"on":true})", "Unexpected string."},
      {R"({"id":3,"name":}"c","tags":[3],"on":true})", "Expected a value, not '}'"},
      {R"({"id":3,"name":"c","tags":[3,],"on":true})", "Unexpected ']'."},
      {R"({"id":3,"name":"c","tags":[3],"on":tru})", kUnexpected},
      {R"({"id":3,"name":"c","tags":[3],"on":true)", "Expected a comma or a '}', not ']'"},
  };
  for (const auto& [record, message] : faults) {
    const std::string text = records + record + "]" + pad;
    EXPECT_EQ(errorOf(text), message) << record;
    // The first record alone gives the same message.
    EXPECT_EQ(errorOf("[" + record + "]" + pad), message) << record;
  }
  // Cut short right after a key that stands as before.
  EXPECT_EQ(errorOf(records + R"({"id":3,"name":)"), kUnexpected);
  EXPECT_FALSE(decode(records + R"({"id":3,"name":"c","tags":[3],"on":null}])" + pad).failed);
}

// A record like the ones before it that departs from the grammar at any step of its reading (before
// any key, after one or several keys taken as before, between a key and its ':', after the ':', after
// a value, after a comma), the key there being the one the records before had in its place, one of
// theirs from another place, or a new one, with white space (line breaks too) before the departure
// or the text ending there: the same tree, or the same error at the same place and line, as read
// without learning layouts, by decoders keeping a value cache, and with mutable containers.
TEST(JSONDecoder, RecordsDepartingFromTheGrammarAtEveryStepOfTheirReading) {
  const std::string before =
      R"([{"id":1,"name":"a","tags":[1],"on":true},{"id":2,"name":"b","tags":[2],"on":false},)";
  const std::vector<std::string> members = {R"("id":3)", R"("name":"c")", R"("tags":[3])", R"("on":null)"};
  const std::vector<std::string> keys = {"id", "name", "tags", "on"};
  struct Step {
    std::string head;  // the text after the members taken
    std::vector<std::string> departures;
    std::string goingOn;  // the rest of a good record
  };
  std::size_t failures = 0;
  for (const std::size_t taken : {0, 1, 3}) {
    std::string opened = "{";
    for (std::size_t m = 0; m < taken; ++m) opened += members[m] + ",";
    for (const std::string& key : {keys[taken], keys[(taken + 2) % keys.size()], std::string("zz")}) {
      const std::string k = "\"" + key + "\"";
      const std::vector<Step> steps = {
          {opened, {",", "}", "1", "]", ":", "{"}, k + ":0}"},
          {opened + k, {"1", ",", "}", "\"x\"", "]"}, ":0}"},
          {opened + k + ":", {"}", ",", "]", ":"}, "0}"},
          {opened + k + ":0", {"\"x\":1}", "1", ":", "]", "{"}, "}"},
          {opened + k + ":0,", {",", "}", "1", "]", ":"}, "\"y\":1}"},
      };
      for (const Step& step : steps) {
        for (const std::string space : {"", " ", "\n  ", "\r\n\t"}) {
          // Text enough after the departure for a key's whole pattern to be compared.
          const std::string end = "]" + std::string(40, ' ');
          std::vector<std::string> texts = {before + step.head + space,
                                            before + step.head + space + step.goingOn + end};
          for (const std::string& d : step.departures) texts.push_back(before + step.head + space + d + end);
          for (std::size_t t = 0; t < texts.size(); ++t) {
            const std::string& text = texts[t];
            const Outcome o = decode(text);
            if (t == 1) {
              ASSERT_FALSE(o.failed) << o.message() << " " << text;
            }
            failures += o.failed ? 1 : 0;
            ASSERT_NO_FATAL_FAILURE(expectAsALookingUpDecoderReads(text));
            decode(text, JBParseOptionUnicodeLineBreaks);
            platform::Error error;
            const Value mutableRoot =
                JSONDecoder::parseOnce(text.data(), text.size(), JBParseOptionNone, true, &error);
            ASSERT_NO_FATAL_FAILURE(
                expectLearningChangesNothing(text, JBParseOptionNone, true, mutableRoot, error));
          }
        }
      }
    }
  }
  EXPECT_GT(failures, 800u);
}

// Long runs of records whose keys come in no repeated order (where layouts step aside at their
// depth for a while) between runs of records alike (where they come back), nested, with two and
// three keys in every order and faults at the end: the same tree, or the same error, as read
// without learning layouts and by a decoder that looks every key up.
TEST(JSONDecoder, RecordsInOrderAfterAndBeforeRecordsInNone) {
  const std::vector<std::string> keys = {"id", "name", "tags", "on", "a", "bc", "def", "ghij", "score", "x"};
  std::mt19937 rng(23);
  auto record = [&](bool ordered, int depth, auto& self) -> std::string {
    std::vector<std::string> members;
    const std::size_t count = ordered ? 6 : 2 + rng() % 8;
    for (std::size_t k = 0; k < count; ++k) {
      std::string value = std::to_string(rng() % 1000);
      if (depth < 3 && k == 2) value = self(ordered || rng() % 2 == 0, depth + 1, self);
      members.push_back("\"" + keys[ordered ? k : (k * 3 + rng() % 3) % keys.size()] + "\":" + value);
    }
    if (!ordered) std::shuffle(members.begin(), members.end(), rng);
    std::string text = "{";
    for (std::size_t k = 0; k < members.size(); ++k) text += (k ? "," : "") + members[k];
    return text + "}";
  };
  for (int round = 0; round < 3; ++round) {
    std::string text = "[";
    for (int run = 0; run < 6; ++run) {
      const bool ordered = run % 2 == round % 2;
      for (int r = 0, n = 300 + static_cast<int>(rng() % 1500); r < n; ++r)
        text += (text.size() > 1 ? "," : "") + record(ordered, 1, record);
      // A few keys in each of their orders.
      for (int r = 0; r < 200; ++r) {
        std::vector<std::string> few = {"\"p\":1", "\"q\":[]", "\"r\":null"};
        few.resize(2 + rng() % 2);
        std::shuffle(few.begin(), few.end(), rng);
        text += ",{" + few[0];
        for (std::size_t k = 1; k < few.size(); ++k) text += "," + few[k];
        text += "}";
      }
    }
    text += "]";
    ASSERT_NO_FATAL_FAILURE(expectAsALookingUpDecoderReads(text));
    ASSERT_FALSE(decode(text).failed);
    for (int cut = 0; cut < 6; ++cut)
      ASSERT_NO_FATAL_FAILURE(expectAsALookingUpDecoderReads(text.substr(0, rng() % text.size())));
  }
}

// Answers read one after another on one thread, their records keeping the same keys in an order
// of the answer's own (the same as the answer before, another one for the whole answer, or one per
// record), of one kind or of two that begin with the same key and take turns, one nested in the
// other, each also cut short: each answer the same tree, every key found, or the same error, as
// read without learning layouts.
TEST(JSONDecoder, AnswersWhoseRecordsKeepAnOrderOfTheirOwn) {
  const std::vector<std::string> keys = {"id", "name", "tags", "on", "score", "city", "url"};
  std::mt19937 rng(31);
  std::vector<std::size_t> order(keys.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  auto record = [&](bool full, bool perRecord, int depth, auto& self) -> std::string {
    std::vector<std::size_t> places = order;
    if (perRecord) std::shuffle(places.begin() + 1, places.end(), rng);
    std::string text = "{";
    for (const std::size_t k : places) {
      // The shorter kind lacks a key: both begin with the same one.
      if (!full && keys[k] == "url") continue;
      std::string value = std::to_string(rng() % 100);
      if (keys[k] == "tags" && depth < 2) value = "[" + self(full, perRecord, depth + 1, self) + "]";
      text += (text.size() > 1 ? ",\"" : "\"") + keys[k] + "\":" + value;
    }
    return text + "}";
  };
  // First two orders in turn, the kinds of the second learnt while the first is still known.
  const std::vector<std::size_t> first = order;
  std::vector<std::size_t> second = order;
  std::reverse(second.begin() + 1, second.end());
  for (int answer = 0; answer < 90; ++answer) {
    const int kind = answer < 8 ? 0 : static_cast<int>(rng() % 4);
    if (answer < 8) order = answer % 2 ? second : first;
    if (kind == 1) std::shuffle(order.begin() + 1, order.end(), rng);
    if (kind == 2) std::shuffle(order.begin(), order.end(), rng);
    const bool twoKinds = answer < 8 ? answer % 4 == 1 : rng() % 2 == 0;
    std::string text = "[";
    for (int r = 0, n = 20 + static_cast<int>(rng() % 200); r < n; ++r)
      text += (r ? "," : "") + record(!twoKinds || r % 2 == 0, kind == 3, 1, record);
    text += "]";
    ASSERT_FALSE(decode(text).failed) << answer;
    // Cut short, it fails as it does without learning, and the next answer reads on.
    ASSERT_TRUE(decode(text.substr(0, rng() % text.size())).failed) << answer;
  }
}

TEST(JSONDecoder, KeysWrittenOtherwiseThanInTheRecordBefore) {
  const std::vector<std::string> writings = {R"("ab":)",   R"("ab":)",       R"("a\u0062":)", R"("a\"b":)",
                                             R"("a\\b":)", R"("a\b":)",      R"("ab" :)",     R"("ab" )",
                                             R"("ab":)",   R"("abc":)",      R"("ac":)",      R"("中文":)",
                                             R"("中文":)", R"("\u4e2d文":)", R"("":)",        R"("ab")"};
  std::mt19937 rng(11);
  for (int round = 0; round < 3000; ++round) {
    std::string text = "[";
    for (int r = 0, records = 2 + static_cast<int>(rng() % 4); r < records; ++r) {
      text += r ? ",{" : "{";
      for (int k = 0, keys = 1 + static_cast<int>(rng() % 3); k < keys; ++k) {
        if (k) text += ',';
        text += rng() % 3 ? writings[0] : writings[rng() % writings.size()];
        text += rng() % 2 ? std::to_string(rng() % 100) : "{\"ab\":[1]}";
      }
      text += '}';
    }
    text += ']';
    if (rng() % 4 == 0) text.resize(rng() % text.size());
    ASSERT_NO_FATAL_FAILURE(expectAsALookingUpDecoderReads(text));
  }
}

// A control character anywhere in a string, with CJK text and escapes around it, is an error.
TEST(JSONDecoder, ControlCharactersInStringsAtAnyOffset) {
  const std::string text = "北京，上海 and \\n the \\\" team 工程师 C++ Linux 3年 本科学历良好沟通能力";
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) continue;
    if (at > 0 && text[at - 1] == '\\') continue;
    for (const char* control : {"\x01", "\x1F", "\n"}) {
      const std::string withControl = text.substr(0, at) + control + text.substr(at);
      for (const std::string& doc : {"[\"" + withControl + "\"]", "{\"" + withControl + "\":1}"}) {
        Outcome o = decode(doc);
        ASSERT_TRUE(o.failed) << doc;
        EXPECT_EQ(o.message(), "Invalid character < 0x20 found in string: 0x" +
                                   std::string(control[0] == '\n' ? "0a"
                                               : control[0] == 1  ? "01"
                                                                  : "1f") +
                                   ".")
            << at;
      }
    }
    const Value v = element("[\"" + text + "\"]");
    EXPECT_EQ(v.stringValue(), "北京，上海 and \n the \" team 工程师 C++ Linux 3年 本科学历良好沟通能力");
  }
}

}  // namespace
}  // namespace kavro
