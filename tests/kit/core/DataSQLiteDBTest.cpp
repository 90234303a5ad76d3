#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>

#include "kit/core/DataAppCoreDB.h"
#include "kit/core/DataItemResult.h"
#include "kit/core/DataKavroDB.h"
#include "kit/core/DataSQLiteDB.h"
#include "kit/core/FSManager.h"
#include "platform/foundation/FileManager.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

using platform::Value;

class DataSQLiteDBTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = std::make_unique<DataSQLiteDB>("test.db");
    ASSERT_TRUE(db_->isOpen());
    ASSERT_TRUE(db_->execSQL("CREATE TABLE t(ID INTEGER PRIMARY KEY, DATA_VALUE, NAME TEXT)"));
  }
  std::shared_ptr<platform::MutableDictionary> map(
      std::initializer_list<std::pair<const char*, Value>> pairs) {
    auto m = platform::MutableDictionary::create();
    for (const auto& [k, v] : pairs) m->setObject(v, k);
    return m;
  }

  test::TempHome home_;
  std::unique_ptr<DataSQLiteDB> db_;
};

TEST_F(DataSQLiteDBTest, NumbersBindAsIntegersOrDoublesBytesAsBlobs) {
  EXPECT_EQ(db_->insert("t", *map({{"DATA_VALUE", Value(3)}})), 1);
  EXPECT_EQ(db_->insert("t", *map({{"DATA_VALUE", Value(3.5)}})), 2);
  EXPECT_EQ(db_->insert("t", *map({{"DATA_VALUE", Value(4.0)}})), 3);
  EXPECT_EQ(db_->insert("t", *map({{"DATA_VALUE", Value(std::int64_t{1} << 40)}})), 4);
  EXPECT_EQ(db_->insert("t", *map({{"DATA_VALUE", Value(platform::Data{0, 1, 2})}})), 5);
  auto types = db_->get_all("select typeof(DATA_VALUE) as k, DATA_VALUE as v from t order by ID");
  ASSERT_TRUE(types);
  ASSERT_EQ(types->size(), 5u);
  EXPECT_EQ((*types)[0]->valueForKey("k").stringValue(), "integer");
  EXPECT_EQ((*types)[1]->valueForKey("k").stringValue(), "real");
  EXPECT_EQ((*types)[1]->valueForKey("v").stringValue(), "3.5");
  EXPECT_EQ((*types)[2]->valueForKey("k").stringValue(), "integer");
  EXPECT_EQ((*types)[3]->valueForKey("v").stringValue(), "1099511627776");
  EXPECT_EQ((*types)[4]->valueForKey("k").stringValue(), "blob");
  // Anything else refuses the row.
  EXPECT_EQ(db_->insert("t", *map({{"DATA_VALUE", Value(platform::MutableDictionary::create())}})), 0);
  EXPECT_EQ(db_->insert("t", *platform::MutableDictionary::create()), 0);
  EXPECT_EQ(db_->insert("", *map({{"DATA_VALUE", Value(1)}})), 0);
}

TEST_F(DataSQLiteDBTest, WhereClausesPresentEmptyOrAbsent) {
  db_->insert("t", *map({{"NAME", Value("a")}}));
  db_->insert("t", *map({{"NAME", Value("b")}}));
  EXPECT_EQ(db_->tableRows("t", std::nullopt), 2);
  EXPECT_EQ(db_->tableRows("t", ""), 0) << "an empty clause makes the statement fail";
  EXPECT_TRUE(db_->getErrorMessage().has_value());
  EXPECT_EQ(db_->tableRows("t", "NAME=?", {Value("a")}), 1);
  EXPECT_EQ(db_->update("t", *map({{"NAME", Value("c")}}), "NAME=?", {Value("b")}), 1);
  auto rows = db_->queryStruct("t", std::nullopt, "ID desc");
  ASSERT_NE(rows, nullptr);
  ASSERT_EQ(rows->count(), 2u);
  EXPECT_EQ(rows->getItem(0)->getString("NAME"), "c");
  EXPECT_EQ(rows->getItem(0)->getString("DATA_VALUE"), "") << "NULL reads as empty text";
  EXPECT_EQ(db_->delete_("t", "NAME=?", {Value("a")}), 1);
  EXPECT_EQ(db_->delete_("", std::nullopt), 0);
}

TEST_F(DataSQLiteDBTest, ReadsOfNoRows) {
  auto all = db_->get_all("select * from t");
  ASSERT_TRUE(all);
  EXPECT_TRUE(all->empty());
  auto one = db_->get_one("select * from t");
  ASSERT_TRUE(one);
  EXPECT_EQ((*one)->count(), 0u);
  EXPECT_FALSE(db_->get_cell("select NAME from t"));
  EXPECT_FALSE(db_->get_all("select * from missing_table"));
  EXPECT_FALSE(db_->hasTable("missing_table"));
  EXPECT_TRUE(db_->hasTable("t"));
}

TEST_F(DataSQLiteDBTest, ValuesAndNamesCannotInjectSql) {
  const char* hostile = "x'); DROP TABLE t; --";
  db_->insert("t", *map({{"NAME", Value(hostile)}}));
  EXPECT_TRUE(db_->hasTable("t"));
  EXPECT_EQ(db_->get_cell("select NAME from t"), hostile);
  EXPECT_FALSE(db_->hasTable("t' or '1'='1"));
  // A table name with a backtick is one strange name, not a way out of the quotes.
  EXPECT_EQ(db_->tableRows("t` where 1=1; --", std::nullopt), 0);
  EXPECT_EQ(DataSQLiteDB::quoteIdentifier("a`b"), "`a``b`");
}

TEST_F(DataSQLiteDBTest, TruncateTransactionsAndPreparedStatements) {
  db_->begin();
  for (int i = 0; i < 5; ++i) db_->insert("t", *map({{"NAME", Value(std::to_string(i))}}));
  EXPECT_TRUE(db_->rollback());
  EXPECT_EQ(db_->tableRows("t", std::nullopt), 0);
  db_->insert("t", *map({{"NAME", Value("x")}}));
  EXPECT_FALSE(db_->truncateTable(""));
  EXPECT_TRUE(db_->truncateTable("t"));
  EXPECT_EQ(db_->tableRows("t", std::nullopt), 0);
  EXPECT_TRUE(db_->compressDB());

  sqlite3_stmt* stmt = db_->query("select 7");
  ASSERT_NE(stmt, nullptr);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(stmt, 0), 7);
  sqlite3_finalize(stmt);
  EXPECT_EQ(db_->query("select from"), nullptr);
}

TEST_F(DataSQLiteDBTest, ChangeStampsMoveWithTheirTablesRows) {
  ASSERT_TRUE(db_->execSQL("CREATE TABLE other(ID INTEGER PRIMARY KEY, NAME TEXT)"));
  auto stamp = db_->tableChangeStamp("t");
  auto next = [&](const char* sql) {
    EXPECT_TRUE(db_->execSQL(sql)) << sql;
    auto now = db_->tableChangeStamp("t");
    bool moved = !(now == stamp);
    stamp = now;
    return moved;
  };
  EXPECT_TRUE(next("insert into t(NAME) values('a')"));
  EXPECT_FALSE(next("insert into other(NAME) values('a')"));
  EXPECT_FALSE(next("select * from t"));
  EXPECT_TRUE(next("update t set NAME='b'"));
  EXPECT_FALSE(next("update t set NAME='b' where NAME='none'"));
  EXPECT_TRUE(next("insert into t(NAME) values('c')"));
  EXPECT_TRUE(next("delete from t"));  // every row at once
  EXPECT_FALSE(next("delete from t"));
  // Statements kept and bound tell their rows to the tables they write, and to no other.
  auto moved = [&](auto write) {
    write();
    auto now = db_->tableChangeStamp("t");
    bool m = !(now == stamp);
    stamp = now;
    return m;
  };
  EXPECT_TRUE(moved([&] { EXPECT_TRUE(db_->execSQL("insert into t(NAME) values(?)", {Value("e")})); }));
  EXPECT_FALSE(moved([&] { EXPECT_EQ(db_->insert("other", *map({{"NAME", Value("f")}})), 2); }));
  EXPECT_TRUE(moved([&] {
    EXPECT_EQ(db_->update("t", *map({{"NAME", Value("g")}}), "NAME=?", {Value("e")}), 1);
  }));
  EXPECT_FALSE(moved([&] {
    EXPECT_EQ(db_->update("t", *map({{"NAME", Value("g")}}), "NAME=?", {Value("x")}), 0);
  }));
  // A trigger's writes count for the table it writes.
  ASSERT_TRUE(db_->execSQL(
      "CREATE TRIGGER copy AFTER INSERT ON other BEGIN INSERT INTO t(NAME) VALUES(new.NAME); END"));
  EXPECT_TRUE(next("insert into other(NAME) values('h')"));
  EXPECT_TRUE(moved([&] { EXPECT_EQ(db_->insert("other", *map({{"NAME", Value("i")}})), 4); }));
  // Inside a transaction the stamp moves before the commit, and the rollback moves it again: what
  // was read inside it may be gone.
  db_->begin();
  EXPECT_TRUE(next("insert into t(NAME) values('d')"));
  EXPECT_TRUE(next("ROLLBACK"));
  EXPECT_FALSE(next("select 1"));
}

TEST_F(DataSQLiteDBTest, AKeptStatementTellsTheRowsOfATriggerAddedAfterIt) {
  ASSERT_TRUE(db_->execSQL("CREATE TABLE other(ID INTEGER PRIMARY KEY, NAME TEXT)"));
  const char* insert = "insert into other(NAME) values(?)";
  ASSERT_TRUE(db_->execSQL(insert, {Value("a")}));
  ASSERT_TRUE(db_->execSQL(
      "CREATE TRIGGER copy AFTER INSERT ON other BEGIN INSERT INTO t(NAME) VALUES(new.NAME); END"));
  // The kept insert is prepared again by SQLite, now with the trigger's write to t.
  for (const char* name : {"b", "c"}) {
    const auto stamp = db_->tableChangeStamp("t");
    ASSERT_TRUE(db_->execSQL(insert, {Value(name)}));
    EXPECT_FALSE(db_->tableChangeStamp("t") == stamp) << name;
  }
  EXPECT_EQ(db_->tableRows("t", std::nullopt), 2);
}

TEST(DataSQLiteDBOpenTest, ClosedDatabaseFailsSoftly) {
  test::TempHome home;
  DataSQLiteDB db("");
  EXPECT_FALSE(db.isOpen());
  EXPECT_EQ(db.getErrorMessage(), "Open db  Error!");
  EXPECT_FALSE(db.execSQL("select 1"));
  EXPECT_EQ(db.tableRows("t", std::nullopt), 0);
  EXPECT_FALSE(db.get_all("select 1"));
  EXPECT_EQ(db.queryStruct("t", std::nullopt, std::nullopt), nullptr);
}

// Writes bytes where the database file goes.
std::string plantFile(std::string_view name, const std::string& bytes) {
  std::string path = *FSManager::getDbFullPath(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(DataSQLiteDBOpenTest, FileThatIsNotADatabaseIsMovedAsideAndReplaced) {
  test::TempHome home;
  std::string path = plantFile("KavroCoreData.db", std::string(4096, 'g'));
  DataAppCoreDB db;
  ASSERT_TRUE(db.isOpen());
  ASSERT_TRUE(db.damagedFileMovedTo().has_value());
  EXPECT_EQ(*db.damagedFileMovedTo(), path + ".damaged");
  EXPECT_FALSE(db.damageMoveSaid());  // found at opening: the start says it
  EXPECT_TRUE(platform::FileManager::fileExistsAtPath(path + ".damaged"));
  EXPECT_NE(db.getErrorMessage().value_or("").find("Damaged db KavroCoreData.db"), std::string::npos);
  EXPECT_TRUE(db.hasTable("USER_TRACE"));
  EXPECT_GT(db.setStrValue("T", "k", "v"), 0);
  EXPECT_EQ(db.getStrValue("T", "k"), "v");
}

TEST(DataSQLiteDBOpenTest, TruncatedDatabaseIsMovedAsideAndReplaced) {
  test::TempHome home;
  std::string path;
  {
    DataKavroDB db("cut.db");
    path = db.path();
    db.begin();
    for (int i = 0; i < 400; ++i) db.setStrValue("T", std::to_string(i), std::string(200, 'x'));
    db.commit();
  }
  auto bytes = platform::FileManager::contentsAtPath(path);
  ASSERT_TRUE(bytes && bytes->size() > 8192);
  plantFile("cut.db", std::string(bytes->begin(), bytes->begin() + static_cast<long>(bytes->size() / 2)));

  DataKavroDB db("cut.db");
  ASSERT_TRUE(db.isOpen());
  EXPECT_TRUE(db.damagedFileMovedTo().has_value());
  EXPECT_EQ(db.getStrValue("T", "1"), "");
  EXPECT_GT(db.setStrValue("T", "1", "fresh"), 0);
  // A second damaged file does not overwrite the first one set aside.
  plantFile("cut.db", "garbage");
  DataKavroDB again("cut.db");
  EXPECT_EQ(again.damagedFileMovedTo(), path + ".damaged-1");
}

TEST(DataSQLiteDBOpenTest, EmptyFileIsAFreshDatabase) {
  test::TempHome home;
  plantFile("empty.db", "");
  DataKavroDB db("empty.db");
  EXPECT_TRUE(db.isOpen());
  EXPECT_FALSE(db.damagedFileMovedTo().has_value());
}

TEST(DataSQLiteDBOpenTest, StoresCommitThroughAWriteAheadLogWithoutASyncEach) {
  test::TempHome home;
  DataKavroDB db("log.db");
  ASSERT_TRUE(db.isOpen());
  EXPECT_EQ(db.get_cell("PRAGMA journal_mode"), "wal");
  EXPECT_EQ(db.get_cell("PRAGMA synchronous"), "1");  // NORMAL: syncs at checkpoints only
}

// A store with rows over many pages, closed; returns its path.
std::string storeOfManyPages(std::string_view name) {
  DataKavroDB db(name);
  db.begin();
  for (int i = 0; i < 400; ++i) db.setStrValue("T", std::to_string(i), std::string(200, 'x'));
  db.commit();
  return db.path();
}

// Overwrites one page in the middle of the file, leaving its header and length whole.
void damageAMiddlePage(const std::string& path) {
  auto bytes = platform::FileManager::contentsAtPath(path);
  ASSERT_TRUE(bytes && bytes->size() > 8 * 4096);
  std::string damaged(bytes->begin(), bytes->end());
  std::fill(damaged.begin() + 5 * 4096, damaged.begin() + 6 * 4096, '\x5a');
  std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
}

std::string bytesOf(const std::string& path) {
  auto bytes = platform::FileManager::contentsAtPath(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Leaves the store as a session that wrote and then crashed leaves it: the files as they were
// while it was open, its log still holding the commit.
void crashAfterAWrite(std::string_view name) {
  DataKavroDB db(name);
  ASSERT_GT(db.setStrValue("Z", "last", "written before the crash"), 0);
  const std::string path = db.path();
  const std::string file = bytesOf(path), log = bytesOf(path + "-wal");
  ASSERT_FALSE(log.empty());
  db.close();
  writeBytes(path, file);
  writeBytes(path + "-wal", log);
}

TEST(DataSQLiteDBOpenTest, AfterASessionThatDidNotCloseTheStoreEveryPageIsChecked) {
  test::TempHome home;
  std::string path = storeOfManyPages("crashed.db");
  crashAfterAWrite("crashed.db");
  damageAMiddlePage(path);
  DataKavroDB db("crashed.db");
  ASSERT_TRUE(db.isOpen());
  EXPECT_EQ(db.damagedFileMovedTo(), path + ".damaged");
  EXPECT_EQ(db.getStrValue("T", "1"), "");
  EXPECT_GT(db.setStrValue("T", "1", "fresh"), 0);
}

TEST(DataSQLiteDBOpenTest, ACrashedSessionsLastCommitIsKeptWhenTheStoreIsWhole) {
  test::TempHome home;
  std::string path = storeOfManyPages("whole.db");
  crashAfterAWrite("whole.db");
  DataKavroDB db("whole.db");
  ASSERT_TRUE(db.isOpen());
  EXPECT_FALSE(db.damagedFileMovedTo().has_value());
  EXPECT_EQ(db.getStrValue("Z", "last"), "written before the crash");
  EXPECT_EQ(db.getStrValue("T", "399"), std::string(200, 'x'));
}

TEST(DataSQLiteDBOpenTest, AClosingEmptiesTheLogSoTheNextStartChecksNoPage) {
  test::TempHome home;
  std::string path;
  {
    DataKavroDB db("closed.db");
    ASSERT_GT(db.setStrValue("T", "k", "v"), 0);
    path = db.path();
    EXPECT_GT(bytesOf(path + "-wal").size(), 0u);
  }
  EXPECT_EQ(bytesOf(path + "-wal").size(), 0u);
  DataKavroDB again("closed.db");
  EXPECT_FALSE(again.damagedFileMovedTo().has_value());
  EXPECT_EQ(again.getStrValue("T", "k"), "v");
}

TEST(DataSQLiteDBOpenTest, ASecondHandleNeverSetsAsideAStoreThisProcessHasOpen) {
  test::TempHome home;
  std::string path = storeOfManyPages("shared.db");
  DataKavroDB first("shared.db");
  // The first handle's commit sits in the log, as a crashed session's would.
  ASSERT_GT(first.setStrValue("Z", "mine", "kept"), 0);
  damageAMiddlePage(path);
  DataKavroDB second("shared.db");
  ASSERT_TRUE(second.isOpen());
  EXPECT_FALSE(second.damagedFileMovedTo().has_value());
  EXPECT_TRUE(platform::FileManager::fileExistsAtPath(path));
  EXPECT_EQ(second.getStrValue("Z", "mine"), "kept");
}

TEST(DataSQLiteDBOpenTest, ReopeningFindsTheValueTablesAndTheirIndexesWithoutMakingThemAgain) {
  test::TempHome home;
  {
    DataAppCoreDB core;
    ASSERT_GT(core.setIntValue("A", "b", 7), 0);
  }
  DataAppCoreDB core;
  const std::uint64_t commitsBefore = core.commitCount();
  EXPECT_EQ(commitsBefore, 0u);  // nothing made again: no schema write at the opening
  for (const char* name :
       {"DATA_INT_VALUE", "DATA_STR_VALUE", "DATA_BIN_VALUE", "USER_TRACE", "DATA_INT_VALUE_item_time",
        "DATA_STR_VALUE_item_time", "DATA_BIN_VALUE_item_time"})
    EXPECT_EQ(core.get_cell("select count(*) from sqlite_master where name=?", {Value(name)}), "1") << name;
  EXPECT_EQ(core.getIntValue("A", "b"), 7);
}

}  // namespace
}  // namespace kavro
