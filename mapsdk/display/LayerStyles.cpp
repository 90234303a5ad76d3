#include "mapsdk/display/LayerStyles.h"

#include <string>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/raster/CDataDisp.h"
#include "mapsdk/raster/VImageDecode.h"

namespace mapsdk::layerstyles {

using gmengine::LineStyle;
using gmengine::PenStyle;
using gmengine::PointStyle;

namespace {

struct Icon {
  int image;
  const char* file;
  int width;
  int height;
};

// The bundle's icons: pins stand on their point, the round marks are centred on it.
constexpr int kPinWidth = 30;
constexpr int kPinHeight = 40;
constexpr Icon kIcons[] = {
    {kPoiImage + 0, "map_poi_1.png", kPinWidth, kPinHeight},
    {kPoiImage + 1, "map_poi_2.png", kPinWidth, kPinHeight},
    {kPoiImage + 2, "map_poi_3.png", kPinWidth, kPinHeight},
    {kPoiImage + 3, "map_poi_4.png", kPinWidth, kPinHeight},
    {kPoiImage + 4, "map_poi_5.png", kPinWidth, kPinHeight},
    {kPoiImage + 5, "map_poi_6.png", kPinWidth, kPinHeight},
    {kPoiImage + 6, "map_poi_7.png", kPinWidth, kPinHeight},
    {kPoiImage + 7, "map_poi_8.png", kPinWidth, kPinHeight},
    {kPoiImage + 8, "map_poi_9.png", kPinWidth, kPinHeight},
    {kPoiImage + 9, "map_poi_10.png", kPinWidth, kPinHeight},
    {kPlainPoiImage, "map_poi.png", kPinWidth, kPinHeight},
    {kSecondPoiImage, "map_poi_second.png", 20, 20},
    {kBusStopImage, "map_stop_bus.png", 24, 24},
    {kSubwayStopImage, "map_stop_subway.png", 24, 24},
    {kStartImage, "map_route_start.png", 28, 28},
    {kEndImage, "map_route_end.png", 28, 28},
    {kPointImage, "map_point.png", 26, 26},
    {kBackgroundPoiImage, "map_small_place.png", 13, 13},
};

const Icon* IconOf(int image) {
  for (const Icon& icon : kIcons) {
    if (icon.image == image) return &icon;
  }
  return nullptr;
}

int ImageOfStyle(int id) {
  if (id >= kFirstNumberedPoi && id <= 10) return kPoiImage + id - kFirstNumberedPoi;
  switch (id) {
    case 22:
      return kPlainPoiImage;
    case kSecondPoi:
      return kSecondPoiImage;
    case kStopOther:
      return kBusStopImage;
    case kStopSubway:
      return kSubwayStopImage;
    case kRouteStart:
      return kStartImage;
    case kRouteEnd:
      return kEndImage;
    case kBackgroundPoi:
      return kBackgroundPoiImage;
    default:
      return kPointImage;
  }
}

}  // namespace

void Install(gmengine::CDataDisp& disp) {
  disp.param.Clear();
  for (int id = 1; id <= kLastPointStyle; ++id) {
    const Icon* icon = IconOf(ImageOfStyle(id));
    disp.param.points.Add(PointStyle{icon->image, static_cast<std::uint16_t>(icon->width),
                                     static_cast<std::uint16_t>(icon->height)});
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

void RegisterIcons(gmengine::CVGlobalMan& platform) {
  if (platform.iconFolder.IsEmpty()) {
    if (std::optional<std::string> folder = gmengine::GetMapApiResourcePath("images/"))
      platform.iconFolder = gmengine::CVString(folder->c_str());
  }
  for (const Icon& icon : kIcons) {
    void* existing = nullptr;
    if (platform.iconTable.Lookup(static_cast<std::uint16_t>(icon.image), existing) && existing) continue;
    auto* entry = new gmengine::tag_IconImage;
    entry->width = icon.width;
    entry->height = icon.height;
    entry->keepLoaded = 1;
    entry->fileKind = 1;
    entry->fileName = gmengine::CVString(icon.file);
    platform.iconTable.SetAt(static_cast<std::uint16_t>(icon.image), entry);
  }
}

}  // namespace mapsdk::layerstyles
