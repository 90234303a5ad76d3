#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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
  // Both sides of every lead byte's second-byte range, which keeps out overlong forms,
  // surrogates and code points past U+10FFFF.
  EXPECT_TRUE(wf("\xF4\x8F\xBF\xBF"));  // U+10FFFF
  EXPECT_TRUE(wf("\xF4\x80\x80\x80"));
  EXPECT_FALSE(wf("\xF4\x90\x80\x80"));  // U+110000
  EXPECT_FALSE(wf("\xF4\xBF\xBF\xBF"));
  EXPECT_FALSE(wf("\xF4\x7F\x80\x80"));
  EXPECT_TRUE(wf("\xF3\xBF\xBF\xBF"));
  EXPECT_TRUE(wf("\xF0\x90\x80\x80"));   // U+10000
  EXPECT_FALSE(wf("\xF0\x8F\xBF\xBF"));  // overlong
  EXPECT_FALSE(wf("\xF5\x80\x80\x80"));
  EXPECT_TRUE(wf("\xE0\xA0\x80"));  // U+0800
  EXPECT_FALSE(wf("\xE0\x9F\xBF"));
  EXPECT_TRUE(wf("\xED\x9F\xBF"));  // U+D7FF
  EXPECT_TRUE(wf("\xEE\x80\x80"));  // U+E000
  EXPECT_TRUE(wf("\xC2\x80"));
  EXPECT_FALSE(wf("\xC1\xBF"));
  EXPECT_FALSE(wf("\xC2\xC0"));
  EXPECT_FALSE(wf("\xE4\xB8\x41"));
  EXPECT_FALSE(wf("\xF1\x80\x80\x7F"));
}

// The many-bytes-at-a-time scan stops exactly where a byte-by-byte one does, whatever the bytes
// and wherever they fall in its blocks.
TEST(UTF8Conversion, PlainTextScanAgreesWithByteByByte) {
  auto byteByByte = [](const std::uint8_t* p, const std::uint8_t* end) {
    while (p < end) {
      const std::uint8_t c = *p;
      if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
        ++p;
      } else if (c >= 0x80) {
        const std::size_t n = legalSequenceLength(p, end);
        if (n == 0) break;
        p += n;
      } else {
        break;
      }
    }
    return p;
  };
  // Plain text, CJK and other sequences, and the bytes that need a closer look.
  const std::vector<std::vector<std::uint8_t>> pieces = {{'a'},
                                                         {'Z'},
                                                         {0x7F},
                                                         {' '},
                                                         {0xE4, 0xB8, 0xAD},
                                                         {0xE5, 0x9B, 0xBD},
                                                         {0xEF, 0xBC, 0x8C},
                                                         {0xC3, 0xA9},
                                                         {0xEE, 0x80, 0x80},
                                                         {0xE0, 0xA0, 0x80},
                                                         {0xED, 0x9F, 0xBF},
                                                         {0xF0, 0x9F, 0x98, 0x80},
                                                         {0xEF, 0xB7, 0x90},
                                                         {0xEF, 0xBF, 0xBE},
                                                         {0xEF, 0xB7, 0x80},
                                                         {0xED, 0xA0, 0x80},
                                                         {0xE0, 0x80, 0x80},
                                                         {0xC0, 0x80},
                                                         {0xC1},
                                                         {0x80},
                                                         {0xBF},
                                                         {0xE4, 0xB8},
                                                         {0xE4},
                                                         {0xF4, 0x90, 0x80, 0x80},
                                                         {0xF8},
                                                         {0xF4, 0x8F, 0xBF, 0xBF},
                                                         {0xF4, 0x90, 0x80, 0x80},
                                                         {0xED, 0xBF, 0xBF},
                                                         {0xC2, 0xC2, 0x80},
                                                         {0xE4, 0xE4, 0xB8, 0xAD},
                                                         {'"'},
                                                         {'\\'},
                                                         {0x1F},
                                                         {0x00},
                                                         {'\n'}};
  std::mt19937 rng(7);
  for (int round = 0; round < 20000; ++round) {
    std::vector<std::uint8_t> text;
    // Mostly text that the scan takes, with now and then one piece that stops it.
    const std::size_t count = rng() % 40;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t pick = rng() % 8 == 0 ? rng() % pieces.size() : rng() % 9;
      text.insert(text.end(), pieces[pick].begin(), pieces[pick].end());
    }
    const std::size_t cut = text.empty() ? 0 : rng() % (text.size() + 1);
    for (std::size_t start = 0; start <= std::min<std::size_t>(cut, 3); ++start) {
      const std::uint8_t* b = text.data() + start;
      const std::uint8_t* e = text.data() + cut;
      const auto expected = byteByByte(b, e) - b;
      ASSERT_EQ(scanPlainText(b, e) - b, expected) << "round " << round << " start " << start;
      ASSERT_EQ(scanPlainTextBaseline(b, e) - b, expected) << "round " << round << " start " << start;
    }
  }
}

// Whether every non-ASCII byte belongs to a sequence legalSequenceLength accepts, read one
// sequence at a time; with plainOnly, four-byte sequences and those led by EF B7 or EF BF fail.
bool legalSequences(const std::uint8_t* p, const std::uint8_t* end, bool plainOnly) {
  while (p < end) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    if (plainOnly && (*p >= 0xF0 || (*p == 0xEF && end - p >= 2 && (p[1] == 0xB7 || p[1] == 0xBF))))
      return false;
    const std::size_t n = legalSequenceLength(p, end);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

// The check that takes the legal sequences isPlainUTF8 declines too (four bytes, and those led
// by EF B7 or EF BF) against a byte-by-byte answer, on texts long enough that its stretches cut
// them at every kind of byte: ASCII, leading and continuation bytes of each length.
TEST(UTF8Conversion, LegalUTF8CheckAgreesWithByteByByte) {
  const std::vector<std::vector<std::uint8_t>> legal = {{'a'},
                                                        {'"'},
                                                        {0x01},
                                                        {0xC3, 0xA9},
                                                        {0xE4, 0xB8, 0xAD},
                                                        {0xF0, 0x9F, 0x98, 0x80},
                                                        {0xF4, 0x8F, 0xBF, 0xBD},
                                                        {0xEF, 0xBF, 0xBD},
                                                        {0xEF, 0xB7, 0xB0},
                                                        {0xF0, 0x90, 0x80, 0x80},
                                                        {0xEF, 0xB8, 0x80},
                                                        {0xEF, 0xB7, 0x8F},
                                                        {0xEF, 0xB7, 0xBF},
                                                        {0xEF, 0xBF, 0xBC},
                                                        {0xF1, 0x8F, 0xBF, 0xBD},
                                                        {0xF3, 0xBE, 0xBF, 0xBF},
                                                        {0xE0, 0xA0, 0x80},
                                                        {0xED, 0x9F, 0xBF},
                                                        {0xC2, 0x80}};
  const std::vector<std::vector<std::uint8_t>> illegal = {{0xF0, 0x9F, 0xBF, 0xBE},
                                                          {0xEF, 0xB7, 0x90},
                                                          {0xEF, 0xBF, 0xBF},
                                                          {0xF4, 0x90, 0x80, 0x80},
                                                          {0xF0, 0x8F, 0xBF, 0xBF},
                                                          {0xF8},
                                                          {0x80},
                                                          {0xF0, 0x9F, 0x98},
                                                          {0xED, 0xA0, 0x80},
                                                          {0x80, 0x80, 0x80, 0x80},
                                                          {0xEF, 0xB7, 0xAF},
                                                          {0xEF, 0xBF, 0xBE},
                                                          {0xF1, 0x8F, 0xBF, 0xBF},
                                                          {0xF4, 0x8F, 0xBF, 0xBE},
                                                          {0xF5, 0x80, 0x80, 0x80},
                                                          {0xC0, 0x80},
                                                          {0xC1, 0xBF},
                                                          {0xE0, 0x9F, 0xBF},
                                                          {0xE4, 0xB8},
                                                          {0xF0, 0x9F, 0x98, 0x80, 0x80}};
  std::mt19937 rng(29);
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> text;
    for (std::size_t i = 0, count = rng() % 700; i < count; ++i) {
      const auto& piece = rng() % 200 == 0 ? illegal[rng() % illegal.size()] : legal[rng() % legal.size()];
      text.insert(text.end(), piece.begin(), piece.end());
    }
    for (std::size_t start = 0; start <= std::min<std::size_t>(text.size(), 3); ++start) {
      const std::uint8_t* b = text.data() + start;
      const std::uint8_t* e = text.data() + text.size();
      const bool legal = legalSequences(b, e, false);
      ASSERT_EQ(isLegalUTF8(b, e), legal) << "round " << round << " start " << start;
      ASSERT_EQ(isLegalUTF8Baseline(b, e), legal) << "round " << round << " start " << start;
    }
  }
}

// Each sequence, whole and cut short, at every place in ASCII text: a sequence cut by the end of
// a 32-byte step, or by the end of the text, is judged with what follows it.
TEST(UTF8Conversion, LegalUTF8CheckJudgesSequencesAtEveryPlace) {
  const std::vector<std::vector<std::uint8_t>> sequences = {
      {0xC3, 0xA9},       {0xE4, 0xB8, 0xAD}, {0xF0, 0x9F, 0x98, 0x80}, {0xF4, 0x8F, 0xBF, 0xBD},
      {0xEF, 0xBF, 0xBD}, {0xEF, 0xBF, 0xBF}, {0xEF, 0xB7, 0x90},       {0xF2, 0xAF, 0xBF, 0xBE},
      {0xED, 0xA0, 0x80}};
  for (const auto& whole : sequences) {
    for (std::size_t kept = 1; kept <= whole.size(); ++kept) {
      for (std::size_t at = 0; at < 70; ++at) {
        for (std::size_t after : {std::size_t{0}, std::size_t{1}, std::size_t{40}}) {
          std::vector<std::uint8_t> text(at, 'a');
          text.insert(text.end(), whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(kept));
          text.insert(text.end(), after, 'b');
          const std::uint8_t* b = text.data();
          const std::uint8_t* e = b + text.size();
          const bool legal = legalSequences(b, e, false);
          ASSERT_EQ(isLegalUTF8(b, e), legal)
              << "sequence of " << kept << " at " << at << ", " << after << " after";
          ASSERT_EQ(isLegalUTF8Baseline(b, e), legal) << "sequence of " << kept << " at " << at;
          const bool plain = legalSequences(b, e, true);
          ASSERT_EQ(isPlainUTF8(b, e), plain)
              << "sequence of " << kept << " at " << at << ", " << after << " after";
        }
      }
    }
  }
}

// The whole-text check and the copy of a string's text made for text it passes, in their wide
// and narrow forms, against byte-by-byte answers, with sequences cut by the 32-byte steps at
// every offset.
TEST(UTF8Conversion, PlainUTF8CheckAndStringCopyAgreeWithByteByByte) {
  const std::vector<std::vector<std::uint8_t>> good = {{'a'},
                                                       {' '},
                                                       {0x7F},
                                                       {0xE4, 0xB8, 0xAD},
                                                       {0xEF, 0xBC, 0x8C},
                                                       {0xC3, 0xA9},
                                                       {0xDF, 0xBF},
                                                       {0xEE, 0x80, 0x80},
                                                       {0xE0, 0xA0, 0x80},
                                                       {0xED, 0x9F, 0xBF},
                                                       {0xEF, 0xB6, 0xBF},
                                                       {0xEF, 0xB8, 0x80},
                                                       {0xC2, 0x80},
                                                       {0xE1, 0x80, 0x80},
                                                       {0xEC, 0xBF, 0xBF},
                                                       {0xED, 0x80, 0x80}};
  const std::vector<std::vector<std::uint8_t>> other = {{0xF0, 0x9F, 0x98, 0x80},
                                                        {0xEF, 0xB7, 0x90},
                                                        {0xEF, 0xBF, 0xBD},
                                                        {0xEF, 0xBF, 0xBE},
                                                        {0xED, 0xA0, 0x80},
                                                        {0xE0, 0x80, 0x80},
                                                        {0xE0, 0x9F, 0xBF},
                                                        {0xC0, 0x80},
                                                        {0xC1, 0xBF},
                                                        {0x80},
                                                        {0xBF},
                                                        {0xE4, 0xB8},
                                                        {0xE4},
                                                        {0xC3},
                                                        {0xF8},
                                                        {0xF4, 0x8F, 0xBF, 0xBF},
                                                        {0xF4, 0x90, 0x80, 0x80},
                                                        {0xED, 0xBF, 0xBF},
                                                        {0xC2, 0xC2, 0x80},
                                                        {0xE4, 0xE4, 0xB8, 0xAD},
                                                        {0xFF},
                                                        {0xE4, 'a', 0x80},
                                                        {'"'},
                                                        {'\\'},
                                                        {'\\', 'n'},
                                                        {'\\', '/'},
                                                        {'\\', 'u', '4', 'e', '2', 'd'},
                                                        {'\\', '\\'},
                                                        {0x1F},
                                                        {0x00},
                                                        {'\n'}};
  std::mt19937 rng(17);
  for (int round = 0; round < 20000; ++round) {
    std::vector<std::uint8_t> text;
    const std::size_t count = rng() % 70;
    for (std::size_t i = 0; i < count; ++i) {
      const auto& piece = rng() % 20 == 0 ? other[rng() % other.size()] : good[rng() % good.size()];
      text.insert(text.end(), piece.begin(), piece.end());
    }
    for (std::size_t start = 0; start <= std::min<std::size_t>(text.size(), 3); ++start) {
      const std::uint8_t* b = text.data() + start;
      const std::uint8_t* e = text.data() + text.size();
      const bool plain = legalSequences(b, e, true);
      ASSERT_EQ(isPlainUTF8(b, e), plain) << "round " << round << " start " << start;
      ASSERT_EQ(isPlainUTF8Baseline(b, e), plain) << "round " << round << " start " << start;
      // The copy stops where a byte-by-byte copy that writes escapes of one character as their
      // byte stops, or where its room ends; it writes what that copy writes, and nothing past its
      // room.
      for (const auto copy : {copyStringRun, copyStringRunBaseline}) {
        const std::size_t room = round % 3 ? text.size() + 1 : rng() % (text.size() + 1);
        std::string expected;
        const std::uint8_t* q = b;
        for (;;) {
          while (q < e && expected.size() < room && *q != '"' && *q != '\\' && *q >= 0x20)
            expected += static_cast<char>(*q++);
          if (q < e && expected.size() < room && *q == '\\' && e - q >= 2 && kSimpleEscapes[q[1]] != 0) {
            expected += static_cast<char>(kSimpleEscapes[q[1]]);
            q += 2;
            continue;
          }
          break;
        }
        std::vector<char> out(text.size() + 40, '#');
        char* written = out.data();
        ASSERT_EQ(copy(b, e, written, out.data() + room), q) << "round " << round;
        ASSERT_EQ(std::string(out.data(), written), expected) << "round " << round;
        ASSERT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(room), out.end(),
                                [](char c) { return c == '#'; }))
            << "round " << round;
      }
    }
  }
}

}  // namespace
}  // namespace kavro::json
