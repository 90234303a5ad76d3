#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kit/core/DataAppCacheDB.h"
#include "kit/core/DataAppCoreDB.h"
#include "kit/core/DataAppDictDB.h"
#include "kit/core/DataItemDetail.h"
#include "platform/foundation/FileManager.h"
#include "tests/support/FaultShim.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

using test::FaultShim;

const bool shimLoaded = FaultShim::rerunWithShim(KAVRO_FAULT_SHIM);

constexpr std::string_view HistoryType = "STORE_CACHE_JOBSEARCH_HISTORY";
constexpr int Values = 40;

std::shared_ptr<DataItemDetail> searchRecord(int n) {
  auto record = DataItemDetail::newDetail();
  record->setString("java " + std::to_string(n), "keyword");
  record->setString(std::string(300, 'p'), "padding");
  return record;
}

// Each store with what it holds: the login in the core store, saved searches in the cache store,
// a dictionary in the dictionary store.
struct Store {
  const char* file;
  std::function<std::unique_ptr<DataKavroDB>()> open;
  std::function<bool(DataKavroDB&, int)> write;
  std::function<bool(DataKavroDB&, int)> has;
};

const std::vector<Store>& stores() {
  static const std::vector<Store> all = {
      {"KavroCoreData.db", [] { return std::make_unique<DataAppCoreDB>(); },
       [](DataKavroDB& db, int n) {
         return db.setStrValue("STORE_CORE_USER_LOGIN", "login" + std::to_string(n),
                               "sealed" + std::to_string(n)) > 0;
       },
       [](DataKavroDB& db, int n) {
         return db.getStrValue("STORE_CORE_USER_LOGIN", "login" + std::to_string(n)) ==
                "sealed" + std::to_string(n);
       }},
      {"KavroCacheData.db", [] { return std::make_unique<DataAppCacheDB>(); },
       [](DataKavroDB& db, int n) {
         // Filed as the search form does: pruned and saved in one transaction.
         const bool batched = db.begin();
         db.keepItemsWithOnlyNewest(db.TABLE_BIN_VALUE(), HistoryType, 1000);
         bool saved = db.saveItemCacheAsNewest(HistoryType, "search" + std::to_string(n), *searchRecord(n));
         if (batched && !db.commit()) {
           db.rollback();
           saved = false;
         }
         return saved;
       },
       [](DataKavroDB& db, int n) {
         auto record = db.getItemCache(HistoryType, "search" + std::to_string(n));
         return record && record->getString("keyword") == "java " + std::to_string(n);
       }},
      {"KavroDictData.db", [] { return std::make_unique<DataAppDictDB>(); },
       [](DataKavroDB& db, int n) {
         return db.setStrValue("STORE_DICT_JOB_AREA", "area" + std::to_string(n),
                               "city" + std::to_string(n)) > 0;
       },
       [](DataKavroDB& db, int n) {
         return db.getStrValue("STORE_DICT_JOB_AREA", "area" + std::to_string(n)) ==
                "city" + std::to_string(n);
       }},
  };
  return all;
}

int countHeld(const Store& store, DataKavroDB& db, int from, int to) {
  int held = 0;
  for (int n = from; n < to; ++n) held += store.has(db, n);
  return held;
}

// Nothing in the data folder was set aside.
bool nothingSetAside(const std::string& folder) {
  for (const auto& name :
       platform::FileManager::contentsOfDirectoryAtPath(folder).value_or(std::vector<std::string>{}))
    if (name.find(".damaged") != std::string::npos || name.find(".lone") != std::string::npos) return false;
  return true;
}

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

std::string readFile(const std::string& path) {
  auto bytes = platform::FileManager::contentsAtPath(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Closes the store and puts its files back as a session that ended without closing left them: the
// commits since the last checkpoint in the log alone. Answers the log.
std::string closeAsACrashWould(DataSQLiteDB& db) {
  const std::string path = db.path(), file = readFile(path), log = readFile(path + "-wal");
  db.close();
  writeFile(path, file);
  writeFile(path + "-wal", log);
  platform::FileManager::removeItemAtPath(path + "-shm");
  return log;
}

// Counts the matching calls of one run of `use` with nothing failing.
long callsOf(const std::string& file, unsigned calls, const std::function<void()>& use) {
  FaultShim::arm({.path = file, .calls = calls, .skip = 1L << 30});
  use();
  const long n = FaultShim::matched();
  FaultShim::disarm();
  return n;
}

// A read of a store that fails, once, twice in a row or for good, at any point of opening it and
// reading all it holds, is a failed read: the store is neither set aside nor called damaged, the
// failure is said as an I/O error with the system's cause, never as a save, and once reads work
// everything is there.
TEST(StoreFaultTest, EveryReadOfEachStoreFailingIsAnIOErrorAndTheStoreIsKept) {
  ASSERT_TRUE(shimLoaded);
  for (const Store& store : stores()) {
    // As a session that closed the store left it, and as one that ended without closing: the last
    // half in the log alone, read back when the store opens.
    for (bool inLog : {false, true}) {
      const auto fill = [&] {
        auto db = store.open();
        ASSERT_TRUE(db->begin());
        for (int n = 0; n < Values; ++n) {
          ASSERT_TRUE(store.write(*db, n));
          if (inLog && n == Values / 2 - 1) {
            ASSERT_TRUE(db->commit());
            ASSERT_TRUE(db->execSQL("PRAGMA wal_checkpoint(TRUNCATE)"));
            ASSERT_TRUE(db->begin());
          }
        }
        ASSERT_TRUE(db->commit());
        if (!inLog) return;
        ASSERT_FALSE(closeAsACrashWould(*db).empty());
      };
      long reads = 0;
      {
        test::TempHome home;
        fill();
        // Opening and reading, not the closing that writes the log into the store.
        std::unique_ptr<DataKavroDB> db;
        reads = callsOf(store.file, FaultShim::Reads, [&] {
          db = store.open();
          countHeld(store, *db, 0, Values);
        });
      }
      ASSERT_GT(reads, 3) << store.file;
      // The disk's error, and a network disk's that timed out: SQLite takes the one for a damaged
      // page, the other for a failed read.
      for (int error : {EIO, ETIMEDOUT}) {
        for (long times : {1L, 2L, 0L}) {
          for (long skip = 0; skip < reads; ++skip) {
            SCOPED_TRACE(std::string(store.file) + (inLog ? " with a log," : "") + " read " +
                         std::to_string(skip) + " failing " +
                         (times ? std::to_string(times) + " times" : "for good") + " with " +
                         std::strerror(error));
            test::TempHome home;
            fill();
            testing::internal::CaptureStderr();
            FaultShim::arm({.path = store.file,
                            .calls = FaultShim::Reads,
                            .skip = skip,
                            .times = times,
                            .error = error});
            auto db = store.open();
            const int held = countHeld(store, *db, 0, Values);
            const long failed = FaultShim::failed();
            FaultShim::disarm();
            // A second use, reads working again: the same object, if it opened, and the next start.
            const int heldAfter = db->isOpen() ? countHeld(store, *db, 0, Values) : Values;
            const std::string said = testing::internal::GetCapturedStderr();
            const std::string path = db->path();
            db.reset();
            auto next = store.open();

            EXPECT_GT(failed, 0);
            EXPECT_EQ(said.find("damaged"), std::string::npos) << said;
            EXPECT_NE(said.find("could not read: an I/O error (" + std::string(std::strerror(error)) + ")"),
                      std::string::npos)
                << said;
            EXPECT_EQ(said.find("could not save"), std::string::npos) << said;
            EXPECT_FALSE(next->damagedFileMovedTo().has_value());
            EXPECT_TRUE(nothingSetAside(folderOf(path)));
            EXPECT_LE(held, Values);
            EXPECT_EQ(heldAfter, Values);
            EXPECT_EQ(countHeld(store, *next, 0, Values), Values);
            EXPECT_EQ(next->get_cell("PRAGMA integrity_check"), "ok");
            if (testing::Test::HasFailure()) return;
          }
        }
      }
    }
  }
}

// A write of a store that fails (an I/O error or a full disk), once, twice or for good, at any point
// of a series of writes: the store is kept whole, what it held stays, the failure is said once by
// its cause, never as damage nor as a loss, and every write reported made is there, also after a
// new start.
void checkEveryWriteFailing(const Store& store) {
  ASSERT_TRUE(shimLoaded);
  constexpr int Old = 5;
  constexpr int New = 8;
  const unsigned calls = FaultShim::Writes | FaultShim::Syncs;
  {
    const auto fill = [&] {
      auto db = store.open();
      for (int n = 0; n < Old; ++n) ASSERT_TRUE(store.write(*db, n));
    };
    long writes = 0;
    {
      test::TempHome home;
      fill();
      auto db = store.open();
      writes = callsOf(store.file, calls, [&] {
        for (int n = Old; n < Old + New; ++n) store.write(*db, n);
      });
    }
    ASSERT_GT(writes, New) << store.file;
    for (int error : {EIO, ENOSPC}) {
      for (long times : {1L, 2L, 0L}) {
        // Every write failing once with an I/O error; the other ways at every fourth.
        const long step = error == EIO && times == 1 ? 1 : 4;
        for (long skip = 0; skip < writes; skip += step) {
          SCOPED_TRACE(std::string(store.file) + " write " + std::to_string(skip) + " failing " +
                       (times ? std::to_string(times) + " times" : "for good") + " with " +
                       std::strerror(error));
          test::TempHome home;
          fill();
          auto db = store.open();
          testing::internal::CaptureStderr();
          FaultShim::arm({.path = store.file, .calls = calls, .skip = skip, .times = times, .error = error});
          std::vector<bool> made;
          for (int n = Old; n < Old + New; ++n) made.push_back(store.write(*db, n));
          // The same values written again: those made before are filed still, whatever fails now.
          for (int n = Old; n < Old + New; ++n) made[n - Old] = store.write(*db, n) || made[n - Old];
          const long failed = FaultShim::failed();
          FaultShim::disarm();
          const std::string said = testing::internal::GetCapturedStderr();

          EXPECT_GT(failed, 0);
          EXPECT_EQ(said.find("damaged"), std::string::npos) << said;
          EXPECT_EQ(said.find("lost"), std::string::npos) << said;
          const std::string cause = error == ENOSPC ? "the disk is full" : "an I/O error";
          int unmade = 0;
          for (bool m : made) unmade += !m;
          if (unmade > 0) {
            EXPECT_NE(said.find("could not save: " + cause), std::string::npos) << said;
          }
          EXPECT_EQ(countHeld(store, *db, 0, Old), Old);
          for (int n = Old; n < Old + New; ++n)
            if (made[n - Old]) {
              EXPECT_TRUE(store.has(*db, n)) << n;
            }
          // Writes work again, and everything is there at the next start.
          EXPECT_TRUE(store.write(*db, 99));
          const std::string path = db->path();
          db.reset();
          auto next = store.open();
          EXPECT_FALSE(next->damagedFileMovedTo().has_value());
          EXPECT_TRUE(nothingSetAside(folderOf(path)));
          EXPECT_EQ(next->get_cell("PRAGMA integrity_check"), "ok");
          EXPECT_EQ(countHeld(store, *next, 0, Old), Old);
          for (int n = Old; n < Old + New; ++n)
            if (made[n - Old]) {
              EXPECT_TRUE(store.has(*next, n)) << n;
            }
          EXPECT_TRUE(store.has(*next, 99));
          if (testing::Test::HasFailure()) return;
        }
      }
    }
  }
}

TEST(StoreFaultTest, EveryWriteOfTheCoreStoreFailingLeavesItWholeAndSaysWhatHappened) {
  checkEveryWriteFailing(stores()[0]);
}

TEST(StoreFaultTest, EveryWriteOfTheCacheStoreFailingLeavesItWholeAndSaysWhatHappened) {
  checkEveryWriteFailing(stores()[1]);
}

TEST(StoreFaultTest, EveryWriteOfTheDictionaryStoreFailingLeavesItWholeAndSaysWhatHappened) {
  checkEveryWriteFailing(stores()[2]);
}

// Saved searches in the store at `path` (with its log beside it), read without the application.
int searchesIn(const std::string& path) {
  sqlite3* db = nullptr;
  int n = -1;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(
            db,
            "select count(*) from DATA_BIN_VALUE where DATA_TYPE='STORE_CACHE_JOBSEARCH_HISTORY' "
            "and DATA_KEY like 'item.search%'",
            -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
      n = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return n;
}

// A session that ended without closing the store, leaving 8 saved searches in its log only, on a
// store damaged in a page of other values: the next start sets it aside. Killed at any of the
// renames of that setting aside, the start after finds the store with the log that holds the 8
// searches, side by side, and tells the store was set aside.
TEST(StoreFaultTest, AStartKilledWhileSettingAStoreAsideLosesNoCommitOfItsLog) {
  ASSERT_TRUE(shimLoaded);
  for (long rename = 0; rename < 3; ++rename) {
    SCOPED_TRACE("killed at rename " + std::to_string(rename));
    test::TempHome home;
    std::string path;
    std::string crashedStore;
    std::string crashedLog;
    {
      DataAppCacheDB db;
      path = db.path();
      for (int n = 0; n < 300; ++n)
        ASSERT_GT(db.setStrValue("STORE_CACHE_EMAIL_SUFFIX", "k" + std::to_string(n), std::string(200, 'v')),
                  0);
      ASSERT_TRUE(db.execSQL("PRAGMA wal_checkpoint(TRUNCATE)"));
      for (int n = 0; n < 8; ++n) ASSERT_TRUE(stores()[1].write(db, n));
      // The files as a crash would leave them: the searches in the log alone.
      crashedStore = readFile(path);
      crashedLog = readFile(path + "-wal");
    }
    ASSERT_FALSE(crashedLog.empty());
    platform::FileManager::removeItemAtPath(path + "-shm");
    // Random bytes over a page of the string values, far from the searches.
    std::mt19937 random(65);
    for (std::size_t i = 4096 * 14; i < 4096 * 15; ++i) crashedStore[i] = static_cast<char>(random() & 0xff);
    writeFile(path, crashedStore);
    writeFile(path + "-wal", crashedLog);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      FaultShim::arm(
          {.path = "KavroCacheData.db", .calls = FaultShim::Renames, .skip = rename, .kill = true});
      DataAppCacheDB db;
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the start made fewer renames";

    // Said by the start, as any store set aside at opening.
    DataAppCacheDB db;
    ASSERT_EQ(db.damagedFileMovedTo(), path + ".damaged");
    EXPECT_EQ(searchesIn(path + ".damaged"), 8);
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(path + ".lone-wal"));
    // The new store is empty, and whole.
    EXPECT_EQ(countHeld(stores()[1], db, 0, 8), 0);
    EXPECT_EQ(db.get_cell("PRAGMA integrity_check"), "ok");
  }
}

// A log found without its store (removed, or moved by a setting aside an older version cut short)
// is not taken by the empty store made in its place: it is kept, as it was, and said.
TEST(StoreFaultTest, ALogFoundWithoutItsStoreIsKeptAndSaid) {
  test::TempHome home;
  std::string path;
  std::string log;
  {
    DataAppCacheDB db;
    path = db.path();
    ASSERT_TRUE(db.execSQL("PRAGMA wal_checkpoint(TRUNCATE)"));
    for (int n = 0; n < 8; ++n) ASSERT_TRUE(stores()[1].write(db, n));
    log = readFile(path + "-wal");
  }
  ASSERT_FALSE(log.empty());
  platform::FileManager::removeItemAtPath(path);
  platform::FileManager::removeItemAtPath(path + "-shm");
  writeFile(path + "-wal", log);

  testing::internal::CaptureStderr();
  DataAppCacheDB db;
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("store KavroCacheData.db found its journals without the store: kept as " + path +
                      ".lone-wal"),
            std::string::npos)
      << said;
  EXPECT_EQ(readFile(path + ".lone-wal"), log);
  EXPECT_TRUE(db.isOpen());
  EXPECT_EQ(countHeld(stores()[1], db, 0, 8), 0);
  EXPECT_TRUE(stores()[1].write(db, 1));
  EXPECT_EQ(db.get_cell("PRAGMA integrity_check"), "ok");
}

// A set-aside store's log found without its store (the store removed by hand and not its log, or a
// tool that opened it) was taken for a setting aside cut short: the healthy store went aside, the
// session started empty, and the store's own log was moved apart from it. Strays are kept and said
// once, and the store in place opens with its own log, the commits it alone holds included.
TEST(StoreFaultTest, StrayLogsBesideAStoreNeverSetItAside) {
  for (const char* side : {"-wal", "-shm"}) {
    SCOPED_TRACE(side);
    test::TempHome home;
    std::string path;
    std::string log;
    {
      DataAppCacheDB db;
      path = db.path();
      for (int n = 0; n < 4; ++n) ASSERT_TRUE(stores()[1].write(db, n));
      ASSERT_TRUE(db.execSQL("PRAGMA wal_checkpoint(TRUNCATE)"));
      for (int n = 4; n < 8; ++n) ASSERT_TRUE(stores()[1].write(db, n));
      // Left as a session that ended without closing: the last 4 searches in the log alone.
      log = closeAsACrashWould(db);
    }
    ASSERT_FALSE(log.empty());
    writeFile(path + ".damaged" + side, "stray");

    testing::internal::CaptureStderr();
    DataAppCacheDB db;
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(db.damagedFileMovedTo().has_value());
    EXPECT_EQ(said,
              "kavro: store KavroCacheData.db found " + path +
                  ".damaged-wal (or its other journals) without the store set aside with them: kept as they "
                  "are; the store in place opens with its own log\n");
    EXPECT_EQ(countHeld(stores()[1], db, 0, 8), 8);
    EXPECT_EQ(readFile(path + ".damaged" + side), "stray");
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(path + ".damaged"));
    EXPECT_FALSE(platform::FileManager::fileExistsAtPath(path + ".lone-wal"));
    EXPECT_EQ(db.get_cell("PRAGMA integrity_check"), "ok");
  }
}

// A store that opens while the disk refuses every write is said as a write that failed, with the
// disk's cause, not as a read.
TEST(StoreFaultTest, AWriteRefusedWhileAStoreOpensIsSaidAsAWrite) {
  ASSERT_TRUE(shimLoaded);
  test::TempHome home;
  {
    DataAppCacheDB db;
    ASSERT_TRUE(stores()[1].write(db, 1));
  }
  testing::internal::CaptureStderr();
  FaultShim::arm({.path = "KavroCacheData.db", .calls = FaultShim::Writes, .times = 0, .error = ENOSPC});
  {
    DataAppCacheDB db;
    stores()[1].write(db, 2);
  }
  FaultShim::disarm();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("store KavroCacheData.db could not save: the disk is full"), std::string::npos) << said;
  EXPECT_EQ(said.find("could not read"), std::string::npos) << said;
  EXPECT_EQ(said.find("damaged"), std::string::npos) << said;
}

}  // namespace
}  // namespace kavro
