#include "platform/system/OutsideApplications.h"

#include <algorithm>
#include <optional>

#include "platform/foundation/Environment.h"
#include "platform/foundation/Mutex.h"

namespace platform {

namespace {

std::vector<std::string> defaultSchemes() { return {"http", "https", "mailto", "tel", "sms"}; }

struct Shared {
  platform::Mutex mutex;
  std::vector<std::string> schemes GUARDED_BY(mutex) = defaultSchemes();
  std::vector<OutsideApplications::OpenedURL> opened GUARDED_BY(mutex);
};

Shared& shared() {
  static Shared s;
  return s;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// A letter, then letters, digits, "+", "-" or ".", up to the ":".
std::optional<std::string> schemeOf(std::string_view url) {
  std::size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!isAlpha(url[0])) return std::nullopt;
  for (std::size_t i = 1; i < colon; ++i) {
    char c = url[i];
    if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return std::nullopt;
  }
  return lower(url.substr(0, colon));
}

}  // namespace

bool OutsideApplications::canOpenURL(std::string_view url) {
  auto scheme = schemeOf(url);
  if (!scheme) return false;
  for (const std::string& own : Environment::urlSchemes())
    if (lower(own) == *scheme) return true;
  Shared& s = shared();
  platform::MutexLock lock(s.mutex);
  return std::find(s.schemes.begin(), s.schemes.end(), *scheme) != s.schemes.end();
}

bool OutsideApplications::openURL(std::string_view url) {
  bool opened = canOpenURL(url);
  Shared& s = shared();
  platform::MutexLock lock(s.mutex);
  s.opened.push_back(OpenedURL{std::string(url), opened});
  return opened;
}

std::vector<std::string> OutsideApplications::installedSchemes() {
  Shared& s = shared();
  platform::MutexLock lock(s.mutex);
  return s.schemes;
}

void OutsideApplications::setInstalledSchemes(std::vector<std::string> schemes) {
  for (std::string& scheme : schemes) scheme = lower(scheme);
  Shared& s = shared();
  platform::MutexLock lock(s.mutex);
  s.schemes = std::move(schemes);
}

void OutsideApplications::addInstalledScheme(std::string_view scheme) {
  std::string l = lower(scheme);
  Shared& s = shared();
  platform::MutexLock lock(s.mutex);
  if (std::find(s.schemes.begin(), s.schemes.end(), l) == s.schemes.end()) s.schemes.push_back(std::move(l));
}

void OutsideApplications::removeInstalledScheme(std::string_view scheme) {
  std::string l = lower(scheme);
  Shared& s = shared();
  platform::MutexLock lock(s.mutex);
  s.schemes.erase(std::remove(s.schemes.begin(), s.schemes.end(), l), s.schemes.end());
}

std::vector<OutsideApplications::OpenedURL> OutsideApplications::openedURLs() {
  Shared& s = shared();
  platform::MutexLock lock(s.mutex);
  return s.opened;
}

void OutsideApplications::reset() {
  Shared& s = shared();
  platform::MutexLock lock(s.mutex);
  s.schemes = defaultSchemes();
  s.opened.clear();
}

}  // namespace platform
