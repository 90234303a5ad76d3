#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "kit/base64/Base64.h"

namespace kavro {
namespace {

using platform::Data;
using platform::dataFromString;

const std::string CredentialKey = "LOCALSTORE_RECORD_SEAL_PHRASE_K";

std::optional<std::string> decoded(std::string_view text) {
  auto bytes = base64DecodeData(dataFromString(text));
  if (!bytes) return std::nullopt;
  return platform::stringFromData(*bytes);
}

TEST(Base64Test, EncodesRfc4648VectorsOfEveryLengthModuloThree) {
  const std::pair<std::string, std::string> vectors[] = {
      {"f", "Zg=="},        {"fo", "Zm8="},        {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(base64EncodeData(dataFromString(plain)), encoded);
    EXPECT_EQ(decoded(encoded), plain);
    EXPECT_EQ(base64DecodeString(encoded), dataFromString(plain));
  }
  EXPECT_EQ(base64EncodeData(Data{}), std::nullopt);
  EXPECT_EQ(base64EncodeData(Data{0xFB, 0xFF}), "+/8=");
}

TEST(Base64Test, EveryByteValueAndLengthRoundTrips) {
  for (std::size_t n = 1; n <= 70; ++n) {
    Data bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(255 - i * 37);
    auto padded = base64EncodeBytes(bytes.data(), n, Base64StandardAlphabet, true);
    auto bare = base64EncodeBytes(bytes.data(), n, Base64StandardAlphabet, false);
    ASSERT_TRUE(padded && bare);
    EXPECT_EQ(padded->size(), (n + 2) / 3 * 4);
    EXPECT_EQ(bare->size(), (8 * n + 5) / 6);
    EXPECT_EQ(base64DecodeData(*padded), bytes) << n;
    EXPECT_EQ(base64DecodeBytes(bare->data(), bare->size(), Base64StandardDecodeTable, false), bytes) << n;
  }
}

TEST(Base64Test, EncodingRefusesEmptyInputAndBadAlphabets) {
  const std::uint8_t byte = 1;
  EXPECT_FALSE(base64EncodeBytes(&byte, 0, Base64StandardAlphabet, true));
  EXPECT_FALSE(base64EncodeBytes(nullptr, 3, Base64StandardAlphabet, true));
  EXPECT_FALSE(base64EncodeBytes(&byte, 1, "ABC", true));
}

TEST(Base64Test, DecodingSkipsBlanksAndLineBreaksAnywhere) {
  EXPECT_EQ(decoded("Zm9v\r\nYmFy"), "foobar");
  EXPECT_EQ(decoded(" Z m9v\tYm\vFy\f \n"), "foobar");
  EXPECT_EQ(decoded("Zm9vYg\n=\r\n= \n"), "foob");
  EXPECT_EQ(decoded("Zm9vYmE= \t"), "fooba");
  // 160 and 255 are skipped in byte buffers; as text they are not ASCII and refused.
  EXPECT_EQ(decoded("Zm9v\xA0Ym\xFF"
                    "Fy"),
            "foobar");
  EXPECT_FALSE(base64DecodeString("Zm9v\xA0YmFy"));
  EXPECT_FALSE(base64DecodeString("Zm9v你"));
}

TEST(Base64Test, ZeroByteEndsTheInput) {
  EXPECT_EQ(decoded(std::string_view("Zm9v\0!!", 7)), "foo");
  EXPECT_EQ(decoded(std::string_view("Zg==\0junk", 9)), "f");
  EXPECT_FALSE(decoded(std::string_view("Zg=\0=", 5)));
}

TEST(Base64Test, DecodingRefusesMalformedText) {
  const char* refused[] = {
      "",         // nothing decoded
      " \r\n\t",  // nothing decoded
      "Zm-v",     // URL-safe alphabet
      "Zm_v",
      "Zm9v!mFy",  // outside the alphabet
      "Zm9vYg",    // incomplete group without padding
      "Zm9vYmE",
      "Zm9vY",
      "Zg=",  // "xx" needs "=="
      "Zg=x",
      "Z===",  // padding after one character
      "=",
      "Zm9v=",         // padding at the start of a group
      "Zm9vYmE==",     // a third character takes one "=" only
      "Zm9vYg==Zg==",  // anything after the padding
      "Zm9vYg== x",
      "QR==",  // leftover bits not zero
      "QUJ=",
      "Zh==",
  };
  for (const char* text : refused) EXPECT_FALSE(decoded(text)) << '"' << text << '"';
  EXPECT_EQ(decoded("QQ=="), "A");
  EXPECT_EQ(decoded("QUI="), "AB");
}

TEST(Base64Test, DecodingWithoutRequiredPaddingStillRefusesSingleCharactersAndLeftoverBits) {
  auto bare = [](std::string_view text) {
    return base64DecodeBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                             Base64StandardDecodeTable, false);
  };
  EXPECT_EQ(bare("Zm9vYg"), dataFromString("foob"));
  EXPECT_EQ(bare("Zm9vYmE"), dataFromString("fooba"));
  EXPECT_EQ(bare("Zm9vYg=="), dataFromString("foob"));
  EXPECT_FALSE(bare("Zm9vY"));
  EXPECT_FALSE(bare("Zh"));
  EXPECT_FALSE(bare(""));
}

TEST(Base64Test, OtherAlphabetsWorkThroughTheirTable) {
  constexpr std::string_view urlSafe = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  constexpr Base64DecodeTable table = makeBase64DecodeTable(urlSafe);
  const Data bytes = {0xFB, 0xFF, 0xBF};
  auto encoded = base64EncodeBytes(bytes.data(), bytes.size(), urlSafe, false);
  ASSERT_TRUE(encoded);
  EXPECT_EQ(platform::stringFromData(*encoded), "-_-_");
  EXPECT_EQ(base64DecodeBytes(encoded->data(), encoded->size(), table, true), bytes);
  EXPECT_FALSE(base64DecodeData(*encoded));
}

TEST(TripleDesStringTest, MatchesKnownCiphertextsForTheCredentialKey) {
  // Stored credentials must stay readable across releases: fixed answers, computed independently.
  EXPECT_EQ(encryptStringWith3DES("zhangsan@example.com", CredentialKey), "xM3MsA7r/nlNeoJiMmHoehigkEtm0TYe");
  EXPECT_EQ(decryptStringWith3DES("xM3MsA7r/nlNeoJiMmHoehigkEtm0TYe", CredentialKey), "zhangsan@example.com");
  EXPECT_EQ(encryptStringWith3DES("张三", CredentialKey), "0UYx2EZanJU=");
  // Line breaks in stored base64 are tolerated.
  EXPECT_EQ(decryptStringWith3DES("xM3MsA7r/nlN\neoJiMmHoehigkEtm0TYe\n", CredentialKey),
            "zhangsan@example.com");
}

TEST(TripleDesStringTest, RoundTripsCjkText) {
  const std::string texts[] = {"张三", "求职者：李四 — 北京市朝阳区 🎓", "a", "12345678", "パスワード123"};
  for (const auto& text : texts) {
    auto cipher = encryptStringWith3DES(text, CredentialKey);
    ASSERT_TRUE(cipher) << text;
    EXPECT_NE(*cipher, text);
    EXPECT_EQ(decryptStringWith3DES(*cipher, CredentialKey), text);
  }
}

TEST(TripleDesStringTest, EmptyTextStaysEmpty) {
  EXPECT_EQ(encryptStringWith3DES("", CredentialKey), "");
  EXPECT_EQ(decryptStringWith3DES("", CredentialKey), "");
}

TEST(TripleDesStringTest, KeyIsItsFirst24BytesZeroPadded) {
  const std::string first24 = CredentialKey.substr(0, 24);
  const auto expected = encryptStringWith3DES("secret", first24);
  ASSERT_TRUE(expected);
  EXPECT_EQ(encryptStringWith3DES("secret", CredentialKey), expected);
  EXPECT_EQ(encryptStringWith3DES("secret", first24 + "anything else"), expected);
  EXPECT_NE(encryptStringWith3DES("secret", "X" + first24), expected);

  EXPECT_EQ(encryptStringWith3DES("abc", "abc"), "EEAGvMByNUc=");
  EXPECT_EQ(encryptStringWith3DES("abc", std::string("abc") + std::string(21, '\0')), "EEAGvMByNUc=");
  EXPECT_EQ(decryptStringWith3DES("EEAGvMByNUc=", "abc"), "abc");
  EXPECT_TRUE(encryptStringWith3DES("abc", ""));
}

TEST(TripleDesStringTest, DecryptionFailuresGiveNoneNeverTheInput) {
  const std::string cipher = "xM3MsA7r/nlNeoJiMmHoehigkEtm0TYe";
  EXPECT_FALSE(decryptStringWith3DES(cipher, "WRONG_KEY_WRONG_KEY_WRONG"));
  EXPECT_FALSE(decryptStringWith3DES("plain user name", CredentialKey));  // not base64
  EXPECT_FALSE(decryptStringWith3DES("Zm9vYmFy", CredentialKey));         // 6 bytes: not whole blocks
  EXPECT_FALSE(decryptStringWith3DES(cipher.substr(0, 12), CredentialKey));
  EXPECT_FALSE(decryptStringWith3DES("  \n", CredentialKey));
  // Bytes that are not UTF-8 encrypt fine but do not come back as text.
  auto notText = encryptStringWith3DES("\xFF\xFE\xC0\xAF", CredentialKey);
  ASSERT_TRUE(notText);
  EXPECT_FALSE(decryptStringWith3DES(*notText, CredentialKey));
  auto surrogate = encryptStringWith3DES("\xED\xA0\x80", CredentialKey);
  ASSERT_TRUE(surrogate);
  EXPECT_FALSE(decryptStringWith3DES(*surrogate, CredentialKey));
}

}  // namespace
}  // namespace kavro
