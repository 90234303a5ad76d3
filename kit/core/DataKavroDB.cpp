#include "kit/core/DataKavroDB.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <ctime>

#include "platform/foundation/RunLoop.h"

namespace kavro {

namespace {

constexpr std::string_view CreateIntTable =
    "CREATE TABLE [DATA_INT_VALUE]([ID] INTEGER PRIMARY KEY, [DATA_TYPE] CHAR(100) NOT NULL, [DATA_KEY] "
    "CHAR(200) "
    "NOT NULL, [DATA_VALUE] INTEGER, [DATA_ADDTIME] TIMESTAMP NOT NULL DEFAULT (datetime(CURRENT_TIMESTAMP, "
    "'localtime'))); CREATE UNIQUE INDEX [DATA_INT_VALUE_unique_key] ON [DATA_INT_VALUE] ([DATA_TYPE], "
    "[DATA_KEY]);";
constexpr std::string_view CreateStrTable =
    "CREATE TABLE [DATA_STR_VALUE]([ID] INTEGER PRIMARY KEY, [DATA_TYPE] CHAR(100) NOT NULL, [DATA_KEY] "
    "CHAR(200) "
    "NOT NULL, [DATA_VALUE] TEXT, [DATA_ADDTIME] TIMESTAMP NOT NULL DEFAULT (datetime(CURRENT_TIMESTAMP, "
    "'localtime'))); CREATE UNIQUE INDEX [DATA_STR_VALUE_unique_key] ON [DATA_STR_VALUE] ([DATA_TYPE], "
    "[DATA_KEY]);";
constexpr std::string_view CreateBinTable =
    "CREATE TABLE [DATA_BIN_VALUE]([ID] INTEGER PRIMARY KEY, [DATA_TYPE] CHAR(100) NOT NULL, [DATA_KEY] "
    "CHAR(200) "
    "NOT NULL, [DATA_VALUE] BLOB, [DATA_ADDTIME] TIMESTAMP NOT NULL DEFAULT (datetime(CURRENT_TIMESTAMP, "
    "'localtime'))); CREATE UNIQUE INDEX [DATA_BIN_VALUE_unique_key] ON [DATA_BIN_VALUE] ([DATA_TYPE], "
    "[DATA_KEY]);";

constexpr std::string_view TypeAndKey = "`DATA_TYPE`=? and `DATA_KEY`=?";
constexpr std::string_view ItemPrefix = "item.";
// substr() rather than LIKE: "item." must match exactly, and "items." must not. Queries use this
// very text, which the partial time index is made with.
constexpr std::string_view IsItemKey = "substr(`DATA_KEY`,1,5)='item.'";
constexpr std::string_view ItemsPrefix = "items.";

platform::Value text(std::string_view s) { return platform::Value(s); }

// Binds without a copy: the text outlives the step, and the statement guard clears the bindings
// (a kept slot's next use binds over them).
bool bindView(sqlite3_stmt* stmt, int index, std::string_view s) {
  return sqlite3_bind_text64(stmt, index, s.data(), s.size(), SQLITE_STATIC, SQLITE_UTF8) == SQLITE_OK;
}

bool bindTypeAndKey(sqlite3_stmt* stmt, std::string_view dataType, std::string_view dataKey, int first = 1) {
  return bindView(stmt, first, dataType) && bindView(stmt, first + 1, dataKey);
}

std::string prefixed(std::string_view prefix, std::string_view key) {
  std::string out(prefix);
  out += key;
  return out;
}

}  // namespace

DataKavroDB::DataKavroDB(std::string_view name) : DataSQLiteDB(name) {
  tables_[IntTable] = makeTableSql(TABLE_INT_VALUE(), IntTable);
  tables_[StrTable] = makeTableSql(TABLE_STR_VALUE(), StrTable);
  tables_[BinTable] = makeTableSql(TABLE_BIN_VALUE(), BinTable);
  createValueTables();
}

void DataKavroDB::madeAnew() {
  // Statements are new: the bindings kept for the old ones are not theirs. What typeStates_ knew
  // stays true or goes stale by the table stamps, which the replacement moved.
  for (UpdateBindings& b : updateBindings_) b = UpdateBindings{};
  createValueTables();
}

void DataKavroDB::createValueTables() {
  const bool tablesMade[] = {createTableIfMissing(TABLE_INT_VALUE(), CreateIntTable),
                             createTableIfMissing(TABLE_STR_VALUE(), CreateStrTable),
                             createTableIfMissing(TABLE_BIN_VALUE(), CreateBinTable)};
  // Newest-first record lists read a type's "item." rows in time order; files made before the
  // index existed gain it here. Partial, so that writing other values does not maintain it. Made
  // only when the schema read at opening lacks it: a start spends no statement on it.
  for (std::size_t i = 0; i < std::size(tables_); ++i) {
    const TableSql& t = tables_[i];
    if (!tablesMade[i]) continue;
    const std::string index = t.name + "_item_time";
    createIfMissing(index, "CREATE INDEX IF NOT EXISTS " + quoteIdentifier(index) + " ON " +
                               quoteIdentifier(t.name) + " (`DATA_TYPE`, `DATA_ADDTIME`) WHERE " +
                               std::string(IsItemKey));
  }
}

bool DataKavroDB::createTableIfMissing(std::string_view table, std::string_view createSql) {
  return createIfMissing(table, createSql);
}

DataKavroDB::TableSql DataKavroDB::makeTableSql(std::string_view name, TableId id) {
  TableSql t;
  t.name = std::string(name);
  t.firstSlot = static_cast<std::size_t>(id) * SqlKinds;
  for (int kind = 0; kind < SqlKinds; ++kind) t.sql[kind] = sqlText(name, static_cast<SqlKind>(kind));
  return t;
}

std::string DataKavroDB::sqlText(std::string_view table, SqlKind kind) {
  const std::string q = quoteIdentifier(table);
  const std::string where = " where " + std::string(TypeAndKey);
  switch (kind) {
    case Select:
      return "select `DATA_VALUE` from " + q + where;
    case Update:
      return "update " + q + " set `DATA_VALUE`=?,`DATA_ADDTIME`=?" + where;
    case Insert:
    case Replace:
      // A replaced row is deleted and the new one inserted with a new id, on the unique
      // (type, key) index.
      return std::string(kind == Replace ? "insert or replace into " : "insert into ") + q +
             "(`DATA_TYPE`,`DATA_KEY`,`DATA_VALUE`,`DATA_ADDTIME`) values (?,?,?,?)";
    case Remove:
      return "delete from " + q + where;
    case Exists:
      return "select 1 from " + q + where + " limit 1";
    case ExistsType:
      return "select 1 from " + q + " where `DATA_TYPE`=? limit 1";
    case ClearType:
      return "delete from " + q + " where `DATA_TYPE`=?";
    case CountType:
      return "select count(*) from " + q + " where `DATA_TYPE`=?";
    case RemoveFuture:
      return "delete from " + q + " where `DATA_TYPE`=? and `DATA_ADDTIME`>?";
    case RemoveOldest:
      return "delete from " + q + " where `DATA_TYPE`=? and `ID` in (select `ID` from " + q +
             " where `DATA_TYPE`=? order by `DATA_ADDTIME` asc, `ID` asc limit ?)";
    case SqlKinds:
      break;
  }
  return {};
}

DataSQLiteDB::Statement DataKavroDB::prepareFor(std::string_view table, SqlKind kind) {
  if (const TableSql* t = sqlFor(table)) return prepareFor(*t, kind);
  return prepare(sqlText(table, kind));
}

const DataKavroDB::TableSql* DataKavroDB::sqlFor(std::string_view table) const {
  for (const auto& t : tables_) {
    if (t.name == table) return &t;
  }
  return nullptr;
}

double DataKavroDB::nowSeconds() const { return (clock_ ? clock_ : mainLoop_.clock())->recordNow(); }

std::int64_t DataKavroDB::clockWholeSeconds() const {
  return static_cast<std::int64_t>(std::floor(clock_->recordNow()));
}

const std::string& DataKavroDB::timeTextFor(std::int64_t second) const {
  cachedTime_ = localTimeText(second);
  cachedSecond_ = second;
  // Text, not seconds: local time text goes back at the end of summer time too.
  if (cachedTime_ > latestTime_) latestTime_ = cachedTime_;
  return cachedTime_;
}

std::string DataKavroDB::localTimeText(std::int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&t, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  return buf;
}

std::string DataKavroDB::timeText(std::int64_t offsetSeconds) const {
  if (offsetSeconds == 0) return currentTimeText();
  return localTimeText(static_cast<std::int64_t>(std::floor(nowSeconds())) + offsetSeconds);
}

// ---- Any table ----

bool DataKavroDB::hasTypeItem(std::string_view table, std::string_view dataType) {
  if (table.empty() || dataType.empty()) return false;
  if (const TableSql* t = sqlFor(table)) {
    Statement stmt = prepareFor(*t, ExistsType);
    return stmt && bindArgs(stmt.get(), {text(dataType)}) && sqlite3_step(stmt.get()) == SQLITE_ROW;
  }
  return tableRows(table, "`DATA_TYPE`=?", {text(dataType)}) > 0;
}

bool DataKavroDB::hasTypeItem(std::string_view table, std::string_view dataType, std::string_view dataKey) {
  if (table.empty() || dataType.empty() || dataKey.empty()) return false;
  if (const TableSql* t = sqlFor(table)) return hasValue(*t, dataType, dataKey);
  return tableRows(table, TypeAndKey, {text(dataType), text(dataKey)}) > 0;
}

std::int64_t DataKavroDB::removeTypeItem(std::string_view table, std::string_view dataType,
                                         std::string_view dataKey) {
  if (table.empty() || dataType.empty() || dataKey.empty()) return 0;
  if (const TableSql* t = sqlFor(table)) return deleteValue(*t, dataType, dataKey);
  return delete_(table, TypeAndKey, {text(dataType), text(dataKey)});
}

std::int64_t DataKavroDB::clearAnyTypeData(std::string_view table, std::string_view dataType) {
  if (table.empty() || dataType.empty()) return 0;
  return delete_(table, "`DATA_TYPE`=?", {text(dataType)});
}

bool DataKavroDB::refreshTypeTime(std::string_view table, std::string_view dataType,
                                  std::string_view dataKey) {
  if (table.empty() || dataType.empty() || dataKey.empty()) return false;
  return execSQL(
      "update " + quoteIdentifier(table) + " set `DATA_ADDTIME`=? where " + std::string(TypeAndKey),
      {text(timeText()), text(dataType), text(dataKey)});
}

std::int64_t DataKavroDB::setItemValue(std::string_view table, std::string_view dataType,
                                       std::string_view dataKey, const platform::Dictionary* data) {
  if (table.empty() || dataType.empty() || dataKey.empty() || !data || data->empty()) return 0;
  const std::string now = timeText();
  // Update first: an existing row keeps its id, gets the values and the time in one statement.
  auto values = platform::MutableDictionary::create();
  data->enumerate([&](const std::string& key, const platform::Value& value) {
    values->setObject(value, key);
    return true;
  });
  values->setObject(text(now), "DATA_ADDTIME");
  std::int64_t changed = update(table, *values, TypeAndKey, {text(dataType), text(dataKey)});
  if (changed > 0) return changed;
  values->setObject(text(dataType), "DATA_TYPE");
  values->setObject(text(dataKey), "DATA_KEY");
  return insert(table, *values);
}

inline bool DataKavroDB::bindBound(sqlite3_stmt* stmt, int index, const Bound& value) {
  // Tests rather than a jump table: the table would be one more line to fetch on every write.
  int rc;
  if (value.kind == Bound::Kind::Text) {
    rc = sqlite3_bind_text64(stmt, index, static_cast<const char*>(value.data),
                             static_cast<sqlite3_uint64>(value.size), SQLITE_STATIC, SQLITE_UTF8);
  } else if (value.kind == Bound::Kind::Integer) {
    rc = sqlite3_bind_int64(stmt, index, value.size);
  } else if (value.size != 0) {
    rc = sqlite3_bind_blob64(stmt, index, value.data, static_cast<sqlite3_uint64>(value.size), SQLITE_STATIC);
  } else {
    rc = sqlite3_bind_zeroblob(stmt, index, 0);  // an empty value is an empty blob, not NULL
  }
  if (rc == SQLITE_OK) [[likely]]
    return true;
  setErrorCString(sqlite3_errmsg(handle()));
  return false;
}

bool DataKavroDB::bindTimeAndType(const Statement& stmt, const TableSql& t, const std::string& now,
                                  std::string_view dataType) {
  if (!stmt.keepsBindings()) return bindView(stmt.get(), 2, now) && bindView(stmt.get(), 3, dataType);
  UpdateBindings& b = updateBindings_[idOf(t)];
  if (b.stmt != stmt.get()) {
    b = UpdateBindings{};
    b.stmt = stmt.get();
  }
  if (now.data() != b.time || now.size() != b.timeSize) {
    b.time = nullptr;
    if (!bindView(stmt.get(), 2, now)) return false;
    b.time = now.data();
    b.timeSize = now.size();
  }
  if (dataType != b.type) {
    b.type.assign(dataType);
    if (!bindView(stmt.get(), 3, b.type)) {
      b.type.clear();
      return false;
    }
  }
  return true;
}

// Every store write runs this. The update of an existing row is laid out straight, with the failures
// and the rest out of its way: SQLite's own code fills the instruction cache, so each line this adds
// is fetched anew on every write.
std::int64_t DataKavroDB::writeValue(const TableSql& t, std::string_view dataType, std::string_view dataKey,
                                     const Bound& value, bool replace) {
  if (dataType.empty() || dataKey.empty() || !isOpen()) [[unlikely]]
    return 0;
  const ChangeStamp before = typeStates_.empty() ? ChangeStamp{} : tableChangeStamp(t.name);
  if (!replace) [[likely]] {
    std::int64_t updated = 0;
    {
      const std::string& now = currentTimeText();
      Statement stmt = prepareFor(t, Update);
      if (!stmt || !bindBound(stmt.get(), 1, value) || !bindTimeAndType(stmt, t, now, dataType) ||
          !bindView(stmt.get(), 4, dataKey) || !stepDone(stmt.get())) [[unlikely]] {
        return 0;
      }
      updated = changes();
      stmt.tellRows(updated);
    }
    if (updated > 0) [[likely]] {
      if (!typeStates_.empty()) noteRowWritten(idOf(t), dataType, false, before);
      return updated;
    }
  }
  return insertValue(t, dataType, dataKey, value, replace, before);
}

std::int64_t DataKavroDB::insertValue(const TableSql& t, std::string_view dataType, std::string_view dataKey,
                                      const Bound& value, bool replace, const ChangeStamp& before) {
  {
    const std::string& now = currentTimeText();
    Statement stmt = prepareFor(t, replace ? Replace : Insert);
    if (!stmt || !bindTypeAndKey(stmt.get(), dataType, dataKey) || !bindBound(stmt.get(), 3, value) ||
        !bindView(stmt.get(), 4, now) || !stepDone(stmt.get())) {
      return 0;
    }
    stmt.tellRows(changes());
  }
  noteRowWritten(idOf(t), dataType, true, before);
  return lastInsertRowId();
}

std::int64_t DataKavroDB::deleteValue(const TableSql& t, std::string_view dataType,
                                      std::string_view dataKey) {
  if (dataType.empty() || dataKey.empty()) return 0;
  Statement stmt = prepareFor(t, Remove);
  if (!stmt || !bindTypeAndKey(stmt.get(), dataType, dataKey) || !stepDone(stmt.get())) return 0;
  const std::int64_t removed = changes();
  stmt.tellRows(removed);
  return removed;
}

bool DataKavroDB::hasValue(const TableSql& t, std::string_view dataType, std::string_view dataKey) {
  if (dataType.empty() || dataKey.empty()) return false;
  Statement stmt = prepareFor(t, Exists);
  return stmt && bindTypeAndKey(stmt.get(), dataType, dataKey) && sqlite3_step(stmt.get()) == SQLITE_ROW;
}

// ---- Integers ----

std::int64_t DataKavroDB::getIntValue(std::string_view dataType, std::string_view dataKey) {
  if (dataType.empty() || dataKey.empty()) return 0;
  Statement stmt = prepareFor(tables_[IntTable], Select);
  if (!stmt || !bindTypeAndKey(stmt.get(), dataType, dataKey)) return 0;
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return 0;
  return sqlite3_column_int64(stmt.get(), 0);
}

std::int64_t DataKavroDB::deleteIntValue(std::string_view dataType, std::string_view dataKey) {
  return deleteValue(tables_[IntTable], dataType, dataKey);
}

bool DataKavroDB::hasIntItem(std::string_view dataType, std::string_view dataKey) {
  return hasValue(tables_[IntTable], dataType, dataKey);
}

std::optional<std::vector<std::string>> DataKavroDB::intItemKeys(std::string_view dataType,
                                                                 std::size_t limit) {
  Statement stmt = prepare("select `DATA_KEY` from `DATA_INT_VALUE` where `DATA_TYPE`=? limit ?");
  if (!stmt || !bindArgs(stmt.get(), {text(dataType), platform::Value(limit + 1)})) return std::nullopt;
  std::vector<std::string> keys;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    if (keys.size() == limit) return std::nullopt;
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt.get(), 0));
    keys.emplace_back(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt.get(), 0)));
  }
  return keys;
}

std::int64_t DataKavroDB::clearIntData(std::string_view dataType) {
  return clearAnyTypeData(TABLE_INT_VALUE(), dataType);
}

bool DataKavroDB::clearIntDataType(std::string_view dataType, std::string_view dataKey,
                                   std::int64_t inSeconds) {
  return clearDataWithTable(TABLE_INT_VALUE(), dataType, dataKey, inSeconds);
}

// ---- Text ----

std::string DataKavroDB::getStrValue(std::string_view dataType, std::string_view dataKey) {
  if (dataType.empty() || dataKey.empty()) return {};
  Statement stmt = prepareFor(tables_[StrTable], Select);
  if (!stmt || !bindTypeAndKey(stmt.get(), dataType, dataKey)) return {};
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return {};
  const unsigned char* s = sqlite3_column_text(stmt.get(), 0);
  if (!s) return {};
  return std::string(reinterpret_cast<const char*>(s),
                     static_cast<std::size_t>(sqlite3_column_bytes(stmt.get(), 0)));
}

std::int64_t DataKavroDB::deleteStrValue(std::string_view dataType, std::string_view dataKey) {
  return deleteValue(tables_[StrTable], dataType, dataKey);
}

bool DataKavroDB::hasStrItem(std::string_view dataType, std::string_view dataKey) {
  return hasValue(tables_[StrTable], dataType, dataKey);
}

std::int64_t DataKavroDB::clearStrData(std::string_view dataType) {
  return clearAnyTypeData(TABLE_STR_VALUE(), dataType);
}

bool DataKavroDB::clearStrDataType(std::string_view dataType, std::string_view dataKey,
                                   std::int64_t inSeconds) {
  return clearDataWithTable(TABLE_STR_VALUE(), dataType, dataKey, inSeconds);
}

// ---- Bytes ----

std::optional<platform::Data> DataKavroDB::getBinValue(std::string_view dataType, std::string_view dataKey) {
  if (dataType.empty() || dataKey.empty()) return std::nullopt;
  Statement stmt = prepareFor(tables_[BinTable], Select);
  if (!stmt || !bindTypeAndKey(stmt.get(), dataType, dataKey)) return std::nullopt;
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt.get(), 0));
  auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt.get(), 0));
  return bytes ? platform::Data(bytes, bytes + size) : platform::Data();
}

std::int64_t DataKavroDB::deleteBinValue(std::string_view dataType, std::string_view dataKey) {
  return deleteValue(tables_[BinTable], dataType, dataKey);
}

bool DataKavroDB::hasBinItem(std::string_view dataType, std::string_view dataKey) {
  return hasValue(tables_[BinTable], dataType, dataKey);
}

bool DataKavroDB::hasBinItem(std::string_view dataType) { return hasTypeItem(TABLE_BIN_VALUE(), dataType); }

std::int64_t DataKavroDB::clearBinData(std::string_view dataType) {
  return clearAnyTypeData(TABLE_BIN_VALUE(), dataType);
}

bool DataKavroDB::clearBinDataType(std::string_view dataType, std::string_view dataKey,
                                   std::int64_t inSeconds) {
  return clearDataWithTable(TABLE_BIN_VALUE(), dataType, dataKey, inSeconds);
}

// ---- Record and result caches ----

bool DataKavroDB::saveItemCache(std::string_view dataType, std::string_view dataKey,
                                const DataItemDetail& data) {
  if (dataKey.empty()) return false;
  return setBinValue(dataType, prefixed(ItemPrefix, dataKey), data.toData()) > 0;
}

std::shared_ptr<DataItemDetail> DataKavroDB::getItemCache(std::string_view dataType,
                                                          std::string_view dataKey) {
  if (dataKey.empty()) return nullptr;
  auto bytes = getBinValue(dataType, prefixed(ItemPrefix, dataKey));
  return bytes ? DataItemDetail::FromData(*bytes) : nullptr;
}

std::int64_t DataKavroDB::removeItemCache(std::string_view dataType, std::string_view dataKey) {
  if (dataKey.empty()) return 0;
  return deleteBinValue(dataType, prefixed(ItemPrefix, dataKey));
}

bool DataKavroDB::saveItemCacheAsNewest(std::string_view dataType, std::string_view dataKey,
                                        const DataItemDetail& data) {
  if (dataKey.empty()) return false;
  const platform::Data value = data.toData();
  return setValue(tables_[BinTable], dataType, prefixed(ItemPrefix, dataKey), bytes(value), true) > 0;
}

bool DataKavroDB::saveItemsCache(std::string_view dataType, std::string_view dataKey,
                                 const DataItemResult& data) {
  if (dataKey.empty()) return false;
  return setBinValue(dataType, prefixed(ItemsPrefix, dataKey), data.toData()) > 0;
}

std::shared_ptr<DataItemResult> DataKavroDB::getItemsCache(std::string_view dataType,
                                                           std::string_view dataKey) {
  if (dataKey.empty()) return nullptr;
  auto bytes = getBinValue(dataType, prefixed(ItemsPrefix, dataKey));
  return bytes ? DataItemResult::FromData(*bytes) : nullptr;
}

std::int64_t DataKavroDB::removeItemsCache(std::string_view dataType, std::string_view dataKey) {
  if (dataKey.empty()) return 0;
  return deleteBinValue(dataType, prefixed(ItemsPrefix, dataKey));
}

bool DataKavroDB::clearItemDataType(std::string_view dataType, std::string_view dataKey,
                                    std::int64_t inSeconds) {
  return clearDataWithTable(TABLE_BIN_VALUE(), dataType,
                            dataKey.empty() ? "item.%" : prefixed(ItemPrefix, dataKey), inSeconds);
}

bool DataKavroDB::clearItemsDataType(std::string_view dataType, std::string_view dataKey,
                                     std::int64_t inSeconds) {
  return clearDataWithTable(TABLE_BIN_VALUE(), dataType,
                            dataKey.empty() ? "items.%" : prefixed(ItemsPrefix, dataKey), inSeconds);
}

std::shared_ptr<DataItemResult> DataKavroDB::getNewestItemCacheList(std::string_view table,
                                                                    std::string_view dataType,
                                                                    std::int64_t fetchMaxCount) {
  auto result = DataItemResult::create();
  if (table.empty() || dataType.empty() || fetchMaxCount <= 0) return result;
  Statement stmt = prepare("select `DATA_VALUE` from " + quoteIdentifier(table) +
                           " where `DATA_TYPE`=? and " + std::string(IsItemKey) +
                           " and `DATA_ADDTIME`<=? order by `DATA_ADDTIME` desc, `ID` desc limit ?");
  if (!stmt || !bindView(stmt.get(), 1, dataType) || !bindView(stmt.get(), 2, currentTimeText()) ||
      sqlite3_bind_int64(stmt.get(), 3, fetchMaxCount) != SQLITE_OK) {
    return result;
  }
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt.get(), 0));
    if (!bytes) continue;
    platform::Data data(bytes, bytes + sqlite3_column_bytes(stmt.get(), 0));
    if (auto detail = DataItemDetail::FromData(data)) result->addItem(std::move(detail));
  }
  return result;
}

std::optional<platform::Data> DataKavroDB::getFirstBinItem(std::string_view dataType) {
  if (dataType.empty()) return std::nullopt;
  Statement stmt = prepare(
      "select `DATA_VALUE` from `DATA_BIN_VALUE` where `DATA_TYPE`=? and `DATA_ADDTIME`<=?"
      " order by `DATA_ADDTIME` asc, `ID` asc limit 1");
  if (!stmt || !bindArgs(stmt.get(), {text(dataType), text(timeText())})) return std::nullopt;
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt.get(), 0));
  auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt.get(), 0));
  return bytes ? platform::Data(bytes, bytes + size) : platform::Data();
}

// ---- Housekeeping ----

DataKavroDB::TypeState& DataKavroDB::typeState(TableId table, std::string_view dataType) {
  for (TypeState& s : typeStates_) {
    if (s.table == table && s.type == dataType) return s;
  }
  TypeState& s = typeStates_.emplace_back();
  s.table = table;
  s.type = dataType;
  return s;
}

void DataKavroDB::noteRowWritten(TableId table, std::string_view dataType, bool added,
                                 const ChangeStamp& before) {
  if (typeStates_.empty()) return;
  const ChangeStamp now = tableChangeStamp(tables_[table].name);
  for (TypeState& s : typeStates_) {
    if (s.table != table || !s.atMost) continue;
    if (s.stamp != before) {
      s.atMost.reset();  // something else changed the table in between
      continue;
    }
    s.stamp = now;
    if (added && s.type == dataType) ++*s.atMost;
  }
}

bool DataKavroDB::keepItemsWithOnlyNewest(std::string_view table, std::string_view dataType,
                                          std::int64_t maxNewestCount) {
  if (table.empty() || dataType.empty()) return false;
  const TableSql* t = sqlFor(table);
  TypeState* state = t ? &typeState(idOf(*t), dataType) : nullptr;
  if (state && state->atMost && *state->atMost <= maxNewestCount && state->stamp == tableChangeStamp(table)) {
    return true;
  }
  // A count that fails trims nothing, and says so.
  std::int64_t count = 0;
  {
    Statement stmt = prepareFor(table, CountType);
    if (!stmt || !bindView(stmt.get(), 1, dataType)) return false;
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) {
      setErrorCString(sqlite3_errmsg(handle()));
      return false;
    }
    count = sqlite3_column_int64(stmt.get(), 0);
  }
  const std::int64_t kept = std::max<std::int64_t>(maxNewestCount, 0);
  bool ok = true;
  if (count > maxNewestCount) {
    Statement stmt = prepareFor(table, RemoveOldest);
    ok = stmt && bindView(stmt.get(), 1, dataType) && bindView(stmt.get(), 2, dataType) &&
         sqlite3_bind_int64(stmt.get(), 3, count - kept) == SQLITE_OK && stepDone(stmt.get());
  }
  if (state && ok) {
    state->atMost = std::min(count, kept);
    state->stamp = tableChangeStamp(table);
  }
  return ok;
}

bool DataKavroDB::removeInvalidItems(std::string_view table, std::string_view dataType) {
  if (table.empty() || dataType.empty() || !isOpen()) return false;
  const std::string& now = currentTimeText();
  const TableSql* t = sqlFor(table);
  // Every row this handle stamps carries a time it used; while no such time is ahead of the
  // clock, a type pruned once on this handle has no rows dated in the future.
  if (t && now >= latestTime_ && typeState(idOf(*t), dataType).pruned) return true;
  Statement stmt = prepareFor(table, RemoveFuture);
  if (!stmt || !bindView(stmt.get(), 1, dataType) || !bindView(stmt.get(), 2, now) || !stepDone(stmt.get()))
    return false;
  if (t) typeState(idOf(*t), dataType).pruned = true;
  return true;
}

void DataKavroDB::cleanAllDataWithDataType(std::string_view dataType) {
  clearBinData(dataType);
  clearIntData(dataType);
  clearStrData(dataType);
}

std::int64_t DataKavroDB::getBinSize(std::string_view dataType, std::string_view dataKey) {
  if (dataType.empty()) return 0;
  std::string sql =
      "select total(length(`ID`)+length(`DATA_TYPE`)+length(`DATA_VALUE`)+length(`DATA_KEY`)) from "
      "`DATA_BIN_VALUE`"
      " where `DATA_TYPE`=?";
  SqlArgs args{text(dataType)};
  if (!dataKey.empty()) {
    sql += " and `DATA_KEY`=?";
    args.push_back(text(dataKey));
  }
  Statement stmt = prepare(sql);
  if (!stmt || !bindArgs(stmt.get(), args) || sqlite3_step(stmt.get()) != SQLITE_ROW) return 0;
  return static_cast<std::int64_t>(sqlite3_column_double(stmt.get(), 0));
}

std::int64_t DataKavroDB::getSizeOfTable(std::string_view table) {
  if (table.empty()) return 0;
  Statement stmt = prepare("select count(*), total(length(`DATA_VALUE`)) from " + quoteIdentifier(table));
  if (!stmt || sqlite3_step(stmt.get()) != SQLITE_ROW) return 0;
  return sqlite3_column_int64(stmt.get(), 0) * 352 +
         static_cast<std::int64_t>(sqlite3_column_double(stmt.get(), 1));
}

bool DataKavroDB::clearDataWithTable(std::string_view table, std::string_view dataType,
                                     std::string_view dataKey, std::int64_t inSeconds) {
  if (table.empty() || dataType.empty()) return false;
  std::string where = "`DATA_TYPE`=?";
  SqlArgs args{text(dataType)};
  if (!dataKey.empty()) {
    // The two cache patterns match by prefix; any other key matches exactly.
    if (dataKey == "item.%" || dataKey == "items.%") {
      where += " and substr(`DATA_KEY`,1,?)=?";
      std::string_view prefix = dataKey.substr(0, dataKey.size() - 1);
      args.push_back(platform::Value(static_cast<long long>(prefix.size())));
      args.push_back(text(prefix));
    } else {
      where += " and `DATA_KEY`=?";
      args.push_back(text(dataKey));
    }
  }
  if (inSeconds >= 1) {
    where += " and (`DATA_ADDTIME`>? or `DATA_ADDTIME`<?)";
    args.push_back(text(timeText()));
    args.push_back(text(timeText(-inSeconds)));
  }
  if (!isOpen()) return false;
  return execSQL("delete from " + quoteIdentifier(table) + " where " + where, args);
}

}  // namespace kavro
