#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "kit/codec/json/UTF8Conversion.h"

namespace kavro::json {
namespace {

// The fast check agrees with the full conversion on every lead and second byte, with a spread of
// third and fourth bytes, and at every cut-off length.
TEST(UTF8Conversion, FastCheckAgreesWithConversion) {
  const std::uint8_t tails[] = {0x00, 0x41, 0x7F, 0x80, 0x8E, 0x8F, 0x90,
                                0x9F, 0xA0, 0xB7, 0xBE, 0xBF, 0xC0, 0xFF};
  for (unsigned b0 = 0x80; b0 < 0x100; ++b0)
    for (unsigned b1 = 0; b1 < 0x100; ++b1)
      for (std::uint8_t b2 : tails)
        for (std::uint8_t b3 : tails)
          for (std::size_t len = 1; len <= 4; ++len) {
            const std::uint8_t s[4] = {static_cast<std::uint8_t>(b0), static_cast<std::uint8_t>(b1), b2, b3};
            const std::uint8_t* next;
            char32_t cp;
            const bool ok = convertSingleCodePointInUTF8(s, s + len, &next, &cp) == ConversionResult::ok;
            const std::size_t n = legalSequenceLength(s, s + len);
            ASSERT_EQ(n != 0, ok) << std::hex << b0 << " " << b1 << " " << +b2 << " " << +b3 << " len "
                                  << len;
            if (ok) {
              ASSERT_EQ(static_cast<std::size_t>(next - s), n);
            }
          }
}

TEST(UTF8Conversion, IllFormedSequencesConsumeWhatTheirLeadDeclares) {
  auto run = [](std::initializer_list<std::uint8_t> bytes, std::size_t* consumed) {
    std::vector<std::uint8_t> v(bytes);
    const std::uint8_t* next;
    char32_t cp;
    ConversionResult r = convertSingleCodePointInUTF8(v.data(), v.data() + v.size(), &next, &cp);
    *consumed = static_cast<std::size_t>(next - v.data());
    EXPECT_EQ(cp, 0xFFFDu);
    return r;
  };
  std::size_t n;
  EXPECT_EQ(run({0xE0, 0x80, 0x80, 0x41}, &n), ConversionResult::sourceIllegal);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(run({0x80, 0x80}, &n), ConversionResult::sourceIllegal);
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(run({0xC3, 0x41}, &n), ConversionResult::sourceIllegal);
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(run({0xE4, 0xB8}, &n), ConversionResult::sourceExhausted);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(run({0xC0}, &n), ConversionResult::sourceIllegal);
  EXPECT_EQ(run({0xEF, 0xBF, 0xBE}, &n), ConversionResult::sourceIllegal);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(run({0xFE, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, &n), ConversionResult::sourceIllegal);
  EXPECT_EQ(n, 7u);
}

TEST(UTF8Conversion, WellFormedness) {
  auto wf = [](std::string_view s) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    return isWellFormedUTF8(p, p + s.size());
  };
  EXPECT_TRUE(wf(""));
  EXPECT_TRUE(wf("plain ascii text, longer than eight bytes"));
  EXPECT_TRUE(wf("中文 é \xF0\x9F\x98\x80 \xEF\xBF\xBF"));
  EXPECT_TRUE(wf(std::string_view("a\0b", 3)));
  EXPECT_FALSE(wf("abcdefgh\xFF"));
  EXPECT_FALSE(wf("\xED\xA0\x80"));
  EXPECT_FALSE(wf("\xE4\xB8"));
}

}  // namespace
}  // namespace kavro::json
