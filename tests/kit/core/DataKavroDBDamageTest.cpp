#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "kit/core/DataAppCacheDB.h"
#include "kit/core/DataAppCoreDB.h"
#include "kit/core/DataItemDetail.h"
#include "platform/foundation/FileManager.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

constexpr std::string_view HistoryType = "STORE_CACHE_JOBSEARCH_HISTORY";
constexpr std::size_t StorePageSize = 4096;

std::shared_ptr<DataItemDetail> searchRecord(int n, std::size_t padding = 300) {
  auto record = DataItemDetail::newDetail();
  record->setString("java " + std::to_string(n), "keyword");
  record->setString("020000", "jobarea");
  record->setString(std::string(padding, 'p'), "padding");
  return record;
}

// Random bytes (the same every run) over whole pages, numbered from 1, of a closed store: the
// header and the length stay whole, so only a read of those pages can tell.
void writeRandomOverPages(const std::string& path, const std::vector<std::size_t>& pages) {
  auto bytes = platform::FileManager::contentsAtPath(path);
  ASSERT_TRUE(bytes);
  std::string file(bytes->begin(), bytes->end());
  std::mt19937 random(45);
  for (std::size_t page : pages) {
    ASSERT_LE(page * StorePageSize, file.size()) << "page " << page;
    for (std::size_t i = (page - 1) * StorePageSize; i < page * StorePageSize; ++i)
      file[i] = static_cast<char>(random() & 0xff);
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << file;
}

// Files a search the way the search form does: the history pruned, then the entry, in one
// transaction. True when the entry was stored.
bool fileSearch(DataKavroDB& db, int n) {
  const bool batched = db.begin();
  db.removeInvalidItems(db.TABLE_BIN_VALUE(), HistoryType);
  db.keepItemsWithOnlyNewest(db.TABLE_BIN_VALUE(), HistoryType, 1000);
  bool saved = db.saveItemCacheAsNewest(HistoryType, "search" + std::to_string(n), *searchRecord(n));
  if (batched && !db.commit()) db.rollback();
  return saved;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(DataKavroDBDamageTest, ACacheStoreDamagedOnInnerPagesIsSetAsideAtItsFirstUseAndFilesEverySearchAfter) {
  test::TempHome home;
  std::string path;
  {
    DataAppCacheDB db;
    db.begin();
    for (int i = 0; i < 200; ++i)
      ASSERT_TRUE(db.saveItemCache(HistoryType, "old" + std::to_string(i), *searchRecord(i)));
    db.commit();
    path = db.path();
  }
  writeRandomOverPages(path, {6, 7, 12, 13});

  DataAppCacheDB db;
  ASSERT_TRUE(db.isOpen());
  // Closed cleanly: the opening reads the header and the schema only.
  ASSERT_FALSE(db.damagedFileMovedTo().has_value());

  testing::internal::CaptureStderr();
  for (int n = 0; n < 10; ++n) EXPECT_TRUE(fileSearch(db, n)) << "search " << n;
  const std::string said = testing::internal::GetCapturedStderr();

  ASSERT_EQ(db.damagedFileMovedTo(), path + ".damaged");
  // Said here: the start that notes the stores does not say it again.
  EXPECT_TRUE(db.damageMoveSaid());
  EXPECT_TRUE(platform::FileManager::fileExistsAtPath(path + ".damaged"));
  EXPECT_EQ(occurrences(said, "store KavroCacheData.db was damaged: moved aside to " + path +
                                  ".damaged, starting with an empty one"),
            1u)
      << said;
  EXPECT_EQ(db.get_cell("PRAGMA integrity_check"), "ok");
  // Every search filed after the damage showed is there, newest first, and stays after a closing.
  auto history = db.getNewestItemCacheList(db.TABLE_BIN_VALUE(), HistoryType, 20);
  ASSERT_EQ(history->count(), 10u);
  EXPECT_EQ(history->getItem(0)->getString("keyword"), "java 9");
  db.close();
  DataAppCacheDB again;
  EXPECT_FALSE(again.damagedFileMovedTo().has_value());
  EXPECT_EQ(again.getNewestItemCacheList(again.TABLE_BIN_VALUE(), HistoryType, 20)->count(), 10u);
}

TEST(DataKavroDBDamageTest, ACoreStoreDamagedOnInnerPagesKeepsTheWriteThatFoundItAndItsTables) {
  test::TempHome home;
  std::string path;
  {
    DataAppCoreDB db;
    db.begin();
    for (int i = 0; i < 300; ++i) {
      ASSERT_GT(db.setIntValue("STORE_CORE_KAVRO_MAIN", "count" + std::to_string(i), i), 0);
      ASSERT_GT(db.setStrValue("STORE_CORE_USER_INFO", "name" + std::to_string(i), std::string(100, 'n')), 0);
    }
    db.commit();
    path = db.path();
  }
  writeRandomOverPages(path, {3, 4});

  DataAppCoreDB db;
  ASSERT_FALSE(db.damagedFileMovedTo().has_value());
  testing::internal::CaptureStderr();
  // The first write meets the damaged index: it is made again in the empty store.
  EXPECT_GT(db.setIntValue("STORE_CORE_KAVRO_MAIN", "count1", 7), 0);
  EXPECT_EQ(db.getIntValue("STORE_CORE_KAVRO_MAIN", "count1"), 7);
  EXPECT_GT(db.setStrValue("STORE_CORE_USER_INFO", "name1", "after"), 0);
  EXPECT_EQ(db.getStrValue("STORE_CORE_USER_INFO", "name1"), "after");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(occurrences(said, "store KavroCoreData.db was damaged"), 1u) << said;
  EXPECT_EQ(db.damagedFileMovedTo(), path + ".damaged");
  EXPECT_TRUE(db.hasTable(db.TABLE_USER_TRACE()));
  EXPECT_EQ(db.get_cell("PRAGMA integrity_check"), "ok");
}

TEST(DataKavroDBDamageTest, AReadThatMeetsDamageHasTheStoreReplacedBeforeTheNextWrite) {
  test::TempHome home;
  std::string path;
  {
    DataAppCacheDB db;
    for (int i = 0; i < 200; ++i)
      ASSERT_TRUE(db.saveItemCache(HistoryType, "old" + std::to_string(i), *searchRecord(i)));
    path = db.path();
  }
  writeRandomOverPages(path, {6});  // the root of the binary values

  DataAppCacheDB db;
  testing::internal::CaptureStderr();
  EXPECT_EQ(db.getItemCache(HistoryType, "old3"), nullptr);
  EXPECT_FALSE(db.damagedFileMovedTo().has_value());  // nothing in use was closed under a read
  EXPECT_GT(db.setStrValue("STORE_CACHE_EMAIL_SUFFIX", "k", "v"), 0);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(db.damagedFileMovedTo(), path + ".damaged");
  EXPECT_EQ(occurrences(said, "was damaged"), 1u) << said;
  EXPECT_EQ(db.getStrValue("STORE_CACHE_EMAIL_SUFFIX", "k"), "v");
}

TEST(DataKavroDBDamageTest, AWriteThatFindsNoRoomIsSaidOnceAndTheStoreStaysWhole) {
  test::TempHome home;
  DataAppCacheDB db;
  for (int i = 0; i < 20; ++i)
    ASSERT_TRUE(db.saveItemCache(HistoryType, "old" + std::to_string(i), *searchRecord(i)));
  // As a full disk: the store may not grow by a page.
  const std::string pages = db.get_cell("PRAGMA page_count").value_or("0");
  ASSERT_TRUE(db.execSQL("PRAGMA max_page_count=" + pages));

  testing::internal::CaptureStderr();
  int stored = 0;
  for (int n = 0; n < 10; ++n) {
    auto record = searchRecord(n, 3000);
    stored += db.saveItemCacheAsNewest(HistoryType, "search" + std::to_string(n), *record);
  }
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_LT(stored, 10);
  EXPECT_EQ(occurrences(said, "store KavroCacheData.db could not save: the disk is full"), 1u) << said;
  EXPECT_FALSE(db.damagedFileMovedTo().has_value());
  EXPECT_EQ(db.get_cell("PRAGMA integrity_check"), "ok");
  for (int i = 0; i < 20; ++i)
    EXPECT_NE(db.getItemCache(HistoryType, "old" + std::to_string(i)), nullptr) << i;

  // Room again: the next search is filed.
  ASSERT_TRUE(db.execSQL("PRAGMA max_page_count=1000000"));
  EXPECT_TRUE(db.saveItemCacheAsNewest(HistoryType, "search after", *searchRecord(11, 3000)));
  EXPECT_NE(db.getItemCache(HistoryType, "search after"), nullptr);
}

}  // namespace
}  // namespace kavro
