#include "mapsdk/search/CAppSearch.h"

#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"

namespace gmengine {

CAppSearch* CAppSearch::install(CVMainGlobalMan& global) {
  if (!global.engine) return nullptr;
  if (auto* search = global.engine->PartAs<CAppSearch>(EngineSlot::Search)) return search;
  std::unique_ptr<CAppSearch> search(
      new CAppSearch(global.engine.get(), global.dispatcher.get(), global.sysInfo.dataPath));
  search->Start();
  return global.engine->InstallAs(EngineSlot::Search, std::move(search));
}

CAppSearch::CAppSearch(CVMapEngine* engine, CVMsgDispatcher* dispatcher, const CVString& dataFolder)
    : engine_(engine), dispatcher_(dispatcher) {
  man_.PoiBkgCache().SetFolder(dataFolder);
}

CAppSearch::~CAppSearch() { man_.Stop(); }

int CAppSearch::Start() {
  man_.Start(engine_);
  return 1;
}

void CAppSearch::Stop() { man_.Stop(); }

void CAppSearch::Post(int queue, EngineMsg message, int wParam, int lParam) {
  if (dispatcher_) dispatcher_->PostMessage(queue, ToInt(message), wParam, lParam);
}

void CAppSearch::PostResult(SearchType type, SearchError error, std::shared_ptr<const SearchAnswer> answer) {
  if (dispatcher_) {
    dispatcher_->PostMessage(CVMsgDispatcher::kUIQueue, ToInt(EngineMsg::SearchResult), ToInt(type),
                             ToInt(error), std::move(answer));
  }
}

void CAppSearch::Immediate(const SearchAnswer& answer, bool emptyIsError) {
  SetResult(answer.record, answer.type);
  SearchError error = SearchError::None;
  if (emptyIsError && IsPoiListType(answer.type)) {
    const tag_PoiSearchRst* poi = RecordAs<tag_PoiSearchRst>(answer.record);
    if (poi && poi->pois.IsEmpty()) error = SearchError::NothingFound;
  }
  SearchAnswer announced = answer;
  announced.error = error;
  PostResult(answer.type, error, Detach(announced));
}

void CAppSearch::Begin(SearchType expected) {
  ++searchSeq_;
  expectedType_ = expected;
}

int CAppSearch::Finish(const SearchRequest& request, SearchType wanted, bool emptyIsError) {
  if (!request) return 0;
  const SearchAnswer& answer = request.atHand;
  if (HasRecord(answer.record) && (wanted == SearchType::None || answer.type == wanted))
    Immediate(answer, emptyIsError);
  return 1;
}

int CAppSearch::PoiSearchInCity(const CVString& keyword, int cityCode, int pageIndex, int pageSize,
                                const char* cityName) {
  Begin(SearchType::PoiInCity);
  return Finish(man_.RequestPoiInCity(keyword, cityCode, pageIndex, pageSize, cityName, searchSeq_),
                SearchType::None, true);
}

int CAppSearch::PoiSearchInBounds(const CVString& keyword, double x1, double y1, double x2, double y2,
                                  int cityCode, int pageIndex, int pageSize, const char* cityName) {
  Begin(SearchType::PoiInBounds);
  return Finish(
      man_.RequestPoiInBounds(keyword, x1, y1, x2, y2, cityCode, pageIndex, pageSize, cityName, searchSeq_),
      SearchType::None, true);
}

int CAppSearch::PoiMultiKeySearch(const CVString& keywords, int count, double x1, double y1, double x2,
                                  double y2, int cityCode, int pageIndex, int pageSize,
                                  const char* cityName) {
  Begin(SearchType::MultiKeyPoi);
  return Finish(man_.RequestPoiMultiKey(keywords, count, x1, y1, x2, y2, cityCode, pageIndex, pageSize,
                                        cityName, searchSeq_),
                SearchType::None, false);
}

int CAppSearch::TransitSearch(const tag_RouteNode& start, const tag_RouteNode& end, int policy, int cityCode,
                              const char* cityName) {
  Begin(SearchType::Transit);
  return Finish(man_.RequestTransit(start, end, policy, cityCode, cityName, searchSeq_), SearchType::None,
                false);
}

int CAppSearch::DrivingSearch(int startCity, int endCity, const tag_RouteNode& start,
                              const tag_RouteNode& end, int policy, const char* startCityName,
                              const char* endCityName) {
  Begin(SearchType::Driving);
  return Finish(
      man_.RequestDriving(startCity, endCity, start, end, policy, startCityName, endCityName, searchSeq_),
      SearchType::None, false);
}

int CAppSearch::WalkingSearch(int startCity, int endCity, const tag_RouteNode& start,
                              const tag_RouteNode& end, const char* startCityName, const char* endCityName) {
  Begin(SearchType::Walking);
  return Finish(man_.RequestWalking(startCity, endCity, start, end, startCityName, endCityName, searchSeq_),
                SearchType::None, false);
}

int CAppSearch::BusLineSearch(int cityCode, const CVString& uid, const char* cityName) {
  (void)cityName;  // the bus-line request names the city by code only
  Begin(SearchType::BusLine);
  man_.RequestBusLine(cityCode, uid, searchSeq_);
  return 1;
}

int CAppSearch::SuggestionSearch(const CVString& keyword, int cityId, int suggestionType) {
  Begin(SearchType::Suggestion);
  return Finish(man_.RequestSuggestion(keyword, cityId, suggestionType, searchSeq_), SearchType::Suggestion,
                false);
}

int CAppSearch::OfflineCitySearch(const CVArray<int>& cityIds) {
  Begin(SearchType::OfflineCities);
  man_.RequestOfflineCities(cityIds, searchSeq_);
  return 1;
}

int CAppSearch::Geocode(const CVString& address, int cityCode, const char* cityName) {
  Begin(SearchType::Geocode);
  return Finish(man_.RequestGeocode(address, cityCode, cityName, searchSeq_), SearchType::Geocode, false);
}

int CAppSearch::ReverseGeocode(int x, int y) {
  Begin(SearchType::ReverseGeocode);
  return Finish(man_.RequestReverseGeocode(x, y, searchSeq_), SearchType::ReverseGeocode, false);
}

int CAppSearch::RequestCityByCenter(const _VRect& bound, int level) {
  // The running search keeps its expected type: the city answer comes on its own client.
  ++citySeq_;
  return man_.RequestCityByCenter(bound, level, citySeq_).ok ? 1 : 0;
}

int CAppSearch::RequestPoiBkgData(const CVString& word, const CVArray<tag_PoiBkgDataElem>& tiles,
                                  int cityCode, const _VRect& bound) {
  if (tiles.IsEmpty()) return 0;
  if (currentCity_) cityCode = currentCity_->cityCode;
  // Its own sequence: the user's search in flight is not made stale by it.
  bkgSeq_ = bkgSeq_ >= 0x7FFFFFFFu ? kFirstBkgSeq + 1 : bkgSeq_ + 1;
  return man_.RequestPoiBkgData(word, tiles, cityCode, bound, bkgSeq_).ok ? 1 : 0;
}

int CAppSearch::GetPoiBkgData(const CVString& word, CVArray<tag_PoiBkgDataElem>& tiles,
                              CVArray<tag_PoiBkgDataElem>& missing) {
  return man_.PoiBkgCache().Get(word, tiles, missing);
}

int CAppSearch::OnHttpMessage(EngineMsg message, EngineClient client, int tag) {
  const unsigned utag = static_cast<unsigned>(tag);
  const bool background = client == EngineClient::Search && utag >= kFirstBkgSeq;
  if (background) return OnBkgMessage(message, utag);
  if ((client == EngineClient::Search && utag < searchSeq_) ||
      (client == EngineClient::CityCenter && utag < citySeq_)) {
    return -1;
  }
  if (message == EngineMsg::HttpComplete && client == EngineClient::Search) {
    const SearchAnswer answer = man_.ParseAnswer(man_.SearchBuffer(), man_.SearchLength(), expectedType_);
    if (HasRecord(answer.record)) SetResult(answer.record, answer.type);
    if (answer.type == SearchType::PoiBkgData) {
      Post(CVMsgDispatcher::kEngineQueue, EngineMsg::PoiBkgData, ToInt(SearchType::PoiBkgData),
           ToInt(answer.error));
    } else {
      PostResult(answer.type, answer.error, Detach(answer));
    }
    return 0;
  }
  if (message == EngineMsg::HttpComplete && client == EngineClient::CityCenter) {
    if (man_.ParseCityCenterAnswer(man_.CityBuffer(), man_.CityLength())) currentCity_ = &man_.CurrentCity();
    return 0;
  }
  if (client != EngineClient::Search) return 0;
  switch (message) {
    case EngineMsg::HttpConnectFailed:
    case EngineMsg::HttpAttemptsOver:
    case EngineMsg::HttpTimeout:
      PostResult(expectedType_, SearchError::Network);
      break;
    case EngineMsg::HttpBadAnswer:
      PostResult(expectedType_, SearchError::BadAnswer);
      break;
    case EngineMsg::HttpMarkupPage:
      man_.SearchClient().RepeatRequest(1);
      break;
    default:
      break;
  }
  return 0;
}

int CAppSearch::OnBkgMessage(EngineMsg message, unsigned tag) {
  if (tag < bkgSeq_) return -1;
  SearchError error = SearchError::None;
  switch (message) {
    case EngineMsg::HttpComplete: {
      const SearchAnswer answer = man_.ParseAnswer(man_.SearchBuffer(), man_.SearchLength(),
                                                   SearchType::PoiBkgData, SearchType::PoiBkgData);
      if (HasRecord(answer.record)) SetResult(answer.record, answer.type);
      error = answer.error;
      break;
    }
    case EngineMsg::HttpConnectFailed:
    case EngineMsg::HttpAttemptsOver:
    case EngineMsg::HttpTimeout:
      error = SearchError::Network;
      break;
    case EngineMsg::HttpBadAnswer:
      error = SearchError::BadAnswer;
      break;
    default:
      return 0;
  }
  Post(CVMsgDispatcher::kEngineQueue, EngineMsg::PoiBkgData, ToInt(SearchType::PoiBkgData), ToInt(error));
  return 0;
}

void CAppSearch::SetResult(const SearchRecord& record, SearchType type) {
  if (!HasRecord(record)) return;
  if (IsPoiListType(type)) {
    // POI lists are kept by value: the cache may evict its copy while the user still looks at it.
    const tag_PoiSearchRst* poi = RecordAs<tag_PoiSearchRst>(record);
    if (poi && (!poi->pois.IsEmpty() || !poi->otherCities.IsEmpty())) {
      if (poi != &poiResult_) poiResult_ = *poi;
      hasPoiResult_ = true;
    }
    return;
  }
  if (type == SearchType::CityCenter) {
    // A city-centre record is always the manager's current city.
    currentCity_ = &man_.CurrentCity();
    return;
  }
  results_[type] = Detach(SearchAnswer(type, SearchError::None, record));
  if (type == SearchType::City) currentCity_ = &man_.CurrentCity();
}

SearchRecord CAppSearch::GetResult(SearchType type) const {
  if (IsPoiListType(type)) return hasPoiResult_ ? SearchRecord(&poiResult_) : SearchRecord();
  if (type == SearchType::CityCenter) return currentCity_ ? SearchRecord(currentCity_) : SearchRecord();
  // The background POI answer is only for the engine; it is never handed out here.
  if (type == SearchType::PoiBkgData) return {};
  auto it = results_.find(type);
  return it == results_.end() ? SearchRecord() : it->second->record;
}

int CAppSearch::GetCurrentCity(tag_GeoShapeInfo& city) const {
  if (!currentCity_) return 0;
  city = *currentCity_;
  return 1;
}

}  // namespace gmengine
