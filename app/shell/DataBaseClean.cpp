#include "app/shell/DataBaseCleanOps.h"
#include "app/shell/DataBaseClean_v200.h"
#include "app/shell/DataBaseClean_v210.h"
#include "app/shell/DataBaseClean_v220.h"
#include "app/shell/DataBaseClean_v221.h"
#include "app/shell/DataBaseClean_v231.h"
#include "app/shell/DataBaseClean_v240plus.h"
#include "kit/core/AppUtil.h"

// A step writes its flag only after its clean-ups succeeded, so a step a store failed in runs
// again at the next start instead of leaving stale data behind for good.
namespace kavro {

using namespace dbclean;

bool DataBaseClean_v200::currentAppISv200() { return currentVersionFlag() < 201; }
void DataBaseClean_v200::setCurrentAppv210() { setVersionFlag(210); }
bool DataBaseClean_v200::cleanDataBase_v200_to_v210() {
  if (!currentAppISv200()) return true;
  return runStep(setCurrentAppv210, [] {
    upgradeUserNameAndPassword();
    cleanCompanyAndJobDetail(false);
    cleanUserTraceTable();
    cleanAppUpgradeInfo();
    cleanAppSkinData();
    cleanAppCommentsRecords();
    cleanOldFileCache();
  });
}

bool DataBaseClean_v210::currentAppISv210() { return currentVersionFlag() < 211; }
void DataBaseClean_v210::setCurrentAppv220() { setVersionFlag(220); }
bool DataBaseClean_v210::cleanDataBase_v210_to_v220() {
  if (!currentAppISv210()) return true;
  return runStep(setCurrentAppv220, [] {
    cleanJobSearchHistoryInCoreDB();
    cleanCompanyAndJobDetail(true);
    cleanUserTraceTable();
    cleanAppUpgradeInfo();
    cleanAppSkinData();
    cleanAppCommentsRecords();
  });
}

bool DataBaseClean_v220::currentAppISv220() { return currentVersionFlag() < 221; }
void DataBaseClean_v220::setCurrentAppv221() { setVersionFlag(221); }
bool DataBaseClean_v220::cleanDataBase_v220_to_v221() {
  if (!currentAppISv220()) return true;
  return runStep(setCurrentAppv221, [] {
    cleanAppUpgradeInfo();
    cleanAppSkinData();
    cleanAppCommentsRecords();
    clearAllDictionaries();
  });
}

bool DataBaseClean_v221::isOlderThan231() { return currentVersionFlag() < 231; }
void DataBaseClean_v221::setCurrentAppv231() { setVersionFlag(231); }
bool DataBaseClean_v221::cleanDataBase_v221_to_v231() {
  if (!isOlderThan231()) return true;
  return runStep(setCurrentAppv231, [] {
    cleanAppUpgradeInfo();
    cleanAppSkinData();
    cleanAppCommentsRecords();
    clearAllDictionaries();
    cleanAppNewHelper();
  });
}

bool DataBaseClean_v231::isOlderThan235() { return currentVersionFlag() < 235; }
void DataBaseClean_v231::setCurrentAppv235() { setVersionFlag(235); }
bool DataBaseClean_v231::cleanDataBase_v231_to_v235() {
  if (!isOlderThan235()) return true;
  return runStep(setCurrentAppv235, [] {
    resetSavedUserInfo();
    cleanAppUpgradeInfo();
    cleanAppSkinData();
    cleanAppCommentsRecords();
    clearAllDictionaries();
    cleanAppNewHelper();
  });
}

bool DataBaseClean_v240plus::autoCleanDataByAppVersion() {
  const std::int64_t running = AppUtil::getVersionCode();
  // An unreadable (0) or older version code would drop the flag below the earlier steps' bounds
  // and have them wipe the saved login and re-seal credentials on every start.
  if (running <= LastStepFlag || currentVersionFlag() == running) return true;
  return runStep([running] { setVersionFlag(running); },
                 [] {
                   cleanAppUpgradeInfo();
                   cleanAppSkinData();
                   cleanAppCommentsRecords();
                   clearAllDictionaries();
                   cleanAppNewHelper();
                 });
}

}  // namespace kavro
