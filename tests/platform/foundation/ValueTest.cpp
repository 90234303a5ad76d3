#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/TextStore.h"

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

// Against a plain list of pairs under random changes: short maps (searched in place) and long ones
// (indexed, compacted after many removals) keep the same pairs in the same order, and find each.
TEST(Dictionary, BehavesAsAnOrderedListOfPairsAtEverySize) {
  for (int keys : {5, 12, 60, 500}) {
    auto d = MutableDictionary::create();
    std::vector<std::pair<std::string, std::string>> model;
    auto at = [&](const std::string& key) {
      return std::find_if(model.begin(), model.end(), [&](const auto& p) { return p.first == key; });
    };
    std::uint32_t x = 11;
    auto next = [&] { return x = x * 1664525u + 1013904223u; };
    // Short keys, keys too long for a short string, keys of one length differing only at the end,
    // and text beyond ASCII.
    auto keyOf = [](std::uint32_t n) {
      switch (n % 4) {
        case 0:
          return "k" + std::to_string(n);
        case 1:
          return "a key longer than a short string " + std::to_string(n);
        case 2:
          return "键" + std::to_string(n);
        default:
          return std::to_string(n / 10) + "x" + std::to_string(n % 10);
      }
    };
    for (int step = 0; step < 4000; ++step) {
      const std::string key = keyOf(next() % static_cast<std::uint32_t>(keys));
      const std::uint32_t op = next() % 10;
      if (op < 3) {
        d->removeObjectForKey(key);
        if (auto it = at(key); it != model.end()) model.erase(it);
      } else if (op == 3 && next() % 100 == 0) {
        d->removeAllObjects();
        model.clear();
      } else {
        const std::string value = "v" + std::to_string(step);
        d->setObject(value, key);
        if (auto it = at(key); it != model.end())
          it->second = value;
        else
          model.emplace_back(key, value);
      }
      ASSERT_EQ(d->count(), model.size()) << keys << " " << step;
      if (step % 97 == 0 || step == 3999) {
        std::vector<std::pair<std::string, std::string>> pairs;
        d->enumerate([&](const std::string& k, const Value& v) {
          pairs.emplace_back(k, v.stringValue());
          return true;
        });
        ASSERT_EQ(pairs, model) << keys << " " << step;
        for (int n = 0; n < keys; ++n) {
          const Value* v = d->objectForKey(keyOf(static_cast<std::uint32_t>(n)));
          auto it = at(keyOf(static_cast<std::uint32_t>(n)));
          ASSERT_EQ(v != nullptr, it != model.end()) << keyOf(static_cast<std::uint32_t>(n));
          if (v) {
            ASSERT_EQ(v->stringValue(), it->second);
          }
        }
      }
    }
  }
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

TEST(Value, CopiesMovesAndAssignmentsOfEveryKind) {
  const std::vector<Value> samples = {Value(),     Value(true),          Value(-7),
                                      Value(7ull), Value(2.5),           Value(std::string(40, 's')),
                                      Value("s"),  Value(Data{1, 2, 3}), Value(MutableArray::create({1}))};
  for (const Value& a : samples) {
    Value copy = a;
    EXPECT_EQ(copy, a);
    Value moved = std::move(copy);
    EXPECT_EQ(moved, a);
    EXPECT_TRUE(copy.isNull());  // NOLINT(bugprone-use-after-move): moved-from values are null
    for (const Value& b : samples) {
      Value target = b;
      target = a;
      EXPECT_EQ(target, a);
      Value source = a;
      target = b;
      target = std::move(source);
      EXPECT_EQ(target, a);
    }
    Value self = a;
    self = *&self;
    EXPECT_EQ(self, a);
  }
}

// The same bits: one kind and one payload, so equal numbers of other kinds and equal texts stored
// apart are not the same; a copy or a move of a value is, whatever it holds.
TEST(Value, SameBitsTellsCopiesFromEqualValues) {
  const auto array = MutableArray::create({1});
  const std::vector<Value> samples = {Value(),      Value(true),
                                      Value(false), Value(0),
                                      Value(-7),    Value(7),
                                      Value(7ull),  Value(7.0),
                                      Value(0.0),   Value(-0.0),
                                      Value("s"),   Value(Data{1, 2}),
                                      Value(array), Value(MutableArray::create({1}))};
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const Value& a = samples[i];
    Value copy = a;
    EXPECT_TRUE(copy.sameBits(a)) << i;
    EXPECT_EQ(copy.bitsWord(), a.bitsWord()) << i;
    Value moved = std::move(copy);
    EXPECT_TRUE(moved.sameBits(a)) << i;
    for (std::size_t j = 0; j < samples.size(); ++j) {
      if (j == i) continue;
      EXPECT_FALSE(a.sameBits(samples[j])) << i << " " << j;
      EXPECT_NE(a.bitsWord(), samples[j].bitsWord()) << i << " " << j;
    }
  }
  // Equal, but not the same.
  EXPECT_EQ(Value(7), Value(7.0));
  EXPECT_FALSE(Value("s").sameBits(Value("s")));
  EXPECT_TRUE(Value(array).sameBits(Value(array)));
}

TEST(Value, AssigningWhatTheValueItselfHolds) {
  // The array is held only by v: taking its element must not read it after it is gone.
  Value v(MutableArray::create({Value(std::string(50, 'e'))}));
  v = v.arrayValue()->objectAtIndex(0);
  EXPECT_EQ(v.stringValue(), std::string(50, 'e'));
  Value w(MutableArray::create({Value(MutableArray::create({3}))}));
  w = Value(w.arrayValue()->objectAtIndex(0));
  EXPECT_EQ(w.arrayValue()->objectAtIndex(0).intValue(), 3);
}

// A borrowed object takes no count of its own; its copies count on the owner, whose lifetime
// they then extend.
TEST(Value, BorrowedObjectsCountOnTheirOwner) {
  auto list = MutableArray::create({Value(4)});
  auto owner = std::make_shared<int>(0);
  std::weak_ptr<Object> ownerHandle = ObjectPtr(owner, static_cast<Object*>(nullptr));
  std::weak_ptr<int> watch = owner;
  {
    Value borrowed = Value::borrowingObject(ownerHandle, list.get());
    EXPECT_EQ(owner.use_count(), 1);
    EXPECT_TRUE(borrowed.isObject());
    EXPECT_FALSE(borrowed.ownsSomething());
    EXPECT_EQ(borrowed.objectPointer(), list.get());
    EXPECT_EQ(borrowed.arrayValue()->objectAtIndex(0).intValue(), 4);
    EXPECT_EQ(owner.use_count(), 1);
    {
      // Pointers handed out count on the owner too.
      ObjectPtr counted = borrowed.objectValue();
      EXPECT_EQ(counted.get(), list.get());
      EXPECT_EQ(owner.use_count(), 2);
      auto array = borrowed.as<Array>();
      EXPECT_EQ(owner.use_count(), 3);
    }
    EXPECT_EQ(owner.use_count(), 1);
    Value copy = borrowed;
    EXPECT_TRUE(copy.ownsSomething());
    EXPECT_EQ(copy, borrowed);
    EXPECT_EQ(copy.hash(), borrowed.hash());
    EXPECT_EQ(owner.use_count(), 2);
    Value moved = std::move(borrowed);
    EXPECT_EQ(owner.use_count(), 2);
    Value assigned;
    assigned = moved;
    EXPECT_EQ(owner.use_count(), 3);
    owner.reset();
    EXPECT_FALSE(watch.expired());
    copy = Value();
    EXPECT_FALSE(watch.expired());
    assigned = Value();
  }
  EXPECT_TRUE(watch.expired());
}

// A value is 16 bytes of payload and a tag: text and bytes it owns live behind one pointer.
static_assert(sizeof(void*) != 8 || sizeof(Value) == 24);

namespace {

// A store holding one text, that says when its last reference goes.
class OneTextStore final : public TextStore {
 public:
  static OneTextStore* make(std::string_view text, bool& gone) {
    auto* store = new OneTextStore(gone);
    store->block_ = new (store->bytes_) Block(text.size());
    std::memcpy(store->block_->bytes(), text.data(), text.size());
    return store;
  }
  const Block& block() const { return *block_; }

 private:
  explicit OneTextStore(bool& gone) : gone_(gone) {}
  void destroy() noexcept override {
    gone_ = true;
    delete this;
  }
  bool& gone_;
  Block* block_ = nullptr;
  alignas(Block) unsigned char bytes_[sizeof(Block) + 64];
};

}  // namespace

// Copies of text and bytes share what the first value made and keep it when the first goes; a
// move hands it over and leaves the source null.
TEST(Value, CopiesShareTextAndBytesAndOutliveTheOriginal) {
  const std::string longText(100, 'x');
  for (const std::string& text : {longText, std::string("short"), std::string()}) {
    auto original = std::make_unique<Value>(text);
    Value copy = *original;
    Value assigned(7);
    assigned = *original;
    EXPECT_EQ(copy.stringView().data(), original->stringView().data());
    EXPECT_EQ(&copy.stringValue(), &original->stringValue());
    EXPECT_EQ(&assigned.stringValue(), &original->stringValue());
    const std::string* held = &original->stringValue();
    original.reset();
    EXPECT_EQ(copy.stringValue(), text);
    EXPECT_EQ(copy.description(), text);
    Value moved = std::move(copy);
    EXPECT_TRUE(copy.isNull());  // NOLINT(bugprone-use-after-move): moved-from values are null
    EXPECT_EQ(&moved.stringValue(), held);
    EXPECT_EQ(moved, assigned);
    EXPECT_EQ(moved.hash(), Value(text).hash());
    EXPECT_EQ(moved.stringValue(), text);
  }

  auto bytes = std::make_unique<Value>(Data{0xde, 0xad, 0xbe, 0xef, 1});
  Value bytesCopy = *bytes;
  EXPECT_EQ(&bytesCopy.bytesValue(), &bytes->bytesValue());
  bytes.reset();
  EXPECT_EQ(bytesCopy.bytesValue(), (Data{0xde, 0xad, 0xbe, 0xef, 1}));
  EXPECT_EQ(bytesCopy.description(), "<deadbeef 01>");
  EXPECT_EQ(bytesCopy, Value(Data{0xde, 0xad, 0xbe, 0xef, 1}));
  EXPECT_NE(bytesCopy, Value(Data{0xde, 0xad}));
  EXPECT_NE(bytesCopy, Value("\xde\xad\xbe\xef\x01"));

  // Every constructor of text makes the same value.
  const char* none = nullptr;
  EXPECT_EQ(Value(none), Value(""));
  EXPECT_EQ(Value(none).stringValue(), "");
  EXPECT_EQ(Value(std::string_view("abc").substr(1)), Value("bc"));
  EXPECT_TRUE(Value("").isString());
}

// Random assignments between slots holding every kind of value, checked against a plain model
// of what each slot should hold.
TEST(Value, AssignmentsBetweenEveryKindMatchAPlainModel) {
  using Expected = std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string, Data,
                                const Object*>;
  bool storeGone = false;
  OneTextStore* store = OneTextStore::make("text kept in a store, longer than a short string", storeGone);
  const std::string storedText(store->block().view());
  auto owner = std::make_shared<int>(0);
  std::weak_ptr<Object> ownerHandle = ObjectPtr(owner, static_cast<Object*>(nullptr));
  auto list = MutableArray::create({Value(1), Value("one")});
  auto borrowedList = MutableArray::create({Value(2)});

  std::uint32_t x = 1234567;
  auto next = [&] { return x = x * 1664525u + 1013904223u; };
  auto make = [&](std::uint32_t n) -> std::pair<Value, Expected> {
    switch (n % 14) {
      case 0:
        return {Value(), std::monostate()};
      case 1:
        return {Value(n % 28 < 14), n % 28 < 14};
      case 2:
        return {Value(-static_cast<long long>(n)), -static_cast<std::int64_t>(n)};
      case 3:
        return {Value(static_cast<unsigned long long>(n) << 32), static_cast<std::uint64_t>(n) << 32};
      case 4:
        return {Value(n / 7.0), n / 7.0};
      case 5:
        return {Value("s" + std::to_string(n)), "s" + std::to_string(n)};
      case 6: {
        std::string text(40 + n % 50, static_cast<char>('a' + n % 26));
        return {Value(std::string_view(text)), text};
      }
      case 7:
        return {Value("literal"), std::string("literal")};
      case 8: {
        Data d(n % 40, static_cast<std::uint8_t>(n));
        return {Value(d), d};
      }
      case 9:
        return {Value(Data()), Data()};
      case 10:
        return {Value(list), list.get()};
      case 11:
        return {Value::borrowingText(*store, store->block()), storedText};
      case 12: {
        Value borrowed = Value::borrowingText(*store, store->block());
        return {Value(borrowed), storedText};  // a counted copy
      }
      default:
        return {Value::borrowingObject(ownerHandle, borrowedList.get()), borrowedList.get()};
    }
  };
  auto check = [](const Value& v, const Expected& e) {
    switch (e.index()) {
      case 0:
        return v.isNull() && v.stringValue().empty() && v.bytesValue().empty() && v == Value();
      case 1:
        return v.kind() == Value::Kind::Bool && v.boolValue() == std::get<bool>(e);
      case 2:
        return v.kind() == Value::Kind::Int && v.intValue() == std::get<std::int64_t>(e);
      case 3:
        return v.kind() == Value::Kind::UInt && v.uintValue() == std::get<std::uint64_t>(e);
      case 4:
        return v.kind() == Value::Kind::Double && v.doubleValue() == std::get<double>(e);
      case 5: {
        const std::string& s = std::get<std::string>(e);
        return v.isString() && v.stringValue() == s && v.stringView() == s && v.description() == s &&
               v == Value(s) && v.hash() == Value(s).hash() && v.bytesValue().empty() && v.intValue() == 0;
      }
      case 6: {
        const Data& d = std::get<Data>(e);
        return v.isBytes() && v.bytesValue() == d && v == Value(d) && v.hash() == Value(d).hash() &&
               v.stringView().empty();
      }
      default:
        return v.isObject() && v.objectPointer() == std::get<const Object*>(e) && v.stringView().empty();
    }
  };

  constexpr std::size_t kSlots = 8;
  std::vector<Value> slots(kSlots);
  std::vector<Expected> model(kSlots);
  for (int step = 0; step < 20000; ++step) {
    const std::size_t i = next() % kSlots;
    const std::size_t j = next() % kSlots;
    switch (next() % 7) {
      case 0: {
        auto [value, expected] = make(next());
        slots[i] = std::move(value);
        model[i] = expected;
        break;
      }
      case 1: {
        auto [value, expected] = make(next());
        slots[i] = value;
        model[i] = expected;
        break;
      }
      case 2:
        slots[i] = slots[j];
        model[i] = model[j];
        break;
      case 3:
        slots[i] = std::move(slots[j]);
        if (i != j) {
          model[i] = model[j];
          model[j] = std::monostate();
        }
        break;
      case 4: {
        Value copy(slots[j]);
        slots[i] = copy;
        model[i] = model[j];
        ASSERT_TRUE(check(copy, model[j])) << step;
        break;
      }
      case 5: {
        Value moved(std::move(slots[j]));
        model[i] = model[j];
        if (i != j) model[j] = std::monostate();
        slots[i] = std::move(moved);
        break;
      }
      default:
        slots[i] = *&slots[i];
        break;
    }
    ASSERT_TRUE(check(slots[i], model[i])) << "step " << step << " slot " << i;
    ASSERT_TRUE(check(slots[j], model[j])) << "step " << step << " slot " << j;
  }
  for (std::size_t n = 0; n < kSlots; ++n) ASSERT_TRUE(check(slots[n], model[n])) << n;

  // The builder's reference goes; counted copies of stored text keep the store.
  const Value borrowed = Value::borrowingText(*store, store->block());
  Value kept(borrowed);
  slots.clear();
  store->release();
  EXPECT_FALSE(storeGone);
  EXPECT_EQ(kept.stringValue(), storedText);
  kept = Value();
  EXPECT_TRUE(storeGone);
  EXPECT_EQ(owner.use_count(), 1);
}

// Copies of one text and of one run of bytes made and dropped on several threads at once, and
// the last reference dropped on whichever thread ends last.
TEST(Value, CountedTextAndBytesCrossThreads) {
  constexpr int kThreads = 4;
  const std::string text(200, 't');
  const Data bytes(64, 0x5a);
  const Value common(text);
  const Value commonBytes(bytes);
  std::vector<Value> handed;
  {
    Value lone(std::string(300, 'l'));
    for (int k = 0; k < kThreads; ++k) handed.push_back(lone);
  }
  std::vector<std::size_t> seen(kThreads);
  std::vector<std::thread> threads;
  for (int k = 0; k < kThreads; ++k) {
    threads.emplace_back([&, k] {
      std::vector<Value> kept;
      std::size_t total = 0;
      for (int n = 0; n < 3000; ++n) {
        Value copy = common;
        total += copy.stringView().size();
        Value bytesCopy(commonBytes);
        total += bytesCopy.bytesValue().size();
        if (n % 5 == k) kept.push_back(std::move(copy));
        if (n % 100 == 0) kept.clear();
      }
      Value mine = std::move(handed[static_cast<std::size_t>(k)]);
      total += mine.stringValue().size();
      seen[static_cast<std::size_t>(k)] = total;
    });
  }
  for (std::thread& t : threads) t.join();
  for (std::size_t total : seen) EXPECT_EQ(total, 3000u * (200 + 64) + 300);
  EXPECT_EQ(common.stringValue(), text);
  EXPECT_EQ(commonBytes.bytesValue(), bytes);
}

TEST(Dictionary, CopiesAreDeepAndEmptyOnesAnswer) {
  auto empty = MutableDictionary::create();
  EXPECT_EQ(empty->count(), 0u);
  EXPECT_EQ(empty->objectForKey("x"), nullptr);
  EXPECT_TRUE(empty->allKeys().empty());
  empty->removeObjectForKey("x");
  auto d = MutableDictionary::create();
  d->setObject(1, "a");
  d->setObject("two", "b");
  MutableDictionary copy = *d;
  copy.setObject(3, "c");
  EXPECT_EQ(d->count(), 2u);
  EXPECT_EQ(copy.count(), 3u);
  *d = copy;
  EXPECT_EQ(d->allKeys(), (std::vector<std::string>{"a", "b", "c"}));
  d->removeAllObjects();
  EXPECT_EQ(d->count(), 0u);
  d->setObject(4, "d");
  EXPECT_EQ(d->valueForKey("d").intValue(), 4);
  MutableDictionary moved = std::move(copy);
  EXPECT_EQ(moved.valueForKey("b").stringValue(), "two");
}

// The pairs as a reader walks them: a removed one keeps its place, not live, until so many are
// removed that the map compacts; a copy keeps them as they are.
TEST(Dictionary, EntriesKeepRemovedPairsInPlaceUntilCompacted) {
  auto d = MutableDictionary::create();
  auto keysOf = [](const MutableDictionary& m, bool live) {
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < m.entries().size(); ++i)
      if (m.isLive(i) == live) keys.push_back(m.entries()[i].key);
    return keys;
  };
  for (int i = 0; i < 40; ++i) d->setObject("v" + std::to_string(i), "k" + std::to_string(i));
  d->removeObjectForKey("k1");
  d->removeObjectForKey("k5");
  ASSERT_EQ(d->entries().size(), 40u);
  EXPECT_EQ(keysOf(*d, false), (std::vector<std::string>{"k1", "k5"}));
  EXPECT_TRUE(d->entries()[1].value.isNull());
  EXPECT_EQ(d->entries()[2].value.stringValue(), "v2");

  MutableDictionary copy = *d;
  EXPECT_EQ(keysOf(copy, false), (std::vector<std::string>{"k1", "k5"}));
  copy.setObject("again", "k1");
  EXPECT_EQ(copy.entries().back().key, "k1");
  EXPECT_EQ(copy.count(), 39u);
  EXPECT_EQ(keysOf(*d, false).size(), 2u);

  // More than half of them removed: the twenty-first removal compacts the map.
  for (int i = 10; i < 28; ++i) d->removeObjectForKey("k" + std::to_string(i));
  EXPECT_EQ(keysOf(*d, false).size(), 20u);
  d->removeObjectForKey("k28");
  EXPECT_EQ(d->entries().size(), 19u);
  EXPECT_TRUE(keysOf(*d, false).empty());
  EXPECT_EQ(keysOf(*d, true).front(), "k0");
  EXPECT_EQ(keysOf(*d, true).back(), "k39");
  EXPECT_EQ(d->valueForKey("k30").stringValue(), "v30");
  EXPECT_EQ(d->objectForKey("k1"), nullptr);
}

// Pairs added while the map is walked, the map growing under the walk, and keys taken from the
// map's own pairs.
TEST(Dictionary, GrowsUnderAWalkAndTakesKeysFromItself) {
  auto d = MutableDictionary::create();
  d->setObject(0, "a key longer than a short string");
  std::vector<std::string> seen;
  d->enumerate([&](const std::string& key, const Value&) {
    seen.push_back(key);
    if (seen.size() < 30) d->setObject(1, key + "+");
    return true;
  });
  ASSERT_EQ(seen.size(), 30u);
  EXPECT_EQ(seen.back(), seen.front() + std::string(29, '+'));
  EXPECT_EQ(d->count(), 30u);

  // A full map: the new pair moves the others while its key still points into one of them.
  auto small = MutableDictionary::create();
  small->setObject(8, "abcdefgh");
  for (int n = 7; n > 0; --n)
    small->setObject(n, std::string_view(small->entries().back().key).substr(0, static_cast<std::size_t>(n)));
  EXPECT_EQ(small->allKeys(),
            (std::vector<std::string>{"abcdefgh", "abcdefg", "abcdef", "abcde", "abcd", "abc", "ab", "a"}));
  EXPECT_EQ(small->valueForKey("abcd").intValue(), 4);
}
