#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/core/ValueCounts.h"

namespace kavro {
namespace {

// Values packed close in the table, taken out in a scattered order, some counted twice: after
// every removal each value is found or not as it should be. A slot left short of its home, or a
// probe stopped at a freed slot, shows as a value lost or found twice.
TEST(ValueCountsTest, EveryValueStaysFoundWhateverCameAndWentAroundIt) {
  for (const int values : {12, 3000}) {
    SCOPED_TRACE(values);
    ValueCounts counts;
    std::vector<int> held(static_cast<std::size_t>(values), 0);
    for (int i = 0; i < values; ++i) {
      ASSERT_TRUE(counts.addNew(std::to_string(i)));
      held[static_cast<std::size_t>(i)] = 1;
    }
    EXPECT_FALSE(counts.addNew("0"));
    for (int i = 0; i < values; i += 5) {
      counts.add(std::to_string(i));
      ++held[static_cast<std::size_t>(i)];
    }
    EXPECT_EQ(counts.size(), static_cast<std::size_t>(values));
    EXPECT_FALSE(counts.remove("absent"));
    // 7919 is prime: k * 7919 % values visits every value once.
    for (int k = 0; k < values; ++k) {
      const int i = k * 7919 % values;
      if (k % 3 == 0) continue;
      ASSERT_TRUE(counts.remove(std::to_string(i))) << i;
      --held[static_cast<std::size_t>(i)];
    }
    std::size_t left = 0;
    for (int i = 0; i < values; ++i) {
      const bool isHeld = held[static_cast<std::size_t>(i)] > 0;
      left += isHeld;
      EXPECT_EQ(counts.addNew(std::to_string(i)), !isHeld) << i;
    }
    EXPECT_EQ(counts.size(), static_cast<std::size_t>(values));
    EXPECT_LT(left, static_cast<std::size_t>(values));
    // Each value now held once more than before the last pass: it leaves after as many removals.
    for (int i = 0; i < values; ++i) {
      const int times = std::max(held[static_cast<std::size_t>(i)], 1);
      for (int t = 0; t < times; ++t) ASSERT_TRUE(counts.remove(std::to_string(i))) << i;
      EXPECT_FALSE(counts.remove(std::to_string(i))) << i;
    }
    EXPECT_EQ(counts.size(), 0u);
    // Used again after being emptied, and after clear().
    EXPECT_TRUE(counts.addNew("again"));
    counts.clear();
    EXPECT_EQ(counts.size(), 0u);
    EXPECT_TRUE(counts.addNew("again"));
    EXPECT_FALSE(counts.addNew("again"));
  }
}

}  // namespace
}  // namespace kavro
