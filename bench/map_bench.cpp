// Map pans against Cairo drawing the same tiles, with street tiles of the demo map service (level 15:
// streets, parks and buildings, tens of kilobytes of PNG each, palette or RGB as the service sends
// them). 96 pictures are taken from the
// service at their own places; every other place shows one of them chosen by a hash of its column
// and row, so the caches see every place as a new tile while the bytes stay those of real tiles.
//
// Speed: a scripted pan across 20 screens with a warm cache. Every frame moves the map controller's
// centre by 64 pixels east (the street layer takes new tiles from the memory and file caches and
// decodes them) and draws the layers into the 640 x 960 back buffer. The peer draws the same frames
// with Cairo: the tiles that enter the view decoded from the same PNG bytes, kept while they stay,
// painted at the same places.
//
// Memory: a pan of 2,000 screens east, a tile column a frame, every tile a new one, so that every
// cache fills and has to evict. Before each frame the tiles entering the view arrive as from the
// network (into the memory and file caches; not timed); Cairo decodes them from the same bytes. The
// memory held is the allocator's bytes in use (mallinfo2: heap in use plus mapped blocks), taken
// after 20, 200 and 2,000 screens: ours counts everything since before the engine was built, Cairo's
// everything since before its surface was made.
//
// Pins: a map view given pins one call at a time, as a page of search results comes, and shown at
// the end of that turn of the run loop: the per-pin cost of 2,560 pins against 128 turns of 20
// (each turn then takes its pins away again, untimed), the two sides taking turns, each keeping its
// fastest. Goal: within 1.2x.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <malloc.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/Ratio.h"
#include "demo/MapFixtureServer.h"
#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/display/GMKPointAnnotation.h"
#include "mapsdk/display/MapControlBlock.h"
#include "mapsdk/display/TileKeyMap.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/raster/CVWnd.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 960;
constexpr int kLevel = 15;
constexpr int kScreens = 20;
constexpr int kStep = 64;  // pixels a frame
constexpr int kFrames = kScreens * kWidth / kStep;
constexpr int kLongScreens = 2000;
constexpr int kLongStep = 256;  // a tile column a frame
constexpr int kLongFrames = kLongScreens * kWidth / kLongStep;
constexpr int kCheckpoints[] = {20, 200, kLongScreens};  // screens
constexpr int kPool = 96;                                // distinct pictures among the tiles

struct Tile {
  int column;
  int row;
  gmengine::_VRect rect;
};

std::vector<std::string> pool;  // demo service tiles
std::size_t poolBytes = 0;
int palettePngs = 0;  // of the pool: the rest are RGB

const std::string& TileBytes(int column, int row) {
  const auto h = static_cast<std::uint32_t>(column) * 2654435761u ^ static_cast<std::uint32_t>(row) * 40503u;
  return pool[h % pool.size()];
}

// The map status of the pans: the window at the level, as the engine's is.
mapsdk::CMapStatus PanStatus() {
  mapsdk::CMapStatus s;
  s.SetLevel(kLevel);
  s.SetWindow({0, 0, kWidth, kHeight});
  return s;
}

// The window's tiles at a centre, placed in back-buffer pixels, as the street layer lists them.
std::vector<Tile> WindowTiles(const mapsdk::CMapStatus& current, int x, int y) {
  mapsdk::CMapStatus s = current;
  s.SetCenter(x, y);
  s.UpdateBounds(s.KeptCols(), s.KeptRows());
  const gmengine::_VRect range = s.WindowTileRange();
  std::vector<Tile> tiles;
  for (int row = range.top; row >= range.bottom; --row) {
    for (int column = range.left; column <= range.right; ++column) {
      const int left = (column - s.firstTileCol) * 256 - s.offsetX;
      const int top = (s.firstTileRow - row) * 256 - s.offsetY;
      tiles.push_back({column, row, {left, top, left + 256, top + 256}});
    }
  }
  return tiles;
}

std::vector<std::pair<int, int>> centres;   // one a frame of the short pan
std::vector<std::vector<Tile>> frameTiles;  // what each of its frames shows
std::unique_ptr<mapsdk::GMKMapManager> manager;
std::size_t baseline = 0;  // in use before the engine was built
double heldOurs[std::size(kCheckpoints)] = {};
double heldCairo[std::size(kCheckpoints)] = {};

std::size_t InUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

gmengine::CMapControlBlock* Control() { return gmengine::MapControlOfEngine(); }

// Hands the tiles at a centre that were not handed over lately to the street layer's caches, as an
// answer from the map service would. fed remembers the last ones handed over.
void Feed(const std::vector<Tile>& tiles, std::deque<std::pair<int, int>>& fed) {
  gmengine::CVArray<gmengine::tagGirdData> arriving;
  for (const Tile& tile : tiles) {
    if (std::find(fed.begin(), fed.end(), std::make_pair(tile.column, tile.row)) != fed.end()) continue;
    const std::string& bytes = TileBytes(tile.column, tile.row);
    arriving.Add(
        {kLevel, tile.column, tile.row, const_cast<char*>(bytes.data()), static_cast<int>(bytes.size())});
    fed.emplace_back(tile.column, tile.row);
    if (fed.size() > 64) fed.pop_front();
  }
  if (!arriving.IsEmpty()) Control()->StreetLayer().Request()->Cache().AddGridData(arriving, 1);
}

// The demo service's tiles and the short pan's frames; then the engine with a map window and
// controller, the caches warmed with every tile of the short pan.
void Prepare() {
  {
    kavro::test::MapFixtureServer service;
    const int upp = mapsdk::CMapStatus::UnitsPerPixel(kLevel);
    const int column = gmengine::kInitialCenterX / (upp * 256);
    const int row = gmengine::kInitialCenterY / (upp * 256);
    for (int i = 0; i < kPool; ++i) {
      pool.push_back(service.tile("map", kLevel, column + i % 24, row + i / 24));
      poolBytes += pool.back().size();
      palettePngs += pool.back().size() > 25 && pool.back()[25] == 3;
    }
  }
  static char home[] = "/tmp/kavro-map-bench-XXXXXX";
  if (!mkdtemp(home)) return;
  platform::Environment::setHomeRoot(home);
  // The script is the benchmark's, not the engine's: made before the baseline.
  const int upp = mapsdk::CMapStatus::UnitsPerPixel(kLevel);
  for (int frame = 0; frame < kFrames; ++frame) {
    const int x = gmengine::kInitialCenterX + frame * kStep * upp;
    centres.emplace_back(x, gmengine::kInitialCenterY);
    frameTiles.push_back(WindowTiles(PanStatus(), x, gmengine::kInitialCenterY));
  }
  baseline = InUse();
  manager = std::make_unique<mapsdk::GMKMapManager>();
  gmengine::initWindowAndMapControl({});  // no view: the bench reads the controller
  gmengine::CMapControlBlock* control = Control();
  gmengine::AdjustMapWindow(control, 0, 0, kWidth, kHeight);
  control->SetLevel(kLevel, 0, 0, 0);
  std::deque<std::pair<int, int>> fed;
  for (std::size_t frame = 0; frame < centres.size(); ++frame) {
    Feed(frameTiles[frame], fed);
    control->MoveTo(centres[frame].first, centres[frame].second, 0, 1, 0);
  }
}

void Map_PanFrames(benchmark::State& state) {
  gmengine::CMapControlBlock* control = Control();
  gmengine::CVWnd* window = gmengine::GetMainGlobalMan()->mapWindow;
  for (auto _ : state) {
    for (const auto& [x, y] : centres) {
      control->MoveTo(x, y, 0, 1, 0);
      control->Draw(*window->GetDC());
    }
    benchmark::DoNotOptimize(window->GetBackBuffer());
  }
  int drawn = 0;
  for (const auto& tile : control->StreetLayer().Needed()) drawn += tile.data ? 1 : 0;
  if (drawn != control->StreetLayer().Needed().GetSize()) state.SkipWithError("tiles missing from the cache");
  state.counters["fps"] = benchmark::Counter(
      static_cast<double>(kFrames) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(Map_PanFrames)->Unit(benchmark::kMillisecond);

struct PngReader {
  const std::string* bytes;
  std::size_t at = 0;
};

cairo_status_t ReadPng(void* closure, unsigned char* data, unsigned int length) {
  auto* reader = static_cast<PngReader*>(closure);
  if (reader->at + length > reader->bytes->size()) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, reader->bytes->data() + reader->at, length);
  reader->at += length;
  return CAIRO_STATUS_SUCCESS;
}

// Cairo's side of a pan: a target surface and the decoded tiles of the last frame.
class CairoPan {
 public:
  CairoPan()
      : target_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight)),
        cr_(cairo_create(target_)) {}
  ~CairoPan() {
    for (auto& [key, surface] : kept_) cairo_surface_destroy(surface);
    cairo_destroy(cr_);
    cairo_surface_destroy(target_);
  }
  CairoPan(const CairoPan&) = delete;
  CairoPan& operator=(const CairoPan&) = delete;

  void Frame(const std::vector<Tile>& tiles) {
    std::map<std::pair<int, int>, cairo_surface_t*> now;
    for (const Tile& tile : tiles) {
      const std::pair<int, int> key{tile.column, tile.row};
      auto it = kept_.find(key);
      if (it != kept_.end()) {
        now[key] = it->second;
        kept_.erase(it);
      } else {
        PngReader reader{&TileBytes(tile.column, tile.row)};
        now[key] = cairo_image_surface_create_from_png_stream(ReadPng, &reader);
      }
    }
    for (auto& [key, surface] : kept_) cairo_surface_destroy(surface);
    kept_ = std::move(now);
    cairo_set_source_rgb(cr_, 0xF5 / 255.0, 0xF3 / 255.0, 0xF0 / 255.0);
    cairo_paint(cr_);
    for (const Tile& tile : tiles) {
      cairo_set_source_surface(cr_, kept_[{tile.column, tile.row}], tile.rect.left, tile.rect.top);
      cairo_paint(cr_);
    }
  }
  unsigned char* Pixels() {
    cairo_surface_flush(target_);
    return cairo_image_surface_get_data(target_);
  }

 private:
  cairo_surface_t* target_;
  cairo_t* cr_;
  std::map<std::pair<int, int>, cairo_surface_t*> kept_;
};

void Cairo_PanFrames(benchmark::State& state) {
  CairoPan pan;
  for (auto _ : state) {
    for (const std::vector<Tile>& tiles : frameTiles) pan.Frame(tiles);
    benchmark::DoNotOptimize(pan.Pixels());
  }
  state.counters["fps"] = benchmark::Counter(
      static_cast<double>(kFrames) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(Cairo_PanFrames)->Unit(benchmark::kMillisecond);

// The long pan's centre at a frame: from where the short pan began, east.
int LongX(int frame) {
  return gmengine::kInitialCenterX + frame * kLongStep * mapsdk::CMapStatus::UnitsPerPixel(kLevel);
}

bool AtCheckpoint(int frame, std::size_t& next) {
  if (next >= std::size(kCheckpoints) || (frame + 1) * kLongStep < kCheckpoints[next] * kWidth) return false;
  ++next;
  return true;
}

void Map_PanMemory(benchmark::State& state) {
  gmengine::CMapControlBlock* control = Control();
  gmengine::CVWnd* window = gmengine::GetMainGlobalMan()->mapWindow;
  const mapsdk::CMapStatus status = PanStatus();
  for (auto _ : state) {
    std::deque<std::pair<int, int>> fed;
    std::size_t next = 0;
    for (int frame = 0; frame < kLongFrames; ++frame) {
      const int x = LongX(frame);
      state.PauseTiming();
      Feed(WindowTiles(status, x, gmengine::kInitialCenterY), fed);
      state.ResumeTiming();
      control->MoveTo(x, gmengine::kInitialCenterY, 0, 1, 0);
      control->Draw(*window->GetDC());
      if (AtCheckpoint(frame, next)) {
        heldOurs[next - 1] = static_cast<double>(InUse()) - static_cast<double>(baseline);
      }
    }
    benchmark::DoNotOptimize(window->GetBackBuffer());
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(kLongFrames) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(Map_PanMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);

void Cairo_PanMemory(benchmark::State& state) {
  const mapsdk::CMapStatus status = PanStatus();
  for (auto _ : state) {
    const std::size_t before = InUse();
    CairoPan pan;
    std::size_t next = 0;
    for (int frame = 0; frame < kLongFrames; ++frame) {
      state.PauseTiming();
      const std::vector<Tile> tiles = WindowTiles(status, LongX(frame), gmengine::kInitialCenterY);
      state.ResumeTiming();
      pan.Frame(tiles);
      if (AtCheckpoint(frame, next)) {
        heldCairo[next - 1] = static_cast<double>(InUse()) - static_cast<double>(before);
      }
    }
    benchmark::DoNotOptimize(pan.Pixels());
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(kLongFrames) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(Cairo_PanMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);

// ---- Pins ----

constexpr int kManyPins = 2560;
constexpr int kFewPins = 20;

// The pins of one search spread over the visible map, a grid of them.
std::vector<std::shared_ptr<mapsdk::GMKAnnotation>> Pins(const mapsdk::GMKMapView& view, int n) {
  std::vector<std::shared_ptr<mapsdk::GMKAnnotation>> pins;
  const platform::Size size = view.bounds().size;
  for (int i = 0; i < n; ++i) {
    auto pin = std::make_shared<mapsdk::GMKPointAnnotation>();
    pin->setCoordinate(view.convertPointToCoordinate(
        {size.width * ((i * 37) % 101 + 0.5) / 101, size.height * ((i * 53) % 97 + 0.5) / 97}));
    pins.push_back(std::move(pin));
  }
  return pins;
}

// Adds the pins one call at a time and lets the turn of the run loop end; the time it took.
double AddPinsOneByOne(mapsdk::GMKMapView& view,
                       const std::vector<std::shared_ptr<mapsdk::GMKAnnotation>>& pins, std::size_t first,
                       std::size_t n) {
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = first; i < first + n; ++i) view.addAnnotation(pins[i]);
  platform::RunLoop::main().runOnce(0);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  view.removeAnnotations({pins.begin() + static_cast<std::ptrdiff_t>(first),
                          pins.begin() + static_cast<std::ptrdiff_t>(first + n)});
  platform::RunLoop::main().runOnce(0);
  return took.count();
}

void Map_PinsPerPinInTurns(benchmark::State& state) {
  // The view shows the engine window at the pans' size: 640 x 960 pixels on the default screen.
  auto view = mapsdk::GMKMapView::create(platform::Rect(0, 0, kWidth / 2, kHeight / 2));
  if (!view) {
    state.SkipWithError("no map view");
    return;
  }
  const auto pins = Pins(*view, kManyPins);
  double fastest[2] = {1e300, 1e300};
  int round = 0;
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      const bool isLong = (round + k) % 2 == 0;
      double took = 0;
      if (isLong)
        took = AddPinsOneByOne(*view, pins, 0, kManyPins);
      else
        for (int first = 0; first < kManyPins; first += kFewPins)
          took += AddPinsOneByOne(*view, pins, first, kFewPins);
      fastest[isLong] = std::min(fastest[isLong], took);
    }
    ++round;
  }
  if (!view->annotations().empty()) state.SkipWithError("pins left on the map");
  state.counters["long"] = kManyPins / fastest[1];
  state.counters["short"] = kManyPins / fastest[0];
  view.reset();
  gmengine::AdjustMapWindow(Control(), 0, 0, kWidth, kHeight);
}
BENCHMARK(Map_PinsPerPinInTurns)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  Prepare();
  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(argc, argv, reporter, 5);
  const double ours = reporter.timeNs("Map_PanFrames");
  const double cairo = reporter.timeNs("Cairo_PanFrames");
  std::printf(
      "\nmap pan of %d frames (20 screens, warm cache, level %d tiles of %.1f KB on average) against "
      "Cairo drawing the same tiles; the service's mix: %d palette and %d RGB PNGs\n",
      kFrames, kLevel, static_cast<double>(poolBytes) / static_cast<double>(pool.size()) / 1e3, palettePngs,
      static_cast<int>(pool.size()) - palettePngs);
  if (ours > 0 && cairo > 0) {
    std::printf("frames per second: ours %.0f, Cairo %.0f; speed ratio ours/Cairo %.2f\n",
                kFrames * 1e9 / ours, kFrames * 1e9 / cairo, cairo / ours);
    kavro::bench::reportRatio(
        "map pan, 20 screens, warm cache", kavro::bench::figure(kFrames * 1e9 / ours, "fps"),
        "Cairo " + kavro::bench::figure(kFrames * 1e9 / cairo, "fps"), cairo / ours, 1.0);
  }
  std::printf("\nmap pan of %d screens, every tile new (%d frames): memory held (allocator bytes in use)\n",
              kLongScreens, kLongFrames);
  std::printf("frames per second (a new tile column decoded every frame): ours %.0f, Cairo %.0f\n",
              reporter.counter("Map_PanMemory", "fps"), reporter.counter("Cairo_PanMemory", "fps"));
  std::printf("%10s %12s %12s %8s\n", "screens", "ours MB", "Cairo MB", "ratio");
  for (std::size_t i = 0; i < std::size(kCheckpoints); ++i) {
    std::printf("%10d %12.1f %12.1f %8.2f\n", kCheckpoints[i], heldOurs[i] / 1e6, heldCairo[i] / 1e6,
                heldCairo[i] > 0 ? heldOurs[i] / heldCairo[i] : 0.0);
  }
  const double o = heldOurs[std::size(kCheckpoints) - 1];
  const double c = heldCairo[std::size(kCheckpoints) - 1];
  if (o > 0 && c > 0) {
    // Higher is better in the summary: Cairo's bytes over ours; at most 1.5x Cairo's is 0.67.
    kavro::bench::reportRatio("map pan memory held, 2,000 screens", kavro::bench::figure(o / 1e6, "MB"),
                              "Cairo " + kavro::bench::figure(c / 1e6, "MB"), c / o, 1 / 1.5);
  }
  const double perPin = reporter.counter("Map_PinsPerPinInTurns", "long");
  const double basePerPin = reporter.counter("Map_PinsPerPinInTurns", "short");
  if (perPin > 0 && basePerPin > 0) {
    kavro::bench::reportRatio(
        "map pins added one by one, per-pin cost, 2,560 pins", kavro::bench::figure(1e6 / perPin, "us/pin"),
        "same at 20 pins " + kavro::bench::figure(1e6 / basePerPin, "us/pin"), perPin / basePerPin, 1 / 1.2);
  }
  manager.reset();
  return 0;
}
