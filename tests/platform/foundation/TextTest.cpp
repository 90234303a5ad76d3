#include <gtest/gtest.h>

#include "platform/foundation/Error.h"
#include "platform/foundation/Text.h"

using namespace platform;

namespace {
const std::string kCjk = "\xE5\xB7\xA5\xE4\xBD\x9C";    // 工作
const std::string kAstral = "\xF0\x9F\x98\x80";         // U+1F600, two UTF-16 units
const std::string kMixed = "a" + kCjk + kAstral + "b";  // a 工 作 😀 b : 6 units
}  // namespace

TEST(Text, LengthsCountUtf16Units) {
  EXPECT_EQ(utf16Length(""), 0u);
  EXPECT_EQ(utf16Length("abc"), 3u);
  EXPECT_EQ(utf16Length(kCjk), 2u);
  EXPECT_EQ(utf16Length(kAstral), 2u);
  EXPECT_EQ(utf16Length(kMixed), 6u);
  EXPECT_EQ(utf16Length("\xFF\xFE"), 2u);  // each bad byte is one replacement character
}

TEST(Text, Validation) {
  EXPECT_TRUE(isValidUtf8(kMixed));
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(isValidUtf8("\xE5\xB7"));          // cut off
}

TEST(Text, ConversionRoundTripsAndRepairsLoneSurrogates) {
  EXPECT_EQ(toUtf8(toUtf16(kMixed)), kMixed);
  std::u16string lone = u"a";
  lone += char16_t(0xD83D);
  EXPECT_EQ(toUtf8(lone), "a\xEF\xBF\xBD");
  EXPECT_EQ(characterAt16(kMixed, 3), char16_t(0xD83D));
  EXPECT_EQ(characterAt16(kMixed, 4), char16_t(0xDE00));
  EXPECT_THROW(characterAt16(kMixed, 6), RangeException);
}

TEST(Text, SlicingByUnits) {
  EXPECT_EQ(substring16(kMixed, {1, 2}), kCjk);
  EXPECT_EQ(substring16(kMixed, {3, 2}), kAstral);
  EXPECT_EQ(substringFrom16(kMixed, 5), "b");
  EXPECT_EQ(substringTo16(kMixed, 1), "a");
  EXPECT_EQ(substring16(kMixed, {6, 0}), "");
  EXPECT_THROW(substring16(kMixed, {5, 2}), RangeException);
  EXPECT_THROW(substring16("abc", {4, 0}), RangeException);
  EXPECT_THROW(substring16("abc", {1, WholeLength}), RangeException);
  // Cutting through the pair leaves a replacement character for the broken half.
  EXPECT_EQ(substring16(kMixed, {4, 2}),
            "\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(substring16(kMixed, {2, 2}), "\xE4\xBD\x9C\xEF\xBF\xBD");
  EXPECT_EQ(byteOffset16(kMixed, 4), 7u);  // inside the pair: start of the character
  EXPECT_EQ(byteOffset16(kMixed, 6), kMixed.size());
}

TEST(Text, ReplaceAndSearch) {
  EXPECT_EQ(replace16(kMixed, {1, 2}, "xy"), "axy" + kAstral + "b");
  EXPECT_EQ(replace16("abc", {3, 0}, "d"), "abcd");
  EXPECT_THROW(replace16("abc", {2, 2}, ""), RangeException);
  EXPECT_EQ(rangeOfString(kMixed, "b"), (Range{5, 1}));
  EXPECT_EQ(rangeOfString(kMixed, kAstral), (Range{3, 2}));
  EXPECT_FALSE(rangeOfString(kMixed, "z").found());
  EXPECT_FALSE(rangeOfString(kMixed, "").found());
  EXPECT_EQ(rangeOfString("abab", "ab", true), (Range{2, 2}));
  EXPECT_EQ(replaceAll("a&&b&", "&", "%26"), "a%26%26b%26");
}

TEST(Text, CaseMappingIgnoresProcessLocale) {
  EXPECT_EQ(lowercase("ABC Straße"), "abc straße");
  EXPECT_EQ(uppercase("straße"), "STRASSE");
  EXPECT_EQ(lowercase("I"), "i");  // not the Turkish dotless i
  EXPECT_EQ(capitalizedFirst("jobHasApplied"), "JobHasApplied");
  EXPECT_EQ(lowercase("\xC3\x89"), "\xC3\xA9");
}

TEST(Text, TrimmingUsesUnicodeSets) {
  EXPECT_EQ(trimWhitespaceAndNewlines(" \t\r\n x y \xE3\x80\x80\xE2\x80\xA8"),
            "x y");  // ideographic space, LS
  EXPECT_EQ(trimWhitespace("\n x \n"), "\n x \n");
  EXPECT_EQ(trimWhitespace("  x  "), "x");
  EXPECT_EQ(trimWhitespaceAndNewlines("   "), "");
  EXPECT_EQ(trimWhitespaceAndNewlines(kCjk), kCjk);
  EXPECT_TRUE(isNewline(0x85));
  EXPECT_FALSE(isWhitespace(0x200B));  // zero-width space is not white space
}
