#include "mapsdk/display/CVectorLayer.h"

#include <cstdlib>
#include <cstring>

#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/LayerStyles.h"
#include "mapsdk/display/MapDrawTarget.h"
#include "mapsdk/engine/CGeoElement.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/raster/CDataDisp.h"
#include "mapsdk/raster/VSimplify.h"
#include "mapsdk/search/CAppSearch.h"

namespace mapsdk {

using gmengine::CComplexPt;
using gmengine::CVString;
using gmengine::SearchType;
namespace styles = layerstyles;

namespace {

template <std::size_t N>
std::string Text(const char (&text)[N]) {
  return std::string(text, strnlen(text, N));
}

bool IsNumberedPoiStyle(int style) { return (style >= 1 && style <= 10) || style == 22; }

bool IsSkippedPoi(const gmengine::tag_PoiInfo& poi) { return poi.poiType == 2 || poi.poiType == 4; }

int StopStyle(const gmengine::tag_BusLine& line) {
  return line.lineType == 1 ? styles::kStopSubway : styles::kStopOther;
}

// Lines carry more points than a level can show: each is thinned for the one it is drawn at.
void ThinLines(std::vector<CGeoElement>& elements, int level) {
  for (CGeoElement& element : elements) {
    if (element.attribute.geometryClass != 2) continue;
    CComplexPt thin;
    if (gmengine::SimplifyComplexPt(element.shape, level, thin) > 0) element.shape = std::move(thin);
  }
}

}  // namespace

CVectorReq::CVectorReq(const CMapStatus* status, VectorLayerData* data) : status_(status), data_(data) {}

void CVectorReq::SetSource(VectorSource source) {
  source_ = source;
  rebuild_ = true;
}

void CVectorReq::SetSearch(gmengine::CAppSearch* search) {
  if (search != search_) rebuild_ = true;
  search_ = search;
}

void CVectorReq::SetResultType(SearchType type) {
  resultType_ = type;
  rebuild_ = true;
}

void CVectorReq::SetSelection(const VectorSelection& selection) {
  // Another transit route or single point changes the elements themselves; the other words only
  // what is highlighted over them.
  if (selection.route != selection_.route || selection.singlePoint != selection_.singlePoint) rebuild_ = true;
  selection_ = selection;
}

void CVectorReq::AddPoint(const CComplexPt& shape, Attribute::Kind kind, int style, const char* name,
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
  building_->push_back(std::move(element));
}

void CVectorReq::AddLine(const CComplexPt& shape, int style, int index, const char* name) {
  if (shape.IsEmpty()) return;
  CGeoElement element;
  element.attribute.geometryClass = 2;
  element.attribute.styleId = style;
  element.attribute.index = index;
  if (name) element.attribute.name = gmengine::MultiByteToCVString(gmengine::CP_ACP, name);
  element.shape = shape;
  building_->push_back(std::move(element));
}

void CVectorReq::BuildPois(bool highlight) {
  const auto* result = gmengine::RecordAs<gmengine::tag_PoiSearchRst>(search_->GetResult(resultType_));
  if (!result) return;
  if (highlight) {
    // The selected POI once more, with the number it carries in the list.
    const int s = selection_.poi;
    if (s < 0 || s >= result->pois.GetSize() || (s < 2 && IsSkippedPoi(result->pois[s]))) return;
    int skipped = 0;
    for (int i = 0; i < 2 && i < result->pois.GetSize(); ++i) skipped += IsSkippedPoi(result->pois[i]);
    const gmengine::tag_PoiInfo& poi = result->pois[s];
    AddPoint(poi.geometry, Attribute::Kind::Poi, s + 1 - skipped, Text(poi.name).c_str(),
             Text(poi.uid).c_str(), s);
    return;
  }
  int number = styles::kFirstNumberedPoi;
  for (int i = 0; i < result->pois.GetSize(); ++i) {
    const gmengine::tag_PoiInfo& poi = result->pois[i];
    if (IsSkippedPoi(poi)) continue;
    AddPoint(poi.geometry, Attribute::Kind::Poi, number++, Text(poi.name).c_str(), Text(poi.uid).c_str(), i);
  }
  for (int i = 0; i < result->markers.GetSize(); ++i) {
    const gmengine::tag_PoiInfo& poi = result->markers[i];
    AddPoint(poi.geometry, Attribute::Kind::SecondPoi, styles::kSecondPoi, Text(poi.name).c_str(), nullptr,
             i);
  }
}

void CVectorReq::BuildRoute(bool highlight) {
  gmengine::SearchRecord record = search_->GetResult(resultType_);
  auto start = [&](const auto& route) {
    AddPoint(route.startPoint, Attribute::Kind::RouteStart, styles::kRouteStart,
             Text(route.startName).c_str(), Text(route.startUid).c_str(), 0);
  };
  auto end = [&](const auto& route) {
    AddPoint(route.endPoint, Attribute::Kind::RouteEnd, styles::kRouteEnd, Text(route.endName).c_str(),
             Text(route.endUid).c_str(), 0);
  };
  if (const auto* transit = gmengine::RecordAs<gmengine::tag_BusRouteRst>(record)) {
    if (transit->routes.IsEmpty()) return;
    const int r =
        selection_.route >= 0 && selection_.route < transit->routes.GetSize() ? selection_.route : 0;
    const gmengine::tag_BusRoute& route = transit->routes[r];
    static const gmengine::CVArray<gmengine::tag_BusLine> kNoLines;
    static const gmengine::CVArray<gmengine::tag_BusTransStop> kNoStops;
    const auto& lines = route.plans.IsEmpty() ? kNoLines : route.plans[0];
    const auto& stops = route.stops.IsEmpty() ? kNoStops : route.stops[0];
    // The boarding (on) or alighting stop of ride i, styled by its line.
    auto stop = [&](int i, bool on) {
      if (i < 0 || i >= stops.GetSize()) return;
      const gmengine::tag_BusTransStop& s = stops[i];
      const int style = i < lines.GetSize() ? StopStyle(lines[i]) : styles::kStopOther;
      if (on) {
        AddPoint(s.onPoint, Attribute::Kind::TransitStop, style, Text(s.onName).c_str(),
                 Text(s.onUid).c_str(), i);
      } else {
        AddPoint(s.offPoint, Attribute::Kind::TransitStop, style, Text(s.offName).c_str(),
                 Text(s.offUid).c_str(), i);
      }
    };
    if (!highlight) {
      for (int i = 0; i < stops.GetSize(); ++i) AddLine(stops[i].walkPath, styles::kWalk, i);
      for (int i = 0; i < lines.GetSize(); ++i) {
        AddLine(lines[i].geometry, styles::kTransitLine, i, Text(lines[i].name).c_str());
        stop(i, true);
        stop(i, false);
      }
      start(*transit);
      end(*transit);
      return;
    }
    const int k = selection_.stepIndex;
    if (selection_.stepPart == 0 && k >= 0 && k < lines.GetSize()) {
      AddLine(lines[k].geometry, styles::kSelectedLine, k, Text(lines[k].name).c_str());
      stop(k, true);
      stop(k, false);
    } else if (selection_.stepPart == 1 && k >= 0 && k < stops.GetSize()) {
      AddLine(stops[k].walkPath, styles::kSelectedWalk, k);
      const int last = stops.GetSize() - 1;
      if (k == 0) {
        start(*transit);
        stop(0, true);
      } else if (k == last) {
        stop(k - 1, false);
        end(*transit);
      } else {
        stop(k - 1, false);
        stop(k, true);
      }
    }
    return;
  }
  if (highlight) return;
  if (const auto* car = gmengine::RecordAs<gmengine::tag_CarRouteRst>(record)) {
    for (int i = 0; i < car->route.links.GetSize(); ++i)
      AddLine(car->route.links[i].geometry, styles::kTransitLine, i);
    start(*car);
    end(*car);
  }
}

void CVectorReq::BuildSinglePoint() {
  gmengine::SearchRecord record = search_->GetResult(resultType_);
  CComplexPt shape;
  const char* name = nullptr;
  std::string text;
  // Two answers draw a single point; a map point (26) is not one of them.
  const auto* detail =
      resultType_ == SearchType::PoiDetail ? gmengine::RecordAs<gmengine::tag_PoiDetailRst>(record) : nullptr;
  const auto* around = resultType_ == SearchType::ReverseGeocode
                           ? gmengine::RecordAs<gmengine::tag_PoiSearchRst>(record)
                           : nullptr;
  if (detail) {
    // One POI with its details: its own point.
    shape = detail->poi.geometry;
    text = Text(detail->poi.name);
  } else if (around) {
    // A place's address answer: the POI of its list that is selected (the first by default).
    const int s = selection_.singlePoint;
    if (s < 0 || s >= around->pois.GetSize()) return;
    shape = around->pois[s].geometry;
    text = Text(around->pois[s].name);
  }
  if (shape.GetPartSize() == 0) return;
  if (!text.empty()) name = text.c_str();
  AddPoint(shape, Attribute::Kind::SinglePoint, styles::kSinglePoint, name, nullptr, selection_.singlePoint);
}

void CVectorReq::Rebuild() {
  std::vector<CGeoElement>& elements = data_->elements;
  elements.clear();
  saved_.clear();
  highlight_.clear();
  builtStepPart_ = -1;
  builtStepIndex_ = 0;
  builtLevel_ = status_ ? status_->level : 0;
  if (!search_ || resultType_ == SearchType::None) return;
  building_ = &elements;
  switch (source_) {
    case VectorSource::Poi:
      BuildPois(false);
      break;
    case VectorSource::Route:
      BuildRoute(false);
      break;
    case VectorSource::SinglePoint:
      BuildSinglePoint();
      break;
  }
  building_ = nullptr;
  saved_ = elements;
  ThinLines(saved_, builtLevel_);
}

void CVectorReq::BuildHighlight() {
  if (!search_ || resultType_ == SearchType::None) return;
  if (source_ == VectorSource::Poi) {
    // The selected POI costs one record: it is taken anew at every update.
    highlight_.clear();
    building_ = &highlight_;
    BuildPois(true);
  } else if (source_ == VectorSource::Route &&
             (selection_.stepPart != builtStepPart_ || selection_.stepIndex != builtStepIndex_)) {
    highlight_.clear();
    building_ = &highlight_;
    BuildRoute(true);
    ThinLines(highlight_, builtLevel_);
    builtStepPart_ = selection_.stepPart;
    builtStepIndex_ = selection_.stepIndex;
  }
  building_ = nullptr;
}

void CVectorReq::Request() {
  if (!data_) return;
  // A route's lines are thinned for one level: another one thins them again.
  if (source_ == VectorSource::Route && status_ && status_->level != builtLevel_) rebuild_ = true;
  if (rebuild_) {
    rebuild_ = false;
    Rebuild();
  }
  BuildHighlight();
  std::vector<CGeoElement>& drawn = data_->drawn;
  drawn = saved_;
  drawn.insert(drawn.end(), highlight_.begin(), highlight_.end());
}

CVectorDraw::CVectorDraw(const CMapStatus* status, gmengine::CDataDisp* disp, const VectorLayerData* data)
    : status_(status), disp_(disp), data_(data) {}

void CVectorDraw::Draw(MapDrawTarget& target) {
  gmengine::CVDC* dc = target.dc();
  if (!data_ || data_->drawn.empty() || !dc || !disp_) return;
  const gmengine::_VRect& window = status_->window;
  auto draw = [&](const CGeoElement& element) {
    gmengine::CGeoElement shape;
    shape.geometryKind =
        element.attribute.geometryClass == 2 ? gmengine::CGeoElement::kLine : gmengine::CGeoElement::kPoint;
    shape.styleId = element.attribute.styleId;
    for (int part = 0; part < element.shape.GetPartSize(); ++part) {
      const auto* points = element.shape.GetPart(part);
      if (!points) continue;
      gmengine::CVArray<gmengine::_VPoint> screen;
      for (const gmengine::_VPoint& p : *points) {
        gmengine::_VPoint s = status_->MapToScreenHundredths(p.x, p.y);
        screen.Add(gmengine::_VPoint(s.x - window.left, s.y - window.top));
      }
      shape.shape.AddPart(screen);
    }
    disp_->Draw(dc, &shape);
  };
  // Lines first, so that marks stay on top; the highlight comes last of each and stays on top too.
  for (const CGeoElement& element : data_->drawn) {
    if (element.attribute.geometryClass == 2) draw(element);
  }
  for (const CGeoElement& element : data_->drawn) {
    if (element.attribute.geometryClass == 1) draw(element);
  }
}

CVectorLayer::CVectorLayer(VectorSource source, CMapStatus* status, gmengine::CDataDisp* disp)
    : source_(source),
      status_(status),
      request_(std::make_unique<CVectorReq>(status, &data_)),
      drawer_(std::make_unique<CVectorDraw>(status, disp, &data_)) {
  request_->SetSource(source);
}

CVectorLayer::~CVectorLayer() = default;

void CVectorLayer::SetSearch(gmengine::CAppSearch* search) {
  if (request_) request_->SetSearch(search);
}

void CVectorLayer::SetResultType(SearchType type) {
  if (request_) request_->SetResultType(type);
}

SearchType CVectorLayer::ResultType() const { return request_ ? request_->ResultType() : SearchType::None; }

void CVectorLayer::SetSelection(const VectorSelection& selection) {
  if (request_) request_->SetSelection(selection);
}

const VectorSelection& CVectorLayer::Selection() const {
  static const VectorSelection kNone;
  return request_ ? request_->Selection() : kNone;
}

void CVectorLayer::Update() {
  if (shown_ && request_) request_->Request();
}

void CVectorLayer::Draw(MapDrawTarget& target) {
  if (shown_ && drawer_) drawer_->Draw(target);
}

void CVectorLayer::SetRequest(std::unique_ptr<CVectorReq> request) {
  std::unique_ptr<CVectorReq> old = std::move(request_);
  request_ = std::move(request);
  if (!request_) return;
  request_->SetData(&data_);
  request_->SetSource(source_);
  if (old && !request_->Search()) {
    request_->SetSearch(old->Search());
    request_->SetResultType(old->ResultType());
    request_->SetSelection(old->Selection());
  }
}

void CVectorLayer::SetDrawer(std::unique_ptr<CVectorDraw> drawer) {
  drawer_ = std::move(drawer);
  if (drawer_) drawer_->SetData(&data_);
}

bool CVectorLayer::HitTest(int x, int y, Attribute& result) const {
  if (!shown_) return false;
  gmengine::_VPoint m = status_->ScreenToMap(x, y);
  const std::int64_t tolerance = static_cast<std::int64_t>(status_->upp) * kHitTolerancePixels;
  for (const CGeoElement& element : data_.elements) {
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
