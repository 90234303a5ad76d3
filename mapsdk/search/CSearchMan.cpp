#include "mapsdk/search/CSearchMan.h"

#include <cjson/cJSON.h>

#include <cstring>
#include <string>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/engine/VMemory.h"
#include "mapsdk/search/CJsonResultParser.h"

namespace gmengine {

namespace {

template <class T>
void Delete(void** slot) {
  delete static_cast<T*>(*slot);
  *slot = nullptr;
}

CUrlTranslater* Urls() { return GetUrlTranslater(); }

// The keyword as GBK into a 60-byte field (at most 59 bytes and a zero).
void CopyKeyword(char* field, const CVString& keyword) {
  CopyRecordText(field, 60, CVStringToMultiByte(CP_ACP, keyword).c_str());
}

void (*g_freeObserver)(void*, void*) = nullptr;
void* g_freeContext = nullptr;

}  // namespace

void SetSearchResultFreeObserver(void (*observer)(void* context, void* record), void* context) {
  g_freeObserver = observer;
  g_freeContext = context;
}

void FreeSearchResult(void** slot, int type) {
  if (!slot || !*slot) return;
  if (g_freeObserver) g_freeObserver(g_freeContext, *slot);
  switch (type) {
    case 11:
    case 12:
    case 21:
    case 44:
      Delete<tag_PoiSearchRst>(slot);
      break;
    case 45:
      Delete<tag_MultiKeyPoiRst>(slot);
      break;
    case 14:
      Delete<tag_BusRouteRst>(slot);
      break;
    case 20:
    case 31:
      Delete<tag_CarRouteRst>(slot);
      break;
    case 6:
      Delete<tag_PoiDetailRst>(slot);
      break;
    case 506:
      Delete<tag_SuggestionResult>(slot);
      break;
    case 503:
      VFree(*slot);
      *slot = nullptr;
      break;
    default:
      break;
  }
}

CSearchMan::CSearchMan()
    : searchBuffer_(new char[kSearchBufferSize]()), cityBuffer_(new char[kCityBufferSize]()) {}

CSearchMan::~CSearchMan() { Stop(); }

int CSearchMan::Start() {
  if (!searchClient_.Init() || !cityClient_.Init()) return 0;
  searchClient_.SetClientID(kSearchClientId);
  searchClient_.SetReceiveBuffer(searchBuffer_.get(), &searchLength_, kSearchBufferSize);
  searchClient_.SetUseGzip(1);
  searchClient_.SetTimeout(20000);
  cityClient_.SetClientID(kCityClientId);
  cityClient_.SetReceiveBuffer(cityBuffer_.get(), &cityLength_, kCityBufferSize);
  cityClient_.SetUseGzip(1);
  poiCache_.SetCapacity(5);
  routeCache_.SetCapacity(5);
  poiDetailCache_.SetCapacity(5);
  suggestionCache_.SetCapacity(50);
  return 1;
}

void CSearchMan::Stop() {
  poiCache_.RemoveAll();
  routeCache_.RemoveAll();
  poiDetailCache_.RemoveAll();
  suggestionCache_.RemoveAll();
  poiBkgCache_.RemoveAll();
}

int CSearchMan::Send(CHttpClient& client, unsigned& seq, int flag) {
  int sent = client.RequestGet(url_, seq, flag);
  // A repeat of the request in flight is not sent again; its answer serves this request.
  if (!sent && client.IsBusy()) {
    CVString running;
    if (client.GetRequestUrl(0, running) && running == url_) return 1;
  }
  return sent;
}

int CSearchMan::FindCached(CAppDataCache& cache, void*& record, int& type) {
  void* data = nullptr;
  int word = 0;
  if (!cache.Find(url_, data, word)) return 0;
  record = data;
  type = word;
  return 1;
}

void CSearchMan::NoteRequestCity(int cityCode, const char* cityName) {
  if (cityCode > 0 && cityCode != currentCity_.cityCode) {
    requestCity_ = tag_GeoShapeInfo();
    requestCity_.cityCode = cityCode;
    CopyRecordText(requestCity_.name, sizeof requestCity_.name, cityName);
  } else {
    requestCity_ = currentCity_;
  }
}

void CSearchMan::PrepareCenterPoi(double x1, double y1, double x2, double y2) {
  centerPoi_ = tag_PoiInfo();
  centerPoi_.geometry.AddPoint(
      _VPoint(static_cast<int>((x1 + x2) / 2 * 100), static_cast<int>((y1 + y2) / 2 * 100)));
  CopyRecordText(centerPoi_.name, sizeof centerPoi_.name,
                 CVStringToMultiByte(CP_ACP, CVString("地图上点选的点")).c_str());
  centerPoi_.mark = 2;
  centerPoi_.hasDetail = 0;
  searchRect_[0] = static_cast<int>(x1);
  searchRect_[1] = static_cast<int>(y1);
  searchRect_[2] = static_cast<int>(x2);
  searchRect_[3] = static_cast<int>(y2);
}

void CSearchMan::ApplyRequestCity(tag_GeoShapeInfo& city) {
  if (city.cityCode < 1) city = requestCity_;
}

int CSearchMan::RequestPoiInCity(const CVString& keyword, int cityCode, int pageIndex, int pageSize,
                                 const char* cityName, unsigned& seq, void*& record, int& type) {
  defaultType_ = 11;
  if (!Urls() || !Urls()->GetPoiInCityUrl(url_, keyword, cityCode, pageIndex, pageSize, cityName)) return 0;
  if (FindCached(poiCache_, record, type)) return 1;
  if (!Send(searchClient_, seq)) return 0;
  keyword_ = keyword;
  pageIndex_ = pageIndex;
  NoteRequestCity(cityCode, cityName);
  return 1;
}

int CSearchMan::RequestPoiInBounds(const CVString& keyword, double x1, double y1, double x2, double y2,
                                   int cityCode, int pageIndex, int pageSize, const char* cityName,
                                   unsigned& seq, void*& record, int& type) {
  defaultType_ = 21;
  if (!Urls() ||
      !Urls()->GetPoiInBoundsUrl(url_, keyword, x1, y1, x2, y2, cityCode, pageIndex, pageSize, cityName)) {
    return 0;
  }
  if (FindCached(poiCache_, record, type)) return 1;
  if (!Send(searchClient_, seq)) return 0;
  keyword_ = keyword;
  pageIndex_ = pageIndex;
  NoteRequestCity(cityCode, cityName);
  PrepareCenterPoi(x1, y1, x2, y2);
  return 1;
}

int CSearchMan::RequestPoiMultiKey(const CVString& keywords, int count, double x1, double y1, double x2,
                                   double y2, int cityCode, int pageIndex, int pageSize, const char* cityName,
                                   unsigned& seq, void*& record, int& type) {
  defaultType_ = 45;
  if (!Urls() || !Urls()->GetPoiMultiKeyUrl(url_, keywords, count, x1, y1, x2, y2, cityCode, pageIndex,
                                            pageSize, cityName)) {
    return 0;
  }
  if (FindCached(poiCache_, record, type)) return 1;
  if (!Send(searchClient_, seq)) return 0;
  keyword_ = keywords;
  pageIndex_ = pageIndex;
  NoteRequestCity(cityCode, cityName);
  PrepareCenterPoi(x1, y1, x2, y2);
  return 1;
}

int CSearchMan::RequestTransit(const tag_RouteNode& start, const tag_RouteNode& end, int policy, int cityCode,
                               const char* cityName, unsigned& seq, void*& record, int& type) {
  defaultType_ = 14;
  if (!Urls() || !Urls()->GetTransitUrl(url_, start, end, policy, cityCode, cityName)) return 0;
  if (FindCached(routeCache_, record, type)) return 1;
  if (!Send(searchClient_, seq)) return 0;
  NoteRequestCity(cityCode, cityName);
  routeKind_ = 1;
  return 1;
}

int CSearchMan::RequestDriving(int startCity, int endCity, const tag_RouteNode& start,
                               const tag_RouteNode& end, int policy, const char* startCityName,
                               const char* endCityName, unsigned& seq, void*& record, int& type) {
  defaultType_ = 20;
  if (!Urls() ||
      !Urls()->GetDrivingUrl(url_, startCity, endCity, start, end, policy, startCityName, endCityName)) {
    return 0;
  }
  if (FindCached(routeCache_, record, type)) return 1;
  if (!Send(searchClient_, seq)) return 0;
  NoteRequestCity(startCity, startCityName);
  routeKind_ = 0;
  return 1;
}

int CSearchMan::RequestWalking(int startCity, int endCity, const tag_RouteNode& start,
                               const tag_RouteNode& end, const char* startCityName, const char* endCityName,
                               unsigned& seq, void*& record, int& type) {
  defaultType_ = 31;
  if (!Urls() || !Urls()->GetWalkingUrl(url_, startCity, endCity, start, end, startCityName, endCityName))
    return 0;
  if (FindCached(routeCache_, record, type)) return 1;
  if (!Send(searchClient_, seq)) return 0;
  NoteRequestCity(startCity, startCityName);
  routeKind_ = 2;
  return 1;
}

int CSearchMan::RequestBusLine(int cityCode, const CVString& uid, unsigned& seq) {
  defaultType_ = 18;
  if (!Urls() || !Urls()->GetBusLineUrl(url_, cityCode, uid)) return 0;
  return Send(searchClient_, seq);
}

int CSearchMan::RequestSuggestion(const CVString& keyword, int cityId, int suggestionType, unsigned& seq,
                                  void*& record, int& type) {
  defaultType_ = 506;
  if (!Urls() || !Urls()->GetSuggestionUrl(url_, keyword, cityId, suggestionType)) return 0;
  if (FindCached(suggestionCache_, record, type)) return 1;
  return Send(searchClient_, seq);
}

int CSearchMan::RequestOfflineCities(const CVArray<int>& cityIds, unsigned& seq) {
  defaultType_ = 507;
  if (!Urls() || !Urls()->GetOfflineCitySearchUrl(url_, cityIds)) return 0;
  return Send(searchClient_, seq);
}

int CSearchMan::RequestGeocode(const CVString& address, int cityCode, const char* cityName, unsigned& seq,
                               void*& record, int& type) {
  defaultType_ = 35;
  if (!Urls() || !Urls()->GetGeocodeUrl(url_, address, cityCode, cityName)) return 0;
  if (hasGeocode_ && cityName && std::strcmp(cityName, geocode_.cityName) == 0 &&
      CVStringToMultiByte(CP_ACP, address) == geocode_.address) {
    record = &geocode_;
    type = 35;
    return 1;
  }
  return Send(searchClient_, seq);
}

int CSearchMan::RequestReverseGeocode(int x, int y, unsigned& seq, void*& record, int& type) {
  defaultType_ = 44;
  if (!Urls() || !Urls()->GetReverseGeocodeUrl(url_, x, y)) return 0;
  if (hasReverseGeocode_ && reverseGeocode_.x == x && reverseGeocode_.y == y) {
    record = &reverseGeocode_;
    type = 44;
    return 1;
  }
  return Send(searchClient_, seq);
}

int CSearchMan::RequestCityByCenter(const _VRect& bound, int level, unsigned& seq) {
  if (!Urls() || !Urls()->GetCityByCenterUrl(url_, bound, level)) return 0;
  return cityClient_.RequestGet(url_, seq, 1);
}

int CSearchMan::RequestPoiBkgData(const CVString& word, const CVArray<tag_PoiBkgDataElem>& tiles,
                                  int cityCode, const _VRect& bound, unsigned& seq) {
  defaultType_ = 510;
  if (tiles.IsEmpty() || !Urls()) return 0;
  CVArray<_VPoint> keys;
  for (const tag_PoiBkgDataElem& tile : tiles) keys.Add(_VPoint(tile.key[1], tile.key[2]));
  if (!Urls()->GetPoiBkgDataUrl(url_, word, cityCode, 20, tiles[0].key[0], keys, bound)) return 0;
  return Send(searchClient_, seq, 0);
}

int CSearchMan::ParseCityCenterAnswer(const char* body, int length) {
  if (!body || length <= 0) return 0;
  int gbkLength = 0;
  char* gbk = Utf8ToGbk(body, length, &gbkLength);
  if (!gbk) return 0;
  cJSON* root = cJSON_ParseWithLength(gbk, static_cast<std::size_t>(gbkLength));
  int ok = 0;
  int answerType = -1;
  if (root && CJsonResultParser::GetResultType(root, answerType) && answerType == 4) {
    tag_GeoShapeInfo city;
    if (CJsonResultParser::ParseCityCenter(root, city)) {
      currentCity_ = city;
      hasCurrentCity_ = true;
      ok = 1;
    }
  }
  cJSON_Delete(root);
  VFree(gbk);
  return ok;
}

void* CSearchMan::ParseAnswer(const char* body, int length, int expectedType, int& type, int& error) {
  type = expectedType;
  error = 0;
  if (!body || length <= 0) return nullptr;
  int gbkLength = 0;
  char* gbk = Utf8ToGbk(body, length, &gbkLength);
  if (!gbk) {
    error = 102;
    return nullptr;
  }
  cJSON* root = cJSON_ParseWithLength(gbk, static_cast<std::size_t>(gbkLength));
  void* record = nullptr;
  if (!root) {
    error = 3;
  } else {
    int answerType = -1;
    CJsonResultParser::GetResultType(root, answerType);
    if (answerType == -1) answerType = defaultType_;
    record = ParseTree(root, answerType, expectedType, type, error);
  }
  cJSON_Delete(root);
  VFree(gbk);
  return record;
}

void* CSearchMan::ParseTree(const void* tree, int answerType, int expectedType, int& type, int& error) {
  const cJSON* root = static_cast<const cJSON*>(tree);
  int serverError = 0;
  CJsonResultParser::GetResultError(root, serverError);
  type = answerType;
  error = 0;
  switch (answerType) {
    case 2: {
      tag_GeoShapeInfo city;
      if (!CJsonResultParser::ParseCity(root, city)) {
        error = 3;
        return nullptr;
      }
      cityAnswer_ = city;
      currentCity_ = city;
      hasCurrentCity_ = true;
      return &cityAnswer_;
    }
    case 4: {
      tag_GeoShapeInfo city;
      if (!CJsonResultParser::ParseCityCenter(root, city)) {
        error = 3;
        return nullptr;
      }
      currentCity_ = city;
      hasCurrentCity_ = true;
      return &currentCity_;
    }
    case 6: {
      auto* detail = new tag_PoiDetailRst();
      if (!CJsonResultParser::ParsePoiDetail(root, *detail)) {
        delete detail;
        error = 3;
        return nullptr;
      }
      poiDetailCache_.Add(url_, detail, 6, FreeSearchResult);
      return detail;
    }
    case 7: {
      cityList_ = tag_CityListRst();
      if (!CJsonResultParser::ParseCityList(root, cityList_)) {
        error = 3;
        return nullptr;
      }
      ApplyRequestCity(cityList_.city);
      return &cityList_;
    }
    case 11:
    case 12:
    case 21: {
      auto* result = new tag_PoiSearchRst();
      if (!CJsonResultParser::ParsePoiList(root, answerType, *result)) {
        delete result;
        error = 3;
        return nullptr;
      }
      if (answerType == 21) {
        result->markers.Add(centerPoi_);
        for (int i = 0; i < 4; ++i) result->bounds[i] = searchRect_[i];
      }
      CopyKeyword(result->keyword, keyword_);
      result->pageIndex = pageIndex_;
      ApplyRequestCity(result->city);
      error = result->pois.IsEmpty() ? 11 : 0;
      poiCache_.Add(url_, result, answerType, FreeSearchResult);
      return result;
    }
    case 14: {
      if (serverError != 0) {
        error = serverError == 1 ? 14 : serverError == 6 ? 13 : 11;
        return nullptr;
      }
      auto* result = new tag_BusRouteRst();
      if (!CJsonResultParser::ParseBusRoute(root, *result)) {
        delete result;
        error = 3;
        return nullptr;
      }
      ApplyRequestCity(result->city);
      if (result->routes.IsEmpty()) {
        delete result;
        error = 11;
        return nullptr;
      }
      routeCache_.Add(url_, result, 14, FreeSearchResult);
      return result;
    }
    case 20:
    case 31: {
      if (serverError != 0) {
        error = serverError == 4 ? 14 : 11;
        return nullptr;
      }
      auto* result = new tag_CarRouteRst();
      if (!CJsonResultParser::ParseCarRoute(root, answerType == 31 ? 2 : 0, *result)) {
        delete result;
        error = 3;
        return nullptr;
      }
      ApplyRequestCity(result->city);
      if (result->route.keyPoints.IsEmpty() && result->route.links.IsEmpty()) {
        delete result;
        error = 11;
        return nullptr;
      }
      routeCache_.Add(url_, result, answerType, FreeSearchResult);
      return result;
    }
    case 18:
      busLine_ = tag_BusLineRst();
      if (!CJsonResultParser::ParseBusLine(root, busLine_)) {
        error = 3;
        return nullptr;
      }
      return &busLine_;
    case 23:
      routeAddr_ = tag_RouteAddrRst();
      if (!CJsonResultParser::ParseRouteAddr(root, routeAddr_)) {
        error = 3;
        return nullptr;
      }
      routeAddr_.routeKind = routeKind_;
      ApplyRequestCity(routeAddr_.city);
      if (routeAddr_.ifNav && routeKind_ == 1) {
        type = 14;
        error = 13;
      }
      return &routeAddr_;
    case 26:
    case 28:
      mapPoint_ = tag_MapPointRst();
      type = 26;
      if (!(answerType == 26 ? CJsonResultParser::ParseMapPoint(root, mapPoint_)
                             : CJsonResultParser::ParseMapPointPoi(root, mapPoint_))) {
        error = 3;
        return nullptr;
      }
      return &mapPoint_;
    case 35: {
      tag_GeocodeRst result;
      int geocodeError = 0;
      if (!CJsonResultParser::ParseGeocode(root, result, geocodeError)) {
        error = 3;
        return nullptr;
      }
      geocode_ = result;
      hasGeocode_ = true;
      error = geocodeError;
      return &geocode_;
    }
    case 44: {
      tag_PoiSearchRst result;
      int rgcError = 0;
      if (!CJsonResultParser::ParseReverseGeocode(root, result, rgcError)) {
        error = 3;
        return nullptr;
      }
      reverseGeocode_ = result;
      hasReverseGeocode_ = true;
      error = rgcError;
      return &reverseGeocode_;
    }
    case 45: {
      auto* result = new tag_MultiKeyPoiRst();
      if (!CJsonResultParser::ParseMultiKeyPoi(root, *result)) {
        delete result;
        error = 3;
        return nullptr;
      }
      for (int i = 0; i < 4; ++i) result->bounds[i] = searchRect_[i];
      CopyKeyword(result->keyword, keyword_);
      result->pageIndex = pageIndex_;
      ApplyRequestCity(result->city);
      poiCache_.Add(url_, result, 45, FreeSearchResult);
      return result;
    }
    case 500:
      link_.Empty();
      if (!CJsonResultParser::ParseLink(root, link_)) {
        error = 3;
        return nullptr;
      }
      return &link_;
    case 506: {
      auto* result = new tag_SuggestionResult();
      if (!CJsonResultParser::ParseSuggestion(root, *result)) {
        delete result;
        error = 3;
        return nullptr;
      }
      suggestionCache_.Add(url_, result, 506, FreeSearchResult);
      return result;
    }
    case 507:
      offlineCities_.RemoveAll();
      if (!CJsonResultParser::ParseOfflineCities(root, offlineCities_)) {
        error = 3;
        return nullptr;
      }
      return &offlineCities_;
    case 510:
      poiBkgData_ = tag_PoiBkgDataRst();
      if (!CJsonResultParser::ParsePoiBkgData(root, poiBkgData_)) {
        error = 3;
        return nullptr;
      }
      poiBkgCache_.Add(poiBkgData_.word, poiBkgData_.tiles);
      return &poiBkgData_;
    default:
      type = expectedType;
      error = 11;
      return nullptr;
  }
}

}  // namespace gmengine
