#include "kit/core/DataAppCoreDB.h"

namespace kavro {

namespace {
constexpr std::string_view CreateUserTrace =
    "CREATE TABLE [USER_TRACE]([ID] INTEGER PRIMARY KEY, [TRACE_POINT] CHAR(200),[TRACE_COUNT] "
    "INTEGER,[TRACE_COUNT_ONSUBMIT] INTEGER);CREATE UNIQUE INDEX [USER_TRACE_unique_key] ON [USER_TRACE] "
    "([TRACE_POINT]);";
}  // namespace

DataAppCoreDB::DataAppCoreDB() : DataKavroDB(FileName) {
  createTableIfMissing(TABLE_USER_TRACE(), CreateUserTrace);
}

void DataAppCoreDB::madeAnew() {
  DataKavroDB::madeAnew();
  createTableIfMissing(TABLE_USER_TRACE(), CreateUserTrace);
}

}  // namespace kavro
