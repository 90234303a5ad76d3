#pragma once
#include <map>
#include <memory>

#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineParts.h"
#include "mapsdk/engine/VRect.h"
#include "mapsdk/engine/tag_RouteNode.h"
#include "mapsdk/search/CSearchMan.h"
#include "mapsdk/search/SearchAnswer.h"
#include "mapsdk/search/SearchResultRecords.h"

namespace gmengine {

class CVMainGlobalMan;
class CVMapEngine;
class CVMsgDispatcher;

// The engine-side search: turns a search call into one request of the request manager, takes the
// answer off the engine queue, keeps the parsed record by result type and announces it with
// EngineMsg::SearchResult on the UI queue (wParam type, lParam error, and the answer itself,
// detached); background POI answers go to the engine queue as PoiBkgData. One per engine, which owns it (the
// core's search slot) and hands it the search clients' messages. Main thread; no lock guards the sequence
// numbers or the store, as the answers come back on the main thread too.
class CAppSearch : public EnginePart {
 public:
  // The engine's search object, made, started and installed in the engine core when it has none;
  // null without an engine core.
  static CAppSearch* install(CVMainGlobalMan& global);
  ~CAppSearch() override;
  CAppSearch(const CAppSearch&) = delete;
  CAppSearch& operator=(const CAppSearch&) = delete;

  // Readies the request manager with the engine core. 1.
  int Start();
  void Stop();
  void Shutdown() override { Stop(); }
  int OnEngineMessage(EngineMsg message, int wParam, int lParam) override {
    return OnHttpMessage(message, static_cast<EngineClient>(wParam), lParam);
  }

  // Entry points: 0 when the URL cannot be built or the request not sent, else 1. An answer at
  // hand (cache, kept geocode) is stored and announced before they return.
  int PoiSearchInCity(const CVString& keyword, int cityCode, int pageIndex, int pageSize,
                      const char* cityName);
  int PoiSearchInBounds(const CVString& keyword, double x1, double y1, double x2, double y2, int cityCode,
                        int pageIndex, int pageSize, const char* cityName);
  int PoiMultiKeySearch(const CVString& keywords, int count, double x1, double y1, double x2, double y2,
                        int cityCode, int pageIndex, int pageSize, const char* cityName);
  int TransitSearch(const tag_RouteNode& start, const tag_RouteNode& end, int policy, int cityCode,
                    const char* cityName);
  int DrivingSearch(int startCity, int endCity, const tag_RouteNode& start, const tag_RouteNode& end,
                    int policy, const char* startCityName, const char* endCityName);
  int WalkingSearch(int startCity, int endCity, const tag_RouteNode& start, const tag_RouteNode& end,
                    const char* startCityName, const char* endCityName);
  int BusLineSearch(int cityCode, const CVString& uid, const char* cityName);
  int SuggestionSearch(const CVString& keyword, int cityId, int suggestionType);
  int OfflineCitySearch(const CVArray<int>& cityIds);
  int Geocode(const CVString& address, int cityCode, const char* cityName);
  int ReverseGeocode(int x, int y);
  int RequestCityByCenter(const _VRect& bound, int level);
  // Tiles as (level, column, row) keys; the current city's code when one is known.
  int RequestPoiBkgData(const CVString& word, const CVArray<tag_PoiBkgDataElem>& tiles, int cityCode,
                        const _VRect& bound);
  int GetPoiBkgData(const CVString& word, CVArray<tag_PoiBkgDataElem>& tiles,
                    CVArray<tag_PoiBkgDataElem>& missing);

  // Handles an HTTP message of the search clients (Search, CityCenter) with the request's tag; -1
  // for a stale answer, else 0.
  int OnHttpMessage(EngineMsg message, EngineClient client, int tag);

  // Keeps the record as the latest of its type (POI lists by value, the rest as views).
  void SetResult(const SearchRecord& record, SearchType type);
  // The latest record of the type (the store's own copy, so the request manager's caches may evict
  // theirs); none before one arrived.
  SearchRecord GetResult(SearchType type) const;
  int GetCurrentCity(tag_GeoShapeInfo& city) const;
  SearchType GetExpectedType() const { return expectedType_; }
  unsigned GetSearchSeq() const { return searchSeq_; }

  // A request of the search client is on its way to the map service: the user's search or the
  // small places', which share it.
  bool IsSearching() const { return man_.SearchClient().IsBusy() != 0; }
  // The city at the map's centre is being asked for.
  bool IsFindingCity() const { return man_.CityClient().IsBusy() != 0; }

 private:
  // The engine core that owns it, the dispatcher its announcements go through and the folder of the
  // background POI files (none owned; the engine global outlives the core).
  CAppSearch(CVMapEngine* engine, CVMsgDispatcher* dispatcher, const CVString& dataFolder);
  // An engine message of a background POI request.
  int OnBkgMessage(EngineMsg message, unsigned tag);
  void Post(int queue, EngineMsg message, int wParam, int lParam);
  void PostResult(SearchType type, SearchError error, std::shared_ptr<const SearchAnswer> answer = nullptr);
  // Stores and announces an answer at hand; an empty POI answer is "nothing found" when emptyIsError.
  void Immediate(const SearchAnswer& answer, bool emptyIsError);
  // A new search of the expected type; its answers carry the new sequence number.
  void Begin(SearchType expected);
  // 0 when the request failed; an answer at hand of the wanted type (any when None) is kept and
  // announced first.
  int Finish(const SearchRequest& request, SearchType wanted, bool emptyIsError);

  CVMapEngine* const engine_;
  CVMsgDispatcher* const dispatcher_;
  tag_GeoShapeInfo* currentCity_ = nullptr;
  tag_PoiSearchRst poiResult_;
  bool hasPoiResult_ = false;
  // The latest answer of each other type, with its own copy of the record: the request manager
  // may replace or evict its own meanwhile.
  std::map<SearchType, std::shared_ptr<const SearchAnswer>> results_;
  CSearchMan man_;
  unsigned searchSeq_ = 0;
  SearchType expectedType_ = SearchType::None;
  unsigned citySeq_ = 0;
  // Background POI requests number their own answers, above every user search's number.
  static constexpr unsigned kFirstBkgSeq = 0x40000000u;
  unsigned bkgSeq_ = kFirstBkgSeq;
};

// The engine's search object; null without an engine or before one was installed. For the bridge
// (the search interface, the notifier, the map manager) and the SDK's tools: the parts are handed
// the search when it is installed.
CAppSearch* SearchOfEngine();

}  // namespace gmengine
