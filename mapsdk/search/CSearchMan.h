#pragma once
#include <functional>
#include <memory>

#include "mapsdk/engine/CAppDataCache.h"
#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/VRect.h"
#include "mapsdk/engine/tag_RouteNode.h"
#include "mapsdk/search/CPoiBkgDataCache.h"
#include "mapsdk/search/SearchAnswer.h"
#include "mapsdk/search/SearchResultRecords.h"

struct cJSON;

namespace gmengine {

class CUrlTranslater;
class CVMapEngine;

// What a request call did: ok when the URL was built and the request sent, or when it was answered
// at once (from a cache or a kept answer; atHand then holds that answer).
struct SearchRequest {
  bool ok = false;
  SearchAnswer atHand;
  explicit operator bool() const { return ok; }
  static SearchRequest Failed() { return {}; }
  static SearchRequest Sent(bool sent) { return {sent, {}}; }
  static SearchRequest Answered(SearchAnswer answer) { return {true, answer}; }
};

// The request manager of the search engine: builds request URLs, sends them on the search client
// (EngineClient::Search) or the city-centre client (EngineClient::CityCenter), answers repeated requests from
// its caches and parses answers into records. The records of cached types belong to their cache; all others
// are members overwritten by the next answer of their type. Main thread.
class CSearchMan {
 public:
  static constexpr int kSearchBufferSize = 256000;
  static constexpr int kCityBufferSize = 15360;

  using RecordCache = CAppDataCache<CachedSearchRecord>;

  CSearchMan();
  ~CSearchMan();
  CSearchMan(const CSearchMan&) = delete;
  CSearchMan& operator=(const CSearchMan&) = delete;

  // Readies both clients (they need the engine) and sets the cache capacities; the engine core
  // (not owned: it owns the search) builds the URLs and makes catalogue downloads wait for the
  // clients. 1; 0 when a client cannot be readied.
  int Start(CVMapEngine* engine);
  // Takes the clients back from the engine core and empties the answer caches and the background
  // POI cache.
  void Stop();

  // Requests. Each fails when the URL cannot be built or the request not sent.
  SearchRequest RequestPoiInCity(const CVString& keyword, int cityCode, int pageIndex, int pageSize,
                                 const char* cityName, unsigned& seq);
  SearchRequest RequestPoiInBounds(const CVString& keyword, double x1, double y1, double x2, double y2,
                                   int cityCode, int pageIndex, int pageSize, const char* cityName,
                                   unsigned& seq);
  SearchRequest RequestPoiMultiKey(const CVString& keywords, int count, double x1, double y1, double x2,
                                   double y2, int cityCode, int pageIndex, int pageSize, const char* cityName,
                                   unsigned& seq);
  SearchRequest RequestTransit(const tag_RouteNode& start, const tag_RouteNode& end, int policy, int cityCode,
                               const char* cityName, unsigned& seq);
  SearchRequest RequestDriving(int startCity, int endCity, const tag_RouteNode& start,
                               const tag_RouteNode& end, int policy, const char* startCityName,
                               const char* endCityName, unsigned& seq);
  SearchRequest RequestWalking(int startCity, int endCity, const tag_RouteNode& start,
                               const tag_RouteNode& end, const char* startCityName, const char* endCityName,
                               unsigned& seq);
  SearchRequest RequestBusLine(int cityCode, const CVString& uid, unsigned& seq);
  SearchRequest RequestSuggestion(const CVString& keyword, int cityId, int suggestionType, unsigned& seq);
  SearchRequest RequestOfflineCities(const CVArray<int>& cityIds, unsigned& seq);
  SearchRequest RequestGeocode(const CVString& address, int cityCode, const char* cityName, unsigned& seq);
  SearchRequest RequestReverseGeocode(int x, int y, unsigned& seq);
  SearchRequest RequestCityByCenter(const _VRect& bound, int level, unsigned& seq);
  SearchRequest RequestPoiBkgData(const CVString& word, const CVArray<tag_PoiBkgDataElem>& tiles,
                                  int cityCode, const _VRect& bound, unsigned& seq);

  // Parses a search answer of body (UTF-8, length bytes): the answer's type, an error and a view of
  // the record stored (none on failure). Never reads outside body.
  SearchAnswer ParseAnswer(const char* body, int length, SearchType expectedType);
  // The same with the type that an answer without one is taken as (the background POI request's
  // answers share the search client with the user's searches).
  SearchAnswer ParseAnswer(const char* body, int length, SearchType expectedType, SearchType defaultType);
  // A city-centre answer: 1 when it was a city record, now the current city.
  int ParseCityCenterAnswer(const char* body, int length);

  CHttpClient& SearchClient() { return searchClient_; }
  const CHttpClient& SearchClient() const { return searchClient_; }
  CHttpClient& CityClient() { return cityClient_; }
  const CHttpClient& CityClient() const { return cityClient_; }
  const char* SearchBuffer() const { return searchBuffer_.get(); }
  int SearchLength() const { return searchLength_; }
  const char* CityBuffer() const { return cityBuffer_.get(); }
  int CityLength() const { return cityLength_; }

  tag_GeoShapeInfo& CurrentCity() { return currentCity_; }
  CPoiBkgDataCache& PoiBkgCache() { return poiBkgCache_; }
  RecordCache& PoiCache() { return poiCache_; }

 private:
  // The socket the background POI requests take; the user's searches take the first.
  static constexpr int kBackgroundSocket = 1;
  // The engine core's URL builder; null before Start.
  CUrlTranslater* Urls() const;
  int Send(CHttpClient& client, unsigned& seq, int flag = 1, CVSocket* socket = nullptr);
  SearchRequest FromCache(const RecordCache& cache) const;
  template <class T>
  SearchAnswer Cache(RecordCache& cache, SearchType type, std::unique_ptr<T> record, SearchError error);
  // A new record of T parsed and, when whole, put in the cache.
  template <class T, class Parse>
  SearchAnswer ParseCached(RecordCache& cache, SearchType type, Parse parse);
  void NoteRequestCity(int cityCode, const char* cityName);
  void PrepareCenterPoi(double x1, double y1, double x2, double y2);
  void ApplyRequestCity(tag_GeoShapeInfo& city);

  // One parser per answer kind; each answers with the kind's type unless it says otherwise.
  SearchAnswer ParseTree(const cJSON* root, SearchType answerType, SearchType expectedType);
  SearchAnswer ParseCity(const cJSON* root);
  SearchAnswer ParseCityCenter(const cJSON* root);
  SearchAnswer ParsePoiDetail(const cJSON* root);
  SearchAnswer ParseCityList(const cJSON* root);
  SearchAnswer ParsePoiList(const cJSON* root, SearchType type);
  SearchAnswer ParseTransit(const cJSON* root, int serverError);
  SearchAnswer ParseCarRoute(const cJSON* root, SearchType type, int serverError);
  SearchAnswer ParseBusLine(const cJSON* root);
  SearchAnswer ParseRouteAddr(const cJSON* root);
  SearchAnswer ParseMapPoint(const cJSON* root, SearchType answerType);
  SearchAnswer ParseGeocode(const cJSON* root);
  SearchAnswer ParseReverseGeocode(const cJSON* root);
  SearchAnswer ParseMultiKeyPoi(const cJSON* root);
  SearchAnswer ParseLink(const cJSON* root);
  SearchAnswer ParseSuggestion(const cJSON* root);
  SearchAnswer ParseOfflineCities(const cJSON* root);
  SearchAnswer ParsePoiBkgData(const cJSON* root);

  CHttpClient searchClient_;
  std::unique_ptr<char[]> searchBuffer_;
  int searchLength_ = 0;
  SearchType defaultType_ = SearchType::None;
  CVString url_;
  CVString keyword_;
  CVMapEngine* engine_ = nullptr;
  int pageIndex_ = 0;
  tag_GeoShapeInfo requestCity_;
  int routeKind_ = 0;
  tag_PoiInfo centerPoi_;
  int searchRect_[4] = {};
  CHttpClient cityClient_;
  std::unique_ptr<char[]> cityBuffer_;
  int cityLength_ = 0;
  RecordCache poiCache_;
  RecordCache routeCache_;
  RecordCache poiDetailCache_;
  RecordCache suggestionCache_;
  CPoiBkgDataCache poiBkgCache_;
  tag_GeoShapeInfo currentCity_;
  bool hasCurrentCity_ = false;
  tag_GeoShapeInfo cityAnswer_;
  tag_CityListRst cityList_;
  tag_BusLineRst busLine_;
  tag_RouteAddrRst routeAddr_;
  tag_MapPointRst mapPoint_;
  CVString link_;
  tag_PoiBkgDataRst poiBkgData_;
  CVArray<tag_OfflineTask> offlineCities_;
  tag_GeocodeRst geocode_;
  bool hasGeocode_ = false;
  tag_PoiSearchRst reverseGeocode_;
  bool hasReverseGeocode_ = false;

  friend class CAppSearch;
};

}  // namespace gmengine
