#include "mapsdk/display/CMapControl.h"

#include <algorithm>
#include <cmath>

#include "mapsdk/display/CAppLocation.h"
#include "mapsdk/display/CTrafficReq.h"
#include "mapsdk/display/CVDCDrawTarget.h"
#include "mapsdk/display/LayerStyles.h"
#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/VTick.h"
#include "mapsdk/raster/CVDC.h"
#include "mapsdk/search/CAppSearch.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

namespace gmengine {

using mapsdk::CGridLayer;
using mapsdk::GridKind;

namespace {

constexpr int kFileCapacity = 500;

constexpr std::uint32_t kSourceCopy = 0xCC0020;
// A glide goes on while the target is more than 5 pixels away on x, or 6 or more on y.
constexpr int kGlideX = 5;
constexpr int kGlideY = 6;
// A slide goes on while an offset component is this large, and moves at most kSlideMax a step.
constexpr int kSlideMin = 6;
constexpr int kSlideMax = 17;

std::int64_t Abs(std::int64_t v) { return v < 0 ? -v : v; }
int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// Every way a batch can end without its tiles.
bool IsBatchFailure(EngineMsg message) {
  return IsHttpConnectionFailure(message) || message == EngineMsg::HttpMarkupPage ||
         message == EngineMsg::HttpBadAnswer || message == EngineMsg::HttpTooLarge;
}

bool IsPoiType(SearchType t) {
  return t == SearchType::PoiInCity || t == SearchType::PoiInBounds || t == SearchType::PoiAround ||
         t == SearchType::MultiKeyPoi;
}

bool IsRouteType(SearchType t) {
  return t == SearchType::Transit || t == SearchType::Driving || t == SearchType::Walking;
}

// The single-point layer draws one POI's details and the POI of an address answer.
bool IsPointType(SearchType t) { return t == SearchType::PoiDetail || t == SearchType::ReverseGeocode; }

}  // namespace

CMapControl::CMapControl(const EngineServices& engine) : engine_(engine) {
  gridPen_.CreatePen(gmengine::PenStyle::Dotted, 1, kGridColor);
  disp_.SetIcons(engine_.platform);
}

void CMapControl::Post(int queue, EngineMsg message, int wParam, int lParam) const {
  if (CVMsgDispatcher* dispatcher = engine_.Dispatcher())
    dispatcher->PostMessage(queue, ToInt(message), wParam, lParam);
}

void CMapControl::Send(int queue, EngineMsg message, int wParam, int lParam) const {
  if (CVMsgDispatcher* dispatcher = engine_.Dispatcher())
    dispatcher->SendMessage(queue, ToInt(message), wParam, lParam);
}

CMapControl::~CMapControl() {
  platform::RunLoop::main().cancelPerforms(this);
  client_.CancelRequest();
  satelliteClient_.CancelRequest();
  offline_.SetHttpClient(nullptr);
}

void CMapControl::SetSearch(CAppSearch* search) {
  search_ = search;
  for (auto* layer : {poi_.get(), route_.get(), point_.get()}) {
    if (layer) layer->SetSearch(search);
  }
  if (background_) background_->Request()->SetSearch(search);
}

void CMapControl::SetLocation(mapsdk::CAppLocation* location) {
  if (location_) location_->SetLocation(location);
}

void CMapControl::BuildLayers() {
  client_.Init(engine_);
  satelliteClient_.Init(engine_, EngineClient::Satellite);
  CVGlobalMan* global = engine_.platform;
  if (global) offlineStore_.Init(global->sysInfo.dataPath, CVString("10000001"), 0);
  offline_.Init(global);
  offline_.SetHttpClient(&client_);
  offline_.SetOfflineDataCache(&offlineStore_);

  street_ = std::make_unique<CGridLayer>();
  street_->SetRequest(std::make_unique<mapsdk::GridReqEx>(GridKind::Street, &status_));
  street_->SetDrawer(std::make_unique<mapsdk::GridDrawEx>(&status_));
  street_->Request()->SetClient(&client_);
  street_->Request()->SetDispatcher(engine_.Dispatcher());
  street_->Request()->SetOfflineStore(&offlineStore_);

  satellite_ = std::make_unique<CGridLayer>();
  satellite_->SetRequest(std::make_unique<mapsdk::GridReqEx>(GridKind::Satellite, &status_));
  satellite_->SetDrawer(std::make_unique<mapsdk::GridDrawEx>(&status_));
  satellite_->Request()->SetClient(&satelliteClient_);
  satellite_->Request()->SetDispatcher(engine_.Dispatcher());

  traffic_ = std::make_unique<CGridLayer>();
  traffic_->SetRequest(std::make_unique<mapsdk::CTrafficReq>(&status_));
  traffic_->SetDrawer(std::make_unique<mapsdk::GridDraw>(&status_));
  traffic_->Request()->SetClient(&client_);
  traffic_->Request()->SetDispatcher(engine_.Dispatcher());

  mapsdk::layerstyles::Install(disp_);
  if (engine_.platform) mapsdk::layerstyles::RegisterIcons(*engine_.platform);
  background_ = std::make_unique<mapsdk::CBKGLayer>(&status_);
  background_->SetRequest(std::make_unique<mapsdk::CBKGReq>(&status_));
  background_->SetDrawer(std::make_unique<mapsdk::CBKGDraw>(&status_, &disp_));
  background_->Request()->SetDataKey(CVString(mapsdk::CBKGLayer::kDefaultDataKey));

  route_ = std::make_unique<mapsdk::CVectorLayer>(mapsdk::VectorSource::Route, &status_, &disp_);
  poi_ = std::make_unique<mapsdk::CVectorLayer>(mapsdk::VectorSource::Poi, &status_, &disp_);
  point_ = std::make_unique<mapsdk::CVectorLayer>(mapsdk::VectorSource::SinglePoint, &status_, &disp_);
  location_ = std::make_unique<mapsdk::CLocLayer>();
  SetSearch(search_);
  // Only the street map and the location are shown at first: the result layers and the small
  // places wait for their ShowLayer.
  satellite_->Show(false);
  traffic_->Show(false);
  background_->Show(false);
  route_->Show(false);
  poi_->Show(false);
  point_->Show(false);
  built_ = true;
}

void CMapControl::SizeGridRequests() {
  const int cols = status_.KeptCols();
  const int rows = status_.KeptRows();
  street_->Request()->Init(cols, rows, kFileCapacity, "Data.Index", "Grid.ca", false, true);
  satellite_->Request()->Init(cols, rows, kFileCapacity, "SatData.Index", "Satllite.ca", false, true);
  traffic_->Request()->Init(cols, rows, 0, "Data.Index", "Traf.ca", true, traffic_->IsShown());
}

int CMapControl::Init(int centerX, int centerY, int left, int top, int right, int bottom, int level) {
  if (!built_) BuildLayers();
  status_.SetLevel(level);
  status_.SetWindow({left, top, right, bottom});
  status_.SetCenter(centerX, centerY);
  if (!back_.IsValid()) ResizeBackBuffer(status_.width, status_.height);
  SizeGridRequests();
  UpdateLayers();
  return 1;
}

int CMapControl::SetWindowRect(int left, int top, int right, int bottom) {
  if (!built_) return 0;
  status_.SetWindow({left, top, right, bottom});
  SizeGridRequests();
  ResizeBackBuffer(status_.width, status_.height);
  fullRedraw_ = true;
  UpdateLayers();
  SendRepaint();
  Post(CVMsgDispatcher::kUIQueue, EngineMsg::ViewSettled, 0, 0);
  return 1;
}

int CMapControl::RemoveAllLayers() {
  built_ = false;
  for (auto* layer : {street_.get(), satellite_.get(), traffic_.get()}) {
    if (layer && layer->Request()) layer->Request()->SetOfflineStore(nullptr);
  }
  street_.reset();
  satellite_.reset();
  traffic_.reset();
  background_.reset();
  route_.reset();
  poi_.reset();
  point_.reset();
  location_.reset();
  return 1;
}

namespace {

// A context holding a fresh width x height bitmap of its own; false (the context empty) when either
// cannot be made.
bool MakeBuffer(CVDC& dc, int width, int height) {
  dc.DeleteDC();
  if (width <= 0 || height <= 0) return false;
  VBitmap* buffer = VCreateBitmap(width, height, 32, nullptr);
  if (!buffer) return false;
  if (!dc.CreateCompatibleDC()) {
    FreeBitmapData(buffer);
    return false;
  }
  // The context keeps the bitmap from here on and frees it with itself.
  FreeBitmapData(dc.SelectObject(buffer));
  return true;
}

}  // namespace

void CMapControl::ResizeBackBuffer(int width, int height) {
  if (width <= 0 || height <= 0) return;
  MakeBuffer(back_, width, height);
}

std::vector<mapsdk::CMapLayer*> CMapControl::Layers() const {
  if (!built_) return {};
  // Drawing order: tiles, the small places, then routes, marks and location.
  return {street_.get(), satellite_.get(), traffic_.get(), background_.get(),
          route_.get(),  poi_.get(),       point_.get(),   location_.get()};
}

mapsdk::CMapLayer* CMapControl::ResultLayer(MapLayerCode code) const {
  if (!built_) return nullptr;
  switch (code) {
    case MapLayerCode::Poi:
    case MapLayerCode::PoiAlias:
      return poi_.get();
    case MapLayerCode::Route:
      return route_.get();
    case MapLayerCode::Location:
      return location_.get();
    case MapLayerCode::BackgroundPoi:
      return background_.get();
    case MapLayerCode::SinglePoint:
      return point_.get();
    default:
      return nullptr;
  }
}

bool CMapControl::StreetPendingEmpty() const {
  if (!street_ || !street_->Request()) return false;
  // The pending list keeps what the last pass asked for even after it all came.
  return street_->Request()->Pending().IsEmpty() ||
         (!street_->Request()->HasMissing() && !client_.IsMapRequesting());
}

void CMapControl::UpdateResultLayers() {
  for (mapsdk::CVectorLayer* layer : {poi_.get(), route_.get(), point_.get()}) {
    if (layer->IsShown()) layer->Update();
  }
}

void CMapControl::UpdateLayers() {
  if (!built_) return;
  status_.UpdateBounds(status_.KeptCols(), status_.KeptRows());
  for (mapsdk::CMapLayer* layer : Layers()) {
    // Traffic shares the street client: asked now, it would replace the street batch just sent.
    // It comes when that batch has brought every tile.
    if (layer == traffic_.get() && !StreetPendingEmpty()) continue;
    layer->Update();
  }
  RequestRepaint();
}

void CMapControl::OnPoiBkgData(SearchError error) {
  if (built_ && background_->OnDataArrived(error)) RequestRepaint();
}

void CMapControl::UpdateBKGLayer() {
  if (!built_) return;
  background_->Update();
  RequestRepaint();
}

void CMapControl::RequestRepaint() { Post(CVMsgDispatcher::kUIQueue, EngineMsg::Repaint, 0, 0); }

void CMapControl::SendRepaint() { Send(CVMsgDispatcher::kUIQueue, EngineMsg::Repaint, 0, 0); }

void CMapControl::CityCheck() {
  if (cityCenter_.x == 0 && cityCenter_.y == 0 && cityLevel_ == 0) {
    cityCenter_ = {status_.centerX, status_.centerY};
    return;
  }
  if (!search_) return;
  const bool moved = Abs(static_cast<std::int64_t>(status_.centerX) - cityCenter_.x) > kCityCheckDistance ||
                     Abs(static_cast<std::int64_t>(status_.centerY) - cityCenter_.y) > kCityCheckDistance;
  if (!moved && status_.level == cityLevel_) return;
  const _VRect around{status_.centerX - 500, status_.centerY - 500, status_.centerX + 500,
                      status_.centerY + 500};
  if (search_->RequestCityByCenter(around, status_.level)) {
    cityCenter_ = {status_.centerX, status_.centerY};
    cityLevel_ = status_.level;
  }
}

void CMapControl::StepTowardTarget(bool fallback) {
  const std::int64_t upp = std::max(1, status_.upp);
  const std::int64_t dx = (static_cast<std::int64_t>(moveTarget_.x) - status_.centerX) / upp;
  const std::int64_t dy = (static_cast<std::int64_t>(moveTarget_.y) - status_.centerY) / upp;
  std::int64_t x = status_.centerX;
  std::int64_t y = status_.centerY;
  if (Abs(dx) > kGlideX) {
    x += dx / 5 * upp;
  } else {
    x = moveTarget_.x;
  }
  if (Abs(dy) >= kGlideY) {
    y += dy / 5 * upp;
  } else {
    y = moveTarget_.y;
  }
  status_.SetCenter(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
  status_.UpdateOffset();
  if (status_.HasLeftLoadedRange()) {
    status_.UpdateBounds(status_.KeptCols(), status_.KeptRows());
    if (auto* request = dynamic_cast<mapsdk::GridReqEx*>(BaseLayer().Request()))
      request->RefreshFromCache(fallback);
    UpdateResultLayers();
  }
}

void CMapControl::MoveTo(int x, int y, int animate, int refresh, int notify) {
  if (!built_) {
    status_.SetCenter(x, y);
    return;
  }
  const std::int64_t upp = std::max(1, status_.upp);
  const std::int64_t dx = (static_cast<std::int64_t>(x) - status_.centerX) / upp;
  const std::int64_t dy = (static_cast<std::int64_t>(y) - status_.centerY) / upp;
  if (animate && notify) {
    moveTarget_ = {x, y};
    if (Abs(dx) > kGlideX || Abs(dy) >= kGlideY) {
      StepTowardTarget(true);
      gliding_ = true;
      fullRedraw_ = true;
      Post(CVMsgDispatcher::kUIQueue, EngineMsg::AnimationBegin, 0, 0);
      SendRepaint();
      return;
    }
  }
  fullRedraw_ = true;
  status_.SetCenter(x, y);
  status_.UpdateBounds(status_.KeptCols(), status_.KeptRows());
  if (refresh) {
    BaseLayer().Update();
    CityCheck();
  }
  UpdateResultLayers();
  background_->Update();
  if (traffic_->IsShown() && StreetPendingEmpty()) traffic_->Update();
  if (notify) SendRepaint();
}

void CMapControl::MoveSmooth() {
  if (!built_ || !gliding_) return;
  const std::int64_t upp = std::max(1, status_.upp);
  const std::int64_t dx = (static_cast<std::int64_t>(moveTarget_.x) - status_.centerX) / upp;
  const std::int64_t dy = (static_cast<std::int64_t>(moveTarget_.y) - status_.centerY) / upp;
  if (Abs(dx) <= kGlideX && Abs(dy) < kGlideY) {
    gliding_ = false;
    fullRedraw_ = true;
    status_.SetCenter(moveTarget_.x, moveTarget_.y);
    status_.UpdateBounds(status_.KeptCols(), status_.KeptRows());
    BaseLayer().Update();
    UpdateResultLayers();
    background_->Update();
    if (traffic_->IsShown() && StreetPendingEmpty()) traffic_->Update();
    SendRepaint();
    Send(CVMsgDispatcher::kUIQueue, EngineMsg::AnimationEnd, 0, 0);
    return;
  }
  StepTowardTarget(false);
  fullRedraw_ = true;
  Post(CVMsgDispatcher::kUIQueue, EngineMsg::AnimationBegin, 0, 0);
  SendRepaint();
}

void CMapControl::ResetDragOffset(int flag) {
  dragOffset_ = {};
  sliding_ = false;
  if (flag) {
    MoveTo(moveTarget_.x, moveTarget_.y, 0, 1, 1);
  } else {
    moveTarget_ = {status_.centerX, status_.centerY};
  }
}

void CMapControl::OnDragEnd(int originX, int originY, int endX, int endY) {
  dragOffset_ = {endX - originX, endY - originY};
  status_.UpdateBounds(status_.KeptCols(), status_.KeptRows());
  if (std::abs(dragOffset_.x) < kSlideThreshold && std::abs(dragOffset_.y) < kSlideThreshold) {
    sliding_ = false;
    UpdateLayers();
    SendRepaint();
    Post(CVMsgDispatcher::kUIQueue, EngineMsg::ViewSettled, 0, 0);
    return;
  }
  sliding_ = true;
  Post(CVMsgDispatcher::kUIQueue, EngineMsg::SlideStep, 0, 0);
}

bool CMapControl::SlideStep() {
  if (!built_ || !sliding_) return false;
  // The result layers are not rebuilt for every step of the slide; they come back at its end.
  const bool shown[3] = {poi_->IsShown(), route_->IsShown(), point_->IsShown()};
  auto restore = [&] {
    poi_->Show(shown[0]);
    route_->Show(shown[1]);
    point_->Show(shown[2]);
  };
  auto shrink = [](int& d) {
    if (std::abs(d) >= kSlideMin) d = Sign(d) * std::min(std::abs(d) - 1, kSlideMax);
  };
  shrink(dragOffset_.x);
  shrink(dragOffset_.y);
  const _VPoint centre = status_.ScreenToMap(status_.width / 2 - dragOffset_.x + status_.window.left,
                                             status_.height / 2 - dragOffset_.y + status_.window.top);
  status_.SetCenter(centre.x, centre.y);
  status_.UpdateOffset();
  if (status_.HasLeftLoadedRange()) {
    status_.UpdateBounds(status_.KeptCols(), status_.KeptRows());
    UpdateResultLayers();
  }
  const bool last = std::abs(dragOffset_.x) < kSlideMin && std::abs(dragOffset_.y) < kSlideMin;
  if (last) {
    sliding_ = false;
    restore();
    UpdateResultLayers();
    background_->Update();
    BaseLayer().Update();
    if (traffic_->IsShown() && StreetPendingEmpty()) traffic_->Update();
    CityCheck();
  } else {
    Post(CVMsgDispatcher::kUIQueue, EngineMsg::SlideStep, 0, 0);
  }
  fullRedraw_ = true;
  SendRepaint();
  restore();
  return !last;
}

void CMapControl::ZoomStep() {
  if (!built_) return;
  fullRedraw_ = true;
  status_.UpdateBounds(status_.KeptCols(), status_.KeptRows());
  UpdateResultLayers();
  background_->Update();
  BaseLayer().Update();
  if (traffic_->IsShown() && StreetPendingEmpty()) traffic_->Update();
  CityCheck();
  SendRepaint();
}

void CMapControl::StartPath(const gmengine::CComplexPt& path, int direction) {
  if (path.IsEmpty()) return;
  path_ = std::make_unique<gmengine::CComplexPt>(path);
  MoveAlongPath(0, direction);
}

void CMapControl::MoveAlongPath(int packed, int direction) {
  if (!path_) return;
  const int parts = path_->GetPartSize();
  int part = packed / 65536;
  int index = packed % 65536;
  for (; part < parts; ++part, index = 0) {
    const CVArray<_VPoint>* points = path_->GetPart(part);
    const int n = points ? points->GetSize() : 0;
    if (n < 4 || index >= n - 1) {
      // A short part, or one walked to its end: straight to its end (or back to the start).
      const _VPoint p = direction ? path_->GetPartPt(part, n - 1) : path_->GetPartPt(0, 0);
      MoveTo(p.x / 100, p.y / 100, 1, 1, 1);
      continue;
    }
    const int next = part * 65536 + index + n / 10 + 1;
    const _VPoint p =
        direction ? path_->GetPartPt(part, index) : path_->GetPartPt(parts - 1 - part, n - 1 - index);
    MoveTo(p.x / 100, p.y / 100, 0, 1, 1);
    Post(CVMsgDispatcher::kUIQueue, EngineMsg::PathStep, next, direction);
    return;
  }
  path_.reset();
}

void CMapControl::ZoomFrames(int steps, bool in) {
  const int w = status_.width;
  const int h = status_.height;
  for (int level = 0; level < steps; ++level) {
    scratch_.BitBlt(0, 0, w, h, &back_, 0, 0, kSourceCopy);
    for (int i = 1; i <= 10 && zoomAnimationAllowed_; ++i) {
      const std::uint32_t start = GetTickCount();
      if (in) {
        const int x = static_cast<int>(i * static_cast<double>(w) / 40);
        const int y = static_cast<int>(i * static_cast<double>(h) / 40);
        const int sw = static_cast<int>(w - 2.0 * i * w / 40);
        const int sh = static_cast<int>(h - 2.0 * i * h / 40);
        back_.StretchBlt(0, 0, w, h, &scratch_, x, y, sw, sh, kSourceCopy);
      } else {
        const int x = i * (w / 40);
        const int y = i * (h / 40);
        back_.FillSolidRect({0, 0, w, h}, kUncovered);
        back_.StretchBlt(x, y, w - 2 * x, h - 2 * y, &scratch_, 0, 0, w, h, kSourceCopy);
      }
      SendRepaint();
      if (GetTickCount() - start >= kSlowFrameMs) zoomAnimationAllowed_ = false;
    }
    status_.SetLevel(status_.level + (in ? 1 : -1));
    status_.UpdateBounds(status_.KeptCols(), status_.KeptRows());
    if (auto* request = dynamic_cast<mapsdk::GridReqEx*>(BaseLayer().Request()))
      request->RefreshFromCache(true);
    UpdateResultLayers();
  }
}

void CMapControl::SetLevel(int level, int refresh, int animate, int notify) {
  fullRedraw_ = false;
  level = std::clamp(level, mapsdk::CMapStatus::kMinLevel, mapsdk::CMapStatus::kMaxLevel);
  const int current = status_.level;
  const int w = status_.width;
  const int h = status_.height;
  // The copy the zoom stretches from lives only for the zoom: a map at rest holds one picture.
  if (built_ && back_.IsValid() && MakeBuffer(scratch_, w, h)) {
    if (animate && notify && zoomAnimationAllowed_ && level != current) {
      ZoomFrames(std::abs(level - current), level > current);
    } else {
      const int f = 1 << std::min(std::abs(level - current), 15);
      const int sw = w / f;
      const int sh = h / f;
      scratch_.BitBlt(0, 0, w, h, &back_, 0, 0, kSourceCopy);
      if (level > current) {
        back_.StretchBlt(0, 0, w, h, &scratch_, (w - sw) / 2, h / 2 - sh / 2, sw, sh, kSourceCopy);
      } else {
        back_.FillSolidRect({0, 0, w, h}, kUncovered);
        back_.StretchBlt((w - sw) / 2, (h - sh) / 2, sw, sh, &scratch_, 0, 0, w, h, kSourceCopy);
      }
    }
    scratch_.DeleteDC();
  }
  fullRedraw_ = true;
  status_.SetLevel(level);
  if (!refresh || !built_) {
    if (notify) RequestRepaint();
    return;
  }
  status_.UpdateBounds(status_.KeptCols(), status_.KeptRows());
  if (street_->IsShown()) street_->Update();
  if (satellite_->IsShown()) satellite_->Update();
  if (traffic_->IsShown() && StreetPendingEmpty()) traffic_->Update();
  UpdateResultLayers();
  background_->Update();
  CityCheck();
  if (notify) RequestRepaint();
}

void CMapControl::ZoomToRect(const _VRect& rect) {
  const std::int64_t w = Abs(static_cast<std::int64_t>(rect.right) - rect.left);
  const std::int64_t h = Abs(static_cast<std::int64_t>(rect.top) - rect.bottom);
  if ((w == 0 || h == 0) && rect.left == 0 && rect.top == 0) return;
  auto halvings = [](std::int64_t extent, std::int64_t available) {
    int n = 0;
    while (extent > available && extent > 0) {
      extent /= 2;
      ++n;
    }
    return n;
  };
  const int k = std::max(halvings(w, status_.width), halvings(h, status_.height));
  SetLevel(mapsdk::CMapStatus::kMaxLevel - k, 1, 0, 1);
}

int CMapControl::ShowLayer(MapLayerCode code, int on) {
  if (!built_) return 0;
  fullRedraw_ = true;
  const bool show = on != 0;
  switch (code) {
    case MapLayerCode::Street:
    case MapLayerCode::Satellite: {
      CGridLayer& layer = code == MapLayerCode::Street ? *street_ : *satellite_;
      CGridLayer& other = code == MapLayerCode::Street ? *satellite_ : *street_;
      if (layer.IsShown() == show) return 1;
      other.Show(!show);
      layer.Show(show);
      if (street_->IsShown()) {
        street_->Update();
      } else if (satellite_->IsShown()) {
        satellite_->Update();
      }
      RequestRepaint();
      return 1;
    }
    case MapLayerCode::Traffic:
      traffic_->Show(show);
      if (show && StreetPendingEmpty()) traffic_->Update();
      RequestRepaint();
      return 1;
    default:
      break;
  }
  mapsdk::CMapLayer* layer = ResultLayer(code);
  if (!layer) return 0;
  layer->Show(show);
  layer->Update();
  RequestRepaint();
  return 1;
}

bool CMapControl::IsLayerShown(MapLayerCode code) const {
  if (!built_) return false;
  switch (code) {
    case MapLayerCode::Street:
      return street_->IsShown();
    case MapLayerCode::Satellite:
      return satellite_->IsShown();
    case MapLayerCode::Traffic:
      return traffic_->IsShown();
    default: {
      const mapsdk::CMapLayer* layer = ResultLayer(code);
      return layer && layer->IsShown();
    }
  }
}

void CMapControl::OnSearchResult(SearchType type, SearchError error) {
  if (!built_) return;
  // The search client is free again: background tiles put off while it was busy are asked now.
  background_->Update();
  if (error != SearchError::None) return;
  if (IsPoiType(type)) {
    poi_->SetResultType(type);
  } else if (IsRouteType(type)) {
    route_->SetResultType(type);
  } else if (IsPointType(type)) {
    point_->SetResultType(type);
  } else {
    return;
  }
  UpdateLayers();
}

void CMapControl::DrawGrid() {
  const int w = status_.width;
  const int h = status_.height;
  const int shorter = std::min(w, h);
  const int b = shorter < 10 ? 1 : shorter / 10;
  VPen* previous = back_.SelectObject(&gridPen_);
  for (int x = (b - status_.offsetX % b) % b; x < w; x += b) {
    back_.MoveTo(x, 0);
    back_.LineTo(x, h);
  }
  for (int y = (b - status_.offsetY % b) % b; y < h; y += b) {
    back_.MoveTo(0, y);
    back_.LineTo(w, y);
  }
  back_.SelectObject(previous);
}

int CMapControl::Draw(CVDC& dc) {
  if (!built_) return 0;
  if (fullRedraw_ && back_.IsValid()) {
    back_.FillSolidRect({0, 0, status_.width, status_.height}, kBackground);
    DrawGrid();
    mapsdk::CVDCDrawTarget target(back_);
    for (mapsdk::CMapLayer* layer : Layers()) {
      if (layer->IsShown()) layer->Draw(target);
    }
  }
  if (dc.IsValid()) {
    dc.BitBlt(status_.window.left, status_.window.top, status_.width, status_.height, &back_, 0, 0,
              kSourceCopy);
  }
  return 1;
}

void CMapControl::OnTileMessage(CGridLayer& layer, EngineMsg message, int tag) {
  if (!layer.Request()) return;
  if (layer.Request()->OnHttpMessage(message, tag)) {
    fullRedraw_ = true;
    RequestRepaint();
  }
}

double CMapControl::RetryDelay() const {
  double delay = kFirstRetrySeconds;
  for (int i = 1; i < tileFailures_ && delay < kLastRetrySeconds; ++i) delay *= 2;
  return std::min(delay, kLastRetrySeconds);
}

void CMapControl::OnTileFailure() {
  // A host that fails is asked again after a wait that doubles up to a cap, never at once: a
  // reset connection or a portal's page would otherwise be asked for thousands of times a second.
  if (++tileFailures_ == 1) {
    platform::NotificationCenter::defaultCenter().post(kNotificationMapTilesFailed, this);
  }
  if (retryScheduled_) return;
  retryScheduled_ = true;
  platform::RunLoop::main().performAfter(RetryDelay(), this, [this] {
    retryScheduled_ = false;
    if (!dragMode_) UpdateLayers();
    offline_.ContinueDownload(offline_.GetHeadReceived(), 1);
  });
}

void CMapControl::OnTileSuccess() {
  tileFailures_ = 0;
  if (retryScheduled_) {
    platform::RunLoop::main().cancelPerforms(this);
    retryScheduled_ = false;
  }
}

void CMapControl::OnOfflineMessage(EngineMsg message, int tag) {
  if (tag != offline_.GetBatchSequence()) return;
  if (message == EngineMsg::HttpData || message == EngineMsg::HttpComplete) {
    mapsdk::BatchParseState& state = client_.ParseState();
    CVArray<GridKey> keys;
    client_.ParseBatch(tag, state, keys);
    for (int e = state.deliveredBefore; e < state.complete && e < keys.GetSize(); ++e) {
      int position = state.positions[static_cast<std::size_t>(e)];
      if (position < 0) continue;
      const int saved = offline_.SaveGridData(
          client_.Buffer() + position, state.lengths[static_cast<std::size_t>(e)], keys[e], state.level);
      if (saved < 0) {
        // The disk took no more: the download stops here, once, rather than asking for the same
        // tiles forever.
        offline_.StopAfterFailedSave();
        platform::NotificationCenter::defaultCenter().post(kNotificationOfflineSaveFailed, this);
        return;
      }
      if (saved > 0) ++offlineSaved_;
    }
    if (message == EngineMsg::HttpComplete) {
      const bool any = offlineSaved_ > 0;
      offlineSaved_ = 0;
      if (!any) {
        OnTileFailure();
        return;
      }
      OnTileSuccess();
      offline_.ContinueDownload(offline_.GetHeadReceived(), 1);
    }
    return;
  }
  if (IsBatchFailure(message)) {
    client_.CancelRequest();
    offlineSaved_ = 0;
    OnTileFailure();
  }
}

int CMapControl::OnMessage(EngineMsg message, int wParam, int lParam) {
  if (!built_) return -1;
  switch (message) {
    case EngineMsg::Timer:
      offline_.OnTimer(ToInt(message), wParam);
      return -1;
    case EngineMsg::SlideStep:
      SlideStep();
      return -1;
    case EngineMsg::ZoomStep:
      ZoomStep();
      return -1;
    case EngineMsg::OfflineCommand:
      offline_.OnCommand(static_cast<OfflineCommand>(wParam), lParam);
      return -1;
    case EngineMsg::PoiBkgData:
      OnPoiBkgData(static_cast<SearchError>(lParam));
      return -1;
    default:
      break;
  }
  if (!IsHttpMessage(message) || message == EngineMsg::HttpPage) return -1;
  const auto from = static_cast<EngineClient>(wParam);
  if (from == EngineClient::OfflineBatch) {
    OnOfflineMessage(message, lParam);
    return -1;
  }
  const bool satellite = from == EngineClient::Satellite;
  CGridLayer& layer = satellite                                       ? *satellite_
                      : lParam >= mapsdk::CTrafficReq::kFirstSequence ? *traffic_
                                                                      : *street_;
  mapsdk::CGridHttpClient& client = satellite ? satelliteClient_ : client_;
  // Answers and failures of a batch no longer asked for change nothing, nor does an answer that
  // another client under the same id (another map's) asked for with the same number.
  if (!layer.Request() || lParam != layer.Request()->Sequence()) return -1;
  if ((message == EngineMsg::HttpData || message == EngineMsg::HttpComplete) && !client.HoldsAnswerOf(lParam))
    return -1;
  if (IsBatchFailure(message)) {
    client.CancelRequest();
    client.SetMapRequesting(0);
    OnTileFailure();
    return -1;
  }
  OnTileMessage(layer, message, lParam);
  if (message != EngineMsg::HttpComplete) return -1;
  client.SetMapRequesting(0);
  if (layer.Request()->Delivered() == 0) {
    // An answer without a single tile (a portal's page, a host that has none) is a failure too.
    OnTileFailure();
    return -1;
  }
  OnTileSuccess();
  // A host answers as many tiles as fit its answer: the rest are asked for now.
  if (&layer != traffic_.get() && layer.Request()->HasMissing() && !dragMode_) {
    layer.Update();
    if (client.IsMapRequesting()) return -1;
  }
  // The base map is complete: its traffic comes next, on the same client.
  if (&layer == street_.get() && !layer.Request()->HasMissing() && traffic_->IsShown() && !dragMode_) {
    traffic_->Update();
    if (client.IsMapRequesting()) return -1;
  }
  // A batch that ended lets a queued offline download go on.
  offline_.ContinueDownload(offline_.GetHeadReceived(), 1);
  return -1;
}

bool CMapControl::HitTest(int x, int y, mapsdk::Attribute& result) const {
  if (!built_) return false;
  bool hit = false;
  // Every shown layer is asked, all with the same record: the last one that hits fills it.
  for (const mapsdk::CVectorLayer* layer : {poi_.get(), route_.get()}) {
    if (layer->IsShown() && layer->HitTest(x, y, result)) hit = true;
  }
  if (background_->IsShown() && background_->HitTest(x, y, result)) hit = true;
  if (point_->IsShown() && point_->HitTest(x, y, result)) hit = true;
  return hit;
}

}  // namespace gmengine
