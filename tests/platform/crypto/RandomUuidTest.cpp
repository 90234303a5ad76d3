#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "platform/crypto/Digest.h"
#include "platform/crypto/Random.h"
#include "platform/crypto/Uuid.h"

namespace platform {
namespace {

TEST(RandomTest, FillsWhatIsAskedAndDoesNotRepeat) {
  EXPECT_TRUE(randomData(0).empty());
  randomBytes({});
  const Data a = randomData(32);
  const Data b = randomData(32);
  EXPECT_EQ(a.size(), 32u);
  EXPECT_NE(a, b);

  // Every bit position of a 32-bit number is seen both set and clear over many draws.
  std::uint32_t seenSet = 0, seenClear = 0;
  for (int i = 0; i < 200; ++i) {
    const std::uint32_t r = randomUInt32();
    seenSet |= r;
    seenClear |= ~r;
  }
  EXPECT_EQ(seenSet, 0xFFFFFFFFu);
  EXPECT_EQ(seenClear, 0xFFFFFFFFu);
}

TEST(UuidTest, IsUpperCaseVersion4InCanonicalForm) {
  const std::regex canonical("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  for (int i = 0; i < 50; ++i) {
    const Uuid uuid = Uuid::create();
    const std::string text = uuid.string();
    ASSERT_EQ(text.size(), 36u);
    EXPECT_TRUE(std::regex_match(text, canonical)) << text;
    std::string digits = text;
    std::erase(digits, '-');
    EXPECT_EQ(digits, hexString(uuid.bytes(), true));
    EXPECT_TRUE(std::regex_match(createUuidString(), canonical));
  }
}

TEST(UuidTest, AreUnique) {
  std::set<std::string> seen;
  for (int i = 0; i < 2000; ++i) seen.insert(createUuidString());
  EXPECT_EQ(seen.size(), 2000u);
  const Uuid a = Uuid::create();
  const Uuid copy = a;
  EXPECT_EQ(a, copy);
  EXPECT_NE(a, Uuid::create());
}

}  // namespace
}  // namespace platform
