#include "mapsdk/display/CVectorLayer.h"

#include <cstdlib>
#include <cstring>

#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/MapDrawTarget.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/search/CAppSearch.h"

namespace mapsdk {

using gmengine::CComplexPt;
using gmengine::CVString;
using gmengine::SearchType;

namespace {

constexpr int kPoiStyleFirst = 1;
constexpr int kSecondPoiStyle = 12;
constexpr int kWalkStyle = 62;
constexpr int kLineStyle = 61;
constexpr int kStartStyle = 17;
constexpr int kEndStyle = 18;
constexpr int kSinglePointStyle = 24;

template <std::size_t N>
CVString Gbk(const char (&text)[N]) {
  return gmengine::MultiByteToCVString(gmengine::CP_ACP, std::string(text, strnlen(text, N)).c_str());
}

// A square mark with a white rim, the same for every point of a kind.
std::vector<std::uint32_t> MarkPixels(std::uint32_t color) {
  const int side = CVectorLayer::kMarkSide;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side * side), 0xFFFFFFFFu);
  for (int y = 2; y < side - 2; ++y) {
    for (int x = 2; x < side - 2; ++x) pixels[static_cast<std::size_t>(y * side + x)] = color;
  }
  return pixels;
}

bool IsNumberedPoiStyle(int style) { return (style >= 1 && style <= 10) || style == 22; }

}  // namespace

CVectorLayer::CVectorLayer(VectorSource source, CMapStatus* status) : source_(source), status_(status) {}

void CVectorLayer::AddPoint(const CComplexPt& shape, Attribute::Kind kind, int style, const char* name,
                            const char* uid, int index) {
  if (shape.IsEmpty()) return;
  CGeoElement element;
  element.attribute.kind = kind;
  element.attribute.geometryClass = 1;
  element.attribute.styleId = style;
  element.attribute.index = index;
  if (name) element.attribute.name = gmengine::MultiByteToCVString(gmengine::CP_ACP, name);
  if (uid) std::strncpy(element.attribute.uid, uid, sizeof(element.attribute.uid) - 1);
  element.shape = shape;
  elements_.push_back(std::move(element));
}

void CVectorLayer::AddLine(const CComplexPt& shape, int style, int index) {
  if (shape.IsEmpty()) return;
  CGeoElement element;
  element.attribute.geometryClass = 2;
  element.attribute.styleId = style;
  element.attribute.index = index;
  element.shape = shape;
  elements_.push_back(std::move(element));
}

void CVectorLayer::BuildPois() {
  const auto* result = gmengine::RecordAs<gmengine::tag_PoiSearchRst>(
      search_->GetResult(static_cast<SearchType>(resultType_)));
  if (!result) return;
  int number = kPoiStyleFirst;
  for (int i = 0; i < result->pois.GetSize(); ++i) {
    const gmengine::tag_PoiInfo& poi = result->pois[i];
    if (poi.poiType == 2 || poi.poiType == 4) continue;
    std::string name(poi.name, strnlen(poi.name, sizeof(poi.name)));
    std::string uid(poi.uid, strnlen(poi.uid, sizeof(poi.uid)));
    AddPoint(poi.geometry, Attribute::Kind::Poi, number++, name.c_str(), uid.c_str(), i);
  }
  for (int i = 0; i < result->markers.GetSize(); ++i) {
    const gmengine::tag_PoiInfo& poi = result->markers[i];
    std::string name(poi.name, strnlen(poi.name, sizeof(poi.name)));
    AddPoint(poi.geometry, Attribute::Kind::SecondPoi, kSecondPoiStyle, name.c_str(), nullptr, i);
  }
}

void CVectorLayer::BuildRoute() {
  gmengine::SearchRecord record = search_->GetResult(static_cast<SearchType>(resultType_));
  auto ends = [&](const auto& route) {
    std::string startName(route.startName, strnlen(route.startName, sizeof(route.startName)));
    std::string endName(route.endName, strnlen(route.endName, sizeof(route.endName)));
    AddPoint(route.startPoint, Attribute::Kind::RouteStart, kStartStyle, startName.c_str(), nullptr, 0);
    AddPoint(route.endPoint, Attribute::Kind::RouteEnd, kEndStyle, endName.c_str(), nullptr, 0);
  };
  if (const auto* transit = gmengine::RecordAs<gmengine::tag_BusRouteRst>(record)) {
    if (transit->routes.IsEmpty()) return;
    const gmengine::tag_BusRoute& route = transit->routes[0];
    if (!route.stops.IsEmpty()) {
      const auto& stops = route.stops[0];
      for (int i = 0; i < stops.GetSize(); ++i) AddLine(stops[i].walkPath, kWalkStyle, i);
    }
    if (!route.plans.IsEmpty()) {
      const auto& lines = route.plans[0];
      for (int i = 0; i < lines.GetSize(); ++i) AddLine(lines[i].geometry, kLineStyle, i);
    }
    ends(*transit);
    return;
  }
  if (const auto* car = gmengine::RecordAs<gmengine::tag_CarRouteRst>(record)) {
    for (int i = 0; i < car->route.links.GetSize(); ++i) AddLine(car->route.links[i].geometry, kLineStyle, i);
    ends(*car);
  }
}

void CVectorLayer::BuildSinglePoint() {
  gmengine::SearchRecord record = search_->GetResult(static_cast<SearchType>(resultType_));
  CComplexPt shape;
  if (const auto* point = gmengine::RecordAs<gmengine::tag_MapPointRst>(record)) {
    shape.AddPoint({static_cast<int>(point->x * 100), static_cast<int>(point->y * 100)});
  } else if (const auto* geocode = gmengine::RecordAs<gmengine::tag_GeocodeRst>(record)) {
    shape.AddPoint({geocode->x, geocode->y});
  }
  AddPoint(shape, Attribute::Kind::SinglePoint, kSinglePointStyle, nullptr, nullptr, 0);
}

void CVectorLayer::Update() {
  if (!shown_) return;
  elements_.clear();
  if (!search_ || resultType_ == 0) return;
  switch (source_) {
    case VectorSource::Poi:
      BuildPois();
      break;
    case VectorSource::Route:
      BuildRoute();
      break;
    case VectorSource::SinglePoint:
      BuildSinglePoint();
      break;
  }
}

void CVectorLayer::Draw(MapDrawTarget& target) {
  if (!shown_ || elements_.empty()) return;
  const gmengine::_VRect& window = status_->window;
  auto toWindow = [&](const gmengine::_VPoint& p) {
    gmengine::_VPoint s = status_->MapToScreenHundredths(p.x, p.y);
    return gmengine::_VPoint{s.x - window.left, s.y - window.top};
  };
  // Lines first, so that marks stay on top.
  for (const CGeoElement& element : elements_) {
    if (element.attribute.geometryClass != 2) continue;
    for (int part = 0; part < element.shape.GetPartSize(); ++part) {
      const auto* points = element.shape.GetPart(part);
      if (!points) continue;
      std::vector<gmengine::_VPoint> screen;
      screen.reserve(static_cast<std::size_t>(points->GetSize()));
      for (const gmengine::_VPoint& p : *points) screen.push_back(toWindow(p));
      target.drawPolyline(screen, kRouteColor, kRouteWidth);
    }
  }
  static const std::vector<std::uint32_t> poiMark = MarkPixels(kPoiColor);
  static const std::vector<std::uint32_t> endMark = MarkPixels(kEndColor);
  const int side = kMarkSide;
  for (const CGeoElement& element : elements_) {
    if (element.attribute.geometryClass != 1) continue;
    const auto& mark = element.attribute.kind == Attribute::Kind::Poi ? poiMark : endMark;
    for (int part = 0; part < element.shape.GetPartSize(); ++part) {
      const auto* points = element.shape.GetPart(part);
      if (!points) continue;
      for (const gmengine::_VPoint& p : *points) {
        gmengine::_VPoint s = toWindow(p);
        // Numbered marks stand on their point; the others are centred on it.
        int top = IsNumberedPoiStyle(element.attribute.styleId) ? s.y - side : s.y - side / 2;
        target.drawBitmap(mark.data(), side, side, {s.x - side / 2, top, s.x - side / 2 + side, top + side});
      }
    }
  }
}

bool CVectorLayer::HitTest(int x, int y, Attribute& result) const {
  if (!shown_) return false;
  gmengine::_VPoint m = status_->ScreenToMap(x, y);
  const std::int64_t tolerance = static_cast<std::int64_t>(status_->upp) * kHitTolerancePixels;
  for (const CGeoElement& element : elements_) {
    if (element.attribute.geometryClass != 1) continue;
    for (int part = 0; part < element.shape.GetPartSize(); ++part) {
      const auto* points = element.shape.GetPart(part);
      if (!points) continue;
      for (const gmengine::_VPoint& hundredths : *points) {
        std::int64_t px = hundredths.x / 100;
        std::int64_t py = hundredths.y / 100;
        std::int64_t dx = std::llabs(m.x - px);
        std::int64_t dy = 0;
        if (IsNumberedPoiStyle(element.attribute.styleId)) {
          // These marks stand on their point: the tap lies on or above it, and counts half.
          dy = (m.y - py) / 2;
          if (dy < 0) continue;
        } else {
          dy = std::llabs(m.y - py);
        }
        if (dx <= tolerance && dy <= tolerance) {
          result = element.attribute;
          result.hitX = static_cast<int>(px);
          result.hitY = static_cast<int>(py);
          return true;
        }
      }
    }
  }
  return false;
}

}  // namespace mapsdk
