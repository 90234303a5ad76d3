// DataKavroDB against bare prepared SQLite statements doing the same work on the same schema and
// indexes: set and get of 1 KB strings and byte values, and the newest-N record list at 1,000,
// 100,000 and 1,000,000 records of a type. A write on both sides is the store's own pair of
// statements: an update stamped with the current time (text made once a second), and an insert
// when no row changed. Writes run 100 to a transaction on both sides, both in the stores' journal
// and sync mode (write-ahead log, synchronous NORMAL), each repetition from an empty log, the two
// sides' transactions in pairs. The repetitions of all rows run interleaved in a shuffled order.
// Prints, per operation, the store's speed as a share of bare SQLite.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/Ratio.h"
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

std::string localTime() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  return buf;
}

struct Bare {
  struct Table {
    sqlite3_stmt* update = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_stmt* get = nullptr;
  };
  sqlite3* db = nullptr;
  Table str, bin;
  sqlite3_stmt* newest = nullptr;
  std::time_t second = 0;
  std::string now;

  explicit Bare(const char* name) {
    std::string path = *kavro::FSManager::getDbFullPath(name);
    // A handle for one thread at a time, as the stores open theirs.
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                    nullptr);
    // The journal and sync mode the stores keep (see README.md): the same disk work per commit.
    int persist = 1;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA journal_size_limit=4194304",
                 nullptr, nullptr, nullptr);
    for (const char* table : {"DATA_STR_VALUE", "DATA_BIN_VALUE"}) {
      std::string t = table;
      std::string create =
          "CREATE TABLE IF NOT EXISTS [" + t +
          "]([ID] INTEGER PRIMARY KEY, [DATA_TYPE] CHAR(100) NOT NULL, [DATA_KEY] CHAR(200) NOT "
          "NULL, [DATA_VALUE], [DATA_ADDTIME] TIMESTAMP NOT NULL DEFAULT (datetime(CURRENT_TIMESTAMP, "
          "'localtime'))); CREATE UNIQUE INDEX IF NOT EXISTS [" +
          t + "_unique_key] ON [" + t + "] ([DATA_TYPE], [DATA_KEY]); CREATE INDEX IF NOT EXISTS [" + t +
          "_item_time] ON [" + t + "] ([DATA_TYPE], [DATA_ADDTIME]) WHERE substr(DATA_KEY,1,5)='item.';";
      sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr);
      Table& s = t == "DATA_STR_VALUE" ? str : bin;
      s.update =
          prepare("UPDATE " + t + " SET DATA_VALUE=?, DATA_ADDTIME=? WHERE DATA_TYPE=? AND DATA_KEY=?");
      s.insert = prepare("INSERT INTO " + t + "(DATA_TYPE,DATA_KEY,DATA_VALUE,DATA_ADDTIME) VALUES(?,?,?,?)");
      s.get = prepare("SELECT DATA_VALUE FROM " + t + " WHERE DATA_TYPE=? AND DATA_KEY=?");
    }
    newest = prepare(
        "SELECT DATA_VALUE FROM DATA_BIN_VALUE WHERE DATA_TYPE=? AND substr(DATA_KEY,1,5)='item.' AND "
        "DATA_ADDTIME<=? ORDER BY DATA_ADDTIME DESC, ID DESC LIMIT ?");
  }
  sqlite3_stmt* prepare(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "prepare failed: %s\n", sqlite3_errmsg(db));
      std::abort();
    }
    return s;
  }
  const std::string& time() {
    std::time_t t = std::time(nullptr);
    if (t != second) {
      now = localTime();
      second = t;
    }
    return now;
  }
  static void bindValue(sqlite3_stmt* s, int index, const void* v, int n, bool blob) {
    if (blob)
      sqlite3_bind_blob(s, index, v, n, SQLITE_STATIC);
    else
      sqlite3_bind_text(s, index, static_cast<const char*>(v), n, SQLITE_STATIC);
  }
  void set(const Table& t, const std::string& k, const void* v, int n, bool blob) {
    const std::string& at = time();
    bindValue(t.update, 1, v, n, blob);
    sqlite3_bind_text(t.update, 2, at.data(), static_cast<int>(at.size()), SQLITE_STATIC);
    sqlite3_bind_text(t.update, 3, Type, -1, SQLITE_STATIC);
    sqlite3_bind_text(t.update, 4, k.data(), static_cast<int>(k.size()), SQLITE_STATIC);
    sqlite3_step(t.update);
    sqlite3_reset(t.update);
    if (sqlite3_changes(db) > 0) return;
    sqlite3_bind_text(t.insert, 1, Type, -1, SQLITE_STATIC);
    sqlite3_bind_text(t.insert, 2, k.data(), static_cast<int>(k.size()), SQLITE_STATIC);
    bindValue(t.insert, 3, v, n, blob);
    sqlite3_bind_text(t.insert, 4, at.data(), static_cast<int>(at.size()), SQLITE_STATIC);
    sqlite3_step(t.insert);
    sqlite3_reset(t.insert);
  }
  void exec(const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
};

Bare& bare() {
  static Bare b("bench_bare.db");
  return b;
}

void fill() {
  DataKavroDB& db = store();
  db.begin();
  bare().exec("BEGIN");
  for (int i = 0; i < Keys; ++i) {
    db.setStrValue(Type, key(i), Value1K);
    db.setBinValue(Type, key(i), Bytes1K);
    bare().set(bare().str, key(i), Value1K.data(), 1024, false);
    bare().set(bare().bin, key(i), Bytes1K.data(), 1024, true);
    auto record = DataItemDetail::newDetail();
    record->setString(key(i), "id");
    record->setString(std::string(200, 'r'), "body");
    db.saveItemCache(Type, key(i), *record);
    platform::Data archived = record->toData();
    bare().set(bare().bin, "item." + key(i), archived.data(), static_cast<int>(archived.size()), true);
  }
  db.commit();
  bare().exec("COMMIT");
}

// ---- Benchmarks ----

// Each repetition of a write starts with both logs copied into their files and restarted (kept at
// their size), so that both sides copy their log back at the same points of the work: the copy
// falls on the commit that fills the log.
void emptyLogs() {
  store().execSQL("PRAGMA wal_checkpoint(RESTART)");
  bare().exec("PRAGMA wal_checkpoint(RESTART)");
}

// Every batch of the store's writes is paired with one of bare SQLite's, the two run back to back
// in an order that flips from pair to pair, each timed by itself: a busy spell of the shared
// machine falls on both sides of a pair. The figure is the median of the pairs' ratios over all
// repetitions; the times shown are each side's median batch.
struct Pairs {
  std::vector<double> ours, peer;  // ns per batch
};
std::map<std::string, Pairs>& pairs() {
  static std::map<std::string, Pairs> byOp;
  return byOp;
}

template <typename Ours, typename Peer>
void pairedBatches(benchmark::State& state, const char* op, Ours ours, Peer peer) {
  using Clock = std::chrono::steady_clock;
  emptyLogs();
  Pairs& p = pairs()[op];
  int i = 0, j = 0;
  auto timed = [](auto&& batch) {
    const auto start = Clock::now();
    batch();
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
  };
  auto oursBatch = [&] {
    store().begin();
    for (int n = 0; n < Batch; ++n) ours(key(i++ % Keys));
    store().commit();
  };
  auto peerBatch = [&] {
    bare().exec("BEGIN");
    for (int n = 0; n < Batch; ++n) peer(key(j++ % Keys));
    bare().exec("COMMIT");
  };
  bool oursFirst = true;
  for (auto _ : state) {
    if (oursFirst) {
      p.ours.push_back(timed(oursBatch));
      p.peer.push_back(timed(peerBatch));
    } else {
      p.peer.push_back(timed(peerBatch));
      p.ours.push_back(timed(oursBatch));
    }
    oursFirst = !oursFirst;
  }
  state.SetItemsProcessed(state.iterations() * Batch * 2);
}

void Paired_SetString(benchmark::State& state) {
  pairedBatches(
      state, "SetString", [](const std::string& k) { store().setStrValue(Type, k, Value1K); },
      [](const std::string& k) { bare().set(bare().str, k, Value1K.data(), 1024, false); });
}

void Paired_SetBinary(benchmark::State& state) {
  pairedBatches(
      state, "SetBinary", [](const std::string& k) { store().setBinValue(Type, k, Bytes1K); },
      [](const std::string& k) { bare().set(bare().bin, k, Bytes1K.data(), 1024, true); });
}

double median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

void Store_GetString(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(store().getStrValue(Type, key(i++ % Keys)));
  state.SetItemsProcessed(state.iterations());
}

void Bare_GetString(benchmark::State& state) {
  int i = 0;
  sqlite3_stmt* s = bare().str.get;
  for (auto _ : state) {
    std::string k = key(i++ % Keys);
    sqlite3_bind_text(s, 1, Type, -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, k.data(), static_cast<int>(k.size()), SQLITE_STATIC);
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
  sqlite3_stmt* s = bare().bin.get;
  for (auto _ : state) {
    std::string k = key(i++ % Keys);
    sqlite3_bind_text(s, 1, Type, -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, k.data(), static_cast<int>(k.size()), SQLITE_STATIC);
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

// ---- The newest-N list as the type grows ----

// A store and a bare database of their own for one size, filled with that many "item." records of
// the type (outside the timing), so that the sizes' repetitions may run in any order.
struct Lists {
  DataKavroDB store;
  Bare bare;
  int rows = 0;
  explicit Lists(int n)
      : store("bench_list_store_" + std::to_string(n) + ".db"),
        bare(("bench_list_bare_" + std::to_string(n) + ".db").c_str()) {
    auto record = DataItemDetail::newDetail();
    record->setString("45000000", "id");
    record->setString(std::string(100, 'r'), "body");
    const platform::Data archived = record->toData();
    store.begin();
    bare.exec("BEGIN");
    for (; rows < n; ++rows) {
      const std::string k = "item." + key(rows);
      store.setBinValue(Type, k, archived);
      bare.set(bare.bin, k, archived.data(), static_cast<int>(archived.size()), true);
    }
    store.commit();
    bare.exec("COMMIT");
  }
};

Lists& lists(int rows) {
  static std::map<int, std::unique_ptr<Lists>> bySize;
  auto& l = bySize[rows];
  if (!l) l = std::make_unique<Lists>(rows);
  return *l;
}

// Both sides decode the same archived records: the comparison is of the store's layer.
void Store_NewestList(benchmark::State& state) {
  DataKavroDB& db = lists(static_cast<int>(state.range(0))).store;
  for (auto _ : state) {
    auto list = db.getNewestItemCacheList(db.TABLE_BIN_VALUE(), Type, Newest);
    if (list->count() != Newest) state.SkipWithError("short list");
    benchmark::DoNotOptimize(list);
  }
  state.SetItemsProcessed(state.iterations() * Newest);
}

void Bare_NewestList(benchmark::State& state) {
  Bare& b = lists(static_cast<int>(state.range(0))).bare;
  sqlite3_stmt* s = b.newest;
  for (auto _ : state) {
    auto result = kavro::DataItemResult::create();
    const std::string& now = b.time();
    sqlite3_bind_text(s, 1, Type, -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, now.data(), static_cast<int>(now.size()), SQLITE_STATIC);
    sqlite3_bind_int(s, 3, Newest);
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

// One record read by key from the same table: what a list of the newest is measured against.
void Store_PointRead(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  DataKavroDB& db = lists(rows).store;
  int i = 0;
  for (auto _ : state) {
    auto record = db.getItemCache(Type, key(i));
    if (!record) state.SkipWithError("missing record");
    benchmark::DoNotOptimize(record);
    i = (i + 7919) % rows;
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(Paired_SetString);
BENCHMARK(Paired_SetBinary);
BENCHMARK(Store_GetString);
BENCHMARK(Bare_GetString);
BENCHMARK(Store_GetBinary);
BENCHMARK(Bare_GetBinary);
constexpr int ListSizes[] = {1000, 100000, 1000000};
BENCHMARK(Store_NewestList)->Arg(ListSizes[0])->Arg(ListSizes[1])->Arg(ListSizes[2]);
BENCHMARK(Bare_NewestList)->Arg(ListSizes[0])->Arg(ListSizes[1])->Arg(ListSizes[2]);
BENCHMARK(Store_PointRead)->Arg(ListSizes[0])->Arg(ListSizes[1])->Arg(ListSizes[2]);

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path home =
      std::filesystem::temp_directory_path() / ("kavro_bench_store_" + std::to_string(::getpid()));
  platform::Environment::setHomeRoot(home.string());
  fill();

  // The repetitions of all rows run in a shuffled order, so that ours and the peer are timed across
  // the same spells of a busy machine rather than one after the other (a flag given on the command
  // line comes later and wins).
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  std::vector<char*> args(argv, argv + argc);
  args.insert(args.begin() + 1, interleave.data());
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(count, args.data(), reporter, 5);

  using kavro::bench::figure;
  std::printf(
      "\nDataKavroDB speed as a share of bare SQLite: writes by paired batches, reads best of the "
      "repetitions\n");
  for (const auto& [op, p] : pairs()) {
    if (p.ours.empty()) continue;
    std::vector<double> ratios;
    for (std::size_t k = 0; k < p.ours.size(); ++k) ratios.push_back(p.peer[k] / p.ours[k]);
    kavro::bench::reportRatio("store " + op + " (1 KB), batches paired", figure(median(p.ours) / 1e3, "us"),
                              "SQLite " + figure(median(p.peer) / 1e3, "us"), median(ratios), 1.0);
  }
  for (const char* op : {"GetString", "GetBinary"}) {
    const std::string ours = std::string("Store_") + op, peer = std::string("Bare_") + op;
    if (!reporter.has(ours) || !reporter.has(peer)) continue;
    kavro::bench::reportRatio(
        std::string("store ") + op + " (1 KB)", figure(reporter.timeNs(ours) / 1e3, "us"),
        "SQLite " + figure(reporter.timeNs(peer) / 1e3, "us"), reporter.timeRatio(ours, peer), 1.0);
  }
  for (int rows : ListSizes) {
    const std::string n = "/" + std::to_string(rows);
    const std::string ours = "Store_NewestList" + n, peer = "Bare_NewestList" + n,
                      point = "Store_PointRead" + n;
    if (reporter.has(ours) && reporter.has(peer))
      kavro::bench::reportRatio(
          "store newest 20 of " + std::to_string(rows), figure(reporter.timeNs(ours) / 1e3, "us"),
          "SQLite " + figure(reporter.timeNs(peer) / 1e3, "us"), reporter.timeRatio(ours, peer), 0.9);
    // A list of the newest stays within a few point reads at every size.
    if (reporter.has(ours) && reporter.has(point))
      kavro::bench::reportRatio("store newest 20 of " + std::to_string(rows) + " vs one point read",
                                figure(reporter.timeNs(ours) / 1e3, "us"),
                                "point read " + figure(reporter.timeNs(point) / 1e3, "us"),
                                reporter.timeRatio(ours, point), 0.2);
  }
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return 0;
}
