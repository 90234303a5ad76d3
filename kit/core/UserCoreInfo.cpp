#include "kit/core/UserCoreInfo.h"

#include <memory>
#include <optional>

#include "kit/base64/Base64.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/core/StringMisc.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/NotificationCenter.h"

namespace kavro {

namespace {

struct SharedUser {
  platform::Mutex mutex;
  std::unique_ptr<UserCoreInfo> instance GUARDED_BY(mutex);
};

SharedUser& sharedUser() {
  static SharedUser s;
  return s;
}

// AppCoreInfo's question, answered without creating the session.
bool englishResumeChosen() {
  platform::MutexLock lock(sharedUser().mutex);
  return sharedUser().instance && sharedUser().instance->isEnglishResume();
}

}  // namespace

UserCoreInfo::UserCoreInfo() = default;
UserCoreInfo::~UserCoreInfo() = default;

UserCoreInfo& UserCoreInfo::sharedUserCoreInfo() {
  bool created = false;
  UserCoreInfo* instance = nullptr;
  {
    platform::MutexLock lock(sharedUser().mutex);
    if (!sharedUser().instance) {
      sharedUser().instance.reset(new UserCoreInfo());
      created = true;
    }
    instance = sharedUser().instance.get();
  }
  if (created) AppCoreInfo::setEnglishResumeProvider(englishResumeChosen);
  return *instance;
}

void UserCoreInfo::destroyUserCoreInfo() {
  std::unique_ptr<UserCoreInfo> gone;
  platform::MutexLock lock(sharedUser().mutex);
  gone = std::move(sharedUser().instance);
}

bool UserCoreInfo::setUserLoginInfo(const DataItemDetail* reply) {
  UserCoreInfo& info = sharedUserCoreInfo();
  if (reply) {
    struct {
      std::string_view key;
      void (UserCoreInfo::*set)(std::string_view);
    } const fields[] = {{"accountid", &UserCoreInfo::setAccountid},
                        {"key", &UserCoreInfo::setMd5hash},
                        {"lastupdate", &UserCoreInfo::setLastupdate},
                        {"mobilephone", &UserCoreInfo::setMobilephone},
                        {"email", &UserCoreInfo::setEmail}};
    for (const auto& field : fields) {
      std::string value = reply->getString(field.key);
      if (!value.empty()) (info.*field.set)(str::trim(value));
    }
    if (!reply->getString("resumeview_paid").empty()) {
      info.setResumeview_paid(reply->getBool("resumeview_paid"));
    }
  }
  if (!info.md5hash().empty() && !info.accountid().empty()) {
    info.setUserStatus(UserStatus::LoggedIn);
    return true;
  }
  info.setUserStatus(UserStatus::LoggedOut);
  return false;
}

void UserCoreInfo::userOnLogin() { sharedUserCoreInfo().setUserStatus(UserStatus::LoggingIn); }
void UserCoreInfo::userLogout() { sharedUserCoreInfo().setUserStatus(UserStatus::LoggedOut); }
bool UserCoreInfo::hasLogined() { return sharedUserCoreInfo().userStatus() == UserStatus::LoggedIn; }
bool UserCoreInfo::isLoginingNow() { return sharedUserCoreInfo().userStatus() == UserStatus::LoggingIn; }
std::string UserCoreInfo::getAccountID() { return sharedUserCoreInfo().accountid(); }
std::string UserCoreInfo::getMd5hash() { return sharedUserCoreInfo().md5hash(); }

bool UserCoreInfo::storeCredential(std::string_view key, std::string_view plainText) {
  std::optional<std::string> sealed = encryptStringWith3DES(plainText, CredentialKey);
  if (!sealed) return false;
  return AppCoreInfo::getCoreDB()->setStrValue(STORE_CORE_USER_INFO, key, *sealed) > 0;
}

std::string UserCoreInfo::readCredential(std::string_view key) {
  std::string sealed = AppCoreInfo::getCoreDB()->getStrValue(STORE_CORE_USER_INFO, key);
  // A value sealed with another key, or damaged, is no credential at all: sending it would only
  // fail the automatic login with garbage.
  return decryptStringWith3DES(sealed, CredentialKey).value_or("");
}

bool UserCoreInfo::setUserName(std::string_view name) { return storeCredential(UserNameKey, name); }
std::string UserCoreInfo::getUserName() { return readCredential(UserNameKey); }
bool UserCoreInfo::setPassword(std::string_view password) { return storeCredential(PasswordKey, password); }
std::string UserCoreInfo::getPassword() { return readCredential(PasswordKey); }

bool UserCoreInfo::setAutoLogin(bool on) {
  return AppCoreInfo::getCoreDB()->setIntValue(STORE_CORE_USER_INFO, AutoLoginKey, on ? 1 : 0) > 0;
}

bool UserCoreInfo::getAutoLogin() {
  auto db = AppCoreInfo::getCoreDB();
  if (!db->hasIntItem(STORE_CORE_USER_INFO, AutoLoginKey)) return true;
  return db->getIntValue(STORE_CORE_USER_INFO, AutoLoginKey) != 0;
}

std::string UserCoreInfo::getResumeLanguage() { return sharedUserCoreInfo().isEnglishResume() ? "e" : "c"; }

void UserCoreInfo::setMapType(std::string_view name) {
  std::int32_t type = MapTypeNoMap;
  if (name == "geomap") {
    type = MapTypeGeoMap;
  } else if (name == "iosmap") {
    type = MapTypeIosMap;
  }
  sharedUserCoreInfo().setAppMapType(type);
}

std::string UserCoreInfo::getAppMapType() {
  switch (sharedUserCoreInfo().appMapType()) {
    case MapTypeGeoMap:
      return "geomap";
    case MapTypeIosMap:
      return "iosmap";
    default:
      return "nomap";
  }
}

void UserCoreInfo::setUserStatus(UserStatus status) {
  if (status != UserStatus::LoggedIn) {
    for (auto field : {&UserCoreInfo::accountid_, &UserCoreInfo::md5hash_, &UserCoreInfo::lastupdate_,
                       &UserCoreInfo::mobilephone_, &UserCoreInfo::email_}) {
      writeField(field, "");
    }
    resumeview_paid_ = false;
  }
  if (status == userStatus_) return;
  userStatus_ = status;
  platform::NotificationCenter::defaultCenter().post(userStatusChangedNotify);
}

std::string UserCoreInfo::readField(Field member) const {
  platform::MutexLock lock(fieldsMutex_);
  return lockedField(member);
}

void UserCoreInfo::writeField(Field member, std::string_view value) {
  platform::MutexLock lock(fieldsMutex_);
  lockedField(member).assign(value);
}

std::string UserCoreInfo::accountid() const { return readField(&UserCoreInfo::accountid_); }
void UserCoreInfo::setAccountid(std::string_view value) { writeField(&UserCoreInfo::accountid_, value); }
std::string UserCoreInfo::md5hash() const { return readField(&UserCoreInfo::md5hash_); }
void UserCoreInfo::setMd5hash(std::string_view value) { writeField(&UserCoreInfo::md5hash_, value); }
std::string UserCoreInfo::lastupdate() const { return readField(&UserCoreInfo::lastupdate_); }
void UserCoreInfo::setLastupdate(std::string_view value) { writeField(&UserCoreInfo::lastupdate_, value); }
std::string UserCoreInfo::mobilephone() const { return readField(&UserCoreInfo::mobilephone_); }
void UserCoreInfo::setMobilephone(std::string_view value) { writeField(&UserCoreInfo::mobilephone_, value); }
std::string UserCoreInfo::email() const { return readField(&UserCoreInfo::email_); }
void UserCoreInfo::setEmail(std::string_view value) { writeField(&UserCoreInfo::email_, value); }

}  // namespace kavro
