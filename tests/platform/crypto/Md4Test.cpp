#include <gtest/gtest.h>

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
}
