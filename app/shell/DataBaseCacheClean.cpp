#include "app/shell/DataBaseCacheClean.h"

#include "kit/core/AppCoreInfo.h"

namespace kavro {

namespace {

void emptyValueTables(DataKavroDB& db) {
  db.truncateTable(db.TABLE_BIN_VALUE());
  db.truncateTable(db.TABLE_STR_VALUE());
  db.truncateTable(db.TABLE_INT_VALUE());
  db.compressDB();
}

std::int64_t valueTablesSize(DataKavroDB& db) {
  return db.getSizeOfTable(db.TABLE_BIN_VALUE()) + db.getSizeOfTable(db.TABLE_STR_VALUE()) +
         db.getSizeOfTable(db.TABLE_INT_VALUE());
}

}  // namespace

void DataBaseCacheClean::cleanAllDBCache() {
  AppCoreInfo& core = AppCoreInfo::sharedAppCoreInfo();
  emptyValueTables(*core.appDictDB());
  emptyValueTables(*core.appCacheDB());
}

std::int64_t DataBaseCacheClean::getAllCacheSize() {
  AppCoreInfo& core = AppCoreInfo::sharedAppCoreInfo();
  return valueTablesSize(*core.appCacheDB()) + valueTablesSize(*core.appDictDB());
}

}  // namespace kavro
