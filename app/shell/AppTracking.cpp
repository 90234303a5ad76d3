#include "app/shell/AppTracking.h"

#include <string>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataItemDetail.h"
#include "kit/core/StringMisc.h"

namespace kavro {

void AppTracking::record(std::string_view point) {
  if (point.empty()) return;
  auto db = AppCoreInfo::getCoreDB();
  const std::string table(db->TABLE_USER_TRACE());
  const platform::Value name(point);
  auto row = platform::MutableDictionary::create();
  if (auto count = db->get_cell("select `TRACE_COUNT` from `USER_TRACE` where `TRACE_POINT`=?", {name})) {
    row->setObject(platform::Value(static_cast<long long>(integerValueOf(platform::Value(*count)) + 1)),
                   "TRACE_COUNT");
    db->update(table, *row, "`TRACE_POINT`=?", {name});
    return;
  }
  row->setObject(name, "TRACE_POINT");
  row->setObject(platform::Value(1), "TRACE_COUNT");
  row->setObject(platform::Value(0), "TRACE_COUNT_ONSUBMIT");
  db->insert(table, *row);
}

platform::Data AppTracking::getTrackingPostData() {
  auto rows = AppCoreInfo::getCoreDB()->get_all(
      "select `TRACE_POINT`,`TRACE_COUNT` from `USER_TRACE` where `TRACE_COUNT`>0 order by `ID`");
  std::string body;
  if (rows) {
    for (const auto& row : *rows) {
      if (!body.empty()) body += '&';
      body += str::urlEncoding(row->valueForKey("TRACE_POINT").stringValue());
      body += '=';
      body += row->valueForKey("TRACE_COUNT").stringValue();
    }
  }
  return platform::dataFromString(body);
}

}  // namespace kavro
