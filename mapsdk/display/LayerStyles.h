#pragma once
#include <cstdint>

namespace gmengine {
class CDataDisp;
class CVGlobalMan;
}  // namespace gmengine

namespace mapsdk {

// The look of the vector and background layers: the style tables of the map's element drawer and
// the icons they name, PNG files of the map resource bundle (drawn by
// tools/mapsdk/make_map_icons.py). Style ids and image ids are the ones the layers give their
// elements; the colours are listed in mapsdk/README.md ("Styles").
namespace layerstyles {

// Point styles (ids from 1).
inline constexpr int kFirstNumberedPoi = 1;  // 1..10 and 22 stand on their point
inline constexpr int kSecondPoi = 12;
inline constexpr int kStopOther = 15;
inline constexpr int kStopSubway = 16;
inline constexpr int kRouteStart = 17;
inline constexpr int kRouteEnd = 18;
inline constexpr int kSinglePoint = 24;
inline constexpr int kBackgroundPoi = 25;
inline constexpr int kLastPointStyle = 30;
// Line styles (ids from 60).
inline constexpr int kTransitLine = 61;
inline constexpr int kWalk = 62;
inline constexpr int kSelectedLine = 67;
inline constexpr int kSelectedWalk = 68;

// Image ids of the icon table: the numbered marks 1..10 are kPoiImage + number - 1.
inline constexpr int kPoiImage = 101;
inline constexpr int kPlainPoiImage = 111;
inline constexpr int kSecondPoiImage = 112;
inline constexpr int kBusStopImage = 113;
inline constexpr int kSubwayStopImage = 114;
inline constexpr int kStartImage = 115;
inline constexpr int kEndImage = 116;
inline constexpr int kPointImage = 117;
inline constexpr int kBackgroundPoiImage = 140;

inline constexpr std::uint32_t kPoiColor = 0xFFE0301Eu;
inline constexpr std::uint32_t kEndColor = 0xFF1E9E3Cu;
inline constexpr std::uint32_t kStopColor = 0xFF2A4BD7u;
inline constexpr std::uint32_t kBackgroundPoiColor = 0xFF8C5A2Bu;
inline constexpr std::uint32_t kRouteColor = 0xFF2E6FE0u;
inline constexpr std::uint32_t kWalkColor = 0xFF5B9A3Cu;
inline constexpr std::uint32_t kSelectedColor = 0xFFF08C00u;
inline constexpr int kRouteWidth = 5;
inline constexpr int kSelectedWidth = 7;

// Fills the drawer's four style tables (replacing what they held).
void Install(gmengine::CDataDisp& disp);
// Lists the icon files in the platform information's icon table where their ids are free (they
// load when first drawn and stay). Main thread.
void RegisterIcons(gmengine::CVGlobalMan& platform);

}  // namespace layerstyles
}  // namespace mapsdk
