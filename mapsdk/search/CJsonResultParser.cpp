#include "mapsdk/search/CJsonResultParser.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/search/RouteStepText.h"

namespace gmengine {

namespace {

const cJSON* Item(const cJSON* object, const char* key) {
  return cJSON_IsObject(object) ? cJSON_GetObjectItemCaseSensitive(object, key) : nullptr;
}

const cJSON* ObjectAt(const cJSON* object, const char* key) {
  const cJSON* item = Item(object, key);
  return cJSON_IsObject(item) ? item : nullptr;
}

const cJSON* ArrayAt(const cJSON* object, const char* key) {
  const cJSON* item = Item(object, key);
  return cJSON_IsArray(item) ? item : nullptr;
}

// A double as an int, saturating; NaN is 0.
int ToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

// atoi without its undefined overflow.
int TextToInt(const char* text) {
  if (!text) return 0;
  char* end = nullptr;
  long long v = std::strtoll(text, &end, 10);
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

const char* StringAt(const cJSON* object, const char* key) {
  const cJSON* item = Item(object, key);
  return cJSON_IsString(item) ? item->valuestring : nullptr;
}

int Flag(const cJSON* object, const char* key) {
  int v = 0;
  CJsonResultParser::GetInt(object, key, v);
  return v == 1 ? 1 : 0;
}

CVString Gbk(const char* text) { return MultiByteToCVString(CP_ACP, text ? text : ""); }

void SetKindFromType(tag_PoiInfo& poi) {
  poi.kind = (poi.poiType >= 0 && poi.poiType <= 4) ? poi.poiType : 0;
}

int ParseRouteEnd(const cJSON* end, int& isStop, char* uid, char* name, CComplexPt& point) {
  if (!cJSON_IsObject(end)) return 0;
  isStop = Flag(end, "bus_stop");
  CJsonResultParser::GetString(end, "uid", uid, 32);
  CJsonResultParser::GetString(end, "wd", name, 100);
  CJsonResultParser::GetGeometry(end, "pt", point);
  return 1;
}

void ParseCityInfo(const cJSON* object, tag_CityInfo& city) {
  CJsonResultParser::GetInt(object, "code", city.code);
  CJsonResultParser::GetString(object, "name", city.name, sizeof city.name);
  CJsonResultParser::GetInt(object, "num", city.count);
}

void ParseExtPairs(const cJSON* array, const char* second, CVArray<tag_PoiExtItem>& out) {
  const cJSON* element = nullptr;
  cJSON_ArrayForEach(element, array) {
    if (!cJSON_IsObject(element)) continue;
    tag_PoiExtItem item;
    CJsonResultParser::GetCVString(element, "title", item.title);
    CJsonResultParser::GetCVString(element, second, item.info);
    out.Add(item);
  }
}

void ParseSubwayExits(const cJSON* array, CVArray<tag_SubWayAroundInfo>& out, int depth) {
  const cJSON* element = nullptr;
  cJSON_ArrayForEach(element, array) {
    if (cJSON_IsArray(element) && depth == 0) {
      ParseSubwayExits(element, out, depth + 1);
      continue;
    }
    tag_SubWayAroundInfo exit;
    if (!CJsonResultParser::GetCVString(element, "exit_name", exit.exitName)) continue;
    CJsonResultParser::GetCVString(element, "exit_round", exit.exitDirection);
    CJsonResultParser::GetCVString(element, "bs_info", exit.busInfo);
    out.Add(exit);
  }
}

void ParseExt(const cJSON* ext, tag_PoiDetailRst& detail) {
  detail.sourceType = CJsonResultParser::PoiExtTypeFromName(StringAt(ext, "src_name"));
  ParseExtPairs(ArrayAt(ext, "detail_info"), "info", detail.detailItems);
  ParseExtPairs(ArrayAt(ext, "title_link"), "link", detail.titleLinks);
  const cJSON* pic = nullptr;
  cJSON_ArrayForEach(pic, ArrayAt(ext, "pic")) {
    if (cJSON_IsString(pic)) detail.pictures.Add(Gbk(pic->valuestring));
  }
  CJsonResultParser::GetCVString(ext, "price", detail.price);
  if (detail.sourceType == 5) {
    const cJSON* line = nullptr;
    cJSON_ArrayForEach(line, ArrayAt(ext, "line_info")) {
      if (!cJSON_IsObject(line)) continue;
      tag_SubWayLineInfo info;
      CJsonResultParser::GetString(line, "line_name", info.lineName, sizeof info.lineName);
      CJsonResultParser::GetString(line, "terminals", info.terminals, sizeof info.terminals);
      CJsonResultParser::GetString(line, "first_time", info.firstTime, sizeof info.firstTime);
      CJsonResultParser::GetString(line, "last_time", info.lastTime, sizeof info.lastTime);
      CJsonResultParser::GetString(line, "uid", info.uid, sizeof info.uid);
      detail.subwayLines.Add(info);
    }
    ParseSubwayExits(ArrayAt(ext, "around_info"), detail.subwayExits, 0);
  } else {
    ParseExtPairs(ArrayAt(ext, "around_info"), "info", detail.surroundings);
  }
}

// Splits text at sep, keeping empty pieces.
std::vector<std::u16string> Split(const std::u16string& text, char16_t sep) {
  std::vector<std::u16string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t at = text.find(sep, start);
    parts.push_back(text.substr(start, at == std::u16string::npos ? std::u16string::npos : at - start));
    if (at == std::u16string::npos) break;
    start = at + 1;
  }
  return parts;
}

}  // namespace

int CJsonResultParser::GetInt(const cJSON* object, const char* key, int& out) {
  out = 0;
  const cJSON* item = Item(object, key);
  if (!cJSON_IsNumber(item)) return 0;
  out = ToInt(item->valuedouble);
  return 1;
}

int CJsonResultParser::GetIntFromDouble(const cJSON* object, const char* key, int& out) {
  return GetInt(object, key, out);  // both truncate toward zero
}

int CJsonResultParser::GetArrayInt(const cJSON* array, int index, int& out) {
  out = 0;
  if (!cJSON_IsArray(array) || index < 0) return 0;
  const cJSON* item = cJSON_GetArrayItem(array, index);
  if (!cJSON_IsNumber(item)) return 0;
  out = ToInt(item->valuedouble);
  return 1;
}

int CJsonResultParser::GetString(const cJSON* object, const char* key, char* buffer, int size, bool dedupe) {
  if (!buffer || size < 2) return 0;
  std::memset(buffer, 0, static_cast<std::size_t>(size));
  const char* text = StringAt(object, key);
  if (!text) return 0;
  if (dedupe) {
    std::string copy = text;
    RemoveRepeatedItems(copy.data());
    CopyRecordText(buffer, size, copy.c_str());
  } else {
    CopyRecordText(buffer, size, text);
  }
  return 1;
}

int CJsonResultParser::GetCVString(const cJSON* object, const char* key, CVString& out) {
  out.Empty();
  const char* text = StringAt(object, key);
  if (!text) return 0;
  out = Gbk(text);
  return 1;
}

void CJsonResultParser::RemoveRepeatedItems(char* text) {
  if (!text) return;
  std::string in = text;
  std::string out;
  std::string previous;
  bool first = true;
  std::size_t start = 0;
  for (;;) {
    std::size_t at = in.find(';', start);
    std::string item = in.substr(start, at == std::string::npos ? std::string::npos : at - start);
    if (first || item != previous) {
      if (!first) out += ';';
      out += item;
      previous = item;
      first = false;
    }
    if (at == std::string::npos) break;
    start = at + 1;
  }
  std::memcpy(text, out.c_str(), out.size() + 1);  // never longer than the input
}

void CJsonResultParser::CutAtNonAscii(char* text) {
  if (!text) return;
  for (char* p = text; *p; ++p) {
    if (static_cast<unsigned char>(*p) > 127) {
      *p = '\0';
      return;
    }
  }
}

int CJsonResultParser::GetGeometry(const cJSON* object, const char* key, CComplexPt& geometry) {
  geometry.Clean();
  const char* text = StringAt(object, key);
  if (!text) return 0;
  std::size_t length = std::strlen(text);
  if (length < 15) return 0;
  int kind = 0;
  if (length == 15) {
    kind = 1;
  } else if (length > 32 && text[32] == '*') {
    kind = 3;
  } else if (length > 32 && text[32] == '-') {
    kind = 2;
  } else if (text[0] == '.' && text[14] == ';') {
    kind = 1;
  } else {
    return 0;
  }
  return DecodeGeometry(text, kind, geometry);
}

// The geometry text: a point text (kind 1) is "." followed by points, or a 15-character point;
// a line or surface text (kinds 2 and 3) has a 33-character header whose last character marks the
// kind, then its parts separated by ";". Points are "x,y" integers (hundredths of a map unit);
// in a point text they are separated by ";" and spaces, in a part by ",". Anything else is refused.
int CJsonResultParser::DecodeGeometry(const char* text, int kind, CComplexPt& geometry) {
  geometry.Clean();
  if (!text) return 0;
  std::string body = text;
  if (kind == 1) {
    if (!body.empty() && body[0] == '.') body.erase(0, 1);
  } else if (kind == 2 || kind == 3) {
    if (body.size() < 33) return 0;
    body.erase(0, 33);
  } else {
    return 0;
  }
  std::vector<std::vector<long long>> parts(1);
  const char* p = body.c_str();
  while (*p) {
    if (*p == ' ' || *p == ',') {
      ++p;
    } else if (*p == ';') {
      if (kind != 1 && !parts.back().empty()) parts.emplace_back();
      ++p;
    } else if (*p == '-' || (*p >= '0' && *p <= '9')) {
      char* end = nullptr;
      long long v = std::strtoll(p, &end, 10);
      if (end == p) return 0;
      if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min()) return 0;
      parts.back().push_back(v);
      p = end;
    } else {
      return 0;
    }
  }
  for (const auto& numbers : parts) {
    if (numbers.empty()) continue;
    if (numbers.size() % 2 != 0) {
      geometry.Clean();
      return 0;
    }
    CVArray<_VPoint> points;
    for (std::size_t i = 0; i + 1 < numbers.size(); i += 2) {
      points.Add(_VPoint(static_cast<int>(numbers[i]), static_cast<int>(numbers[i + 1])));
    }
    geometry.AddPart(points);
  }
  return geometry.IsEmpty() ? 0 : 1;
}

int CJsonResultParser::GetResultType(const cJSON* root, int& out) {
  out = -1;
  const cJSON* result = ObjectAt(root, "result");
  if (!result) return 0;
  const cJSON* type = Item(result, "type");
  if (cJSON_IsNumber(type)) out = ToInt(type->valuedouble);
  return 1;
}

int CJsonResultParser::GetResultError(const cJSON* root, int& out) {
  out = 0;
  return GetInt(ObjectAt(root, "result"), "error", out);
}

int CJsonResultParser::PoiExtTypeFromName(const char* name) {
  if (!name) return -1;
  static const char* const kNames[] = {"ctrip_hotel",  "ctrip_site", "dianping",    "house_new",
                                       "house_ershou", "dt_stop",    "general_ext", "biaozhu_data"};
  for (int i = 0; i < 8; ++i) {
    if (std::strcmp(name, kNames[i]) == 0) return i;
  }
  return -1;
}

int CJsonResultParser::ParseCity(const cJSON* root, tag_GeoShapeInfo& city) {
  const cJSON* content = ObjectAt(root, "content");
  if (!content) return 0;
  GetString(content, "cname", city.name, sizeof city.name);
  GetInt(content, "city_type", city.cityType);
  GetInt(content, "code", city.cityCode);
  GetInt(content, "level", city.level);
  GetString(content, "uid", city.uid, sizeof city.uid);
  GetGeometry(content, "geo", city.geometry);
  city.supBus = Flag(content, "sup_bus");
  city.supSubway = Flag(content, "sup_subway");
  city.supTraffic = Flag(content, "sup_lukuang");
  if (city.level == 0) {
    static const int kLevels[] = {4, 11, 12, 13};
    if (city.cityType >= 0 && city.cityType <= 3) city.level = kLevels[city.cityType];
  }
  return 1;
}

int CJsonResultParser::ParseCityCenter(const cJSON* root, tag_GeoShapeInfo& city) {
  const cJSON* content = ObjectAt(root, "content");
  if (!content) return 0;
  GetString(content, "name", city.name, sizeof city.name);
  city.supBus = Flag(content, "sup_bus");
  city.supSubway = Flag(content, "sup_subway");
  city.supTraffic = Flag(content, "sup_lukuang");
  GetInt(content, "type", city.cityType);
  GetInt(content, "uid", city.cityCode);
  return 1;
}

int CJsonResultParser::ParsePoiDetail(const cJSON* root, tag_PoiDetailRst& detail) {
  const cJSON* content = ObjectAt(root, "content");
  if (!content) return 0;
  tag_PoiInfo& poi = detail.poi;
  GetInt(content, "poiType", poi.poiType);
  GetString(content, "uid", poi.uid, sizeof poi.uid);
  GetString(content, "name", poi.name, sizeof poi.name);
  GetString(content, "addr", poi.address, sizeof poi.address, true);
  GetString(content, "tel", poi.tel, sizeof poi.tel);
  CutAtNonAscii(poi.tel);
  GetString(content, "zip", poi.zip, sizeof poi.zip);
  GetGeometry(content, "geo", poi.geometry);
  SetKindFromType(poi);
  if (poi.poiType == 1 || poi.poiType == 3) {
    const cJSON* lines = ArrayAt(content, "blinfo");
    if (!lines) return 0;
    const cJSON* line = nullptr;
    cJSON_ArrayForEach(line, lines) {
      if (!cJSON_IsObject(line)) continue;
      tag_BusLineInfo info;
      GetString(line, "addr", info.address, sizeof info.address, true);
      GetString(line, "name", info.name, sizeof info.name);
      GetString(line, "uid", info.uid, sizeof info.uid);
      poi.lines.Add(info);
    }
  }
  const cJSON* ext = ObjectAt(content, "ext");
  detail.sourceType = -1;
  if (ext) ParseExt(ext, detail);
  return 1;
}

int CJsonResultParser::ParseCityList(const cJSON* root, tag_CityListRst& list) {
  const cJSON* content = ArrayAt(root, "content");
  if (!content) return 0;
  list.currentNull = Flag(ObjectAt(root, "result"), "current_null");
  const cJSON* element = nullptr;
  cJSON_ArrayForEach(element, content) {
    if (!cJSON_IsObject(element)) continue;
    tag_CityInfo city;
    ParseCityInfo(element, city);
    list.cities.Add(city);
  }
  list.count = list.cities.GetSize();
  return 1;
}

int CJsonResultParser::ParsePoiItem(const cJSON* item, tag_PoiInfo& poi) {
  if (!cJSON_IsObject(item)) return 0;
  GetGeometry(item, "geo", poi.geometry);
  GetInt(item, "poiType", poi.poiType);
  GetString(item, "name", poi.name, sizeof poi.name);
  GetString(item, "uid", poi.uid, sizeof poi.uid);
  if (!GetIntFromDouble(item, "dis", poi.distance)) poi.distance = -1;
  GetString(item, "addr", poi.address, sizeof poi.address, true);
  GetString(item, "tel", poi.tel, sizeof poi.tel);
  CutAtNonAscii(poi.tel);
  poi.hasDetail = Flag(item, "detail");
  SetKindFromType(poi);
  return 1;
}

int CJsonResultParser::ParsePoiList(const cJSON* root, SearchType type, tag_PoiSearchRst& result) {
  const cJSON* resultObject = ObjectAt(root, "result");
  const cJSON* content = ArrayAt(root, "content");
  if (!content) return 0;
  result.answerKind = type == SearchType::PoiAround ? 1 : 0;
  GetInt(resultObject, "total", result.total);
  int more = 0;
  GetInt(resultObject, "op_gel", more);
  result.hasMore = more != 0;
  if (type == SearchType::PoiInCity) GetString(resultObject, "wd", result.keyword, sizeof result.keyword);
  const cJSON* suggest = ArrayAt(root, "suggest_query");
  auto readSuggestions = [&](CVArray<CVString>& out) {
    const cJSON* element = nullptr;
    cJSON_ArrayForEach(element, suggest) {
      CVString query;
      if (GetCVString(element, "query", query)) out.Add(query);
    }
  };
  readSuggestions(result.suggestions);
  result.suggestionCount = result.suggestions.GetSize();
  const cJSON* psrs = ObjectAt(root, "psrs");
  GetInt(psrs, "SENum", result.otherCityCount);
  if (psrs && result.otherCityCount == 0) {
    readSuggestions(result.otherCities);
    result.otherCityCount = result.otherCities.GetSize();
  } else {
    const cJSON* element = nullptr;
    cJSON_ArrayForEach(element, ArrayAt(psrs, "SEResult")) {
      if (cJSON_IsString(element)) result.otherCities.Add(Gbk(element->valuestring));
    }
  }
  const cJSON* item = nullptr;
  cJSON_ArrayForEach(item, content) {
    tag_PoiInfo poi;
    if (ParsePoiItem(item, poi)) result.pois.Add(poi);
  }
  result.count = cJSON_GetArraySize(content);
  if (type == SearchType::PoiAround) {
    const cJSON* centerPois = ArrayAt(ObjectAt(root, "center"), "poi");
    if (!centerPois) return 0;
    cJSON_ArrayForEach(item, centerPois) {
      tag_PoiInfo poi;
      if (ParsePoiItem(item, poi)) result.markers.Add(poi);
    }
  }
  return 1;
}

int CJsonResultParser::ParseMultiKeyPoi(const cJSON* root, tag_MultiKeyPoiRst& result) {
  result.answerKind = 5;
  const cJSON* totals = ArrayAt(ObjectAt(root, "result"), "result_array");
  if (!totals) return 0;
  const cJSON* element = nullptr;
  cJSON_ArrayForEach(element, totals) {
    int total = 0;
    GetInt(element, "total", total);
    result.totals.Add(total);
  }
  cJSON_ArrayForEach(element, ArrayAt(root, "content")) {
    CVArray<tag_PoiInfo> pois;
    if (cJSON_IsArray(element)) {
      const cJSON* item = nullptr;
      cJSON_ArrayForEach(item, element) {
        tag_PoiInfo poi;
        if (ParsePoiItem(item, poi)) pois.Add(poi);
      }
    }
    result.counts.Add(pois.GetSize());
    result.pois.Add(pois);
  }
  return 1;
}

int CJsonResultParser::ParseBusRoute(const cJSON* root, tag_BusRouteRst& result) {
  const cJSON* resultObject = ObjectAt(root, "result");
  const cJSON* content = ArrayAt(root, "content");
  if (!content) return 0;
  GetInt(resultObject, "total", result.total);
  GetInt(resultObject, "sy", result.policy);
  ParseRouteEnd(ObjectAt(root, "start"), result.startIsStop, result.startUid, result.startName,
                result.startPoint);
  ParseRouteEnd(ObjectAt(root, "end"), result.endIsStop, result.endUid, result.endName, result.endPoint);
  const cJSON* element = nullptr;
  cJSON_ArrayForEach(element, content) {
    const cJSON* lines = ArrayAt(element, "lines");
    const cJSON* stops = ArrayAt(element, "stops");
    if (!lines || !stops) continue;
    tag_BusRoute route;
    const cJSON* plan = nullptr;
    cJSON_ArrayForEach(plan, lines) {
      CVArray<tag_BusLine> rides;
      const cJSON* ride = nullptr;
      cJSON_ArrayForEach(ride, plan) {
        if (!cJSON_IsObject(ride)) continue;
        tag_BusLine line;
        GetInt(ride, "distance", line.distance);
        GetString(ride, "ed_uid", line.endUid, sizeof line.endUid);
        GetString(ride, "st_uid", line.startUid, sizeof line.startUid);
        GetString(ride, "name", line.name, sizeof line.name);
        GetInt(ride, "station_num", line.stationCount);
        GetInt(ride, "type", line.lineType);
        GetGeometry(ride, "geo", line.geometry);
        rides.Add(line);
      }
      route.plans.Add(rides);
    }
    cJSON_ArrayForEach(plan, stops) {
      CVArray<tag_BusTransStop> list;
      const cJSON* stop = nullptr;
      cJSON_ArrayForEach(stop, plan) {
        if (!cJSON_IsObject(stop)) continue;
        tag_BusTransStop s;
        const cJSON* on = ObjectAt(stop, "getOn");
        const cJSON* off = ObjectAt(stop, "getOff");
        const cJSON* walk = ObjectAt(stop, "walk");
        GetString(on, "name", s.onName, sizeof s.onName);
        GetString(on, "uid", s.onUid, sizeof s.onUid);
        GetGeometry(on, "geo", s.onPoint);
        GetString(off, "name", s.offName, sizeof s.offName);
        GetString(off, "uid", s.offUid, sizeof s.offUid);
        GetGeometry(off, "geo", s.offPoint);
        GetInt(walk, "direction", s.walkDirection);
        GetInt(walk, "distance", s.walkDistance);
        GetGeometry(walk, "geo", s.walkPath);
        list.Add(s);
      }
      route.stops.Add(list);
    }
    if (route.plans.GetSize() > 0) {
      for (const tag_BusLine& line : route.plans[0]) {
        if (line.lineType == 1) result.hasLineType1 = 1;
      }
    }
    result.routes.Add(route);
  }
  BuildBusRouteTexts(result);
  return 1;
}

int CJsonResultParser::ParseBusLine(const cJSON* root, tag_BusLineRst& result) {
  GetInt(ObjectAt(root, "result"), "total", result.total);
  const cJSON* content = ObjectAt(root, "content");
  if (!content) return 0;
  tag_BusLineDetail line;
  GetString(content, "name", line.name, sizeof line.name);
  GetString(content, "uid", line.uid, sizeof line.uid);
  GetString(content, "startTime", line.startTime, sizeof line.startTime);
  GetString(content, "endTime", line.endTime, sizeof line.endTime);
  GetInt(content, "isMonTicket", line.monthlyTicket);
  GetInt(content, "maxPrice", line.maxPrice);
  GetGeometry(content, "geo", line.geometry);
  const cJSON* station = nullptr;
  cJSON_ArrayForEach(station, ArrayAt(content, "stations")) {
    if (!cJSON_IsObject(station)) continue;
    tag_BusStationInfo info;
    GetString(station, "name", info.name, sizeof info.name);
    GetString(station, "uid", info.uid, sizeof info.uid);
    GetGeometry(station, "geo", info.geometry);
    line.stations.Add(info);
  }
  result.lines.Add(line);
  result.count = result.lines.GetSize();
  return 1;
}

int CJsonResultParser::ParseCarRoute(const cJSON* root, int mode, tag_CarRouteRst& result) {
  const cJSON* resultObject = ObjectAt(root, "result");
  const cJSON* content = ObjectAt(root, "content");
  if (!content) return 0;
  GetInt(resultObject, "total", result.total);
  ParseCityInfo(ObjectAt(root, "start_city"), result.startCity);
  const cJSON* endCities = ArrayAt(root, "end_city");
  if (endCities) ParseCityInfo(cJSON_GetArrayItem(endCities, 0), result.endCity);
  GetInt(resultObject, "sy", result.policy);
  result.policyClass = result.policy < 3 ? result.policy : 3;
  ParseRouteEnd(ObjectAt(root, "start"), result.startIsStop, result.startUid, result.startName,
                result.startPoint);
  const cJSON* ends = ArrayAt(root, "end");
  int endCount = cJSON_GetArraySize(ends);
  if (endCount > 0) {
    ParseRouteEnd(cJSON_GetArrayItem(ends, endCount - 1), result.endIsStop, result.endUid, result.endName,
                  result.endPoint);
  }
  tag_CarRoute& route = result.route;
  GetInt(content, "dis", route.distance);
  GetInt(content, "time", route.time);
  const cJSON* element = nullptr;
  cJSON_ArrayForEach(element, ArrayAt(content, "kps")) {
    if (!cJSON_IsObject(element)) continue;
    tag_CarRouteKeyPt kp;
    GetInt(element, "a", kp.action);
    GetGeometry(element, "pt", kp.point);
    GetInt(element, "rt", kp.kind);
    GetInt(element, "tt", kp.turn);
    if (kp.kind >= 0 && kp.kind < 20)
      CopyRecordText(kp.kindName, 20,
                     CVStringToMultiByte(CP_ACP, CVString(KeyPointKindName(mode, kp.kind))).c_str());
    if (kp.turn >= 0 && kp.turn <= 24)
      CopyRecordText(kp.turnName, 20, CVStringToMultiByte(CP_ACP, CVString(TurnName(kp.turn))).c_str());
    route.keyPoints.Add(kp);
  }
  cJSON_ArrayForEach(element, ArrayAt(content, "rss")) {
    if (!cJSON_IsObject(element)) continue;
    tag_Link link;
    GetString(element, "n", link.roadName, sizeof link.roadName);
    GetInt(element, "t", link.roadKind);
    if (link.roadKind >= 0 && link.roadKind < 20) {
      CopyRecordText(link.roadKindName, 20,
                     CVStringToMultiByte(CP_ACP, CVString(RoadKindName(link.roadKind))).c_str());
    }
    GetInt(element, "d", link.length);
    GetGeometry(element, "g", link.geometry);
    route.links.Add(link);
  }
  BuildCarRouteTexts(route);
  // The links join up: each begins where the previous one ended.
  for (int i = route.links.GetSize() - 1; i >= 1; --i) {
    const CVArray<_VPoint>* previous =
        route.links[i - 1].geometry.GetPart(route.links[i - 1].geometry.GetPartSize() - 1);
    const CVArray<_VPoint>* first = route.links[i].geometry.GetPart(0);
    if (!previous || previous->IsEmpty() || !first) continue;
    CComplexPt joined;
    CVArray<_VPoint> part = *first;
    part.InsertAt(0, (*previous)[previous->GetSize() - 1]);
    joined.AddPart(part);
    for (int p = 1; p < route.links[i].geometry.GetPartSize(); ++p)
      joined.AddPart(*route.links[i].geometry.GetPart(p));
    route.links[i].geometry = joined;
  }
  return 1;
}

int CJsonResultParser::ParseRouteAddr(const cJSON* root, tag_RouteAddrRst& result) {
  if (!cJSON_IsObject(root)) return 0;
  const cJSON* resultObject = ObjectAt(root, "result");
  int flag = 0;
  const cJSON* cityList = ArrayAt(resultObject, "city_list");
  result.startIsCityList = GetArrayInt(cityList, 0, flag) && flag == 1;
  result.endIsCityList = GetArrayInt(cityList, 1, flag) && flag == 1;
  const cJSON* prio = ArrayAt(resultObject, "prio_flag");
  result.startPriority = GetArrayInt(prio, 0, flag) && flag == 1;
  result.endPriority = GetArrayInt(prio, 1, flag) && flag == 1;
  GetString(resultObject, "s_wd", result.startWord, sizeof result.startWord);
  GetString(resultObject, "e_wd", result.endWord, sizeof result.endWord);
  result.ifNav = Flag(resultObject, "if_nav");
  const cJSON* startCity = ObjectAt(resultObject, "start_city");
  GetString(startCity, "cname", result.startCityName, sizeof result.startCityName);
  GetInt(startCity, "code", result.startCityCode);
  const cJSON* endCity = ObjectAt(resultObject, "end_city");
  GetString(endCity, "cname", result.endCityName, sizeof result.endCityName);
  GetInt(endCity, "code", result.endCityCode);
  const cJSON* content = ObjectAt(root, "content");
  auto readEnd = [&](const char* key, int isCityList, CVArray<tag_CityInfo>& cities,
                     CVArray<tag_RPAddrPoi>& choices, int& count, int& priority) {
    const cJSON* element = nullptr;
    cJSON_ArrayForEach(element, ArrayAt(content, key)) {
      if (!cJSON_IsObject(element)) continue;
      if (isCityList) {
        tag_CityInfo city;
        ParseCityInfo(element, city);
        cities.Add(city);
      } else {
        tag_RPAddrPoi choice;
        GetString(element, "uid", choice.uid, sizeof choice.uid);
        GetString(element, "name", choice.name, sizeof choice.name);
        GetString(element, "addr", choice.address, sizeof choice.address, true);
        GetGeometry(element, "geo", choice.geometry);
        choices.Add(choice);
      }
    }
    count = isCityList ? cities.GetSize() : choices.GetSize();
    if (!isCityList && choices.GetSize() == 1) priority = 1;
  };
  readEnd("start", result.startIsCityList, result.startCities, result.startChoices, result.startCount,
          result.startPriority);
  readEnd("end", result.endIsCityList, result.endCities, result.endChoices, result.endCount,
          result.endPriority);
  return 1;
}

int CJsonResultParser::ParseMapPoint(const cJSON* root, tag_MapPointRst& result) {
  const cJSON* content = ArrayAt(root, "content");
  if (cJSON_GetArraySize(content) < 2) return 0;
  const cJSON* first = cJSON_GetArrayItem(content, 0);
  const cJSON* second = cJSON_GetArrayItem(content, 1);
  if (!cJSON_IsString(first) || !cJSON_IsString(second)) return 0;
  const char* comma = std::strchr(first->valuestring, ',');
  if (!comma) return 0;
  result.x = std::atof(
      std::string(first->valuestring, static_cast<std::size_t>(comma - first->valuestring)).c_str());
  result.y = std::atof(comma + 1);
  result.flag = TextToInt(second->valuestring);
  return 1;
}

int CJsonResultParser::ParseMapPointPoi(const cJSON* root, tag_MapPointRst& result) {
  if (!ObjectAt(root, "result")) return 0;
  const cJSON* content = ArrayAt(root, "content");
  if (cJSON_GetArraySize(content) < 1) return 0;
  tag_PoiInfo poi;
  if (!ParsePoiItem(cJSON_GetArrayItem(content, 0), poi)) return 0;
  const CVArray<_VPoint>* part = poi.geometry.GetPart(0);
  if (!part || part->IsEmpty()) return 0;
  result.x = (*part)[0].x / 100;
  result.y = (*part)[0].y / 100;
  result.flag = 0;
  return 1;
}

int CJsonResultParser::ParseLink(const cJSON* root, CVString& url) {
  const char* state = StringAt(root, "state");
  if (!state || std::strcmp(state, "success") != 0) return 0;
  GetCVString(root, "url", url);
  return 1;
}

int CJsonResultParser::ParseSuggestion(const cJSON* root, tag_SuggestionResult& result) {
  if (!cJSON_IsObject(root)) return 0;
  GetCVString(root, "q", result.query);
  GetInt(root, "p", result.p);
  GetInt(root, "t", result.type);
  const std::u16string& query = result.query.str();
  const cJSON* element = nullptr;
  cJSON_ArrayForEach(element, ArrayAt(root, "s")) {
    if (!cJSON_IsString(element)) continue;
    std::u16string text = Gbk(element->valuestring).str();
    std::vector<std::u16string> pieces = Split(text, u'$');
    if (pieces.size() < 5) continue;
    // The number stands after the second-to-last "$".
    CVString number(pieces[pieces.size() - 2]);
    std::u16string a = pieces[0], b = pieces[1], c = pieces[2], d = pieces[3];
    auto contains = [&](const std::u16string& part) {
      return !query.empty() && part.find(query) != std::u16string::npos;
    };
    std::u16string context;
    if (contains(d)) {
      context = a + b + c;
    } else if (contains(c)) {
      d = c + d;
      context = a + b;
    } else if (contains(b)) {
      d = b + c + d;
      context = a;
    } else if (contains(a)) {
      d = a + b + c + d;
    } else {
      if (d.empty()) continue;
      context = a + b + c;
    }
    result.numbers.Add(vwtoi(number.GetBuffer()));
    result.texts.Add(CVString(d));
    result.contexts.Add(CVString(context));
    result.partA.Add(CVString(a));
    result.partB.Add(CVString(b));
    result.partC.Add(CVString(c));
  }
  return 1;
}

int CJsonResultParser::ParseOfflineCities(const cJSON* root, CVArray<tag_OfflineTask>& tasks) {
  const cJSON* resultObject = ObjectAt(root, "result");
  int error = 0;
  if (!GetInt(resultObject, "error", error) || error != 0) return 0;
  const cJSON* content = ArrayAt(root, "content");
  if (!content) return 0;
  const cJSON* element = nullptr;
  cJSON_ArrayForEach(element, content) {
    tag_OfflineTask task;
    const char* name = StringAt(element, "name");
    const char* cityId = StringAt(element, "cityid");
    const char* packages = StringAt(element, "task");
    const cJSON* size = Item(element, "size");
    const char* cx = StringAt(element, "center_x");
    const char* cy = StringAt(element, "center_y");
    const char* l = StringAt(element, "l");
    const char* ls = StringAt(element, "ls");
    const char* le = StringAt(element, "le");
    const char* version = StringAt(element, "cityver");
    if (!name || !cityId || !packages || !(cJSON_IsNumber(size) || cJSON_IsString(size)) || !cx || !cy ||
        !l || !ls || !le || !version) {
      return 0;
    }
    task.name = Gbk(name);
    task.cityId = TextToInt(cityId);
    for (const std::u16string& piece : Split(Gbk(packages).str(), u'|')) {
      if (!piece.empty()) task.packages.Add(CVString(piece));
    }
    task.size = cJSON_IsNumber(size) ? ToInt(size->valuedouble) : TextToInt(size->valuestring);
    task.centerX = TextToInt(cx);
    task.centerY = TextToInt(cy);
    task.level = TextToInt(l);
    task.startLevel = TextToInt(ls);
    task.endLevel = TextToInt(le);
    task.version = Gbk(version);
    tasks.Add(task);
  }
  return 1;
}

int CJsonResultParser::ParseDataVersions(const cJSON* root, tag_DataVersions& versions) {
  int error = 0;
  if (!GetInt(ObjectAt(root, "result"), "error", error) || error != 0) return 0;
  const cJSON* list = ArrayAt(ObjectAt(root, "content"), "version");
  const cJSON* first = cJSON_GetArrayItem(list, 0);
  if (!GetCVString(first, "pic_version", versions.d) || !GetCVString(first, "task_version", versions.m) ||
      !GetCVString(first, "city_version", versions.c)) {
    return 0;
  }
  return 1;
}

// The server's error number, kept as it came: a number the list does not name still is no success.
void ReadResultError(const cJSON* root, SearchError& error) {
  int number = 0;
  CJsonResultParser::GetResultError(root, number);
  error = static_cast<SearchError>(number);
}

int CJsonResultParser::ParseGeocode(const cJSON* root, tag_GeocodeRst& result, SearchError& error) {
  ReadResultError(root, error);
  const cJSON* content = ObjectAt(root, "content");
  if (!content) return 0;
  GetString(content, "cn", result.cityName, sizeof result.cityName);
  GetString(content, "wd", result.address, sizeof result.address);
  const cJSON* coord = ObjectAt(content, "coord");
  result.x = TextToInt(StringAt(coord, "x"));
  result.y = TextToInt(StringAt(coord, "y"));
  return 1;
}

int CJsonResultParser::ParseReverseGeocode(const cJSON* root, tag_PoiSearchRst& result, SearchError& error) {
  ReadResultError(root, error);
  const cJSON* content = ObjectAt(root, "content");
  if (!content) return 0;
  GetString(content, "address", result.address, sizeof result.address);
  GetString(content, "business", result.business, sizeof result.business);
  const cJSON* detail = ObjectAt(content, "address_detail");
  GetString(detail, "street_number", result.streetNumber, sizeof result.streetNumber);
  GetString(detail, "street", result.street, sizeof result.street);
  GetString(detail, "district", result.district, sizeof result.district);
  GetString(detail, "city", result.cityName, sizeof result.cityName);
  GetString(detail, "province", result.province, sizeof result.province);
  const cJSON* point = ObjectAt(content, "point");
  result.x = TextToInt(StringAt(point, "x"));
  result.y = TextToInt(StringAt(point, "y"));
  const cJSON* element = nullptr;
  cJSON_ArrayForEach(element, ArrayAt(content, "surround_poi")) {
    if (!cJSON_IsObject(element)) continue;
    tag_PoiInfo poi;
    GetString(element, "name", poi.name, sizeof poi.name);
    GetString(element, "addr", poi.address, sizeof poi.address);
    GetString(element, "tel", poi.tel, sizeof poi.tel);
    GetString(element, "zip", poi.zip, sizeof poi.zip);
    GetString(element, "uid", poi.uid, sizeof poi.uid);
    const char* distance = StringAt(element, "distance");
    poi.distance = distance ? ToInt(std::atof(distance)) : -1;
    const cJSON* at = ObjectAt(element, "point");
    const char* px = StringAt(at, "x");
    const char* py = StringAt(at, "y");
    if (px && py) poi.geometry.AddPoint(_VPoint(ToInt(std::atof(px) * 100), ToInt(std::atof(py) * 100)));
    poi.poiType = 10;
    poi.kind = 10;
    result.pois.Add(poi);
  }
  result.count = result.pois.GetSize();
  return 1;
}

int CJsonResultParser::ParsePoiBkgData(const cJSON* root, tag_PoiBkgDataRst& result) {
  const cJSON* resultObject = ObjectAt(root, "result");
  const cJSON* content = ArrayAt(root, "content");
  if (!content) return 0;
  GetInt(resultObject, "count", result.count);
  GetInt(resultObject, "error", result.error);
  GetCVString(resultObject, "wd", result.word);
  const cJSON* tile = nullptr;
  cJSON_ArrayForEach(tile, content) {
    const char* id = StringAt(tile, "tileid");
    if (!id) continue;
    const char* first = std::strchr(id, '_');
    const char* second = first ? std::strchr(first + 1, '_') : nullptr;
    if (!second) continue;
    const cJSON* uids = ArrayAt(tile, "uids");
    if (!uids) break;
    tag_PoiBkgDataElem elem;
    elem.key[0] = TextToInt(id);
    elem.key[1] = TextToInt(first + 1);
    elem.key[2] = TextToInt(second + 1);
    const cJSON* poi = nullptr;
    cJSON_ArrayForEach(poi, uids) {
      if (!cJSON_IsObject(poi)) continue;
      tag_PoiBkgBaseData data;
      int v = 0;
      GetInt(poi, "x", v);
      data.x = v;
      GetInt(poi, "y", v);
      data.y = v;
      GetString(poi, "uid", data.uid, sizeof data.uid);
      GetString(poi, "name", data.name, sizeof data.name);
      elem.pois.Add(data);
    }
    result.tiles.Add(elem);
  }
  return 1;
}

}  // namespace gmengine
