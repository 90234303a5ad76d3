#pragma once

#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/VRect.h"
#include "mapsdk/engine/tag_RouteNode.h"
#include "platform/foundation/Mutex.h"

namespace gmengine {

// Builds the map service's request URLs. The host is platform::Environment::mapHostUrl(), read at
// every build; the endpoints under it are "/" (searches, query "?qt=..."), "/su" (suggestions),
// "/api" (reverse geocoding), "/loc/" (location), "/tile/" (tile batches), "/offlinemap/" (the
// offline catalogue) and "/update/" (catalogue files). Texts go out as UTF-8, percent-encoded
// ("ie=utf-8"); city names and route-end names come in the engine's double-byte code page.
// Rectangles are written left,bottom;right,top in engine integer coordinates.
//
// Every builder answers 1 with the URL in url, or 0 (url untouched) when it cannot be built:
// an empty keyword, address, uid, file name or list, a negative page or page size, a route end
// that is neither a point nor a name, or text that does not convert. Any thread.
class CUrlTranslater {
 public:
  CUrlTranslater() = default;

  // The map view that searches in a city send along (set by the map controller; level 12 and an
  // empty rectangle until then).
  void SetMapView(int level, const _VRect& bound);
  // The screen densities (the engine core's two values); "hdpi" is asked for when either is 181
  // or more.
  void SetScreenDpi(int dpiX, int dpiY);

  // "?qt=con&wd=&c=&pn=&rn=&l=&b=(...)&ie=utf-8[&cn=]"
  int GetPoiInCityUrl(CVString& url, const CVString& keyword, int cityCode, int pageIndex, int pageSize,
                      const char* cityName);
  // "?qt=bd2&wd=&c=&pn=&rn=&b=(...)&ie=utf-8[&cn=]"
  int GetPoiInBoundsUrl(CVString& url, const CVString& keyword, double x1, double y1, double x2, double y2,
                        int cityCode, int pageIndex, int pageSize, const char* cityName);
  // "?qt=bda&wdn=%d&wd=&c=&pn=&rn=&b=(...)&ie=utf-8[&cn=]"; keywords joined by "$$".
  int GetPoiMultiKeyUrl(CVString& url, const CVString& keywords, int keywordCount, double x1, double y1,
                        double x2, double y2, int cityCode, int pageIndex, int pageSize,
                        const char* cityName);
  // "?qt=bt" when both ends are points, else "?qt=bse"; "&sn=&en=&sy=%d&c=%d&ie=utf-8[&cn=]". A route
  // end is written "kind$$x,y$$name".
  int GetTransitUrl(CVString& url, const tag_RouteNode& start, const tag_RouteNode& end, int policy,
                    int cityCode, const char* cityName);
  // "?qt=nav" when both ends are points, else "?qt=nse"; "&sn=&en=&sc=&ec=&sy=&ie=utf-8[&scn=][&ecn=]".
  int GetDrivingUrl(CVString& url, int startCity, int endCity, const tag_RouteNode& start,
                    const tag_RouteNode& end, int policy, const char* startCityName, const char* endCityName);
  // "?qt=walk" when both ends are points, else "?qt=wse"; as driving without "sy".
  int GetWalkingUrl(CVString& url, int startCity, int endCity, const tag_RouteNode& start,
                    const tag_RouteNode& end, const char* startCityName, const char* endCityName);
  // "?qt=cen&b=%d,%d;%d,%d&l=%d&ie=utf-8&tn=wl01&oue=0"
  int GetCityByCenterUrl(CVString& url, const _VRect& bound, int level);
  // "?qt=bsl&ie=utf-8&oue=0&c=%d&uid="
  int GetBusLineUrl(CVString& url, int cityCode, const CVString& uid);
  // "?qt=bkg_data_ex&wd=&c=%d&rn=%d&l=%d&xy=col_row,...&b=(%d,%d;%d,%d)"; tiles as (column, row).
  int GetPoiBkgDataUrl(CVString& url, const CVString& word, int cityCode, int countPerTile, int level,
                       const CVArray<_VPoint>& tiles, const _VRect& bound);
  // "su?wd=&cid=%d&type=%d"
  int GetSuggestionUrl(CVString& url, const CVString& keyword, int cityId, int type);
  // "offlinemap/?qt=taskcity&dpi=hdpi|ldpi"; the int is not used.
  int GetOfflineCityListUrl(CVString& url, int unused = 0);
  // "offlinemap/?qt=taskcity&c=id,id,...&dpi=hdpi|ldpi"
  int GetOfflineCitySearchUrl(CVString& url, const CVArray<int>& cityIds);
  // "update/" + the file name.
  int GetOfflineUpdateUrl(CVString& url, const CVString& fileName);
  // "?qt=gc&cn=<city>&ie=utf-8&oue=0&wd=" with a city name, else "?qt=gc&c=%d&ie=utf-8&oue=0&wd=".
  int GetGeocodeUrl(CVString& url, const CVString& address, int cityCode, const char* cityName);
  // "api?x=%d&y=%d&qt=rgc"
  int GetReverseGeocodeUrl(CVString& url, int x, int y);
  // Tile batch: kinds 0 and 3 "?type=map", kind 4 "?type=sat", each "&l=%d&c="; kind 1
  // "?type=tra&l=%d&c="; kind 2 "?type=trahis&day=%d&time=%d&l=%d&c=" (day = x, time = y); then
  // the keys joined by "," and "&tick=%d".
  int GetGridDataUrl(CVString& url, int kind, int level, int x, int y, const CVArray<CVString>& keys,
                     int tick);
  // The location request: url "/loc/", POST fields qt=bloc, cl (cell key, when given), wf (Wi-Fi
  // text, when given), coor (coordinate type). 0 when both texts are empty.
  int GetLocationUrl(CVString& url, CVArray<CVString>& names, CVArray<CVString>& values,
                     const CVString& cellKey, const CVString& wifi, int coordType);
  // The observation upload: url "/loc/", POST fields qt=cldc and d0, d1, ... one per entry, at most
  // 20 fields (later entries are left out). 0 without entries.
  int GetLocDataPostFields(CVString& url, CVArray<CVString>& names, CVArray<CVString>& values,
                           const CVArray<CVString>& entries);

  static constexpr int kMaxPostFields = 20;

 private:
  bool HighDpi() const;

  mutable platform::Mutex mutex_;
  int level_ GUARDED_BY(mutex_) = 12;
  _VRect bound_ GUARDED_BY(mutex_);
  int dpiX_ GUARDED_BY(mutex_) = 163;
  int dpiY_ GUARDED_BY(mutex_) = 163;
};

}  // namespace gmengine
