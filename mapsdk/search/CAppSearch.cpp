#include "mapsdk/search/CAppSearch.h"

#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"

namespace gmengine {

CAppSearch::~CAppSearch() {
  SetSearchResultFreeObserver(nullptr, nullptr);
  man_.Stop();
  CVMainGlobalMan* global = GetMainGlobalMan();
  if (hooked_ && global && global->engine) {
    EngineHooks hooks = global->engine->GetHooks();
    hooks.search = nullptr;
    global->engine->SetHooks(hooks);
  }
}

int CAppSearch::Start() {
  // A cache evicting a record must not leave the store pointing at it.
  SetSearchResultFreeObserver(
      [](void* context, void* record) { static_cast<CAppSearch*>(context)->Forget(record); }, this);
  CVMainGlobalMan* global = GetMainGlobalMan();
  if (global && global->engine) {
    EngineHooks hooks = global->engine->GetHooks();
    hooks.search = [this](int message, int wParam, int lParam) { return OnMessage(message, wParam, lParam); };
    global->engine->SetHooks(hooks);
    hooked_ = true;
  }
  man_.Start();
  return 1;
}

void CAppSearch::Stop() { man_.Stop(); }

void CAppSearch::Post(int queue, int message, int wParam, int lParam) {
  CVGlobalMan* global = GetGlobalMan();
  if (global && global->dispatcher) global->dispatcher->PostMessage(queue, message, wParam, lParam);
}

void CAppSearch::Immediate(void* record, int type, bool emptyIsError) {
  SetResult(record, type);
  int error = 0;
  if (emptyIsError && (type == 11 || type == 12 || type == 21) && record &&
      static_cast<tag_PoiSearchRst*>(record)->pois.IsEmpty()) {
    error = 11;
  }
  Post(CVMsgDispatcher::kUIQueue, kMsgSearchResult, type, error);
}

int CAppSearch::PoiSearchInCity(const CVString& keyword, int cityCode, int pageIndex, int pageSize,
                                const char* cityName) {
  ++searchSeq_;
  expectedType_ = 11;
  void* record = nullptr;
  int type = 0;
  if (!man_.RequestPoiInCity(keyword, cityCode, pageIndex, pageSize, cityName, searchSeq_, record, type))
    return 0;
  if (record) {
    SetResult(record, type);
    int error = (type == 11 && static_cast<tag_PoiSearchRst*>(record)->pois.IsEmpty()) ? 11 : 0;
    Post(CVMsgDispatcher::kUIQueue, kMsgSearchResult, type, error);
  }
  return 1;
}

int CAppSearch::PoiSearchInBounds(const CVString& keyword, double x1, double y1, double x2, double y2,
                                  int cityCode, int pageIndex, int pageSize, const char* cityName) {
  ++searchSeq_;
  expectedType_ = 21;
  void* record = nullptr;
  int type = 0;
  if (!man_.RequestPoiInBounds(keyword, x1, y1, x2, y2, cityCode, pageIndex, pageSize, cityName, searchSeq_,
                               record, type)) {
    return 0;
  }
  if (record) Immediate(record, type, true);
  return 1;
}

int CAppSearch::PoiMultiKeySearch(const CVString& keywords, int count, double x1, double y1, double x2,
                                  double y2, int cityCode, int pageIndex, int pageSize,
                                  const char* cityName) {
  ++searchSeq_;
  expectedType_ = 45;
  void* record = nullptr;
  int type = 0;
  if (!man_.RequestPoiMultiKey(keywords, count, x1, y1, x2, y2, cityCode, pageIndex, pageSize, cityName,
                               searchSeq_, record, type)) {
    return 0;
  }
  if (record) Immediate(record, type, false);
  return 1;
}

int CAppSearch::TransitSearch(const tag_RouteNode& start, const tag_RouteNode& end, int policy, int cityCode,
                              const char* cityName) {
  ++searchSeq_;
  expectedType_ = 14;
  void* record = nullptr;
  int type = 0;
  if (!man_.RequestTransit(start, end, policy, cityCode, cityName, searchSeq_, record, type)) return 0;
  if (record) Immediate(record, type, false);
  return 1;
}

int CAppSearch::DrivingSearch(int startCity, int endCity, const tag_RouteNode& start,
                              const tag_RouteNode& end, int policy, const char* startCityName,
                              const char* endCityName) {
  ++searchSeq_;
  expectedType_ = 20;
  void* record = nullptr;
  int type = 0;
  if (!man_.RequestDriving(startCity, endCity, start, end, policy, startCityName, endCityName, searchSeq_,
                           record, type)) {
    return 0;
  }
  if (record) Immediate(record, type, false);
  return 1;
}

int CAppSearch::WalkingSearch(int startCity, int endCity, const tag_RouteNode& start,
                              const tag_RouteNode& end, const char* startCityName, const char* endCityName) {
  ++searchSeq_;
  expectedType_ = 31;
  void* record = nullptr;
  int type = 0;
  if (!man_.RequestWalking(startCity, endCity, start, end, startCityName, endCityName, searchSeq_, record,
                           type)) {
    return 0;
  }
  if (record) Immediate(record, type, false);
  return 1;
}

int CAppSearch::BusLineSearch(int cityCode, const CVString& uid, const char* cityName) {
  (void)cityName;  // the bus-line request names the city by code only
  ++searchSeq_;
  expectedType_ = 18;
  man_.RequestBusLine(cityCode, uid, searchSeq_);
  return 1;
}

int CAppSearch::SuggestionSearch(const CVString& keyword, int cityId, int suggestionType) {
  ++searchSeq_;
  expectedType_ = 506;
  void* record = nullptr;
  int type = 0;
  if (!man_.RequestSuggestion(keyword, cityId, suggestionType, searchSeq_, record, type)) return 0;
  if (record && type == 506) Immediate(record, type, false);
  return 1;
}

int CAppSearch::OfflineCitySearch(const CVArray<int>& cityIds) {
  ++searchSeq_;
  expectedType_ = 507;
  man_.RequestOfflineCities(cityIds, searchSeq_);
  return 1;
}

int CAppSearch::Geocode(const CVString& address, int cityCode, const char* cityName) {
  ++searchSeq_;
  expectedType_ = 35;
  void* record = nullptr;
  int type = 0;
  if (!man_.RequestGeocode(address, cityCode, cityName, searchSeq_, record, type)) return 0;
  if (record && type == 35) Immediate(record, type, false);
  return 1;
}

int CAppSearch::ReverseGeocode(int x, int y) {
  ++searchSeq_;
  expectedType_ = 44;
  void* record = nullptr;
  int type = 0;
  if (!man_.RequestReverseGeocode(x, y, searchSeq_, record, type)) return 0;
  if (record && type == 44) Immediate(record, type, false);
  return 1;
}

int CAppSearch::RequestCityByCenter(const _VRect& bound, int level) {
  expectedType_ = 4;
  ++citySeq_;
  return man_.RequestCityByCenter(bound, level, citySeq_);
}

int CAppSearch::RequestPoiBkgData(const CVString& word, const CVArray<tag_PoiBkgDataElem>& tiles,
                                  int cityCode, const _VRect& bound) {
  if (tiles.IsEmpty()) return 0;
  if (currentCity_) cityCode = currentCity_->cityCode;
  ++searchSeq_;
  expectedType_ = 510;
  return man_.RequestPoiBkgData(word, tiles, cityCode, bound, searchSeq_);
}

int CAppSearch::GetPoiBkgData(const CVString& word, CVArray<tag_PoiBkgDataElem>& tiles,
                              CVArray<tag_PoiBkgDataElem>& missing) {
  return man_.PoiBkgCache().Get(word, tiles, missing);
}

int CAppSearch::OnMessage(int message, int clientId, int tag) {
  const unsigned utag = static_cast<unsigned>(tag);
  if ((clientId == CSearchMan::kSearchClientId && utag < searchSeq_) ||
      (clientId == CSearchMan::kCityClientId && utag < citySeq_)) {
    return -1;
  }
  if (message == kHttpComplete && clientId == CSearchMan::kSearchClientId) {
    int type = 0;
    int error = 0;
    void* record = man_.ParseAnswer(man_.SearchBuffer(), man_.SearchLength(), expectedType_, type, error);
    if (record) SetResult(record, type);
    if (type == 510) {
      Post(CVMsgDispatcher::kEngineQueue, kMsgPoiBkgData, 510, error);
    } else {
      Post(CVMsgDispatcher::kUIQueue, kMsgSearchResult, type, error);
    }
    return 0;
  }
  if (message == kHttpComplete && clientId == CSearchMan::kCityClientId) {
    if (man_.ParseCityCenterAnswer(man_.CityBuffer(), man_.CityLength())) currentCity_ = &man_.CurrentCity();
    return 0;
  }
  if (clientId != CSearchMan::kSearchClientId) return 0;
  switch (message) {
    case kHttpConnectFailed:
    case kHttpAttemptsOver:
    case kHttpTimeout:
      if (expectedType_ != 4) Post(CVMsgDispatcher::kUIQueue, kMsgSearchResult, expectedType_, 2);
      break;
    case kHttpBadAnswer:
      Post(CVMsgDispatcher::kUIQueue, kMsgSearchResult, expectedType_, 101);
      break;
    case kHttpMarkupPage:
      man_.SearchClient().RepeatRequest(1);
      break;
    default:
      break;
  }
  return 0;
}

void* CAppSearch::Slot(int type) const {
  switch (type) {
    case 2:
      return city_;
    case 4:
      return currentCity_;
    case 6:
      return poiDetail_;
    case 7:
      return cityList_;
    case 14:
      return transit_;
    case 18:
      return busLine_;
    case 20:
      return driving_;
    case 23:
      return routeAddr_;
    case 26:
      return mapPoint_;
    case 31:
      return walking_;
    case 35:
      return geocode_;
    case 44:
      return reverse_;
    case 45:
      return multiKey_;
    case 500:
      return link_;
    case 506:
      return suggestion_;
    case 507:
      return offline_;
    default:
      return nullptr;
  }
}

void CAppSearch::Forget(void* record) {
  for (void** slot : {&multiKey_, &transit_, &driving_, &walking_, &poiDetail_, &suggestion_}) {
    if (*slot == record) *slot = nullptr;
  }
}

int CAppSearch::SetResult(void* record, int type) {
  if (!record) return 1;
  switch (type) {
    case 11:
    case 12:
    case 21: {
      auto* poi = static_cast<tag_PoiSearchRst*>(record);
      if (!poi->pois.IsEmpty() || !poi->otherCities.IsEmpty()) {
        if (poi != &poiResult_) poiResult_ = *poi;
        hasPoiResult_ = true;
      }
      break;
    }
    case 2:
      city_ = record;
      break;
    case 4:
      currentCity_ = static_cast<tag_GeoShapeInfo*>(record);
      break;
    case 6:
      poiDetail_ = record;
      break;
    case 7:
      cityList_ = record;
      break;
    case 14:
      transit_ = record;
      break;
    case 18:
      busLine_ = record;
      break;
    case 20:
      driving_ = record;
      break;
    case 23:
      routeAddr_ = record;
      break;
    case 26:
      mapPoint_ = record;
      break;
    case 31:
      walking_ = record;
      break;
    case 35:
      geocode_ = record;
      break;
    case 44:
      reverse_ = record;
      break;
    case 45:
      multiKey_ = record;
      break;
    case 500:
      link_ = record;
      break;
    case 506:
      suggestion_ = record;
      break;
    case 510:
      poiBkg_ = record;
      break;
    case 507:
      offline_ = record;
      if (offlineListHandler_) offlineListHandler_(*static_cast<CVArray<tag_OfflineTask>*>(record));
      break;
    default:
      break;
  }
  if (type == 2) currentCity_ = &man_.CurrentCity();
  return 1;
}

void* CAppSearch::GetResult(int type) {
  if (type == 11 || type == 12 || type == 21) return hasPoiResult_ ? &poiResult_ : nullptr;
  return Slot(type);
}

int CAppSearch::GetCurrentCity(tag_GeoShapeInfo& city) const {
  if (!currentCity_) return 0;
  city = *currentCity_;
  return 1;
}

}  // namespace gmengine
