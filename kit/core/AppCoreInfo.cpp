#include "kit/core/AppCoreInfo.h"

#include "kit/core/FSManager.h"
#include "kit/core/StoreDataTypes.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/StringTable.h"

namespace kavro {

namespace {

struct Shared {
  platform::Mutex mutex;
  std::unique_ptr<AppCoreInfo> instance GUARDED_BY(mutex);
  AppCoreInfo::UpgradeDataBases upgradeDataBases GUARDED_BY(mutex);
  AppCoreInfo::LocalizedString localizedString GUARDED_BY(mutex);
  std::function<bool()> englishResume GUARDED_BY(mutex);

  // A field named by member: the analysis cannot see a read through a member pointer itself.
  template <class F>
  const F& field(F Shared::*member) const REQUIRES(mutex) {
    return this->*member;
  }
};

Shared& shared() {
  static Shared s;
  return s;
}

// Copied out under the lock and called outside it: an operation may call back into this class.
template <class F>
F hook(F Shared::*member) {
  platform::MutexLock lock(shared().mutex);
  return shared().field(member);
}

}  // namespace

AppCoreInfo::AppCoreInfo() {
  bool isDirectory = false;
  isAppUpgradeFromOldVersion_ =
      platform::FileManager::fileExistsAtPath(
          platform::Environment::documentsPath() + "/" + std::string(FSManager::DataFolderName),
          &isDirectory) &&
      isDirectory;
  appCoreDB_ = std::make_shared<DataAppCoreDB>();
  appCacheDB_ = std::make_shared<DataAppCacheDB>();
  appDictDB_ = std::make_shared<DataAppDictDB>();
}

AppCoreInfo::~AppCoreInfo() = default;

AppCoreInfo& AppCoreInfo::sharedAppCoreInfo() {
  platform::MutexLock lock(shared().mutex);
  if (!shared().instance) shared().instance.reset(new AppCoreInfo());
  return *shared().instance;
}

void AppCoreInfo::destroyAppCoreInfo() {
  std::unique_ptr<AppCoreInfo> gone;
  platform::MutexLock lock(shared().mutex);
  gone = std::move(shared().instance);
}

void AppCoreInfo::resourceInit() {
  AppCoreInfo& core = sharedAppCoreInfo();
  if (auto upgrade = hook(&Shared::upgradeDataBases)) upgrade(core);
  core.isAppUpgradeFromOldVersion_ =
      core.appCoreDB_->getIntValue(STORE_CORE_CLIENT_VERSION_INFO, "storeKey_isAppUpdated") != 0;
}

std::string AppCoreInfo::getLocalizedString(std::string_view key) {
  if (key.empty()) return "";
  if (auto lookup = hook(&Shared::localizedString)) return lookup(key);
  return platform::StringTable::localizedString(key, "");
}

void AppCoreInfo::setUpgradeDataBases(UpgradeDataBases operation) {
  platform::MutexLock lock(shared().mutex);
  shared().upgradeDataBases = std::move(operation);
}

void AppCoreInfo::setLocalizedString(LocalizedString operation) {
  platform::MutexLock lock(shared().mutex);
  shared().localizedString = std::move(operation);
}

void AppCoreInfo::setEnglishResumeProvider(std::function<bool()> provider) {
  platform::MutexLock lock(shared().mutex);
  shared().englishResume = std::move(provider);
}

bool AppCoreInfo::isEnglishResume() {
  auto provider = hook(&Shared::englishResume);
  return provider && provider();
}

}  // namespace kavro
