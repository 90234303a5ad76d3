#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "demo/LoopbackHttpServer.h"

namespace kavro::test {

// A small map: areas, roads and points in engine map units.
struct MapFixture {
  enum class Kind { Area, Road, Point };
  struct Feature {
    Kind kind = Kind::Road;
    std::uint32_t colour = 0;  // 0xRRGGBB
    int width = 0;             // pixels
    std::vector<std::pair<double, double>> points;
  };
  std::vector<Feature> features;

  // The fixture text (one feature a line, see demo/data/map/demo_map.txt); none when a line
  // does not read.
  static std::optional<MapFixture> parse(std::string_view text);
};

// The demo map service on 127.0.0.1: answers tile batches ("/tile/?type=map|sat|tra&l=&c=keys")
// in the engine's batch format with tiles of a map generated at every place and level (streets,
// rivers, parks, buildings; mapsdk/README.md, "Formats and units"), the fixture's landmarks drawn
// over it (PNG street and traffic tiles, JPEG satellite tiles), the same bytes for the same tile
// every time. Tests may replace a tile's bytes or answer a batch with a scripted response. Its own
// threads; any thread.
class MapFixtureServer {
 public:
  MapFixtureServer();
  // With generated false the fixture is drawn on plain land (0xF5F3F0): small tiles, for tests of
  // the tile machinery that want one batch to hold a whole window.
  explicit MapFixtureServer(MapFixture fixture, bool generated = true);

  static std::string defaultFixturePath();
  static MapFixture defaultFixture();

  // "http://127.0.0.1:<port>", for platform::Environment::setMapHostUrl().
  std::string hostUrl() const { return server_.url(""); }

  // The bytes of one tile as the service sends it ("map", "sat" or "tra").
  std::string tile(std::string_view type, int level, int column, int row);
  // The batch answer for these keys ("%d_%d"); a key that does not read gets offset -1, and so do
  // the tiles after the answer has reached kBatchBytes (the client's buffer).
  static constexpr std::size_t kBatchBytes = 256000;
  std::string batchAnswer(std::string_view type, int level, const std::vector<std::string>& keys);
  static std::string buildBatch(const std::vector<std::optional<std::string>>& tiles);

  // From now on the tile answers these bytes instead of its picture.
  void replaceTile(int level, int column, int row, std::string bytes);
  // The next tile request gets this response instead.
  void enqueue(ScriptedResponse response) { server_.enqueue(std::move(response)); }

  // The keys of every tile request so far, in order.
  std::vector<std::string> requestedKeys() const;
  std::size_t requestCount() const { return server_.requestCount(); }
  LoopbackHttpServer& server() { return server_; }

 private:
  ScriptedResponse respond(const RecordedRequest& request);

  MapFixture fixture_;
  bool generated_ = true;
  mutable std::mutex mutex_;
  static constexpr std::size_t kKeptTiles = 2048;
  std::map<std::tuple<std::string, int, int, int>, std::string> tiles_;
  std::deque<std::tuple<std::string, int, int, int>> order_;
  std::map<std::tuple<int, int, int>, std::string> replaced_;
  LoopbackHttpServer server_;
};

}  // namespace kavro::test
