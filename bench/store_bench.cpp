// DataKavroDB against bare prepared SQLite statements doing the same work on the same schema:
// set and get of 1 KB strings and byte values, and the newest-N record list. Writes run 100 to a
// transaction on both sides. Prints, per operation, the store's speed as a share of bare SQLite.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "kit/core/DataKavroDB.h"
#include "kit/core/FSManager.h"
#include "platform/foundation/Environment.h"

namespace {

using kavro::DataItemDetail;
using kavro::DataKavroDB;

constexpr int Keys = 1000;
constexpr int Batch = 100;
constexpr int Newest = 20;
constexpr const char* Type = "STORE_CACHE_BENCH";
const std::string Value1K(1024, 'v');
const platform::Data Bytes1K(1024, 0x5a);

std::string key(int i) { return "key" + std::to_string(i); }

// ---- The store ----

DataKavroDB& store() {
  static DataKavroDB db("bench_store.db");
  return db;
}

// ---- Bare SQLite ----

struct Bare {
  sqlite3* db = nullptr;
  sqlite3_stmt* setStr = nullptr;
  sqlite3_stmt* getStr = nullptr;
  sqlite3_stmt* setBin = nullptr;
  sqlite3_stmt* getBin = nullptr;
  sqlite3_stmt* newest = nullptr;

  Bare() {
    std::string path = *kavro::FSManager::getDbFullPath("bench_bare.db");
    sqlite3_open(path.c_str(), &db);
    for (const char* table : {"DATA_STR_VALUE", "DATA_BIN_VALUE"}) {
      std::string t = table;
      std::string create =
          "CREATE TABLE IF NOT EXISTS [" + t +
          "]([ID] INTEGER PRIMARY KEY, [DATA_TYPE] CHAR(100) NOT NULL, [DATA_KEY] CHAR(200) NOT "
          "NULL, [DATA_VALUE], [DATA_ADDTIME] TIMESTAMP NOT NULL DEFAULT (datetime(CURRENT_TIMESTAMP, "
          "'localtime'))); CREATE UNIQUE INDEX IF NOT EXISTS [" +
          t + "_unique_key] ON [" + t + "] ([DATA_TYPE], [DATA_KEY]);";
      sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr);
    }
    setStr = prepare(upsert("DATA_STR_VALUE"));
    setBin = prepare(upsert("DATA_BIN_VALUE"));
    getStr = prepare("SELECT DATA_VALUE FROM DATA_STR_VALUE WHERE DATA_TYPE=? AND DATA_KEY=?");
    getBin = prepare("SELECT DATA_VALUE FROM DATA_BIN_VALUE WHERE DATA_TYPE=? AND DATA_KEY=?");
    newest = prepare(
        "SELECT DATA_VALUE FROM DATA_BIN_VALUE WHERE DATA_TYPE=? AND substr(DATA_KEY,1,5)='item.' AND "
        "DATA_ADDTIME<=datetime(CURRENT_TIMESTAMP,'localtime') ORDER BY DATA_ADDTIME DESC, ID DESC LIMIT ?");
  }
  static std::string upsert(const std::string& table) {
    return "INSERT INTO " + table +
           "(DATA_TYPE,DATA_KEY,DATA_VALUE,DATA_ADDTIME) "
           "VALUES(?,?,?,datetime(CURRENT_TIMESTAMP,'localtime')) "
           "ON CONFLICT(DATA_TYPE,DATA_KEY) DO UPDATE SET DATA_VALUE=excluded.DATA_VALUE, "
           "DATA_ADDTIME=excluded.DATA_ADDTIME";
  }
  sqlite3_stmt* prepare(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "prepare failed: %s\n", sqlite3_errmsg(db));
      std::abort();
    }
    return s;
  }
  void set(sqlite3_stmt* s, const std::string& k, const void* v, int n, bool blob) {
    sqlite3_bind_text(s, 1, Type, -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, k.data(), static_cast<int>(k.size()), SQLITE_TRANSIENT);
    if (blob) {
      sqlite3_bind_blob(s, 3, v, n, SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_text(s, 3, static_cast<const char*>(v), n, SQLITE_TRANSIENT);
    }
    sqlite3_step(s);
    sqlite3_reset(s);
  }
  void exec(const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
};

Bare& bare() {
  static Bare b;
  return b;
}

void fill() {
  DataKavroDB& db = store();
  db.begin();
  bare().exec("BEGIN");
  for (int i = 0; i < Keys; ++i) {
    db.setStrValue(Type, key(i), Value1K);
    db.setBinValue(Type, key(i), Bytes1K);
    bare().set(bare().setStr, key(i), Value1K.data(), 1024, false);
    bare().set(bare().setBin, key(i), Bytes1K.data(), 1024, true);
    DataItemDetail record;
    record.setString(key(i), "id");
    record.setString(std::string(200, 'r'), "body");
    db.saveItemCache(Type, key(i), record);
    platform::Data archived = record.toData();
    bare().set(bare().setBin, "item." + key(i), archived.data(), static_cast<int>(archived.size()), true);
  }
  db.commit();
  bare().exec("COMMIT");
}

// ---- Benchmarks ----

void Store_SetString(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    store().begin();
    for (int n = 0; n < Batch; ++n) store().setStrValue(Type, key(i++ % Keys), Value1K);
    store().commit();
  }
  state.SetItemsProcessed(state.iterations() * Batch);
}

void Bare_SetString(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    bare().exec("BEGIN");
    for (int n = 0; n < Batch; ++n) bare().set(bare().setStr, key(i++ % Keys), Value1K.data(), 1024, false);
    bare().exec("COMMIT");
  }
  state.SetItemsProcessed(state.iterations() * Batch);
}

void Store_SetBinary(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    store().begin();
    for (int n = 0; n < Batch; ++n) store().setBinValue(Type, key(i++ % Keys), Bytes1K);
    store().commit();
  }
  state.SetItemsProcessed(state.iterations() * Batch);
}

void Bare_SetBinary(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    bare().exec("BEGIN");
    for (int n = 0; n < Batch; ++n) bare().set(bare().setBin, key(i++ % Keys), Bytes1K.data(), 1024, true);
    bare().exec("COMMIT");
  }
  state.SetItemsProcessed(state.iterations() * Batch);
}

void Store_GetString(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(store().getStrValue(Type, key(i++ % Keys)));
  state.SetItemsProcessed(state.iterations());
}

void Bare_GetString(benchmark::State& state) {
  int i = 0;
  sqlite3_stmt* s = bare().getStr;
  for (auto _ : state) {
    std::string k = key(i++ % Keys);
    sqlite3_bind_text(s, 1, Type, -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, k.data(), static_cast<int>(k.size()), SQLITE_TRANSIENT);
    std::string out;
    if (sqlite3_step(s) == SQLITE_ROW) {
      out.assign(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), sqlite3_column_bytes(s, 0));
    }
    sqlite3_reset(s);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
}

void Store_GetBinary(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(store().getBinValue(Type, key(i++ % Keys)));
  state.SetItemsProcessed(state.iterations());
}

void Bare_GetBinary(benchmark::State& state) {
  int i = 0;
  sqlite3_stmt* s = bare().getBin;
  for (auto _ : state) {
    std::string k = key(i++ % Keys);
    sqlite3_bind_text(s, 1, Type, -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, k.data(), static_cast<int>(k.size()), SQLITE_TRANSIENT);
    platform::Data out;
    if (sqlite3_step(s) == SQLITE_ROW) {
      const auto* b = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, 0));
      out.assign(b, b + sqlite3_column_bytes(s, 0));
    }
    sqlite3_reset(s);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
}

// Both sides decode the same archived records: the comparison is of the store's layer.
void Store_NewestList(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(store().getNewestItemCacheList(store().TABLE_BIN_VALUE(), Type, Newest));
  state.SetItemsProcessed(state.iterations() * Newest);
}

void Bare_NewestList(benchmark::State& state) {
  sqlite3_stmt* s = bare().newest;
  for (auto _ : state) {
    auto result = kavro::DataItemResult::create();
    sqlite3_bind_text(s, 1, Type, -1, SQLITE_STATIC);
    sqlite3_bind_int(s, 2, Newest);
    while (sqlite3_step(s) == SQLITE_ROW) {
      const auto* b = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, 0));
      if (auto d = DataItemDetail::FromData(platform::Data(b, b + sqlite3_column_bytes(s, 0))))
        result->addItem(d);
    }
    sqlite3_reset(s);
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations() * Newest);
}

BENCHMARK(Store_SetString);
BENCHMARK(Bare_SetString);
BENCHMARK(Store_SetBinary);
BENCHMARK(Bare_SetBinary);
BENCHMARK(Store_GetString);
BENCHMARK(Bare_GetString);
BENCHMARK(Store_GetBinary);
BENCHMARK(Bare_GetBinary);
BENCHMARK(Store_NewestList);
BENCHMARK(Bare_NewestList);

// Keeps each run's time per iteration to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0)
        times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path home =
      std::filesystem::temp_directory_path() / ("kavro_bench_store_" + std::to_string(::getpid()));
  platform::Environment::setHomeRoot(home.string());
  fill();

  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\nDataKavroDB speed as a share of bare SQLite (goal: at least 0.80)\n");
  for (const auto& [name, time] : reporter.times) {
    if (name.rfind("Store_", 0) != 0) continue;
    std::string op = name.substr(6);
    auto peer = reporter.times.find("Bare_" + op);
    if (peer == reporter.times.end() || time <= 0) continue;
    std::printf("  %-12s %.2f\n", op.c_str(), peer->second / time);
  }
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return 0;
}
