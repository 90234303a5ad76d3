#pragma once
#include <memory>
#include <variant>

#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/search/SearchResultRecords.h"

namespace gmengine {

// Result types of the search: the codes that travel in UI message 2000 and select the store slot.
enum class SearchType : int {
  None = 0,
  City = 2,        // one city named by the keyword (answer-chosen)
  CityCenter = 4,  // city at the map centre
  PoiDetail = 6,   // one POI with details (answer-chosen)
  CityList = 7,    // keyword found in several cities (answer-chosen)
  PoiInCity = 11,
  PoiAround = 12,  // POI around a centre (answer-chosen)
  Transit = 14,
  BusLine = 18,
  Driving = 20,
  PoiInBounds = 21,
  RouteAddr = 23,  // route ends to choose from (answer-chosen)
  MapPoint = 26,
  MapPointPoi = 28,  // parsed as a map point answer and reported as MapPoint
  Walking = 31,
  Geocode = 35,
  ReverseGeocode = 44,
  MultiKeyPoi = 45,
  Link = 500,  // answer-chosen
  Suggestion = 506,
  OfflineCities = 507,
  PoiBkgData = 510,
};

// The second value of UI message 2000.
enum class SearchError : int {
  None = 0,
  Network = 2,         // connect or send failed, attempts exhausted, time-out
  Unparsable = 3,      // the answer or its record could not be read
  NothingFound = 11,   // empty list, no route, or an answer type that is not handled
  TransitFailed = 13,  // transit: server error 6, or route ends to choose from a transit request
  RouteFailed = 14,    // transit: server error 1; driving or walking: server error 4
  BadAnswer = 101,     // the search client reported an answer it could not take
  Unconvertible = 102  // the answer's text could not be converted
};

constexpr int ToInt(SearchType type) { return static_cast<int>(type); }
constexpr int ToInt(SearchError error) { return static_cast<int>(error); }
constexpr bool IsPoiListType(SearchType type) {
  return type == SearchType::PoiInCity || type == SearchType::PoiAround || type == SearchType::PoiInBounds;
}

// A view of one parsed answer record. The record belongs to the request manager (its answer caches
// or its records); a view stays valid until the manager replaces or evicts that record, which the
// store hears of first.
using SearchRecord =
    std::variant<std::monostate, const tag_GeoShapeInfo*, const tag_PoiDetailRst*, const tag_CityListRst*,
                 const tag_PoiSearchRst*, const tag_BusRouteRst*, const tag_BusLineRst*,
                 const tag_CarRouteRst*, const tag_RouteAddrRst*, const tag_MapPointRst*,
                 const tag_GeocodeRst*, const tag_MultiKeyPoiRst*, const CVString*,
                 const tag_SuggestionResult*, const CVArray<tag_OfflineTask>*, const tag_PoiBkgDataRst*>;

inline bool HasRecord(const SearchRecord& record) { return !std::holds_alternative<std::monostate>(record); }
// The record as T, or null when it holds another kind or nothing.
template <class T>
const T* RecordAs(const SearchRecord& record) {
  const T* const* p = std::get_if<const T*>(&record);
  return p ? *p : nullptr;
}

// What one parse or one request answered at hand gave.
struct SearchAnswer {
  SearchType type = SearchType::None;
  SearchError error = SearchError::None;
  SearchRecord record;
};

// An answer cache entry: the owned record of a cached answer kind.
using CachedSearchRecord =
    std::variant<std::unique_ptr<tag_PoiSearchRst>, std::unique_ptr<tag_MultiKeyPoiRst>,
                 std::unique_ptr<tag_BusRouteRst>, std::unique_ptr<tag_CarRouteRst>,
                 std::unique_ptr<tag_PoiDetailRst>, std::unique_ptr<tag_SuggestionResult>>;

// A view of a cached record.
inline SearchRecord ViewOf(const CachedSearchRecord& cached) {
  return std::visit([](const auto& owned) -> SearchRecord { return owned.get(); }, cached);
}

}  // namespace gmengine
