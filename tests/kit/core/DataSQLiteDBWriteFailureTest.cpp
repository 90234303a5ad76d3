#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "kit/core/DataAppCacheDB.h"
#include "kit/core/DataItemDetail.h"
#include "kit/core/DataSQLiteDB.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

// A VFS over the default one whose writes (or shared-memory mappings) fail on demand, with the
// code and the system error a real disk gives: a full disk, an I/O error, a read-only file system.
class FaultyDisk {
 public:
  enum class Fails { Nothing, Writes, SharedMemory };

  FaultyDisk() {
    real_ = sqlite3_vfs_find(nullptr);
    vfs_ = *real_;
    vfs_.zName = "kavro-faulty-disk";
    vfs_.szOsFile = static_cast<int>(sizeof(File)) + real_->szOsFile;
    vfs_.pAppData = this;
    vfs_.xOpen = &FaultyDisk::open;
    vfs_.xGetLastError = &FaultyDisk::lastError;
    sqlite3_vfs_register(&vfs_, 1);
  }
  ~FaultyDisk() {
    sqlite3_vfs_unregister(&vfs_);
    sqlite3_vfs_register(real_, 1);
  }
  FaultyDisk(const FaultyDisk&) = delete;
  FaultyDisk& operator=(const FaultyDisk&) = delete;

  // From now on every write (or mapping of the shared memory) fails with code and errno.
  void fail(Fails what, int code, int systemError) {
    fails_ = what;
    code_ = code;
    systemError_ = systemError;
  }
  void heal() {
    fails_ = Fails::Nothing;
    lastSystemError_ = 0;
  }
  int failures() const { return failures_; }

 private:
  struct File {
    sqlite3_file base;
    FaultyDisk* disk;
    sqlite3_file* real;
    sqlite3_io_methods methods;
  };

  static FaultyDisk& of(sqlite3_file* f) { return *reinterpret_cast<File*>(f)->disk; }
  static sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

  int failing(Fails what) {
    if (fails_ != what) return SQLITE_OK;
    ++failures_;
    errno = systemError_;
    lastSystemError_ = systemError_;
    return code_;
  }

  static int open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    auto* disk = static_cast<FaultyDisk*>(vfs->pAppData);
    auto* f = reinterpret_cast<File*>(file);
    std::memset(f, 0, sizeof(File));
    f->disk = disk;
    f->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + sizeof(File));
    int rc = disk->real_->xOpen(disk->real_, name, f->real, flags, outFlags);
    if (rc != SQLITE_OK || !f->real->pMethods) {
      f->base.pMethods = nullptr;
      return rc;
    }
    f->methods = *f->real->pMethods;
    f->methods.xClose = [](sqlite3_file* x) { return real(x)->pMethods->xClose(real(x)); };
    f->methods.xRead = [](sqlite3_file* x, void* b, int n, sqlite3_int64 at) {
      return real(x)->pMethods->xRead(real(x), b, n, at);
    };
    f->methods.xWrite = [](sqlite3_file* x, const void* b, int n, sqlite3_int64 at) {
      if (int rc = of(x).failing(Fails::Writes)) return rc;
      return real(x)->pMethods->xWrite(real(x), b, n, at);
    };
    f->methods.xTruncate = [](sqlite3_file* x, sqlite3_int64 size) {
      if (int rc = of(x).failing(Fails::Writes)) return rc;
      return real(x)->pMethods->xTruncate(real(x), size);
    };
    f->methods.xSync = [](sqlite3_file* x, int flags) { return real(x)->pMethods->xSync(real(x), flags); };
    f->methods.xFileSize = [](sqlite3_file* x, sqlite3_int64* size) {
      return real(x)->pMethods->xFileSize(real(x), size);
    };
    f->methods.xLock = [](sqlite3_file* x, int l) { return real(x)->pMethods->xLock(real(x), l); };
    f->methods.xUnlock = [](sqlite3_file* x, int l) { return real(x)->pMethods->xUnlock(real(x), l); };
    f->methods.xCheckReservedLock = [](sqlite3_file* x, int* out) {
      return real(x)->pMethods->xCheckReservedLock(real(x), out);
    };
    f->methods.xFileControl = [](sqlite3_file* x, int op, void* arg) {
      return real(x)->pMethods->xFileControl(real(x), op, arg);
    };
    f->methods.xSectorSize = [](sqlite3_file* x) { return real(x)->pMethods->xSectorSize(real(x)); };
    f->methods.xDeviceCharacteristics = [](sqlite3_file* x) {
      return real(x)->pMethods->xDeviceCharacteristics(real(x));
    };
    if (f->methods.iVersion >= 2) {
      f->methods.xShmMap = [](sqlite3_file* x, int page, int size, int extend, void volatile** p) {
        if (int rc = of(x).failing(Fails::SharedMemory)) return rc;
        return real(x)->pMethods->xShmMap(real(x), page, size, extend, p);
      };
      f->methods.xShmLock = [](sqlite3_file* x, int o, int n, int fl) {
        return real(x)->pMethods->xShmLock(real(x), o, n, fl);
      };
      f->methods.xShmBarrier = [](sqlite3_file* x) { real(x)->pMethods->xShmBarrier(real(x)); };
      f->methods.xShmUnmap = [](sqlite3_file* x, int del) {
        return real(x)->pMethods->xShmUnmap(real(x), del);
      };
    }
    if (f->methods.iVersion >= 3) {
      f->methods.xFetch = [](sqlite3_file* x, sqlite3_int64 at, int n, void** p) {
        return real(x)->pMethods->xFetch(real(x), at, n, p);
      };
      f->methods.xUnfetch = [](sqlite3_file* x, sqlite3_int64 at, void* p) {
        return real(x)->pMethods->xUnfetch(real(x), at, p);
      };
    }
    f->base.pMethods = &f->methods;
    return SQLITE_OK;
  }

  static int lastError(sqlite3_vfs* vfs, int, char*) {
    auto* disk = static_cast<FaultyDisk*>(vfs->pAppData);
    return disk->lastSystemError_ ? disk->lastSystemError_ : errno;
  }

  sqlite3_vfs* real_ = nullptr;
  sqlite3_vfs vfs_{};
  Fails fails_ = Fails::Nothing;
  int code_ = SQLITE_OK;
  int systemError_ = 0;
  int lastSystemError_ = 0;
  int failures_ = 0;
};

constexpr std::string_view HistoryType = "STORE_CACHE_JOBSEARCH_HISTORY";

std::shared_ptr<DataItemDetail> searchRecord(const std::string& keyword) {
  auto record = DataItemDetail::newDetail();
  record->setString(keyword, "keyword");
  record->setString("020000", "jobarea");
  return record;
}

// Files a search as the search form does: one transaction, rolled back when the commit fails.
bool fileSearch(DataKavroDB& db, const std::string& keyword) {
  const bool batched = db.begin();
  db.keepItemsWithOnlyNewest(db.TABLE_BIN_VALUE(), HistoryType, 1000);
  bool saved = db.saveItemCacheAsNewest(HistoryType, keyword, *searchRecord(keyword));
  if (batched && !db.commit()) {
    db.rollback();
    saved = false;
  }
  return saved;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

struct Case {
  const char* name;
  FaultyDisk::Fails fails;
  int code;
  int systemError;
  const char* said;
};

// Whatever SQLite's code for a write the disk refused, the person is told once, in words that name
// the cause, and every search filed before is still there, the store whole.
TEST(DataSQLiteDBWriteFailureTest, EveryRefusedWriteIsSaidOnceByItsCauseAndLosesNothingStored) {
  const Case cases[] = {
      {"full", FaultyDisk::Fails::Writes, SQLITE_FULL, ENOSPC, "could not save: the disk is full"},
      // A full disk met first by the shared memory of a store whose -shm file is gone.
      {"shm", FaultyDisk::Fails::SharedMemory, SQLITE_IOERR_SHMSIZE, ENOSPC,
       "could not save: the disk is full"},
      // SQLite does not pass the system's error of a failed write on: the cause is the code's.
      {"write", FaultyDisk::Fails::Writes, SQLITE_IOERR_WRITE, EIO, "could not save: an I/O error;"},
      {"fsync", FaultyDisk::Fails::Writes, SQLITE_IOERR_FSYNC, EIO, "could not save: an I/O error;"},
      {"shm io", FaultyDisk::Fails::SharedMemory, SQLITE_IOERR_SHMSIZE, EIO,
       "could not save: an I/O error (Input/output error)"},
      {"readonly code", FaultyDisk::Fails::Writes, SQLITE_READONLY, 0,
       "could not save: the store is read-only"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempHome home;
    {
      DataAppCacheDB db;
      for (int i = 0; i < 5; ++i) ASSERT_TRUE(fileSearch(db, "old" + std::to_string(i)));
    }
    // A clean closing removed the -shm file: the next opening maps the shared memory anew.
    FaultyDisk disk;
    testing::internal::CaptureStderr();
    if (c.fails == FaultyDisk::Fails::SharedMemory) disk.fail(c.fails, c.code, c.systemError);
    DataAppCacheDB db;
    disk.fail(c.fails, c.code, c.systemError);
    int filed = 0;
    for (int n = 0; n < 3; ++n) filed += fileSearch(db, "lost" + std::to_string(n));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_GT(disk.failures(), 0);
    EXPECT_EQ(filed, 0);
    EXPECT_EQ(occurrences(said, "store KavroCacheData.db " + std::string(c.said)), 1u) << said;
    EXPECT_EQ(occurrences(said, "store KavroCacheData.db could not save"), 1u) << said;
    EXPECT_FALSE(db.damagedFileMovedTo().has_value());

    disk.heal();
    EXPECT_EQ(db.get_cell("PRAGMA integrity_check"), "ok");
    for (int i = 0; i < 5; ++i)
      EXPECT_NE(db.getItemCache(HistoryType, "old" + std::to_string(i)), nullptr) << i;
    for (int n = 0; n < 3; ++n)
      EXPECT_EQ(db.getItemCache(HistoryType, "lost" + std::to_string(n)), nullptr) << n;
    // The disk has room again: the next search is filed.
    EXPECT_TRUE(fileSearch(db, "after"));
    EXPECT_NE(db.getItemCache(HistoryType, "after"), nullptr);
  }
}

// A statement's own fault (a constraint, a missing table) loses nothing the store was asked to keep
// and is the caller's to handle: nothing is said.
TEST(DataSQLiteDBWriteFailureTest, AStatementsOwnFaultIsNotSaidAsALostWrite) {
  test::TempHome home;
  DataSQLiteDB db("faults.db");
  ASSERT_TRUE(db.execSQL("CREATE TABLE t(ID INTEGER PRIMARY KEY, NAME TEXT UNIQUE)"));
  ASSERT_TRUE(db.execSQL("insert into t(NAME) values (?)", {platform::Value("a")}));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(db.execSQL("insert into t(NAME) values (?)", {platform::Value("a")}));
  EXPECT_FALSE(db.execSQL("insert into missing(NAME) values (?)", {platform::Value("a")}));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace kavro
