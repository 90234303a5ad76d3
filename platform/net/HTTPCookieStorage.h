#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Mutex.h"
#include "platform/foundation/URL.h"
#include "platform/net/HTTPCookie.h"

namespace platform {

// The process's cookie jar. Session cookies live in memory; cookies with an expiry date are also
// kept in "Library/Cookies/Cookies.txt" under the home root (read on first use, rewritten
// atomically on each change; a file that cannot be read is read again at the next use and is not
// rewritten until it has been: what was set, deleted or expired meanwhile is then made over the
// file's cookies in the order it was, so that the jar holds what it would have held had the file
// read at once. A save the disk refused is said on standard error, once per cause). The jar holds at most
// MaxCookiesPerDomain cookies of one domain and MaxCookies in all; past either, the cookies set longest ago
// go first. Thread-safe.
class HTTPCookieStorage {
 public:
  static constexpr std::size_t MaxCookiesPerDomain = 50;
  static constexpr std::size_t MaxCookies = 3000;

  static HTTPCookieStorage& sharedHTTPCookieStorage();
  // Forgets the shared jar (tests); the next use reads the file of the home root then in force.
  static void destroySharedHTTPCookieStorage();

  // Replaces the cookie of the same identity; an expired cookie only removes it.
  void setCookie(const HTTPCookie& cookie);
  void setCookies(const std::vector<HTTPCookie>& cookies);
  void deleteCookie(const HTTPCookie& cookie);
  // Unexpired cookies a request for url carries, longer paths first, else in the order set.
  std::vector<HTTPCookie> cookiesForURL(const URL& url);
  std::vector<HTTPCookie> cookies();

  explicit HTTPCookieStorage(std::optional<std::string> filePath);

 private:
  void load() REQUIRES(mutex_);
  void save() REQUIRES(mutex_);
  // The changes, on cookies_; true when a cookie kept in the file changed.
  bool applySet(const std::vector<HTTPCookie>& cookies, double now) REQUIRES(mutex_);
  bool applyDelete(const HTTPCookie& cookie) REQUIRES(mutex_);
  void dropExpired(double now) REQUIRES(mutex_);
  // While the file cannot be read, each change is noted to be made again over its cookies.
  struct Change {
    enum class Kind { Set, Delete, DropExpired } kind;
    std::vector<HTTPCookie> cookies;
    double now = 0;
  };
  void noteUnread(Change change) REQUIRES(mutex_);
  // Drops the oldest cookies past the bounds; true when any went.
  bool enforceBounds() REQUIRES(mutex_);

  platform::Mutex mutex_;
  std::optional<std::string> filePath_ GUARDED_BY(mutex_);
  bool loaded_ GUARDED_BY(mutex_) = false;
  std::vector<HTTPCookie> cookies_ GUARDED_BY(mutex_);
  std::vector<Change> unreadChanges_ GUARDED_BY(mutex_);
  std::string saveFailureSaid_ GUARDED_BY(mutex_);
};

}  // namespace platform
