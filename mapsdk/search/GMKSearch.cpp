#include "mapsdk/search/GMKSearch.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/engine/tag_RouteNode.h"
#include "mapsdk/search/CAppSearch.h"
#include "mapsdk/search/GMKNotifier.h"
#include "platform/foundation/Text.h"

namespace gmengine {

CAppSearch* SearchOfEngine() {
  CVMainGlobalMan* global = GetMainGlobalMan();
  return global && global->engine ? global->engine->PartAs<CAppSearch>(EngineSlot::Search) : nullptr;
}

}  // namespace gmengine

namespace mapsdk {

using namespace gmengine;

namespace {

int g_pageCapacity = 10;

std::size_t Length(const std::string& text) { return platform::utf16Length(text); }

CVString Key(const std::string& text) { return CVString(platform::toUtf16(text)); }

// Double-byte text of at most maxBytes bytes and a zero (whole characters only).
void ToGbk(const std::string& text, char* buffer, int maxBytes) {
  std::u16string units = platform::toUtf16(text);
  int n = WideCharToMultiByte(CP_ACP, units.c_str(), static_cast<int>(units.size()), buffer, maxBytes);
  buffer[n > 0 ? n : 0] = '\0';
}

CAppSearch* Search() { return SearchOfEngine(); }

bool ValidPoint(const CLLocationCoordinate2D& pt) { return pt.latitude > 0 && pt.longitude > 0; }

bool ValidName(const GMKSearch::Node& node) {
  return node && node->name() && Length(*node->name()) >= 1 && Length(*node->name()) <= 49;
}

bool ValidCity(const GMKSearch::Text& city) { return city && Length(*city) >= 1 && Length(*city) <= 16; }

// Zeroed, kind 2; the point (kind 1) when valid; the name when used.
tag_RouteNode RouteNode(const GMKSearch::Node& node, bool useName) {
  tag_RouteNode record;
  record.kind = 2;
  if (ValidPoint(node->pt())) {
    record.kind = 1;
    searchgeo::CoordinateToMercator(node->pt(), record.x, record.y);
  }
  if (useName) ToGbk(*node->name(), record.name, 98);
  return record;
}

int Saturate(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

// Joins 2 to 10 keys with "$$"; nullopt when a key or the whole breaks the rules.
std::optional<std::string> JoinKeys(const std::optional<std::vector<GMKSearch::Text>>& keys) {
  if (!keys || keys->size() < 2 || keys->size() > 10) return std::nullopt;
  std::string joined;
  joined.reserve(256);
  for (std::size_t i = 0; i < keys->size(); ++i) {
    const GMKSearch::Text& key = (*keys)[i];
    if (!key || Length(*key) > 99 || key->find("$$") != std::string::npos) return std::nullopt;
    joined += *key;
    if (i + 1 < keys->size()) joined += "$$";
  }
  if (Length(joined) > 99) return std::nullopt;
  return joined;
}

}  // namespace

GMKSearch::GMKSearch() {
  // The engine's search object lives as long as the engine; answers reach the notifier.
  if (CVMainGlobalMan* global = GetMainGlobalMan()) CAppSearch::install(*global);
  GMKNotifier::install();
  g_pageCapacity = 10;
}

GMKSearch::~GMKSearch() {
  delegate_.reset();
  GMKNotifier::setSearchDelegate({});
}

void GMKSearch::setDelegate(std::weak_ptr<GMKSearchDelegate> delegate) {
  delegate_ = delegate;
  GMKNotifier::setSearchDelegate(std::move(delegate));
}

void GMKSearch::setTransitPolicy(GMKTransitPolicy policy) {
  const int value = static_cast<int>(policy);
  if (value >= static_cast<int>(GMKTransitPolicy::LeastTime) &&
      value <= static_cast<int>(GMKTransitPolicy::NoSubway))
    transitPolicy_ = policy;
}

void GMKSearch::setDrivingPolicy(GMKDrivingPolicy policy) {
  const int value = static_cast<int>(policy);
  if (value >= static_cast<int>(GMKDrivingPolicy::LeastTime) &&
      value <= static_cast<int>(GMKDrivingPolicy::LeastFee))
    drivingPolicy_ = policy;
}

int GMKSearch::getPageCapacity() { return g_pageCapacity; }

void GMKSearch::setPageCapacity(int capacity) {
  if (capacity >= 1 && capacity <= 50) g_pageCapacity = capacity;
}

bool GMKSearch::poiSearchInCity(const Text& city, const Text& key, int pageIndex) {
  if (!key || pageIndex < 0 || (city && Length(*city) > 16) || Length(*key) > 99) return false;
  CAppSearch* search = Search();
  if (!search) return false;
  char cityName[40] = {};
  bool withCity = city && !city->empty();
  if (withCity) ToGbk(*city, cityName, 32);
  return search->PoiSearchInCity(Key(*key), -1, pageIndex, g_pageCapacity, withCity ? cityName : nullptr) !=
         0;
}

bool GMKSearch::poiSearchInbounds(const Text& key, CLLocationCoordinate2D leftBottom,
                                  CLLocationCoordinate2D rightTop, int pageIndex) {
  if (!key || pageIndex < 0 || Length(*key) > 99) return false;
  CAppSearch* search = Search();
  if (!search) return false;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  searchgeo::CoordinateToMercator(leftBottom, x1, y1);
  searchgeo::CoordinateToMercator(rightTop, x2, y2);
  return search->PoiSearchInBounds(Key(*key), x1, y1, x2, y2, -1, pageIndex, g_pageCapacity, nullptr) != 0;
}

bool GMKSearch::multiSearch(const std::optional<std::vector<Text>>& keys, double x1, double y1, double x2,
                            double y2, int pageIndex) {
  std::optional<std::string> joined = JoinKeys(keys);
  if (!joined) return false;
  CAppSearch* search = Search();
  if (!search) return false;
  return search->PoiMultiKeySearch(Key(*joined), static_cast<int>(keys->size()), x1, y1, x2, y2, -1,
                                   pageIndex, g_pageCapacity, nullptr) != 0;
}

bool GMKSearch::poiMultiSearchInbounds(const std::optional<std::vector<Text>>& keys,
                                       CLLocationCoordinate2D leftBottom, CLLocationCoordinate2D rightTop,
                                       int pageIndex) {
  if (!keys || pageIndex < 0) return false;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  searchgeo::CoordinateToMercator(leftBottom, x1, y1);
  searchgeo::CoordinateToMercator(rightTop, x2, y2);
  return multiSearch(keys, x1, y1, x2, y2, pageIndex);
}

bool GMKSearch::poiSearchNearBy(const Text& key, CLLocationCoordinate2D center, int radius, int pageIndex) {
  if (!key || radius < 1 || pageIndex < 0 || Length(*key) > 99) return false;
  CAppSearch* search = Search();
  if (!search) return false;
  double x = 0, y = 0;
  searchgeo::CoordinateToMercator(center, x, y);
  double r = radius;
  return search->PoiSearchInBounds(Key(*key), x - r, y - r, x + r, y + r, -1, pageIndex, g_pageCapacity,
                                   nullptr) != 0;
}

bool GMKSearch::poiMultiSearchNearBy(const std::optional<std::vector<Text>>& keys,
                                     CLLocationCoordinate2D center, int radius, int pageIndex) {
  if (!keys || radius < 1 || pageIndex < 0) return false;
  double x = 0, y = 0;
  searchgeo::CoordinateToMercator(center, x, y);
  double r = radius;
  return multiSearch(keys, x - r, y - r, x + r, y + r, pageIndex);
}

bool GMKSearch::transitSearch(const Text& city, const Node& startNode, const Node& endNode) {
  if (!ValidCity(city)) return false;
  auto valid = [](const Node& node) { return node && (ValidPoint(node->pt()) || ValidName(node)); };
  if (!valid(startNode) || !valid(endNode)) return false;
  CAppSearch* search = Search();
  if (!search) return false;
  tag_RouteNode start = RouteNode(startNode, ValidName(startNode));
  tag_RouteNode end = RouteNode(endNode, ValidName(endNode));
  char cityName[40] = {};
  ToGbk(*city, cityName, 32);
  return search->TransitSearch(start, end, static_cast<int>(transitPolicy_), -1, cityName) != 0;
}

bool GMKSearch::carRoute(bool driving, const Text& startCity, const Node& startNode, const Text& endCity,
                         const Node& endNode) {
  auto nameUsed = [](const Node& node, const Text& city) { return ValidName(node) && ValidCity(city); };
  auto valid = [&](const Node& node, const Text& city) {
    return node && (ValidPoint(node->pt()) || nameUsed(node, city));
  };
  if (!valid(startNode, startCity) || !valid(endNode, endCity)) return false;
  CAppSearch* search = Search();
  if (!search) return false;
  bool startName = nameUsed(startNode, startCity);
  bool endName = nameUsed(endNode, endCity);
  tag_RouteNode start = RouteNode(startNode, startName);
  tag_RouteNode end = RouteNode(endNode, endName);
  char startCityName[40] = {};
  char endCityName[40] = {};
  if (startName) ToGbk(*startCity, startCityName, 32);
  if (endName) ToGbk(*endCity, endCityName, 32);
  if (driving)
    return search->DrivingSearch(-1, -1, start, end, static_cast<int>(drivingPolicy_), startCityName,
                                 endCityName) != 0;
  return search->WalkingSearch(-1, -1, start, end, startCityName, endCityName) != 0;
}

bool GMKSearch::drivingSearch(const Text& startCity, const Node& startNode, const Text& endCity,
                              const Node& endNode) {
  return carRoute(true, startCity, startNode, endCity, endNode);
}

bool GMKSearch::walkingSearch(const Text& startCity, const Node& startNode, const Text& endCity,
                              const Node& endNode) {
  return carRoute(false, startCity, startNode, endCity, endNode);
}

bool GMKSearch::reverseGeocode(CLLocationCoordinate2D coordinate) {
  CAppSearch* search = Search();
  if (!search) return false;
  double x = 0, y = 0;
  searchgeo::CoordinateToMercator(coordinate, x, y);
  return search->ReverseGeocode(Saturate(x), Saturate(y)) != 0;
}

bool GMKSearch::geocode(const Text& address, const Text& city) {
  if (!address || Length(*address) < 1 || Length(*address) > 99) return false;
  CAppSearch* search = Search();
  if (!search) return false;
  char cityName[40] = {};
  bool withCity = ValidCity(city);
  if (withCity) ToGbk(*city, cityName, 32);
  return search->Geocode(Key(*address), -1, withCity ? cityName : nullptr) != 0;
}

bool GMKSearch::suggestionSearch(const Text& key) {
  if (!key || Length(*key) < 1 || Length(*key) > 99) return false;
  CAppSearch* search = Search();
  if (!search) return false;
  tag_GeoShapeInfo city;
  int cityCode = (search->GetCurrentCity(city) && city.cityCode != 0) ? city.cityCode : 131;
  return search->SuggestionSearch(Key(*key), cityCode, 0) != 0;
}

bool GMKSearch::busLineSearch(const Text& city, const Text& key) {
  if (!city || city->empty() || !key || key->empty()) {
    std::fprintf(stderr, "nil\n");
    return false;
  }
  if (Length(*city) > 16 || Length(*key) > 99) return false;
  CAppSearch* search = Search();
  if (!search) return false;
  char cityName[40] = {};
  ToGbk(*city, cityName, 32);
  return search->BusLineSearch(-1, Key(*key), cityName) != 0;
}

}  // namespace mapsdk
