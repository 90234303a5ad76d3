#include <gtest/gtest.h>
#include <unicode/uregex.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "kit/core/StringDisplayLength.h"
#include "platform/foundation/Text.h"

using kavro::str::cnWordsLength;
using kavro::str::methodNameFromCString;

namespace {

// The display length the slow way: one match of "[\u0391-\uFFE5]" per UTF-16 unit.
std::int64_t cnWordsLengthByExpression(const std::string& s) {
  std::u16string units = platform::toUtf16(s);
  const std::u16string pattern = u"[\\u0391-\\uFFE5]";
  UErrorCode status = U_ZERO_ERROR;
  URegularExpression* re = uregex_open(pattern.data(), std::int32_t(pattern.size()), 0, nullptr, &status);
  std::int64_t n = std::int64_t(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    uregex_setText(re, units.data() + i, 1, &status);
    if (uregex_find(re, 0, &status)) ++n;
  }
  uregex_close(re);
  return std::int64_t(std::ceil(float(n) * 0.5f));
}

}  // namespace

TEST(StringDisplayLength, CountsWideCharactersTwice) {
  EXPECT_EQ(cnWordsLength(""), 0);
  EXPECT_EQ(cnWordsLength("a"), 1);
  EXPECT_EQ(cnWordsLength("ab"), 1);
  EXPECT_EQ(cnWordsLength("abc"), 2);
  EXPECT_EQ(cnWordsLength("中文"), 2);
  EXPECT_EQ(cnWordsLength("中a"), 2);
  EXPECT_EQ(cnWordsLength("\xCE\x91"), 1);                              // U+0391: two halves
  EXPECT_EQ(cnWordsLength("\xCE\x90\xCE\x90"), 1);                      // U+0390 twice: one half each
  EXPECT_EQ(cnWordsLength("\xEF\xBF\xA5\xEF\xBF\xA5\xEF\xBF\xA5"), 3);  // U+FFE5
  EXPECT_EQ(cnWordsLength("\xEF\xBF\xA6\xEF\xBF\xA6\xEF\xBF\xA6"), 2);  // U+FFE6
  EXPECT_EQ(cnWordsLength("\xF0\x9F\x98\x80"), 2);  // both halves of the pair are in the range
  EXPECT_EQ(cnWordsLength("\xFF"), 1);              // a bad byte stands for U+FFFD
}

TEST(StringDisplayLength, CountsMixedScriptsAndBrokenText) {
  EXPECT_EQ(cnWordsLength("abcdefgh"), 4);
  EXPECT_EQ(cnWordsLength("abcdefghi"), 5);
  EXPECT_EQ(cnWordsLength("abcdefg\xE4\xB8\xAD"), 5);                // seven halves, then two
  EXPECT_EQ(cnWordsLength("招聘Java工程师，月薪１５Ｋ-20K。"), 16);  // 8 ASCII halves, 12 wide
  EXPECT_EQ(cnWordsLength("e\xCC\x81\xCC\x81"), 2);                  // combining marks below U+0391
  EXPECT_EQ(cnWordsLength("\xE0\x80\x80"), 2);                       // overlong: three bad bytes
  EXPECT_EQ(cnWordsLength("\xED\xA0\x80\xED\xB0\x80"), 3);           // surrogates: six bad bytes
  EXPECT_EQ(cnWordsLength("abcdefgh\xE4\xB8"), 5);                   // cut short at the end
  EXPECT_EQ(cnWordsLength(std::string(1000, 'x') + "中"), 501);
  // A three-byte lead two bytes before the end of sixteen, its second byte a lead itself.
  EXPECT_EQ(cnWordsLength("0123456789ABC\xEF\xEA\x8C\xCF\x80"), 9);
}

TEST(StringDisplayLength, AgreesWithOneExpressionPerUnit) {
  const std::vector<std::string> pieces = {"a",
                                           " ",
                                           "~",
                                           "\xC3\xA9",
                                           "\xCE\x90",
                                           "\xCE\x91",
                                           "\xD0\x96",
                                           "中",
                                           "，",
                                           "\xEF\xBF\xA5",
                                           "\xEF\xBF\xA6",
                                           "\xEF\xBF\xBD",
                                           "\xF0\x9F\x98\x80",
                                           "\xF0\xA0\x80\x80",
                                           "\xFF",
                                           "\xE4\xB8",
                                           "\xC3",
                                           "Java engineer ",    // ASCII runs longer than a word
                                           "e\xCC\x81",         // e and a combining acute accent
                                           "\xE0\x80\x80",      // overlong
                                           "\xED\xA0\x80",      // a surrogate written as UTF-8
                                           "\xEF\xBF",          // cut short
                                           "\xF4\x90\x80\x80",  // past U+10FFFF
                                           "\xC0\xAF"};
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    std::string s;
    std::size_t n = rng() % 40;
    for (std::size_t i = 0; i < n; ++i) s += pieces[rng() % pieces.size()];
    // Some with a few bytes overwritten: sequences broken anywhere, also across sixteen bytes.
    if (round % 2 == 1 && !s.empty()) {
      for (int k = 0; k < 3; ++k) s[rng() % s.size()] = static_cast<char>(rng());
    }
    ASSERT_EQ(cnWordsLength(s), cnWordsLengthByExpression(s)) << s;
  }
}

TEST(StringDisplayLength, MethodNameFromCString) {
  EXPECT_EQ(methodNameFromCString(nullptr), "");
  EXPECT_EQ(methodNameFromCString("main"), "main");
  EXPECT_EQ(methodNameFromCString("-[ListView reloadData]"), "reloadData");
  EXPECT_EQ(methodNameFromCString("+[AppUtil getWindow]"), "getWindow");
  EXPECT_EQ(methodNameFromCString("-[DataLoader start:delegate:]"), "start:delegate:");
  EXPECT_EQ(methodNameFromCString("[not a method"), "");
  EXPECT_EQ(methodNameFromCString("-[ListView]"), "");
  EXPECT_EQ(methodNameFromCString("-[ListView reloadData] extra"), "");
  EXPECT_EQ(methodNameFromCString("-[A b]-[C d]"), "");
}
