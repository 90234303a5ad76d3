#include "app/shell/DataBaseCleanOps.h"

#include <string>

#include "kit/base64/Base64.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"

namespace kavro::dbclean {

namespace {

DataAppCoreDB& core() { return *AppCoreInfo::sharedAppCoreInfo().appCoreDB(); }
DataAppCacheDB& cache() { return *AppCoreInfo::sharedAppCoreInfo().appCacheDB(); }
DataAppDictDB& dict() { return *AppCoreInfo::sharedAppCoreInfo().appDictDB(); }

}  // namespace

std::int64_t currentVersionFlag() {
  return core().getIntValue(STORE_CORE_CLIENT_VERSION_INFO, VersionFlagKey);
}

void setVersionFlag(std::int64_t flag) {
  core().setIntValue(STORE_CORE_CLIENT_VERSION_INFO, VersionFlagKey, flag);
}

bool runStep(const std::function<void()>& writeFlag, const std::function<void()>& cleanUps) {
  auto& info = AppCoreInfo::sharedAppCoreInfo();
  DataSQLiteDB* stores[] = {info.appCoreDB().get(), info.appCacheDB().get(), info.appDictDB().get()};
  for (DataSQLiteDB* db : stores) {
    if (!db || !db->isOpen()) return false;
    db->setErrorMessage(std::nullopt);
  }
  cleanUps();
  for (DataSQLiteDB* db : stores) {
    if (!db->isOpen() || db->getErrorMessage()) return false;
  }
  writeFlag();
  markUpdatedWhenUpgrading();
  return true;
}

void markUpdatedWhenUpgrading() {
  if (AppCoreInfo::sharedAppCoreInfo().isAppUpgradeFromOldVersion())
    core().setIntValue(STORE_CORE_CLIENT_VERSION_INFO, AppUpdatedKey, 1);
}

void upgradeUserNameAndPassword() {
  DataAppCoreDB& db = core();
  if (db.getIntValue(STORE_CORE_USER_INFO, UserCoreInfo::AutoLoginKey) == 0)
    db.deleteStrValue(STORE_CORE_USER_INFO, UserCoreInfo::PasswordKey);
  for (std::string_view key : {UserCoreInfo::UserNameKey, UserCoreInfo::PasswordKey}) {
    std::string plain = db.getStrValue(STORE_CORE_USER_INFO, key);
    if (plain.empty()) continue;
    if (auto sealed = encryptStringWith3DES(plain, UserCoreInfo::CredentialKey))
      db.setStrValue(STORE_CORE_USER_INFO, key, *sealed);
    else
      // Never leave a credential readable in the store; the user logs in again instead.
      db.deleteStrValue(STORE_CORE_USER_INFO, key);
  }
  db.clearStrData(STORE_CORE_USER_LOGIN);
}

void resetSavedUserInfo() {
  DataAppCoreDB& db = core();
  db.deleteStrValue(STORE_CORE_USER_INFO, UserCoreInfo::UserNameKey);
  db.deleteStrValue(STORE_CORE_USER_INFO, UserCoreInfo::PasswordKey);
  db.clearStrData(STORE_CORE_USER_LOGIN);
}

void cleanCompanyAndJobDetail(bool wholly) {
  DataAppCacheDB& db = cache();
  if (wholly) {
    db.cleanAllDataWithDataType(STORE_CACHE_COMPANY_DETAIL);
    db.cleanAllDataWithDataType(STORE_CACHE_JOB_DETAIL);
    return;
  }
  db.clearIntData(STORE_CACHE_COMPANY_DETAIL);
  db.clearBinData(STORE_CACHE_JOB_DETAIL);
  db.clearIntData(STORE_CACHE_JOB_DETAIL);
}

void cleanJobSearchHistoryInCoreDB() {
  DataAppCoreDB& db = core();
  for (std::string_view type :
       {STORE_CORE_JOBSEARCH_HISTORY, STORE_CORE_JOBSEARCH_FORM, STORE_CORE_CAMPUS_JOBSEARCH_HISTORY,
        STORE_CORE_KEYWORDS_HISTORY, STORE_CORE_CAMPUS_JOBSEARCH_FORM})
    db.cleanAllDataWithDataType(type);
}

void cleanUserTraceTable() {
  DataAppCoreDB& db = core();
  db.truncateTable(db.TABLE_USER_TRACE());
}

void cleanAppUpgradeInfo() { core().cleanAllDataWithDataType(STORE_CORE_APP_UPGRADE); }

void cleanAppSkinData() {
  auto skins = AppSkin::getLocalSkinList();
  for (std::size_t i = 0; i < skins->count(); ++i) {
    std::string name = skins->getItem(i)->getString("name");
    if (name != AppSkin::NativeSkinName) AppSkin::removeLocalSkin(name);
  }
  core().cleanAllDataWithDataType(STORE_CORE_APP_SKIN);
}

void cleanAppCommentsRecords() {
  DataAppCoreDB& db = core();
  db.deleteIntValue(STORE_CORE_KAVRO_MAIN, "storeKey_userHasDoJobApply");
  db.deleteIntValue(STORE_CORE_KAVRO_MAIN, "storeKey_hasShowCommentAlert");
}

void clearAllDictionaries() {
  DataAppDictDB& db = dict();
  db.truncateTable(db.TABLE_BIN_VALUE());
  db.truncateTable(db.TABLE_STR_VALUE());
  db.truncateTable(db.TABLE_INT_VALUE());
}

void cleanAppNewHelper() { core().deleteIntValue(STORE_CORE_TIP_MESSAGE, "storeKey_isNewHelperShowed"); }

void cleanOldFileCache() {
  const std::string documents = platform::Environment::documentsPath();
  for (std::string_view name : OldCacheFiles) {
    std::string path = documents + "/" + std::string(name);
    if (!platform::FileManager::fileExistsAtPath(path)) continue;
    AppCoreInfo::sharedAppCoreInfo().setIsAppUpgradeFromOldVersion(true);
    if (platform::FileManager::isDeletableFileAtPath(path)) platform::FileManager::removeItemAtPath(path);
  }
}

}  // namespace kavro::dbclean
