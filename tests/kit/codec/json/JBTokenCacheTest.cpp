#include <gtest/gtest.h>

#include <string>

#include "kit/codec/json/JBTokenCache.h"
#include "kit/codec/json/JSONDecoder.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"

namespace kavro {
namespace {

using platform::Value;

JBTokenValue stringToken(const std::string& s, std::uint32_t hash) {
  JBTokenValue v;
  v.bytes = s.data();
  v.length = s.size();
  v.kind = JBValueKind::String;
  v.hash = hash;
  return v;
}

JBTokenValue numberToken(JBValueKind kind, std::uint64_t bits, std::uint32_t hash) {
  JBTokenValue v;
  v.kind = kind;
  v.number.u = bits;
  v.bytes = reinterpret_cast<const char*>(&v.number);
  v.length = 8;
  v.hash = hash;
  return v;
}

TEST(JBTokenCache, EqualValuesShareOneSlot) {
  JBTokenCache cache;
  const std::string a1 = "job", a2 = "job";
  JBTokenValue t1 = stringToken(a1, 77);
  const Value* first = cache.cachedObject(t1);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->stringValue(), "job");
  EXPECT_EQ(t1.cacheSlot, 77);
  JBTokenValue t2 = stringToken(a2, 77);
  const Value* second = cache.cachedObject(t2);
  EXPECT_EQ(second, first);
  EXPECT_EQ(t2.cacheSlot, 77);
  EXPECT_EQ(cache.occupiedSlots(), 1u);
  // A hit raises the slot's age.
  EXPECT_EQ(cache.ageAtSlot(77), 1u);
}

TEST(JBTokenCache, KindsStayApart) {
  JBTokenCache cache;
  JBTokenValue one = numberToken(JBValueKind::UnsignedInt, 1, 5);
  JBTokenValue oneDouble = numberToken(JBValueKind::Double, 0x3FF0000000000000ull, 5);
  const Value* a = cache.cachedObject(one);
  const int slotA = one.cacheSlot;
  const Value* b = cache.cachedObject(oneDouble);
  EXPECT_NE(one.cacheSlot, oneDouble.cacheSlot);
  EXPECT_EQ(cache.objectAtSlot(static_cast<std::size_t>(slotA))->kind(), Value::Kind::Int);
  EXPECT_EQ(b->kind(), Value::Kind::Double);
  (void)a;
  JBTokenValue big = numberToken(JBValueKind::UnsignedInt, UINT64_MAX, 9);
  EXPECT_EQ(cache.cachedObject(big)->kind(), Value::Kind::UInt);
  JBTokenValue negative = numberToken(JBValueKind::SignedInt, static_cast<std::uint64_t>(-3), 11);
  EXPECT_EQ(cache.cachedObject(negative)->intValue(), -3);
  JBTokenValue unknown;
  unknown.kind = JBValueKind::None;
  unknown.length = 1;
  EXPECT_EQ(cache.cachedObject(unknown), nullptr);
}

TEST(JBTokenCache, LongStringsPassUncached) {
  JBTokenCache cache;
  const std::string longText(JBTokenCache::kMaxCachedStringLength + 1, 'x');
  JBTokenValue t = stringToken(longText, 3);
  EXPECT_EQ(cache.cachedObject(t)->stringValue(), longText);
  EXPECT_EQ(t.cacheSlot, -1);
  EXPECT_EQ(cache.occupiedSlots(), 0u);
}

TEST(JBTokenCache, EmptyStringUsesNoSlot) {
  JBTokenCache cache;
  const std::string empty;
  JBTokenValue t = stringToken(empty, 3);
  const Value* v = cache.cachedObject(t);
  ASSERT_TRUE(v);
  EXPECT_TRUE(v->isString());
  EXPECT_EQ(t.cacheSlot, -1);
  EXPECT_EQ(cache.occupiedSlots(), 0u);
}

TEST(JBTokenCache, ReplacementAndAgeing) {
  JBTokenCache cache;
  const std::string a = "a", b = "b", c = "c";
  JBTokenValue ta = stringToken(a, 0);
  cache.cachedObject(ta);
  cache.cachedObject(ta);  // age 1
  cache.cachedObject(ta);  // age 2
  ASSERT_EQ(cache.ageAtSlot(0), 2u);
  // Another value with the same hash: slot 0 is aged (halved), the next probe is empty.
  JBTokenValue tb = stringToken(b, 0);
  cache.cachedObject(tb);
  EXPECT_EQ(cache.ageAtSlot(0), 1u);
  EXPECT_NE(cache.shiftRegister(), 1u);
  EXPECT_EQ(tb.cacheSlot, 1 + static_cast<int>(JBValueKind::String) + 3);
  EXPECT_EQ(cache.objectAtSlot(0)->stringValue(), "a");
  // With every probed slot taken, an unused one (age 0) is replaced.
  const std::string p = "p", q = "q", r = "r", t = "t";
  for (auto [text, hash] : {std::pair{&p, 100u}, {&q, 109u}, {&r, 118u}, {&t, 127u}}) {
    JBTokenValue v = stringToken(*text, hash);
    cache.cachedObject(v);
    EXPECT_EQ(v.cacheSlot, static_cast<int>(hash));
  }
  JBTokenValue tc = stringToken(c, 100);
  cache.cachedObject(tc);
  EXPECT_EQ(tc.cacheSlot, 100);
  EXPECT_EQ(cache.objectAtSlot(100)->stringValue(), "c");
  EXPECT_EQ(cache.objectAtSlot(109)->stringValue(), "q");
}

TEST(JBTokenCache, BoundedWhateverTheInput) {
  JBTokenCache cache;
  for (std::uint32_t i = 0; i < 100000; ++i) {
    const std::string s = std::to_string(i);
    JBTokenValue t = stringToken(s, i * 2654435761u);
    const Value* v = cache.cachedObject(t);
    ASSERT_EQ(v->stringValue(), s);
  }
  EXPECT_LE(cache.occupiedSlots(), JBTokenCache::kSlotCount);
  cache.clear();
  EXPECT_EQ(cache.occupiedSlots(), 0u);
}

TEST(JBTokenCache, DecoderCachesAcrossParsesUntilCleared) {
  auto decoder = JSONDecoder::decoder();
  const std::string text = R"({"city":"上海","list":[1,1,1.0,"上海"]})";
  Value v = decoder->objectWithUTF8String(text.data(), text.size());
  ASSERT_TRUE(v.dictionaryValue());
  // "city", "list", "上海", 1 and 1.0.
  EXPECT_EQ(decoder->tokenCache().occupiedSlots(), 5u);
  auto list = v.dictionaryValue()->valueForKey("list").arrayValue();
  EXPECT_EQ(list->objectAtIndex(0).kind(), Value::Kind::Int);
  EXPECT_EQ(list->objectAtIndex(2).kind(), Value::Kind::Double);
  EXPECT_EQ(list->objectAtIndex(3).stringValue(), "上海");

  decoder->objectWithUTF8String(text.data(), text.size());
  EXPECT_EQ(decoder->tokenCache().occupiedSlots(), 5u);
  decoder->clearCache();
  EXPECT_EQ(decoder->tokenCache().occupiedSlots(), 0u);
  // Values handed out earlier stay valid.
  EXPECT_EQ(v.dictionaryValue()->valueForKey("city").stringValue(), "上海");
}

}  // namespace
}  // namespace kavro
