#include "app/shell/AppTracking.h"

#include <map>
#include <memory>
#include <string>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataItemDetail.h"
#include "kit/core/StringMisc.h"

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

bool count(DataAppCoreDB& db, std::string_view point, long long uses) {
  // One statement whether the point is new or counted before.
  return db.execSQL(
      "insert into `USER_TRACE`(`TRACE_POINT`,`TRACE_COUNT`,`TRACE_COUNT_ONSUBMIT`) values (?,?,0) "
      "on conflict(`TRACE_POINT`) do update set `TRACE_COUNT`=`TRACE_COUNT`+excluded.`TRACE_COUNT`",
      {platform::Value(point), platform::Value(uses)});
}

}  // namespace

void AppTracking::record(std::string_view point) {
  if (point.empty()) return;
  if (auto db = AppCoreInfo::getCoreDB()) count(*db, point, 1);
}

platform::Data AppTracking::getTrackingPostData() {
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
