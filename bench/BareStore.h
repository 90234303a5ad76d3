// The bare SQLite work the shell benchmark's peers do: a store file opened as the client keeps its
// stores, and one tracking point counted.
#pragma once
#include <sqlite3.h>

#include <string>
#include <string_view>

namespace kavro::bench {

// Opens a store file as the client's stores are kept (write-ahead log kept between sessions,
// synchronous NORMAL, a handle for one thread at a time) and reads its schema, which every first
// statement does; null on failure.
inline sqlite3* openBare(const std::string& path) {
  sqlite3* db = nullptr;
  int persist = 1;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK ||
      sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist) != SQLITE_OK ||
      sqlite3_exec(
          db,
          "PRAGMA synchronous=NORMAL; PRAGMA journal_size_limit=4194304; select count(*) from sqlite_master",
          nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

// Adds one to a tracking point's count, as the client's tracking does.
inline bool countPoint(sqlite3* db, std::string_view point) {
  static constexpr const char* Sql =
      "insert into USER_TRACE(TRACE_POINT,TRACE_COUNT,TRACE_COUNT_ONSUBMIT) values(?,1,0) "
      "on conflict(TRACE_POINT) do update set TRACE_COUNT=TRACE_COUNT+1";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, Sql, -1, &stmt, nullptr) != SQLITE_OK) return false;
  sqlite3_bind_text(stmt, 1, point.data(), static_cast<int>(point.size()), SQLITE_STATIC);
  bool ok = sqlite3_step(stmt) == SQLITE_DONE;
  sqlite3_finalize(stmt);
  return ok;
}

}  // namespace kavro::bench
