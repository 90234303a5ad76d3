#include "mapsdk/search/CSearchMan.h"

#include <cjson/cJSON.h>

#include <cstring>
#include <string>

#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/engine/VMemory.h"
#include "mapsdk/search/CJsonResultParser.h"

namespace gmengine {

namespace {

// The keyword as GBK into a 60-byte field (at most 59 bytes and a zero).
void CopyKeyword(char* field, const CVString& keyword) {
  CopyRecordText(field, 60, CVStringToMultiByte(CP_ACP, keyword).c_str());
}

SearchAnswer Fail(SearchType type, SearchError error) { return {type, error, {}}; }

// Parses into one of the manager's own records, emptied first: a view of it, or the kind's failure.
template <class Record, class Parse>
SearchAnswer ParseKept(Record& record, SearchType type, Parse parse) {
  record = Record();
  if (!parse(record)) return Fail(type, SearchError::Unparsable);
  return {type, SearchError::None, &record};
}

// The records keep their texts in the double-byte code page: every string value of the tree is
// converted in place. False when one does not convert.
bool StringsToGbk(cJSON* node) {
  for (; node; node = node->next) {
    if (cJSON_IsString(node) && node->valuestring) {
      int length = 0;
      char* gbk = Utf8ToGbk(node->valuestring, static_cast<int>(std::strlen(node->valuestring)), &length);
      if (!gbk) return false;
      // A GBK text is never longer than its UTF-8, so the value is rewritten where it stands.
      const bool set = cJSON_SetValuestring(node, gbk) != nullptr;
      VFree(gbk);
      if (!set) return false;
    }
    if (node->child && !StringsToGbk(node->child)) return false;
  }
  return true;
}

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsUtf8(const char* text, int length) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  for (int i = 0; i < length;) {
    const unsigned c = p[i];
    int extra = 0;
    unsigned min = 0, value = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, min = 0x80, value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, min = 0x800, value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, min = 0x10000, value = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= length) return false;
    for (int k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      value = value << 6 | (p[i + k] & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

// The answer is parsed as the UTF-8 it is, and only then are its values converted: converting the
// whole text first would make a GBK trail byte 0x5C (a backslash) an escape of the JSON text.
struct GbkTree {
  GbkTree(const char* body, int length) {
    if (!IsUtf8(body, length)) {
      unconvertible = true;
      return;
    }
    root = cJSON_ParseWithLength(body, static_cast<std::size_t>(length));
    if (root && !StringsToGbk(root)) {
      cJSON_Delete(root);
      root = nullptr;
      unconvertible = true;
    }
  }
  ~GbkTree() { cJSON_Delete(root); }
  GbkTree(const GbkTree&) = delete;
  GbkTree& operator=(const GbkTree&) = delete;
  cJSON* root = nullptr;
  bool unconvertible = false;
};

}  // namespace

CSearchMan::CSearchMan()
    : searchBuffer_(new char[kSearchBufferSize]()), cityBuffer_(new char[kCityBufferSize]()) {}

CSearchMan::~CSearchMan() { Stop(); }

CUrlTranslater* CSearchMan::Urls() const { return engine_ ? &engine_->UrlTranslater() : nullptr; }

int CSearchMan::Start(CVMapEngine* engine) {
  engine_ = engine;
  if (!engine_) return 0;
  const EngineServices services = engine_->Services();
  if (!searchClient_.Init(services.Sockets(), services.Dispatcher()) ||
      !cityClient_.Init(services.Sockets(), services.Dispatcher()))
    return 0;
  searchClient_.SetClientID(EngineClient::Search);
  searchClient_.SetReceiveBuffer(searchBuffer_.get(), &searchLength_, kSearchBufferSize);
  searchClient_.SetUseGzip(1);
  searchClient_.SetTimeout(20000);
  cityClient_.SetClientID(EngineClient::CityCenter);
  cityClient_.SetReceiveBuffer(cityBuffer_.get(), &cityLength_, kCityBufferSize);
  cityClient_.SetUseGzip(1);
  poiCache_.SetCapacity(5);
  routeCache_.SetCapacity(5);
  poiDetailCache_.SetCapacity(5);
  suggestionCache_.SetCapacity(50);
  // Catalogue downloads of the offline maps wait while a search is on its way.
  if (engine_) {
    engine_->AddSearchClient(&searchClient_);
    engine_->AddSearchClient(&cityClient_);
  }
  return 1;
}

void CSearchMan::Stop() {
  if (engine_) {
    engine_->RemoveSearchClient(&searchClient_);
    engine_->RemoveSearchClient(&cityClient_);
  }
  poiCache_.RemoveAll();
  routeCache_.RemoveAll();
  poiDetailCache_.RemoveAll();
  suggestionCache_.RemoveAll();
  poiBkgCache_.RemoveAll();
}

int CSearchMan::Send(CHttpClient& client, unsigned& seq, int flag, CVSocket* socket) {
  int sent = client.RequestGet(url_, seq, flag, 0, socket);
  // A repeat of the request in flight on that socket is not sent again (the client answers 0 and
  // gives it the running request's tag); that answer serves this request.
  if (!sent && client.IsBusy(socket ? socket : client.GetSocket(0))) return 1;
  return sent;
}

SearchRequest CSearchMan::FromCache(const RecordCache& cache) const {
  int word = 0;
  const CachedSearchRecord* cached = cache.Find(url_, word);
  if (!cached) return SearchRequest::Failed();
  return SearchRequest::Answered({static_cast<SearchType>(word), SearchError::None, ViewOf(*cached)});
}

template <class T>
SearchAnswer CSearchMan::Cache(RecordCache& cache, SearchType type, std::unique_ptr<T> record,
                               SearchError error) {
  const CachedSearchRecord& stored = cache.Add(url_, CachedSearchRecord(std::move(record)), ToInt(type));
  return {type, error, ViewOf(stored)};
}

template <class T, class Parse>
SearchAnswer CSearchMan::ParseCached(RecordCache& cache, SearchType type, Parse parse) {
  auto record = std::make_unique<T>();
  if (!parse(*record)) return Fail(type, SearchError::Unparsable);
  return Cache(cache, type, std::move(record), SearchError::None);
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

SearchRequest CSearchMan::RequestPoiInCity(const CVString& keyword, int cityCode, int pageIndex, int pageSize,
                                           const char* cityName, unsigned& seq) {
  defaultType_ = SearchType::PoiInCity;
  if (!Urls() || !Urls()->GetPoiInCityUrl(url_, keyword, cityCode, pageIndex, pageSize, cityName))
    return SearchRequest::Failed();
  if (SearchRequest cached = FromCache(poiCache_)) return cached;
  if (!Send(searchClient_, seq)) return SearchRequest::Failed();
  keyword_ = keyword;
  pageIndex_ = pageIndex;
  NoteRequestCity(cityCode, cityName);
  return SearchRequest::Sent(true);
}

SearchRequest CSearchMan::RequestPoiInBounds(const CVString& keyword, double x1, double y1, double x2,
                                             double y2, int cityCode, int pageIndex, int pageSize,
                                             const char* cityName, unsigned& seq) {
  defaultType_ = SearchType::PoiInBounds;
  if (!Urls() ||
      !Urls()->GetPoiInBoundsUrl(url_, keyword, x1, y1, x2, y2, cityCode, pageIndex, pageSize, cityName)) {
    return SearchRequest::Failed();
  }
  if (SearchRequest cached = FromCache(poiCache_)) return cached;
  if (!Send(searchClient_, seq)) return SearchRequest::Failed();
  keyword_ = keyword;
  pageIndex_ = pageIndex;
  NoteRequestCity(cityCode, cityName);
  PrepareCenterPoi(x1, y1, x2, y2);
  return SearchRequest::Sent(true);
}

SearchRequest CSearchMan::RequestPoiMultiKey(const CVString& keywords, int count, double x1, double y1,
                                             double x2, double y2, int cityCode, int pageIndex, int pageSize,
                                             const char* cityName, unsigned& seq) {
  defaultType_ = SearchType::MultiKeyPoi;
  if (!Urls() || !Urls()->GetPoiMultiKeyUrl(url_, keywords, count, x1, y1, x2, y2, cityCode, pageIndex,
                                            pageSize, cityName)) {
    return SearchRequest::Failed();
  }
  if (SearchRequest cached = FromCache(poiCache_)) return cached;
  if (!Send(searchClient_, seq)) return SearchRequest::Failed();
  keyword_ = keywords;
  pageIndex_ = pageIndex;
  NoteRequestCity(cityCode, cityName);
  PrepareCenterPoi(x1, y1, x2, y2);
  return SearchRequest::Sent(true);
}

SearchRequest CSearchMan::RequestTransit(const tag_RouteNode& start, const tag_RouteNode& end, int policy,
                                         int cityCode, const char* cityName, unsigned& seq) {
  defaultType_ = SearchType::Transit;
  if (!Urls() || !Urls()->GetTransitUrl(url_, start, end, policy, cityCode, cityName))
    return SearchRequest::Failed();
  if (SearchRequest cached = FromCache(routeCache_)) return cached;
  if (!Send(searchClient_, seq)) return SearchRequest::Failed();
  NoteRequestCity(cityCode, cityName);
  routeKind_ = 1;
  return SearchRequest::Sent(true);
}

SearchRequest CSearchMan::RequestDriving(int startCity, int endCity, const tag_RouteNode& start,
                                         const tag_RouteNode& end, int policy, const char* startCityName,
                                         const char* endCityName, unsigned& seq) {
  defaultType_ = SearchType::Driving;
  if (!Urls() ||
      !Urls()->GetDrivingUrl(url_, startCity, endCity, start, end, policy, startCityName, endCityName)) {
    return SearchRequest::Failed();
  }
  if (SearchRequest cached = FromCache(routeCache_)) return cached;
  if (!Send(searchClient_, seq)) return SearchRequest::Failed();
  NoteRequestCity(startCity, startCityName);
  routeKind_ = 0;
  return SearchRequest::Sent(true);
}

SearchRequest CSearchMan::RequestWalking(int startCity, int endCity, const tag_RouteNode& start,
                                         const tag_RouteNode& end, const char* startCityName,
                                         const char* endCityName, unsigned& seq) {
  defaultType_ = SearchType::Walking;
  if (!Urls() || !Urls()->GetWalkingUrl(url_, startCity, endCity, start, end, startCityName, endCityName))
    return SearchRequest::Failed();
  if (SearchRequest cached = FromCache(routeCache_)) return cached;
  if (!Send(searchClient_, seq)) return SearchRequest::Failed();
  NoteRequestCity(startCity, startCityName);
  routeKind_ = 2;
  return SearchRequest::Sent(true);
}

SearchRequest CSearchMan::RequestBusLine(int cityCode, const CVString& uid, unsigned& seq) {
  defaultType_ = SearchType::BusLine;
  if (!Urls() || !Urls()->GetBusLineUrl(url_, cityCode, uid)) return SearchRequest::Failed();
  return SearchRequest::Sent(Send(searchClient_, seq));
}

SearchRequest CSearchMan::RequestSuggestion(const CVString& keyword, int cityId, int suggestionType,
                                            unsigned& seq) {
  defaultType_ = SearchType::Suggestion;
  if (!Urls() || !Urls()->GetSuggestionUrl(url_, keyword, cityId, suggestionType))
    return SearchRequest::Failed();
  if (SearchRequest cached = FromCache(suggestionCache_)) return cached;
  return SearchRequest::Sent(Send(searchClient_, seq));
}

SearchRequest CSearchMan::RequestOfflineCities(const CVArray<int>& cityIds, unsigned& seq) {
  defaultType_ = SearchType::OfflineCities;
  if (!Urls() || !Urls()->GetOfflineCitySearchUrl(url_, cityIds)) return SearchRequest::Failed();
  return SearchRequest::Sent(Send(searchClient_, seq));
}

SearchRequest CSearchMan::RequestGeocode(const CVString& address, int cityCode, const char* cityName,
                                         unsigned& seq) {
  defaultType_ = SearchType::Geocode;
  if (!Urls() || !Urls()->GetGeocodeUrl(url_, address, cityCode, cityName)) return SearchRequest::Failed();
  if (hasGeocode_ && cityName && std::strcmp(cityName, geocode_.cityName) == 0 &&
      CVStringToMultiByte(CP_ACP, address) == geocode_.address) {
    return SearchRequest::Answered({SearchType::Geocode, SearchError::None, &geocode_});
  }
  return SearchRequest::Sent(Send(searchClient_, seq));
}

SearchRequest CSearchMan::RequestReverseGeocode(int x, int y, unsigned& seq) {
  defaultType_ = SearchType::ReverseGeocode;
  if (!Urls() || !Urls()->GetReverseGeocodeUrl(url_, x, y)) return SearchRequest::Failed();
  if (hasReverseGeocode_ && reverseGeocode_.x == x && reverseGeocode_.y == y)
    return SearchRequest::Answered({SearchType::ReverseGeocode, SearchError::None, &reverseGeocode_});
  return SearchRequest::Sent(Send(searchClient_, seq));
}

SearchRequest CSearchMan::RequestCityByCenter(const _VRect& bound, int level, unsigned& seq) {
  if (!Urls() || !Urls()->GetCityByCenterUrl(url_, bound, level)) return SearchRequest::Failed();
  return SearchRequest::Sent(cityClient_.RequestGet(url_, seq, 1));
}

SearchRequest CSearchMan::RequestPoiBkgData(const CVString& word, const CVArray<tag_PoiBkgDataElem>& tiles,
                                            int cityCode, const _VRect& bound, unsigned& seq) {
  if (tiles.IsEmpty() || !Urls()) return SearchRequest::Failed();
  CVArray<_VPoint> keys;
  for (const tag_PoiBkgDataElem& tile : tiles) keys.Add(_VPoint(tile.key[1], tile.key[2]));
  if (!Urls()->GetPoiBkgDataUrl(url_, word, cityCode, 20, tiles[0].key[0], keys, bound))
    return SearchRequest::Failed();
  // On a socket of its own: a request on a socket closes the one it carries, and the places the map
  // asks for as it moves must not close the user's search or route on its way.
  return SearchRequest::Sent(Send(searchClient_, seq, 0, searchClient_.GetSocket(kBackgroundSocket)));
}

int CSearchMan::ParseCityCenterAnswer(const char* body, int length) {
  if (!body || length <= 0) return 0;
  GbkTree tree(body, length);
  int answerType = -1;
  if (!tree.root || !CJsonResultParser::GetResultType(tree.root, answerType) ||
      answerType != ToInt(SearchType::CityCenter)) {
    return 0;
  }
  tag_GeoShapeInfo city;
  if (!CJsonResultParser::ParseCityCenter(tree.root, city)) return 0;
  currentCity_ = city;
  hasCurrentCity_ = true;
  return 1;
}

SearchAnswer CSearchMan::ParseAnswer(const char* body, int length, SearchType expectedType) {
  return ParseAnswer(body, length, expectedType, defaultType_);
}

SearchAnswer CSearchMan::ParseAnswer(const char* body, int length, SearchType expectedType,
                                     SearchType defaultType) {
  if (!body || length <= 0) return Fail(expectedType, SearchError::None);
  GbkTree tree(body, length);
  if (tree.unconvertible) return Fail(expectedType, SearchError::Unconvertible);
  if (!tree.root) return Fail(expectedType, SearchError::Unparsable);
  int answerType = -1;
  CJsonResultParser::GetResultType(tree.root, answerType);
  return ParseTree(tree.root, answerType == -1 ? defaultType : static_cast<SearchType>(answerType),
                   expectedType);
}

SearchAnswer CSearchMan::ParseTree(const cJSON* root, SearchType answerType, SearchType expectedType) {
  int serverError = 0;
  CJsonResultParser::GetResultError(root, serverError);
  switch (answerType) {
    case SearchType::City:
      return ParseCity(root);
    case SearchType::CityCenter:
      return ParseCityCenter(root);
    case SearchType::PoiDetail:
      return ParsePoiDetail(root);
    case SearchType::CityList:
      return ParseCityList(root);
    case SearchType::PoiInCity:
    case SearchType::PoiAround:
    case SearchType::PoiInBounds:
      return ParsePoiList(root, answerType);
    case SearchType::Transit:
      return ParseTransit(root, serverError);
    case SearchType::Driving:
    case SearchType::Walking:
      return ParseCarRoute(root, answerType, serverError);
    case SearchType::BusLine:
      return ParseBusLine(root);
    case SearchType::RouteAddr:
      return ParseRouteAddr(root);
    case SearchType::MapPoint:
    case SearchType::MapPointPoi:
      return ParseMapPoint(root, answerType);
    case SearchType::Geocode:
      return ParseGeocode(root);
    case SearchType::ReverseGeocode:
      return ParseReverseGeocode(root);
    case SearchType::MultiKeyPoi:
      return ParseMultiKeyPoi(root);
    case SearchType::Link:
      return ParseLink(root);
    case SearchType::Suggestion:
      return ParseSuggestion(root);
    case SearchType::OfflineCities:
      return ParseOfflineCities(root);
    case SearchType::PoiBkgData:
      return ParsePoiBkgData(root);
    default:
      return Fail(expectedType, SearchError::NothingFound);
  }
}

SearchAnswer CSearchMan::ParseCity(const cJSON* root) {
  tag_GeoShapeInfo city;
  if (!CJsonResultParser::ParseCity(root, city)) return Fail(SearchType::City, SearchError::Unparsable);
  cityAnswer_ = city;
  currentCity_ = city;
  hasCurrentCity_ = true;
  return {SearchType::City, SearchError::None, &cityAnswer_};
}

SearchAnswer CSearchMan::ParseCityCenter(const cJSON* root) {
  tag_GeoShapeInfo city;
  if (!CJsonResultParser::ParseCityCenter(root, city))
    return Fail(SearchType::CityCenter, SearchError::Unparsable);
  currentCity_ = city;
  hasCurrentCity_ = true;
  return {SearchType::CityCenter, SearchError::None, &currentCity_};
}

SearchAnswer CSearchMan::ParsePoiDetail(const cJSON* root) {
  return ParseCached<tag_PoiDetailRst>(poiDetailCache_, SearchType::PoiDetail, [&](tag_PoiDetailRst& r) {
    return CJsonResultParser::ParsePoiDetail(root, r);
  });
}

SearchAnswer CSearchMan::ParseCityList(const cJSON* root) {
  cityList_ = tag_CityListRst();
  if (!CJsonResultParser::ParseCityList(root, cityList_))
    return Fail(SearchType::CityList, SearchError::Unparsable);
  ApplyRequestCity(cityList_.city);
  return {SearchType::CityList, SearchError::None, &cityList_};
}

SearchAnswer CSearchMan::ParsePoiList(const cJSON* root, SearchType type) {
  auto result = std::make_unique<tag_PoiSearchRst>();
  if (!CJsonResultParser::ParsePoiList(root, type, *result)) return Fail(type, SearchError::Unparsable);
  if (type == SearchType::PoiInBounds) {
    result->markers.Add(centerPoi_);
    for (int i = 0; i < 4; ++i) result->bounds[i] = searchRect_[i];
  }
  CopyKeyword(result->keyword, keyword_);
  result->pageIndex = pageIndex_;
  ApplyRequestCity(result->city);
  const SearchError error = result->pois.IsEmpty() ? SearchError::NothingFound : SearchError::None;
  return Cache(poiCache_, type, std::move(result), error);
}

SearchAnswer CSearchMan::ParseTransit(const cJSON* root, int serverError) {
  if (serverError != 0) {
    return Fail(SearchType::Transit, serverError == 1   ? SearchError::RouteFailed
                                     : serverError == 6 ? SearchError::TransitFailed
                                                        : SearchError::NothingFound);
  }
  auto result = std::make_unique<tag_BusRouteRst>();
  if (!CJsonResultParser::ParseBusRoute(root, *result))
    return Fail(SearchType::Transit, SearchError::Unparsable);
  ApplyRequestCity(result->city);
  if (result->routes.IsEmpty()) return Fail(SearchType::Transit, SearchError::NothingFound);
  return Cache(routeCache_, SearchType::Transit, std::move(result), SearchError::None);
}

SearchAnswer CSearchMan::ParseCarRoute(const cJSON* root, SearchType type, int serverError) {
  if (serverError != 0)
    return Fail(type, serverError == 4 ? SearchError::RouteFailed : SearchError::NothingFound);
  auto result = std::make_unique<tag_CarRouteRst>();
  if (!CJsonResultParser::ParseCarRoute(root, type == SearchType::Walking ? 2 : 0, *result))
    return Fail(type, SearchError::Unparsable);
  ApplyRequestCity(result->city);
  if (result->route.keyPoints.IsEmpty() && result->route.links.IsEmpty())
    return Fail(type, SearchError::NothingFound);
  return Cache(routeCache_, type, std::move(result), SearchError::None);
}

SearchAnswer CSearchMan::ParseBusLine(const cJSON* root) {
  return ParseKept(busLine_, SearchType::BusLine,
                   [&](tag_BusLineRst& r) { return CJsonResultParser::ParseBusLine(root, r); });
}

SearchAnswer CSearchMan::ParseRouteAddr(const cJSON* root) {
  routeAddr_ = tag_RouteAddrRst();
  if (!CJsonResultParser::ParseRouteAddr(root, routeAddr_))
    return Fail(SearchType::RouteAddr, SearchError::Unparsable);
  routeAddr_.routeKind = routeKind_;
  ApplyRequestCity(routeAddr_.city);
  // Route ends offered for a transit request mean no transit plan: reported as a transit failure.
  if (routeAddr_.ifNav && routeKind_ == 1)
    return {SearchType::Transit, SearchError::TransitFailed, &routeAddr_};
  return {SearchType::RouteAddr, SearchError::None, &routeAddr_};
}

SearchAnswer CSearchMan::ParseMapPoint(const cJSON* root, SearchType answerType) {
  return ParseKept(mapPoint_, SearchType::MapPoint, [&](tag_MapPointRst& r) {
    return answerType == SearchType::MapPoint ? CJsonResultParser::ParseMapPoint(root, r)
                                              : CJsonResultParser::ParseMapPointPoi(root, r);
  });
}

SearchAnswer CSearchMan::ParseGeocode(const cJSON* root) {
  tag_GeocodeRst result;
  SearchError geocodeError = SearchError::None;
  if (!CJsonResultParser::ParseGeocode(root, result, geocodeError))
    return Fail(SearchType::Geocode, SearchError::Unparsable);
  geocode_ = result;
  hasGeocode_ = true;
  return {SearchType::Geocode, geocodeError, &geocode_};
}

SearchAnswer CSearchMan::ParseReverseGeocode(const cJSON* root) {
  tag_PoiSearchRst result;
  SearchError rgcError = SearchError::None;
  if (!CJsonResultParser::ParseReverseGeocode(root, result, rgcError))
    return Fail(SearchType::ReverseGeocode, SearchError::Unparsable);
  reverseGeocode_ = result;
  hasReverseGeocode_ = true;
  return {SearchType::ReverseGeocode, rgcError, &reverseGeocode_};
}

SearchAnswer CSearchMan::ParseMultiKeyPoi(const cJSON* root) {
  auto result = std::make_unique<tag_MultiKeyPoiRst>();
  if (!CJsonResultParser::ParseMultiKeyPoi(root, *result))
    return Fail(SearchType::MultiKeyPoi, SearchError::Unparsable);
  for (int i = 0; i < 4; ++i) result->bounds[i] = searchRect_[i];
  CopyKeyword(result->keyword, keyword_);
  result->pageIndex = pageIndex_;
  ApplyRequestCity(result->city);
  return Cache(poiCache_, SearchType::MultiKeyPoi, std::move(result), SearchError::None);
}

SearchAnswer CSearchMan::ParseLink(const cJSON* root) {
  return ParseKept(link_, SearchType::Link,
                   [&](CVString& r) { return CJsonResultParser::ParseLink(root, r); });
}

SearchAnswer CSearchMan::ParseSuggestion(const cJSON* root) {
  return ParseCached<tag_SuggestionResult>(
      suggestionCache_, SearchType::Suggestion,
      [&](tag_SuggestionResult& r) { return CJsonResultParser::ParseSuggestion(root, r); });
}

SearchAnswer CSearchMan::ParseOfflineCities(const cJSON* root) {
  return ParseKept(offlineCities_, SearchType::OfflineCities, [&](CVArray<tag_OfflineTask>& r) {
    return CJsonResultParser::ParseOfflineCities(root, r);
  });
}

SearchAnswer CSearchMan::ParsePoiBkgData(const cJSON* root) {
  poiBkgData_ = tag_PoiBkgDataRst();
  if (!CJsonResultParser::ParsePoiBkgData(root, poiBkgData_))
    return Fail(SearchType::PoiBkgData, SearchError::Unparsable);
  poiBkgCache_.Add(poiBkgData_.word, poiBkgData_.tiles);
  return {SearchType::PoiBkgData, SearchError::None, &poiBkgData_};
}

}  // namespace gmengine
