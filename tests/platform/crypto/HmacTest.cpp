#include <gtest/gtest.h>

#include <string>

#include "platform/crypto/Hmac.h"
#include "tests/platform/crypto/Hex.h"

namespace platform {
namespace {

using testing::fromHex;

struct Vector {
  const char* name;
  Data key;
  Data data;
  std::string md5;   // RFC 2202
  std::string sha1;  // RFC 2202
};

Data repeat(std::uint8_t byte, std::size_t count) { return Data(count, byte); }
Data counting(std::size_t count) {
  Data out;
  for (std::size_t i = 1; i <= count; ++i) out.push_back(static_cast<std::uint8_t>(i));
  return out;
}

TEST(HmacTest, Md5AndSha1MatchRfc2202) {
  const Vector vectors[] = {
      {"1", repeat(0x0b, 16), dataFromString("Hi There"), "9294727a3638bb1c13f48ef8158bfc9d", ""},
      {"1", repeat(0x0b, 20), dataFromString("Hi There"), "", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {"2", dataFromString("Jefe"), dataFromString("what do ya want for nothing?"),
       "750c783e6ab0b503eaa86e310a5db738", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {"3", repeat(0xaa, 16), repeat(0xdd, 50), "56be34521d144c88dbb8c733f0e8b3f6", ""},
      {"3", repeat(0xaa, 20), repeat(0xdd, 50), "", "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {"4", counting(25), repeat(0xcd, 50), "697eaf0aca3a3aea3a75164746ffaa79",
       "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
      {"6", repeat(0xaa, 80), dataFromString("Test Using Larger Than Block-Size Key - Hash Key First"),
       "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd", "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {"7", repeat(0xaa, 80),
       dataFromString("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
       "6f630fad67cda0ee1fb1f562db3aa53e", "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
  };
  for (const auto& v : vectors) {
    if (!v.md5.empty()) {
      EXPECT_EQ(hexString(hmac(DigestAlgorithm::MD5, v.key, v.data)), v.md5) << v.name;
    }
    if (!v.sha1.empty()) {
      EXPECT_EQ(hexString(hmac(DigestAlgorithm::SHA1, v.key, v.data)), v.sha1) << v.name;
    }
  }
}

TEST(HmacTest, Sha256MatchesRfc4231) {
  const Data longKey = repeat(0xaa, 131);
  EXPECT_EQ(hexString(hmac(DigestAlgorithm::SHA256, repeat(0x0b, 20), dataFromString("Hi There"))),
            "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7");
  EXPECT_EQ(hexString(hmac(DigestAlgorithm::SHA256, std::string_view("Jefe"),
                           std::string_view("what do ya want for nothing?"))),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  EXPECT_EQ(hexString(hmac(DigestAlgorithm::SHA256, repeat(0xaa, 20), repeat(0xdd, 50))),
            "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe");
  EXPECT_EQ(hexString(hmac(DigestAlgorithm::SHA256, counting(25), repeat(0xcd, 50))),
            "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b");
  EXPECT_EQ(hexString(hmac(DigestAlgorithm::SHA256, longKey,
                           dataFromString("Test Using Larger Than Block-Size Key - Hash Key First"))),
            "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
  EXPECT_EQ(
      hexString(hmac(DigestAlgorithm::SHA256, longKey,
                     dataFromString("This is a test using a larger than block-size key and a larger than "
                                    "block-size data. The key needs to be hashed before being used by the "
                                    "HMAC algorithm."))),
      "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2");
}

TEST(HmacTest, EmptyKeyAndDataAreAccepted) {
  // HMAC-MD5 with empty key and message, as widely published.
  EXPECT_EQ(hexString(hmac(DigestAlgorithm::MD5, std::string_view(), std::string_view())),
            "74e6f7298a9c2d168935f58c001bad88");
  EXPECT_EQ(hmac(DigestAlgorithm::SHA256, Data{}, Data{}).size(), 32u);
}

}  // namespace
}  // namespace platform
