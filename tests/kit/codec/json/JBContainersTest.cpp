#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "kit/codec/json/JBArray.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/StringJSONBoxDeserializing.h"

namespace kavro {
namespace {

using platform::Value;

std::shared_ptr<JBArray> array(std::string_view text, bool isMutable) {
  Value v = isMutable ? json::mutableObjectFromJSONString(text) : json::objectFromJSONString(text);
  return std::dynamic_pointer_cast<JBArray>(v.arrayValue());
}

std::shared_ptr<JBDictionary> dictionary(std::string_view text, bool isMutable) {
  Value v = isMutable ? json::mutableObjectFromJSONString(text) : json::objectFromJSONString(text);
  return std::dynamic_pointer_cast<JBDictionary>(v.dictionaryValue());
}

template <class Fn>
std::string reasonOf(Fn fn) {
  try {
    fn();
  } catch (const platform::Exception& e) {
    return e.name() + ": " + e.reason();
  }
  return "no exception";
}

TEST(JBArray, ImmutableArraysRefuseChanges) {
  auto a = array("[1,2]", false);
  ASSERT_TRUE(a);
  const std::string insert =
      "NSInternalInconsistencyException: *** -[JBArray insertObject:atIndex:]: mutating method sent to "
      "immutable object";
  EXPECT_EQ(reasonOf([&] { a->addObject(Value(3)); }), insert);
  EXPECT_EQ(reasonOf([&] { a->insertObject(Value(3), 0); }), insert);
  EXPECT_EQ(reasonOf([&] { a->removeObjectAtIndex(0); }),
            "NSInternalInconsistencyException: *** -[JBArray removeObjectAtIndex:]: mutating method sent to "
            "immutable object");
  EXPECT_THROW(a->replaceObjectAtIndex(0, Value(1)), platform::InternalInconsistencyException);
  EXPECT_THROW(a->removeAllObjects(), platform::InternalInconsistencyException);
  EXPECT_THROW(a->removeLastObject(), platform::InternalInconsistencyException);
  EXPECT_EQ(a->count(), 2u);
  EXPECT_EQ(reasonOf([&] { a->objectAtIndex(2); }),
            "NSRangeException: *** -[JBArray objectAtIndex:]: index (2) beyond bounds (2)");
}

TEST(JBArray, MutableArraysChange) {
  auto a = array("[1,2]", true);
  ASSERT_TRUE(a);
  a->insertObject(Value("end"), 2);
  EXPECT_EQ(a->objectAtIndex(2).stringValue(), "end");
  EXPECT_EQ(reasonOf([&] { a->insertObject(Value(0), 4); }),
            "NSRangeException: *** -[JBArray insertObject:atIndex:]: index (4) beyond bounds (4)");
  a->insertObject(Value(0), 0);
  a->replaceObjectAtIndex(1, Value("one"));
  a->removeObjectAtIndex(2);
  ASSERT_EQ(a->count(), 3u);
  EXPECT_EQ(a->objectAtIndex(0).intValue(), 0);
  EXPECT_EQ(a->objectAtIndex(1).stringValue(), "one");
  EXPECT_EQ(a->objectAtIndex(2).stringValue(), "end");
  EXPECT_EQ(reasonOf([&] { a->removeObjectAtIndex(3); }),
            "NSRangeException: *** -[JBArray removeObjectAtIndex:]: index (3) beyond bounds (3)");
  EXPECT_THROW(a->replaceObjectAtIndex(3, Value()), platform::RangeException);
  for (int i = 0; i < 16; ++i) a->addObject(Value(i));
  EXPECT_EQ(a->count(), 19u);
  EXPECT_EQ(a->objectAtIndex(18).intValue(), 15);
  a->removeLastObject();
  a->removeAllObjects();
  EXPECT_TRUE(a->empty());
  a->removeLastObject();  // nothing to remove
}

TEST(JBArray, BehavesLikeAListUnderRandomChanges) {
  auto a = array("[]", true);
  ASSERT_TRUE(a);
  std::vector<std::string> reference;
  std::mt19937 rng(54321);
  for (int step = 0; step < 5000; ++step) {
    // Texts long enough to own memory of their own, so that a value moved wrongly shows.
    const std::string text = "value number " + std::to_string(step) + " of the changes made here";
    switch (rng() % 5) {
      case 0:
      case 1: {
        const std::size_t at = rng() % (reference.size() + 1);
        a->insertObject(Value(text), at);
        reference.insert(reference.begin() + static_cast<std::ptrdiff_t>(at), text);
        break;
      }
      case 2:
        a->addObject(Value(text));
        reference.push_back(text);
        break;
      case 3:
        if (!reference.empty()) {
          const std::size_t at = rng() % reference.size();
          a->removeObjectAtIndex(at);
          reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(at));
        }
        break;
      case 4:
        if (!reference.empty()) {
          const std::size_t at = rng() % reference.size();
          a->replaceObjectAtIndex(at, Value(text));
          reference[at] = text;
        }
        break;
    }
    if (step % 499 == 0) {
      ASSERT_EQ(a->count(), reference.size());
      for (std::size_t i = 0; i < reference.size(); ++i)
        ASSERT_EQ(a->objectAtIndex(i).stringValue(), reference[i]);
    }
  }
}

TEST(JBDictionary, RepeatedKeysComeOutInTheSameOrderMutableOrNot) {
  // Keys repeated among keys whose homes collide: each repeat takes the earlier pair out of its run
  // and goes in again, so the order of the slots depends on it.
  // Small tables, and tables of more than 256 slots.
  std::mt19937 rng(777);
  for (int round = 0; round < 220; ++round) {
    const bool large = round >= 200;
    std::string text = "{";
    const int pairs = large ? 300 + static_cast<int>(rng() % 300) : 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < pairs; ++i) {
      text += i ? "," : "";
      text += "\"k" + std::to_string(rng() % (large ? 400 : 12)) + "\":" + std::to_string(i);
    }
    text += "}";
    auto frozen = dictionary(text, false);
    auto changing = dictionary(text, true);
    ASSERT_TRUE(frozen && changing) << text;
    std::vector<std::pair<std::string, std::int64_t>> a, b;
    frozen->enumerate([&](const std::string& k, const Value& v) {
      a.emplace_back(k, v.intValue());
      return true;
    });
    changing->enumerate([&](const std::string& k, const Value& v) {
      b.emplace_back(k, v.intValue());
      return true;
    });
    ASSERT_EQ(a, b) << text;
    for (const auto& [k, v] : a) {
      // The later value of a repeated key.
      const std::string pattern = "\"" + k + "\":" + std::to_string(v);
      const std::size_t at = text.rfind("\"" + k + "\":");
      EXPECT_EQ(text.compare(at, pattern.size(), pattern), 0) << text;
      EXPECT_NE(std::string(",}").find(text[at + pattern.size()]), std::string::npos) << text;
      ASSERT_NE(frozen->objectForKey(k), nullptr);
      EXPECT_EQ(frozen->objectForKey(k)->intValue(), v);
    }
  }
}

TEST(JBArray, Copies) {
  auto immutable = array("[1,[2]]", false);
  EXPECT_EQ(immutable->copy().get(), immutable.get());
  auto m = immutable->mutableCopy();
  EXPECT_NE(static_cast<platform::Array*>(m.get()), immutable.get());
  m->addObject(Value(3));
  EXPECT_EQ(immutable->count(), 2u);

  auto mutableOne = array("[1]", true);
  auto frozen = mutableOne->copy();
  EXPECT_NE(frozen.get(), mutableOne.get());
  EXPECT_TRUE(frozen->isEqual(*mutableOne));
  auto frozenJB = std::dynamic_pointer_cast<JBArray>(frozen);
  ASSERT_TRUE(frozenJB);
  EXPECT_THROW(frozenJB->addObject(Value(2)), platform::InternalInconsistencyException);
  mutableOne->addObject(Value(2));
  EXPECT_EQ(frozen->count(), 1u);
}

// The containers inside an immutable document live by the document: whatever is taken out of it
// (the containers themselves, their copies, weak references) keeps it, and all of it, readable.
TEST(JBArray, ContainersTakenOutKeepTheirDocument) {
  std::shared_ptr<platform::Array> copied;
  std::shared_ptr<platform::Dictionary> inner;
  std::weak_ptr<platform::Object> watch;
  {
    auto root = dictionary(R"({"a":{"b":[1,{"c":"a string long enough to be kept apart"}]},"n":2})", false);
    ASSERT_TRUE(root);
    auto a = std::dynamic_pointer_cast<JBDictionary>(root->valueForKey("a").dictionaryValue());
    ASSERT_TRUE(a);
    EXPECT_EQ(a->copy().get(), a.get());
    auto list = std::dynamic_pointer_cast<JBArray>(a->valueForKey("b").arrayValue());
    ASSERT_TRUE(list);
    copied = list->copy();
    EXPECT_EQ(copied.get(), list.get());
    inner = list->objectAtIndex(1).dictionaryValue();
    watch = root->copy();
  }
  EXPECT_FALSE(watch.expired());
  EXPECT_EQ(copied->objectAtIndex(0).intValue(), 1);
  EXPECT_EQ(copied->objectAtIndex(1).dictionaryValue().get(), inner.get());
  copied.reset();
  EXPECT_FALSE(watch.expired());
  EXPECT_EQ(inner->valueForKey("c").stringValue(), "a string long enough to be kept apart");
  inner.reset();
  EXPECT_TRUE(watch.expired());
}

TEST(JBArray, RecordsHeldElsewhereOutliveALongListFreedAroundThem) {
  // Records of every shape (with and without containers, long, mutable, not dictionaries) in a
  // list long enough to be freed the way long lists are.
  std::string text = "[";
  for (int i = 0; i < 500; ++i) {
    if (i) text += ',';
    switch (i % 4) {
      case 0:
        text += "{\"id\":" + std::to_string(i) + ",\"tags\":[\"a\",\"b\"],\"co\":{\"n\":\"x\",\"in\":[1]}}";
        break;
      case 1:
        text += "{\"id\":" + std::to_string(i) + ",\"name\":\"a name long enough to be kept apart\"}";
        break;
      case 2:
        text += "[" + std::to_string(i) + ",{\"k\":[true]}]";
        break;
      default:
        text += "\"text " + std::to_string(i) + "\"";
    }
  }
  text += "]";
  for (bool isMutable : {false, true}) {
    auto list = array(text, isMutable);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count(), 500u);
    Value kept = list->objectAtIndex(100);
    Value keptChild =
        *list->objectAtIndex(204).dictionaryValue()->objectForKey("co")->dictionaryValue()->objectForKey(
            "in");
    Value keptArray = list->objectAtIndex(498);
    list.reset();
    EXPECT_EQ(kept.dictionaryValue()->objectForKey("id")->intValue(), 100);
    EXPECT_EQ(kept.dictionaryValue()->objectForKey("tags")->arrayValue()->objectAtIndex(1).stringValue(),
              "b");
    EXPECT_EQ(keptChild.arrayValue()->objectAtIndex(0).intValue(), 1);
    EXPECT_EQ(keptArray.arrayValue()->objectAtIndex(0).intValue(), 498);
  }
}

TEST(JBDictionary, Capacities) {
  const std::pair<std::size_t, std::size_t> table[] = {{0, 0},   {1, 3},   {3, 3},      {4, 7},   {6, 7},
                                                       {7, 13},  {10, 13}, {11, 23},    {18, 23}, {19, 41},
                                                       {31, 41}, {32, 71}, {1000, 1723}};
  for (auto [n, capacity] : table) EXPECT_EQ(JBDictionary::capacityForCount(n), capacity) << n;
  EXPECT_THROW(JBDictionary::capacityForCount(400'000'000), platform::MallocException);
}

TEST(JBDictionary, FullTableAndGrowth) {
  auto d = dictionary(R"({"a":1,"b":2,"c":3})", true);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->capacity(), 3u);
  EXPECT_EQ(d->valueForKey("a").intValue(), 1);
  EXPECT_EQ(d->valueForKey("b").intValue(), 2);
  EXPECT_EQ(d->valueForKey("c").intValue(), 3);
  EXPECT_EQ(d->objectForKey("d"), nullptr);
  EXPECT_EQ(d->objectForKey(""), nullptr);
  d->setObject(Value(4), "d");
  EXPECT_EQ(d->capacity(), 7u);
  EXPECT_EQ(d->count(), 4u);
  for (const char* k : {"a", "b", "c", "d"}) EXPECT_TRUE(d->objectForKey(k)) << k;

  d->setObject(Value("again"), "a");
  EXPECT_EQ(d->count(), 4u);
  EXPECT_EQ(d->valueForKey("a").stringValue(), "again");
  d->removeObjectForKey("missing");
  EXPECT_EQ(d->count(), 4u);

  auto empty = dictionary("{}", true);
  EXPECT_EQ(empty->capacity(), 0u);
  EXPECT_EQ(empty->objectForKey("x"), nullptr);
  empty->setObject(Value(1), "x");
  EXPECT_EQ(empty->capacity(), 3u);
  EXPECT_EQ(empty->valueForKey("x").intValue(), 1);
}

TEST(JBDictionary, RemovingFromARunOfCollidingKeys) {
  // Twelve keys in 23 slots, six of them with the same home slot.
  std::vector<std::string> colliding;
  std::vector<std::string> others;
  for (int i = 0; colliding.size() < 6 || others.size() < 6; ++i) {
    std::string k = "key" + std::to_string(i);
    if (JBDictionary::hashKey(k) % 23 == 5) {
      if (colliding.size() < 6) colliding.push_back(k);
    } else if (others.size() < 6) {
      others.push_back(k);
    }
  }
  std::string text = "{";
  for (const auto& k : colliding) text += "\"" + k + "\":\"" + k + "\",";
  for (const auto& k : others) text += "\"" + k + "\":\"" + k + "\",";
  text.back() = '}';
  auto d = dictionary(text, true);
  ASSERT_TRUE(d);
  ASSERT_EQ(d->capacity(), 23u);
  d->removeObjectForKey(colliding[1]);
  d->removeObjectForKey(others[0]);
  d->removeObjectForKey(colliding[4]);
  EXPECT_EQ(d->count(), 9u);
  for (const auto& k : colliding) {
    const bool removed = k == colliding[1] || k == colliding[4];
    const Value* v = d->objectForKey(k);
    EXPECT_EQ(v == nullptr, removed) << k;
    if (v) {
      EXPECT_EQ(v->stringValue(), k);
    }
  }
  for (const auto& k : others) EXPECT_EQ(d->objectForKey(k) == nullptr, k == others[0]) << k;
}

TEST(JBDictionary, BehavesLikeAMapUnderRandomChanges) {
  auto d = dictionary("{}", true);
  std::map<std::string, int> reference;
  std::mt19937 rng(12345);
  for (int step = 0; step < 20000; ++step) {
    const std::string key = "k" + std::to_string(rng() % 300);
    switch (rng() % 3) {
      case 0:
      case 1: {
        const int v = static_cast<int>(rng() % 1000);
        d->setObject(Value(v), key);
        reference[key] = v;
        break;
      }
      case 2:
        d->removeObjectForKey(key);
        reference.erase(key);
        break;
    }
    if (step % 997 == 0) {
      ASSERT_EQ(d->count(), reference.size());
      for (int k = 0; k < 300; ++k) {
        const std::string name = "k" + std::to_string(k);
        auto it = reference.find(name);
        const Value* v = d->objectForKey(name);
        ASSERT_EQ(v != nullptr, it != reference.end()) << name;
        if (v) {
          ASSERT_EQ(v->intValue(), it->second);
        }
      }
      std::map<std::string, int> seen;
      d->enumerate([&](const std::string& k, const Value& v) {
        seen[k] = static_cast<int>(v.intValue());
        return true;
      });
      ASSERT_EQ(seen, reference);
    }
  }
  d->removeAllObjects();
  EXPECT_EQ(d->count(), 0u);
  EXPECT_EQ(d->objectForKey("k1"), nullptr);
}

TEST(JBDictionary, ImmutableDictionariesRefuseChanges) {
  auto d = dictionary(R"({"a":1})", false);
  ASSERT_TRUE(d);
  EXPECT_EQ(
      reasonOf([&] { d->setObject(Value(2), "b"); }),
      "NSInternalInconsistencyException: *** -[JBDictionary setObject:forKey:]: mutating method sent to "
      "immutable object");
  EXPECT_EQ(
      reasonOf([&] { d->removeObjectForKey("a"); }),
      "NSInternalInconsistencyException: *** -[JBDictionary removeObjectForKey:]: mutating method sent to "
      "immutable object");
  EXPECT_THROW(d->removeAllObjects(), platform::InternalInconsistencyException);
  EXPECT_EQ(d->count(), 1u);
}

TEST(JBDictionary, ChangingWhileEnumeratingRaises) {
  auto d = dictionary(R"({"a":1,"b":2})", true);
  EXPECT_EQ(reasonOf([&] {
              d->enumerate([&](const std::string&, const Value&) {
                d->setObject(Value(3), "c");
                return true;
              });
            }),
            "NSGenericException: *** Collection <JBDictionary> was mutated while being enumerated.");
  // Stopping early is fine.
  int calls = 0;
  d->enumerate([&](const std::string&, const Value&) { return ++calls < 1; });
  EXPECT_EQ(calls, 1);
}

TEST(JBDictionary, Copies) {
  auto immutable = dictionary(R"({"a":1,"b":[2]})", false);
  EXPECT_EQ(immutable->copy().get(), immutable.get());
  auto m = immutable->mutableCopy();
  EXPECT_TRUE(m->isEqual(*immutable));
  EXPECT_EQ(m->allKeys(), immutable->allKeys());
  m->setObject(Value(3), "c");
  EXPECT_EQ(immutable->count(), 2u);

  auto mutableOne = dictionary(R"({"a":1})", true);
  auto frozen = mutableOne->copy();
  EXPECT_NE(frozen.get(), mutableOne.get());
  EXPECT_TRUE(frozen->isEqual(*mutableOne));
  auto frozenJB = std::dynamic_pointer_cast<JBDictionary>(frozen);
  ASSERT_TRUE(frozenJB);
  EXPECT_THROW(frozenJB->setObject(Value(1), "z"), platform::InternalInconsistencyException);
  mutableOne->setObject(Value(2), "b");
  EXPECT_EQ(frozen->count(), 1u);
}

}  // namespace
}  // namespace kavro
