#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/core/DataItemDetail.h"
#include "kit/core/DataItemResult.h"
#include "kit/core/DataSQLiteDB.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/RunLoop.h"

namespace kavro {

// The key-value store every feature keeps its settings, login state, caches, histories and
// dictionaries in. A value is addressed by a data type ("STORE_CACHE_JOB_DETAIL", a family of
// values) and a key inside it, and lives in the integer, string or binary table. Every row carries
// the local wall-clock time it was added or last written ("YYYY-MM-DD HH:MM:SS"), which drives
// ageing and newest-N pruning; rows with the same time count in row-id order. Records and results
// are kept as binary values under "item.<key>" and "items.<key>".
//
// Type and key must be non-empty, else an operation refuses with false, 0, "" or none. A database
// that failed to open answers every read with its empty value. Time comes from the clock given to
// setClock(), else from the main run loop's clock. Main thread only.
class DataKavroDB : public DataSQLiteDB {
 public:
  // Opens the file and creates the missing value tables.
  explicit DataKavroDB(std::string_view name);

  std::string_view TABLE_INT_VALUE() const { return "DATA_INT_VALUE"; }
  std::string_view TABLE_STR_VALUE() const { return "DATA_STR_VALUE"; }
  std::string_view TABLE_BIN_VALUE() const { return "DATA_BIN_VALUE"; }

  void setClock(std::shared_ptr<platform::Clock> clock) { clock_ = std::move(clock); }

  // ---- Any of the three tables, by name ----
  bool hasTypeItem(std::string_view table, std::string_view dataType);
  bool hasTypeItem(std::string_view table, std::string_view dataType, std::string_view dataKey);
  std::int64_t removeTypeItem(std::string_view table, std::string_view dataType, std::string_view dataKey);
  std::int64_t clearAnyTypeData(std::string_view table, std::string_view dataType);
  bool refreshTypeTime(std::string_view table, std::string_view dataType, std::string_view dataKey);
  // Writes the map's columns (DATA_VALUE) of the row (type, key) and stamps it with the current
  // time: the new row id when the row was added, else the number of rows changed; 0 on failure.
  std::int64_t setItemValue(std::string_view table, std::string_view dataType, std::string_view dataKey,
                            const platform::Dictionary* data);

  // ---- Integers ----
  std::int64_t setIntValue(std::string_view dataType, std::string_view dataKey, std::int64_t dataValue) {
    return setValue(tables_[IntTable], dataType, dataKey, Bound{Bound::Kind::Integer, nullptr, dataValue});
  }
  // 0 when missing.
  std::int64_t getIntValue(std::string_view dataType, std::string_view dataKey);
  std::int64_t deleteIntValue(std::string_view dataType, std::string_view dataKey);
  std::int64_t removeIntItem(std::string_view dataType, std::string_view dataKey) {
    return deleteIntValue(dataType, dataKey);
  }
  bool hasIntItem(std::string_view dataType, std::string_view dataKey);
  // The keys of the type's integers, in one read; none when there are more than limit.
  std::optional<std::vector<std::string>> intItemKeys(std::string_view dataType, std::size_t limit);
  std::int64_t clearIntData(std::string_view dataType);
  bool clearIntDataType(std::string_view dataType, std::string_view dataKey, std::int64_t inSeconds);

  // ---- Text ----
  std::int64_t setStrValue(std::string_view dataType, std::string_view dataKey, std::string_view dataValue) {
    return setValue(tables_[StrTable], dataType, dataKey,
                    Bound{Bound::Kind::Text, dataValue.data(), static_cast<std::int64_t>(dataValue.size())});
  }
  // "" when missing or NULL.
  std::string getStrValue(std::string_view dataType, std::string_view dataKey);
  std::int64_t deleteStrValue(std::string_view dataType, std::string_view dataKey);
  std::int64_t removeStrItem(std::string_view dataType, std::string_view dataKey) {
    return deleteStrValue(dataType, dataKey);
  }
  bool hasStrItem(std::string_view dataType, std::string_view dataKey);
  std::int64_t clearStrData(std::string_view dataType);
  bool clearStrDataType(std::string_view dataType, std::string_view dataKey, std::int64_t inSeconds);

  // ---- Bytes ----
  std::int64_t setBinValue(std::string_view dataType, std::string_view dataKey,
                           const platform::Data& dataValue) {
    return setValue(tables_[BinTable], dataType, dataKey, bytes(dataValue));
  }
  // None when missing; empty for NULL.
  std::optional<platform::Data> getBinValue(std::string_view dataType, std::string_view dataKey);
  std::int64_t deleteBinValue(std::string_view dataType, std::string_view dataKey);
  std::int64_t removeBinItem(std::string_view dataType, std::string_view dataKey) {
    return deleteBinValue(dataType, dataKey);
  }
  bool hasBinItem(std::string_view dataType, std::string_view dataKey);
  bool hasBinItem(std::string_view dataType);
  std::int64_t clearBinData(std::string_view dataType);
  bool clearBinDataType(std::string_view dataType, std::string_view dataKey, std::int64_t inSeconds);

  // ---- Record and result caches (binary table, "item.<key>" and "items.<key>") ----
  // Writes the record, changed or not, and renews its row's time.
  bool saveItemCache(std::string_view dataType, std::string_view dataKey, const DataItemDetail& data);
  std::shared_ptr<DataItemDetail> getItemCache(std::string_view dataType, std::string_view dataKey);
  std::int64_t removeItemCache(std::string_view dataType, std::string_view dataKey);
  // Saves the record as the type's newest entry in one statement: the row, whether it was there or
  // not, gets a new id and the current time, as removing it and saving it again would.
  bool saveItemCacheAsNewest(std::string_view dataType, std::string_view dataKey, const DataItemDetail& data);
  bool saveItemsCache(std::string_view dataType, std::string_view dataKey, const DataItemResult& data);
  std::shared_ptr<DataItemResult> getItemsCache(std::string_view dataType, std::string_view dataKey);
  std::int64_t removeItemsCache(std::string_view dataType, std::string_view dataKey);
  // Clear by age of one record cache, or of every one of the type for an empty key.
  bool clearItemDataType(std::string_view dataType, std::string_view dataKey, std::int64_t inSeconds);
  bool clearItemsDataType(std::string_view dataType, std::string_view dataKey, std::int64_t inSeconds);
  // At most n records of the type's "item." rows, newest first, leaving out rows dated in the
  // future and rows that do not decode. Never nullptr.
  std::shared_ptr<DataItemResult> getNewestItemCacheList(std::string_view table, std::string_view dataType,
                                                         std::int64_t fetchMaxCount);
  // The type's oldest binary value not dated in the future.
  std::optional<platform::Data> getFirstBinItem(std::string_view dataType);

  // ---- Housekeeping ----
  // Deletes the type's oldest rows beyond the newest n. In a value table, the count is skipped while
  // the rows this handle knows of cannot be more than n (see below).
  bool keepItemsWithOnlyNewest(std::string_view table, std::string_view dataType,
                               std::int64_t maxNewestCount);
  // Deletes the type's rows dated in the future (left by a clock set back). In a value table, the
  // statement is skipped when the type was pruned before by this handle and the clock has not gone
  // back since behind any time the handle wrote or read.
  //
  // Both shortcuts rest on this handle seeing every write to its file: the application writes
  // each store through one handle. Rows that another handle or process writes are seen by the
  // first pruning and count of the type on a handle opened after them.
  bool removeInvalidItems(std::string_view table, std::string_view dataType);
  // The type in the binary, integer and string tables, in that order.
  void cleanAllDataWithDataType(std::string_view dataType);
  // Stored length of the type's binary rows (only the key's row when a key is given).
  std::int64_t getBinSize(std::string_view dataType, std::string_view dataKey);
  // An estimate in bytes: 352 per row plus the values' lengths.
  std::int64_t getSizeOfTable(std::string_view table);

  // Clear by age: every row of the type (and key; "item.%" and "items.%" match the record and
  // result caches) that is older than inSeconds or dated in the future; with inSeconds 0 or less,
  // every such row.
  bool clearDataWithTable(std::string_view table, std::string_view dataType, std::string_view dataKey,
                          std::int64_t inSeconds);

  // The current local time as the store writes it, moved by offsetSeconds.
  std::string timeText(std::int64_t offsetSeconds = 0) const;

 protected:
  // True when the table is there (found at opening or made now).
  bool createTableIfMissing(std::string_view table, std::string_view createSql);
  void madeAnew() override;

 private:
  enum TableId { IntTable, StrTable, BinTable };
  enum SqlKind {
    Select,
    Update,
    Insert,
    Replace,
    Remove,
    Exists,
    ExistsType,
    ClearType,
    CountType,
    RemoveFuture,
    RemoveOldest,
    SqlKinds
  };
  // Statement texts for one value table, built once, and the first of its kept statement slots.
  struct TableSql {
    std::size_t firstSlot = 0;  // first: a write reads it with the update's text, in one line
    std::array<std::string, SqlKinds> sql;
    std::string name;
  };
  static_assert(3 * SqlKinds <= SlotCount);
  void createValueTables();
  static TableSql makeTableSql(std::string_view name, TableId id);
  static std::string sqlText(std::string_view table, SqlKind kind);
  // The table's kept statement of that kind. A write of one row tells its own rows.
  Statement prepareFor(const TableSql& t, SqlKind kind) {
    return prepareSlot(t.firstSlot + kind, t.sql[kind],
                       kind == Update || kind == Insert || kind == Replace || kind == Remove);
  }
  // The same for any table: a value table's kept statement, else the text made for that table.
  Statement prepareFor(std::string_view table, SqlKind kind);
  const TableSql* sqlFor(std::string_view table) const;
  TableId idOf(const TableSql& t) const { return static_cast<TableId>(&t - tables_); }

  // A value to write: an integer, or text or bytes that outlive the call (bound without a copy).
  struct Bound {
    enum class Kind { Integer, Text, Bytes } kind = Kind::Integer;
    const void* data = nullptr;
    std::int64_t size = 0;  // the integer itself for Kind::Integer
  };
  [[gnu::always_inline]] inline bool bindBound(sqlite3_stmt* stmt, int index, const Bound& value);
  // With replace, one statement puts the row in anew (a new id) whether or not it was there. A write
  // that found the store damaged is made again in the empty store that replaced it.
  std::int64_t setValue(const TableSql& t, std::string_view dataType, std::string_view dataKey,
                        const Bound& value, bool replace = false) {
    const std::int64_t written = writeValue(t, dataType, dataKey, value, replace);
    if (written != 0) [[likely]]
      return written;
    return replaceIfDamaged() ? writeValue(t, dataType, dataKey, value, replace) : 0;
  }
  std::int64_t writeValue(const TableSql& t, std::string_view dataType, std::string_view dataKey,
                          const Bound& value, bool replace);
  // setValue's second statement, when no row had the type and key (or with replace).
  std::int64_t insertValue(const TableSql& t, std::string_view dataType, std::string_view dataKey,
                           const Bound& value, bool replace, const ChangeStamp& before);
  static Bound bytes(const platform::Data& value) {
    return Bound{Bound::Kind::Bytes, value.data(), static_cast<std::int64_t>(value.size())};
  }
  // The update's time (parameter 2) and type (3), bound only when they changed since the slot's last
  // use: a slot keeps its bindings, and both stay the same from write to write. The time is the
  // store's own text, the type a copy the store keeps (empty while none is bound: a written type
  // never is).
  struct UpdateBindings {
    sqlite3_stmt* stmt = nullptr;
    const char* time = nullptr;
    std::size_t timeSize = 0;
    std::string type;
  };
  bool bindTimeAndType(const Statement& stmt, const TableSql& t, const std::string& now,
                       std::string_view dataType);
  std::int64_t deleteValue(const TableSql& t, std::string_view dataType, std::string_view dataKey);
  bool hasValue(const TableSql& t, std::string_view dataType, std::string_view dataKey);

  // timeText() without a copy, valid until the next call. Read on every write: the run loop's
  // whole seconds are the cheap reading of the real clock. Rows are dated by the clock's record
  // time, never after the real one, so that no later start takes them for a clock set back.
  const std::string& currentTimeText() const {
    std::int64_t now;
    if (clock_) [[unlikely]]  // a test's
      now = clockWholeSeconds();
    else
      now = mainLoop_.recordWholeSeconds();
    if (now == cachedSecond_) [[likely]]
      return cachedTime_;
    return timeTextFor(now);
  }
  std::int64_t clockWholeSeconds() const;
  // currentTimeText() when the second has turned: the text made anew and kept.
  const std::string& timeTextFor(std::int64_t second) const;
  static std::string localTimeText(std::int64_t seconds);
  double nowSeconds() const;

  // What the handle knows of a type's rows in a value table: pruned of future rows (the prune
  // shortcut), and at most atMost rows (when counted, the count shortcut) while the table's change
  // stamp is still stamp (a rollback moves it): the handle's own writes move both
  // on, any other change leaves them behind and the next keepItemsWithOnlyNewest() counts again.
  struct TypeState {
    TableId table = IntTable;
    std::string type;
    bool pruned = false;
    std::optional<std::int64_t> atMost;
    ChangeStamp stamp;
  };
  TypeState& typeState(TableId table, std::string_view dataType);
  // After a write of one row of the type (added: whether it may be a new one) that left the
  // table's stamp moved on from `before`.
  void noteRowWritten(TableId table, std::string_view dataType, bool added, const ChangeStamp& before);

  TableSql tables_[3];
  std::vector<TypeState> typeStates_;
  std::shared_ptr<platform::Clock> clock_;
  const platform::RunLoop& mainLoop_ = platform::RunLoop::main();
  mutable std::int64_t cachedSecond_ = INT64_MIN;
  mutable std::string cachedTime_;
  UpdateBindings updateBindings_[3];
  // The latest time text the handle has used: a row it stamped is never dated after it.
  mutable std::string latestTime_;
};

}  // namespace kavro
