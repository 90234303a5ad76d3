#include "mapsdk/display/LayerStyles.h"

#include <memory>
#include <vector>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/raster/CDataDisp.h"
#include "mapsdk/raster/CVBitmap.h"
#include "mapsdk/raster/VRaster.h"

namespace mapsdk::layerstyles {

using gmengine::LineStyle;
using gmengine::PenStyle;
using gmengine::PointStyle;

namespace {

// A square mark with a white rim two pixels wide.
std::vector<std::uint32_t> Mark(int side, std::uint32_t color) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side * side), 0xFFFFFFFFu);
  for (int y = 2; y < side - 2; ++y) {
    for (int x = 2; x < side - 2; ++x) pixels[static_cast<std::size_t>(y * side + x)] = color;
  }
  return pixels;
}

// A round dot with a white rim; outside the circle the icon is transparent.
std::shared_ptr<gmengine::CVBitmap> Dot(int side, std::uint32_t color) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side * side), 0xFFFFFFFFu);
  std::vector<std::uint8_t> alpha(static_cast<std::size_t>(side * side), 0);
  const double c = (side - 1) / 2.0, outer = side / 2.0, inner = outer - 1.5;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const double d2 = (x - c) * (x - c) + (y - c) * (y - c);
      const auto i = static_cast<std::size_t>(y * side + x);
      if (d2 <= inner * inner) pixels[i] = color;
      if (d2 <= outer * outer) alpha[i] = 255;
    }
  }
  // The wrapper does not own an attached block: the icon frees it when the table lets it go.
  std::shared_ptr<gmengine::CVBitmap> bitmap(new gmengine::CVBitmap, [](gmengine::CVBitmap* b) {
    if (gmengine::VBitmap* block = b->Detach()) gmengine::FreeBitmapData(block);
    delete b;
  });
  bitmap->Attach(gmengine::VCreateBitmapWithAlpha(side, side, pixels.data(), alpha.data()));
  return bitmap;
}

void Register(int id, int side, std::shared_ptr<gmengine::CVBitmap> bitmap) {
  gmengine::CVGlobalMan* global = gmengine::GetGlobalMan();
  void* existing = nullptr;
  if (!global || !bitmap || !bitmap->GetHandle()) return;
  if (global->iconTable.Lookup(static_cast<std::uint16_t>(id), existing) && existing) return;
  auto* entry = new gmengine::tag_IconImage;
  entry->width = side;
  entry->height = side;
  entry->keepLoaded = 1;
  entry->bitmap = std::move(bitmap);
  global->iconTable.SetAt(static_cast<std::uint16_t>(id), entry);
}

std::shared_ptr<gmengine::CVBitmap> MarkBitmap(std::uint32_t color) {
  auto bitmap = std::make_shared<gmengine::CVBitmap>();
  std::vector<std::uint32_t> pixels = Mark(kMarkSide, color);
  bitmap->CreateBitmap(kMarkSide, kMarkSide, 1, 32, pixels.data());
  return bitmap;
}

}  // namespace

void Install(gmengine::CDataDisp& disp) {
  disp.param.Clear();
  const auto side = static_cast<std::uint16_t>(kMarkSide);
  for (int id = 1; id <= kLastPointStyle; ++id) {
    int image = kEndImage;
    if (id <= 10 || id == 22) image = kPoiImage;
    if (id == kStopOther || id == kStopSubway) image = kStopImage;
    if (id == kBackgroundPoi) {
      disp.param.points.Add(PointStyle{kBackgroundPoiImage, kBackgroundSide, kBackgroundSide});
      continue;
    }
    disp.param.points.Add(PointStyle{image, side, side});
  }
  for (int id = 60; id <= kSelectedWalk; ++id) {
    LineStyle line{PenStyle::Solid, kRouteColor, kRouteWidth, 1.0f};
    if (id == kWalk) line.color = kWalkColor;
    if (id == kSelectedLine || id == kSelectedWalk) {
      line.color = kSelectedColor;
      line.width = kSelectedWidth;
    }
    disp.param.lines.Add(line);
  }
}

void RegisterIcons() {
  Register(kPoiImage, kMarkSide, MarkBitmap(kPoiColor));
  Register(kEndImage, kMarkSide, MarkBitmap(kEndColor));
  Register(kStopImage, kMarkSide, MarkBitmap(kStopColor));
  Register(kBackgroundPoiImage, kBackgroundSide, Dot(kBackgroundSide, kBackgroundPoiColor));
}

}  // namespace mapsdk::layerstyles
