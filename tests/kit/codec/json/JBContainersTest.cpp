#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "kit/codec/json/JBArray.h"
#include "kit/codec/json/JBDictionary.h"
#include "kit/codec/json/JSONDecoder.h"
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

  // A frozen copy holds what its values hold, and lets go of it with the last reference: the
  // containers and texts of a mutable document, kept only by the copy, go with it.
  auto source = array(R"([{"k":"v"},[1],"a text longer than sixteen bytes",2])", true);
  std::weak_ptr<platform::Object> inner = source->objectAtIndex(0).objectValue();
  std::weak_ptr<platform::Object> innerList = source->objectAtIndex(1).objectValue();
  auto frozenCopy = source->copy();
  source.reset();
  ASSERT_FALSE(inner.expired());
  EXPECT_EQ(frozenCopy->objectAtIndex(2).stringValue(), "a text longer than sixteen bytes");
  frozenCopy.reset();
  EXPECT_TRUE(inner.expired());
  EXPECT_TRUE(innerList.expired());
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

  // As for arrays: the frozen copy alone holds the mutable document's containers and texts, and
  // lets go of them with its last reference.
  auto source = dictionary(R"({"d":{"k":"v"},"l":[1],"t":"a text longer than sixteen bytes"})", true);
  std::weak_ptr<platform::Object> inner = source->valueForKey("d").objectValue();
  std::weak_ptr<platform::Object> innerList = source->valueForKey("l").objectValue();
  auto frozenCopy = source->copy();
  source.reset();
  ASSERT_FALSE(inner.expired());
  EXPECT_EQ(frozenCopy->valueForKey("t").stringValue(), "a text longer than sixteen bytes");
  frozenCopy.reset();
  EXPECT_TRUE(inner.expired());
  EXPECT_TRUE(innerList.expired());
}

// ---- Small containers of one immutable document shared by their contents ----

const platform::Object* nodeAt(const platform::Array& list, std::size_t i) {
  return list.objectAtIndex(i).objectPointer();
}

TEST(JBArray, EqualSmallContainersOfADocumentAreOneNode) {
  const std::string longText = "a text longer than sixteen bytes";
  const std::string text =
      R"([{"id":1,"b":[]},{"id":1,"b":[]},{"id":2,"b":[]},[1,2],[1,2],[1.0,2],[-0.0],[0.0],)"
      R"({"k":"short"},{"k":"short"},{"k":"shorT"},[true],[false],[null],[null],{},{},[],)"
      R"({"a":1,"b":2},{"b":2,"a":1},[")" +
      longText + R"("],[")" + longText + R"("],[1,[2]],[1,[2]],[1,[3]],)" +
      R"([18446744073709551615],[-1],[1],[1,2,3,4,5,6,7,8,9],[1,2,3,4,5,6,7,8,9]])";
  for (JBLayoutLearning learning : {JBLayoutLearning::On, JBLayoutLearning::Off}) {
    const Value v =
        JSONDecoder::parseOnce(text.data(), text.size(), JBParseOptionNone, false, nullptr, learning);
    auto list = v.arrayValue();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count(), 30u);
    EXPECT_EQ(nodeAt(*list, 0), nodeAt(*list, 1));
    EXPECT_NE(nodeAt(*list, 0), nodeAt(*list, 2));
    // The empty array inside them is one node too.
    EXPECT_EQ(list->objectAtIndex(0).dictionaryValue()->valueForKey("b").objectPointer(),
              list->objectAtIndex(2).dictionaryValue()->valueForKey("b").objectPointer());
    EXPECT_EQ(list->objectAtIndex(0).dictionaryValue()->valueForKey("b").objectPointer(), nodeAt(*list, 17));
    EXPECT_EQ(nodeAt(*list, 3), nodeAt(*list, 4));
    // Numbers of other kinds, and zeros of other signs, are other values.
    EXPECT_NE(nodeAt(*list, 3), nodeAt(*list, 5));
    EXPECT_TRUE(list->objectAtIndex(5).arrayValue()->objectAtIndex(0).kind() == Value::Kind::Double);
    EXPECT_NE(nodeAt(*list, 6), nodeAt(*list, 7));
    EXPECT_TRUE(std::signbit(list->objectAtIndex(6).arrayValue()->objectAtIndex(0).doubleValue()));
    EXPECT_FALSE(std::signbit(list->objectAtIndex(7).arrayValue()->objectAtIndex(0).doubleValue()));
    EXPECT_EQ(nodeAt(*list, 8), nodeAt(*list, 9));
    EXPECT_NE(nodeAt(*list, 8), nodeAt(*list, 10));
    EXPECT_EQ(list->objectAtIndex(10).dictionaryValue()->valueForKey("k").stringValue(), "shorT");
    EXPECT_NE(nodeAt(*list, 11), nodeAt(*list, 12));
    EXPECT_NE(nodeAt(*list, 11), nodeAt(*list, 13));
    EXPECT_EQ(nodeAt(*list, 13), nodeAt(*list, 14));
    EXPECT_EQ(nodeAt(*list, 15), nodeAt(*list, 16));
    // The same pairs in another order keep their own order.
    EXPECT_EQ(list->objectAtIndex(18).dictionaryValue()->allKeys(),
              json::mutableObjectFromJSONString(R"({"a":1,"b":2})").dictionaryValue()->allKeys());
    EXPECT_EQ(list->objectAtIndex(19).dictionaryValue()->allKeys(),
              json::mutableObjectFromJSONString(R"({"b":2,"a":1})").dictionaryValue()->allKeys());
    // Long texts are not compared: equal, but apart.
    EXPECT_NE(nodeAt(*list, 20), nodeAt(*list, 21));
    EXPECT_EQ(list->objectAtIndex(20), list->objectAtIndex(21));
    EXPECT_EQ(nodeAt(*list, 22), nodeAt(*list, 23));
    EXPECT_NE(nodeAt(*list, 22), nodeAt(*list, 24));
    EXPECT_EQ(
        list->objectAtIndex(24).arrayValue()->objectAtIndex(1).arrayValue()->objectAtIndex(0).intValue(), 3);
    EXPECT_EQ(list->objectAtIndex(25).arrayValue()->objectAtIndex(0).uintValue(), 18446744073709551615ull);
    EXPECT_EQ(list->objectAtIndex(26).arrayValue()->objectAtIndex(0).intValue(), -1);
    EXPECT_NE(nodeAt(*list, 26), nodeAt(*list, 27));
    // Larger containers are not looked for.
    EXPECT_NE(nodeAt(*list, 28), nodeAt(*list, 29));
    EXPECT_EQ(list->objectAtIndex(28), list->objectAtIndex(29));
  }
}

// One decoder's documents, large and small in turn: what is shared stays within each document
// however large the document before it was (its table emptied, made small again or let go).
TEST(JBArray, SharingStartsAfreshForEachDocumentOfADecoder) {
  auto manyPairs = [](int n) {
    std::string text = "[";
    for (int i = 0; i < n; ++i) text += "[" + std::to_string(i) + "],[" + std::to_string(i) + "],";
    return text + "[5]]";
  };
  const auto decoder = JSONDecoder::decoder();
  std::vector<Value> kept;
  for (int n : {1500, 3, 40, 5000, 2, 700, 1}) {
    const std::string big = manyPairs(n);
    const Value large = decoder->objectWithUTF8String(big.data(), big.size());
    const std::string small = "[[5],[5],[6]]";
    const Value few = decoder->objectWithUTF8String(small.data(), small.size());
    for (const Value& v : {large, few}) {
      auto list = v.arrayValue();
      ASSERT_TRUE(list);
      const std::size_t pairs = (list->count() - 1) / 2;
      for (std::size_t i = 0; i < pairs; ++i)
        ASSERT_EQ(nodeAt(*list, 2 * i), nodeAt(*list, 2 * i + 1)) << n << " at " << i;
      if (pairs > 1) {
        ASSERT_NE(nodeAt(*list, 0), nodeAt(*list, 2));
      }
    }
    auto fewList = few.arrayValue();
    EXPECT_NE(nodeAt(*fewList, 1), nodeAt(*fewList, 2));
    EXPECT_EQ(fewList->objectAtIndex(2).arrayValue()->objectAtIndex(0).intValue(), 6);
    // Never a node of another document, kept or gone.
    auto largeList = large.arrayValue();
    EXPECT_NE(nodeAt(*fewList, 0), nodeAt(*largeList, largeList->count() - 1));
    for (const Value& old : kept) EXPECT_NE(nodeAt(*fewList, 0), nodeAt(*old.arrayValue(), 0));
    kept.push_back(few);
  }
}

TEST(JBDictionary, AMutableCopyOfASharedDictionaryChangesOnlyItself) {
  const Value v = json::objectFromJSONString(R"([{"id":7,"tags":[1,2]},{"id":7,"tags":[1,2]}])");
  auto list = v.arrayValue();
  ASSERT_TRUE(list);
  auto first = list->objectAtIndex(0).dictionaryValue();
  auto second = list->objectAtIndex(1).dictionaryValue();
  ASSERT_EQ(first.get(), second.get());
  auto changed = std::dynamic_pointer_cast<JBDictionary>(first)->mutableCopy();
  changed->setObject(Value(8), "id");
  changed->removeObjectForKey("tags");
  auto tags = first->valueForKey("tags").arrayValue();
  auto changedTags = std::dynamic_pointer_cast<JBArray>(tags)->mutableCopy();
  changedTags->addObject(Value(3));
  EXPECT_EQ(changed->valueForKey("id").intValue(), 8);
  EXPECT_EQ(changedTags->count(), 3u);
  for (const auto& d : {first, second}) {
    EXPECT_EQ(d->count(), 2u);
    EXPECT_EQ(d->valueForKey("id").intValue(), 7);
    EXPECT_EQ(d->valueForKey("tags").arrayValue()->count(), 2u);
  }
  EXPECT_THROW(std::dynamic_pointer_cast<JBArray>(tags)->addObject(Value(3)),
               platform::InternalInconsistencyException);
}

// The same value, kind for kind and bit for bit, with dictionaries' pairs in the same order.
void expectSameTree(const Value& a, const Value& b, const std::string& at) {
  ASSERT_EQ(a.kind(), b.kind()) << at;
  switch (a.kind()) {
    case Value::Kind::Double:
      EXPECT_EQ(std::bit_cast<std::uint64_t>(a.doubleValue()), std::bit_cast<std::uint64_t>(b.doubleValue()))
          << at;
      break;
    case Value::Kind::Object:
      if (auto la = a.arrayValue()) {
        auto lb = b.arrayValue();
        ASSERT_TRUE(lb) << at;
        ASSERT_EQ(la->count(), lb->count()) << at;
        for (std::size_t i = 0; i < la->count(); ++i)
          expectSameTree(la->objectAtIndex(i), lb->objectAtIndex(i), at + "/" + std::to_string(i));
      } else {
        auto da = a.dictionaryValue();
        auto db = b.dictionaryValue();
        ASSERT_TRUE(da && db) << at;
        ASSERT_EQ(da->allKeys(), db->allKeys()) << at;
        for (const std::string& k : da->allKeys())
          expectSameTree(*da->objectForKey(k), *db->objectForKey(k), at + "/" + k);
        EXPECT_EQ(da->objectForKey("absent"), nullptr) << at;
      }
      break;
    default:
      EXPECT_EQ(a, b) << at;
      EXPECT_EQ(a.description(), b.description()) << at;
  }
}

// Records of one kind in two orders, repeating among near repeats (another number kind, the other
// zero, another list, a text), and records whose equal values come under keys in other orders,
// read by one decoder in two documents: equal records of a document are one node whichever way
// they were read, unequal ones never, and no node of one document stands in the other.
TEST(JBDictionary, RecordsReadByTheirLayoutShareWhatRepeatsWithinTheirDocument) {
  const char* const kinds[] = {R"("areaId":%d,"blockIds":[])",   R"("blockIds":[],"areaId":%d)",
                               R"("areaId":%d.0,"blockIds":[])", R"("areaId":-0.0,"blockIds":[])",
                               R"("areaId":0.0,"blockIds":[])",  R"("areaId":%d,"blockIds":[%d])",
                               R"("areaId":"%d","blockIds":[])", R"("a":%d,"b":%d,"c":%d,"d":1)",
                               R"("a":%d,"c":%d,"b":%d,"d":1)",  R"("b":%d,"a":%d,"c":1,"d":1)"};
  std::mt19937 rng(20261210);
  auto document = [&](std::vector<std::string>& records) {
    std::string text = "[";
    for (int i = 0; i < 3000; ++i) {
      const int id = static_cast<int>(rng() % 12);
      const std::size_t kind = rng() % 8 < 4 ? rng() % 2 : 2 + rng() % 8;
      char record[96];
      std::snprintf(record, sizeof record, kinds[kind], id, id, id);
      records.push_back(std::string("{") + record + "}");
      text += (i ? "," : "") + records.back();
    }
    return text + "]";
  };
  const auto decoder = JSONDecoder::decoder();
  std::vector<Value> kept;  // so that no node's memory is taken again by the next document
  std::set<const platform::Object*> before;
  for (int round = 0; round < 2; ++round) {
    std::vector<std::string> records;
    const std::string text = document(records);
    const Value v = decoder->objectWithUTF8String(text.data(), text.size());
    const Value plain = JSONDecoder::parseOnce(text.data(), text.size(), JBParseOptionNone, false, nullptr,
                                               JBLayoutLearning::Off);
    expectSameTree(v, json::mutableObjectFromJSONString(text), "round " + std::to_string(round));
    // Read by layout or by the general loop alone, one node for each record's text.
    for (const Value& tree : {v, plain}) {
      auto list = tree.arrayValue();
      ASSERT_TRUE(list);
      ASSERT_EQ(list->count(), records.size());
      std::map<std::string, const platform::Object*> nodeOf;
      std::map<const platform::Object*, std::string> textOf;
      for (std::size_t i = 0; i < records.size(); ++i) {
        const platform::Object* node = nodeAt(*list, i);
        EXPECT_EQ(nodeOf.emplace(records[i], node).first->second, node) << records[i] << " at " << i;
        EXPECT_EQ(textOf.emplace(node, records[i]).first->second, records[i]) << "one node for two, at " << i;
        ASSERT_EQ(before.count(node), 0u) << "a node of the document before, at " << i;
      }
    }
    auto list = v.arrayValue();
    for (std::size_t i = 0; i < records.size(); ++i) before.insert(nodeAt(*list, i));
    kept.push_back(v);
  }
}

// Documents full of repeats (and near repeats) of small containers, with long arrays between them
// whose values take pieces of the document's memory larger than what is left of its blocks: read
// immutable, sharing what repeats, they are the tree that mutable reading (which shares nothing)
// gives, pair order included.
TEST(JBDictionary, SharedContainersReadAsTheMutableTreeUnderRandomDocuments) {
  std::mt19937 rng(20261209);
  const char* const scalars[] = {"0",
                                 "1",
                                 "1.0",
                                 "-0.0",
                                 "0.0",
                                 "-1",
                                 "true",
                                 "false",
                                 "null",
                                 "\"\"",
                                 "\"ab\"",
                                 "\"ac\"",
                                 "\"a text longer than sixteen\"",
                                 "18446744073709551615",
                                 "2.5e-300",
                                 "\"\\u00e9t\u00e9\""};
  const char* const keys[] = {"id", "b", "name", "k", "a longer key than the pool keeps for keys", ""};
  std::function<std::string(int)> value = [&](int depth) -> std::string {
    const unsigned pick = rng() % 10;
    if (depth > 3 || pick < 5) return scalars[rng() % std::size(scalars)];
    if (pick < 7) {
      std::string s = "[";
      // Now and then a long list, whose values do not fit in what is left of a block.
      const std::size_t n = rng() % 8 == 0 ? 60 + rng() % 200 : rng() % 4;
      for (std::size_t i = 0; i < n; ++i) s += (i ? "," : "") + value(depth + 1);
      return s + "]";
    }
    std::string s = "{";
    const std::size_t n = rng() % 4;
    for (std::size_t i = 0; i < n; ++i)
      s += std::string(i ? "," : "") + "\"" + keys[rng() % std::size(keys)] + "\":" + value(depth + 1);
    return s + "}";
  };
  // Long runs of containers that never repeat (where looking for repeats pauses) before and after
  // runs that do.
  {
    std::string text = "[";
    for (int i = 0; i < 6000; ++i) {
      const int n = i < 2000 || i >= 4000 ? i : i % 7;
      text += (i ? "," : "") + std::string("[") + std::to_string(n) + ".5,-" + std::to_string(n) + "]";
      if (i % 5 == 0) text += ",{\"x\":" + std::to_string(n) + ",\"y\":[" + std::to_string(n % 3) + "]}";
    }
    text += "]";
    const Value model = json::mutableObjectFromJSONString(text);
    for (JBLayoutLearning learning : {JBLayoutLearning::On, JBLayoutLearning::Off})
      expectSameTree(
          JSONDecoder::parseOnce(text.data(), text.size(), JBParseOptionNone, false, nullptr, learning),
          model, "runs");
  }
  for (int round = 0; round < 60; ++round) {
    // A few records, repeated in runs and apart.
    std::vector<std::string> records;
    for (int i = 0; i < 6; ++i)
      records.push_back("{\"id\":" + std::to_string(i % 3) + ",\"v\":" + value(1) + "}");
    std::string text = "[";
    for (int i = 0, n = 20 + static_cast<int>(rng() % 200); i < n; ++i)
      text += (i ? "," : "") + (rng() % 3 ? records[rng() % records.size()] : value(1));
    text += "]";
    const Value model = json::mutableObjectFromJSONString(text);
    ASSERT_FALSE(model.isNull()) << text;
    for (JBLayoutLearning learning : {JBLayoutLearning::On, JBLayoutLearning::Off}) {
      const Value shared =
          JSONDecoder::parseOnce(text.data(), text.size(), JBParseOptionNone, false, nullptr, learning);
      expectSameTree(shared, model, "round " + std::to_string(round));
    }
  }
}

}  // namespace
}  // namespace kavro
