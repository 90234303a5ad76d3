#pragma once
#include <cjson/cJSON.h>

#include "mapsdk/engine/EngineTypes.h"
#include "mapsdk/search/SearchResultRecords.h"

namespace gmengine {

// Turns the map service's JSON answers (already in the engine's double-byte code page) into the
// search records. Stateless; every operation answers 1 on success and 0 when a required part is
// missing or mistyped, never reading outside the tree. Any thread.
class CJsonResultParser {
 public:
  // Value readers.
  static int GetInt(const cJSON* object, const char* key, int& out);
  static int GetIntFromDouble(const cJSON* object, const char* key, int& out);
  static int GetArrayInt(const cJSON* array, int index, int& out);
  static int GetString(const cJSON* object, const char* key, char* buffer, int size, bool dedupe = false);
  static int GetCVString(const cJSON* object, const char* key, CVString& out);
  static void RemoveRepeatedItems(char* text);
  static void CutAtNonAscii(char* text);
  static int GetGeometry(const cJSON* object, const char* key, CComplexPt& geometry);
  // Decodes a geometry text of the given kind (1 points, 2 line, 3 surface) into parts.
  static int DecodeGeometry(const char* text, int kind, CComplexPt& geometry);
  static int GetResultType(const cJSON* root, int& out);
  static int GetResultError(const cJSON* root, int& out);
  static int PoiExtTypeFromName(const char* name);

  // Answer kinds.
  static int ParseCity(const cJSON* root, tag_GeoShapeInfo& city);
  static int ParseCityCenter(const cJSON* root, tag_GeoShapeInfo& city);
  static int ParsePoiDetail(const cJSON* root, tag_PoiDetailRst& detail);
  static int ParseCityList(const cJSON* root, tag_CityListRst& list);
  // PoiInCity, PoiAround or PoiInBounds.
  static int ParsePoiList(const cJSON* root, SearchType type, tag_PoiSearchRst& result);
  static int ParsePoiItem(const cJSON* item, tag_PoiInfo& poi);
  static int ParseMultiKeyPoi(const cJSON* root, tag_MultiKeyPoiRst& result);
  static int ParseBusRoute(const cJSON* root, tag_BusRouteRst& result);
  static int ParseBusLine(const cJSON* root, tag_BusLineRst& result);
  // mode 0 driving, 2 walking.
  static int ParseCarRoute(const cJSON* root, int mode, tag_CarRouteRst& result);
  static int ParseRouteAddr(const cJSON* root, tag_RouteAddrRst& result);
  static int ParseMapPoint(const cJSON* root, tag_MapPointRst& result);
  static int ParseMapPointPoi(const cJSON* root, tag_MapPointRst& result);
  static int ParseLink(const cJSON* root, CVString& url);
  static int ParseSuggestion(const cJSON* root, tag_SuggestionResult& result);
  static int ParseOfflineCities(const cJSON* root, CVArray<tag_OfflineTask>& tasks);
  static int ParseDataVersions(const cJSON* root, tag_DataVersions& versions);
  // Sets error from the answer's "result" → "error", the number kept as the server sent it.
  static int ParseGeocode(const cJSON* root, tag_GeocodeRst& result, SearchError& error);
  static int ParseReverseGeocode(const cJSON* root, tag_PoiSearchRst& result, SearchError& error);
  static int ParsePoiBkgData(const cJSON* root, tag_PoiBkgDataRst& result);
};

}  // namespace gmengine
