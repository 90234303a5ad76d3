#include <gtest/gtest.h>

#include "kit/core/DataKavroDB.h"
#include "platform/foundation/Clock.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

constexpr std::string_view DetailType = "STORE_CACHE_JOB_DETAIL";

class DataKavroDBTest : public test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    db_ = std::make_unique<DataKavroDB>("store.db");
    ASSERT_TRUE(db_->isOpen());
  }
  void TearDown() override {
    db_.reset();
    VirtualRunLoopTest::TearDown();
  }
  std::string addTime(std::string_view table, std::string_view key) {
    return db_
        ->get_cell("select DATA_ADDTIME from `" + std::string(table) + "` where DATA_KEY=?",
                   {platform::Value(key)})
        .value_or("");
  }
  std::shared_ptr<DataItemDetail> record(std::string_view id) {
    auto d = DataItemDetail::newDetail();
    d->setString(id, "id");
    return d;
  }
  std::vector<std::string> ids(const DataItemResult& r) {
    std::vector<std::string> out;
    for (const auto& row : r.dataList()) out.push_back(row->getString("id"));
    return out;
  }

  test::TempHome home_;
  std::unique_ptr<DataKavroDB> db_;
};

TEST_F(DataKavroDBTest, TypedValuesRoundTripAndRefuseEmptyNames) {
  EXPECT_GT(db_->setIntValue(DetailType, "i", std::int64_t{1} << 40), 0);
  EXPECT_EQ(db_->getIntValue(DetailType, "i"), std::int64_t{1} << 40);
  EXPECT_GT(db_->setStrValue(DetailType, "s", "上海 'quoted'"), 0);
  EXPECT_EQ(db_->getStrValue(DetailType, "s"), "上海 'quoted'");
  platform::Data bytes{0, 255, 0, 7};
  EXPECT_GT(db_->setBinValue(DetailType, "b", bytes), 0);
  EXPECT_EQ(db_->getBinValue(DetailType, "b"), bytes);
  EXPECT_GT(db_->setBinValue(DetailType, "empty", {}), 0);
  EXPECT_EQ(db_->getBinValue(DetailType, "empty"), platform::Data{});
  EXPECT_FALSE(db_->getBinValue(DetailType, "missing"));
  EXPECT_EQ(db_->getIntValue(DetailType, "missing"), 0);

  EXPECT_EQ(db_->setStrValue(DetailType, "", "v"), 0);
  EXPECT_EQ(db_->setStrValue("", "k", "v"), 0);
  EXPECT_EQ(db_->getStrValue(DetailType, ""), "");
  EXPECT_TRUE(db_->hasStrItem(DetailType, "s"));
  EXPECT_TRUE(db_->hasBinItem(DetailType));
  EXPECT_FALSE(db_->hasIntItem(DetailType, "s"));
  EXPECT_EQ(db_->deleteStrValue(DetailType, "s"), 1);
  EXPECT_EQ(db_->removeStrItem(DetailType, "s"), 0);
  EXPECT_EQ(db_->clearBinData(DetailType), 2);
}

TEST_F(DataKavroDBTest, SecondWriteKeepsOneRowWithItsValueAndTime) {
  std::int64_t id = db_->setStrValue(DetailType, "k", "first");
  EXPECT_GT(id, 0) << "an insert answers the new row id";
  std::string first = addTime("DATA_STR_VALUE", "k");
  clock().advance(90);
  EXPECT_EQ(db_->setStrValue(DetailType, "k", "second"), 1) << "an update answers the rows changed";
  EXPECT_EQ(db_->tableRows("DATA_STR_VALUE", std::nullopt), 1);
  EXPECT_EQ(db_->getStrValue(DetailType, "k"), "second");
  EXPECT_EQ(addTime("DATA_STR_VALUE", "k"), db_->timeText());
  EXPECT_LT(first, addTime("DATA_STR_VALUE", "k"));
  EXPECT_EQ(db_->get_cell("select ID from DATA_STR_VALUE"), std::to_string(id));

  clock().advance(30);
  EXPECT_TRUE(db_->refreshTypeTime(db_->TABLE_STR_VALUE(), DetailType, "k"));
  EXPECT_EQ(addTime("DATA_STR_VALUE", "k"), db_->timeText());
}

TEST_F(DataKavroDBTest, ClearByAgeTakesOldAndFutureRowsOnly) {
  db_->setStrValue(DetailType, "old", "1");
  clock().advance(100);
  db_->setStrValue(DetailType, "young", "2");
  clock().advance(-1000);
  db_->setStrValue(DetailType, "future", "3");  // written while the clock was set back
  clock().advance(1000 + 10);
  // now: old is 110 s old, young 10 s, future dated 990 s ahead
  EXPECT_TRUE(db_->clearStrDataType(DetailType, "", 60));
  EXPECT_FALSE(db_->hasStrItem(DetailType, "old"));
  EXPECT_TRUE(db_->hasStrItem(DetailType, "young"));
  EXPECT_FALSE(db_->hasStrItem(DetailType, "future"));

  EXPECT_TRUE(db_->clearStrDataType(DetailType, "young", 0));
  EXPECT_FALSE(db_->hasStrItem(DetailType, "young"));
  EXPECT_FALSE(db_->clearStrDataType("", "", 0));
}

TEST_F(DataKavroDBTest, RemoveInvalidItemsDropsRowsDatedInTheFuture) {
  clock().advance(3600);
  db_->setIntValue(DetailType, "ahead", 1);
  clock().advance(-3600);
  db_->setIntValue(DetailType, "now", 1);
  EXPECT_TRUE(db_->removeInvalidItems(db_->TABLE_INT_VALUE(), DetailType));
  EXPECT_FALSE(db_->hasIntItem(DetailType, "ahead"));
  EXPECT_TRUE(db_->hasIntItem(DetailType, "now"));
}

// A program on a virtual clock (the runner) skips the time it waits and so runs ahead of the real
// time; what it stores is dated no later than the real time, so the next start, on the real time
// again, cleans none of it away as left by a clock set back.
TEST_F(DataKavroDBTest, RowsWrittenWhileTheClockRunsAheadKeepTheRealTimeAndOutliveTheNextStart) {
  clock().set(platform::Clock::realNow() + 600);
  db_->setStrValue(DetailType, "ahead", "1");
  EXPECT_TRUE(db_->saveItemCacheAsNewest(DetailType, "42", *record("42")));
  const std::string ahead = db_->timeText();
  clock().set(platform::Clock::realNow());
  const std::string real = db_->timeText();
  EXPECT_LE(ahead, real);
  EXPECT_LE(addTime("DATA_STR_VALUE", "ahead"), real);
  EXPECT_LE(addTime("DATA_BIN_VALUE", "item.42"), real);
  EXPECT_FALSE(addTime("DATA_BIN_VALUE", "item.42").empty());
  // The next start: another handle, on a clock at the real time.
  db_.reset();
  db_ = std::make_unique<DataKavroDB>("store.db");
  ASSERT_TRUE(db_->isOpen());
  EXPECT_TRUE(db_->removeInvalidItems(db_->TABLE_STR_VALUE(), DetailType));
  EXPECT_TRUE(db_->removeInvalidItems(db_->TABLE_BIN_VALUE(), DetailType));
  EXPECT_TRUE(db_->hasStrItem(DetailType, "ahead"));
  EXPECT_EQ(ids(*db_->getNewestItemCacheList(db_->TABLE_BIN_VALUE(), DetailType, 10)),
            std::vector<std::string>{"42"});
}

TEST_F(DataKavroDBTest, RecordAndResultCaches) {
  EXPECT_TRUE(db_->saveItemCache(DetailType, "42", *record("42")));
  EXPECT_EQ(db_->getItemCache(DetailType, "42")->getString("id"), "42");
  EXPECT_TRUE(db_->hasBinItem(DetailType, "item.42"));
  auto list = DataItemResult::create();
  list->addItem(record("1"));
  list->setMaxCount(9);
  EXPECT_TRUE(db_->saveItemsCache(DetailType, "42", *list));
  auto back = db_->getItemsCache(DetailType, "42");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->maxCount(), 9u);
  EXPECT_EQ(ids(*back), std::vector<std::string>{"1"});

  // A damaged cache reads as none.
  db_->setBinValue(DetailType, "item.bad", platform::dataFromString("garbage"));
  EXPECT_EQ(db_->getItemCache(DetailType, "bad"), nullptr);

  // Clearing every result cache of the type leaves its record caches.
  EXPECT_TRUE(db_->clearItemsDataType(DetailType, "", 0));
  EXPECT_EQ(db_->getItemsCache(DetailType, "42"), nullptr);
  EXPECT_NE(db_->getItemCache(DetailType, "42"), nullptr);
  EXPECT_TRUE(db_->clearItemDataType(DetailType, "", 0));
  EXPECT_FALSE(db_->hasBinItem(DetailType));
}

TEST_F(DataKavroDBTest, ARecordSavedAgainIsWrittenWithANewTimeChangedOrNot) {
  auto javaForm = [&] {
    auto form = record("7");
    form->setString("java", "keywords");
    return form;
  };
  auto form = javaForm();
  std::uint64_t commits = db_->commitCount();
  ASSERT_TRUE(db_->saveItemCache(DetailType, "form", *form));
  EXPECT_GT(db_->commitCount(), commits) << "a new row is written";
  const std::string written = addTime("DATA_BIN_VALUE", "item.form");

  // The same record again, later: written again, its time renewed.
  clock().advance(90);
  commits = db_->commitCount();
  ASSERT_TRUE(db_->saveItemCache(DetailType, "form", *javaForm()));
  EXPECT_GT(db_->commitCount(), commits);
  EXPECT_NE(addTime("DATA_BIN_VALUE", "item.form"), written);
  EXPECT_EQ(addTime("DATA_BIN_VALUE", "item.form"), db_->timeText());
  EXPECT_EQ(db_->getItemCache(DetailType, "form")->getString("keywords"), "java");

  // A changed record is written with its time, whether a value grew, shrank or only changed.
  for (std::string_view keyword : {"javascript", "c", "d"}) {
    clock().advance(5);
    form->setString(keyword, "keywords");
    commits = db_->commitCount();
    ASSERT_TRUE(db_->saveItemCache(DetailType, "form", *form));
    EXPECT_GT(db_->commitCount(), commits) << keyword;
    EXPECT_EQ(db_->getItemCache(DetailType, "form")->getString("keywords"), keyword);
    EXPECT_EQ(addTime("DATA_BIN_VALUE", "item.form"), db_->timeText());
  }
  EXPECT_EQ(db_->tableRows("DATA_BIN_VALUE", std::nullopt), 1);

  // Bytes stored under the key that are no record, or none at all, are replaced.
  db_->setBinValue(DetailType, "item.form", {});
  ASSERT_TRUE(db_->saveItemCache(DetailType, "form", *form));
  EXPECT_EQ(db_->getItemCache(DetailType, "form")->getString("keywords"), "d");
  ASSERT_TRUE(db_->execSQL("update DATA_BIN_VALUE set DATA_VALUE=NULL"));
  ASSERT_TRUE(db_->saveItemCache(DetailType, "form", *form));
  EXPECT_EQ(db_->getItemCache(DetailType, "form")->getString("keywords"), "d");

  // The same record under another type or key is another row.
  ASSERT_TRUE(db_->saveItemCache("STORE_CACHE_COMPANY_DETAIL", "form", *form));
  ASSERT_TRUE(db_->saveItemCache(DetailType, "form2", *form));
  EXPECT_EQ(db_->tableRows("DATA_BIN_VALUE", std::nullopt), 3);
  EXPECT_FALSE(db_->saveItemCache(DetailType, "", *form));
  EXPECT_FALSE(db_->saveItemCache("", "form", *form));
}

TEST_F(DataKavroDBTest, NewestListSkipsResultCachesFutureRowsAndOrdersTiesByRowId) {
  db_->saveItemCache(DetailType, "a", *record("a"));
  db_->saveItemCache(DetailType, "b", *record("b"));  // same second as a
  clock().advance(5);
  db_->saveItemCache(DetailType, "c", *record("c"));
  auto list = DataItemResult::create();
  list->addItem(record("zz"));
  db_->saveItemsCache(DetailType, "c", *list);
  db_->saveItemCache("OTHER", "d", *record("d"));
  clock().advance(100);
  db_->saveItemCache(DetailType, "later", *record("later"));
  clock().advance(-50);

  auto newest = db_->getNewestItemCacheList(db_->TABLE_BIN_VALUE(), DetailType, 10);
  EXPECT_EQ(ids(*newest), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_EQ(ids(*db_->getNewestItemCacheList(db_->TABLE_BIN_VALUE(), DetailType, 2)),
            (std::vector<std::string>{"c", "b"}));
  EXPECT_EQ(db_->getNewestItemCacheList(db_->TABLE_BIN_VALUE(), DetailType, 0)->count(), 0u);

  auto first = db_->getFirstBinItem(DetailType);
  ASSERT_TRUE(first);
  EXPECT_EQ(DataItemDetail::FromData(*first)->getString("id"), "a");
}

TEST_F(DataKavroDBTest, KeepOnlyNewestDeletesTheOldest) {
  for (const char* k : {"1", "2", "3", "4", "5"}) {
    db_->setStrValue(DetailType, k, k);
    clock().advance(1);
  }
  db_->setStrValue(DetailType, "1", "rewritten");  // now the newest
  EXPECT_TRUE(db_->keepItemsWithOnlyNewest(db_->TABLE_STR_VALUE(), DetailType, 3));
  EXPECT_EQ(db_->tableRows(db_->TABLE_STR_VALUE(), std::nullopt), 3);
  EXPECT_FALSE(db_->hasStrItem(DetailType, "2"));
  EXPECT_FALSE(db_->hasStrItem(DetailType, "3"));
  EXPECT_TRUE(db_->hasStrItem(DetailType, "1"));
  EXPECT_TRUE(db_->keepItemsWithOnlyNewest(db_->TABLE_STR_VALUE(), DetailType, 3));
  EXPECT_EQ(db_->tableRows(db_->TABLE_STR_VALUE(), std::nullopt), 3);

  // Rows of one second go in row-id order.
  clock().advance(10);
  for (const char* k : {"x", "y", "z"}) db_->setStrValue("SAME", k, k);
  EXPECT_TRUE(db_->keepItemsWithOnlyNewest(db_->TABLE_STR_VALUE(), "SAME", 1));
  EXPECT_TRUE(db_->hasStrItem("SAME", "z"));
  EXPECT_EQ(db_->tableRows(db_->TABLE_STR_VALUE(), "`DATA_TYPE`='SAME'"), 1);
}

TEST_F(DataKavroDBTest, SavingAsNewestPutsTheEntryFirstEvenWithinOneSecond) {
  for (const char* id : {"a", "b", "c"}) db_->saveItemCache(DetailType, id, *record(id));
  auto changed = record("a");
  changed->setString("2", "version");
  // A plain save keeps the row where it stood among rows of its second.
  ASSERT_TRUE(db_->saveItemCache(DetailType, "a", *changed));
  EXPECT_EQ(ids(*db_->getNewestItemCacheList(db_->TABLE_BIN_VALUE(), DetailType, 10)),
            (std::vector<std::string>{"c", "b", "a"}));

  const auto strings = db_->tableChangeStamp(db_->TABLE_STR_VALUE());
  ASSERT_TRUE(db_->saveItemCacheAsNewest(DetailType, "a", *changed));
  EXPECT_EQ(db_->tableChangeStamp(db_->TABLE_STR_VALUE()), strings) << "other tables' readers stay valid";
  auto newest = db_->getNewestItemCacheList(db_->TABLE_BIN_VALUE(), DetailType, 10);
  EXPECT_EQ(ids(*newest), (std::vector<std::string>{"a", "c", "b"}));
  EXPECT_EQ(newest->getItem(0)->getString("version"), "2");
  EXPECT_EQ(db_->tableRows(db_->TABLE_BIN_VALUE(), "`DATA_KEY`='item.a'"), 1) << "replaced, not added";

  clock().advance(30);
  ASSERT_TRUE(db_->saveItemCacheAsNewest(DetailType, "b", *record("b")));
  EXPECT_EQ(addTime("DATA_BIN_VALUE", "item.b"), db_->timeText()) << "stamped now";
  ASSERT_TRUE(db_->saveItemCacheAsNewest(DetailType, "d", *record("d")));
  EXPECT_EQ(ids(*db_->getNewestItemCacheList(db_->TABLE_BIN_VALUE(), DetailType, 10)),
            (std::vector<std::string>{"d", "b", "a", "c"}));
  EXPECT_FALSE(db_->saveItemCacheAsNewest(DetailType, "", *record("e")));
}

TEST_F(DataKavroDBTest, RowsLeftAheadByAClockThatWentBackArePrunedEveryTime) {
  const double start = now();
  db_->setStrValue(DetailType, "early", "1");
  ASSERT_TRUE(db_->removeInvalidItems(db_->TABLE_STR_VALUE(), DetailType));
  // Pruned once, the type stays pruned while the clock only goes on.
  clock().advance(60);
  db_->setStrValue(DetailType, "later", "2");
  EXPECT_TRUE(db_->removeInvalidItems(db_->TABLE_STR_VALUE(), DetailType));
  EXPECT_TRUE(db_->hasStrItem(DetailType, "early"));
  EXPECT_TRUE(db_->hasStrItem(DetailType, "later"));

  // The clock runs an hour ahead, a row is written, and the clock is put right: the row is ahead
  // of it, although the clock is past the last pruning.
  clock().set(start + 3600);
  db_->setStrValue(DetailType, "ahead", "3");
  clock().set(start + 120);
  EXPECT_TRUE(db_->removeInvalidItems(db_->TABLE_STR_VALUE(), DetailType));
  EXPECT_FALSE(db_->hasStrItem(DetailType, "ahead"));
  EXPECT_TRUE(db_->hasStrItem(DetailType, "later"));

  // Once the clock has passed every time written, nothing is ahead of it.
  clock().set(start + 3700);
  db_->setStrValue(DetailType, "ahead", "4");
  EXPECT_TRUE(db_->removeInvalidItems(db_->TABLE_STR_VALUE(), DetailType));
  EXPECT_TRUE(db_->hasStrItem(DetailType, "ahead"));

  // Another type is pruned at its own first call.
  clock().set(start + 7200);
  db_->setStrValue("OTHER", "ahead", "5");
  clock().set(start + 3800);
  EXPECT_TRUE(db_->removeInvalidItems(db_->TABLE_STR_VALUE(), "OTHER"));
  EXPECT_FALSE(db_->hasStrItem("OTHER", "ahead"));
  EXPECT_FALSE(db_->removeInvalidItems(db_->TABLE_STR_VALUE(), ""));
}

TEST_F(DataKavroDBTest, KeepOnlyNewestCountsAgainAfterWritesItDidNotSee) {
  auto rows = [&] {
    return db_->tableRows(db_->TABLE_BIN_VALUE(), "`DATA_TYPE`=?", {platform::Value(DetailType)});
  };
  auto save = [&](int i) {
    clock().advance(1);
    return db_->saveItemCacheAsNewest(DetailType, std::to_string(i), *record(std::to_string(i)));
  };
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(save(i));
  ASSERT_TRUE(db_->keepItemsWithOnlyNewest(db_->TABLE_BIN_VALUE(), DetailType, 3));
  EXPECT_EQ(rows(), 3);

  // Its own writes: saved again, saved new, another type's.
  ASSERT_TRUE(save(1));
  db_->saveItemCache("OTHER", "x", *record("x"));
  ASSERT_TRUE(db_->keepItemsWithOnlyNewest(db_->TABLE_BIN_VALUE(), DetailType, 3));
  EXPECT_EQ(rows(), 3);
  ASSERT_TRUE(save(3));
  ASSERT_TRUE(db_->keepItemsWithOnlyNewest(db_->TABLE_BIN_VALUE(), DetailType, 3));
  EXPECT_EQ(rows(), 3);
  EXPECT_FALSE(db_->getItemCache(DetailType, "0")) << "the oldest went";

  // Rows added by a statement of the caller's own.
  ASSERT_TRUE(db_->execSQL(
      "insert into DATA_BIN_VALUE(DATA_TYPE,DATA_KEY,DATA_VALUE,DATA_ADDTIME) values (?,'item.raw',x'00',?)",
      {platform::Value(DetailType), platform::Value(db_->timeText(-3600))}));
  ASSERT_TRUE(db_->keepItemsWithOnlyNewest(db_->TABLE_BIN_VALUE(), DetailType, 3));
  EXPECT_EQ(rows(), 3);
  EXPECT_FALSE(db_->hasBinItem(DetailType, "item.raw"));

  // Rows that a rolled-back transaction had deleted are back.
  ASSERT_TRUE(save(4));
  ASSERT_TRUE(save(5));
  ASSERT_TRUE(db_->begin());
  ASSERT_TRUE(db_->keepItemsWithOnlyNewest(db_->TABLE_BIN_VALUE(), DetailType, 3));
  EXPECT_EQ(rows(), 3);
  ASSERT_TRUE(db_->rollback());
  EXPECT_EQ(rows(), 5);
  ASSERT_TRUE(db_->keepItemsWithOnlyNewest(db_->TABLE_BIN_VALUE(), DetailType, 3));
  EXPECT_EQ(rows(), 3);
  EXPECT_EQ(ids(*db_->getNewestItemCacheList(db_->TABLE_BIN_VALUE(), DetailType, 10)),
            (std::vector<std::string>{"5", "4", "3"}));

  // Any table by name keeps the plain count.
  ASSERT_TRUE(db_->execSQL("create table T(ID INTEGER PRIMARY KEY, DATA_TYPE, DATA_ADDTIME)"));
  for (int i = 0; i < 4; ++i)
    ASSERT_TRUE(db_->execSQL("insert into T(DATA_TYPE,DATA_ADDTIME) values ('A',?)",
                             {platform::Value(db_->timeText(i))}));
  ASSERT_TRUE(db_->keepItemsWithOnlyNewest("T", "A", 1));
  EXPECT_EQ(db_->tableRows("T", std::nullopt), 1);
  EXPECT_FALSE(db_->keepItemsWithOnlyNewest("missing", "A", 1)) << "a count that fails trims nothing";
}

TEST_F(DataKavroDBTest, RewritesKeepTheirOwnTypeAndTimeAcrossTypesAndSeconds) {
  auto typeAndTime = [&](std::string_view key) {
    return db_
        ->get_cell("select DATA_TYPE || ' ' || DATA_ADDTIME from DATA_STR_VALUE where DATA_KEY=?",
                   {platform::Value(key)})
        .value_or("");
  };
  for (int round = 0; round < 3; ++round) {
    // Types made for each call and gone after it, so that nothing the caller kept is read later.
    for (const char* type : {"A", "B", "B", "A"}) {
      const std::string key = std::string("k") + type;
      EXPECT_GT(db_->setStrValue(std::string(type), key, std::to_string(round)), 0);
      EXPECT_EQ(typeAndTime(key), std::string(type) + " " + db_->timeText());
      EXPECT_EQ(db_->getStrValue(std::string(type), key), std::to_string(round));
    }
    clock().advance(round == 1 ? 0.4 : 1);
  }
  EXPECT_EQ(db_->tableRows(db_->TABLE_STR_VALUE(), std::nullopt), 2);
}

TEST_F(DataKavroDBTest, ValueWritesMoveTheStampsOfTheTablesTheyWrite) {
  ASSERT_TRUE(db_->execSQL("create table LOG(ID INTEGER PRIMARY KEY, NAME)"));
  auto stamps = [&] {
    return std::vector{db_->tableChangeStamp(db_->TABLE_INT_VALUE()),
                       db_->tableChangeStamp(db_->TABLE_STR_VALUE()), db_->tableChangeStamp("LOG")};
  };
  // Which of the three stamps the write moved.
  auto moved = [&](auto write) {
    const auto before = stamps();
    write();
    const auto after = stamps();
    std::vector<bool> m;
    for (std::size_t i = 0; i < after.size(); ++i) m.push_back(!(after[i] == before[i]));
    return m;
  };
  using Moved = std::vector<bool>;
  EXPECT_EQ(moved([&] { EXPECT_GT(db_->setStrValue(DetailType, "a", "1"), 0); }),
            (Moved{false, true, false}));
  EXPECT_EQ(moved([&] { EXPECT_EQ(db_->setStrValue(DetailType, "a", "2"), 1); }),
            (Moved{false, true, false}));
  EXPECT_EQ(moved([&] { EXPECT_GT(db_->setIntValue(DetailType, "a", 7), 0); }), (Moved{true, false, false}));
  EXPECT_EQ(moved([&] { EXPECT_EQ(db_->deleteStrValue(DetailType, "none"), 0); }),
            (Moved{false, false, false}));
  EXPECT_EQ(moved([&] { EXPECT_EQ(db_->deleteStrValue(DetailType, "a"), 1); }), (Moved{false, true, false}));
  EXPECT_EQ(moved([&] { EXPECT_EQ(db_->setStrValue("", "a", "1"), 0); }), (Moved{false, false, false}));

  // A trigger's rows count for its own table too, on the first write and on every one after.
  ASSERT_TRUE(
      db_->execSQL("create trigger logged after update on DATA_STR_VALUE begin "
                   "insert into LOG(NAME) values (new.DATA_KEY); end"));
  ASSERT_GT(db_->setStrValue(DetailType, "b", "1"), 0);
  for (const char* value : {"2", "3"}) {
    const auto m = moved([&] { EXPECT_EQ(db_->setStrValue(DetailType, "b", value), 1); });
    EXPECT_TRUE(m[1]);
    EXPECT_TRUE(m[2]) << "the trigger's table";
  }
  EXPECT_EQ(db_->tableRows("LOG", std::nullopt), 2);
}
TEST_F(DataKavroDBTest, Sizes) {
  db_->setStrValue("A", "k1", std::string(10, 'x'));
  db_->setStrValue("B", "k2", std::string(20, 'y'));
  EXPECT_EQ(db_->getSizeOfTable(db_->TABLE_STR_VALUE()), 734);
  EXPECT_EQ(db_->getSizeOfTable(""), 0);
  EXPECT_EQ(db_->getSizeOfTable("no_such_table"), 0);

  db_->setBinValue("T", "key", platform::Data(100, 1));
  db_->setBinValue("T", "k2", platform::Data(50, 1));
  // length(ID)=1, length("T")=1, 100 or 50 bytes, length(key)
  EXPECT_EQ(db_->getBinSize("T", "key"), 1 + 1 + 100 + 3);
  EXPECT_EQ(db_->getBinSize("T", ""), (1 + 1 + 100 + 3) + (1 + 1 + 50 + 2));
  EXPECT_EQ(db_->getBinSize("", ""), 0);

  db_->setIntValue("T", "n", 1);
  db_->setStrValue("T", "s", "v");
  db_->cleanAllDataWithDataType("T");
  EXPECT_FALSE(db_->hasTypeItem(db_->TABLE_INT_VALUE(), "T"));
  EXPECT_FALSE(db_->hasTypeItem(db_->TABLE_STR_VALUE(), "T"));
  EXPECT_FALSE(db_->hasBinItem("T"));
}

TEST_F(DataKavroDBTest, GenericSetItemValueOnAnyTable) {
  auto value = platform::MutableDictionary::create();
  value->setObject(platform::Value("v1"), "DATA_VALUE");
  std::int64_t id = db_->setItemValue(db_->TABLE_STR_VALUE(), DetailType, "k", value.get());
  EXPECT_GT(id, 0);
  value->setObject(platform::Value("v2"), "DATA_VALUE");
  EXPECT_EQ(db_->setItemValue(db_->TABLE_STR_VALUE(), DetailType, "k", value.get()), 1);
  EXPECT_EQ(db_->getStrValue(DetailType, "k"), "v2");
  EXPECT_EQ(db_->setItemValue(db_->TABLE_STR_VALUE(), DetailType, "k", nullptr), 0);
  EXPECT_TRUE(db_->hasTypeItem(db_->TABLE_STR_VALUE(), DetailType, "k"));
  EXPECT_EQ(db_->removeTypeItem(db_->TABLE_STR_VALUE(), DetailType, "k"), 1);
}

TEST_F(DataKavroDBTest, FilesWithoutTheRecordTimeIndexGainItAndNewestListsReadThroughIt) {
  db_->saveItemCache(DetailType, "a", *record("a"));
  for (std::string_view table : {db_->TABLE_INT_VALUE(), db_->TABLE_STR_VALUE(), db_->TABLE_BIN_VALUE()})
    ASSERT_TRUE(db_->execSQL("DROP INDEX `" + std::string(table) + "_item_time`"));
  db_.reset();

  db_ = std::make_unique<DataKavroDB>("store.db");
  for (std::string_view table : {db_->TABLE_INT_VALUE(), db_->TABLE_STR_VALUE(), db_->TABLE_BIN_VALUE()}) {
    EXPECT_EQ(db_->get_cell("select count(*) from sqlite_master where type='index' and name=?",
                            {platform::Value(std::string(table) + "_item_time")}),
              "1");
  }
  auto plan = db_->get_all(
      "EXPLAIN QUERY PLAN select `DATA_VALUE` from `DATA_BIN_VALUE` where `DATA_TYPE`=? and "
      "substr(`DATA_KEY`,1,5)='item.' and `DATA_ADDTIME`<=? order by `DATA_ADDTIME` desc, `ID` desc limit ?",
      {platform::Value(DetailType), platform::Value("9999"), platform::Value(10)});
  ASSERT_TRUE(plan);
  std::string steps;
  for (const auto& row : *plan) steps += row->objectForKey("detail")->stringValue() + "\n";
  EXPECT_NE(steps.find("DATA_BIN_VALUE_item_time"), std::string::npos) << steps;
  EXPECT_EQ(steps.find("TEMP B-TREE"), std::string::npos) << steps;
  EXPECT_EQ(ids(*db_->getNewestItemCacheList(db_->TABLE_BIN_VALUE(), DetailType, 5)),
            std::vector<std::string>{"a"});
}

}  // namespace
}  // namespace kavro
