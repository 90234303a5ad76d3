#pragma once
#include <memory>

#include "mapsdk/engine/CAppDataCache.h"
#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/VRect.h"
#include "mapsdk/engine/tag_RouteNode.h"
#include "mapsdk/search/CPoiBkgDataCache.h"
#include "mapsdk/search/SearchResultRecords.h"

namespace gmengine {

// Frees a cached answer record of the given result type and clears the slot (the answer caches'
// free callback). Types it does not know are left alone.
void FreeSearchResult(void** slot, int type);
// Told of every record FreeSearchResult is about to free, so that no store keeps pointing at it.
void SetSearchResultFreeObserver(void (*observer)(void* context, void* record), void* context);

// The request manager of the search engine: builds request URLs, sends them on the search client
// (id 0) or the city-centre client (id 3), answers repeated requests from its caches and parses
// answers into records. The records of cached types belong to their cache; all others are members
// overwritten by the next answer of their type. Main thread.
class CSearchMan {
 public:
  static constexpr int kSearchBufferSize = 256000;
  static constexpr int kCityBufferSize = 15360;
  static constexpr int kSearchClientId = 0;
  static constexpr int kCityClientId = 3;

  CSearchMan();
  ~CSearchMan();
  CSearchMan(const CSearchMan&) = delete;
  CSearchMan& operator=(const CSearchMan&) = delete;

  // Readies both clients (they need the engine) and sets the cache capacities. 1; 0 when a client
  // cannot be readied.
  int Start();
  // Empties the answer caches and the background POI cache.
  void Stop();

  // Requests. Each answers 0 when the URL cannot be built or the request not sent; 1 when sent,
  // or when answered at once (record and type then set).
  int RequestPoiInCity(const CVString& keyword, int cityCode, int pageIndex, int pageSize,
                       const char* cityName, unsigned& seq, void*& record, int& type);
  int RequestPoiInBounds(const CVString& keyword, double x1, double y1, double x2, double y2, int cityCode,
                         int pageIndex, int pageSize, const char* cityName, unsigned& seq, void*& record,
                         int& type);
  int RequestPoiMultiKey(const CVString& keywords, int count, double x1, double y1, double x2, double y2,
                         int cityCode, int pageIndex, int pageSize, const char* cityName, unsigned& seq,
                         void*& record, int& type);
  int RequestTransit(const tag_RouteNode& start, const tag_RouteNode& end, int policy, int cityCode,
                     const char* cityName, unsigned& seq, void*& record, int& type);
  int RequestDriving(int startCity, int endCity, const tag_RouteNode& start, const tag_RouteNode& end,
                     int policy, const char* startCityName, const char* endCityName, unsigned& seq,
                     void*& record, int& type);
  int RequestWalking(int startCity, int endCity, const tag_RouteNode& start, const tag_RouteNode& end,
                     const char* startCityName, const char* endCityName, unsigned& seq, void*& record,
                     int& type);
  int RequestBusLine(int cityCode, const CVString& uid, unsigned& seq);
  int RequestSuggestion(const CVString& keyword, int cityId, int suggestionType, unsigned& seq, void*& record,
                        int& type);
  int RequestOfflineCities(const CVArray<int>& cityIds, unsigned& seq);
  int RequestGeocode(const CVString& address, int cityCode, const char* cityName, unsigned& seq,
                     void*& record, int& type);
  int RequestReverseGeocode(int x, int y, unsigned& seq, void*& record, int& type);
  int RequestCityByCenter(const _VRect& bound, int level, unsigned& seq);
  int RequestPoiBkgData(const CVString& word, const CVArray<tag_PoiBkgDataElem>& tiles, int cityCode,
                        const _VRect& bound, unsigned& seq);

  // Parses a search answer of body (UTF-8, length bytes): yields the answer's type, an error code
  // and the record stored (null when none). Never reads outside body.
  void* ParseAnswer(const char* body, int length, int expectedType, int& type, int& error);
  // A city-centre answer: 1 when it was a city record, now the current city.
  int ParseCityCenterAnswer(const char* body, int length);

  CHttpClient& SearchClient() { return searchClient_; }
  CHttpClient& CityClient() { return cityClient_; }
  const char* SearchBuffer() const { return searchBuffer_.get(); }
  int SearchLength() const { return searchLength_; }
  const char* CityBuffer() const { return cityBuffer_.get(); }
  int CityLength() const { return cityLength_; }

  tag_GeoShapeInfo& CurrentCity() { return currentCity_; }
  CPoiBkgDataCache& PoiBkgCache() { return poiBkgCache_; }
  CAppDataCache& PoiCache() { return poiCache_; }

 private:
  int Send(CHttpClient& client, unsigned& seq, int flag = 1);
  int FindCached(CAppDataCache& cache, void*& record, int& type);
  void NoteRequestCity(int cityCode, const char* cityName);
  void PrepareCenterPoi(double x1, double y1, double x2, double y2);
  void ApplyRequestCity(tag_GeoShapeInfo& city);
  void* ParseTree(const void* root, int answerType, int expectedType, int& type, int& error);

  CHttpClient searchClient_;
  std::unique_ptr<char[]> searchBuffer_;
  int searchLength_ = 0;
  int defaultType_ = 0;
  CVString url_;
  CVString keyword_;
  int pageIndex_ = 0;
  tag_GeoShapeInfo requestCity_;
  int routeKind_ = 0;
  tag_PoiInfo centerPoi_;
  int searchRect_[4] = {};
  CHttpClient cityClient_;
  std::unique_ptr<char[]> cityBuffer_;
  int cityLength_ = 0;
  CAppDataCache poiCache_;
  CAppDataCache routeCache_;
  CAppDataCache poiDetailCache_;
  CAppDataCache suggestionCache_;
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
