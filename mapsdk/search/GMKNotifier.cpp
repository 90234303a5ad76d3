#include "mapsdk/search/GMKNotifier.h"

#include <cstdio>
#include <string>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/search/CAppSearch.h"
#include "mapsdk/search/GMKSearch.h"

namespace mapsdk {

using namespace gmengine;

namespace {

// The process's log: standard error.
void SystemLog(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

// The delegates, as the engine keeps them.
class NotifierState : public EngineNotifier {
 public:
  void OnSearchAnswer(SearchType type, SearchError error, const SearchAnswer* answer) override {
    GMKNotifier::notify(type, error, answer);
  }
  void OnOfflineState(OfflineState state, int value) override {
    GMKNotifier::msgProc(ToInt(NotifierKind::OfflineState), ToInt(state), value);
  }

  GMKNotifier::NetworkStateHandler general;
  std::weak_ptr<GMKSearchDelegate> search;
  std::weak_ptr<GMKOfflineMapDelegate> offline;
};

// The engine's notifier state; null without an engine or when another notifier is in place.
NotifierState* State() {
  CVMainGlobalMan* global = GetMainGlobalMan();
  return global && global->engine ? dynamic_cast<NotifierState*>(global->engine->Notifier()) : nullptr;
}

// The state, made when the engine has no notifier yet.
NotifierState* InstalledState() {
  GMKNotifier::install();
  return State();
}

std::string Text(const char* gbk) { return MultiByteToCVString(CP_ACP, gbk).ToUtf8(); }
std::optional<std::string> TextIfAny(const char* gbk) {
  if (!gbk || !gbk[0]) return std::nullopt;
  return Text(gbk);
}
std::optional<std::string> TextIfAny(const CVString& text) {
  if (text.IsEmpty()) return std::nullopt;
  return text.ToUtf8();
}

// The first point of a record geometry, in whole map units.
bool FirstPoint(const CComplexPt& geometry, int& x, int& y) {
  _VPoint p = geometry.GetPartPt(0, 0);
  x = p.x / 100;
  y = p.y / 100;
  return x != 0 && y != 0;
}

CLLocationCoordinate2D Coordinate(const CComplexPt& geometry) {
  int x = 0, y = 0;
  FirstPoint(geometry, x, y);
  return searchgeo::CoordinateFromMercator(x, y);
}

// Sets the coordinate only when the geometry's point is non-zero.
template <class Setter>
void CoordinateIfAny(const CComplexPt& geometry, Setter set) {
  int x = 0, y = 0;
  if (FirstPoint(geometry, x, y)) set(searchgeo::CoordinateFromMercator(x, y));
}

std::vector<GMKMapPoint> MapPoints(const CVArray<_VPoint>& part) {
  std::vector<GMKMapPoint> points;
  points.reserve(static_cast<std::size_t>(part.GetSize()));
  for (const _VPoint& p : part) points.push_back(searchgeo::VPointToMapPoint(p.x / 100, p.y / 100));
  return points;
}

int PageCount(int total) {
  int capacity = GMKSearch::getPageCapacity();
  if (capacity < 1) return 0;
  return total / capacity + (total % capacity ? 1 : 0);
}

std::shared_ptr<GMKPoiInfo> PoiInfo(const tag_PoiInfo& poi, bool withUid,
                                    const std::optional<std::string>& city) {
  auto info = std::make_shared<GMKPoiInfo>();
  info->setName(Text(poi.name));
  if (withUid) info->setUid(Text(poi.uid));
  info->setAddress(TextIfAny(poi.address));
  info->setPhone(TextIfAny(poi.tel));
  info->setPostcode(TextIfAny(poi.zip));
  info->setCity(city);
  info->setEpoitype(poi.poiType);
  const CVArray<_VPoint>* part = poi.geometry.GetPart(0);
  if (part && !part->IsEmpty()) info->setPt(Coordinate(poi.geometry));
  return info;
}

std::shared_ptr<GMKPoiResult> PoiResult(const CVArray<tag_PoiInfo>& pois, bool withUid,
                                        const std::optional<std::string>& city) {
  auto result = std::make_shared<GMKPoiResult>();
  std::vector<std::shared_ptr<GMKPoiInfo>> list;
  for (const tag_PoiInfo& poi : pois) list.push_back(PoiInfo(poi, withUid, city));
  result->setPoiInfoList(std::move(list));
  return result;
}

SearchRecord StoredRecord(SearchType type) {
  CAppSearch* search = SearchOfEngine();
  return search ? search->GetResult(type) : SearchRecord();
}

}  // namespace

void GMKNotifier::install() {
  CVMainGlobalMan* global = GetMainGlobalMan();
  if (global && global->engine && !global->engine->Notifier())
    global->engine->SetNotifier(std::make_unique<NotifierState>());
}

void GMKNotifier::initDelegate() {
  if (NotifierState* state = State()) {
    state->general = nullptr;
    state->search.reset();
  }
}

void GMKNotifier::setGeneralDelegate(NetworkStateHandler handler) {
  if (NotifierState* state = InstalledState()) state->general = std::move(handler);
}
void GMKNotifier::setSearchDelegate(std::weak_ptr<GMKSearchDelegate> delegate) {
  if (NotifierState* state = InstalledState()) state->search = std::move(delegate);
}
std::shared_ptr<GMKSearchDelegate> GMKNotifier::searchDelegate() {
  NotifierState* state = State();
  return state ? state->search.lock() : nullptr;
}
void GMKNotifier::setOfflineDelegate(std::weak_ptr<GMKOfflineMapDelegate> delegate) {
  if (NotifierState* state = InstalledState()) state->offline = std::move(delegate);
}
std::shared_ptr<GMKOfflineMapDelegate> GMKNotifier::offlineDelegate() {
  NotifierState* state = State();
  return state ? state->offline.lock() : nullptr;
}

void GMKNotifier::msgProc(int kind, int wParam, int lParam) {
  const auto notifierKind = static_cast<NotifierKind>(kind);
  if (notifierKind == NotifierKind::OfflineState) {
    std::shared_ptr<GMKOfflineMapDelegate> delegate = offlineDelegate();
    if (!delegate) return;
    const auto offlineState = static_cast<OfflineState>(wParam);
    switch (offlineState) {
      case OfflineState::Installing:
      case OfflineState::NotInstalled:
      case OfflineState::PackagesDone:
      case OfflineState::FolderInstalled:
        delegate->onGetOfflineMapState(offlineState, lParam);
        break;
      case OfflineState::NewerVersion:
        delegate->onGetOfflineMapState(offlineState, 0);
        break;
      default:
        break;
    }
    return;
  }
  // Announced without a record: the converters read the stored one.
  const auto type = static_cast<SearchType>(lParam);
  deliver(notifierKind, wParam, type,
          StoredRecord(notifierKind == NotifierKind::RouteAddr ? SearchType::RouteAddr : type));
}

void GMKNotifier::notify(SearchType type, SearchError error, const SearchAnswer* answer) {
  deliver(NotifierKindOf(type), ToInt(DelegateErrorOf(error)), type,
          answer ? answer->record : SearchRecord());
}

void GMKNotifier::deliver(NotifierKind kind, int wParam, SearchType type, const SearchRecord& record) {
  NotifierState* state = State();
  if (!state) return;
  if (kind == NotifierKind::NetworkState) {
    if (state->general) state->general(wParam);
    return;
  }
  std::shared_ptr<GMKSearchDelegate> delegate = state->search.lock();
  // Kept as posted: a number outside the list still reads as a failure.
  const auto error = static_cast<DelegateError>(wParam);
  const int lParam = ToInt(type);
  switch (kind) {
    case NotifierKind::Poi: {
      if (!delegate) return;
      if (error != DelegateError::None) {
        delegate->onGetPoiResult(std::nullopt, SearchType::None, error);
        return;
      }
      std::vector<std::shared_ptr<GMKPoiResult>> array;
      if (!getPoiResult(array, record, type)) {
        delegate->onGetPoiResult(std::nullopt, type, DelegateError::RecordUnconvertible);
      } else if (array.empty()) {
        delegate->onGetPoiResult(std::nullopt, type, DelegateError::NothingFound);
      } else {
        delegate->onGetPoiResult(std::move(array), type, DelegateError::None);
      }
      return;
    }
    case NotifierKind::Transit: {
      if (!delegate) return;
      if (error != DelegateError::None) {
        delegate->onGetTransitRouteResult(nullptr, error);
        return;
      }
      auto result = std::make_shared<GMKPlanResult>();
      if (!getTransitRouteResult(*result, RecordAs<tag_BusRouteRst>(record))) {
        delegate->onGetTransitRouteResult(nullptr, DelegateError::RecordUnconvertible);
      } else {
        delegate->onGetTransitRouteResult(result, DelegateError::None);
      }
      return;
    }
    case NotifierKind::Driving:
    case NotifierKind::Walking: {
      if (!delegate) return;
      auto call = [&](const std::shared_ptr<GMKPlanResult>& r, DelegateError e) {
        if (kind == NotifierKind::Driving) {
          delegate->onGetDrivingRouteResult(r, e);
        } else {
          delegate->onGetWalkingRouteResult(r, e);
        }
      };
      if (error != DelegateError::None) {
        call(nullptr, error);
        return;
      }
      auto result = std::make_shared<GMKPlanResult>();
      if (!getRouteResult(*result, RecordAs<tag_CarRouteRst>(record), ToInt(kind))) {
        call(nullptr, DelegateError::RecordUnconvertible);
      } else {
        call(result, DelegateError::None);
      }
      return;
    }
    case NotifierKind::ReverseGeocode:
    case NotifierKind::Geocode: {
      if (!delegate) return;
      if (error != DelegateError::None) {
        delegate->onGetAddrResult(nullptr, error);
        return;
      }
      auto info = std::make_shared<GMKAddrInfo>();
      const bool reverse = kind == NotifierKind::ReverseGeocode;
      bool ok = reverse ? getAddrInfo(*info, RecordAs<tag_PoiSearchRst>(record))
                        : getGeocodeInfo(*info, RecordAs<tag_GeocodeRst>(record));
      if (!ok) {
        delegate->onGetAddrResult(nullptr, DelegateError::RecordUnconvertible);
      } else if (reverse && !info->strAddr()) {
        delegate->onGetAddrResult(nullptr, DelegateError::NothingFound);
      } else {
        delegate->onGetAddrResult(info, DelegateError::None);
      }
      return;
    }
    case NotifierKind::RouteAddr: {
      if (!delegate) return;
      const tag_RouteAddrRst* ends = RecordAs<tag_RouteAddrRst>(record);
      if (!ends) return;
      auto addr = std::make_shared<GMKRouteAddrResult>();
      int routeKind = getRouteAddrResult(*addr, ends);
      auto plan = std::make_shared<GMKPlanResult>();
      plan->setRouteAddrResult(addr);
      if (routeKind == 0) {
        delegate->onGetDrivingRouteResult(plan, DelegateError::RouteEndsToChoose);
      } else if (routeKind == 2) {
        delegate->onGetWalkingRouteResult(plan, DelegateError::RouteEndsToChoose);
      } else if (routeKind == 1) {
        if (!addr->startPoiList() || !addr->endPoiList()) {
          delegate->onGetTransitRouteResult(nullptr, DelegateError::NothingFound);
        } else {
          delegate->onGetTransitRouteResult(plan, DelegateError::RouteEndsToChoose);
        }
      }
      return;
    }
    case NotifierKind::BusLine: {
      SystemLog(std::to_string(lParam));
      if (delegate) {
        if (error != DelegateError::None) {
          delegate->onGetBusDetailResult(nullptr, error);
        } else {
          auto result = std::make_shared<GMKBusLineResult>();
          getBusLineResult(*result, RecordAs<tag_BusLineRst>(record));
          if (!result->mBusName()) {
            delegate->onGetBusDetailResult(nullptr, DelegateError::NothingFound);
          } else {
            delegate->onGetBusDetailResult(result, DelegateError::None);
          }
        }
      }
      SystemLog("busline callback");
      return;
    }
    case NotifierKind::Suggestion: {
      if (!delegate) return;
      if (error != DelegateError::None) {
        delegate->onGetSuggestionResult(nullptr, error);
        return;
      }
      auto result = std::make_shared<GMKSuggestionResult>();
      getSuggestionResult(*result, RecordAs<tag_SuggestionResult>(record));
      if (!result->keyList()) {
        delegate->onGetSuggestionResult(nullptr, DelegateError::NothingFound);
      } else {
        delegate->onGetSuggestionResult(result, DelegateError::None);
      }
      return;
    }
    default:
      return;
  }
}

bool GMKNotifier::getPoiResult(std::vector<std::shared_ptr<GMKPoiResult>>& array, const SearchRecord& record,
                               SearchType type) {
  if (!HasRecord(record)) return false;
  if (type == SearchType::CityList) {
    const auto* list = RecordAs<tag_CityListRst>(record);
    if (!list) return false;
    auto result = std::make_shared<GMKPoiResult>();
    std::vector<std::shared_ptr<GMKCityListInfo>> cities;
    for (const tag_CityInfo& city : list->cities) {
      auto info = std::make_shared<GMKCityListInfo>();
      info->setCity(Text(city.name));
      info->setNum(city.count);
      cities.push_back(info);
    }
    result->setCityList(std::move(cities));
    array.push_back(result);
    return true;
  }
  if (IsPoiListType(type)) {
    const auto* poi = RecordAs<tag_PoiSearchRst>(record);
    if (!poi) return false;
    auto result = PoiResult(poi->pois, true, TextIfAny(poi->city.name));
    result->setPageIndex(poi->pageIndex);
    result->setCurrPoiNum(poi->pois.GetSize());
    result->setTotalPoiNum(poi->total);
    result->setPageNum(PageCount(poi->total));
    array.push_back(result);
    return true;
  }
  if (type == SearchType::MultiKeyPoi) {
    const auto* multi = RecordAs<tag_MultiKeyPoiRst>(record);
    if (!multi) return false;
    bool any = false;
    std::optional<std::string> city = TextIfAny(multi->city.name);
    for (int i = 0; i < multi->pois.GetSize(); ++i) {
      const CVArray<tag_PoiInfo>& group = multi->pois[i];
      if (group.IsEmpty()) {
        array.push_back(std::make_shared<GMKPoiResult>());
        continue;
      }
      any = true;
      auto result = PoiResult(group, false, city);
      int total = multi->totals.GetAt(i);
      result->setPageIndex(multi->pageIndex);
      result->setCurrPoiNum(multi->counts.GetAt(i));
      result->setTotalPoiNum(total);
      result->setPageNum(PageCount(total));
      array.push_back(result);
    }
    if (!any) array.clear();
    return true;
  }
  return false;
}

bool GMKNotifier::getAddrInfo(GMKAddrInfo& info, const tag_PoiSearchRst* record) {
  if (!record) return false;
  info.setStrAddr(TextIfAny(record->address));
  auto component = std::make_shared<GMKGeocoderAddressComponent>();
  component->setStreetNumber(TextIfAny(record->streetNumber));
  component->setStreetName(TextIfAny(record->street));
  component->setDistrict(TextIfAny(record->district));
  component->setCity(TextIfAny(record->cityName));
  component->setProvince(TextIfAny(record->province));
  info.setAddressComponent(component);
  info.setGeoPt(searchgeo::CoordinateFromMercator(record->x, record->y));
  if (!record->pois.IsEmpty()) {
    std::vector<std::shared_ptr<GMKPoiInfo>> list;
    for (const tag_PoiInfo& poi : record->pois) list.push_back(PoiInfo(poi, false, component->city()));
    info.setPoiList(std::move(list));
  }
  return true;
}

bool GMKNotifier::getGeocodeInfo(GMKAddrInfo& info, const tag_GeocodeRst* record) {
  if (!record) return false;
  info.setStrAddr(TextIfAny(record->address));
  info.setGeoPt(searchgeo::CoordinateFromMercator(record->x, record->y));
  return true;
}

bool GMKNotifier::getTransitRouteResult(GMKPlanResult& result, const tag_BusRouteRst* record) {
  if (!record) return false;
  auto start = std::make_shared<GMKPlanNode>();
  start->setName(Text(record->startName));
  CoordinateIfAny(record->startPoint, [&](CLLocationCoordinate2D c) { start->setPt(c); });
  auto end = std::make_shared<GMKPlanNode>();
  end->setName(Text(record->endName));
  CoordinateIfAny(record->endPoint, [&](CLLocationCoordinate2D c) { end->setPt(c); });
  result.setStartNode(start);
  result.setEndNode(end);
  int count = 0;
  for (const tag_BusRoute& route : record->routes) count += route.plans.GetSize();
  if (count == 0) return true;
  std::vector<std::shared_ptr<GMKObject>> plans;
  for (const tag_BusRoute& route : record->routes) {
    for (int j = 0; j < route.plans.GetSize(); ++j) {
      auto plan = std::make_shared<GMKTransitRoutePlan>();
      plan->setStartPt(start->pt());
      plan->setEndPt(end->pt());
      getTransitRoutePlan(*plan, route, j);
      plans.push_back(plan);
    }
  }
  result.setPlans(std::move(plans));
  return true;
}

void GMKNotifier::getTransitRoutePlan(GMKTransitRoutePlan& plan, const tag_BusRoute& route, int index) {
  plan.setDistance(static_cast<int>(route.planDistances.GetAt(index)));
  if (index >= route.plans.GetSize() || index >= route.stops.GetSize()) return;
  const CVArray<tag_BusLine>& legs = route.plans[index];
  const CVArray<tag_BusTransStop>& stops = route.stops[index];
  std::vector<std::shared_ptr<GMKLine>> lines;
  for (int k = 0; k < legs.GetSize() && k + 1 < stops.GetSize(); ++k) {
    auto line = std::make_shared<GMKLine>();
    getBusLine(*line, legs[k]);
    getStationInfo(*line, stops[k], stops[k + 1]);
    lines.push_back(line);
  }
  std::vector<std::shared_ptr<GMKRoute>> routes;
  for (const tag_BusTransStop& stop : stops) {
    auto walk = std::make_shared<GMKRoute>();
    getBusTrans(*walk, stop);
    routes.push_back(walk);
  }
  plan.setLines(std::move(lines));
  plan.setRoutes(std::move(routes));
}

void GMKNotifier::getBusLine(GMKLine& line, const tag_BusLine& leg) {
  line.setDistance(leg.distance);
  line.setTitle(Text(leg.name));
  line.setViaStopsNum(leg.stationCount);
  line.setType(leg.lineType);
  const CVArray<_VPoint>* part = leg.geometry.GetPart(0);
  if (part && !part->IsEmpty()) {
    line.setPointsCount(part->GetSize());
    line.setPoints(MapPoints(*part));
  }
}

void GMKNotifier::getStationInfo(GMKLine& line, const tag_BusTransStop& start, const tag_BusTransStop& end) {
  auto on = std::make_shared<GMKPoiInfo>();
  on->setName(Text(start.onName));
  CoordinateIfAny(start.onPoint, [&](CLLocationCoordinate2D c) { on->setPt(c); });
  auto off = std::make_shared<GMKPoiInfo>();
  off->setName(Text(end.offName));
  CoordinateIfAny(end.offPoint, [&](CLLocationCoordinate2D c) { off->setPt(c); });
  line.setGetOnStopPoiInfo(on);
  line.setGetOffStopPoiInfo(off);
  if (auto tip = TextIfAny(start.rideText)) line.setTip(tip);
}

void GMKNotifier::getBusTrans(GMKRoute& route, const tag_BusTransStop& stop) {
  route.setDistance(stop.walkDistance);
  route.setType(GMKRouteType::WalkingLeg);
  if (auto tip = TextIfAny(stop.walkText)) route.setTip(tip);
  CoordinateIfAny(stop.offPoint, [&](CLLocationCoordinate2D c) { route.setStartPt(c); });
  const CVArray<_VPoint>* part = stop.walkPath.GetPart(0);
  if (part && part->GetSize() >= 1) {
    route.setPointsCount(1);
    route.setPoints(MapPoints(*part), 0);
    route.setPointsNum(part->GetSize(), 0);
  }
  CoordinateIfAny(stop.onPoint, [&](CLLocationCoordinate2D c) { route.setEndPt(c); });
}

bool GMKNotifier::getRouteResult(GMKPlanResult& result, const tag_CarRouteRst* record, int type) {
  (void)type;
  if (!record) return false;
  auto start = std::make_shared<GMKPlanNode>();
  start->setName(Text(record->startName));
  CoordinateIfAny(record->startPoint, [&](CLLocationCoordinate2D c) { start->setPt(c); });
  auto end = std::make_shared<GMKPlanNode>();
  end->setName(Text(record->endName));
  CoordinateIfAny(record->endPoint, [&](CLLocationCoordinate2D c) { end->setPt(c); });
  result.setStartNode(start);
  result.setEndNode(end);
  std::vector<std::shared_ptr<GMKObject>> plans;
  if (!record->route.keyPoints.IsEmpty() || !record->route.links.IsEmpty()) {
    auto plan = std::make_shared<GMKRoutePlan>();
    getDrivingRoutePlan(*plan, record->route);
    plans.push_back(plan);
  }
  result.setPlans(std::move(plans));
  return true;
}

void GMKNotifier::getDrivingRoutePlan(GMKRoutePlan& plan, const tag_CarRoute& route) {
  plan.setDistance(route.distance);
  auto info = std::make_shared<GMKRoute>();
  getRouteInfo(*info, route);
  plan.setRoutes(std::vector<std::shared_ptr<GMKRoute>>{info});
}

void GMKNotifier::getRouteInfo(GMKRoute& route, const tag_CarRoute& data) {
  route.setDistance(data.distance);
  if (!data.links.IsEmpty()) {
    route.setPointsCount(data.links.GetSize());
    for (int i = 0; i < data.links.GetSize(); ++i) {
      const CVArray<_VPoint>* part = data.links[i].geometry.GetPart(0);
      if (part && !part->IsEmpty()) {
        route.setPoints(MapPoints(*part), i);
        route.setPointsNum(part->GetSize(), i);
      }
    }
  }
  if (!data.keyPoints.IsEmpty()) {
    std::vector<std::shared_ptr<GMKStep>> steps;
    for (const tag_CarRouteKeyPt& kp : data.keyPoints) {
      auto step = std::make_shared<GMKStep>();
      step->setPt(Coordinate(kp.point));
      step->setDegree(kp.turn);
      step->setContent(kp.text.ToUtf8());
      steps.push_back(step);
    }
    route.setSteps(std::move(steps));
  }
}

int GMKNotifier::getRouteAddrResult(GMKRouteAddrResult& result, const tag_RouteAddrRst* record) {
  if (!record) return -1;
  auto places = [](const CVArray<tag_RPAddrPoi>& list) {
    std::vector<std::shared_ptr<GMKPoiInfo>> out;
    for (const tag_RPAddrPoi& choice : list) {
      auto info = std::make_shared<GMKPoiInfo>();
      info->setName(Text(choice.name));
      info->setAddress(Text(choice.address));
      info->setPt(Coordinate(choice.geometry));
      out.push_back(info);
    }
    return out;
  };
  auto cities = [](const CVArray<tag_CityInfo>& list) {
    std::vector<std::shared_ptr<GMKCityListInfo>> out;
    for (const tag_CityInfo& city : list) {
      auto info = std::make_shared<GMKCityListInfo>();
      info->setNum(city.count);
      info->setCity(Text(city.name));
      out.push_back(info);
    }
    return out;
  };
  if (!record->startChoices.IsEmpty()) result.setStartPoiList(places(record->startChoices));
  if (!record->startCities.IsEmpty()) result.setStartCityList(cities(record->startCities));
  if (!record->endChoices.IsEmpty()) result.setEndPoiList(places(record->endChoices));
  if (!record->endCities.IsEmpty()) result.setEndCityList(cities(record->endCities));
  return record->routeKind;
}

void GMKNotifier::getSuggestionResult(GMKSuggestionResult& result, const tag_SuggestionResult* record) {
  if (!record || record->texts.IsEmpty()) return;
  std::vector<std::string> keys;
  std::vector<std::string> cities;
  for (int i = 0; i < record->texts.GetSize(); ++i) {
    std::string key = record->texts[i].ToUtf8();
    bool taken = false;
    for (const std::string& k : keys) taken = taken || k == key;
    if (taken) continue;
    keys.push_back(key);
    cities.push_back(record->contexts.GetAt(i).ToUtf8());
  }
  result.setKeyList(std::move(keys));
  result.setCityList(std::move(cities));
}

void GMKNotifier::getBusLineResult(GMKBusLineResult& result, const tag_BusLineRst* record) {
  if (!record || record->lines.IsEmpty()) return;
  const tag_BusLineDetail& line = record->lines[0];
  result.setMCompany(Text(line.reserved));
  result.setMBusName(Text(line.name));
  result.setMStartTime(Text(line.startTime));
  result.setMEndTime(Text(line.endTime));
  auto route = std::make_shared<GMKRoute>();
  route->setType(GMKRouteType::BusLine);
  int parts = line.geometry.GetPartSize();
  route->setPointsCount(parts);
  for (int i = 0; i < parts; ++i) {
    const CVArray<_VPoint>* part = line.geometry.GetPart(i);
    route->setPointsNum(part->GetSize(), i);
    if (part->GetSize() > 0) {
      std::vector<GMKMapPoint> points;
      for (const _VPoint& p : *part) {
        points.push_back(
            searchgeo::MapPointFromCoordinate(searchgeo::CoordinateFromMercator(p.x / 100, p.y / 100)));
      }
      route->setPoints(std::move(points), i);
    }
  }
  std::vector<std::shared_ptr<GMKStep>> steps;
  for (const tag_BusStationInfo& station : line.stations) {
    auto step = std::make_shared<GMKStep>();
    step->setPt(Coordinate(station.geometry));
    step->setContent(Text(station.name));
    steps.push_back(step);
  }
  if (!steps.empty()) {
    route->setStartPt(steps.front()->pt());
    route->setEndPt(steps.back()->pt());
  }
  route->setSteps(std::move(steps));
  result.setMBusRoute(route);
}

}  // namespace mapsdk
