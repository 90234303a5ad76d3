// Session cookies, the default user agent and the small HTTP utilities of the engine.
#include <sys/utsname.h>

#include <algorithm>
#include <cctype>

#include "kit/base64/Base64.h"
#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetHTTPRequestInternal.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Mutex.h"
#include "platform/net/HTTPCookieStorage.h"

namespace kavro {

using netdetail::shared;

namespace {

std::string_view trimSpace(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

struct MimeType {
  const char* extension;
  const char* type;
};

constexpr MimeType mimeTypes[] = {
    {"html", "text/html"},
    {"htm", "text/html"},
    {"txt", "text/plain"},
    {"text", "text/plain"},
    {"css", "text/css"},
    {"csv", "text/csv"},
    {"xml", "text/xml"},
    {"js", "application/javascript"},
    {"json", "application/json"},
    {"pdf", "application/pdf"},
    {"zip", "application/zip"},
    {"gz", "application/x-gzip"},
    {"tar", "application/x-tar"},
    {"rtf", "text/rtf"},
    {"doc", "application/msword"},
    {"xls", "application/vnd.ms-excel"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"plist", "application/x-plist"},
    {"png", "image/png"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"gif", "image/gif"},
    {"bmp", "image/bmp"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"ico", "image/vnd.microsoft.icon"},
    {"svg", "image/svg+xml"},
    {"mp3", "audio/mpeg"},
    {"m4a", "audio/mp4"},
    {"wav", "audio/wav"},
    {"aac", "audio/aac"},
    {"caf", "audio/x-caf"},
    {"mp4", "video/mp4"},
    {"m4v", "video/x-m4v"},
    {"mov", "video/quicktime"},
    {"3gp", "video/3gpp"},
};

}  // namespace

// --- session cookies ---

std::vector<platform::HTTPCookie> NetHTTPRequest::sessionCookies() {
  platform::MutexLock guard(shared().sessionCookiesLock);
  return shared().sessionCookies;
}

void NetHTTPRequest::setSessionCookies(std::vector<platform::HTTPCookie> cookies) {
  platform::MutexLock guard(shared().sessionCookiesLock);
  auto& storage = platform::HTTPCookieStorage::sharedHTTPCookieStorage();
  for (const auto& cookie : shared().sessionCookies) storage.deleteCookie(cookie);
  shared().sessionCookies = std::move(cookies);
}

void NetHTTPRequest::addSessionCookie(const platform::HTTPCookie& cookie) {
  platform::MutexLock guard(shared().sessionCookiesLock);
  auto& list = shared().sessionCookies;
  auto it = std::find_if(list.begin(), list.end(),
                         [&](const platform::HTTPCookie& c) { return c.sameIdentity(cookie); });
  if (it != list.end()) list.erase(it);
  list.push_back(cookie);
}

void NetHTTPRequest::clearSession() {
  {
    platform::MutexLock guard(shared().sessionCredentialsLock);
    shared().sessionCredentials.clear();
  }
  setSessionCookies({});
  if (auto cache = defaultCache())
    cache->clearCachedResponsesForStoragePolicy(NetCacheForSessionDurationCacheStoragePolicy);
}

// --- user agent ---

std::optional<std::string> NetHTTPRequest::defaultUserAgentString() {
  platform::MutexLock guard(shared().defaultsLock);
  if (shared().defaultUserAgent) return shared().defaultUserAgent;
  // The name's UTF-8 bytes go on the wire as they are (header text is bytes).
  std::string name = platform::Environment::bundleName();
  if (name.empty()) return std::nullopt;
  std::string shortVersion = platform::Environment::versionString();
  std::string build = platform::Environment::buildNumber();
  std::string version;
  if (!shortVersion.empty() && !build.empty() && shortVersion != build)
    version = shortVersion + " rv:" + build;
  else
    version = !shortVersion.empty() ? shortVersion : build;
  utsname system{};
  uname(&system);
  shared().defaultUserAgent = platform::format(
      "%@ %@ (%@; %@ %@; %@)", name, version, std::string(system.machine), std::string(system.sysname),
      std::string(system.release), platform::currentLocaleIdentifier());
  return shared().defaultUserAgent;
}

void NetHTTPRequest::setDefaultUserAgentString(std::optional<std::string> agent) {
  platform::MutexLock guard(shared().defaultsLock);
  shared().defaultUserAgent = std::move(agent);
}

// --- utilities ---

std::optional<std::string> NetHTTPRequest::mimeTypeForFileAtPath(std::string_view path) {
  if (!platform::FileManager::fileExistsAtPath(path)) return std::nullopt;
  std::string p(path);
  std::size_t slash = p.rfind('/');
  std::size_t dot = p.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    std::string extension = netdetail::lowercase(p.substr(dot + 1));
    for (const auto& m : mimeTypes)
      if (extension == m.extension) return std::string(m.type);
  }
  return std::string("application/octet-stream");
}

std::string NetHTTPRequest::base64forData(const platform::Data& data) {
  return base64EncodeData(data).value_or("");
}

std::optional<platform::Date> NetHTTPRequest::dateFromRFC1123String(std::string_view text) {
  std::string t(text);
  int colons = static_cast<int>(std::count(t.begin(), t.end(), ':'));
  std::string pattern = platform::format(
      "%@dd MMM yyyy HH:mm%@ z", t.find(',') != std::string::npos ? "EEE, " : "", colons == 2 ? ":ss" : "");
  return platform::parseDate(t, pattern, "en_US_POSIX", "UTC");
}

std::optional<platform::Date> NetHTTPRequest::expiryDateForRequest(NetHTTPRequest& request, double maxAge) {
  auto headers = request.responseHeaders();
  if (maxAge == 0 && headers) {
    std::string control = netdetail::lowercase(headers->value("Cache-Control").value_or(""));
    std::size_t at = control.find("max-age");
    if (at != std::string::npos) {
      std::size_t pos = at + 7;
      while (pos < control.size() && control[pos] == ' ') ++pos;
      if (pos < control.size() && control[pos] == '=') ++pos;
      while (pos < control.size() && control[pos] == ' ') ++pos;
      maxAge = std::atof(control.c_str() + pos);
    }
  }
  if (maxAge != 0) return platform::Date::dateWithTimeIntervalSinceNow(maxAge);
  if (headers) {
    if (auto expires = headers->value("Expires")) return dateFromRFC1123String(*expires);
  }
  return std::nullopt;
}

void NetHTTPRequest::parseMimeType(std::string* mimeType, NetStringEncoding* encoding,
                                   std::optional<std::string_view> contentType) {
  if (!contentType) return;
  std::string_view text = *contentType;
  std::size_t semi = text.find(';');
  if (semi == std::string_view::npos || semi == 0) {
    if (mimeType) *mimeType = std::string(trimSpace(text));
    return;
  }
  if (mimeType) *mimeType = std::string(trimSpace(text.substr(0, semi)));
  std::string_view rest = text.substr(semi);
  std::size_t at = rest.find("charset=");
  if (at == std::string_view::npos || at + 8 >= rest.size()) return;
  std::string_view name = rest.substr(at + 8);
  name = trimSpace(name.substr(0, name.find(';')));
  if (auto e = encodingForIANACharSetName(name); e && encoding) *encoding = *e;
}

}  // namespace kavro
