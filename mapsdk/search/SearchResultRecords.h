#pragma once
#include <cstring>

#include "mapsdk/engine/CComplexPt.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"

// The plain records in which the search engine keeps its answers. Text buffers hold the engine's
// double-byte code page (GBK), zero-terminated, at most size - 1 bytes; CVString fields are UTF-16;
// geometries hold points in hundredths of a map unit. Value types (copying copies every field);
// one thread at a time.
namespace gmengine {

// Copies at most size - 1 bytes of text (double-byte code page) and a zero into buffer (size >= 1).
// A text that does not fit is cut before the character that would cross the limit, never inside
// one: half a character makes the whole text unconvertible.
inline void CopyRecordText(char* buffer, int size, const char* text) {
  if (size < 1) return;
  const std::size_t length = text ? std::strlen(text) : 0;
  const auto limit = static_cast<std::size_t>(size - 1);
  std::size_t n = length;
  if (n > limit) {
    n = 0;
    while (n < length) {
      const std::size_t step = static_cast<unsigned char>(text[n]) >= 0x81 && n + 1 < length ? 2 : 1;
      if (n + step > limit) break;
      n += step;
    }
  }
  if (n && text) std::memmove(buffer, text, n);
  buffer[n] = '\0';
}

struct tag_GeoShapeInfo {
  int cityType = 0;
  int cityCode = 0;
  char name[100] = {};
  CComplexPt geometry;
  int level = 0;
  char uid[32] = {};
  int supBus = 0;
  int supSubway = 0;
  int supTraffic = 0;

  tag_GeoShapeInfo() = default;
  tag_GeoShapeInfo(const tag_GeoShapeInfo& other) { *this = other; }
  // Copies every field but the uid.
  tag_GeoShapeInfo& operator=(const tag_GeoShapeInfo& other) {
    if (this == &other) return *this;
    cityType = other.cityType;
    cityCode = other.cityCode;
    CopyRecordText(name, sizeof name, other.name);
    geometry = other.geometry;
    level = other.level;
    supBus = other.supBus;
    supSubway = other.supSubway;
    supTraffic = other.supTraffic;
    return *this;
  }
};

struct tag_PoiClaInfo {
  int classId = 0;
  char name[32] = {};
};

struct tag_BusLineInfo {
  char address[100] = {};
  char name[100] = {};
  char uid[32] = {};
};

struct tag_CityInfo {
  int code = 0;
  int count = 0;
  char name[100] = {};
};

struct tag_PoiExtItem {
  CVString title;
  CVString info;
};

struct tag_SubWayLineInfo {
  char firstTime[12] = {};
  char lastTime[12] = {};
  char lineName[100] = {};
  char terminals[100] = {};
  char uid[32] = {};
};

struct tag_SubWayAroundInfo {
  CVString exitName;
  CVString exitDirection;
  CVString busInfo;
};

struct tag_PoiInfo {
  CComplexPt geometry;
  char name[100] = {};
  int poiType = 0;
  int kind = 0;
  int mark = 0;
  char uid[32] = {};
  CVArray<tag_PoiClaInfo> classes;
  char address[100] = {};
  char tel[80] = {};
  char zip[8] = {};
  int hasDetail = 0;
  CVArray<tag_BusLineInfo> lines;
  int distance = -1;
};

struct tag_PoiDetailRst {
  tag_PoiInfo poi;
  int sourceType = -1;
  CVArray<tag_PoiExtItem> detailItems;
  CVArray<tag_PoiExtItem> titleLinks;
  CVArray<CVString> pictures;
  CVString price;
  CVArray<tag_SubWayLineInfo> subwayLines;
  CVArray<tag_SubWayAroundInfo> subwayExits;
  CVArray<tag_PoiExtItem> surroundings;
};

struct tag_PoiSearchRst {
  int answerKind = 0;
  int total = 0;
  int count = 0;
  int pageIndex = 0;
  int reserved1 = 0;
  int hasMore = 0;
  char keyword[60] = {};
  char reserved2[8] = {};
  tag_GeoShapeInfo city;
  char address[100] = {};
  char streetNumber[40] = {};
  char street[40] = {};
  char district[40] = {};
  char cityName[40] = {};
  char province[40] = {};
  char business[40] = {};
  int x = 0;
  int y = 0;
  CVArray<tag_PoiInfo> pois;
  int otherCityCount = 0;
  CVArray<CVString> otherCities;
  int suggestionCount = 0;
  CVArray<CVString> suggestions;
  int reserved3 = 0;
  CVArray<tag_PoiInfo> markers;
  double bounds[4] = {};
  CVString text;
};

struct tag_MultiKeyPoiRst {
  int answerKind = 5;
  int pageIndex = 0;
  char keyword[60] = {};
  tag_GeoShapeInfo city;
  CVArray<CVArray<tag_PoiInfo>> pois;
  CVArray<int> totals;
  CVArray<int> counts;
  double bounds[4] = {};
};

struct tag_CityListRst {
  int count = 0;
  int reserved1 = 0;
  char reserved2[60] = {};
  char reserved3[60] = {};
  int currentNull = 0;
  CVArray<tag_CityInfo> cities;
  tag_GeoShapeInfo city;
};

struct tag_BusLine {
  int distance = 0;
  char startUid[32] = {};
  char endUid[32] = {};
  char name[100] = {};
  int stationCount = 0;
  int reserved1 = 0;
  int lineType = 0;
  char reserved2[32] = {};
  CComplexPt geometry;
  CVString text;
  CVString markup;
};

struct tag_BusTransStop {
  char onUid[32] = {};
  char offUid[32] = {};
  char onName[100] = {};
  char offName[100] = {};
  CComplexPt onPoint;
  CComplexPt offPoint;
  int walkDirection = 0;
  int walkDistance = 0;
  CComplexPt walkPath;
  CVString walkText;
  CVString walkMarkup;
  CVString rideText;
  CVString walkSummary;
};

struct tag_BusRoute {
  CVArray<CVArray<tag_BusLine>> plans;
  CVArray<CVArray<tag_BusTransStop>> stops;
  CVArray<unsigned int> planDistances;
};

struct tag_BusRouteRst {
  int total = 0;
  int policy = 0;
  int hasLineType1 = 0;
  int reserved = 3;
  tag_GeoShapeInfo city;
  int startIsStop = 0;
  CComplexPt startPoint;
  char startUid[32] = {};
  char startName[100] = {};
  int endIsStop = 0;
  CComplexPt endPoint;
  char endUid[32] = {};
  char endName[100] = {};
  CVArray<tag_BusRoute> routes;
  CVString text;
};

struct tag_BusStationInfo {
  char name[100] = {};
  char uid[32] = {};
  CComplexPt geometry;
};

struct tag_BusLineDetail {
  char reserved[100] = {};
  char endTime[12] = {};
  CComplexPt geometry;
  int monthlyTicket = 0;
  int maxPrice = 0;
  char name[100] = {};
  char startTime[12] = {};
  char uid[32] = {};
  CVArray<tag_BusStationInfo> stations;
};

struct tag_BusLineRst {
  int total = 0;
  int count = 0;
  CVArray<tag_BusLineDetail> lines;
};

struct tag_CarRouteKeyPt {
  int action = 0;
  CComplexPt point;
  int kind = 0;
  int turn = 0;
  char kindName[20] = {};
  char turnName[20] = {};
  CVString text;
  CVString text2;
  CVString markup;
};

struct tag_Link {
  char roadName[100] = {};
  int roadKind = 0;
  char roadKindName[20] = {};
  int length = 0;
  CComplexPt geometry;
  CVString text;
  CVString markup;
};

struct tag_CarRoute {
  int distance = 0;
  int time = 0;
  CVArray<tag_CarRouteKeyPt> keyPoints;
  CVArray<tag_Link> links;
};

struct tag_CarRouteRst {
  int total = 0;
  int policy = 0;
  int policyClass = 0;  // min(policy, 3)
  tag_GeoShapeInfo city;
  int startIsStop = 0;
  CComplexPt startPoint;
  char startUid[32] = {};
  char startName[100] = {};
  int endIsStop = 0;
  CComplexPt endPoint;
  char endUid[32] = {};
  char endName[100] = {};
  tag_CityInfo startCity;
  tag_CityInfo endCity;
  tag_CarRoute route;  // distance, time, key points and links of the answer's route
  CVString text;
};

struct tag_RPAddrPoi {
  char uid[32] = {};
  char name[100] = {};
  char address[100] = {};
  CComplexPt geometry;
  int reserved[3] = {};
};

struct tag_RouteAddrRst {
  int reserved1 = 0;
  int reserved2 = 0;
  int startCount = 0;
  int endCount = 0;
  int startIsCityList = 0;
  int endIsCityList = 0;
  int startPriority = 0;
  int endPriority = 0;
  int startCityCode = 0;
  int endCityCode = 0;
  char startCityName[100] = {};
  char endCityName[100] = {};
  char startWord[60] = {};
  char endWord[60] = {};
  int routeKind = 3;
  int ifNav = 0;
  CVArray<tag_RPAddrPoi> startChoices;
  CVArray<tag_RPAddrPoi> endChoices;
  CVArray<tag_CityInfo> startCities;
  CVArray<tag_CityInfo> endCities;
  tag_GeoShapeInfo city;
};

struct tag_MapPointRst {
  double x = 0;
  double y = 0;
  int flag = 0;
};

struct tag_GeocodeRst {
  char address[100] = {};
  char reserved1[120] = {};
  char cityName[40] = {};
  char reserved2[80] = {};
  int x = 0;
  int y = 0;
};

struct tag_SuggestionResult {
  CVString query;
  CVArray<CVString> texts;
  CVArray<CVString> contexts;
  CVArray<CVString> partA;
  CVArray<CVString> partB;
  CVArray<CVString> partC;
  CVArray<int> numbers;
  int type = 0;
  int p = 0;
};

struct tag_OfflineTask {
  int cityId = -1;
  CVString name;
  int size = 0;
  int centerX = 0;
  int centerY = 0;
  int level = 0;
  int startLevel = 0;
  int endLevel = 0;
  CVString version;
  CVArray<CVString> packages;
};

struct tag_PoiBkgBaseData {
  char name[100] = {};
  char uid[32] = {};
  double x = 0;
  double y = 0;
};

struct tag_PoiBkgDataElem {
  int key[3] = {};
  CVArray<tag_PoiBkgBaseData> pois;
};

struct tag_PoiBkgDataRst {
  CVString word;
  int count = 0;
  int error = 0;
  CVArray<tag_PoiBkgDataElem> tiles;
};

// The catalogue versions of the data-version answer.
struct tag_DataVersions {
  CVString d;
  CVString m;
  CVString c;
};

}  // namespace gmengine
