#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <random>
#include <string>
#include <vector>

#include "kit/codec/regex/RGXCachedRegex.h"
#include "kit/codec/regex/StringRegexBoxAdditions.h"
#include "platform/foundation/NotificationCenter.h"

using namespace kavro;
using namespace kavro::str;
using platform::Range;

namespace {

class RegexCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { clearStringCache(); }
  static std::uint64_t compiles() { return RGXCache::shared().compileCount(); }
  static std::uint64_t conversions() { return RGXCache::shared().conversionCount(); }

  // Patterns that all fall into one cache set.
  static std::vector<std::string> patternsInOneSet(std::size_t n) {
    std::vector<std::string> found;
    int set = RGXCache::cacheSetForPattern("p0", 0);
    for (int i = 0; found.size() < n; ++i) {
      std::string p = "p" + std::to_string(i);
      if (RGXCache::cacheSetForPattern(p, 0) == set) found.push_back(p);
    }
    return found;
  }
};

TEST_F(RegexCacheTest, RecencyWordsPickTheLeastRecentlyUsedWay) {
  std::uint16_t r = RGXCache::kInitialRecency;
  EXPECT_EQ(RGXCache::victimWay(r), 3);
  for (int expected : {3, 2, 1, 0}) {
    EXPECT_EQ(RGXCache::victimWay(r), expected);
    r = RGXCache::useWay(r, expected);
  }
  EXPECT_EQ(RGXCache::victimWay(r), 3);  // used longest ago
  r = RGXCache::useWay(r, 3);
  r = RGXCache::useWay(r, 1);
  EXPECT_EQ(RGXCache::victimWay(r), 2);
  r = RGXCache::useWay(r, 2);
  EXPECT_EQ(RGXCache::victimWay(r), 0);
}

TEST_F(RegexCacheTest, FifthPatternOfASetEvictsTheLeastRecentlyUsed) {
  auto p = patternsInOneSet(5);
  auto before = compiles();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(captureCountForRegex(p[i]), 0);
  EXPECT_EQ(compiles(), before + 4);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(isMatchedByRegex(p[i] + "!", p[i]));
  EXPECT_EQ(compiles(), before + 4);

  EXPECT_TRUE(isMatchedByRegex(p[4], p[4]));  // replaces p[0]
  EXPECT_EQ(compiles(), before + 5);
  for (int i = 1; i < 5; ++i) EXPECT_EQ(captureCountForRegex(p[i]), 0);
  EXPECT_EQ(compiles(), before + 5);
  EXPECT_TRUE(isMatchedByRegex(p[0], p[0]));  // compiled again, replacing p[1]
  EXPECT_EQ(compiles(), before + 6);
  EXPECT_TRUE(isMatchedByRegex(p[1], p[1]));
  EXPECT_EQ(compiles(), before + 7);
}

// One set under a seeded random mix of uses against a plain model of its four most recently used
// patterns: a use compiles exactly when the model lacks the pattern. Uses come by every road the
// cache has: the text it was last used at (its address remembered), another copy of the text,
// the same pattern twice in a row, and patterns of other sets in between.
TEST_F(RegexCacheTest, ASetKeepsItsFourMostRecentlyUsedPatternsUnderRandomUse) {
  const auto p = patternsInOneSet(7);
  std::vector<std::string> others;
  for (int i = 0; others.size() < 3; ++i) {
    std::string q = "q" + std::to_string(i);
    if (RGXCache::cacheSetForPattern(q, 0) != RGXCache::cacheSetForPattern(p[0], 0)) others.push_back(q);
  }
  for (std::uint32_t seed : {1u, 77u, 2024u}) {
    clearStringCache();
    std::mt19937 random(seed);
    std::vector<std::string> recent;  // the model: least recently used first
    for (int step = 0; step < 400; ++step) {
      const std::string& pattern = p[random() % p.size()];
      const bool cached = std::find(recent.begin(), recent.end(), pattern) != recent.end();
      const auto before = compiles();
      switch (random() % 4) {
        case 0:
          EXPECT_TRUE(isMatchedByRegex(pattern + "!", pattern));
          break;
        case 1: {
          const std::string copy(pattern.begin(), pattern.end());
          EXPECT_TRUE(isMatchedByRegex(copy, copy));
          break;
        }
        case 2:
          EXPECT_EQ(captureCountForRegex(pattern), 0);
          EXPECT_EQ(captureCountForRegex(pattern), 0);
          break;
        default:
          EXPECT_EQ(captureCountForRegex(pattern), 0);
          break;
      }
      ASSERT_EQ(compiles() - before, cached ? 0u : 1u) << seed << " " << step << " " << pattern;
      // Another set's pattern in between: this set's order stays as it is.
      if (random() % 3 == 0) {
        EXPECT_EQ(captureCountForRegex(others[random() % others.size()]), 0);
      }
      recent.erase(std::remove(recent.begin(), recent.end(), pattern), recent.end());
      recent.push_back(pattern);
      if (recent.size() > 4) recent.erase(recent.begin());
    }
  }
}

TEST_F(RegexCacheTest, SameTextIsConvertedOnce) {
  std::string a(3000, 'x');
  std::string copy = a;  // another object with the same text
  EXPECT_TRUE(isMatchedByRegex(a, "x$"));
  auto after = conversions();
  EXPECT_TRUE(isMatchedByRegex(a, "^x"));
  EXPECT_EQ(componentsMatchedByRegex(copy, "x{1000}").size(), 3u);
  EXPECT_EQ(conversions(), after);
  flushCachedRegexData(a);
  EXPECT_TRUE(isMatchedByRegex(a, "x"));
  EXPECT_EQ(conversions(), after + 1);
}

TEST_F(RegexCacheTest, AlternatingSubjectsWithTheSameRangeAreNeverStale) {
  std::string one = "ab12cd";
  std::string two = "1abcd2";
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(rangeOfRegex(one, "\\d+"), (Range{2, 2}));
    EXPECT_EQ(stringByMatching(one, "\\d+"), "12");
    EXPECT_EQ(rangeOfRegex(two, "\\d+"), (Range{0, 1}));
    EXPECT_EQ(componentsMatchedByRegex(two, "\\d+"), (std::vector<std::string>{"1", "2"}));
  }
  // More subjects than the conversion buffers hold, same length, same range.
  std::vector<std::string> subjects;
  for (int i = 0; i < 9; ++i)
    subjects.push_back(std::string(std::size_t(i), '-') + "7" + std::string(std::size_t(8 - i), '-'));
  for (int round = 0; round < 3; ++round)
    for (int i = 0; i < 9; ++i)
      EXPECT_EQ(rangeOfRegex(subjects[std::size_t(i)], "7"), (Range{std::size_t(i), 1}));
}

TEST_F(RegexCacheTest, TextChangedInPlaceIsSearchedAsItIsNow) {
  std::string s = "aaa111";
  const char* storage = s.data();
  EXPECT_EQ(stringByMatching(s, "\\d+"), "111");
  s[4] = 'x';
  ASSERT_EQ(s.data(), storage);
  EXPECT_EQ(stringByMatching(s, "\\d+"), "1");
  EXPECT_EQ(componentsMatchedByRegex(s, "\\d"), (std::vector<std::string>{"1", "1"}));
  s.replace(0, 3, "中");  // same bytes, fewer units
  EXPECT_EQ(rangeOfRegex(s, "x"), (Range{2, 1}));
}

TEST_F(RegexCacheTest, RangeErrorsLeaveTheLockFree) {
  EXPECT_THROW(isMatchedByRegex("abc", "b", Range{1, 3}), platform::RangeException);
  EXPECT_THROW(componentsSeparatedByRegex("abc", "b", Range{9, 0}), platform::RangeException);
  auto other = std::async(std::launch::async, [] { return isMatchedByRegex("xyz", "y"); });
  EXPECT_TRUE(other.get());
  EXPECT_TRUE(isMatchedByRegex("abc", "b"));
}

TEST_F(RegexCacheTest, MemoryWarningEmptiesTheCache) {
  EXPECT_TRUE(isMatchedByRegex("abc", "b+"));
  auto before = compiles();
  EXPECT_TRUE(isMatchedByRegex("abc", "b+"));
  EXPECT_EQ(compiles(), before);
  platform::NotificationCenter::defaultCenter().post(platform::MemoryWarningNotification);
  EXPECT_TRUE(isMatchedByRegex("abc", "b+"));
  EXPECT_EQ(compiles(), before + 1);
}

TEST_F(RegexCacheTest, MemoryWarningWhileTheLockIsHeldFlushesOnRelease) {
  EXPECT_TRUE(isMatchedByRegex("abc", "c+"));
  auto before = compiles();
  {
    RGXCacheLock hold(RGXCache::shared());
    // The observer must not wait for the lock, here on the thread that holds it.
    platform::NotificationCenter::defaultCenter().post(platform::MemoryWarningNotification);
    EXPECT_EQ(compiles(), before);
  }
  EXPECT_TRUE(isMatchedByRegex("abc", "c+"));
  EXPECT_EQ(compiles(), before + 1);
}

}  // namespace
