#include <gtest/gtest.h>

#include <string>
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

}  // namespace
}  // namespace kavro
