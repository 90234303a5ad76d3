#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "kit/core/DataItemResult.h"

namespace kavro {
namespace {

DataItemResult::Row row(std::string_view key, std::string_view value) {
  auto d = DataItemDetail::newDetail();
  d->setString(value, key);
  return d;
}

TEST(DataItemResultTest, UniqueKeyRefusesSecondRowWithSameValue) {
  auto r = DataItemResult::create();
  r->setItemUniqueKeyName("jobid");
  EXPECT_TRUE(r->addItem(row("jobid", "1")));
  EXPECT_FALSE(r->addItem(row("jobid", "1")));
  EXPECT_TRUE(r->addItem(row("jobid", "2")));
  // A missing key reads as "": the first row without it goes in, a second one does not.
  EXPECT_TRUE(r->addItem(row("other", "x")));
  EXPECT_FALSE(r->addItem(row("other", "y")));
  EXPECT_FALSE(r->addItem(nullptr));
  EXPECT_EQ(r->count(), 3u);
  EXPECT_EQ(r->getItem(0)->getString("jobid"), "1");
  EXPECT_EQ(r->getItem(3), nullptr);

  // The check follows every way rows leave, come back or change: a value that left is taken again,
  // one still held is refused, whatever the route.
  EXPECT_TRUE(r->removeByIndex(0));
  EXPECT_TRUE(r->addItem(row("jobid", "1")));
  EXPECT_FALSE(r->addItem(row("jobid", "1")));
  EXPECT_EQ(r->removeItem(r->getItem(r->count() - 1).get()), 1u);
  EXPECT_TRUE(r->addItem(row("jobid", "1")));
  EXPECT_TRUE(r->removeItemsWithKey("jobid", "2"));
  EXPECT_TRUE(r->addItem(row("jobid", "2")));
  auto flagged = row("jobid", "3");
  flagged->setBool(true, "gone");
  EXPECT_TRUE(r->addItem(flagged));
  EXPECT_TRUE(r->removeItemsWithTrueValue("gone"));
  EXPECT_TRUE(r->addItem(row("jobid", "3")));
  EXPECT_FALSE(r->addItem(row("jobid", "2")));
  // Values written into every row: the old ones are free, the one written is held.
  r->setAllItemsKeyWithString("jobid", "9");
  EXPECT_TRUE(r->addItem(row("jobid", "1")));
  EXPECT_FALSE(r->addItem(row("jobid", "9")));
  r->syncSourceKey("other", "jobid");
  EXPECT_TRUE(r->addItem(row("jobid", "9")));
  // Rows put in or taken out through the list itself, two of one value among them.
  r->clear();
  EXPECT_TRUE(r->addItem(row("jobid", "1")));
  r->dataList().push_back(row("jobid", "5"));
  r->dataList().push_back(row("jobid", "5"));
  EXPECT_FALSE(r->addItem(row("jobid", "5")));
  EXPECT_TRUE(r->removeByIndex(1));
  EXPECT_FALSE(r->addItem(row("jobid", "5")));
  r->dataList().erase(r->dataList().begin());
  EXPECT_TRUE(r->addItem(row("jobid", "1")));
  r->dataList().back() = row("jobid", "7");
  EXPECT_TRUE(r->addItem(row("jobid", "1")));
  EXPECT_FALSE(r->addItem(row("jobid", "5")));
  EXPECT_FALSE(r->addItem(row("jobid", "7")));
  // Rows that came while no key was set are held by it once it is set again, each as often as it is
  // held: one of two rows of a value leaving leaves the value held.
  r->setItemUniqueKeyName("");
  EXPECT_TRUE(r->addItem(row("jobid", "8")));
  EXPECT_TRUE(r->addItem(row("jobid", "8")));
  r->setItemUniqueKeyName("jobid");
  EXPECT_FALSE(r->addItem(row("jobid", "8")));
  EXPECT_TRUE(r->removeByIndex(r->count() - 1));
  EXPECT_FALSE(r->addItem(row("jobid", "8")));
  EXPECT_TRUE(r->removeByIndex(r->count() - 1));
  EXPECT_TRUE(r->addItem(row("jobid", "8")));
  // A row changed in place holds its new value, through itself, its map or another result holding
  // it: the old value is free, the new one refused.
  auto moved = r->getItem(r->count() - 1);
  moved->setString("80", "jobid");
  EXPECT_TRUE(r->addItem(row("jobid", "8")));
  EXPECT_FALSE(r->addItem(row("jobid", "80")));
  moved->dictData()->removeObjectForKey("jobid");
  EXPECT_TRUE(r->addItem(row("jobid", "80")));
  EXPECT_FALSE(r->addItem(row("other", "no jobid")));
  moved->dictData()->setObject(platform::Value(81), "jobid");  // not text: reads as ""
  EXPECT_FALSE(r->addItem(row("other", "no jobid")));
  moved->clear();
  EXPECT_FALSE(r->addItem(row("other", "no jobid")));
  moved->setString("82", "jobid");
  EXPECT_TRUE(r->addItem(row("other", "no jobid")));
  {
    auto sharing = DataItemResult::create();
    sharing->addItem(moved);
    sharing->setAllItemsKeyWithString("jobid", "83");
  }
  EXPECT_TRUE(r->addItem(row("jobid", "82")));
  EXPECT_FALSE(r->addItem(row("jobid", "83")));
  // The row outlives the result that shared it: a change now reaches only this one.
  moved->setString("84", "jobid");
  EXPECT_TRUE(r->addItem(row("jobid", "83")));
  EXPECT_FALSE(r->addItem(row("jobid", "84")));
  // Another key: the rows are checked by it from then on.
  r->setItemUniqueKeyName("code");
  EXPECT_FALSE(r->addItem(row("jobid", "7")));
  EXPECT_TRUE(r->addItem(row("code", "7")));
  // Cleared: nothing is held.
  r->clear();
  EXPECT_EQ(r->itemUniqueKeyName(), "code");
  EXPECT_TRUE(r->addItem(row("code", "7")));
  EXPECT_TRUE(r->addItem(row("jobid", "7")));
  EXPECT_EQ(r->count(), 2u);

  // Thousands of values, half of them taken out in a scattered order: every value is still found
  // or free as it should be, however the values around it came and went.
  r->clear();
  constexpr int values = 3000;
  for (int i = 0; i < values; ++i) ASSERT_TRUE(r->addItem(row("code", std::to_string(i))));
  std::vector<bool> removed(values, false);
  for (int k = 0; k < values / 2; ++k) {
    const int i = k * 7919 % values;
    removed[static_cast<std::size_t>(i)] = true;
    ASSERT_TRUE(r->removeItemsWithKey("code", std::to_string(i)));
  }
  EXPECT_EQ(r->count(), static_cast<std::size_t>(values / 2));
  for (int i = 0; i < values; ++i)
    EXPECT_EQ(r->addItem(row("code", std::to_string(i))), removed[static_cast<std::size_t>(i)]) << i;
  EXPECT_EQ(r->count(), static_cast<std::size_t>(values));
}

TEST(DataItemResultTest, MaxCountFollowsRowsAndNeverGoesBelowZero) {
  auto r = DataItemResult::create();
  r->addItem(row("a", "1"));
  EXPECT_EQ(r->maxCount(), 1u);
  r->setMaxCount(120);
  for (int i = 0; i < 9; ++i) r->addItem(row("a", "x"));
  EXPECT_EQ(r->maxCount(), 120u);

  r->setMaxCount(0);
  EXPECT_TRUE(r->removeByIndex(0));
  EXPECT_EQ(r->maxCount(), 0u);
  EXPECT_FALSE(r->removeByIndex(100));
  auto same = r->getItem(0);
  r->dataList().push_back(same);
  r->setMaxCount(1);
  EXPECT_EQ(r->removeItem(same.get()), 2u);
  EXPECT_EQ(r->maxCount(), 0u);
  EXPECT_EQ(r->removeItem(nullptr), 0u);
}

TEST(DataItemResultTest, KeyedRemovalsLeaveMaxCount) {
  auto r = DataItemResult::create();
  EXPECT_FALSE(r->removeItemsWithKey("k", "v"));
  EXPECT_TRUE(r->removeItemsWithTrueValue("k"));
  r->addItem(row("k", "v"));
  r->addItem(row("k", "w"));
  r->addItem(row("k", "v"));
  r->addItem(row("flag", "yes"));
  r->setMaxCount(50);
  EXPECT_TRUE(r->removeItemsWithKey("k", "v"));
  EXPECT_EQ(r->count(), 2u);
  EXPECT_TRUE(r->removeItemsWithTrueValue("flag"));
  EXPECT_EQ(r->count(), 1u);
  EXPECT_EQ(r->maxCount(), 50u);
}

TEST(DataItemResultTest, AppendItems) {
  auto r = DataItemResult::create();
  r->setItemUniqueKeyName("id");
  r->addItem(row("id", "1"));
  r->setMaxCount(100);

  auto failed = DataItemResult::create();
  failed->setHasError(true);
  failed->setMaxCount(7);
  failed->addItem(row("id", "9"));
  EXPECT_FALSE(r->appendItems(failed.get()));
  EXPECT_EQ(r->maxCount(), 100u);
  EXPECT_EQ(r->count(), 1u);
  EXPECT_FALSE(r->appendItems(nullptr));

  auto page = DataItemResult::create();
  page->setStatusCode(3);
  page->detailInfo()->setString("v", "k");
  page->addItem(row("id", "1"));
  page->addItem(row("id", "2"));
  page->addItem(row("id", "3"));
  page->setMaxCount(1);  // lower than before: taken, then raised to the row count
  EXPECT_FALSE(r->appendItems(page.get())) << "one row was refused by the unique key";
  EXPECT_EQ(r->count(), 3u);
  EXPECT_EQ(r->maxCount(), 3u);
  EXPECT_EQ(r->statusCode(), 3);
  EXPECT_EQ(r->detailInfo()->getString("k"), "v");

  auto plain = DataItemResult::create();
  plain->addItem(row("id", "1"));
  EXPECT_TRUE(plain->appendItems(plain.get()));
  EXPECT_EQ(plain->count(), 2u);
}

TEST(DataItemResultTest, HeaderReads) {
  auto r = DataItemResult::create();
  r->setMaxCount(21);
  EXPECT_EQ(r->getTotalPage(10), 3u);
  EXPECT_EQ(r->getTotalPage(0), 0u);
  r->setMaxCount(0);
  EXPECT_EQ(r->getTotalPage(10), 0u);

  r->setMessage("bad");
  r->setHasError(true);
  EXPECT_EQ(r->getServerErrorMessage(), "bad");
  r->setLocalError(true);
  EXPECT_EQ(r->getServerErrorMessage(), "");
  EXPECT_FALSE(r->isValidListData());

  r->setItemUniqueKeyName("id");
  r->addItem(row("id", "1"));
  r->clear();
  EXPECT_FALSE(r->hasError());
  EXPECT_EQ(r->message(), "");
  EXPECT_EQ(r->count(), 0u);
  EXPECT_EQ(r->itemUniqueKeyName(), "id");
}

TEST(DataItemResultTest, BooleanColumnHelpers) {
  auto r = DataItemResult::create();
  r->setItemUniqueKeyName("id");
  for (auto [id, sel] : {std::pair{"1", "1"}, {"2", "0"}, {"3", "1"}}) {
    auto d = row("id", id);
    d->setString(sel, "sel");
    r->addItem(d);
  }
  EXPECT_EQ(r->countItemsWithBoolKey("sel", true), 2u);
  EXPECT_EQ(r->getItemsIDWithBoolKey("sel", true), "1,3");
  r->setAllItemsKeyWithBool("sel", false);
  EXPECT_EQ(r->getItemsIDWithBoolKey("sel", true), "");
  r->syncSourceKey("id", "copy");
  EXPECT_EQ(r->getItem(2)->getString("copy"), "3");
  // Without a name on either side nothing is copied: the copies already made stay.
  r->syncSourceKey("", "copy");
  r->syncSourceKey("id", "");
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(r->getItem(i)->getString("copy"), std::to_string(i + 1)) << i;
    EXPECT_EQ(r->getItem(i)->count(), 3u) << i;
  }
  EXPECT_EQ(r->getItemsDictArray()[1], r->getItem(1)->dictData());
}

TEST(DataItemResultTest, ArchiveRoundTripAndDamage) {
  auto r = DataItemResult::create();
  r->setMaxCount(99);
  r->setStatusCode(-4);
  r->setHasError(true);
  r->setLocalError(true);
  r->setMessage("net down");
  r->setItemUniqueKeyName("id");
  r->detailInfo()->setString("d", "k");
  r->addItem(row("id", "1"));
  r->addItem(row("id", "2"));

  platform::Data bytes = r->toData();
  auto back = DataItemResult::FromData(bytes);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->maxCount(), 99u);
  EXPECT_EQ(back->statusCode(), -4);
  EXPECT_TRUE(back->hasError());
  EXPECT_TRUE(back->localError());
  EXPECT_EQ(back->message(), "net down");
  EXPECT_EQ(back->itemUniqueKeyName(), "id");
  EXPECT_EQ(back->detailInfo()->getString("k"), "d");
  ASSERT_EQ(back->count(), 2u);
  EXPECT_EQ(back->getItem(1)->getString("id"), "2");
  // The rows read back are held by their key.
  EXPECT_FALSE(back->addItem(row("id", "2")));
  EXPECT_TRUE(back->addItem(row("id", "3")));

  for (std::size_t cut = 1; cut < bytes.size(); cut += 7) {
    EXPECT_EQ(DataItemResult::FromData(platform::Data(bytes.begin(), bytes.begin() + static_cast<long>(cut))),
              nullptr);
  }
  // A record is not a result.
  EXPECT_EQ(DataItemResult::FromData(row("a", "b")->toData()), nullptr);
}

// The kept counts (values under the unique key, rows whose flag reads true) against the plain reading
// of the rows as they are now, over random sequences of every operation, refused ones included:
// same answers and same rows after each step.
class PlainResult {
 public:
  std::vector<DataItemResult::Row> rows;
  std::string key;
  std::uint32_t maxCount = 0;

  bool addItem(const DataItemResult::Row& item) {
    if (!item) return false;
    if (!key.empty())
      for (const auto& held : rows)
        if (held->getString(key) == item->getString(key)) return false;
    rows.push_back(item);
    raise();
    return true;
  }
  bool appendItems(const DataItemResult* other) {
    if (!other || other->hasError()) return false;
    maxCount = other->maxCount();
    const std::vector<DataItemResult::Row> from = other->dataList();  // this one's own rows may be those
    bool all = true;
    for (const auto& item : from) all = addItem(item) && all;
    raise();
    return all;
  }
  std::size_t countFlag(std::string_view flag, bool value) const {
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [&](const auto& r) { return r->getBool(flag) == value; }));
  }
  void raise() { maxCount = std::max(maxCount, static_cast<std::uint32_t>(rows.size())); }
  void lower(std::size_t by) { maxCount = by >= maxCount ? 0 : maxCount - static_cast<std::uint32_t>(by); }
};

TEST(DataItemResultTest, KeptCountsAgreeWithThePlainReadingOverRandomOperations) {
  const std::string flag(DataItemDetail::keyTableCellIsSelected());
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    const std::vector<std::string> values = {"1", "2", "3", "4", "5", ""};
    const std::vector<std::string> keys = {"jobid", "code", ""};
    auto value = [&] { return values[pick(values.size())]; };
    // Rows made here tell their changes; copies read back from an archive do not.
    std::vector<DataItemResult::Row> pool;
    auto fresh = [&] {
      auto d = DataItemDetail::newDetail();
      if (pick(6) != 0) d->setString(value(), "jobid");
      if (pick(3) == 0) d->setString(value(), "code");
      if (pick(3) == 0) d->setBool(true, flag);
      if (pick(8) == 0) {
        auto copy = DataItemDetail::FromData(d->toData());
        EXPECT_FALSE(copy->tellsChanges());
        d = copy;
      }
      pool.push_back(d);
      return d;
    };
    for (int i = 0; i < 8; ++i) fresh();
    auto anyRow = [&]() -> DataItemResult::Row { return pick(10) == 0 ? nullptr : pool[pick(pool.size())]; };

    auto result = DataItemResult::create();
    PlainResult plain;
    auto other = DataItemResult::create();  // shares rows with the result
    std::string log;
    for (int step = 0; step < 400; ++step) {
      const std::size_t op = pick(22);
      log += std::to_string(op) + " ";
      SCOPED_TRACE("seed " + std::to_string(seed) + " ops " + log);
      switch (op) {
        case 0:
        case 1:
        case 2: {
          auto d = op == 0 ? fresh() : anyRow();
          ASSERT_EQ(result->addItem(d), plain.addItem(d));
          break;
        }
        case 3: {  // a key changed through the row
          auto d = pool[pick(pool.size())];
          const std::string k = pick(4) == 0 ? "code" : "jobid";
          if (pick(5) == 0)
            d->setInt(static_cast<std::int64_t>(pick(6)), k);
          else
            d->setString(value(), k);
          break;
        }
        case 4: {  // through its map
          auto map = pool[pick(pool.size())]->dictData();
          switch (pick(4)) {
            case 0:
              map->setObject(platform::Value(value()), "jobid");
              break;
            case 1:
              map->removeObjectForKey("jobid");
              break;
            case 2:
              map->setObject(platform::Value(static_cast<int>(pick(3))), "jobid");
              break;
            default:
              map->removeAllObjects();
              break;
          }
          break;
        }
        case 5: {  // through another result holding it
          switch (pick(4)) {
            case 0:
              other->setAllItemsKeyWithString("jobid", value());
              break;
            case 1:
              other->syncSourceKey("code", "jobid");
              break;
            case 2:
              other->setAllItemsKeyWithBool(flag, pick(2) == 0);
              break;
            default:
              other->removeByIndex(pick(3));
              break;
          }
          break;
        }
        case 6:
          other->addItem(anyRow());
          break;
        case 7: {  // the other result goes; its rows stay
          other = DataItemResult::create();
          if (pick(2) == 0) other->setItemUniqueKeyName("jobid");
          break;
        }
        case 8: {
          const std::size_t i = pick(plain.rows.size() + 2);
          const bool removed = i < plain.rows.size();
          if (removed) {
            plain.rows.erase(plain.rows.begin() + static_cast<std::ptrdiff_t>(i));
            plain.lower(1);
          }
          ASSERT_EQ(result->removeByIndex(i), removed);
          break;
        }
        case 9: {
          auto d = anyRow();
          const std::size_t before = plain.rows.size();
          if (d) std::erase(plain.rows, d);
          plain.lower(before - plain.rows.size());
          ASSERT_EQ(result->removeItem(d.get()), before - plain.rows.size());
          break;
        }
        case 10: {
          const std::string v = value();
          const bool any = !plain.rows.empty();
          std::erase_if(plain.rows, [&](const auto& r) { return r->hasKey("jobid", v); });
          ASSERT_EQ(result->removeItemsWithKey("jobid", v), any);
          break;
        }
        case 11:
          std::erase_if(plain.rows, [&](const auto& r) { return r->getBool(flag); });
          ASSERT_TRUE(result->removeItemsWithTrueValue(flag));
          break;
        case 12:
          result->clear();
          plain.rows.clear();
          plain.maxCount = 0;
          break;
        case 13: {
          const std::string k = keys[pick(keys.size())];
          result->setItemUniqueKeyName(k);
          plain.key = k;
          break;
        }
        case 14: {  // the other's rows, this one's own, a failed answer, none
          const std::size_t which = pick(4);
          auto failed = DataItemResult::create();
          failed->setHasError(true);
          failed->addItem(fresh());
          const DataItemResult* from = which == 0   ? other.get()
                                       : which == 1 ? result.get()
                                       : which == 2 ? failed.get()
                                                    : nullptr;
          const bool all = plain.appendItems(from);
          ASSERT_EQ(result->appendItems(from), all);
          break;
        }
        case 15: {  // ticks: on a row, on every row of either result
          switch (pick(3)) {
            case 0:
              pool[pick(pool.size())]->setTableCellIsSelected(pick(2) == 0);
              break;
            case 1:
              result->setAllItemsKeyWithBool(flag, pick(2) == 0);
              break;
            default:
              pool[pick(pool.size())]->dictData()->setObject(platform::Value(pick(2) == 0), flag);
          }
          break;
        }
        case 16:
          result->setAllItemsKeyWithString("jobid", value());
          break;
        case 17:
          result->syncSourceKey("code", "jobid");
          break;
        case 18: {  // rows put in through the list itself
          auto d = anyRow();
          if (!d) break;
          result->dataList().push_back(d);
          plain.rows.push_back(d);
          break;
        }
        case 19:  // another flag asked of the result meanwhile
          ASSERT_EQ(result->countItemsWithBoolKey("code", true), plain.countFlag("code", true));
          break;
        case 20: {  // archived and read back: the same rows by their text, held by the same key
          auto back = DataItemResult::FromData(result->toData());
          ASSERT_NE(back, nullptr);
          ASSERT_EQ(back->count(), result->count());
          auto d = fresh();
          PlainResult copy;
          copy.key = back->itemUniqueKeyName();
          copy.rows = back->dataList();
          ASSERT_EQ(back->addItem(d), copy.addItem(d));
          break;
        }
        default:
          fresh();
          break;
      }
      ASSERT_EQ(std::as_const(*result).dataList(), plain.rows) << "step " << step;
      ASSERT_EQ(result->maxCount(), plain.maxCount);
      ASSERT_EQ(result->countItemsWithBoolKey(flag, true), plain.countFlag(flag, true));
      ASSERT_EQ(result->countItemsWithBoolKey(flag, false), plain.countFlag(flag, false));
      // The unique-key answer for every value, without keeping what was asked.
      if (!plain.key.empty()) {
        for (const auto& v : values) {
          auto probe = DataItemDetail::newDetail();
          if (!v.empty()) probe->setString(v, plain.key);
          PlainResult trial = plain;
          const bool taken = trial.addItem(probe);
          ASSERT_EQ(result->addItem(probe), taken) << "value '" << v << "' at step " << step;
          if (taken) {
            ASSERT_EQ(result->removeItem(probe.get()), 1u);
          }
          result->setMaxCount(plain.maxCount);
        }
      }
    }
  }
}

}  // namespace
}  // namespace kavro
