#pragma once
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapsdk/offline/COLUpdateRecord.h"
#include "demo/MapFixtureServer.h"

namespace kavro::test {

// The demo map service beyond its tiles: the offline city list of the demo city (type 507),
// keyword searches ("?qt=con", "?qt=bd2", "?qt=bda") answer three places around the middle of the
// bounds asked about (kPlaces, when that is the default centre), driving routes ("?qt=nav",
// "?qt=nse") a route from the start point to the end point, background requests ("?qt=bkg_data_ex")
// the small places of every tile asked for (SmallPlaces). Offline batches (request numbers of
// 1000000 and up) come from the same tiles; with refuseMapTiles the map's own batches are refused,
// as if the network were gone while a download had already got its tiles. Shared by the tests and
// the runner.
class MapDemoService {
 public:
  // The places, in engine map units.
  struct Place {
    const char* name;
    int x;
    int y;
  };
  static constexpr Place kPlaces[] = {
      {"Harbour Coffee", 12958162 + 6400, 4825907 + 3200},
      {"Station Coffee", 12958162 - 9600, 4825907 - 6400},
      {"Park Coffee", 12958162 + 3200, 4825907 - 9600},
  };

  // The demo city: one package, the level-11 tile under the default centre (12958162, 4825907)
  // and its descendants down to level 17, asked for as a finished city so that starting it
  // downloads it afresh.
  static constexpr int kDemoCityId = 131;
  static gmengine::COLUpdateRecord DemoCity() {
    gmengine::COLUpdateRecord city;
    for (gmengine::COLUpdateElement* half : {&city.local, &city.server}) {
      half->id = kDemoCityId;
      half->name = gmengine::CVString("Demo City");
      half->size = 5461 * 1024;
      half->x = 12958162;
      half->y = 4825907;
      half->dataVersion = half->mapVersion = half->cityVersion = gmengine::CVString("1");
      half->baseLevel = half->firstLevel = 11;
      half->lastLevel = 17;
      half->state = gmengine::OfflineCityState::Finished;
      half->packages.Add(gmengine::CVString("395_147"));
    }
    return city;
  }

  explicit MapDemoService(MapFixtureServer& server) : server_(server) {
    server_.server().setHandler([this](const RecordedRequest& request) { return respond(request); });
  }
  // The server hands its requests to this service: it stops (its threads joined) before the
  // service goes, so that no answer in the making reaches a service that is gone.
  ~MapDemoService() { server_.server().stop(); }
  MapDemoService(const MapDemoService&) = delete;
  MapDemoService& operator=(const MapDemoService&) = delete;

  std::atomic<bool> refuseMapTiles{false};
  // Background answers list no tiles at all (a service without small places there).
  std::atomic<bool> withholdSmallPlaces{false};

  static std::string query(std::string_view target, std::string_view name) {
    std::size_t q = target.find('?');
    while (q != std::string_view::npos) {
      std::size_t end = target.find('&', q + 1);
      std::string_view pair = target.substr(q + 1, end == std::string_view::npos ? end : end - q - 1);
      if (pair.substr(0, name.size()) == name && pair.size() > name.size() && pair[name.size()] == '=') {
        return std::string(pair.substr(name.size() + 1));
      }
      q = end;
    }
    return "";
  }
  // A geometry text of points (hundredths of a map unit) in the answers' line form.
  static std::string Geo(const std::vector<std::pair<int, int>>& points) {
    std::string text(32, 'L');
    text += "-";
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (i) text += ",";
      text += std::to_string(static_cast<long long>(points[i].first) * 100) + "," +
              std::to_string(static_cast<long long>(points[i].second) * 100);
    }
    return text;
  }

 private:
  static ScriptedResponse Json(std::string body) {
    return ScriptedResponse::ok(std::move(body), {{"Content-Type", "application/json; charset=utf-8"}});
  }

  ScriptedResponse respond(const RecordedRequest& request) {
    const std::string& target = request.target;
    if (target.rfind("/tile/", 0) == 0) {
      const std::string type = query(target, "type");
      const int level = std::atoi(query(target, "l").c_str());
      const long long tick = std::atoll(query(target, "tick").c_str());
      if (refuseMapTiles && tick < 1000000) {
        ScriptedResponse refused;
        refused.status = 503;
        return refused;
      }
      std::vector<std::string> keys;
      std::string list = query(target, "c");
      for (std::size_t at = 0; at <= list.size();) {
        std::size_t comma = list.find(',', at);
        if (comma == std::string::npos) comma = list.size();
        keys.push_back(list.substr(at, comma - at));
        at = comma + 1;
      }
      return ScriptedResponse::ok(server_.batchAnswer(type == "" ? "map" : type, level, keys),
                                  {{"Content-Type", "application/octet-stream"}});
    }
    const std::string qt = query(target, "qt");
    if (target.rfind("/offlinemap/", 0) == 0 && qt == "taskcity" && !query(target, "c").empty()) {
      return Json(R"({"result":{"type":507,"error":0},"content":[{"name":"Demo City","cityid":"131",
        "task":"395_147","size":5592064,"center_x":"12958162","center_y":"4825907","l":"11","ls":"11",
        "le":"17","cityver":"1"}]})");
    }
    if (qt == "con" || qt == "bd2" || qt == "bda") {
      // The places lie around the middle of the bounds asked about (the default centre without).
      auto [cx, cy] = BoundsCentre(Decoded(query(target, "b")));
      std::string body = R"({"result":{"type":11,"total":3},"content":[)";
      for (std::size_t i = 0; i < std::size(kPlaces); ++i) {
        if (i) body += ",";
        const int x = cx + (kPlaces[i].x - kDefaultX), y = cy + (kPlaces[i].y - kDefaultY);
        body += R"({"name":")" + std::string(kPlaces[i].name) + R"(","uid":"demo)" + std::to_string(i) +
                R"(","poiType":0,"geo":")" + Geo({{x, y}}) + R"(","addr":"Demo Road"})";
      }
      return Json(body + "]}");
    }
    if (qt == "bkg_data_ex")
      return Json(BackgroundAnswer(Decoded(query(target, "wd")), std::atoi(query(target, "l").c_str()),
                                   withholdSmallPlaces ? std::string() : query(target, "xy")));
    if (qt == "nav" || qt == "nse") {
      // From the start point to the end point: north (or south), then east (or west).
      auto from = RoutePoint(Decoded(query(target, "sn")));
      auto to = RoutePoint(Decoded(query(target, "en")));
      const std::pair<int, int> a = from.value_or(std::make_pair(kPlaces[1].x, kPlaces[1].y));
      const std::pair<int, int> b = to.value_or(std::make_pair(kPlaces[0].x, kPlaces[0].y));
      const long long distance = std::llabs(static_cast<long long>(b.first) - a.first) +
                                 std::llabs(static_cast<long long>(b.second) - a.second);
      return Json(R"({"result":{"type":20,"total":1},"start":{"wd":"Station","pt":")" + Geo({a}) +
                  R"("},"end":[{"wd":"Harbour","pt":")" + Geo({b}) + R"("}],
        "content":{"dis":)" +
                  std::to_string(distance) +
                  R"(,"kps":[{"rt":1,"tt":13},{"rt":2}],
        "rss":[{"d":0},{"n":"Demo Road","d":)" +
                  std::to_string(distance) + R"(,"g":")" +
                  Geo({{a.first, a.second}, {a.first, b.second}, {b.first, b.second}}) + R"("},{"d":0}]}})");
    }
    ScriptedResponse missing;
    missing.status = 404;
    return missing;
  }

  // The small places of one tile: kPlacesPerTile of them, at the same spots of the same tile every
  // time, each at least a tenth of the tile away from its edges.
 public:
  static constexpr int kPlacesPerTile = 3;
  struct SmallPlace {
    std::string name;
    std::string uid;
    long long x;
    long long y;
  };
  static std::vector<SmallPlace> SmallPlaces(int level, int column, int row) {
    static constexpr const char* kKinds[] = {"Bakery", "Pharmacy", "Bookshop", "Bank", "Post Office", "Gym"};
    std::vector<SmallPlace> places;
    if (level < 3 || level > 18) return places;
    const long long side = 256LL << (18 - level);
    std::uint32_t h = static_cast<std::uint32_t>(level) * 2654435761u ^
                      static_cast<std::uint32_t>(column) * 40503u ^
                      static_cast<std::uint32_t>(row) * 2246822519u;
    auto next = [&h] {
      h ^= h << 13;
      h ^= h >> 17;
      h ^= h << 5;
      return h;
    };
    for (int i = 0; i < kPlacesPerTile; ++i) {
      const long long fx = 10 + next() % 81, fy = 10 + next() % 81;  // percent of the tile
      SmallPlace place;
      place.name = std::string(kKinds[next() % std::size(kKinds)]) + " " + std::to_string(i + 1);
      place.uid = "bkg" + std::to_string(level) + "_" + std::to_string(column) + "_" + std::to_string(row) +
                  "_" + std::to_string(i);
      place.x = column * side + side * fx / 100;
      place.y = row * side + side * fy / 100;
      places.push_back(std::move(place));
    }
    return places;
  }

 private:
  // The background answer: the word asked, and for every tile of "xy" ("column_row" joined by ",",
  // at most 100 of them) its places.
  static std::string BackgroundAnswer(const std::string& word, int level, const std::string& xy) {
    std::string tiles;
    int count = 0;
    for (std::size_t at = 0; at < xy.size() && count < 100;) {
      std::size_t comma = xy.find(',', at);
      if (comma == std::string::npos) comma = xy.size();
      int column = 0, row = 0;
      if (std::sscanf(xy.substr(at, comma - at).c_str(), "%d_%d", &column, &row) == 2) {
        std::string uids;
        for (const SmallPlace& place : SmallPlaces(level, column, row)) {
          uids += std::string(uids.empty() ? "" : ",") + R"({"x":)" + std::to_string(place.x) + R"(,"y":)" +
                  std::to_string(place.y) + R"(,"uid":")" + place.uid + R"(","name":")" + place.name +
                  R"("})";
        }
        tiles += std::string(tiles.empty() ? "" : ",") + R"({"tileid":")" + std::to_string(level) + "_" +
                 std::to_string(column) + "_" + std::to_string(row) + R"(","uids":[)" + uids + "]}";
        ++count;
      }
      at = comma + 1;
    }
    std::string escaped;
    for (char c : word) {
      if (c == '"' || c == '\\') escaped += '\\';
      if (static_cast<unsigned char>(c) >= 0x20) escaped += c;
    }
    return R"({"result":{"type":510,"error":0,"wd":")" + escaped + R"(","count":)" + std::to_string(count) +
           R"(},"content":[)" + tiles + "]}";
  }

  static constexpr int kDefaultX = 12958162;
  static constexpr int kDefaultY = 4825907;

  static std::string Decoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
          std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
        out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
        i += 2;
      } else {
        out.push_back(text[i] == '+' ? ' ' : text[i]);
      }
    }
    return out;
  }
  // "(left,bottom;right,top)": its middle; the default centre when it does not read or is empty.
  static std::pair<int, int> BoundsCentre(const std::string& bounds) {
    long long l = 0, b = 0, r = 0, t = 0;
    if (std::sscanf(bounds.c_str(), "(%lld,%lld;%lld,%lld)", &l, &b, &r, &t) != 4 &&
        std::sscanf(bounds.c_str(), "%lld,%lld;%lld,%lld", &l, &b, &r, &t) != 4) {
      return {kDefaultX, kDefaultY};
    }
    if (l == r && b == t) return {kDefaultX, kDefaultY};
    return {static_cast<int>((l + r) / 2), static_cast<int>((b + t) / 2)};
  }
  // A route end "1$$x,y$$name": its point.
  static std::optional<std::pair<int, int>> RoutePoint(const std::string& end) {
    long long x = 0, y = 0;
    if (std::sscanf(end.c_str(), "1$$%lld,%lld", &x, &y) != 2) return std::nullopt;
    return std::make_pair(static_cast<int>(x), static_cast<int>(y));
  }

  MapFixtureServer& server_;
};

}  // namespace kavro::test
