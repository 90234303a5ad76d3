#include "app/shell/AppTracking.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataItemDetail.h"
#include "kit/core/StringMisc.h"
#include "platform/foundation/RunLoop.h"

namespace kavro {

namespace {

// Counts handed out to the upload under way, by point, and the store they were counted in: a
// store opened anew (another home) holds none of them. Main thread, so no lock.
struct HandedOut {
  std::weak_ptr<DataAppCoreDB> store;
  std::map<std::string, long long, std::less<>> counts;
};

std::map<std::string, long long, std::less<>>& handedOut(const std::shared_ptr<DataAppCoreDB>& store) {
  static auto* held = new HandedOut();
  if (held->store.lock() != store) {
    held->store = store;
    held->counts.clear();
  }
  return held->counts;
}

// Uses counted and not yet written, in the order first counted, with the store they were counted
// in: a store opened anew (another home) gets none of them.
struct Waiting {
  std::weak_ptr<DataAppCoreDB> store;
  std::vector<std::pair<std::string, long long>> counts;
};

Waiting& waiting() {
  static auto* w = new Waiting();
  return *w;
}

int flushTimerKey;

bool count(DataAppCoreDB& db, std::string_view point, long long uses) {
  // One statement whether the point is new or counted before.
  return db.execSQL(
      "insert into `USER_TRACE`(`TRACE_POINT`,`TRACE_COUNT`,`TRACE_COUNT_ONSUBMIT`) values (?,?,0) "
      "on conflict(`TRACE_POINT`) do update set `TRACE_COUNT`=`TRACE_COUNT`+excluded.`TRACE_COUNT`",
      {platform::Value(point), platform::Value(uses)});
}

// Writes the waiting counts and `point` (when given) into db in one transaction.
void write(const std::shared_ptr<DataAppCoreDB>& db, std::string_view point) {
  auto& w = waiting();
  platform::RunLoop::main().cancelPerforms(&flushTimerKey);
  auto counts = std::move(w.counts);
  w.counts.clear();
  if (w.store.lock() != db) counts.clear();
  if (!db || (counts.empty() && point.empty())) return;
  const bool batched = (counts.size() + !point.empty()) > 1 && db->begin();
  for (const auto& [p, uses] : counts) count(*db, p, uses);
  if (!point.empty()) count(*db, point, 1);
  if (batched && !db->commit()) db->rollback();
}

}  // namespace

void AppTracking::record(std::string_view point) {
  if (point.empty()) return;
  write(AppCoreInfo::getCoreDB(), point);
}

void AppTracking::recordLater(std::string_view point) {
  if (point.empty()) return;
  auto db = AppCoreInfo::getCoreDB();
  auto& w = waiting();
  if (w.store.lock() != db) {
    w.store = db;
    w.counts.clear();
  }
  auto it = std::find_if(w.counts.begin(), w.counts.end(), [&](const auto& c) { return c.first == point; });
  if (it != w.counts.end()) {
    ++it->second;
    return;
  }
  if (w.counts.empty()) platform::RunLoop::main().performAfter(FlushDelay, &flushTimerKey, [] { flush(); });
  w.counts.emplace_back(std::string(point), 1);
}

void AppTracking::flush() {
  if (waiting().counts.empty()) return;
  write(waiting().store.lock(), {});
}

platform::Data AppTracking::getTrackingPostData() {
  flush();
  auto db = AppCoreInfo::getCoreDB();
  auto rows =
      db->get_all("select `TRACE_POINT`,`TRACE_COUNT` from `USER_TRACE` where `TRACE_COUNT`>0 order by `ID`");
  std::string body;
  if (rows) {
    auto& locked = handedOut(db);
    for (const auto& row : *rows) {
      const std::string point = row->valueForKey("TRACE_POINT").stringValue();
      long long& held = locked[point];
      const long long count = integerValueOf(row->valueForKey("TRACE_COUNT")) - held;
      if (count <= 0) continue;
      held += count;
      if (!body.empty()) body += '&';
      body += str::urlEncoding(point);
      body += '=';
      body += std::to_string(count);
    }
  }
  return platform::dataFromString(body);
}

void AppTracking::trackingUploadEnded(bool delivered) {
  auto db = AppCoreInfo::getCoreDB();
  auto& locked = handedOut(db);
  if (delivered && !locked.empty()) {
    const bool batched = db->begin();
    for (const auto& [point, count] : locked) {
      if (count <= 0) continue;
      db->execSQL("update `USER_TRACE` set `TRACE_COUNT`=max(`TRACE_COUNT`-?,0) where `TRACE_POINT`=?",
                  {platform::Value(count), platform::Value(point)});
    }
    if (batched) db->commit();
  }
  locked.clear();
}

}  // namespace kavro
