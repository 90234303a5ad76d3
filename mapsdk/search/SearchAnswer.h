#pragma once
#include <memory>
#include <type_traits>
#include <variant>

#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineTypes.h"
#include "mapsdk/search/SearchResultRecords.h"

namespace gmengine {

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

// What one parse or one request answered at hand gave. A detached answer owns a copy of its
// record (keep), so it stays what it was however the request manager's records change: that is
// the form in which an answer crosses the engine's UI queue.
struct SearchAnswer {
  SearchAnswer() = default;
  SearchAnswer(SearchType t, SearchError e, SearchRecord r = {}) : type(t), error(e), record(r) {}

  SearchType type = SearchType::None;
  SearchError error = SearchError::None;
  SearchRecord record;
  std::shared_ptr<const void> keep;
};

// The answer with its own copy of the record.
inline std::shared_ptr<const SearchAnswer> Detach(const SearchAnswer& answer) {
  auto detached = std::make_shared<SearchAnswer>();
  detached->type = answer.type;
  detached->error = answer.error;
  std::visit(
      [&](const auto& view) {
        using View = std::decay_t<decltype(view)>;
        if constexpr (!std::is_same_v<View, std::monostate>) {
          if (!view) return;
          auto copy = std::make_shared<const std::remove_pointer_t<View>>(*view);
          detached->record = copy.get();
          detached->keep = std::move(copy);
        }
      },
      answer.record);
  return detached;
}

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
