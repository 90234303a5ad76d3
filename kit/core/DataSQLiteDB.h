#pragma once
#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Value.h"

namespace kavro {

class DataItemResult;

// Values bound, in order, to the "?" parameters of a statement: text, bytes (a blob), numbers
// (integral ones as 64-bit integers, others as doubles) and booleans (0 or 1). Bytes are copied
// when bound. Any other value makes the statement fail.
using SqlArgs = std::vector<platform::Value>;
// One result row: every column's name and its value as text ("" for NULL).
using SqlRow = std::shared_ptr<platform::MutableDictionary>;

// A thin object around one SQLite database file in the data folder (Documents/kavro_client_data).
// Statements are text; values always travel as bound parameters. Table and column names are
// quoted as identifiers; where- and order-clauses are the caller's text, appended when present
// (an empty one makes the statement fail). Nothing raises: failures give false, 0, none or an
// empty list and leave the database's text in getErrorMessage().
//
// A file that is not a database or fails the check at opening (damaged, truncated) is moved aside
// and an empty database takes its place; damagedFileMovedTo() tells where it went. Every opening
// checks the file's header against its length and reads its schema; the full integrity check of
// every page runs only when the last session did not close the store: its log still holds commits
// (a closing empties it) while no handle of this process has the store open. Power loss or a crash
// is what damages a store's pages, and neither comes without commits in the log. Damage is what
// was read and found wrong, twice: a read that failed (SQLite calls such a page corrupt too) is
// tried again, and a store that cannot be read is kept as it is, said as an I/O error.
//
// Damage the opening did not see (bytes gone bad inside a store closed cleanly) shows when SQLite
// answers that the store is corrupt or not a database. A check of every page on a handle of its own
// confirms it, with every read working: the store is then set aside and replaced by an empty one as
// at opening, at the first moment no statement of it is in use (the next operation), said once on
// standard error; otherwise the failure was a read and is said as one. A write (or read) that fails
// for any other reason than its own statement (a full disk, an I/O error, a read-only file system,
// whatever SQLite's code) is said on standard error too, once per store and cause; SQLite keeps the
// store as it was before the write.
//
// A store set aside takes its journals along, the journals first, under a mark made before the
// first rename: an opening that finds journals set aside without their store under that mark
// finishes the move; journals aside without the mark are strays, kept and said, and the store in
// place opens with its own log. Journals found without any store are kept aside (".lone-wal") and
// said, rather than taken by a new store.
//
// Stores keep a write-ahead log with synchronous NORMAL: a commit costs no disk sync, and power
// loss can take back only the last commits, never the store's consistency (see README.md).
//
// Main thread only; one handle per object.
class DataSQLiteDB {
 public:
  // Opens (or creates) Documents/kavro_client_data/name. A failure leaves the object closed, with
  // "Open db <name> Error!" as the error message; every operation then fails softly.
  explicit DataSQLiteDB(std::string_view name);
  virtual ~DataSQLiteDB();
  DataSQLiteDB(const DataSQLiteDB&) = delete;
  DataSQLiteDB& operator=(const DataSQLiteDB&) = delete;

  bool isOpen() const { return db_ != nullptr; }
  const std::string& name() const { return name_; }
  // "" when the data folder could not be made.
  const std::string& path() const { return path_; }
  const std::optional<std::string>& damagedFileMovedTo() const { return damagedFileMovedTo_; }
  // The store said that move itself (damage found by a statement, after opening): not to be said again.
  bool damageMoveSaid() const { return damageMoveSaid_; }

  // One or more statements without results and without values.
  bool execSQL(std::string_view sql);
  // One statement with bound values.
  bool execSQL(std::string_view sql, const SqlArgs& args);
  // A prepared statement the caller steps and finalizes (sqlite3_finalize); nullptr on failure.
  sqlite3_stmt* query(std::string_view sql);
  // Every row; none when the statement cannot be prepared, an empty list for no rows.
  std::optional<std::vector<SqlRow>> get_all(std::string_view sql, const SqlArgs& args = {});
  // The first row (an empty map for no rows); none when the statement cannot be prepared.
  std::optional<SqlRow> get_one(std::string_view sql, const SqlArgs& args = {});
  // The first row's first column as text; none when there is no row.
  std::optional<std::string> get_cell(std::string_view sql, const SqlArgs& args = {});
  // "select * from table [where ...] [order by ...]" as one record per row; nullptr on failure.
  std::shared_ptr<DataItemResult> queryStruct(std::string_view table,
                                              std::optional<std::string_view> whereParam,
                                              std::optional<std::string_view> orderBy,
                                              const SqlArgs& whereArgs = {});

  // The new row id, 0 on failure. Columns are the map's non-empty keys, in its order.
  std::int64_t insert(std::string_view table, const platform::Dictionary& data);
  // Rows changed, 0 on failure. The where-values bind after the map's.
  std::int64_t update(std::string_view table, const platform::Dictionary& data,
                      std::optional<std::string_view> whereParam, const SqlArgs& whereArgs = {});
  // Rows deleted, 0 on failure.
  std::int64_t delete_(std::string_view table, std::optional<std::string_view> whereParam,
                       const SqlArgs& whereArgs = {});
  // Row count, 0 on failure.
  std::int64_t tableRows(std::string_view table, std::optional<std::string_view> whereParam,
                         const SqlArgs& whereArgs = {});
  bool hasTable(std::string_view name);

  // Kept statements: a transaction costs no parsing.
  bool begin() { return execSQL("BEGIN", {}); }
  bool commit() { return execSQL("COMMIT", {}); }
  bool rollback() { return execSQL("ROLLBACK", {}); }
  // Write transactions this handle has committed, explicit or a lone statement's own: each costs
  // a log append, and one user action should add at most one.
  std::uint64_t commitCount() const { return commits_; }
  // What this handle has changed in a table's rows: equal stamps, no row inserted, updated or
  // deleted there in between. A statement tells its rows to the tables it writes when its use
  // ends; rows nobody told (a one-off statement's, or one stepped from query()) change every
  // table's stamp. Schema changes do not count. A rollback changes every table's stamp too: what
  // was read inside the transaction may be gone.
  struct ChangeStamp {
    std::uint64_t rows = 0;
    std::int64_t untold = 0;
    std::uint64_t rollbacks = 0;
    bool operator==(const ChangeStamp&) const = default;
  };
  ChangeStamp tableChangeStamp(std::string_view table) const;
  // Deletes every row and resets the table's autoincrement sequence where it has one.
  bool truncateTable(std::string_view table);
  bool compressDB() { return execSQL("VACUUM"); }

  // None until something failed.
  const std::optional<std::string>& getErrorMessage() const { return errorMessage_; }
  void setErrorMessage(std::optional<std::string> message) { errorMessage_ = std::move(message); }
  void setErrorCString(const char* message);

  void close();

  // `name` with embedded backticks doubled.
  static std::string quoteIdentifier(std::string_view name);

 protected:
  // A prepared statement kept for reuse, and whether a use has it now.
  struct alignas(64) Kept {  // a use reads one line
    sqlite3_stmt* stmt = nullptr;
    bool busy = false;
    bool keepsBindings = false;  // a slot: every use binds all parameters
    // The tables the statement writes (places in tableChanges_), and SQLite's count of changed
    // rows when the present use began: the use's rows are told to those tables when it ends.
    std::vector<std::uint32_t> writes;
    std::int64_t changesBefore = 0;
    // A slot whose every use that completes tells its own rows (Statement::tellRows): its caller
    // reads SQLite's count anyway, and the two counts around each use are spared.
    bool counted = false;
    // schemaEpoch_ when `writes` was learnt: a statement SQLite prepared again since may write more.
    std::uint64_t epoch = 0;
  };

  // A statement in use: a kept one is reset when the guard goes (and unbound, unless every use
  // binds each of its parameters), any other finalized.
  class Statement {
   public:
    Statement() = default;
    Statement(DataSQLiteDB* store, sqlite3_stmt* stmt, Kept* kept, DataSQLiteDB* owner = nullptr)
        : stmt_(stmt), kept_(kept), owner_(owner), store_(store) {}
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    ~Statement() { release(); }
    sqlite3_stmt* get() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }
    // A slot's statement, whose bindings outlive the use (until the store closes), not a one-off copy.
    bool keepsBindings() const { return kept_ && kept_->keepsBindings; }
    // For a counted slot stepped to its end: the rows it changed (SQLite's changes()), told to the
    // tables it writes. Trigger rows are not in that count; they go untold, which moves every stamp.
    void tellRows(std::int64_t rows) {
      if (owner_ && kept_->counted) owner_->toldRows(kept_->writes, rows);
    }

   private:
    // Inline: every store read and write ends here, between runs of SQLite's own code. A slot
    // needs only its reset; any other statement goes out of line.
    void release() {
      if (!stmt_) return;
      if (kept_ && kept_->keepsBindings && (!owner_ || kept_->counted)) [[likely]] {
        // The last step's failure, if any: a read that only looked for a row still tells damage.
        sqlite3_stmt* const stmt = stmt_;
        const int rc = sqlite3_reset(stmt);
        kept_->busy = false;
        stmt_ = nullptr;
        kept_ = nullptr;
        owner_ = nullptr;
        if (rc != SQLITE_OK) [[unlikely]]
          store_->noteFailure(rc, writes(stmt));
        return;
      }
      releaseOther();
    }
    void releaseOther();
    void finalize();
    sqlite3_stmt* stmt_ = nullptr;
    Kept* kept_ = nullptr;           // set for a kept statement
    DataSQLiteDB* owner_ = nullptr;  // set for a kept statement that writes
    DataSQLiteDB* store_ = nullptr;  // told how the use failed
  };

  // Prepares sql, or reuses the copy kept from an earlier call (statements the operations build
  // have a small, fixed set of shapes). An empty guard on failure, with the error message set.
  Statement prepare(std::string_view sql);
  // A subclass's statement run on every call, kept in a numbered slot rather than looked up by its
  // text: prepared on first use, finalized on close. A slot always holds the same sql, and every
  // use binds each of its parameters before stepping, so a finished use only resets it.
  static constexpr std::size_t SlotCount = 36;
  // With counted, every use that completes tells its rows (Statement::tellRows); a slot is counted
  // or not from its first use on.
  Statement prepareSlot(std::size_t slot, std::string_view sql, bool counted = false) {
    // Every store write comes here: the common case, a prepared slot not in use, stays inline.
    if (slot < slots_.size() && slots_[slot].stmt && !slots_[slot].busy && !damaged_) [[likely]]
      return use(slots_[slot]);
    return prepareSlotFirst(slot, sql, counted);
  }
  // For constructors: runs createSql unless the schema read at opening (or an earlier call) has an
  // object of that name; false when the store is closed or the statement failed.
  bool createIfMissing(std::string_view name, std::string_view createSql);
  // When the store was found damaged and none of its statements is in use: sets the file aside,
  // opens an empty store in its place and calls madeAnew() (said once on standard error). True when
  // it did, so that the write that found the damage can be made again.
  bool replaceIfDamaged();
  // The store was replaced by an empty one: the subclass makes its tables again and forgets what it
  // knew of the old rows.
  virtual void madeAnew() {}
  // Binds args to parameters first, first + 1, ...; false (error message set when SQLite gave one).
  bool bindArgs(sqlite3_stmt* stmt, const SqlArgs& args, int first = 1);
  bool bindValue(sqlite3_stmt* stmt, int index, const platform::Value& value);
  // Steps a statement without rows to its end; false with the error message on failure.
  bool stepDone(sqlite3_stmt* stmt) {
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc == SQLITE_DONE) [[likely]]
      return true;
    setErrorFromDb(stmt);
    return false;
  }
  std::int64_t changes() const { return db_ ? sqlite3_changes64(db_) : 0; }
  std::int64_t lastInsertRowId() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }
  sqlite3* handle() const { return db_; }

 private:
  // The file's first bytes and length, read before SQLite opens it.
  struct FileHead {
    std::array<unsigned char, 100> bytes{};
    std::uint64_t size = 0;
    bool read = false;
    int readError = 0;  // the system's error when the read failed: nothing is known of the bytes
    bool inLogMode = false;
  };
  // What a look at the store found. Damage is only what was read and found wrong: a read that
  // failed tells nothing of the bytes it did not read.
  enum class Verdict { Whole, Damaged, Unreadable };

  void open();
  // The handle's settings and hooks, once the store passed its checks.
  void configureHandle(bool inLogMode);
  // Creates the file private when missing (or makes it private) and reads its header.
  FileHead readFileHead();
  // Damaged when the file is not a database or is shorter than its header says (cheap, every
  // open); keeps the schema's names in schemaAtOpen_.
  Verdict checkHeader(const FileHead& head, bool logged);
  // In a person's words, why the file or its schema could not be read.
  std::string readFailureCause(const FileHead& head) const;
  // A journal beside the store that has no store of its own, or a setting aside that stopped
  // between its renames: kept, and finished, before the store opens.
  void keepLoneJournals();
  Statement prepareNew(std::string_view sql, Kept* keep);
  // A kept statement, not busy, taken for one use.
  Statement use(Kept& kept) {
    kept.busy = true;
    if (kept.writes.empty()) return Statement(this, kept.stmt, &kept);
    if (!kept.counted) kept.changesBefore = totalChanges();
    return Statement(this, kept.stmt, &kept, this);
  }
  std::int64_t totalChanges() const { return db_ ? sqlite3_total_changes64(db_) : 0; }
  // These rows were written to these tables (places in tableChanges_). Never more than were: a
  // count told too high would hide untold rows that follow.
  void toldRows(const std::vector<std::uint32_t>& tables, std::int64_t rows) {
    if (rows <= 0) return;
    for (std::uint32_t place : tables) tableChanges_[place].second += static_cast<std::uint64_t>(rows);
    toldChanges_ += rows;
  }
  // The place of a table in tableChanges_, added when new.
  std::uint32_t changesPlace(std::string_view table);
  Statement prepareSlotFirst(std::size_t slot, std::string_view sql, bool counted);
  // Every page of the store through db, a handle of its own: damage only when the check read
  // every page it needed (an unreadable page is no proof of damage).
  static Verdict checkPages(sqlite3* db);
  // Asks the file again on a new handle, once SQLite called the store corrupt: a page that could
  // not be read is reported as corrupt too.
  Verdict confirmDamage();
  // False when the file could not be moved. Its journals go first, so that at every moment the
  // store keeps the log that holds its last commits, or is already beside it (keepLoneJournals
  // finishes a move a crash cut short).
  bool moveDamagedFileAside();
  // Said once per cause, as noteFailure does.
  void sayFailure(const std::string& cause, bool writing, std::string_view outcome);
  // What a failed statement's code means for the store: damage to replace, or a write (or read) it
  // could not make, said once per cause in words that name it (full disk, I/O error, read-only).
  void noteFailure(int rc, bool writing);
  // Whether a failure of stmt loses a write: anything but a select.
  static bool writes(sqlite3_stmt* stmt);
  bool anyStatementInUse() const;
  void finalizeKept();
  // stmt: the statement that failed, when there is one (it tells a write from a read); else the
  // text that could not be prepared.
  void setErrorFromDb(sqlite3_stmt* stmt = nullptr, std::string_view unprepared = {});

  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };

  sqlite3* db_ = nullptr;
  std::string name_;
  std::string path_;
  std::optional<std::string> errorMessage_;
  std::optional<std::string> damagedFileMovedTo_;
  std::uint64_t commits_ = 0;
  std::uint64_t rollbacks_ = 0;
  // Rows changed per table, as told by the statements that wrote them, and the sum told (a
  // statement writing several tables tells each all its rows, and the sum once).
  std::vector<std::pair<std::string, std::uint64_t>> tableChanges_;
  std::int64_t toldChanges_ = 0;
  // Moves when SQLite prepares a statement again and finds it writes through a trigger: what the
  // kept statements were learnt to write may then be short, and their rows go untold.
  std::uint64_t schemaEpoch_ = 0;
  // While a statement is prepared: the tables it writes, as SQLite's authorizer names them.
  std::vector<std::string>* collecting_ = nullptr;
  std::unordered_map<std::string, std::unique_ptr<Kept>, Hash, std::equal_to<>> kept_;
  std::array<Kept, SlotCount> slots_;
  bool holdsHandle_ = false;
  bool damaged_ = false;     // damage confirmed: replaced before the next use
  bool damageKept_ = false;  // damaged, but it could not be moved aside: not tried again
  bool damageMoveSaid_ = false;
  std::vector<std::string> failuresSaid_;  // "save: <cause>" or "read: <cause>"
  std::vector<std::string> schemaAtOpen_;
};

}  // namespace kavro
