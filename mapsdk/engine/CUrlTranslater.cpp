#include "mapsdk/engine/CUrlTranslater.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/engine/VUrlEncode.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/Mutex.h"

namespace gmengine {

namespace {

std::string host() {
  std::string h = platform::Environment::mapHostUrl();
  while (!h.empty() && h.back() == '/') h.pop_back();
  return h;
}

std::string search() { return host() + "/"; }

std::string num(long long v) { return std::to_string(v); }

// Engine integer coordinate of a double, truncated and held to the int range.
int coord(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

std::string rect(int left, int bottom, int right, int top) {
  return num(left) + "," + num(bottom) + ";" + num(right) + "," + num(top);
}

std::string corners(double x1, double y1, double x2, double y2) {
  int a = coord(x1), b = coord(y1), c = coord(x2), d = coord(y2);
  return "(" + rect(std::min(a, c), std::min(b, d), std::max(a, c), std::max(b, d)) + ")";
}

// Double-byte text as UTF-8; nullopt when it does not convert. Null and "" give "".
std::optional<std::string> fromLocal(const char* text) {
  if (!text || !*text) return std::string();
  CVString s = MultiByteToCVString(CP_ACP, text);
  if (s.IsEmpty()) return std::nullopt;
  return s.ToUtf8();
}

// "&key=<encoded>" for a non-empty double-byte text; nullopt when it does not convert.
std::optional<std::string> localParam(const char* key, const char* text) {
  auto value = fromLocal(text);
  if (!value) return std::nullopt;
  return value->empty() ? std::string() : std::string("&") + key + "=" + UrlEncode(*value);
}

bool isPoint(const tag_RouteNode& node) { return node.kind == 1; }

// "kind$$x,y$$name", encoded; nullopt for an end that is neither a point nor a name.
std::optional<std::string> routeEnd(const tag_RouteNode& node) {
  std::size_t length = strnlen(node.name, sizeof node.name);
  std::string raw(node.name, length);
  auto name = fromLocal(raw.c_str());
  if (!name) return std::nullopt;
  if (node.kind == 1) {
    return UrlEncode("1$$" + num(coord(node.x)) + "," + num(coord(node.y)) + "$$" + *name);
  }
  if (node.kind == 2 && !name->empty()) return UrlEncode("2$$$$" + *name);
  return std::nullopt;
}

int done(CVString& url, const std::string& text) {
  url = CVString::FromUtf8(text);
  return 1;
}

}  // namespace

void CUrlTranslater::SetMapView(int level, const _VRect& bound) {
  platform::MutexLock lock(mutex_);
  level_ = level;
  bound_ = bound;
}

void CUrlTranslater::SetScreenDpi(int dpiX, int dpiY) {
  platform::MutexLock lock(mutex_);
  dpiX_ = dpiX;
  dpiY_ = dpiY;
}

bool CUrlTranslater::HighDpi() const {
  platform::MutexLock lock(mutex_);
  return dpiX_ >= 181 || dpiY_ >= 181;
}

int CUrlTranslater::GetPoiInCityUrl(CVString& url, const CVString& keyword, int cityCode, int pageIndex,
                                    int pageSize, const char* cityName) {
  if (keyword.IsEmpty() || pageIndex < 0 || pageSize < 0) return 0;
  auto city = localParam("cn", cityName);
  if (!city) return 0;
  int level;
  _VRect b;
  {
    platform::MutexLock lock(mutex_);
    level = level_;
    b = bound_;
  }
  return done(url, search() + "?qt=con&wd=" + UrlEncode(keyword.ToUtf8()) + "&c=" + num(cityCode) +
                       "&pn=" + num(pageIndex) + "&rn=" + num(pageSize) + "&l=" + num(level) + "&b=(" +
                       rect(b.left, b.bottom, b.right, b.top) + ")&ie=utf-8" + *city);
}

int CUrlTranslater::GetPoiInBoundsUrl(CVString& url, const CVString& keyword, double x1, double y1, double x2,
                                      double y2, int cityCode, int pageIndex, int pageSize,
                                      const char* cityName) {
  if (keyword.IsEmpty() || pageIndex < 0 || pageSize < 0) return 0;
  auto city = localParam("cn", cityName);
  if (!city) return 0;
  return done(url, search() + "?qt=bd2&wd=" + UrlEncode(keyword.ToUtf8()) + "&c=" + num(cityCode) +
                       "&pn=" + num(pageIndex) + "&rn=" + num(pageSize) + "&b=" + corners(x1, y1, x2, y2) +
                       "&ie=utf-8" + *city);
}

int CUrlTranslater::GetPoiMultiKeyUrl(CVString& url, const CVString& keywords, int keywordCount, double x1,
                                      double y1, double x2, double y2, int cityCode, int pageIndex,
                                      int pageSize, const char* cityName) {
  if (keywords.IsEmpty() || keywordCount < 1 || pageIndex < 0 || pageSize < 0) return 0;
  auto city = localParam("cn", cityName);
  if (!city) return 0;
  return done(url, search() + "?qt=bda&wdn=" + num(keywordCount) + "&wd=" + UrlEncode(keywords.ToUtf8()) +
                       "&c=" + num(cityCode) + "&pn=" + num(pageIndex) + "&rn=" + num(pageSize) +
                       "&b=" + corners(x1, y1, x2, y2) + "&ie=utf-8" + *city);
}

int CUrlTranslater::GetTransitUrl(CVString& url, const tag_RouteNode& start, const tag_RouteNode& end,
                                  int policy, int cityCode, const char* cityName) {
  auto sn = routeEnd(start), en = routeEnd(end);
  auto city = localParam("cn", cityName);
  if (!sn || !en || !city) return 0;
  std::string qt = isPoint(start) && isPoint(end) ? "bt" : "bse";
  return done(url, search() + "?qt=" + qt + "&sn=" + *sn + "&en=" + *en + "&sy=" + num(policy) +
                       "&c=" + num(cityCode) + "&ie=utf-8" + *city);
}

int CUrlTranslater::GetDrivingUrl(CVString& url, int startCity, int endCity, const tag_RouteNode& start,
                                  const tag_RouteNode& end, int policy, const char* startCityName,
                                  const char* endCityName) {
  auto sn = routeEnd(start), en = routeEnd(end);
  auto scn = localParam("scn", startCityName), ecn = localParam("ecn", endCityName);
  if (!sn || !en || !scn || !ecn) return 0;
  std::string qt = isPoint(start) && isPoint(end) ? "nav" : "nse";
  return done(url, search() + "?qt=" + qt + "&sn=" + *sn + "&en=" + *en + "&sc=" + num(startCity) +
                       "&ec=" + num(endCity) + "&sy=" + num(policy) + "&ie=utf-8" + *scn + *ecn);
}

int CUrlTranslater::GetWalkingUrl(CVString& url, int startCity, int endCity, const tag_RouteNode& start,
                                  const tag_RouteNode& end, const char* startCityName,
                                  const char* endCityName) {
  auto sn = routeEnd(start), en = routeEnd(end);
  auto scn = localParam("scn", startCityName), ecn = localParam("ecn", endCityName);
  if (!sn || !en || !scn || !ecn) return 0;
  std::string qt = isPoint(start) && isPoint(end) ? "walk" : "wse";
  return done(url, search() + "?qt=" + qt + "&sn=" + *sn + "&en=" + *en + "&sc=" + num(startCity) +
                       "&ec=" + num(endCity) + "&ie=utf-8" + *scn + *ecn);
}

int CUrlTranslater::GetCityByCenterUrl(CVString& url, const _VRect& bound, int level) {
  return done(url, search() + "?qt=cen&b=" + rect(bound.left, bound.bottom, bound.right, bound.top) +
                       "&l=" + num(level) + "&ie=utf-8&tn=wl01&oue=0");
}

int CUrlTranslater::GetBusLineUrl(CVString& url, int cityCode, const CVString& uid) {
  if (uid.IsEmpty()) return 0;
  return done(url,
              search() + "?qt=bsl&ie=utf-8&oue=0&c=" + num(cityCode) + "&uid=" + UrlEncode(uid.ToUtf8()));
}

int CUrlTranslater::GetPoiBkgDataUrl(CVString& url, const CVString& word, int cityCode, int countPerTile,
                                     int level, const CVArray<_VPoint>& tiles, const _VRect& bound) {
  if (tiles.IsEmpty()) return 0;
  std::string xy;
  for (const _VPoint& tile : tiles) {
    if (!xy.empty()) xy += ",";
    xy += num(tile.x) + "_" + num(tile.y);
  }
  return done(url, search() + "?qt=bkg_data_ex&wd=" + UrlEncode(word.ToUtf8()) + "&c=" + num(cityCode) +
                       "&rn=" + num(countPerTile) + "&l=" + num(level) + "&xy=" + xy + "&b=(" +
                       rect(bound.left, bound.bottom, bound.right, bound.top) + ")");
}

int CUrlTranslater::GetSuggestionUrl(CVString& url, const CVString& keyword, int cityId, int type) {
  if (keyword.IsEmpty()) return 0;
  return done(
      url, host() + "/su?wd=" + UrlEncode(keyword.ToUtf8()) + "&cid=" + num(cityId) + "&type=" + num(type));
}

int CUrlTranslater::GetOfflineCityListUrl(CVString& url, int) {
  return done(url, host() + "/offlinemap/?qt=taskcity&dpi=" + (HighDpi() ? "hdpi" : "ldpi"));
}

int CUrlTranslater::GetOfflineCitySearchUrl(CVString& url, const CVArray<int>& cityIds) {
  if (cityIds.IsEmpty()) return 0;
  std::string ids;
  for (int id : cityIds) {
    if (!ids.empty()) ids += ",";
    ids += num(id);
  }
  return done(url, host() + "/offlinemap/?qt=taskcity&c=" + ids + "&dpi=" + (HighDpi() ? "hdpi" : "ldpi"));
}

int CUrlTranslater::GetOfflineUpdateUrl(CVString& url, const CVString& fileName) {
  if (fileName.IsEmpty()) return 0;
  return done(url, host() + "/update/" + UrlEncode(fileName.ToUtf8()));
}

int CUrlTranslater::GetGeocodeUrl(CVString& url, const CVString& address, int cityCode,
                                  const char* cityName) {
  if (address.IsEmpty()) return 0;
  auto city = fromLocal(cityName);
  if (!city) return 0;
  std::string where = city->empty() ? "c=" + num(cityCode) : "cn=" + UrlEncode(*city);
  return done(url, search() + "?qt=gc&" + where + "&ie=utf-8&oue=0&wd=" + UrlEncode(address.ToUtf8()));
}

int CUrlTranslater::GetReverseGeocodeUrl(CVString& url, int x, int y) {
  return done(url, host() + "/api?x=" + num(x) + "&y=" + num(y) + "&qt=rgc");
}

int CUrlTranslater::GetGridDataUrl(CVString& url, int kind, int level, int x, int y,
                                   const CVArray<CVString>& keys, int tick) {
  if (keys.IsEmpty()) return 0;
  std::string query;
  switch (kind) {
    case 0:
    case 3:
      query = "?type=map&l=" + num(level);
      break;
    case 4:
      query = "?type=sat&l=" + num(level);
      break;
    case 1:
      query = "?type=tra&l=" + num(level);
      break;
    case 2:
      query = "?type=trahis&day=" + num(x) + "&time=" + num(y) + "&l=" + num(level);
      break;
    default:
      return 0;
  }
  std::string list;
  for (const CVString& key : keys) {
    if (key.IsEmpty()) return 0;
    if (!list.empty()) list += ",";
    list += UrlEncode(key.ToUtf8());
  }
  return done(url, host() + "/tile/" + query + "&c=" + list + "&tick=" + num(tick));
}

int CUrlTranslater::GetLocationUrl(CVString& url, CVArray<CVString>& names, CVArray<CVString>& values,
                                   const CVString& cellKey, const CVString& wifi, int coordType) {
  if (cellKey.IsEmpty() && wifi.IsEmpty()) return 0;
  names.RemoveAll();
  values.RemoveAll();
  auto field = [&](const char* name, const CVString& value) {
    names.Add(CVString(name));
    values.Add(value);
  };
  field("qt", "bloc");
  if (!cellKey.IsEmpty()) field("cl", cellKey);
  if (!wifi.IsEmpty()) field("wf", wifi);
  field("coor", CVString::FromUtf8(num(coordType)));
  return done(url, host() + "/loc/");
}

int CUrlTranslater::GetLocDataPostFields(CVString& url, CVArray<CVString>& names, CVArray<CVString>& values,
                                         const CVArray<CVString>& entries) {
  if (entries.IsEmpty()) return 0;
  names.RemoveAll();
  values.RemoveAll();
  names.Add(CVString("qt"));
  values.Add(CVString("cldc"));
  for (int i = 0; i < entries.GetSize() && names.GetSize() < kMaxPostFields; ++i) {
    names.Add(CVString::FromUtf8("d" + num(i)));
    values.Add(entries[i]);
  }
  return done(url, host() + "/loc/");
}

}  // namespace gmengine
