#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

// The clean-ups the version upgrade steps share, and the version flag they move. Each works on the
// stores of AppCoreInfo's shared instance; a store failing in a step keeps the step's flag from moving. Main
// thread.
namespace kavro::dbclean {

// Core store, STORE_CORE_CLIENT_VERSION_INFO: the data layout's version code (absent reads 0)
// and the marker that an older version's data was upgraded.
inline constexpr std::string_view VersionFlagKey = "storeKey_currentAppVersionFlag";
inline constexpr std::string_view AppUpdatedKey = "storeKey_isAppUpdated";

// The cache files of the versions before the stores, in the documents folder.
inline constexpr std::array<std::string_view, 18> OldCacheFiles{
    "KavroJobType.cache",          "KavroUserInfo.cache",
    "KavroWorkArea.cache",         "KavroPublishDate.cache",
    "KavroAppRunTime.cache",       "KavroDetailJob.cache",
    "KavroDetailCompany.cache",    "KavroDetailNews.cache",
    "KavroAppCoreInfo.cache",      "KavroSalaryReportInfo.cache",
    "KavroSalaryPickerInfo.cache", "KavroTrackingDataTemp.cache",
    "KavroTrackingDataPost.cache", "CampusDictData.cache",
    "KavroLoction.Cache",          "event.cache",
    "TencentOAuth.Cache",          "SinaOAuth.Cache"};

std::int64_t currentVersionFlag();
void setVersionFlag(std::int64_t flag);
// Sets the updated marker when AppCoreInfo says the data came from an older installation.
void markUpdatedWhenUpgrading();
// One step: runs the clean-ups, and only when no store failed in them (a store that is not open
// counts as failed) writes the new flag and the updated marker. False when a store failed.
bool runStep(const std::function<void()>& writeFlag, const std::function<void()>& cleanUps);

// Seals the plain name and password of old versions (the password only with automatic login on)
// and forgets the old login strings.
void upgradeUserNameAndPassword();
void resetSavedUserInfo();
// Wholly: all data of the company and job detail types; otherwise only their number rows and the
// job detail's binary rows, as the first layout change needs.
void cleanCompanyAndJobDetail(bool wholly);
void cleanJobSearchHistoryInCoreDB();
void cleanUserTraceTable();
void cleanAppUpgradeInfo();
// Every downloaded skin but the built-in one, then the skin choice.
void cleanAppSkinData();
void cleanAppCommentsRecords();
void clearAllDictionaries();
void cleanAppNewHelper();
void cleanOldFileCache();

}  // namespace kavro::dbclean
