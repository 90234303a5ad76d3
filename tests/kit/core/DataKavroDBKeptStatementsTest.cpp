// The store's value statements are prepared once and kept: a use that failed, a table that went
// away and came back, a nested use of the same statement and a closed database must all leave the
// values right.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "kit/core/DataKavroDB.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

constexpr std::string_view Type = "STORE_KEPT";

using DataKavroDBKeptStatementsTest = test::VirtualRunLoopTest;

TEST_F(DataKavroDBKeptStatementsTest, AFailedWriteLeavesTheStatementUsableAndOtherValuesIntact) {
  test::TempHome home;
  auto db_ = std::make_unique<DataKavroDB>("kept.db");
  ASSERT_TRUE(db_->isOpen());
  ASSERT_GT(db_->setIntValue(Type, "locked", 1), 0);
  ASSERT_TRUE(
      db_->execSQL("CREATE TRIGGER lock_row BEFORE UPDATE ON DATA_INT_VALUE WHEN OLD.DATA_KEY='locked' "
                   "BEGIN SELECT RAISE(ABORT, 'row is locked'); END"));
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(db_->setIntValue(Type, "locked", 2 + round), 0);
    EXPECT_EQ(db_->getErrorMessage(), "row is locked");
    EXPECT_GT(db_->setIntValue(Type, "free" + std::to_string(round), 10 + round), 0);
  }
  EXPECT_EQ(db_->getIntValue(Type, "locked"), 1);
  EXPECT_EQ(db_->getIntValue(Type, "free0"), 10);
  EXPECT_EQ(db_->getIntValue(Type, "free2"), 12);
}

TEST_F(DataKavroDBKeptStatementsTest, ATableDroppedAndMadeAgainIsWrittenAndReadAgain) {
  test::TempHome home;
  auto db_ = std::make_unique<DataKavroDB>("kept.db");
  ASSERT_TRUE(db_->isOpen());
  const std::string value(300, 's');
  ASSERT_GT(db_->setStrValue(Type, "k", value), 0);
  ASSERT_EQ(db_->getStrValue(Type, "k"), value);
  ASSERT_TRUE(db_->execSQL("DROP TABLE DATA_STR_VALUE"));

  EXPECT_EQ(db_->setStrValue(Type, "k", "lost"), 0);
  EXPECT_NE(db_->getErrorMessage().value_or("").find("no such table"), std::string::npos);
  EXPECT_EQ(db_->getStrValue(Type, "k"), "");
  EXPECT_FALSE(db_->hasStrItem(Type, "k"));

  ASSERT_TRUE(
      db_->execSQL("CREATE TABLE [DATA_STR_VALUE]([ID] INTEGER PRIMARY KEY, [DATA_TYPE] CHAR(100) NOT NULL, "
                   "[DATA_KEY] CHAR(200) NOT NULL, [DATA_VALUE] TEXT, [DATA_ADDTIME] TIMESTAMP NOT NULL)"));
  EXPECT_GT(db_->setStrValue(Type, "k", "back"), 0);
  EXPECT_GT(db_->setStrValue(Type, "k", "again"), 0);
  EXPECT_EQ(db_->getStrValue(Type, "k"), "again");
  EXPECT_EQ(db_->tableRows("DATA_STR_VALUE", std::nullopt), 1);
}

TEST_F(DataKavroDBKeptStatementsTest, ValuesBoundWithoutACopyDoNotReachTheNextUse) {
  test::TempHome home;
  auto db_ = std::make_unique<DataKavroDB>("kept.db");
  ASSERT_TRUE(db_->isOpen());
  {
    std::string passing = "first value, gone after this block";
    platform::Data bytes(64, 0x11);
    ASSERT_GT(db_->setStrValue(Type, "a", passing), 0);
    ASSERT_GT(db_->setBinValue(Type, "a", bytes), 0);
  }
  // The next uses bind every parameter afresh: another key, an empty value, a read.
  EXPECT_GT(db_->setStrValue(Type, "b", ""), 0);
  EXPECT_GT(db_->setBinValue(Type, "b", platform::Data()), 0);
  EXPECT_EQ(db_->getStrValue(Type, "a"), "first value, gone after this block");
  EXPECT_EQ(db_->getStrValue(Type, "b"), "");
  EXPECT_EQ(db_->getBinValue(Type, "a"), platform::Data(64, 0x11));
  ASSERT_TRUE(db_->getBinValue(Type, "b").has_value());
  EXPECT_TRUE(db_->getBinValue(Type, "b")->empty());
  EXPECT_EQ(db_->get_cell("select typeof(DATA_VALUE) from DATA_BIN_VALUE where DATA_KEY='b'"), "blob");
  EXPECT_EQ(db_->deleteStrValue(Type, "a"), 1);
  EXPECT_FALSE(db_->hasStrItem(Type, "a"));
  EXPECT_TRUE(db_->hasStrItem(Type, "b"));
}

TEST_F(DataKavroDBKeptStatementsTest, AClosedStoreFailsSoftlyAndReopeningReadsWhatWasWritten) {
  test::TempHome home;
  auto db_ = std::make_unique<DataKavroDB>("kept.db");
  ASSERT_TRUE(db_->isOpen());
  ASSERT_GT(db_->setStrValue(Type, "k", "kept"), 0);
  ASSERT_GT(db_->setIntValue(Type, "n", 7), 0);
  db_->close();
  EXPECT_EQ(db_->getStrValue(Type, "k"), "");
  EXPECT_EQ(db_->setIntValue(Type, "n", 8), 0);
  EXPECT_FALSE(db_->hasIntItem(Type, "n"));
  EXPECT_EQ(db_->deleteStrValue(Type, "k"), 0);

  db_ = std::make_unique<DataKavroDB>("kept.db");
  EXPECT_EQ(db_->getStrValue(Type, "k"), "kept");
  EXPECT_EQ(db_->getIntValue(Type, "n"), 7);
}

// A subclass's own statement asked for again while a use still holds it.
class SlotProbe : public DataSQLiteDB {
 public:
  using DataSQLiteDB::DataSQLiteDB;
  std::int64_t twice(std::int64_t outer, std::int64_t inner) {
    Statement held = prepareSlot(0, "select ?");
    if (!held || sqlite3_bind_int64(held.get(), 1, outer) != SQLITE_OK) return -1;
    std::int64_t nested = once(inner);
    if (sqlite3_step(held.get()) != SQLITE_ROW) return -1;
    return sqlite3_column_int64(held.get(), 0) * 1000 + nested;
  }
  std::int64_t once(std::int64_t v) {
    Statement stmt = prepareSlot(0, "select ?");
    if (!stmt || sqlite3_bind_int64(stmt.get(), 1, v) != SQLITE_OK || sqlite3_step(stmt.get()) != SQLITE_ROW)
      return -1;
    return sqlite3_column_int64(stmt.get(), 0);
  }
  bool outOfRange() { return !prepareSlot(SlotCount, "select 1"); }
};

TEST(DataSQLiteDBSlotTest, ASlotInUseGivesANestedCallItsOwnStatement) {
  test::TempHome home;
  SlotProbe db("slots.db");
  ASSERT_TRUE(db.isOpen());
  EXPECT_EQ(db.once(5), 5);
  EXPECT_EQ(db.twice(3, 4), 3004);
  EXPECT_EQ(db.once(6), 6);
  EXPECT_TRUE(db.outOfRange());
  db.close();
  EXPECT_EQ(db.once(1), -1);
}

}  // namespace
}  // namespace kavro
