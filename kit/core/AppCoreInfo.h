#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "kit/core/DataAppCacheDB.h"
#include "kit/core/DataAppCoreDB.h"
#include "kit/core/DataAppDictDB.h"

namespace kavro {

// The process-wide owner of the three key-value stores, the start-up hook and the lookup of
// localised texts. Created on first use (at the latest by resourceInit() at launch) and kept for
// the life of the process; the stores stay open as long as it lives.
//
// The application adds two operations, installed here before launch: its version upgrade steps
// and its own localised lookup. Until it does, resourceInit() runs no steps and texts come from
// the bundle's default string table.
//
// Creation is thread-safe; everything else is for the main thread.
class AppCoreInfo {
 public:
  static AppCoreInfo& sharedAppCoreInfo();
  // Forgets the instance, closing the stores (tests).
  static void destroyAppCoreInfo();

  // Once at launch: runs the application's upgrade steps, then reads the "updated" marker into
  // isAppUpgradeFromOldVersion().
  static void resourceInit();

  static std::shared_ptr<DataAppCoreDB> getCoreDB() { return sharedAppCoreInfo().appCoreDB(); }
  static std::shared_ptr<DataAppCacheDB> getCacheDB() { return sharedAppCoreInfo().appCacheDB(); }
  static std::shared_ptr<DataAppDictDB> getDictDB() { return sharedAppCoreInfo().appDictDB(); }

  // The text for a localisation key: the application's lookup when installed, else the bundle's
  // default table. "" for an empty or unknown key.
  static std::string getLocalizedString(std::string_view key);

  using UpgradeDataBases = std::function<void(AppCoreInfo& core)>;
  using LocalizedString = std::function<std::string(std::string_view key)>;
  // An empty function removes the operation.
  static void setUpgradeDataBases(UpgradeDataBases operation);
  static void setLocalizedString(LocalizedString operation);
  // Whether the logged-in user has chosen the English resume; the login session provides the
  // answer once it exists. false while nobody provides one.
  static void setEnglishResumeProvider(std::function<bool()> provider);
  static bool isEnglishResume();

  const std::shared_ptr<DataAppCoreDB>& appCoreDB() const { return appCoreDB_; }
  const std::shared_ptr<DataAppCacheDB>& appCacheDB() const { return appCacheDB_; }
  const std::shared_ptr<DataAppDictDB>& appDictDB() const { return appDictDB_; }
  // An earlier installation left data behind (the data folder existed at start), or, after
  // resourceInit(), the upgrade steps marked the stores as updated.
  bool isAppUpgradeFromOldVersion() const { return isAppUpgradeFromOldVersion_; }
  void setIsAppUpgradeFromOldVersion(bool value) { isAppUpgradeFromOldVersion_ = value; }

  AppCoreInfo(const AppCoreInfo&) = delete;
  AppCoreInfo& operator=(const AppCoreInfo&) = delete;
  ~AppCoreInfo();

 private:
  AppCoreInfo();

  bool isAppUpgradeFromOldVersion_ = false;
  std::shared_ptr<DataAppCoreDB> appCoreDB_;
  std::shared_ptr<DataAppCacheDB> appCacheDB_;
  std::shared_ptr<DataAppDictDB> appDictDB_;
};

}  // namespace kavro
