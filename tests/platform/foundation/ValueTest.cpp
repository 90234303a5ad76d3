#include <gtest/gtest.h>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"

using namespace platform;

TEST(Value, WrongKindReadsAsEmpty) {
  Value s("12");
  EXPECT_EQ(s.intValue(), 0);
  EXPECT_FALSE(s.boolValue());
  Value n(42);
  EXPECT_EQ(n.stringValue(), "");
  EXPECT_EQ(n.description(), "42");
  EXPECT_DOUBLE_EQ(n.doubleValue(), 42.0);
  EXPECT_EQ(Value().objectValue(), nullptr);
  EXPECT_EQ(Value(3.5).intValue(), 3);
  EXPECT_EQ(Value(1e300).intValue(), INT64_MAX);
}

TEST(Value, NumbersCompareAcrossKinds) {
  EXPECT_EQ(Value(1), Value(1.0));
  EXPECT_EQ(Value(1), Value(1ull));
  EXPECT_NE(Value(-1), Value(UINT64_MAX));
  EXPECT_NE(Value("1"), Value(1));
  EXPECT_EQ(Value(2).hash(), Value(2.0).hash());
}

TEST(Dictionary, KeepsInsertionOrderAcrossReplaceAndRemove) {
  auto d = MutableDictionary::create();
  for (int i = 0; i < 40; ++i) d->setObject(i, "k" + std::to_string(i));
  d->setObject("x", "k3");
  for (int i = 10; i < 30; ++i) d->removeObjectForKey("k" + std::to_string(i));
  auto keys = d->allKeys();
  ASSERT_EQ(keys.size(), 20u);
  EXPECT_EQ(keys[0], "k0");
  EXPECT_EQ(keys[3], "k3");
  EXPECT_EQ(keys[10], "k30");
  EXPECT_EQ(d->valueForKey("k3").stringValue(), "x");
  EXPECT_EQ(d->objectForKey("k15"), nullptr);
  d->setObject(1, "k15");
  EXPECT_EQ(d->allKeys().back(), "k15");
}

TEST(Collections, CompareByContent) {
  auto a = MutableArray::create({1, "two"});
  auto b = MutableArray::create({1, "two"});
  EXPECT_EQ(Value(a), Value(b));
  auto d1 = MutableDictionary::create();
  d1->setObject(a, "list");
  auto d2 = MutableDictionary::create();
  d2->setObject(b, "list");
  EXPECT_EQ(Value(d1), Value(d2));
  EXPECT_THROW(a->objectAtIndex(2), RangeException);
}
