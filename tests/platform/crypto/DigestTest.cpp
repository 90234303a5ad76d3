#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/crypto/Digest.h"

namespace platform {
namespace {

std::string hex(const Data& d) { return hexString(d); }

TEST(DigestTest, Md5MatchesRfc1321Vectors) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [input, expected] : vectors) {
    EXPECT_EQ(hex(md5(input)), expected) << '"' << input << '"';
    EXPECT_EQ(hex(md5(dataFromString(input))), expected) << '"' << input << '"';
  }
}

TEST(DigestTest, Sha1AndSha256MatchPublishedVectors) {
  const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(hex(sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(hex(sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(hex(sha1(twoBlocks)), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(hex(sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(hex(sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(hex(sha256(twoBlocks)), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(digestLength(DigestAlgorithm::MD5), 16u);
  EXPECT_EQ(digestLength(DigestAlgorithm::SHA1), 20u);
  EXPECT_EQ(digestLength(DigestAlgorithm::SHA256), 32u);
}

TEST(DigestTest, BinaryInputWithZeroBytesIsDigestedWhole) {
  const Data bytes = {0x00, 0x01, 0x00, 0xFF};
  EXPECT_NE(md5(bytes), md5(Data{0x00}));
  EXPECT_EQ(md5(bytes), md5(std::string_view("\x00\x01\x00\xFF", 4)));
}

TEST(DigestTest, IncrementalEqualsOneShotForAnySplit) {
  std::string input;
  for (int i = 0; i < 300; ++i) input.push_back(static_cast<char>(i * 7 + 3));
  for (DigestAlgorithm algorithm : {DigestAlgorithm::MD5, DigestAlgorithm::SHA1, DigestAlgorithm::SHA256}) {
    const Data expected = digest(algorithm, input);
    for (std::size_t piece : {1u, 7u, 63u, 64u, 65u, 299u}) {
      Digest d(algorithm);
      for (std::size_t at = 0; at < input.size(); at += piece)
        d.update(std::string_view(input).substr(at, piece));
      d.update(std::string_view());
      EXPECT_EQ(d.finish(), expected) << "piece " << piece;
    }
  }
}

TEST(DigestTest, FinishStartsOverAndMovedDigestKeepsItsState) {
  Digest d;
  EXPECT_EQ(d.algorithm(), DigestAlgorithm::MD5);
  d.update("message ");
  Digest moved = std::move(d);
  moved.update(dataFromString("digest"));
  EXPECT_EQ(hex(moved.finish()), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(hex(moved.finish()), "d41d8cd98f00b204e9800998ecf8427e");
  moved.update("abc");
  EXPECT_EQ(hex(moved.finish()), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(DigestTest, HexStringWritesTwoDigitsPerByteInEitherCase) {
  const Data bytes = {0x00, 0x0A, 0xB0, 0xFF};
  EXPECT_EQ(hexString(bytes), "000ab0ff");
  EXPECT_EQ(hexString(bytes, true), "000AB0FF");
  EXPECT_EQ(hexString(Data{}), "");
}

}  // namespace
}  // namespace platform
