#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "mapsdk/search/GMKAddrInfo.h"
#include "mapsdk/search/GMKBusLineResult.h"
#include "mapsdk/search/GMKLine.h"
#include "mapsdk/search/GMKOfflineMapDelegate.h"
#include "mapsdk/search/GMKPlanResult.h"
#include "mapsdk/search/GMKPoiResult.h"
#include "mapsdk/search/GMKRoute.h"
#include "mapsdk/search/GMKRouteAddrResult.h"
#include "mapsdk/search/GMKRoutePlan.h"
#include "mapsdk/search/GMKSearchDelegate.h"
#include "mapsdk/search/GMKSuggestionResult.h"
#include "mapsdk/search/GMKTransitRoutePlan.h"
#include "mapsdk/search/SearchAnswer.h"
#include "mapsdk/search/SearchResultRecords.h"

namespace mapsdk {

// Turns the engine's result announcements into delegate callbacks, converting the engine records
// into result objects. Keeps the map SDK's three delegates, none owned: the general one (network
// state), the search one and the offline one (state changes). They belong to the engine (its
// notifier), so a new engine starts without any; without an engine nothing is kept. The general
// receiver is the function the application hands to the map manager. Main thread only.
class GMKNotifier {
 public:
  using NetworkStateHandler = std::function<void(int state)>;

  // Puts the notifier in the engine unless it has one; nothing without an engine.
  static void install();

  // Clears the general and the search delegate.
  static void initDelegate();
  static void setGeneralDelegate(NetworkStateHandler handler);
  static void setSearchDelegate(std::weak_ptr<GMKSearchDelegate> delegate);
  static std::shared_ptr<GMKSearchDelegate> searchDelegate();
  static void setOfflineDelegate(std::weak_ptr<GMKOfflineMapDelegate> delegate);
  static std::shared_ptr<GMKOfflineMapDelegate> offlineDelegate();

  // One announcement: kind (1 POI, 2 transit, 3 driving, 4 walking, 6 reverse geocode, 7 network
  // state, 10 geocode, 11 route ends, 13 offline state, 14 bus line, 15 suggestion), then for the
  // search kinds the error and the result type.
  static void msgProc(int kind, int wParam, int lParam);
  // An answer of the engine's UI queue, with the record it carries (none when it came without).
  static void notify(gmengine::SearchType type, gmengine::SearchError error,
                     const gmengine::SearchAnswer* answer);

  // Converters: false when the record is missing (or of a type they do not take).
  static bool getPoiResult(std::vector<std::shared_ptr<GMKPoiResult>>& array,
                           const gmengine::SearchRecord& record, gmengine::SearchType type);
  static bool getAddrInfo(GMKAddrInfo& info, const gmengine::tag_PoiSearchRst* record);
  static bool getGeocodeInfo(GMKAddrInfo& info, const gmengine::tag_GeocodeRst* record);
  static bool getTransitRouteResult(GMKPlanResult& result, const gmengine::tag_BusRouteRst* record);
  static void getTransitRoutePlan(GMKTransitRoutePlan& plan, const gmengine::tag_BusRoute& route, int index);
  static void getBusLine(GMKLine& line, const gmengine::tag_BusLine& leg);
  static void getStationInfo(GMKLine& line, const gmengine::tag_BusTransStop& start,
                             const gmengine::tag_BusTransStop& end);
  static void getBusTrans(GMKRoute& route, const gmengine::tag_BusTransStop& stop);
  static bool getRouteResult(GMKPlanResult& result, const gmengine::tag_CarRouteRst* record, int type);
  static void getDrivingRoutePlan(GMKRoutePlan& plan, const gmengine::tag_CarRoute& route);
  static void getRouteInfo(GMKRoute& route, const gmengine::tag_CarRoute& data);
  // The route kind asked for: 0 driving, 1 transit, 2 walking.
  static int getRouteAddrResult(GMKRouteAddrResult& result, const gmengine::tag_RouteAddrRst* record);
  static void getSuggestionResult(GMKSuggestionResult& result, const gmengine::tag_SuggestionResult* record);
  static void getBusLineResult(GMKBusLineResult& result, const gmengine::tag_BusLineRst* record);

 private:
  // One announcement of a kind, with the record its converter reads.
  static void deliver(gmengine::NotifierKind kind, int wParam, gmengine::SearchType type,
                      const gmengine::SearchRecord& record);
};

}  // namespace mapsdk
