#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unicode/utypes.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "kit/codec/regex/MutableStringRegexBoxAdditions.h"
#include "kit/codec/regex/RGXICURegexException.h"
#include "kit/codec/regex/StringRegexBoxAdditions.h"

using namespace kavro;
using namespace kavro::str;
using platform::NotFoundRange;
using platform::Range;
using platform::WholeLength;
using Strings = std::vector<std::string>;

namespace {

constexpr Range kWhole{0, WholeLength};
const std::string kGrin = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units

std::string reasonOf(const platform::Error& e) {
  return e.userInfo ? e.userInfo->valueForKey(LocalizedFailureReasonErrorKey).stringValue() : "";
}

}  // namespace

TEST(RegexMatching, MatchTestRangeAndTextOnAscii) {
  EXPECT_TRUE(isMatchedByRegex("hello world", "wor"));
  EXPECT_FALSE(isMatchedByRegex("hello world", "xyz"));
  EXPECT_FALSE(isMatchedByRegex("hello world", "hello", Range{1, 10}));
  EXPECT_EQ(rangeOfRegex("hello world", "o"), (Range{4, 1}));
  EXPECT_EQ(rangeOfRegex("hello world", "o", Range{5, WholeLength}), (Range{7, 1}));
  EXPECT_EQ(rangeOfRegex("hello world", "(o) (w)", 2), (Range{6, 1}));
  EXPECT_EQ(rangeOfRegex("hello world", "z"), NotFoundRange);
  EXPECT_EQ(stringByMatching("key=value", "(\\w+)=(\\w+)", 2), "value");
  EXPECT_EQ(stringByMatching("key=value", "=\\w+", Range{1, 5}), "=va");
  EXPECT_EQ(stringByMatching("abc", "x"), std::nullopt);
  EXPECT_EQ(stringByMatching("abc", "b*"), "");  // an empty match is not "no match"
  EXPECT_TRUE(isMatchedByRegex("ABC", "abc", RGXRegexCaseless, kWhole, nullptr));
  // "^" anchors at the start of the searched range, as the text handed over starts there.
  EXPECT_EQ(rangeOfRegex("xxab", "^ab", RGXRegexNoOptions, Range{2, 2}, 0, nullptr), (Range{2, 2}));
}

TEST(RegexMatching, GroupThatDidNotTakePart) {
  EXPECT_TRUE(isMatchedByRegex("ac", "a(b)?c"));
  EXPECT_EQ(rangeOfRegex("ac", "a(b)?c", 1), NotFoundRange);
  EXPECT_EQ(stringByMatching("ac", "a(b)?c", 1), std::nullopt);
  EXPECT_EQ(captureComponentsMatchedByRegex("ac", "a(b)?c"), (Strings{"ac", ""}));
  EXPECT_EQ(componentsMatchedByRegex("ac abc", "a(b)?c", 1), (Strings{"", "b"}));
}

TEST(RegexMatching, PositionsCountUtf16UnitsInCjkAndAstralText) {
  EXPECT_EQ(rangeOfRegex("你好世界", "世界"), (Range{2, 2}));
  EXPECT_EQ(rangeOfRegex("中文abc", "[a-z]+"), (Range{2, 3}));
  EXPECT_EQ(stringByMatching("价格：１２３元", "[０-９]+"), "１２３");
  std::string astral = "a" + kGrin + "b" + kGrin + "c";
  EXPECT_EQ(rangeOfRegex(astral, "b"), (Range{3, 1}));
  EXPECT_EQ(rangeOfRegex(astral, kGrin, Range{2, WholeLength}), (Range{4, 2}));
  EXPECT_EQ(componentsMatchedByRegex(astral, "."), (Strings{"a", kGrin, "b", kGrin, "c"}));
  EXPECT_EQ(stringByMatching(astral, "b.c"), "b" + kGrin + "c");
  // A range cutting a pair leaves the broken half, which reads back as U+FFFD.
  EXPECT_EQ(stringByMatching(kGrin, ".", Range{1, 1}), "\xEF\xBF\xBD");
  // Empty matches step over a pair as one character.
  EXPECT_EQ(componentsMatchedByRegex(kGrin + kGrin, "x*").size(), 3u);
  EXPECT_EQ(componentsSeparatedByRegex(kGrin + "中" + kGrin, "(?:)"), (Strings{kGrin, "中", kGrin}));
}

TEST(RegexMatching, LongSubjectsOnBothSidesOfTheConversionBufferSize) {
  for (std::size_t units : {2047u, 2048u, 5000u}) {
    std::string s(units - 1, 'a');
    s += "Z";
    EXPECT_EQ(rangeOfRegex(s, "Z"), (Range{units - 1, 1})) << units;
  }
  std::string cjk;
  for (int i = 0; i < 1500; ++i) cjk += "中";  // 4500 bytes, 1500 units
  cjk += "x";
  EXPECT_EQ(rangeOfRegex(cjk, "x"), (Range{1500, 1}));
  EXPECT_EQ(componentsMatchedByRegex(cjk, "中+").at(0).size(), 4500u);
}

TEST(RegexArrays, CapturesOfFirstAndEveryMatch) {
  EXPECT_EQ(componentsMatchedByRegex("a1b22c333", "\\d+"), (Strings{"1", "22", "333"}));
  EXPECT_EQ(componentsMatchedByRegex("a1b22c333", "(\\d)(\\d*)", 2), (Strings{"", "2", "33"}));
  EXPECT_EQ(componentsMatchedByRegex("a1b22c333", "\\d+", Range{2, 5}), (Strings{"22", "3"}));
  EXPECT_TRUE(componentsMatchedByRegex("abc", "\\d").empty());
  EXPECT_EQ(captureComponentsMatchedByRegex("k1=v1;k2=v2", "(\\w+)=(\\w+)"), (Strings{"k1=v1", "k1", "v1"}));
  EXPECT_TRUE(captureComponentsMatchedByRegex("none", "(\\w+)=(\\w+)").empty());
  auto all = arrayOfCaptureComponentsMatchedByRegex("k1=v1;键=值", "(\\w+)=(\\w+)");
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0], (Strings{"k1=v1", "k1", "v1"}));
  EXPECT_EQ(all[1], (Strings{"键=值", "键", "值"}));
  EXPECT_EQ(componentsMatchedByRegex("baac", "a*"), (Strings{"", "aa", "", ""}));
}

TEST(RegexArrays, ManyMatchesGrowTheRangeStore) {
  std::string s;
  for (int i = 0; i < 5000; ++i) s += "ab" + kGrin;
  auto matches = componentsMatchedByRegex(s, "(a)(b)");
  ASSERT_EQ(matches.size(), 5000u);
  EXPECT_EQ(matches[4999], "ab");
  auto captures = arrayOfCaptureComponentsMatchedByRegex(s, "(a)(b)(" + kGrin + ")");
  ASSERT_EQ(captures.size(), 5000u);
  EXPECT_EQ(captures[1234], (Strings{"ab" + kGrin, "a", "b", kGrin}));
  EXPECT_EQ(componentsSeparatedByRegex(s, kGrin).size(), 5000u);
}

TEST(RegexSplit, EdgeCases) {
  EXPECT_EQ(componentsSeparatedByRegex("a1b", "(\\d)"), (Strings{"a", "1", "b"}));
  EXPECT_EQ(componentsSeparatedByRegex("a,b,,", ","), (Strings{"a", "b"}));
  EXPECT_EQ(componentsSeparatedByRegex(",a", ","), (Strings{"", "a"}));
  EXPECT_TRUE(componentsSeparatedByRegex(",", ",").empty());
  EXPECT_EQ(componentsSeparatedByRegex("a,,b", ","), (Strings{"a", "", "b"}));
  EXPECT_EQ(componentsSeparatedByRegex("abc", ","), (Strings{"abc"}));
  EXPECT_EQ(componentsSeparatedByRegex("", ","), (Strings{""}));
  EXPECT_EQ(componentsSeparatedByRegex("abc", "(?:)"), (Strings{"a", "b", "c"}));
  EXPECT_EQ(componentsSeparatedByRegex("baac", "a*"), (Strings{"b", "c"}));
  EXPECT_EQ(componentsSeparatedByRegex("一，二，三", "，"), (Strings{"一", "二", "三"}));
  EXPECT_EQ(componentsSeparatedByRegex("x:y:z", ":", Range{2, 3}), (Strings{"y", "z"}));
  // A trailing empty piece goes with its captures.
  EXPECT_EQ(componentsSeparatedByRegex("a1b2", "(\\d)"), (Strings{"a", "1", "b", "2"}));
}

TEST(RegexDictionaries, KeysTakeTheirCaptures) {
  auto d = dictionaryByMatchingRegex("name=Ann age=7", "name=(\\w+) age=(\\d+)",
                                     {{"name", 1}, {"age", 2}, {"all", 0}});
  ASSERT_EQ(d->count(), 3u);
  EXPECT_EQ(d->valueForKey("name").stringValue(), "Ann");
  EXPECT_EQ(d->valueForKey("age").stringValue(), "7");
  EXPECT_EQ(d->valueForKey("all").stringValue(), "name=Ann age=7");
  EXPECT_EQ(d->allKeys(), (Strings{"name", "age", "all"}));
  EXPECT_TRUE(dictionaryByMatchingRegex("nothing", "(\\d)", {{"d", 1}})->empty());

  auto rows = arrayOfDictionariesByMatchingRegex("a=1;b=;c=3", "(\\w)=(\\d)?", {{"k", 1}, {"v", 2}});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1]->valueForKey("k").stringValue(), "b");
  EXPECT_EQ(rows[1]->valueForKey("v").stringValue(), "");
  EXPECT_TRUE(arrayOfDictionariesByMatchingRegex("", "(x)", {{"k", 1}}).empty());

  std::vector<std::string> keys{"first", "second"};
  std::vector<int> captures{2, 1};
  auto swapped =
      dictionaryByMatchingRegex("x-y", "(\\w)-(\\w)", RGXRegexNoOptions, kWhole, nullptr, keys, captures);
  EXPECT_EQ(swapped->valueForKey("first").stringValue(), "y");
  EXPECT_EQ(swapped->valueForKey("second").stringValue(), "x");
}

TEST(RegexDictionaries, PairsBeyondSixtyTwoAreIgnored) {
  RGXKeysAndCaptures pairs;
  for (int i = 0; i < 63; ++i) pairs.push_back({"k" + std::to_string(i), 0});
  pairs.back().second = 5;  // would be refused if it were read
  auto d = dictionaryByMatchingRegex("abc", "b", pairs);
  EXPECT_EQ(d->count(), 62u);
  EXPECT_EQ(d->objectForKey("k62"), nullptr);
}

TEST(RegexDictionaries, BadKeysAndCapturesAreRefused) {
  try {
    dictionaryByMatchingRegex("abc", "(b)", {{"one", 1}, {"two", 2}});
    FAIL() << "no exception";
  } catch (const platform::InvalidArgumentException& e) {
    EXPECT_EQ(e.reason(),
              "*** -[NSString dictionaryByMatchingRegex:withKeysAndCaptures:]: The capture argument 2 "
              "(capture 2 of "
              "2) for key 'two' is not valid.");
  }
  EXPECT_THROW(dictionaryByMatchingRegex("abc", "(b)", RGXKeysAndCaptures{}),
               platform::InvalidArgumentException);
}

TEST(RegexReplace, TemplatesAndRanges) {
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("hello world", "o", "0"), "hell0 w0rld");
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("ann@home bob@work", "(\\w+)@(\\w+)", "$2:$1"),
            "home:ann work:bob");
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("a.b", "\\.", "\\$"), "a$b");
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("张三 李四", "(\\S+) (\\S+)", "$2，$1"), "李四，张三");
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("a" + kGrin + "b", kGrin, "[$0]"), "a[" + kGrin + "]b");
  // Only the searched range comes back.
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("aaa-bbb-ccc", "b", "X", Range{4, 3}), "XXX");
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("aaa-bbb-ccc", "z", "X", Range{4, 3}), "bbb");
  // No match over the whole text: the text itself, bytes untouched.
  std::string invalid = "ab\xFF";
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex(invalid, "z", "X"), invalid);
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("aaa", "a", ""), "");
  // Output that outgrows the first estimate.
  std::string many(300, 'a');
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex(many, "a", "0123456789"), [] {
    std::string s;
    for (int i = 0; i < 300; ++i) s += "0123456789";
    return s;
  }());
}

TEST(RegexReplace, InPlace) {
  std::string s = "one two three";
  EXPECT_EQ(replaceOccurrencesOfRegex(s, "\\b(\\w)", "<$1>"), 3);
  EXPECT_EQ(s, "<o>ne <t>wo <t>hree");
  std::string unchanged = "abc";
  EXPECT_EQ(replaceOccurrencesOfRegex(unchanged, "x", "y"), 0);
  EXPECT_EQ(unchanged, "abc");
  std::string part = "中a中a中a";
  EXPECT_EQ(replaceOccurrencesOfRegex(part, "a", "b", Range{2, 2}), 1);
  EXPECT_EQ(part, "中a中b中a");
  // The changed string is searched as it is now.
  EXPECT_EQ(rangeOfRegex(part, "b"), (Range{3, 1}));
  platform::Error error;
  EXPECT_EQ(replaceOccurrencesOfRegex(part, "(", "x", RGXRegexNoOptions, kWhole, &error), -1);
  EXPECT_EQ(part, "中a中b中a");
}

TEST(RegexErrors, BadPatternWithAnErrorSlot) {
  platform::Error error;
  EXPECT_FALSE(isMatchedByRegex("abc", "(abc", RGXRegexNoOptions, kWhole, &error));
  EXPECT_EQ(error.domain, "RGXICURegexErrorDomain");
  EXPECT_EQ(error.code, U_REGEX_MISMATCHED_PAREN);
  EXPECT_EQ(error.localizedDescription, "There was an error compiling the regular expression.");
  EXPECT_EQ(reasonOf(error), "The error U_REGEX_MISMATCHED_PAREN occurred at line 1, column 4: (abc<<HERE>>");
  EXPECT_EQ(error.userInfo->valueForKey(RGXICURegexRegexErrorKey).stringValue(), "(abc");
  EXPECT_EQ(error.userInfo->valueForKey(RGXICURegexErrorNameErrorKey).stringValue(),
            "U_REGEX_MISMATCHED_PAREN");
  EXPECT_EQ(error.userInfo->valueForKey(RGXICURegexLineErrorKey).intValue(), 1);
  EXPECT_EQ(error.userInfo->valueForKey(RGXICURegexSubjectStringErrorKey).stringValue(), "abc");

  platform::Error split;
  EXPECT_TRUE(componentsSeparatedByRegex("a", "x**", RGXRegexNoOptions, kWhole, &split).empty());
  EXPECT_EQ(reasonOf(split), "The error U_REGEX_RULE_SYNTAX occurred at line 1, column 3: x*<<HERE>>*");

  platform::Error flags;
  EXPECT_EQ(rangeOfRegex("a", "a", RGXRegexOptions(0x80000000u), kWhole, 0, &flags), NotFoundRange);
  EXPECT_EQ(reasonOf(flags), "The error U_REGEX_INVALID_FLAG occurred.");

  platform::Error replace;
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("a", "[", "b", RGXRegexNoOptions, kWhole, &replace),
            std::nullopt);
  EXPECT_EQ(replace.userInfo->valueForKey(RGXICURegexReplacementStringErrorKey).stringValue(), "b");
}

TEST(RegexErrors, BadPatternWithoutAnErrorSlotRaises) {
  try {
    componentsMatchedByRegex("abc", "(abc");
    FAIL() << "no exception";
  } catch (const RGXICURegexException& e) {
    EXPECT_EQ(e.name(), "RGXICURegexException");
    EXPECT_EQ(e.reason(), "ICU regular expression error #" + std::to_string(int(U_REGEX_MISMATCHED_PAREN)) +
                              ", U_REGEX_MISMATCHED_PAREN.");
    ASSERT_TRUE(e.userInfo());
    EXPECT_EQ(e.userInfo()->valueForKey(LocalizedFailureReasonErrorKey).stringValue(),
              "The error U_REGEX_MISMATCHED_PAREN occurred at line 1, column 4: (abc<<HERE>>");
  }
  EXPECT_THROW(stringByReplacingOccurrencesOfRegex("a", "(", "b"), RGXICURegexException);
  EXPECT_THROW(enumerateStringsMatchedByRegex("a", "(", [](auto, auto, auto, bool&) {}),
               RGXICURegexException);
}

TEST(RegexErrors, CompileOnlyFormsNeverRaise) {
  EXPECT_EQ(captureCountForRegex("(a)(b(c))"), 3);
  EXPECT_EQ(captureCount("abc"), 0);
  EXPECT_EQ(captureCountForRegex("(abc"), -1);
  EXPECT_EQ(captureCount("(abc"), -1);
  EXPECT_TRUE(isRegexValid("a+"));
  EXPECT_FALSE(isRegexValid("a{2,1}"));
  platform::Error error;
  EXPECT_FALSE(isRegexValidWithOptions("[a", RGXRegexNoOptions, &error));
  EXPECT_EQ(error.code, U_REGEX_MISSING_CLOSE_BRACKET);
  EXPECT_EQ(reasonOf(error),
            "The error U_REGEX_MISSING_CLOSE_BRACKET occurred at line 1, column 2: [a<<HERE>>");
  EXPECT_EQ(captureCountWithOptions("(x)", RGXRegexCaseless, nullptr), 1);
  // ICU takes no empty pattern.
  EXPECT_FALSE(isRegexValidWithOptions("", RGXRegexNoOptions, &error));
  EXPECT_EQ(error.code, U_ILLEGAL_ARGUMENT_ERROR);
}

TEST(RegexErrors, ATextOfINT32_MAXBytesOrMoreIsRefusedByItsLengthBeforeAnyOfItIsRead) {
  // Address space none of which may be read: a text this long is refused by its length alone.
  const std::size_t size = std::size_t(INT32_MAX);
  void* pages = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(pages, MAP_FAILED);
  const std::string_view huge(static_cast<const char*>(pages), size);
  auto refused = [](const std::function<void()>& call, const std::string& caller) {
    try {
      call();
      ADD_FAILURE() << caller << ": no exception";
    } catch (const platform::RangeException& e) {
      EXPECT_EQ(e.reason(), "*** -[NSString " + caller + "]: String length exceeds INT_MAX.");
    }
  };
  refused([&] { isMatchedByRegex(huge, "a"); }, "isMatchedByRegex:");
  refused([&] { enumerateStringsMatchedByRegex(huge, "a", [](auto, auto, auto, bool&) {}); },
          "enumerateStringsMatchedByRegex:usingBlock:");
  refused([&] { enumerateStringsSeparatedByRegex(huge, "a", [](auto, auto, auto, bool&) {}); },
          "enumerateStringsSeparatedByRegex:usingBlock:");
  munmap(pages, size);
}

TEST(RegexErrors, MisuseRaisesWithTheCallersName) {
  try {
    rangeOfRegex("abc", "a", Range{2, 5});
    FAIL() << "no exception";
  } catch (const platform::RangeException& e) {
    EXPECT_EQ(e.reason(), "*** -[NSString rangeOfRegex:inRange:]: Range or index out of bounds.");
  }
  EXPECT_THROW(isMatchedByRegex("abc", "a", Range{4, 0}), platform::RangeException);
  EXPECT_THROW(isMatchedByRegex(kGrin, "a", Range{0, 3}), platform::RangeException);  // 2 units, not 4 bytes
  EXPECT_NO_THROW(isMatchedByRegex(kGrin, "a", Range{2, 0}));
  try {
    stringByMatching("abc", "(a)", 2);
    FAIL() << "no exception";
  } catch (const platform::InvalidArgumentException& e) {
    EXPECT_EQ(e.reason(), "*** -[NSString stringByMatching:capture:]: The capture argument is not valid.");
  }
  EXPECT_THROW(componentsMatchedByRegex("abc", "a", -1), platform::InvalidArgumentException);
  std::string s = "abc";
  try {
    replaceOccurrencesOfRegex(s, "a", "b", Range{1, 9});
    FAIL() << "no exception";
  } catch (const platform::RangeException& e) {
    EXPECT_EQ(e.reason(),
              "*** -[NSMutableString replaceOccurrencesOfRegex:withString:range:]: Range or index out of "
              "bounds.");
  }
  // The lock was released on the way out.
  EXPECT_TRUE(isMatchedByRegex("abc", "c"));
}

TEST(RegexErrors, IcuFailureWhileReplacing) {
  platform::Error error;
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("xa", "(a)", "$5", RGXRegexNoOptions, kWhole, &error),
            std::nullopt);
  EXPECT_EQ(error.code, U_INDEX_OUTOFBOUNDS_ERROR);
  EXPECT_EQ(error.localizedDescription, "The ICU library returned an unexpected error.");
  EXPECT_EQ(reasonOf(error), "The error U_INDEX_OUTOFBOUNDS_ERROR occurred.");
  EXPECT_THROW(stringByReplacingOccurrencesOfRegex("xa", "(a)", "$5"), RGXICURegexException);
  // The expression is still usable afterwards.
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("xa", "(a)", "[$1]"), "x[a]");
  EXPECT_EQ(componentsMatchedByRegex("xaa", "(a)"), (Strings{"a", "a"}));
}

TEST(RegexBlocks, EnumerateMatches) {
  std::string s = "a1 " + kGrin + "22 b333";
  std::vector<Strings> strings;
  std::vector<std::vector<Range>> ranges;
  EXPECT_TRUE(
      enumerateStringsMatchedByRegex(s, "(\\d)(\\d*)", [&](std::size_t count, auto caps, auto rs, bool&) {
        EXPECT_EQ(count, 3u);
        strings.emplace_back(caps.begin(), caps.end());
        ranges.emplace_back(rs.begin(), rs.end());
      }));
  ASSERT_EQ(strings.size(), 3u);
  EXPECT_EQ(strings[1], (Strings{"22", "2", "2"}));
  EXPECT_EQ(ranges[1], (std::vector<Range>{{5, 2}, {5, 1}, {6, 1}}));
  EXPECT_EQ(ranges[0][2], (Range{2, 0}));

  int calls = 0;
  EXPECT_TRUE(enumerateStringsMatchedByRegex(s, "\\d", [&](auto, auto, auto, bool& stop) {
    ++calls;
    stop = true;
  }));
  EXPECT_EQ(calls, 1);

  calls = 0;
  EXPECT_TRUE(enumerateStringsMatchedByRegex(s, "(x)?\\d+", RGXRegexNoOptions, Range{3, WholeLength}, nullptr,
                                             RGXRegexEnumerationCapturedStringsNotRequired,
                                             [&](std::size_t count, auto caps, auto rs, bool&) {
                                               ++calls;
                                               EXPECT_TRUE(caps.empty());
                                               EXPECT_EQ(rs.size(), count);
                                               EXPECT_EQ(rs[1], NotFoundRange);
                                             }));
  EXPECT_EQ(calls, 2);

  Strings reused;
  EXPECT_TRUE(enumerateStringsMatchedByRegex(
      s, "\\d+", RGXRegexNoOptions, kWhole, nullptr, RGXRegexEnumerationReusedCapturedStrings,
      [&](auto, auto caps, auto, bool&) { reused.push_back(caps[0]); }));
  EXPECT_EQ(reused, (Strings{"1", "22", "333"}));
}

TEST(RegexBlocks, EnumeratePieces) {
  std::vector<Strings> calls;
  EXPECT_TRUE(
      enumerateStringsSeparatedByRegex("a1b2c", "(\\d)", [&](std::size_t count, auto caps, auto, bool&) {
        calls.emplace_back(caps.begin(), caps.end());
        EXPECT_EQ(count, caps.size());
      }));
  EXPECT_EQ(calls, (std::vector<Strings>{{"a", "1"}, {"b", "2"}, {"c"}}));
  calls.clear();
  EXPECT_TRUE(enumerateStringsSeparatedByRegex(
      "none", ",", [&](auto, auto caps, auto, bool&) { calls.emplace_back(caps.begin(), caps.end()); }));
  EXPECT_EQ(calls, (std::vector<Strings>{{"none"}}));
}

TEST(RegexBlocks, ReplaceByBlock) {
  auto upper = [](std::size_t, std::span<const std::string> caps, auto, bool&) {
    std::string s = caps[1];
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("a-b-c", "(\\w)", upper), "A-B-C");
  EXPECT_EQ(
      stringByReplacingOccurrencesOfRegex("中x文y", "[a-z]", [](auto, auto, auto, bool&) { return ""; }),
      "中文");
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("a-b-c", "\\w", RGXRegexNoOptions, Range{2, 3}, nullptr,
                                                RGXRegexEnumerationReleaseReplacementString,
                                                [](auto, auto, auto, bool& stop) {
                                                  stop = true;
                                                  return std::string("X");
                                                }),
            "X-c");
  EXPECT_EQ(stringByReplacingOccurrencesOfRegex("abc", "\\d", upper), "abc");

  std::string s = "x1y22";
  EXPECT_EQ(
      replaceOccurrencesOfRegex(s, "\\d+", [](auto, auto caps, auto, bool&) { return "<" + caps[0] + ">"; }),
      2);
  EXPECT_EQ(s, "x<1>y<22>");
  std::string none = "xyz";
  EXPECT_EQ(replaceOccurrencesOfRegex(none, "\\d", [](auto, auto, auto, bool&) { return std::string("!"); }),
            0);
  EXPECT_EQ(none, "xyz");
}

TEST(RegexBlocks, BlocksMayCallBackIn) {
  std::string s = "ab12cd34";
  int inner = 0;
  EXPECT_TRUE(enumerateStringsMatchedByRegex(s, "\\d+", [&](auto, auto caps, auto, bool&) {
    EXPECT_TRUE(isMatchedByRegex(s, "\\d+"));
    EXPECT_TRUE(enumerateStringsMatchedByRegex(caps[0], "\\d", [&](auto, auto, auto, bool&) { ++inner; }));
  }));
  EXPECT_EQ(inner, 4);
  // Changing the caller's string from the block does not disturb the enumeration.
  std::string changing = "1 2 3";
  Strings seen;
  EXPECT_TRUE(enumerateStringsMatchedByRegex(changing, "\\d", [&](auto, auto caps, auto, bool&) {
    seen.push_back(caps[0]);
    changing = "completely different and much longer text 9 9 9 9";
  }));
  EXPECT_EQ(seen, (Strings{"1", "2", "3"}));
}

TEST(RegexBlocks, BadEnumerationOptionsAreRefused) {
  auto block = [](auto, auto, auto, bool&) {};
  try {
    enumerateStringsMatchedByRegex("a", "a", RGXRegexNoOptions, kWhole, nullptr,
                                   RGXRegexEnumerationOptions(0xA00), block);
    FAIL() << "no exception";
  } catch (const platform::InvalidArgumentException& e) {
    EXPECT_EQ(e.reason(),
              "*** -[NSString "
              "enumerateStringsMatchedByRegex:options:inRange:error:enumerationOptions:usingBlock:]: "
              "The RGXRegexEnumerationOptions argument is not valid.");
  }
  EXPECT_THROW(enumerateStringsSeparatedByRegex("a", "a", RGXRegexNoOptions, kWhole, nullptr,
                                                RGXRegexEnumerationReleaseReplacementString, block),
               platform::InvalidArgumentException);
  EXPECT_THROW(enumerateStringsMatchedByRegex("a", "a", RGXRegexNoOptions, kWhole, nullptr,
                                              RGXRegexEnumerationOptions(0x1), block),
               platform::InvalidArgumentException);
  EXPECT_THROW(enumerateStringsMatchedByRegex("a", "a", RGXRegexNoOptions, Range{0, 2}, nullptr,
                                              RGXRegexEnumerationNoOptions, block),
               platform::RangeException);
  EXPECT_THROW(enumerateStringsMatchedByRegex("a", "a", RGXMatchBlock{}), platform::InvalidArgumentException);
  platform::Error error;
  EXPECT_FALSE(enumerateStringsMatchedByRegex("a", "(", RGXRegexNoOptions, kWhole, &error,
                                              RGXRegexEnumerationNoOptions, block));
  EXPECT_EQ(error.code, U_REGEX_MISMATCHED_PAREN);
  EXPECT_EQ(error.userInfo->valueForKey(RGXICURegexEnumerationOptionsErrorKey).intValue(), 0);
}
