#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "kit/core/DataItemDetail.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

// Posted on the default notification centre (no object, no user info) whenever the login state
// changes.
inline constexpr std::string_view userStatusChangedNotify = "userStatusChangedNotify";

// Who is logged in: the login state, the account id and session key that logged-in server calls
// carry, a few facts of the account from the login reply, the resume language, and the map back end
// and busy-season flag named by the activation answer. Nothing of the session survives the process:
// every start is logged out. The user name, password and automatic-login switch live in the core
// store, name and password encrypted.
//
// A process-wide instance, created on first use; it also answers AppCoreInfo's question whether the
// English resume is chosen. Creation is thread-safe, the string fields may be read from any thread;
// everything else is for the main thread. Observers of userStatusChangedNotify run inside
// setUserStatus().
class UserCoreInfo {
 public:
  // The login state; it lives only in the process, so no number from outside becomes one.
  enum class UserStatus : std::int32_t { LoggingIn = 0, LoggedIn = 1, LoggedOut = 2 };
  enum AppMapType : std::int32_t { MapTypeGeoMap = 0, MapTypeIosMap = 1, MapTypeNoMap = 2 };

  // The credentials' keys under STORE_CORE_USER_INFO in the core store, and the key text that seals
  // name and password.
  static constexpr std::string_view UserNameKey = "UserName";
  static constexpr std::string_view PasswordKey = "Password";
  static constexpr std::string_view AutoLoginKey = "AutoLogin";
  static constexpr std::string_view CredentialKey = "LOCALSTORE_RECORD_SEAL_PHRASE_K";

  static UserCoreInfo& sharedUserCoreInfo();
  // Forgets the instance (tests); the next use starts logged out again.
  static void destroyUserCoreInfo();

  // Takes the detail record of the login reply: its "accountid", "key", "lastupdate",
  // "mobilephone" and "email" (trimmed; an empty value keeps the field) and "resumeview_paid".
  // Logged in when account id and key are both known now, else logged out; answers which.
  static bool setUserLoginInfo(const DataItemDetail* reply);
  static void userOnLogin();
  static void userLogout();
  static bool hasLogined();
  static bool isLoginingNow();
  static std::string getAccountID();
  static std::string getMd5hash();

  // Stored encrypted; true when the store took the write. A stored value that cannot be decrypted
  // reads as "".
  static bool setUserName(std::string_view name);
  static std::string getUserName();
  static bool setPassword(std::string_view password);
  static std::string getPassword();
  static bool setAutoLogin(bool on);
  // On unless switched off.
  static bool getAutoLogin();

  // "e" with the English resume chosen, else "c".
  static std::string getResumeLanguage();
  // "geomap" and "iosmap" (exactly) choose those; any other text chooses no map.
  static void setMapType(std::string_view name);
  static std::string getAppMapType();

  // Any state but logged in first empties the account fields and the paid flag, even when the
  // state stays; a change of state is then posted as userStatusChangedNotify.
  void setUserStatus(UserStatus status);
  UserStatus userStatus() const { return userStatus_; }

  std::int32_t appMapType() const { return appMapType_; }
  void setAppMapType(std::int32_t value) { appMapType_ = value; }
  std::string accountid() const;
  void setAccountid(std::string_view value);
  // The reply's "key", kept as received.
  std::string md5hash() const;
  void setMd5hash(std::string_view value);
  std::string lastupdate() const;
  void setLastupdate(std::string_view value);
  std::string mobilephone() const;
  void setMobilephone(std::string_view value);
  std::string email() const;
  void setEmail(std::string_view value);
  bool isEnglishResume() const { return isEnglishResume_; }
  void setIsEnglishResume(bool value) { isEnglishResume_ = value; }
  bool resumeview_paid() const { return resumeview_paid_; }
  void setResumeview_paid(bool value) { resumeview_paid_ = value; }
  bool isBusySeason() const { return isBusySeason_; }
  void setIsBusySeason(bool value) { isBusySeason_ = value; }

  UserCoreInfo(const UserCoreInfo&) = delete;
  UserCoreInfo& operator=(const UserCoreInfo&) = delete;
  ~UserCoreInfo();

 private:
  UserCoreInfo();
  static bool storeCredential(std::string_view key, std::string_view plainText);
  static std::string readCredential(std::string_view key);
  // The fields below under fieldsMutex_, named by member: the analysis cannot follow a guarded
  // field passed by reference or read through a member pointer, so those reads go through
  // lockedField, which wants the lock.
  using Field = std::string UserCoreInfo::*;
  std::string readField(Field member) const EXCLUDES(fieldsMutex_);
  void writeField(Field member, std::string_view value) EXCLUDES(fieldsMutex_);
  const std::string& lockedField(Field member) const REQUIRES(fieldsMutex_) { return this->*member; }
  std::string& lockedField(Field member) REQUIRES(fieldsMutex_) { return this->*member; }

  UserStatus userStatus_ = UserStatus::LoggedOut;
  std::int32_t appMapType_ = MapTypeGeoMap;
  mutable platform::Mutex fieldsMutex_;
  std::string accountid_ GUARDED_BY(fieldsMutex_);
  std::string md5hash_ GUARDED_BY(fieldsMutex_);
  std::string lastupdate_ GUARDED_BY(fieldsMutex_);
  std::string mobilephone_ GUARDED_BY(fieldsMutex_);
  std::string email_ GUARDED_BY(fieldsMutex_);
  bool isEnglishResume_ = false;
  bool resumeview_paid_ = false;
  bool isBusySeason_ = false;
};

}  // namespace kavro
