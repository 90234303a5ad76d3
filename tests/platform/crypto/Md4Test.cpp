#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/crypto/Digest.h"
#include "platform/crypto/Md4.h"

namespace {

std::string md4hex(std::string_view s) {
  return platform::hexString(platform::md4({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}));
}

}  // namespace

TEST(Md4, KnownDigests) {
  EXPECT_EQ(md4hex(""), "31d6cfe0d16ae931b73c59d7e0c089c0");
  EXPECT_EQ(md4hex("abc"), "a448017aaf21d8525fc10ae87aa6729d");
  EXPECT_EQ(md4hex("message digest"), "d9130a8164549fe818874806e1c7014b");
  EXPECT_EQ(md4hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "e33b4ddc9c38f2199c3e7b164fcc0536");
  // Around the lengths where the padding and length take a block of their own, after one block
  // and after two.
  for (auto [length, digest] : {std::pair<std::size_t, const char*>{55, "c889c81dd86c4d2e025778944ea02881"},
                                {56, "d5f9a9e9257077a5f08b0b92f348b0ad"},
                                {57, "872097e6f78e3b53f890459d03bc6fb7"},
                                {63, "7ea3da77432d44c323671097d1348fc8"},
                                {64, "52f5076fabd22680234a3fa9f9dc5732"},
                                {119, "e65dd227ccef97fa1d34d70189120f76"},
                                {120, "b03ddbd470b47c013e0c7ab2ddd763db"}})
    EXPECT_EQ(md4hex(std::string(length, 'a')), digest) << length;
}
