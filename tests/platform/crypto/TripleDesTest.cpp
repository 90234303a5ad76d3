#include <gtest/gtest.h>

#include "platform/crypto/Digest.h"
#include "platform/crypto/TripleDes.h"
#include "tests/platform/crypto/Hex.h"

namespace platform {
namespace {

using testing::fromHex;

const Data ZeroIv(8, 0);
// Odd-parity zero key, the same in all three places: Triple-DES then reduces to single DES.
const Data EqualKeys = fromHex("010101010101010101010101010101010101010101010101");

Data firstBlock(const Data& d) { return Data(d.begin(), d.begin() + 8); }

Data xorBlock(std::string_view plain, const Data& previous) {
  Data out;
  for (std::size_t i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(plain[i]) ^ previous[i]);
  return out;
}

TEST(TripleDesTest, MatchesVariablePlaintextKnownAnswers) {
  // SP 800-20 style known answers, equal keys, zero IV; the padding block follows.
  const std::pair<const char*, const char*> vectors[] = {
      {"8000000000000000", "95f8a5e5dd31d900"},
      {"4000000000000000", "dd7f121ca5015619"},
  };
  for (const auto& [plain, cipher] : vectors) {
    auto out = tripleDesEncrypt(EqualKeys, ZeroIv, fromHex(plain));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->size(), 16u);
    EXPECT_EQ(hexString(firstBlock(*out)), cipher);
    EXPECT_EQ(tripleDesDecrypt(EqualKeys, ZeroIv, *out), fromHex(plain));
  }
  // The IV is combined with the first block: P xor IV is what gets enciphered.
  auto shifted = tripleDesEncrypt(EqualKeys, fromHex("8000000000000000"), Data(8, 0));
  ASSERT_TRUE(shifted);
  EXPECT_EQ(hexString(firstBlock(*shifted)), "95f8a5e5dd31d900");
}

TEST(TripleDesTest, MatchesThreeKeyExampleAcrossChainedBlocks) {
  // The SP 800-67 three-key example is given block by block (ECB). Feeding each next plaintext
  // block XORed with the previous ciphertext block makes CBC encipher exactly the example's blocks.
  const Data key = fromHex("0123456789abcdef23456789abcdef01456789abcdef0123");
  const Data expected[] = {fromHex("a826fd8ce53b855f"), fromHex("cce21c8112256fe6"),
                           fromHex("68d5c05dd9b6b900")};
  const std::string_view blocks[] = {"The qufc", "k brown ", "fox jump"};

  Data plain(blocks[0].begin(), blocks[0].end());
  for (int i = 1; i < 3; ++i) {
    const Data next = xorBlock(blocks[i], expected[i - 1]);
    plain.insert(plain.end(), next.begin(), next.end());
  }
  auto cipher = tripleDesEncrypt(key, ZeroIv, plain);
  ASSERT_TRUE(cipher);
  ASSERT_EQ(cipher->size(), 32u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Data(cipher->begin() + i * 8, cipher->begin() + i * 8 + 8), expected[i]) << "block " << i;
  }
  EXPECT_EQ(tripleDesDecrypt(key, ZeroIv, *cipher), plain);
}

TEST(TripleDesTest, PadsEveryLengthToTheNextWholeBlockAndBack) {
  const Data key = fromHex("0123456789abcdef23456789abcdef01456789abcdef0123");
  const Data iv = fromHex("1234567890abcdef");
  for (std::size_t n = 0; n <= 17; ++n) {
    Data plain(n);
    for (std::size_t i = 0; i < n; ++i) plain[i] = static_cast<std::uint8_t>(i * 31 + 5);
    auto cipher = tripleDesEncrypt(key, iv, plain);
    ASSERT_TRUE(cipher) << n;
    EXPECT_EQ(cipher->size(), (n + 8) / 8 * 8) << n;
    EXPECT_EQ(tripleDesDecrypt(key, iv, *cipher), plain) << n;
  }
}

TEST(TripleDesTest, RefusesBadKeysIvsAndCiphertexts) {
  const Data key = fromHex("0123456789abcdef23456789abcdef01456789abcdef0123");
  const Data plain = {1, 2, 3};
  EXPECT_FALSE(tripleDesEncrypt(Data(23, 1), ZeroIv, plain));
  EXPECT_FALSE(tripleDesEncrypt(Data(25, 1), ZeroIv, plain));
  EXPECT_FALSE(tripleDesEncrypt(key, Data(7, 0), plain));
  EXPECT_FALSE(tripleDesEncrypt(key, Data(16, 0), plain));
  EXPECT_FALSE(tripleDesDecrypt(Data(16, 1), ZeroIv, Data(8, 0)));

  EXPECT_FALSE(tripleDesDecrypt(key, ZeroIv, Data{}));
  EXPECT_FALSE(tripleDesDecrypt(key, ZeroIv, Data(7, 0)));
  EXPECT_FALSE(tripleDesDecrypt(key, ZeroIv, Data(9, 0)));

  // Eight plain bytes are followed by a whole block of padding (eight 0x08). Flipping a bit of the
  // first ciphertext block flips the same bit of that padding: 0x09 is not valid padding.
  auto cipher = tripleDesEncrypt(key, ZeroIv, Data(8, 0x41));
  ASSERT_TRUE(cipher);
  (*cipher)[7] ^= 0x01;
  EXPECT_FALSE(tripleDesDecrypt(key, ZeroIv, *cipher));
}

}  // namespace
}  // namespace platform
