#include "kit/core/DataSQLiteDB.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <utility>

#include "kit/core/DataItemResult.h"
#include "kit/core/FSManager.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

namespace {

// Statements the operations build come in few shapes; past this many, new ones are not kept.
constexpr std::size_t MaxKeptStatements = 128;
// How long a store waits for another process's transaction to end before a call fails as busy.
constexpr int StoreBusyWaitMs = 5000;

// Before the first handle: SQLite's count of the memory it holds takes a global lock on every
// allocation, and nothing here reads it. A process that started SQLite earlier keeps its settings.
void configureSQLite() {
  static const bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
  (void)configured;
}

std::string columnText(sqlite3_stmt* stmt, int column) {
  const unsigned char* text = sqlite3_column_text(stmt, column);
  if (!text) return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
}

SqlRow readRow(sqlite3_stmt* stmt, const std::vector<std::string>& names) {
  auto row = platform::MutableDictionary::create();
  for (int i = 0; i < static_cast<int>(names.size()); ++i)
    row->setObject(platform::Value(columnText(stmt, i)), names[i]);
  return row;
}

std::vector<std::string> columnNames(sqlite3_stmt* stmt) {
  std::vector<std::string> names;
  int n = sqlite3_column_count(stmt);
  names.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(stmt, i);
    names.emplace_back(name ? name : "");
  }
  return names;
}

// Open handles per store file in this process: a log left by one of them is no sign of an unclean end.
platform::Mutex handlesMutex;
std::map<std::string, int>& openHandles() REQUIRES(handlesMutex) {
  static auto* handles = new std::map<std::string, int>();
  return *handles;
}

bool heldInThisProcess(const std::string& path) {
  platform::MutexLock lock(handlesMutex);
  auto it = openHandles().find(path);
  return it != openHandles().end() && it->second > 0;
}

void holdHandle(const std::string& path) {
  platform::MutexLock lock(handlesMutex);
  ++openHandles()[path];
}

void releaseHandle(const std::string& path) {
  platform::MutexLock lock(handlesMutex);
  auto it = openHandles().find(path);
  if (it == openHandles().end() || --it->second > 0) return;
  openHandles().erase(it);
}

// The size of the store's write-ahead log, 0 when there is none.
std::uint64_t logSize(const std::string& path) {
  struct stat st {};
  return ::stat((path + "-wal").c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

std::uint32_t bigEndian(const unsigned char* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

// A statement whose text starts with "select": it reads and writes nothing.
bool isSelect(std::string_view sql) {
  const auto start = sql.find_first_not_of(" \t\r\n(");
  if (start == std::string_view::npos || sql.size() - start < 6) return false;
  for (std::size_t i = 0; i < 6; ++i)
    if (std::tolower(static_cast<unsigned char>(sql[start + i])) != "select"[i]) return false;
  return true;
}

// Said where the runner and the person running it see it.
void say(const std::string& note) { std::fprintf(stderr, "kavro: %s\n", note.c_str()); }

// The cause of a failed statement in a person's words, or "" for a fault of the statement itself
// (its text, its values, a constraint): those lose nothing the store was asked to keep. The same
// full disk comes as SQLITE_FULL, or as an I/O error on the log or its shared memory with the
// system's "no space" underneath; a read-only file system as SQLITE_READONLY or as an I/O error.
std::string failureCause(int rc, int lastSystemError) {
  const int code = rc & 0xff;
  // SQLite keeps the system's error of the last I/O failure only: another code's is stale.
  const int systemError = code == SQLITE_IOERR || code == SQLITE_CANTOPEN ? lastSystemError : 0;
  if (code == SQLITE_FULL || systemError == ENOSPC || systemError == EDQUOT) return "the disk is full";
  if (code == SQLITE_READONLY || code == SQLITE_PERM || systemError == EROFS || systemError == EACCES ||
      systemError == EPERM)
    return "the store is read-only";
  switch (code) {
    case SQLITE_IOERR:
      return "an I/O error" + (systemError ? " (" + std::string(std::strerror(systemError)) + ")" : "");
    case SQLITE_CANTOPEN:
      return "its files cannot be opened" +
             (systemError ? " (" + std::string(std::strerror(systemError)) + ")" : "");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "another program holds it";
    case SQLITE_NOMEM:
      return "the memory is exhausted";
    case SQLITE_PROTOCOL:
      return "its lock could not be taken";
    default:
      return "";
  }
}

// A full disk or a read-only one refuses writes only: what failed while the store opened was a
// write (its log's shared memory, or the log made anew), not a read.
bool isWriteCause(const std::string& cause) {
  return cause == "the disk is full" || cause == "the store is read-only";
}

// The system's error of the last call that failed on the store's file or its log through this
// handle; 0 when none did.
int fileError(sqlite3* db) {
  int error = 0;
  sqlite3_file_control(db, "main", SQLITE_FCNTL_LAST_ERRNO, &error);
  if (error) return error;
  sqlite3_file* journal = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &journal) == SQLITE_OK && journal &&
      journal->pMethods)
    journal->pMethods->xFileControl(journal, SQLITE_FCNTL_LAST_ERRNO, &error);
  return error;
}

// A store's journals, moved with it: the log first, whose commits the store lacks.
constexpr const char* JournalSides[] = {"-wal", "-journal", "-shm"};
constexpr int MaxAsideNames = 1000;
// Beside a setting aside's target while its files move: journals found aside without their store
// belong to the store in place only under this mark.
constexpr const char* MovingMark = ".moving";

// path + kind, then path + kind + "-1", "-2", ...
std::string asideName(const std::string& path, std::string_view kind, int n) {
  std::string name = path;
  name += kind;
  if (n > 0) name += "-" + std::to_string(n);
  return name;
}

void appendClause(std::string& sql, std::string_view keyword, std::optional<std::string_view> clause) {
  if (!clause) return;
  sql += keyword;
  sql += *clause;
}

}  // namespace

// ---- Statement guard ----

DataSQLiteDB::Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)),
      kept_(std::exchange(other.kept_, nullptr)),
      owner_(std::exchange(other.owner_, nullptr)),
      store_(std::exchange(other.store_, nullptr)) {}

DataSQLiteDB::Statement& DataSQLiteDB::Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    release();
    stmt_ = std::exchange(other.stmt_, nullptr);
    kept_ = std::exchange(other.kept_, nullptr);
    owner_ = std::exchange(other.owner_, nullptr);
    store_ = std::exchange(other.store_, nullptr);
  }
  return *this;
}

void DataSQLiteDB::Statement::releaseOther() {
  if (!kept_) return finalize();
  if (owner_ && !kept_->counted && kept_->epoch == owner_->schemaEpoch_)
    owner_->toldRows(kept_->writes, owner_->totalChanges() - kept_->changesBefore);
  const int rc = sqlite3_reset(stmt_);
  if (rc != SQLITE_OK && store_) store_->noteFailure(rc, writes(stmt_));
  // Text and bytes bound without a copy must not outlive the use, unless the next use binds over them.
  if (!kept_->keepsBindings) sqlite3_clear_bindings(stmt_);
  kept_->busy = false;
  stmt_ = nullptr;
  kept_ = nullptr;
  owner_ = nullptr;
}

void DataSQLiteDB::Statement::finalize() {
  const bool writing = writes(stmt_);
  const int rc = sqlite3_finalize(stmt_);
  stmt_ = nullptr;
  if (rc != SQLITE_OK && store_) store_->noteFailure(rc, writing);
}

// ---- Opening ----

DataSQLiteDB::DataSQLiteDB(std::string_view name) : name_(name) { open(); }

DataSQLiteDB::~DataSQLiteDB() { close(); }

DataSQLiteDB::ChangeStamp DataSQLiteDB::tableChangeStamp(std::string_view table) const {
  ChangeStamp stamp;
  stamp.rollbacks = rollbacks_;
  // Changes counted by SQLite but never told by the statements that made them.
  stamp.untold = (db_ ? static_cast<std::int64_t>(sqlite3_total_changes64(db_)) : 0) - toldChanges_;
  for (const auto& [name, rows] : tableChanges_) {
    if (name == table) stamp.rows = rows;
  }
  return stamp;
}

void DataSQLiteDB::open() {
  auto path = name_.empty() ? std::nullopt : FSManager::getDbFullPath(name_);
  if (!path) {
    errorMessage_ = "Open db " + name_ + " Error!";
    return;
  }
  path_ = *path;
  keepLoneJournals();
  // A file is set aside only when two looks in a row read it and found it wrong; a read that
  // fails is tried again, and a store that stays unreadable is left as it is.
  bool damagedBefore = false;
  bool movedAside = false;
  int unreadable = 0;
  std::string cause;
  for (int attempt = 0; attempt < 6 && unreadable < 3; ++attempt) {
    FileHead head = readFileHead();
    configureSQLite();
    Verdict verdict = Verdict::Unreadable;
    // One handle per store, used by the main thread alone: SQLite's own lock around every call on
    // it is not needed.
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
      // SQLite reads the header as it opens: a failed read is no reason to give the store up yet.
      const bool io = (sqlite3_errcode(db_) & 0xff) == SQLITE_IOERR || head.readError != 0;
      if (io) cause = readFailureCause(head);
      sqlite3_close(db_);
      db_ = nullptr;
      if (!io) break;
    } else {
      // Another process on the same home (runs side by side) holds the store's lock only for a
      // transaction: waiting for it beats failing the write.
      sqlite3_busy_timeout(db_, StoreBusyWaitMs);
      // A clean closing empties the log; one still holding commits, with no handle of this process
      // on the store, was left by a session that crashed or lost power.
      const std::uint64_t logged = logSize(path_);
      const bool unclean = logged > 0 && !heldInThisProcess(path_);
      verdict = checkHeader(head, logged > 0);
      if (verdict == Verdict::Whole && unclean) verdict = checkPages(db_);
      if (verdict == Verdict::Whole) {
        if (unreadable > 0) sayFailure(cause, isWriteCause(cause), "it was read again and kept");
        configureHandle(head.inLogMode);
        return;
      }
      if (verdict == Verdict::Unreadable) {
        cause = readFailureCause(head);
        if (unreadable == 2) {
          // Kept open as it is: every use tries again and says what fails.
          sayFailure(cause, isWriteCause(cause), "it is kept as it is and tried again at each use");
          configureHandle(head.inLogMode);
          return;
        }
      }
      // What the log holds stays in it: a damaged file is not written, and its log goes aside with it.
      sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
      sqlite3_close(db_);
      db_ = nullptr;
    }
    schemaAtOpen_.clear();
    if (verdict == Verdict::Unreadable) {
      ++unreadable;
      damagedBefore = false;
      continue;
    }
    if (!damagedBefore) {
      damagedBefore = true;  // read it all again before judging
      continue;
    }
    damagedBefore = false;
    if (movedAside || !moveDamagedFileAside()) break;
    movedAside = true;
  }
  errorMessage_ = "Open db " + name_ + " Error!";
  if (unreadable > 0 && !movedAside)
    sayFailure(cause, isWriteCause(cause), "it is kept as it is, and the session runs without it");
}

std::string DataSQLiteDB::readFailureCause(const FileHead& head) const {
  if (head.readError) return failureCause(SQLITE_IOERR_READ, head.readError);
  if (!db_) return failureCause(SQLITE_IOERR_READ, 0);
  int rc = sqlite3_extended_errcode(db_);
  const int code = rc & 0xff;
  // A page that could not be read comes as corrupt.
  if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB || code == SQLITE_OK) rc = SQLITE_IOERR_READ;
  int systemError = sqlite3_system_errno(db_);
  if (systemError == 0) systemError = fileError(db_);
  return failureCause(rc, systemError);
}

void DataSQLiteDB::configureHandle(bool inLogMode) {
  // The log and its mode persist in the file (so a file already in the log's mode needs no
  // switch); the sync level is per handle. The log file stays between sessions (emptied at the
  // closing) rather than being made anew by every start's first write.
  int persist = 1;
  sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
  sqlite3_exec(db_,
               inLogMode ? "PRAGMA synchronous=NORMAL; PRAGMA journal_size_limit=4194304"
                         : "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                           "PRAGMA journal_size_limit=4194304",
               nullptr, nullptr, nullptr);
  sqlite3_commit_hook(
      db_,
      [](void* self) {
        ++static_cast<DataSQLiteDB*>(self)->commits_;
        return 0;
      },
      this);
  // Which tables a statement writes is learnt once, as it is prepared: the rows it changes
  // are told to them when a use ends, rather than SQLite calling back for every row.
  sqlite3_set_authorizer(
      db_,
      [](void* self, int action, const char* table, const char*, const char*, const char* trigger) {
        auto* db = static_cast<DataSQLiteDB*>(self);
        auto* written = db->collecting_;
        const bool writes = action == SQLITE_INSERT || action == SQLITE_UPDATE || action == SQLITE_DELETE;
        // Prepared again by SQLite itself, after a schema change: a trigger added since writes
        // tables the kept statement was not learnt to write.
        if (!written && writes && trigger) ++db->schemaEpoch_;
        if (written && table && writes) {
          bool known = false;
          for (const auto& name : *written) known = known || name == table;
          if (!known) written->emplace_back(table);
        }
        return SQLITE_OK;
      },
      this);
  sqlite3_rollback_hook(
      db_, [](void* self) { ++static_cast<DataSQLiteDB*>(self)->rollbacks_; }, this);
  holdHandle(path_);
  holdsHandle_ = true;
}

DataSQLiteDB::FileHead DataSQLiteDB::readFileHead() {
  FileHead head;
  // The database holds sealed credentials: created private, and made private when an earlier
  // version left it open to others. SQLite gives its journals the database file's mode.
  int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, platform::PrivateFileMode);
  if (fd < 0) return head;  // not ours to judge: SQLite reports what it cannot open
  struct stat st {};
  if (::fstat(fd, &st) == 0) {
    if ((st.st_mode & 07777) != platform::PrivateFileMode) ::fchmod(fd, platform::PrivateFileMode);
    head.size = static_cast<std::uint64_t>(st.st_size);
    if (st.st_size > 0) {
      const ssize_t got = ::pread(fd, head.bytes.data(), head.bytes.size(), 0);
      if (got < 0) head.readError = errno ? errno : EIO;
      head.read = got == static_cast<ssize_t>(head.bytes.size());
      // Read and write versions 2: the file keeps a write-ahead log.
      head.inLogMode = head.read && head.bytes[18] == 2 && head.bytes[19] == 2;
    }
  }
  ::close(fd);
  return head;
}

DataSQLiteDB::Verdict DataSQLiteDB::checkHeader(const FileHead& head, bool logged) {
  schemaAtOpen_.clear();
  if (head.readError) return Verdict::Unreadable;
  if (head.size > 0) {
    const unsigned char* header = head.bytes.data();
    if (!head.read || std::memcmp(header, "SQLite format 3", 16) != 0) return Verdict::Damaged;
    // The page count in the header holds when its change counter matches the one it was valid for.
    std::uint32_t pageSize = bigEndian(header + 16, 2);
    if (pageSize == 1) pageSize = 65536;
    const std::uint32_t pages = bigEndian(header + 28, 4);
    const bool countValid = bigEndian(header + 24, 4) == bigEndian(header + 92, 4);
    if (countValid && !logged && pages > 0 && head.size < static_cast<std::uint64_t>(pages) * pageSize)
      return Verdict::Damaged;
  }
  // Reading the schema finds a damaged first page; the names it lists spare the subclasses one
  // query each for the tables and indexes they make when missing.
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, "select name from sqlite_master", -1, &stmt, nullptr);
  if (rc == SQLITE_OK) {
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) schemaAtOpen_.push_back(columnText(stmt, 0));
  }
  sqlite3_finalize(stmt);
  if (rc == SQLITE_OK || rc == SQLITE_DONE) return Verdict::Whole;
  schemaAtOpen_.clear();
  const int code = sqlite3_errcode(db_) & 0xff;
  // SQLite calls a page it could not read corrupt too: the file's error tells the two apart.
  if (code == SQLITE_IOERR || fileError(db_) != 0) return Verdict::Unreadable;
  // Other trouble (a lock) is not the file's: SQLite reports it as the store is used.
  return code == SQLITE_NOTADB || code == SQLITE_CORRUPT ? Verdict::Damaged : Verdict::Whole;
}

bool DataSQLiteDB::createIfMissing(std::string_view name, std::string_view createSql) {
  if (!db_ || name.empty()) return false;
  for (const auto& known : schemaAtOpen_)
    if (known == name) return true;
  if (!execSQL(createSql)) return false;
  schemaAtOpen_.emplace_back(name);
  return true;
}

DataSQLiteDB::Verdict DataSQLiteDB::checkPages(sqlite3* db) {
  sqlite3_stmt* stmt = nullptr;
  bool damage = false;
  bool unread = false;
  int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &stmt, nullptr);
  if (rc == SQLITE_OK) {
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      const std::string row = columnText(stmt, 0);
      if (row == "ok") continue;
      damage = true;
      // A page the check could not get is a read that failed, not bytes found wrong.
      if (row.find("unable to get the page") != std::string::npos) unread = true;
    }
  }
  if (rc != SQLITE_OK && rc != SQLITE_DONE) {
    const int code = sqlite3_errcode(db) & 0xff;
    if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
      damage = true;
    else if (code == SQLITE_IOERR)
      unread = true;
  }
  sqlite3_finalize(stmt);
  if (unread || fileError(db) != 0) return Verdict::Unreadable;
  return damage ? Verdict::Damaged : Verdict::Whole;
}

DataSQLiteDB::Verdict DataSQLiteDB::confirmDamage() {
  if (path_.empty()) return Verdict::Unreadable;
  sqlite3* db = nullptr;
  Verdict verdict = Verdict::Unreadable;
  if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) ==
      SQLITE_OK) {
    sqlite3_busy_timeout(db, StoreBusyWaitMs);
    verdict = checkPages(db);
  }
  sqlite3_close(db);
  return verdict;
}

void DataSQLiteDB::keepLoneJournals() {
  using platform::FileManager;
  const auto anySide = [](const std::string& base) {
    for (const char* side : JournalSides)
      if (FileManager::fileExistsAtPath(base + side)) return true;
    return false;
  };
  const auto moveSides = [](const std::string& from, const std::string& to) {
    for (const char* side : JournalSides)
      if (FileManager::fileExistsAtPath(from + side)) FileManager::moveItemAtPath(from + side, to + side);
  };
  // A setting aside marks its target, then moves the journals first: journals aside without their
  // store, under a marked target, belong to the store still here, and the move is finished. Without
  // the mark they are strays (a set-aside store removed by hand without its log, a tool that opened
  // it): kept as they are, and the store in place opens with its own log.
  for (int n = 0; n < MaxAsideNames; ++n) {
    const std::string target = asideName(path_, ".damaged", n);
    const bool stored = FileManager::fileExistsAtPath(target);
    const bool marked = FileManager::fileExistsAtPath(target + MovingMark);
    if (!stored && !anySide(target)) {
      if (marked) FileManager::removeItemAtPath(target + MovingMark);
      break;
    }
    if (stored) {
      if (marked) FileManager::removeItemAtPath(target + MovingMark);
      continue;
    }
    if (!marked || !FileManager::fileExistsAtPath(path_)) {
      say("store " + name_ + " found " + target +
          "-wal (or its other journals) without the store set aside " +
          "with them: kept as they are; the store in place opens with its own log");
      continue;
    }
    moveSides(path_, target);
    if (!FileManager::moveItemAtPath(path_, target)) break;
    FileManager::removeItemAtPath(target + MovingMark);
    // Said as any store set aside at opening (damagedFileMovedTo).
    damagedFileMovedTo_ = target;
    errorMessage_ = "Damaged db " + name_ + " moved to " + target;
    break;
  }
  // Journals without their store (it was moved or removed by hand, or by an older version cut
  // short): an empty store must not take them for its own, and they may hold the last commits.
  if (FileManager::fileExistsAtPath(path_) || !anySide(path_)) return;
  for (int n = 0; n < MaxAsideNames; ++n) {
    const std::string target = asideName(path_, ".lone", n);
    if (FileManager::fileExistsAtPath(target) || anySide(target)) continue;
    moveSides(path_, target);
    say("store " + name_ + " found its journals without the store: kept as " + target +
        "-wal (and its other journals), starting with an empty one");
    return;
  }
}

bool DataSQLiteDB::moveDamagedFileAside() {
  using platform::FileManager;
  std::string target;
  for (int n = 0; n < MaxAsideNames && target.empty(); ++n) {
    std::string name = asideName(path_, ".damaged", n);
    bool taken = FileManager::fileExistsAtPath(name) || FileManager::fileExistsAtPath(name + MovingMark);
    for (const char* side : JournalSides) taken = taken || FileManager::fileExistsAtPath(name + side);
    if (!taken) target = std::move(name);
  }
  if (target.empty()) return false;
  // The journals first: a store never stands without the log that holds its last commits, and
  // one left behind by a crash here is finished at the next opening (keepLoneJournals), which the
  // mark, made before the first rename, tells from a stray log.
  const int mark = ::open((target + MovingMark).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (mark < 0) return false;
  ::close(mark);
  std::vector<const char*> moved;
  bool ok = true;
  for (const char* side : JournalSides) {
    const std::string from = path_ + side;
    if (!FileManager::fileExistsAtPath(from)) continue;
    if (!FileManager::moveItemAtPath(from, target + side)) {
      ok = false;
      break;
    }
    moved.push_back(side);
  }
  if (ok && FileManager::moveItemAtPath(path_, target)) {
    FileManager::removeItemAtPath(target + MovingMark);
    damagedFileMovedTo_ = target;
    errorMessage_ = "Damaged db " + name_ + " moved to " + target;
    return true;
  }
  // Left in place, whole with its journals.
  for (const char* side : moved) FileManager::moveItemAtPath(target + side, path_ + side);
  FileManager::removeItemAtPath(target + MovingMark);
  return false;
}

bool DataSQLiteDB::writes(sqlite3_stmt* stmt) {
  // A commit counts as read-only to SQLite, yet it is where the log is written.
  return !sqlite3_stmt_readonly(stmt) || !isSelect(sqlite3_sql(stmt));
}

void DataSQLiteDB::noteFailure(int rc, bool writing) {
  const int code = rc & 0xff;
  const std::string_view outcome =
      // Not "lost": the same value may be there from an earlier write, or be written again.
      writing ? "that change was not made, what it held is kept" : "it answered as if empty";
  if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
    if (damaged_ || damageKept_) return;
    // SQLite calls a page it could not read corrupt as well: the file is asked again, on a handle
    // of its own (a statement of this one may still be in use), before anything is moved.
    if (confirmDamage() == Verdict::Damaged) {
      damaged_ = true;
      return;
    }
    sayFailure(failureCause(SQLITE_IOERR_READ, db_ ? fileError(db_) : 0), writing, outcome);
    return;
  }
  int systemError = db_ ? sqlite3_system_errno(db_) : 0;
  // A failed step does not always pass the system's error on; the store's file keeps its last one.
  if (db_ && systemError == 0) sqlite3_file_control(db_, "main", SQLITE_FCNTL_LAST_ERRNO, &systemError);
  // A read may have to write first (the log, its index): what the disk refused then was a write.
  const bool wrote = writing || code == SQLITE_FULL || code == SQLITE_READONLY || rc == SQLITE_IOERR_WRITE ||
                     rc == SQLITE_IOERR_FSYNC || rc == SQLITE_IOERR_TRUNCATE || systemError == ENOSPC ||
                     systemError == EDQUOT || systemError == EROFS;
  sayFailure(failureCause(rc, systemError), wrote, outcome);
}

void DataSQLiteDB::sayFailure(const std::string& cause, bool writing, std::string_view outcome) {
  if (cause.empty()) return;
  // Said once per cause: a disk that stays full fails every following write the same way.
  std::string said = (writing ? "save: " : "read: ") + cause;
  if (std::find(failuresSaid_.begin(), failuresSaid_.end(), said) != failuresSaid_.end()) return;
  failuresSaid_.push_back(said);
  say("store " + name_ + " could not " + said + "; " + std::string(outcome));
}

bool DataSQLiteDB::anyStatementInUse() const {
  for (const Kept& slot : slots_)
    if (slot.busy) return true;
  for (const auto& [sql, kept] : kept_)
    if (kept->busy) return true;
  return false;
}

bool DataSQLiteDB::replaceIfDamaged() {
  if (!damaged_ || anyStatementInUse()) return false;
  damaged_ = false;
  // What the log holds stays in it: a damaged file is not written, and its log goes aside with it.
  if (db_) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  close();
  if (!moveDamagedFileAside()) {
    damageKept_ = true;
    // Left in place: the store goes on as it is, rather than losing a file it cannot keep aside.
    say("store " + name_ + " is damaged and could not be moved aside: it may lose what it saves");
    open();
    return false;
  }
  open();
  // The new connection counts changes from 0, and what was read of the old rows is gone: every
  // table's stamp moves, as after a rollback.
  toldChanges_ = 0;
  ++rollbacks_;
  say("store " + name_ + " was damaged: moved aside to " + *damagedFileMovedTo_ +
      ", starting with an empty one");
  damageMoveSaid_ = true;
  madeAnew();
  return isOpen();
}

void DataSQLiteDB::finalizeKept() {
  for (auto& [sql, kept] : kept_) sqlite3_finalize(kept->stmt);
  kept_.clear();
  for (Kept& slot : slots_) {
    sqlite3_finalize(slot.stmt);
    slot = Kept{};
  }
}

void DataSQLiteDB::close() {
  if (!db_) return;
  finalizeKept();
  if (sqlite3_close(db_) != SQLITE_OK) sqlite3_close_v2(db_);
  db_ = nullptr;
  schemaAtOpen_.clear();
  if (holdsHandle_) releaseHandle(path_);
  holdsHandle_ = false;
}

// ---- Errors ----

void DataSQLiteDB::setErrorCString(const char* message) {
  if (message) {
    errorMessage_ = std::string(message);
  } else {
    errorMessage_.reset();
  }
}

void DataSQLiteDB::setErrorFromDb(sqlite3_stmt* stmt, std::string_view unprepared) {
  if (!db_) return;
  setErrorCString(sqlite3_errmsg(db_));
  // A statement that could not be prepared is a write unless its text is a select.
  const bool writing = stmt ? writes(stmt) : !unprepared.empty() && !isSelect(unprepared);
  noteFailure(sqlite3_extended_errcode(db_), writing);
}

std::string DataSQLiteDB::quoteIdentifier(std::string_view name) {
  std::string out = "`";
  for (char c : name) {
    out += c;
    if (c == '`') out += '`';
  }
  out += '`';
  return out;
}

// ---- Statements ----

DataSQLiteDB::Statement DataSQLiteDB::prepare(std::string_view sql) {
  if (damaged_) replaceIfDamaged();
  if (!db_ || sql.empty()) return {};
  auto it = kept_.find(sql);
  if (it != kept_.end() && !it->second->busy) return use(*it->second);
  if (it != kept_.end() || kept_.size() >= MaxKeptStatements) return prepareNew(sql, nullptr);
  auto kept = std::make_unique<Kept>();
  Statement stmt = prepareNew(sql, kept.get());
  if (stmt) kept_.emplace(std::string(sql), std::move(kept));
  return stmt;
}

DataSQLiteDB::Statement DataSQLiteDB::prepareSlotFirst(std::size_t slot, std::string_view sql, bool counted) {
  if (damaged_) replaceIfDamaged();
  if (!db_ || sql.empty() || slot >= slots_.size()) return {};
  Kept& kept = slots_[slot];
  if (kept.stmt && !kept.busy) return use(kept);   // damage was found, but the store is in use
  if (kept.busy) return prepareNew(sql, nullptr);  // in use further up the stack: a one-off copy
  kept.keepsBindings = true;
  kept.counted = counted;
  return prepareNew(sql, &kept);
}

DataSQLiteDB::Statement DataSQLiteDB::prepareNew(std::string_view sql, Kept* keep) {
  sqlite3_stmt* stmt = nullptr;
  std::vector<std::string> written;
  collecting_ = &written;
  int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                              keep ? SQLITE_PREPARE_PERSISTENT : 0, &stmt, nullptr);
  collecting_ = nullptr;
  if (rc != SQLITE_OK || !stmt) {
    setErrorFromDb(nullptr, sql);
    sqlite3_finalize(stmt);
    return {};
  }
  // A one-off statement's rows go untold, which moves every table's stamp.
  if (!keep) return Statement(this, stmt, nullptr);
  keep->stmt = stmt;
  keep->writes.clear();
  keep->epoch = schemaEpoch_;
  for (const auto& table : written) keep->writes.push_back(changesPlace(table));
  return use(*keep);
}

std::uint32_t DataSQLiteDB::changesPlace(std::string_view table) {
  for (std::size_t i = 0; i < tableChanges_.size(); ++i) {
    if (tableChanges_[i].first == table) return static_cast<std::uint32_t>(i);
  }
  tableChanges_.emplace_back(std::string(table), 0);
  return static_cast<std::uint32_t>(tableChanges_.size() - 1);
}

bool DataSQLiteDB::bindValue(sqlite3_stmt* stmt, int index, const platform::Value& value) {
  int rc = SQLITE_MISUSE;
  using Kind = platform::Value::Kind;
  switch (value.kind()) {
    case Kind::String: {
      const std::string& s = value.stringValue();
      rc = sqlite3_bind_text64(stmt, index, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    }
    case Kind::Bytes: {
      const platform::Data& d = value.bytesValue();
      rc = d.empty() ? sqlite3_bind_zeroblob(stmt, index, 0)
                     : sqlite3_bind_blob64(stmt, index, d.data(), d.size(), SQLITE_TRANSIENT);
      break;
    }
    case Kind::Bool:
    case Kind::Int:
      rc = sqlite3_bind_int64(stmt, index, value.intValue());
      break;
    case Kind::UInt: {
      std::uint64_t u = value.uintValue();
      rc = u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? sqlite3_bind_int64(stmt, index, static_cast<std::int64_t>(u))
               : sqlite3_bind_double(stmt, index, static_cast<double>(u));
      break;
    }
    case Kind::Double: {
      // A number whose text has no decimal point goes in as an integer.
      double d = value.doubleValue();
      bool integral = std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.2e18;
      rc = integral ? sqlite3_bind_int64(stmt, index, static_cast<std::int64_t>(d))
                    : sqlite3_bind_double(stmt, index, d);
      break;
    }
    default:
      return false;
  }
  if (rc != SQLITE_OK) {
    setErrorFromDb();
    return false;
  }
  return true;
}

bool DataSQLiteDB::bindArgs(sqlite3_stmt* stmt, const SqlArgs& args, int first) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (!bindValue(stmt, first + static_cast<int>(i), args[i])) return false;
  }
  return true;
}

bool DataSQLiteDB::execSQL(std::string_view sql) {
  if (damaged_) replaceIfDamaged();
  if (!db_ || sql.empty()) return false;
  char* error = nullptr;
  std::string text(sql);
  std::vector<std::string> written;
  const std::int64_t before = totalChanges();
  collecting_ = &written;
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error);
  collecting_ = nullptr;
  std::vector<std::uint32_t> places;
  for (const auto& table : written) places.push_back(changesPlace(table));
  toldRows(places, totalChanges() - before);
  if (rc != SQLITE_OK) {
    setErrorCString(error ? error : sqlite3_errmsg(db_));
    sqlite3_free(error);
    // Statements run as text are the schema, transactions and housekeeping: writes.
    noteFailure(sqlite3_extended_errcode(db_), true);
    return false;
  }
  return true;
}

bool DataSQLiteDB::execSQL(std::string_view sql, const SqlArgs& args) {
  Statement stmt = prepare(sql);
  return stmt && bindArgs(stmt.get(), args) && stepDone(stmt.get());
}

sqlite3_stmt* DataSQLiteDB::query(std::string_view sql) {
  if (damaged_) replaceIfDamaged();
  if (!db_ || sql.empty()) return nullptr;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
    setErrorFromDb(nullptr, sql);
    sqlite3_finalize(stmt);
    return nullptr;
  }
  return stmt;
}

std::optional<std::vector<SqlRow>> DataSQLiteDB::get_all(std::string_view sql, const SqlArgs& args) {
  Statement stmt = prepare(sql);
  if (!stmt || !bindArgs(stmt.get(), args)) return std::nullopt;
  std::vector<SqlRow> rows;
  std::vector<std::string> names;
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    if (names.empty()) names = columnNames(stmt.get());
    rows.push_back(readRow(stmt.get(), names));
  }
  if (rc != SQLITE_DONE) setErrorFromDb(stmt.get());
  return rows;
}

std::optional<SqlRow> DataSQLiteDB::get_one(std::string_view sql, const SqlArgs& args) {
  Statement stmt = prepare(sql);
  if (!stmt || !bindArgs(stmt.get(), args)) return std::nullopt;
  int rc = sqlite3_step(stmt.get());
  if (rc == SQLITE_ROW) return readRow(stmt.get(), columnNames(stmt.get()));
  if (rc != SQLITE_DONE) setErrorFromDb(stmt.get());
  return platform::MutableDictionary::create();
}

std::optional<std::string> DataSQLiteDB::get_cell(std::string_view sql, const SqlArgs& args) {
  Statement stmt = prepare(sql);
  if (!stmt || !bindArgs(stmt.get(), args)) return std::nullopt;
  int rc = sqlite3_step(stmt.get());
  if (rc == SQLITE_ROW) return columnText(stmt.get(), 0);
  if (rc != SQLITE_DONE) setErrorFromDb(stmt.get());
  return std::nullopt;
}

std::shared_ptr<DataItemResult> DataSQLiteDB::queryStruct(std::string_view table,
                                                          std::optional<std::string_view> whereParam,
                                                          std::optional<std::string_view> orderBy,
                                                          const SqlArgs& whereArgs) {
  if (table.empty()) return nullptr;
  std::string sql = "select * from " + quoteIdentifier(table);
  appendClause(sql, " where ", whereParam);
  appendClause(sql, " order by ", orderBy);
  Statement stmt = prepare(sql);
  if (!stmt || !bindArgs(stmt.get(), whereArgs)) return nullptr;
  auto result = DataItemResult::create();
  std::vector<std::string> names;
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    if (names.empty()) names = columnNames(stmt.get());
    auto detail = DataItemDetail::newDetail();
    for (int i = 0; i < static_cast<int>(names.size()); ++i) {
      detail->dictData()->setObject(platform::Value(columnText(stmt.get(), i)), names[i]);
    }
    result->dataList().push_back(std::move(detail));
  }
  if (rc != SQLITE_DONE) setErrorFromDb(stmt.get());
  result->setMaxCount(static_cast<std::uint32_t>(std::min<std::size_t>(result->count(), UINT32_MAX)));
  return result;
}

std::int64_t DataSQLiteDB::insert(std::string_view table, const platform::Dictionary& data) {
  if (!db_ || table.empty() || data.empty()) return 0;
  std::string columns;
  std::string marks;
  SqlArgs args;
  args.reserve(data.count());
  data.enumerate([&](const std::string& key, const platform::Value& value) {
    if (key.empty()) return true;
    if (!args.empty()) {
      columns += ',';
      marks += ',';
    }
    columns += quoteIdentifier(key);
    marks += '?';
    args.push_back(value);
    return true;
  });
  if (args.empty()) return 0;
  Statement stmt =
      prepare("insert into " + quoteIdentifier(table) + "(" + columns + ") values (" + marks + ")");
  if (!stmt || !bindArgs(stmt.get(), args) || !stepDone(stmt.get())) return 0;
  return lastInsertRowId();
}

std::int64_t DataSQLiteDB::update(std::string_view table, const platform::Dictionary& data,
                                  std::optional<std::string_view> whereParam, const SqlArgs& whereArgs) {
  if (!db_ || table.empty() || data.empty()) return 0;
  std::string sets;
  SqlArgs args;
  args.reserve(data.count() + whereArgs.size());
  data.enumerate([&](const std::string& key, const platform::Value& value) {
    if (key.empty()) return true;
    if (!args.empty()) sets += ',';
    sets += quoteIdentifier(key) + "=?";
    args.push_back(value);
    return true;
  });
  if (args.empty()) return 0;
  args.insert(args.end(), whereArgs.begin(), whereArgs.end());
  std::string sql = "update " + quoteIdentifier(table) + " set " + sets;
  appendClause(sql, " where ", whereParam);
  Statement stmt = prepare(sql);
  if (!stmt || !bindArgs(stmt.get(), args) || !stepDone(stmt.get())) return 0;
  return changes();
}

std::int64_t DataSQLiteDB::delete_(std::string_view table, std::optional<std::string_view> whereParam,
                                   const SqlArgs& whereArgs) {
  if (!db_ || table.empty()) return 0;
  std::string sql = "delete from " + quoteIdentifier(table);
  appendClause(sql, " where ", whereParam);
  Statement stmt = prepare(sql);
  if (!stmt || !bindArgs(stmt.get(), whereArgs) || !stepDone(stmt.get())) return 0;
  return changes();
}

std::int64_t DataSQLiteDB::tableRows(std::string_view table, std::optional<std::string_view> whereParam,
                                     const SqlArgs& whereArgs) {
  if (!db_ || table.empty()) return 0;
  std::string sql = "select count(*) from " + quoteIdentifier(table);
  appendClause(sql, " where ", whereParam);
  Statement stmt = prepare(sql);
  if (!stmt || !bindArgs(stmt.get(), whereArgs)) return 0;
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) {
    setErrorFromDb(stmt.get());
    return 0;
  }
  return sqlite3_column_int64(stmt.get(), 0);
}

bool DataSQLiteDB::hasTable(std::string_view name) {
  if (name.empty()) return false;
  return tableRows("sqlite_master", "`type`='table' and `name`=?", {platform::Value(name)}) > 0;
}

bool DataSQLiteDB::truncateTable(std::string_view table) {
  if (!db_ || table.empty()) return false;
  if (!execSQL("DELETE FROM " + quoteIdentifier(table), {})) return false;
  // Only tables with an autoincrement key have a sequence to reset.
  if (hasTable("sqlite_sequence"))
    execSQL("UPDATE sqlite_sequence SET seq=0 WHERE name=?", {platform::Value(table)});
  return true;
}

}  // namespace kavro
