#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "kit/codec/regex/MutableStringRegexBoxAdditions.h"
#include "kit/codec/regex/RGXCachedRegex.h"
#include "kit/codec/regex/StringRegexBoxAdditions.h"
#include "platform/foundation/NotificationCenter.h"

using namespace kavro;
using namespace kavro::str;

namespace {

struct Expected {
  std::vector<std::string> matches;
  std::vector<std::string> pieces;
  std::string replaced;
  std::size_t blockCalls;
};

}  // namespace

// Eight threads share patterns (more than one cache set holds) and subjects (more than the
// conversion buffers hold, short and long, ASCII, CJK and astral) while a memory warning and cache
// clears arrive; every answer must equal the one computed alone beforehand.
TEST(RegexStress, EightThreadsSharePatternsAndSubjects) {
  clearStringCache();
  std::vector<std::string> subjects = {
      "alpha 12 beta 345 gamma 6",
      "价格 １２ 元，数量 34 件",
      "\xF0\x9F\x98\x80 7 \xF0\x9F\x98\x81 89 \xF0\x9F\x98\x82",
      std::string(2100, 'a') + " 42 " + std::string(10, 'b'),
      [] {
        std::string s;
        for (int i = 0; i < 700; ++i) s += "中" + std::to_string(i % 10);
        return s;
      }(),
      "no digits here",
      "1,2,,3,",
      "x9y8z7w6v5u4t3s2r1",
      "k=v; k2=v2; k3=",
  };
  std::vector<std::string> patterns;
  for (int i = 0; i < 6; ++i) patterns.push_back("\\d{1," + std::to_string(i + 1) + "}");
  int set = RGXCache::cacheSetForPattern("\\d", 0);
  for (int i = 0; patterns.size() < 12; ++i) {  // six that collide in one set
    std::string p = "(?:" + std::to_string(i) + ")?\\d*";
    if (RGXCache::cacheSetForPattern(p, 0) == set) patterns.push_back(p);
    if (i > 5000) break;
  }
  patterns.push_back("[^\\d]+");
  patterns.push_back(",");

  std::vector<std::vector<Expected>> expected(subjects.size());
  for (std::size_t s = 0; s < subjects.size(); ++s) {
    for (const auto& p : patterns) {
      Expected e;
      e.matches = componentsMatchedByRegex(subjects[s], p);
      e.pieces = componentsSeparatedByRegex(subjects[s], p);
      e.replaced = *stringByReplacingOccurrencesOfRegex(subjects[s], p, "<$0>");
      e.blockCalls = 0;
      enumerateStringsMatchedByRegex(subjects[s], p, [&](auto, auto, auto, bool&) { ++e.blockCalls; });
      expected[s].push_back(std::move(e));
    }
  }

  constexpr int kThreads = 8;
  constexpr int kRounds = 150;
  std::atomic<int> failures{0};
  std::atomic<bool> done{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        std::size_t s = std::size_t(round * 7 + t * 3) % subjects.size();
        std::size_t p = std::size_t(round * 5 + t) % patterns.size();
        const Expected& e = expected[s][p];
        const std::string& subject = subjects[s];
        const std::string& pattern = patterns[p];
        bool ok = true;
        switch ((round + t) % 5) {
          case 0:
            ok = componentsMatchedByRegex(subject, pattern) == e.matches;
            break;
          case 1:
            ok = componentsSeparatedByRegex(subject, pattern) == e.pieces;
            break;
          case 2:
            ok = stringByReplacingOccurrencesOfRegex(subject, pattern, "<$0>") == e.replaced;
            break;
          case 3: {
            std::size_t calls = 0;
            ok = enumerateStringsMatchedByRegex(subject, pattern, [&](auto, auto caps, auto, bool&) {
              // Blocks may call back in while other threads hold the lock.
              if (isMatchedByRegex(caps[0], pattern) != true) ++calls;
              ++calls;
            });
            ok = ok && calls == e.blockCalls;
            break;
          }
          case 4: {
            std::string copy = subject;
            std::int64_t n = replaceOccurrencesOfRegex(copy, pattern, "<$0>");
            ok = std::size_t(n) == e.matches.size() && copy == e.replaced;
            break;
          }
        }
        if (!ok) failures.fetch_add(1);
      }
    });
  }
  std::thread warner([&] {
    int i = 0;
    while (!done.load()) {
      platform::NotificationCenter::defaultCenter().post(platform::MemoryWarningNotification);
      if (++i % 8 == 0) clearStringCache();
      std::this_thread::yield();
    }
  });
  for (auto& th : threads) th.join();
  done = true;
  warner.join();
  EXPECT_EQ(failures.load(), 0);
}
