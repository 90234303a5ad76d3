// Decoding one 640 x 960 screen of map tiles (4 x 5 PNG tiles of the demo map) out of the tile
// cache into the layer's pixel buffers, against bare libpng decoding the same PNGs into a buffer.
// Reports the layer's speed as a share of bare libpng through bench/Ratio.h.
#include <png.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/Ratio.h"
#include "mapsdk/display/CGridLayer.h"
#include "mapsdk/display/CMapStatus.h"
#include "platform/foundation/Environment.h"
#include "tests/support/MapFixtureServer.h"

namespace {

using namespace mapsdk;

CMapStatus status;
std::vector<std::string> screenTiles;  // the PNGs of the screen, as cached
std::unique_ptr<CGridLayer> layer;

void Prepare() {
  status.SetLevel(12);
  status.SetWindow({0, 0, 640, 960});
  status.SetCenter(12958162, 4825907);
  status.UpdateBounds(status.KeptCols(), status.KeptRows());
  layer = std::make_unique<CGridLayer>();
  auto request = std::make_unique<GridReqEx>(GridKind::Street, &status);
  request->Init(status.KeptCols(), status.KeptRows(), 500, "Data.Index", "Grid.ca", false, true);
  GridReqEx* req = request.get();
  layer->SetRequest(std::move(request));
  layer->Update();  // lists the screen's tiles; nothing is cached yet, and no client asks
  kavro::test::MapFixtureServer service;
  gmengine::CVArray<gmengine::tagGirdData> tiles;
  for (const auto& tile : layer->Needed()) {
    screenTiles.push_back(service.tile("map", tile.level, tile.x, tile.y));
    tiles.Add(
        {tile.level, tile.x, tile.y, screenTiles.back().data(), static_cast<int>(screenTiles.back().size())});
  }
  req->Cache().AddGridData(tiles, 1);
}

void Layer_DecodeScreen(benchmark::State& state) {
  for (auto _ : state) {
    layer->Request()->FreeBuffers();  // forget the decoded pixels: every tile decodes again
    layer->Update();
    benchmark::DoNotOptimize(layer->Needed()[0].data);
  }
  if (layer->Needed().GetSize() != static_cast<int>(screenTiles.size())) state.SkipWithError("tiles missing");
  for (const auto& tile : layer->Needed()) {
    if (!tile.data) state.SkipWithError("a tile did not decode");
  }
}
BENCHMARK(Layer_DecodeScreen)->Unit(benchmark::kMillisecond);

void Bare_DecodeScreen(benchmark::State& state) {
  std::vector<std::uint8_t> pixels(256 * 256 * 4);
  for (auto _ : state) {
    for (const std::string& bytes : screenTiles) {
      png_image image{};
      image.version = PNG_IMAGE_VERSION;
      if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) continue;
      image.format = PNG_FORMAT_BGRA;
      png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
      benchmark::DoNotOptimize(pixels.data());
    }
  }
}
BENCHMARK(Bare_DecodeScreen)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path home =
      std::filesystem::temp_directory_path() / ("kavro_bench_tile_" + std::to_string(::getpid()));
  platform::Environment::setHomeRoot(home.string());
  std::filesystem::create_directories(platform::Environment::documentsPath());
  Prepare();

  kavro::bench::BestOfReporter reporter;
  kavro::bench::runBestOf(argc, argv, reporter, 5);
  // Also ends the console reporter's last coloured line, which a summary line must not share.
  std::printf("\nThe tile layer's decoding speed as a share of bare libpng's, best of the repetitions\n");
  using kavro::bench::figure;
  kavro::bench::reportRatio("tile layer decode 640x960 (" + std::to_string(screenTiles.size()) + " tiles)",
                            figure(reporter.timeNs("Layer_DecodeScreen") / 1e6, "ms"),
                            "libpng " + figure(reporter.timeNs("Bare_DecodeScreen") / 1e6, "ms"),
                            reporter.timeRatio("Layer_DecodeScreen", "Bare_DecodeScreen"), 0.7);
  layer.reset();
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return 0;
}
