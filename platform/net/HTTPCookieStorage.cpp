#include "platform/net/HTTPCookieStorage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/Mutex.h"
#include "platform/net/StoreFile.h"

namespace platform {

namespace {

platform::Mutex cookieStorageMutex;
HTTPCookieStorage* sharedCookieStorage GUARDED_BY(cookieStorageMutex) = nullptr;

using storefile::escapeField;

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(
        URL::percentDecode(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

}  // namespace

HTTPCookieStorage& HTTPCookieStorage::sharedHTTPCookieStorage() {
  platform::MutexLock lock(cookieStorageMutex);
  if (!sharedCookieStorage)
    sharedCookieStorage = new HTTPCookieStorage(Environment::libraryPath() + "/Cookies/Cookies.txt");
  return *sharedCookieStorage;
}

void HTTPCookieStorage::destroySharedHTTPCookieStorage() {
  platform::MutexLock lock(cookieStorageMutex);
  delete sharedCookieStorage;
  sharedCookieStorage = nullptr;
}

HTTPCookieStorage::HTTPCookieStorage(std::optional<std::string> filePath) : filePath_(std::move(filePath)) {}

void HTTPCookieStorage::load() {
  if (loaded_ || !filePath_) return;
  std::vector<HTTPCookie> read;
  auto result = storefile::forEachLine(*filePath_, [&read](const std::string& line) {
    auto f = splitTabs(line);
    if (f.size() != 7) return;
    char* end = nullptr;
    double expires = std::strtod(f[4].c_str(), &end);
    if (!end || *end) return;
    auto c = HTTPCookie::make(f[0], f[1], f[2], f[3], expires, f[5] == "1");
    read.push_back(std::move(c));
  });
  // Unreadable is not empty: the next use reads again, and nothing is written meanwhile.
  if (result == storefile::ReadResult::Failed) return;
  loaded_ = true;
  cookies_ = std::move(read);
  enforceBounds();
  if (unreadChanges_.empty()) return;
  // What was done meanwhile is done again over the file's cookies, in its order: a cookie deleted
  // or expired by a logout stays gone, and one set stays newer than the file's.
  std::vector<Change> changes = std::move(unreadChanges_);
  unreadChanges_.clear();
  for (const Change& change : changes) {
    switch (change.kind) {
      case Change::Kind::Set:
        applySet(change.cookies, change.now);
        break;
      case Change::Kind::Delete:
        applyDelete(change.cookies.front());
        break;
      case Change::Kind::DropExpired:
        dropExpired(change.now);
        break;
    }
  }
  save();
}

void HTTPCookieStorage::noteUnread(Change change) {
  if (loaded_ || !filePath_) return;
  // Reads in a row: the last one's time drops all the earlier ones would.
  if (change.kind == Change::Kind::DropExpired && !unreadChanges_.empty() &&
      unreadChanges_.back().kind == Change::Kind::DropExpired) {
    unreadChanges_.back().now = change.now;
    return;
  }
  // Bounded: past the bound, the changes so far are taken as the cookies removed and then the jar
  // as it stands, set in its order (the file's cookies the bounds would have pushed out then stay).
  if (unreadChanges_.size() >= MaxCookies) {
    Change jar{Change::Kind::Set, cookies_, change.now};
    std::vector<Change> compacted;
    for (const Change& earlier : unreadChanges_) {
      for (const HTTPCookie& c : earlier.cookies) {
        bool kept = false;
        for (const HTTPCookie& held : cookies_) kept = kept || held.sameIdentity(c);
        for (const Change& gone : compacted) kept = kept || gone.cookies.front().sameIdentity(c);
        if (!kept) compacted.push_back({Change::Kind::Delete, {c}, earlier.now});
      }
    }
    compacted.push_back(std::move(jar));
    unreadChanges_ = std::move(compacted);
  }
  unreadChanges_.push_back(std::move(change));
}

bool HTTPCookieStorage::enforceBounds() {
  auto domainOf = [](const HTTPCookie& c) {
    std::string_view d = c.domain();
    while (!d.empty() && d.front() == '.') d.remove_prefix(1);
    return d;
  };
  std::unordered_map<std::string_view, std::size_t> perDomain;
  for (const auto& c : cookies_) ++perDomain[domainOf(c)];
  std::size_t excess = cookies_.size() > MaxCookies ? cookies_.size() - MaxCookies : 0;
  // Oldest first: the jar keeps the order in which cookies were set.
  std::vector<bool> drop(cookies_.size(), false);
  bool any = false;
  for (std::size_t i = 0; i < cookies_.size(); ++i) {
    auto& count = perDomain[domainOf(cookies_[i])];
    if (count > MaxCookiesPerDomain || excess > 0) {
      drop[i] = true;
      any = true;
      --count;
      if (excess > 0) --excess;
    }
  }
  if (!any) return false;
  std::size_t i = 0;
  std::erase_if(cookies_, [&drop, &i](const HTTPCookie&) { return drop[i++]; });
  return true;
}

void HTTPCookieStorage::save() {
  if (!filePath_) return;
  // Written only over a file whose cookies are all in memory.
  load();
  if (!loaded_) return;
  std::string text;
  for (const auto& c : cookies_) {
    if (c.isSessionOnly()) continue;
    char expires[64];
    std::snprintf(expires, sizeof expires, "%.3f", *c.expiresDate());
    text += escapeField(c.name()) + "\t" + escapeField(c.value()) + "\t" + escapeField(c.domain()) + "\t" +
            escapeField(c.path()) + "\t" + expires + "\t" + (c.isSecure() ? "1" : "0") + "\t" +
            (c.isHTTPOnly() ? "1" : "0") + "\n";
  }
  // Cookies carry session tokens: only the owner may read them.
  int error = 0;
  if (storefile::write(*filePath_, text, true, &error))
    saveFailureSaid_.clear();
  else
    storefile::sayFailedSave("the cookies", error, saveFailureSaid_);
}

void HTTPCookieStorage::dropExpired(double now) {
  std::erase_if(cookies_, [now](const HTTPCookie& c) { return c.isExpired(now); });
}

void HTTPCookieStorage::setCookie(const HTTPCookie& cookie) { setCookies({cookie}); }

void HTTPCookieStorage::setCookies(const std::vector<HTTPCookie>& cookies) {
  platform::MutexLock lock(mutex_);
  load();
  const double now = Date::now().timeIntervalSince1970();
  noteUnread({Change::Kind::Set, cookies, now});
  if (applySet(cookies, now)) save();
}

bool HTTPCookieStorage::applySet(const std::vector<HTTPCookie>& cookies, double now) {
  bool persistentChange = false;
  for (const auto& cookie : cookies) {
    auto it = std::find_if(cookies_.begin(), cookies_.end(),
                           [&](const HTTPCookie& c) { return c.sameIdentity(cookie); });
    if (it != cookies_.end()) {
      persistentChange |= !it->isSessionOnly();
      cookies_.erase(it);
    }
    if (cookie.isExpired(now)) continue;
    persistentChange |= !cookie.isSessionOnly();
    cookies_.push_back(cookie);
  }
  persistentChange |= enforceBounds();
  return persistentChange;
}

void HTTPCookieStorage::deleteCookie(const HTTPCookie& cookie) {
  platform::MutexLock lock(mutex_);
  load();
  noteUnread({Change::Kind::Delete, {cookie}, 0});
  if (applyDelete(cookie)) save();
}

bool HTTPCookieStorage::applyDelete(const HTTPCookie& cookie) {
  auto it = std::find_if(cookies_.begin(), cookies_.end(),
                         [&](const HTTPCookie& c) { return c.sameIdentity(cookie); });
  if (it == cookies_.end()) return false;
  bool persistent = !it->isSessionOnly();
  cookies_.erase(it);
  return persistent;
}

std::vector<HTTPCookie> HTTPCookieStorage::cookiesForURL(const URL& url) {
  platform::MutexLock lock(mutex_);
  load();
  const double now = Date::now().timeIntervalSince1970();
  noteUnread({Change::Kind::DropExpired, {}, now});
  dropExpired(now);
  std::vector<HTTPCookie> out;
  for (const auto& c : cookies_)
    if (c.matchesURL(url)) out.push_back(c);
  std::stable_sort(out.begin(), out.end(), [](const HTTPCookie& a, const HTTPCookie& b) {
    return a.path().size() > b.path().size();
  });
  return out;
}

std::vector<HTTPCookie> HTTPCookieStorage::cookies() {
  platform::MutexLock lock(mutex_);
  load();
  const double now = Date::now().timeIntervalSince1970();
  noteUnread({Change::Kind::DropExpired, {}, now});
  dropExpired(now);
  return cookies_;
}

}  // namespace platform
