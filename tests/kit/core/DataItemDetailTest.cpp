#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "kit/core/DataItemDetail.h"
#include "kit/core/DataLoadAndParser.h"
#include "kit/core/NSMutableSortedDictionary.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/KeyedArchiver.h"
#include "tests/support/ArchiveBytes.h"

namespace kavro {
namespace {

using platform::Value;
using test::ArchiveBytes;

// The record's map against the platform's own map under the same random changes: the same pairs
// in the same order at every step, short maps and long ones alike.
TEST(DataItemDetailTest, TheMapKeepsThePlatformMapsOrderThroughEveryChange) {
  for (int keys : {6, 40, 300}) {
    auto d = DataItemDetail::newDetail();
    auto& ours = *d->dictData();
    auto theirs = platform::MutableDictionary::create();
    std::uint32_t x = 7;
    auto next = [&] { return x = x * 1664525u + 1013904223u; };
    auto pairs = [](const platform::Dictionary& m) {
      std::vector<std::pair<std::string, std::string>> out;
      m.enumerate([&](const std::string& k, const Value& v) {
        out.emplace_back(k, v.stringValue());
        return true;
      });
      return out;
    };
    for (int step = 0; step < 3000; ++step) {
      // Short keys and keys too long to sit inside a string.
      auto keyOf = [](std::uint32_t n) {
        return (n % 3 ? "k" : "a key longer than a short string ") + std::to_string(n);
      };
      const std::string key = keyOf(next() % keys);
      switch (next() % 8) {
        case 0:
        case 1:
          ours.removeObjectForKey(key);
          theirs->removeObjectForKey(key);
          break;
        case 2:
          if (next() % 50 == 0) {
            ours.removeAllObjects();
            theirs->removeAllObjects();
          }
          break;
        default: {
          const std::string value = "a value long enough to live on the heap " + std::to_string(step);
          ours.setObject(Value(value), key);
          theirs->setObject(Value(value), key);
        }
      }
      ASSERT_EQ(ours.count(), theirs->count()) << step;
      ASSERT_EQ(pairs(ours), pairs(*theirs)) << step;
      const Value* a = ours.objectForKey(key);
      const Value* b = theirs->objectForKey(key);
      ASSERT_EQ(a == nullptr, b == nullptr);
      if (a) {
        ASSERT_EQ(a->stringValue(), b->stringValue());
      }
      if (step % 50 == 0) {
        for (int n = 0; n < keys; ++n) {
          const Value* ourValue = ours.objectForKey(keyOf(n));
          const Value* theirValue = theirs->objectForKey(keyOf(n));
          ASSERT_EQ(ourValue == nullptr, theirValue == nullptr) << step << " " << keyOf(n);
          if (ourValue) {
            ASSERT_EQ(ourValue->stringValue(), theirValue->stringValue());
          }
        }
      }
    }
  }
}

TEST(DataItemDetailTest, ReadsOfTheWrongKindFallBackToEmptyValues) {
  auto d = DataItemDetail::newDetail();
  d->setObject(Value(42), "number");
  d->setObject(Value(platform::MutableArray::create()), "list");
  d->setString("12abc", "text");
  d->setString("  -7", "negative");

  EXPECT_EQ(d->getString("number"), "");
  EXPECT_EQ(d->getInt("number"), 42);
  EXPECT_EQ(d->getString("list"), "");
  EXPECT_EQ(d->getInt("list"), 0);
  EXPECT_FALSE(d->getBool("list"));
  EXPECT_EQ(d->getInt("text"), 12);
  EXPECT_EQ(d->getInt("negative"), -7);
  EXPECT_EQ(d->getInt("missing"), 0);
  EXPECT_EQ(d->getString("missing"), "");
  EXPECT_TRUE(d->getObject("missing").isNull());
  // An empty key is no key: nothing is read or written under it.
  EXPECT_FALSE(d->setString("x", ""));
  EXPECT_EQ(d->count(), 4u);
  // Saturates rather than wrapping.
  d->setString("99999999999999999999", "huge");
  EXPECT_EQ(d->getInt("huge"), INT64_MAX);
}

TEST(DataItemDetailTest, BooleanReadingOfTextAndNumbers) {
  auto d = DataItemDetail::newDetail();
  for (const char* yes : {"TRUE", "Yes", "On", "y", "2", "-1"}) {
    d->setString(yes, "k");
    EXPECT_TRUE(d->getBool("k")) << yes;
  }
  for (const char* no : {"0", "no", "false", "", "off", "n"}) {
    d->setString(no, "k");
    EXPECT_FALSE(d->getBool("k")) << no;
  }
  d->setObject(Value(0), "k");
  EXPECT_FALSE(d->getBool("k"));
  d->setObject(Value(3.5), "k");
  EXPECT_TRUE(d->getBool("k"));
  d->setBool(true, "k");
  EXPECT_EQ(d->getString("k"), "1");
  d->setInt(-12, "k");
  EXPECT_EQ(d->getString("k"), "-12");
}

TEST(DataItemDetailTest, AttributesAndTextShorthands) {
  auto d = DataItemDetail::newDetail();
  EXPECT_TRUE(d->setItemAttribute("id", "77"));
  EXPECT_EQ(d->getString("item.id"), "77");
  EXPECT_EQ(d->getAttribute("id", "item"), "77");
  EXPECT_EQ(d->getItemIntAttribute("id"), 77);
  EXPECT_TRUE(d->hasAttribute("id", "item", "77"));
  EXPECT_FALSE(d->setAttribute("", "v", "node"));
  EXPECT_FALSE(d->setAttribute("a", "v", ""));
  EXPECT_EQ(d->getAttribute("id", ""), "");
  d->setItemText("hello");
  EXPECT_EQ(d->getString("text"), "hello");
  EXPECT_TRUE(d->hasKey("text", "hello"));
  d->setObject(Value(1), "one");
  EXPECT_FALSE(d->hasKey("one", "1")) << "only text compares equal to text";
}

TEST(DataItemDetailTest, ParameterRenderingKeepsOrderEscapesAndSkipsNonText) {
  auto d = DataItemDetail::newDetail();
  d->setString("1", "a");
  d->setObject(Value(5), "n");
  d->setString("x y&z=é", "b c");
  d->setString("2", "a");  // replacing keeps the place
  EXPECT_EQ(d->getParamString(), "a=2&b%20c=x%20y%26z%3D%C3%A9");
  EXPECT_EQ(platform::stringFromData(d->getParamData()), d->getParamString());

  auto onlyNumber = DataItemDetail::newDetail();
  onlyNumber->setObject(Value(3), "n");
  EXPECT_EQ(onlyNumber->getParamString(), "");
}

TEST(DataItemDetailTest, CopyEqualityAndAppend) {
  auto cellClass = platform::MutableArray::create();  // any object stands in for a class
  auto d = DataItemDetail::newDetail();
  d->setString("v", "k");
  d->setCellClass(cellClass);
  EXPECT_TRUE(d->hasCellClass());
  EXPECT_EQ(d->getCellClass(), cellClass);

  auto copy = d->dataItemDetailCopy();
  EXPECT_EQ(copy->getString("k"), "v");
  EXPECT_TRUE(copy->hasCellClass());
  EXPECT_EQ(copy->getCellClass(), nullptr);
  EXPECT_EQ(copy->getString(DataItemDetail::keyCellClass()), "");
  EXPECT_TRUE(d->isEqualToDataItemDetail(copy.get())) << "compares getString() of each key";
  EXPECT_FALSE(d->isEqualToDataItemDetail(nullptr));
  EXPECT_TRUE(DataItemDetail::newDetail()->isEqualToDataItemDetail(DataItemDetail::newDetail().get()));

  auto target = DataItemDetail::newDetail();
  target->setString("old", "k");
  target->append(d.get());
  EXPECT_EQ(target->getString("k"), "v");
  EXPECT_EQ(target->getCellClass(), cellClass);
  target->append(target.get());  // appending itself changes nothing
  EXPECT_EQ(target->count(), 2u);
}

TEST(DataItemDetailTest, ArchiveRoundTripKeepsTextAndDropsObjects) {
  auto d = DataItemDetail::newDetail();
  d->setString("上海", "city");
  d->setString("", "empty");
  d->setInt(5, "n");
  d->setCellClass(platform::MutableArray::create());
  d->setObject(Value(7), "number");

  auto back = DataItemDetail::FromData(d->toData());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->count(), 3u);
  EXPECT_EQ(back->getString("city"), "上海");
  EXPECT_FALSE(back->hasCellClass());
  EXPECT_FALSE(back->hasKey("number"));
  EXPECT_EQ(back->dictData()->allKeys(), (std::vector<std::string>{"city", "empty", "n"}));

  auto textOnly = DataItemDetail::newDetail();
  textOnly->setString("1", "a");
  textOnly->setString("2", "b");
  EXPECT_TRUE(textOnly->isEqualToDataItemDetail(DataItemDetail::FromData(textOnly->toData()).get()));
  // A record of text alone is stored in the very bytes of one whose other entries were dropped.
  auto mixed = DataItemDetail::newDetail();
  mixed->setString("1", "a");
  mixed->setObject(Value(7), "number");
  mixed->setString("2", "b");
  EXPECT_EQ(textOnly->toData(), mixed->toData());
}

TEST(DataItemDetailTest, ArchiveBytesOfAKnownRecordStayTheSame) {
  auto d = DataItemDetail::newDetail();
  d->setString("45000001", "jobid");
  d->setString("软件工程师", "jobname");
  d->setCellClass(platform::MutableArray::create());  // never archived
  d->setString("", "empty");
  d->setString("x", "jobid");  // replaced in its place

  ArchiveBytes expected;
  expected.u8(10).text("DataItemDetail").u32(0).u32(1);  // an object: no keyed values, one unkeyed
  expected.u8(9).u32(3);                                 // its map of three pairs, in order
  expected.text("jobid").u8(6).text("x");
  expected.text("jobname").u8(6).text("软件工程师");
  expected.text("empty").u8(6).text("");
  EXPECT_EQ(d->toData(), expected.bytes);

  // A record an answer was read into is stored the same way.
  auto loaded = DataLoadAndParser::initWithData(
                    std::string_view("<r><result>1</result><resultbody><item><jobid>x</jobid>"
                                     "<jobname>软件工程师</jobname><empty></empty></item></resultbody></r>"))
                    ->getResult();
  ASSERT_EQ(loaded->count(), 1u);
  EXPECT_EQ(loaded->getItem(0)->toData(), expected.bytes);
}

// Records of every size come back from an archive with their pairs in order, and what is read back
// is a whole record: replacing keeps a key's place, removal keeps the rest's order, a new key goes
// last, and archiving it again gives the same bytes.
TEST(DataItemDetailTest, ArchivesOfManyKeysRoundTripAsWholeRecords) {
  for (int keys : {1, 9, 17, 40, 300}) {
    auto d = DataItemDetail::newDetail();
    std::vector<std::string> order;
    for (int i = 0; i < keys; ++i) {
      std::string key = i % 3 == 0 ? "k" + std::to_string(i)
                        : i % 3 == 1
                            ? "职位名称<&" + std::to_string(i) + "&> a key too long for a short string"
                            : std::string(300, 'x') + std::to_string(i);
      d->setString(i % 2 ? "上海" + std::string(static_cast<std::size_t>(i), '8') : "", key);
      order.push_back(key);
    }
    const platform::Data bytes = d->toData();
    auto back = DataItemDetail::FromData(bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->dictData()->allKeys(), order) << keys;
    EXPECT_TRUE(back->isEqualToDataItemDetail(d.get()));
    EXPECT_EQ(back->toData(), bytes);

    back->setString("replaced", order.front());
    back->setInt(7, "new");
    if (keys > 1) back->dictData()->removeObjectForKey(order[1]);
    std::vector<std::string> expected = order;
    if (keys > 1) expected.erase(expected.begin() + 1);
    expected.push_back("new");
    EXPECT_EQ(back->dictData()->allKeys(), expected) << keys;
    EXPECT_EQ(back->getString(order.front()), "replaced");
    EXPECT_EQ(back->getInt("new"), 7);
    EXPECT_FALSE(keys > 1 && back->hasKey(order[1]));
    auto again = DataItemDetail::FromData(back->toData());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->dictData()->allKeys(), expected);
  }
}

TEST(DataItemResultTest, ArchiveBytesOfAKnownResultStayTheSame) {
  auto r = DataItemResult::create();
  r->setStatusCode(-4);
  r->setHasError(true);
  r->setMessage("网络");
  r->detailInfo()->setString("d", "k");
  auto row = DataItemDetail::newDetail();
  row->setString("1", "id");
  r->addItem(row);
  r->addItem(DataItemDetail::newDetail());

  auto record = [](std::initializer_list<std::pair<std::string_view, std::string_view>> pairs) {
    ArchiveBytes b;
    b.u8(10).text("DataItemDetail").u32(0).u32(1).u8(9).u32(static_cast<std::uint32_t>(pairs.size()));
    for (auto [key, value] : pairs) b.text(key).u8(6).text(value);
    return b.bytes;
  };
  const platform::Data detail = record({{"k", "d"}}), first = record({{"id", "1"}}), second = record({});
  ArchiveBytes expected;
  expected.u8(10).text("DataItemResult").u32(8);
  expected.text("maxCount").u8(3).u64(2);
  expected.text("statusCode").u8(3).u64(static_cast<std::uint64_t>(-4));
  expected.text("hasError").u8(2);
  expected.text("parserError").u8(1);
  expected.text("itemUniqueKeyName").u8(6).text("");
  expected.text("errorMessage").u8(6).text("网络");
  expected.text("detailInfo").u8(7).u32(static_cast<std::uint32_t>(detail.size())).raw(detail);
  expected.text("dataList").u8(8).u32(2);
  expected.u8(7).u32(static_cast<std::uint32_t>(first.size())).raw(first);
  expected.u8(7).u32(static_cast<std::uint32_t>(second.size())).raw(second);
  expected.u32(0);
  EXPECT_EQ(r->toData(), expected.bytes);
}

TEST(DataItemDetailTest, DamagedArchivesDecodeToNothing) {
  auto d = DataItemDetail::newDetail();
  d->setString("value", "key");
  platform::Data good = d->toData();
  EXPECT_EQ(DataItemDetail::FromData({}), nullptr);
  for (std::size_t cut : {std::size_t{1}, good.size() / 2, good.size() - 1}) {
    EXPECT_EQ(DataItemDetail::FromData(platform::Data(good.begin(), good.begin() + static_cast<long>(cut))),
              nullptr)
        << "cut at " << cut;
  }
  EXPECT_EQ(DataItemDetail::FromData(platform::dataFromString("not an archive at all")), nullptr);
  // A whole archive of something else is not a record.
  auto other = platform::KeyedArchiver::archivedDataWithRootObject(Value("text"));
  EXPECT_EQ(DataItemDetail::FromData(other), nullptr);
}

TEST(DataItemDetailTest, FormCellFields) {
  auto d = DataItemDetail::newDetail();
  EXPECT_EQ(d->getTableCellTag(), 0);
  EXPECT_FALSE(d->hasTableCellTag());
  d->setTableCellTag(5);
  EXPECT_EQ(d->getTableCellTag(), 5);
  EXPECT_TRUE(d->hasTableCellTag());
  EXPECT_EQ(DataItemDetail::keyInputValue(), "<&InputValue&>");
  d->setInputIsPassword(true);
  EXPECT_EQ(d->getString("<&InputIsPassword&>"), "1");
  d->setItemTitle("title");
  EXPECT_EQ(d->getItemTitle(), "title");
  EXPECT_EQ(d->getInputMaxChineseWordsCount(), 0);
}

TEST(NSMutableSortedDictionaryTest, KeepsTheOrderKeysWereLastSet) {
  auto d = NSMutableSortedDictionary::dictionary();
  d->setObject(Value("1"), "a");
  d->setObject(Value("2"), "b");
  d->setObject(Value("3"), "a");
  EXPECT_EQ(d->allKeys(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(d->joinAllKeysBySeparator(""), "b,a");
  EXPECT_EQ(d->joinAllValuesBySeparator("-"), "2-3");
  EXPECT_EQ(d->getDictionary()->allKeys(), d->allKeys());

  d->setObject(Value(), "c");
  EXPECT_EQ(d->count(), 2u);
  d->removeObjectForKey("b");
  d->removeObjectForKey("absent");
  EXPECT_EQ(d->allKeys(), (std::vector<std::string>{"a"}));
  EXPECT_EQ(d->objectForKey("a").stringValue(), "3");
  EXPECT_TRUE(d->objectForKey("b").isNull());
}

TEST(NSMutableSortedDictionaryTest, JoinKeepsPositionsOfNonTextValues) {
  auto d = NSMutableSortedDictionary::dictionary();
  d->setObject(Value("x"), "1");
  d->setObject(Value(5), "2");
  d->setObject(Value("y"), "3");
  EXPECT_EQ(d->joinAllValuesBySeparator("|"), "x||y");
  EXPECT_EQ(d->allValues().size(), 3u);

  auto plain = platform::MutableDictionary::create();
  plain->setObject(Value("p"), "k1");
  plain->setObject(Value("q"), "k2");
  d->setDictionary(*plain);
  EXPECT_EQ(d->joinAllKeysBySeparator(";"), "k1;k2");
  d->setDictionary(*d->getDictionary());  // its own map: unchanged
  EXPECT_EQ(d->count(), 2u);
  d->removeAllObjects();
  EXPECT_EQ(d->joinAllKeysBySeparator(","), "");
}

// The ordered map against a plain model (a std::map for the pairs, a list for the order) under
// seeded random mixes of every change: after each step the keys, the values, their order, the
// joins and the plain map beside it agree with the model. Values are text (empty too), numbers
// whose bits all vary, and nulls that must store nothing.
TEST(NSMutableSortedDictionaryTest, AgreesWithAPlainModelThroughRandomChanges) {
  for (std::uint64_t seed : {1u, 29u, 4099u}) {
    std::mt19937_64 random(seed);
    auto d = NSMutableSortedDictionary::dictionary();
    std::map<std::string, Value> values;
    std::vector<std::string> order;
    const int universe = 3 + static_cast<int>(seed % 17);
    auto keyOf = [](std::uint64_t n) { return n == 0 ? std::string() : "key" + std::to_string(n); };
    auto valueOf = [&]() -> Value {
      switch (random() % 5) {
        case 0:
          return Value();
        case 1:
          return Value(static_cast<long long>(random()));
        case 2:
          return Value("");
        default:
          return Value("v" + std::to_string(random()));
      }
    };
    auto modelSet = [&](const std::string& key, const Value& value) {
      if (value.isNull()) return;
      order.erase(std::remove(order.begin(), order.end(), key), order.end());
      order.push_back(key);
      values[key] = value;
    };
    auto modelRemove = [&](const std::string& key) {
      order.erase(std::remove(order.begin(), order.end(), key), order.end());
      values.erase(key);
    };
    auto join = [&](bool keys, const std::string& separator) {
      std::string out;
      for (std::size_t i = 0; i < order.size(); ++i) {
        if (i) out += separator.empty() ? "," : separator;
        const Value& v = values.at(order[i]);
        out += keys ? order[i] : (v.isString() ? v.stringValue() : "");
      }
      return out;
    };
    for (int step = 0; step < 2000; ++step) {
      const std::string key = keyOf(random() % universe);
      switch (random() % 10) {
        case 0:
        case 1: {
          d->removeObjectForKey(key);
          modelRemove(key);
          break;
        }
        case 2: {
          std::vector<std::string> some;
          for (int n = static_cast<int>(random() % 4); n > 0; --n) some.push_back(keyOf(random() % universe));
          d->removeObjectsForKeys(some);
          for (const auto& k : some) modelRemove(k);
          break;
        }
        case 3: {
          // Another map's pairs, in its order, each moving to the end; nulls in it store nothing.
          auto other = platform::MutableDictionary::create();
          std::vector<std::pair<std::string, Value>> added;
          for (int n = static_cast<int>(random() % 5); n > 0; --n) {
            const std::string k = keyOf(random() % universe);
            const Value v = valueOf();
            if (v.isNull()) continue;
            other->setObject(v, k);
          }
          other->enumerate([&](const std::string& k, const Value& v) {
            added.emplace_back(k, v);
            return true;
          });
          if (random() % 4 == 0) {
            d->setDictionary(*other);
            order.clear();
            values.clear();
          } else {
            d->addEntriesFromDictionary(*other);
          }
          for (const auto& [k, v] : added) modelSet(k, v);
          break;
        }
        case 4:
          if (random() % 40 == 0) {
            d->removeAllObjects();
            order.clear();
            values.clear();
          }
          break;
        default: {
          const Value v = valueOf();
          if (random() % 2) {
            d->setObject(v, key);
          } else {
            d->setValue(v, key);
          }
          modelSet(key, v);
        }
      }
      ASSERT_EQ(d->count(), values.size()) << seed << " " << step;
      ASSERT_EQ(d->allKeys(), order) << seed << " " << step;
      std::vector<Value> expected;
      for (const auto& k : order) expected.push_back(values.at(k));
      ASSERT_EQ(d->allValues(), expected) << seed << " " << step;
      std::vector<std::string> plainKeys;
      d->getDictionary()->enumerate([&](const std::string& k, const Value& v) {
        plainKeys.push_back(k);
        EXPECT_EQ(v, values.at(k));
        return true;
      });
      ASSERT_EQ(plainKeys, order) << seed << " " << step;
      for (int n = 0; n < universe; ++n) {
        const auto it = values.find(keyOf(n));
        ASSERT_EQ(d->objectForKey(keyOf(n)), it == values.end() ? Value() : it->second)
            << seed << " " << step;
      }
      ASSERT_EQ(d->joinAllKeysBySeparator(""), join(true, "")) << seed << " " << step;
      ASSERT_EQ(d->joinAllKeysBySeparator(" / "), join(true, " / ")) << seed << " " << step;
      ASSERT_EQ(d->joinAllValuesBySeparator(""), join(false, "")) << seed << " " << step;
      ASSERT_EQ(d->joinAllValuesBySeparator("|"), join(false, "|")) << seed << " " << step;
    }
  }
}

}  // namespace
}  // namespace kavro
