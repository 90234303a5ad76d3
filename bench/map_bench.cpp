// A scripted pan across 20 screens of the map with a warm tile cache: every frame moves the map
// controller's centre by 64 pixels east (the street layer takes new tiles from the memory and file
// caches and decodes them) and draws the layers into the 640 x 960 back buffer. The peer draws the
// same frames with Cairo: the tiles that enter the view decoded from the same PNG bytes, kept while
// they stay, painted at the same places. Tiles are street tiles of realistic size (tens of
// kilobytes of PNG, bench/StreetTiles.h). Prints frames per second, the ratio ours/Cairo and the
// memory each holds after the pan.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <malloc.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/Ratio.h"
#include "bench/StreetTiles.h"
#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/display/TileKeyMap.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/raster/CVWnd.h"
#include "platform/foundation/Environment.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 960;
constexpr int kScreens = 20;
constexpr int kStep = 64;  // pixels a frame
constexpr int kFrames = kScreens * kWidth / kStep;

struct Tile {
  int column;
  int row;
  gmengine::_VRect rect;
};

struct Script {
  std::vector<std::pair<int, int>> centres;   // one a frame
  std::vector<std::vector<Tile>> frameTiles;  // what each frame shows
  std::map<std::string, std::string> png;     // the tiles' bytes by key
};

Script script;
std::unique_ptr<mapsdk::GMKMapManager> manager;
std::size_t baseline = 0;  // in use before the engine was built
double heldOurs = 0;
double heldCairo = 0;

std::size_t InUse() { return mallinfo2().uordblks; }

// The engine with a map window and controller, the caches warmed with every tile of the pan.
void Prepare() {
  baseline = InUse();
  static char home[] = "/tmp/kavro-map-bench-XXXXXX";
  if (!mkdtemp(home)) return;
  platform::Environment::setHomeRoot(home);
  manager = std::make_unique<mapsdk::GMKMapManager>();
  gmengine::initWindowAndMapControl({});  // no view: the bench reads the controller
  gmengine::CMapControlBlock* control = gmengine::MapControlOfEngine();
  gmengine::AdjustMapWindow(control, 0, 0, kWidth, kHeight);
  const int upp = mapsdk::CMapStatus::UnitsPerPixel(12);
  for (int frame = 0; frame < kFrames; ++frame) {
    const int x = gmengine::kInitialCenterX + frame * kStep * upp;
    script.centres.emplace_back(x, gmengine::kInitialCenterY);
    control->MoveTo(x, gmengine::kInitialCenterY, 0, 1, 0);
    gmengine::CVArray<gmengine::tagGirdData> missing;
    std::vector<Tile> tiles;
    for (const auto& tile : control->StreetLayer().Needed()) {
      const std::string key = mapsdk::TileKeyMap::KeyOf(tile.x, tile.y);
      auto [it, added] = script.png.try_emplace(key);
      if (added) it->second = kavro::bench::streetTile(12, tile.x, tile.y);
      if (!tile.data) {
        missing.Add({12, tile.x, tile.y, it->second.data(), static_cast<int>(it->second.size())});
      }
      const mapsdk::CMapStatus& s = control->Status();
      const int left = (tile.x - s.firstTileCol) * 256 - s.offsetX;
      const int top = (s.firstTileRow - tile.y) * 256 - s.offsetY;
      tiles.push_back({tile.x, tile.y, {left, top, left + 256, top + 256}});
    }
    control->StreetLayer().Request()->Cache().AddGridData(missing, 1);
    script.frameTiles.push_back(std::move(tiles));
  }
}

void Map_PanFrames(benchmark::State& state) {
  gmengine::CMapControlBlock* control = gmengine::MapControlOfEngine();
  gmengine::CVWnd* window = gmengine::GetMainGlobalMan()->mapWindow;
  for (auto _ : state) {
    for (const auto& [x, y] : script.centres) {
      control->MoveTo(x, y, 0, 1, 0);
      control->Draw(*window->GetDC());
    }
    benchmark::DoNotOptimize(window->GetBackBuffer());
  }
  int drawn = 0;
  for (const auto& tile : control->StreetLayer().Needed()) drawn += tile.data ? 1 : 0;
  if (drawn != control->StreetLayer().Needed().GetSize()) state.SkipWithError("tiles missing from the cache");
  // Everything since before the engine, less the pan's own input (the PNG bytes both sides read).
  std::size_t input = 0;
  for (const auto& [key, bytes] : script.png) input += bytes.capacity() + key.capacity();
  heldOurs = static_cast<double>(InUse()) - static_cast<double>(baseline) - static_cast<double>(input);
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

void Cairo_PanFrames(benchmark::State& state) {
  const std::size_t before = InUse();
  cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
  cairo_t* cr = cairo_create(target);
  std::map<std::string, cairo_surface_t*> kept;
  for (auto _ : state) {
    for (const std::vector<Tile>& tiles : script.frameTiles) {
      std::map<std::string, cairo_surface_t*> now;
      for (const Tile& tile : tiles) {
        const std::string key = mapsdk::TileKeyMap::KeyOf(tile.column, tile.row);
        auto it = kept.find(key);
        if (it != kept.end()) {
          now[key] = it->second;
          kept.erase(it);
        } else {
          PngReader reader{&script.png[key]};
          now[key] = cairo_image_surface_create_from_png_stream(ReadPng, &reader);
        }
      }
      for (auto& [key, surface] : kept) cairo_surface_destroy(surface);
      kept = std::move(now);
      cairo_set_source_rgb(cr, 0xF5 / 255.0, 0xF3 / 255.0, 0xF0 / 255.0);
      cairo_paint(cr);
      for (const Tile& tile : tiles) {
        cairo_set_source_surface(cr, kept[mapsdk::TileKeyMap::KeyOf(tile.column, tile.row)], tile.rect.left,
                                 tile.rect.top);
        cairo_paint(cr);
      }
    }
    cairo_surface_flush(target);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(target));
  }
  heldCairo = static_cast<double>(InUse()) - static_cast<double>(before);
  for (auto& [key, surface] : kept) cairo_surface_destroy(surface);
  cairo_destroy(cr);
  cairo_surface_destroy(target);
  state.counters["fps"] = benchmark::Counter(
      static_cast<double>(kFrames) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(Cairo_PanFrames)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) time_[run.benchmark_name()] = run.GetAdjustedRealTime();
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double ours = time_["Map_PanFrames"];
    const double cairo = time_["Cairo_PanFrames"];
    std::printf("\nmap pan of %d frames (20 screens, warm cache) against Cairo drawing the same tiles\n",
                kFrames);
    if (ours > 0 && cairo > 0) {
      std::printf("frames per second: ours %.0f, Cairo %.0f; speed ratio ours/Cairo %.2f\n",
                  kFrames * 1000.0 / ours, kFrames * 1000.0 / cairo, cairo / ours);
      kavro::bench::reportRatio(
          "map pan, 20 screens, warm cache", kavro::bench::figure(kFrames * 1000.0 / ours, "fps"),
          "Cairo " + kavro::bench::figure(kFrames * 1000.0 / cairo, "fps"), cairo / ours, 1.0);
    }
    std::printf("memory held after the pan: ours %.1f MB (tile caches and buffers), Cairo %.1f MB\n",
                heldOurs / 1e6, heldCairo / 1e6);
  }

 private:
  std::map<std::string, double> time_;
};

}  // namespace

int main(int argc, char** argv) {
  Prepare();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  manager.reset();
  return 0;
}
