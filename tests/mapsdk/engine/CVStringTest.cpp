#include <gtest/gtest.h>

#include <cstring>

#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/engine/VMemory.h"
#include "tests/mapsdk/engine/GbkTestText.h"

using namespace gmengine;
using enginetest::kBeijingGbk;

TEST(CVStringTest, FormatsWithTheEngineConversions) {
  CVString s;
  EXPECT_EQ(s.Format("%d_%d", 12, -7), 5);
  EXPECT_EQ(s, CVString("12_-7"));
  s.Format(u"&ll=%f|%f&s=%.1f", 116.5, 39.25, 3.0);
  EXPECT_EQ(s.ToUtf8(), "&ll=116.500000|39.250000&s=3.0");
  s.Format("%s:%s:%s", CVString("天安门"), u"广场", "东");
  EXPECT_EQ(s.ToUtf8(), "天安门:广场:东");
  EXPECT_EQ(s.GetLength(), 8);
  s.Format("%05x|%u|%c%%", 255u, 4000000000u, u'A');
  EXPECT_EQ(s.ToUtf8(), "000ff|4000000000|A%");
  const char* none = nullptr;
  s.Format("[%s]", none);
  EXPECT_EQ(s.ToUtf8(), "[]");
  // A format asking for more than it is given renders what it can.
  s.Format("%d-%d", 1);
  EXPECT_EQ(s.ToUtf8(), "1-");
}

TEST(CVStringTest, ComparesAndSlicesInUtf16Units) {
  CVString a("地图"), b("地图x"), emoji("a😀b");
  EXPECT_EQ(a.Compare(a), 0);
  EXPECT_LT(a.Compare(b), 0);
  EXPECT_GT(b.Compare(a), 0);
  EXPECT_EQ(emoji.GetLength(), 4);
  EXPECT_EQ(emoji.Find(CVString("b")), 3);
  EXPECT_EQ(emoji.Mid(1, 2).ToUtf8(), "😀");
  EXPECT_EQ(a.GetAt(5), 0);
  EXPECT_TRUE(CVString().IsEmpty());
  EXPECT_TRUE(CVString(static_cast<const char*>(nullptr)).IsEmpty());
  CVString c = a + CVString("站");
  EXPECT_EQ(c.ToUtf8(), "地图站");
}

TEST(CVStringTest, ConvertsBetweenGbkUtf8AndUtf16) {
  char16_t units[8] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, kBeijingGbk, -1, nullptr, 0), 2);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, kBeijingGbk, -1, units, 8), 2);
  EXPECT_EQ(CVString(units, 2).ToUtf8(), "北京");

  CVString beijing("北京");
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, beijing.GetBuffer(), -1, nullptr, 0), 4);
  char bytes[8] = {};
  // Only whole characters fit: 3 bytes take one two-byte character.
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, beijing.GetBuffer(), -1, bytes, 3), 2);
  EXPECT_EQ(std::string(bytes, 2), std::string(kBeijingGbk, 2));
  EXPECT_EQ(CVStringToMultiByte(CP_ACP, beijing), kBeijingGbk);
  EXPECT_EQ(MultiByteToCVString(CP_UTF8, "北京"), beijing);

  int length = 0;
  char* gbk = Utf8ToGbk("北京a", -1, &length);
  ASSERT_NE(gbk, nullptr);
  EXPECT_EQ(length, 5);
  EXPECT_STREQ(gbk,
               "\xB1\xB1\xBE\xA9"
               "a");
  VFree(gbk);
}

TEST(CVStringTest, ConversionsFailOnTextTheCodePageCannotHold) {
  CVString emoji("😀");
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, emoji.GetBuffer(), -1, nullptr, 0), 0);
  const char16_t lone[] = {0xD800, 0};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, lone, -1, nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, "\xC3\x28", -1, nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, "\x81", -1, nullptr, 0), 0);  // a lead byte without a trail
  EXPECT_EQ(MultiByteToWideChar(1252, "abc", -1, nullptr, 0), 0);     // not one of the engine's
  EXPECT_EQ(Utf8ToGbk("😀", -1, nullptr), nullptr);
  // A surrogate pair is never cut in half.
  char16_t units[2] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, "😀", -1, units, 1), 0);
}

TEST(CVStringTest, ParsesIntegers) {
  EXPECT_EQ(vwtoi(u"-42abc"), -42);
  EXPECT_EQ(vwtoi(u"x1"), 0);
  EXPECT_EQ(vwtoi(u"99999999999"), 2147483647);
  EXPECT_EQ(vwtoi(u"-99999999999"), -2147483647 - 1);
  EXPECT_EQ(vwtoi(nullptr), 0);
}
