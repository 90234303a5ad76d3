#include "tests/support/MapFixtureServer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ImageCodec.h"

namespace kavro::test {

namespace {

constexpr int kSide = 256;
constexpr std::uint32_t kLand = 0xF5F3F0;

struct Px {
  double x;
  double y;
};

bool readInt(std::string_view text, int& value) {
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::vector<std::string_view> split(std::string_view text, char sep) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(sep, start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string_view queryValue(std::string_view target, std::string_view name) {
  std::size_t q = target.find('?');
  if (q == std::string_view::npos) return {};
  for (std::string_view pair : split(target.substr(q + 1), '&')) {
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=') {
      return pair.substr(name.size() + 1);
    }
  }
  return {};
}

void putWord(std::string& out, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

double segmentDistance(Px p, Px a, Px b) {
  double dx = b.x - a.x, dy = b.y - a.y;
  double length = dx * dx + dy * dy;
  double t = length > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length, 0.0, 1.0) : 0.0;
  double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
  return std::sqrt(ex * ex + ey * ey);
}

bool insidePolygon(Px p, const std::vector<Px>& polygon) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Px& a = polygon[i];
    const Px& b = polygon[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

platform::Pixel pixelOf(std::uint32_t rgb, std::uint8_t alpha = 255) {
  return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
          static_cast<std::uint8_t>(rgb), alpha};
}

ScriptedResponse withStatus(int status) {
  ScriptedResponse response;
  response.status = status;
  return response;
}

std::uint32_t darker(std::uint32_t rgb) { return (rgb >> 1) & 0x7F7F7F; }

}  // namespace

std::optional<MapFixture> MapFixture::parse(std::string_view text) {
  MapFixture fixture;
  for (std::string_view line : split(text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::vector<std::string_view> words = split(line, ' ');
    if (words.size() < 4) return std::nullopt;
    Feature feature;
    if (words[0] == "area") {
      feature.kind = Kind::Area;
    } else if (words[0] == "road") {
      feature.kind = Kind::Road;
    } else if (words[0] == "point") {
      feature.kind = Kind::Point;
    } else {
      return std::nullopt;
    }
    auto colour = std::from_chars(words[1].data(), words[1].data() + words[1].size(), feature.colour, 16);
    if (colour.ec != std::errc() || !readInt(words[2], feature.width)) return std::nullopt;
    for (std::size_t i = 3; i < words.size(); ++i) {
      std::vector<std::string_view> xy = split(words[i], ',');
      int x = 0, y = 0;
      if (xy.size() != 2 || !readInt(xy[0], x) || !readInt(xy[1], y)) return std::nullopt;
      feature.points.emplace_back(x, y);
    }
    fixture.features.push_back(std::move(feature));
  }
  return fixture;
}

std::string MapFixtureServer::defaultFixturePath() {
  return (std::filesystem::path(KAVRO_SOURCE_DIR) / "tests" / "fixtures" / "map" / "demo_map.txt").string();
}

MapFixture MapFixtureServer::defaultFixture() {
  std::ifstream in(defaultFixturePath(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return MapFixture::parse(text.str()).value_or(MapFixture{});
}

MapFixtureServer::MapFixtureServer() : MapFixtureServer(defaultFixture()) {}

MapFixtureServer::MapFixtureServer(MapFixture fixture) : fixture_(std::move(fixture)) {
  server_.setHandler([this](const RecordedRequest& request) { return respond(request); });
}

std::string MapFixtureServer::tile(std::string_view type, int level, int column, int row) {
  {
    std::lock_guard lock(mutex_);
    auto replaced = replaced_.find({level, column, row});
    if (replaced != replaced_.end() && type != "tra") return replaced->second;
    auto cached = tiles_.find({std::string(type), level, column, row});
    if (cached != tiles_.end()) return cached->second;
  }
  const bool satellite = type == "sat";
  const bool traffic = type == "tra";
  const double upp = std::pow(2.0, 18 - std::clamp(level, 3, 18));
  const double left = static_cast<double>(column) * kSide * upp;
  const double top = (static_cast<double>(row) + 1) * kSide * upp;
  auto toPixel = [&](const std::pair<double, double>& p) {
    return Px{(p.first - left) / upp, (top - p.second) / upp};
  };

  auto bitmap = platform::Bitmap::create(kSide, kSide, traffic);
  if (!bitmap) return {};
  bitmap->fill(traffic ? platform::Pixel{} : pixelOf(satellite ? darker(kLand) : kLand));
  for (const MapFixture::Feature& feature : fixture_.features) {
    if (traffic && (feature.kind != MapFixture::Kind::Road || feature.width < 6)) continue;
    std::vector<Px> points;
    double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
    for (const auto& p : feature.points) {
      Px px = toPixel(p);
      points.push_back(px);
      minX = std::min(minX, px.x);
      maxX = std::max(maxX, px.x);
      minY = std::min(minY, px.y);
      maxY = std::max(maxY, px.y);
    }
    double reach = feature.width;
    if (points.empty() || maxX < -reach || minX > kSide + reach || maxY < -reach || minY > kSide + reach)
      continue;
    std::uint32_t colour = traffic ? 0x40C040 : (satellite ? darker(feature.colour) : feature.colour);
    platform::Pixel paint = pixelOf(colour);
    int x0 = std::max(0, static_cast<int>(std::floor(minX - reach)));
    int x1 = std::min(kSide - 1, static_cast<int>(std::ceil(maxX + reach)));
    int y0 = std::max(0, static_cast<int>(std::floor(minY - reach)));
    int y1 = std::min(kSide - 1, static_cast<int>(std::ceil(maxY + reach)));
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        Px centre{x + 0.5, y + 0.5};
        bool hit = false;
        switch (feature.kind) {
          case MapFixture::Kind::Area:
            hit = points.size() >= 3 && insidePolygon(centre, points);
            break;
          case MapFixture::Kind::Road:
            for (std::size_t i = 0; i + 1 < points.size() && !hit; ++i) {
              hit = segmentDistance(centre, points[i], points[i + 1]) <= feature.width / 2.0;
            }
            break;
          case MapFixture::Kind::Point:
            hit = segmentDistance(centre, points[0], points[0]) <= feature.width;
            break;
        }
        if (hit) bitmap->setPixel(x, y, paint);
      }
    }
  }
  platform::Data data =
      satellite ? platform::ImageCodec::encodeJPEG(*bitmap, 0.8) : platform::ImageCodec::encodePNG(*bitmap);
  std::string bytes(data.begin(), data.end());
  std::lock_guard lock(mutex_);
  tiles_[{std::string(type), level, column, row}] = bytes;
  return bytes;
}

std::string MapFixtureServer::buildBatch(const std::vector<std::optional<std::string>>& tiles) {
  const auto header = static_cast<std::int32_t>(8 + 8 * tiles.size());
  std::string out;
  putWord(out, header);
  putWord(out, static_cast<std::int32_t>(tiles.size()));
  std::int32_t offset = 0;
  for (const auto& tile : tiles) {
    putWord(out, tile ? offset : -1);
    putWord(out, tile ? static_cast<std::int32_t>(tile->size()) : 0);
    if (tile) offset += static_cast<std::int32_t>(tile->size());
  }
  for (const auto& tile : tiles) {
    if (tile) out += *tile;
  }
  return out;
}

std::string MapFixtureServer::batchAnswer(std::string_view type, int level,
                                          const std::vector<std::string>& keys) {
  std::vector<std::optional<std::string>> tiles;
  for (const std::string& key : keys) {
    std::vector<std::string_view> parts = split(key, '_');
    int column = 0, row = 0;
    if (parts.size() != 2 || !readInt(parts[0], column) || !readInt(parts[1], row)) {
      tiles.emplace_back(std::nullopt);
      continue;
    }
    tiles.emplace_back(tile(type, level, column, row));
  }
  return buildBatch(tiles);
}

void MapFixtureServer::replaceTile(int level, int column, int row, std::string bytes) {
  std::lock_guard lock(mutex_);
  replaced_[{level, column, row}] = std::move(bytes);
}

std::vector<std::string> MapFixtureServer::requestedKeys() const {
  std::vector<std::string> keys;
  for (const RecordedRequest& request : server_.requests()) {
    if (request.target.rfind("/tile/", 0) != 0) continue;
    for (std::string_view key : split(queryValue(request.target, "c"), ',')) keys.emplace_back(key);
  }
  return keys;
}

ScriptedResponse MapFixtureServer::respond(const RecordedRequest& request) {
  if (request.target.rfind("/tile/", 0) != 0) return withStatus(404);
  std::string_view type = queryValue(request.target, "type");
  int level = 0;
  if ((type != "map" && type != "sat" && type != "tra") || !readInt(queryValue(request.target, "l"), level)) {
    return withStatus(400);
  }
  std::vector<std::string> keys;
  for (std::string_view key : split(queryValue(request.target, "c"), ',')) keys.emplace_back(key);
  return ScriptedResponse::ok(batchAnswer(type, level, keys), {{"Content-Type", "application/octet-stream"}});
}

}  // namespace kavro::test
