#include <gtest/gtest.h>

#include <array>
#include <regex>
#include <set>
#include <vector>

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

TEST(RandomTest, EveryBitOfEveryByteVaries) {
  // 64 draws: a bit that never changes would be a generator or a copy gone wrong (by chance, once
  // in 2^63).
  std::vector<std::uint8_t> set(40, 0), clear(40, 0);
  for (int i = 0; i < 64; ++i) {
    const Data d = randomData(40);
    ASSERT_EQ(d.size(), 40u);
    for (std::size_t b = 0; b < d.size(); ++b) {
      set[b] |= d[b];
      clear[b] |= static_cast<std::uint8_t>(~d[b]);
    }
  }
  for (std::size_t b = 0; b < set.size(); ++b) {
    EXPECT_EQ(set[b], 0xFF) << "byte " << b;
    EXPECT_EQ(clear[b], 0xFF) << "byte " << b;
  }
}

TEST(UuidTest, EveryBitButTheVersionAndVariantVaries) {
  std::array<std::uint8_t, 16> set{}, clear{};
  for (int i = 0; i < 64; ++i) {
    const auto bytes = Uuid::create().bytes();
    ASSERT_EQ(bytes.size(), 16u);
    for (std::size_t b = 0; b < 16; ++b) {
      set[b] |= bytes[b];
      clear[b] |= static_cast<std::uint8_t>(~bytes[b]);
    }
  }
  for (std::size_t b = 0; b < 16; ++b) {
    // The version (0100 in the high half of byte 6) and the variant (10 at the top of byte 8) are
    // fixed; every other bit is drawn.
    const std::uint8_t fixedOnes = b == 6 ? 0x40 : b == 8 ? 0x80 : 0;
    const std::uint8_t fixedZeros = b == 6 ? 0xB0 : b == 8 ? 0x40 : 0;
    EXPECT_EQ(set[b], 0xFF & ~fixedZeros) << "byte " << b;
    EXPECT_EQ(clear[b], 0xFF & ~fixedOnes) << "byte " << b;
  }
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
