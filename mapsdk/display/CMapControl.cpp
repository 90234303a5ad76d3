#include "mapsdk/display/CMapControl.h"

#include <algorithm>

#include "mapsdk/display/CAppLocation.h"
#include "mapsdk/display/CTrafficReq.h"
#include "mapsdk/display/CVDCDrawTarget.h"
#include "mapsdk/display/LayerStyles.h"
#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/raster/CVDC.h"
#include "mapsdk/search/CAppSearch.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

namespace gmengine {

using mapsdk::CGridLayer;
using mapsdk::GridKind;

namespace {

constexpr int kMsgSlideStep = 8008;
constexpr int kMsgZoomStep = 8009;
constexpr int kMsgOfflineCommand = 8013;
constexpr int kFileCapacity = 500;

void Post(int queue, int message, int wParam, int lParam) {
  CVMainGlobalMan* global = GetMainGlobalMan();
  if (global && global->dispatcher) global->dispatcher->PostMessage(queue, message, wParam, lParam);
}

bool IsFailure(int message) {
  return message == kHttpConnectFailed || message == kHttpAttemptsOver || message == kHttpTimeout;
}

bool IsPoiType(int type) {
  auto t = static_cast<SearchType>(type);
  return t == SearchType::PoiInCity || t == SearchType::PoiInBounds || t == SearchType::PoiAround ||
         t == SearchType::MultiKeyPoi;
}

bool IsRouteType(int type) {
  auto t = static_cast<SearchType>(type);
  return t == SearchType::Transit || t == SearchType::Driving || t == SearchType::Walking;
}

bool IsPointType(int type) {
  auto t = static_cast<SearchType>(type);
  return t == SearchType::PoiDetail || t == SearchType::Geocode || t == SearchType::ReverseGeocode;
}

}  // namespace

CMapControl::CMapControl() : status_(&mapsdk::CMapStatus::shared()) {}

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
  client_.Init();
  satelliteClient_.Init();
  CVMainGlobalMan* global = GetMainGlobalMan();
  if (global) offlineStore_.Init(global->sysInfo.dataPath, CVString("10000001"), 0);
  offline_.Init();
  offline_.SetHttpClient(&client_);
  offline_.SetOfflineDataCache(&offlineStore_);

  street_ = std::make_unique<CGridLayer>();
  street_->SetRequest(std::make_unique<mapsdk::GridReqEx>(GridKind::Street, status_));
  street_->SetDrawer(std::make_unique<mapsdk::GridDrawEx>(status_));
  street_->Request()->SetClient(&client_);
  street_->Request()->SetOfflineStore(&offlineStore_);

  satellite_ = std::make_unique<CGridLayer>();
  satellite_->SetRequest(std::make_unique<mapsdk::GridReqEx>(GridKind::Satellite, status_));
  satellite_->SetDrawer(std::make_unique<mapsdk::GridDrawEx>(status_));
  satellite_->Request()->SetClient(&satelliteClient_);

  traffic_ = std::make_unique<CGridLayer>();
  traffic_->SetRequest(std::make_unique<mapsdk::CTrafficReq>(status_));
  traffic_->SetDrawer(std::make_unique<mapsdk::GridDraw>(status_));
  traffic_->Request()->SetClient(&client_);

  mapsdk::layerstyles::Install(disp_);
  mapsdk::layerstyles::RegisterIcons();
  background_ = std::make_unique<mapsdk::CBKGLayer>(status_);
  background_->SetRequest(std::make_unique<mapsdk::CBKGReq>(status_));
  background_->SetDrawer(std::make_unique<mapsdk::CBKGDraw>(status_, &disp_));
  background_->Request()->SetDataKey(CVString(mapsdk::CBKGLayer::kDefaultDataKey));

  route_ = std::make_unique<mapsdk::CVectorLayer>(mapsdk::VectorSource::Route, status_, &disp_);
  poi_ = std::make_unique<mapsdk::CVectorLayer>(mapsdk::VectorSource::Poi, status_, &disp_);
  point_ = std::make_unique<mapsdk::CVectorLayer>(mapsdk::VectorSource::SinglePoint, status_, &disp_);
  location_ = std::make_unique<mapsdk::CLocLayer>();
  SetSearch(search_);
  // Only the street map and the location are shown at first.
  satellite_->Show(false);
  traffic_->Show(false);
  built_ = true;
}

void CMapControl::SizeGridRequests() {
  const int cols = status_->KeptCols();
  const int rows = status_->KeptRows();
  street_->Request()->Init(cols, rows, kFileCapacity, "Data.Index", "Grid.ca", false, true);
  satellite_->Request()->Init(cols, rows, kFileCapacity, "SatData.Index", "Satllite.ca", false, true);
  traffic_->Request()->Init(cols, rows, 0, "Data.Index", "Traf.ca", true, traffic_->IsShown());
}

int CMapControl::Init(int centerX, int centerY, int left, int top, int right, int bottom, int level) {
  if (!built_) BuildLayers();
  status_->SetLevel(level);
  status_->SetWindow({left, top, right, bottom});
  status_->SetCenter(centerX, centerY);
  SizeGridRequests();
  UpdateLayers();
  return 1;
}

int CMapControl::SetWindowRect(int left, int top, int right, int bottom) {
  if (!built_) return 0;
  status_->SetWindow({left, top, right, bottom});
  SizeGridRequests();
  UpdateLayers();
  return 1;
}

std::vector<mapsdk::CMapLayer*> CMapControl::Layers() const {
  if (!built_) return {};
  // Drawing order: tiles, the small places, then routes, marks and location.
  return {street_.get(), satellite_.get(), traffic_.get(), background_.get(),
          route_.get(),  poi_.get(),       point_.get(),   location_.get()};
}

void CMapControl::UpdateLayers() {
  if (!built_) return;
  status_->UpdateBounds(status_->KeptCols(), status_->KeptRows());
  for (mapsdk::CMapLayer* layer : Layers()) layer->Update();
  RequestRepaint();
}

void CMapControl::UpdateBKGLayer() {
  if (!built_) return;
  background_->Update();
  RequestRepaint();
}

void CMapControl::RequestRepaint() { Post(CVMsgDispatcher::kUIQueue, kMsgRepaint, 0, 0); }

void CMapControl::MoveTo(int x, int y, int animate, int update, int redraw) {
  if (animate && built_) {
    slideFrom_ = {status_->centerX, status_->centerY};
    slideTo_ = {x, y};
    slideStepsLeft_ = kSlideSteps;
    Post(CVMsgDispatcher::kUIQueue, kMsgAnimationBegin, 0, 0);
    return;
  }
  slideStepsLeft_ = 0;
  status_->SetCenter(x, y);
  if (update) {
    UpdateLayers();
  } else if (redraw) {
    status_->UpdateBounds(status_->KeptCols(), status_->KeptRows());
    RequestRepaint();
  }
}

bool CMapControl::SlideStep() {
  if (slideStepsLeft_ <= 0) return false;
  --slideStepsLeft_;
  const int done = kSlideSteps - slideStepsLeft_;
  auto along = [&](std::int64_t from, std::int64_t to) {
    return static_cast<std::int32_t>(from + (to - from) * done / kSlideSteps);
  };
  status_->SetCenter(along(slideFrom_.x, slideTo_.x), along(slideFrom_.y, slideTo_.y));
  UpdateLayers();
  if (slideStepsLeft_ == 0) {
    Post(CVMsgDispatcher::kUIQueue, kMsgAnimationEnd, 0, 0);
    return false;
  }
  return true;
}

void CMapControl::SetLevel(int level, int update, int, int) {
  status_->SetLevel(std::clamp(level, mapsdk::CMapStatus::kMinLevel, mapsdk::CMapStatus::kMaxLevel));
  if (update) {
    UpdateLayers();
  } else {
    status_->UpdateBounds(status_->KeptCols(), status_->KeptRows());
    RequestRepaint();
  }
}

void CMapControl::ZoomToRect(const _VRect& rect) {
  const std::int64_t w = std::llabs(static_cast<std::int64_t>(rect.right) - rect.left);
  const std::int64_t h = std::llabs(static_cast<std::int64_t>(rect.top) - rect.bottom);
  int level = mapsdk::CMapStatus::kMinLevel;
  for (int l = mapsdk::CMapStatus::kMaxLevel; l >= mapsdk::CMapStatus::kMinLevel; --l) {
    const std::int64_t upp = mapsdk::CMapStatus::UnitsPerPixel(l);
    if (w <= upp * status_->width && h <= upp * status_->height) {
      level = l;
      break;
    }
  }
  SetLevel(level, 1, 0, 0);
}

int CMapControl::ShowLayer(MapLayerCode code, int on) {
  if (!built_) return 0;
  if (code == MapLayerCode::Background) {
    background_->Show(on != 0);
    UpdateLayers();
    return 1;
  }
  CGridLayer* layer = code == MapLayerCode::Street      ? street_.get()
                      : code == MapLayerCode::Satellite ? satellite_.get()
                      : code == MapLayerCode::Traffic   ? traffic_.get()
                                                        : nullptr;
  if (!layer) return 0;
  if (layer->IsShown() != (on != 0)) {
    layer->Show(on != 0);
    if (code == MapLayerCode::Satellite) street_->Show(on == 0);
    if (code == MapLayerCode::Street) satellite_->Show(on == 0);
  }
  UpdateLayers();
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
    case MapLayerCode::Background:
      return background_->IsShown();
  }
  return false;
}

void CMapControl::OnSearchResult(int type, int error) {
  if (!built_) return;
  // The search client is free again: background tiles put off while it was busy are asked now.
  background_->Update();
  if (error != 0) return;
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

int CMapControl::Draw(CVDC& dc) {
  if (!built_ || !dc.IsValid()) return 0;
  VBitmap* bitmap = dc.GetCurrentBitmap();
  if (bitmap) dc.FillSolidRect({0, 0, bitmap->width, bitmap->height}, kBackground);
  mapsdk::CVDCDrawTarget target(dc);
  for (mapsdk::CMapLayer* layer : Layers()) layer->Draw(target);
  return 1;
}

void CMapControl::OnTileMessage(CGridLayer& layer, int message, int tag) {
  if (!layer.Request()) return;
  if (layer.Request()->OnHttpMessage(message, tag)) RequestRepaint();
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

void CMapControl::OnOfflineMessage(int message, int tag) {
  if (tag != offline_.GetBatchSequence()) return;
  if (message == kHttpData || message == kHttpComplete) {
    mapsdk::BatchParseState& state = client_.ParseState();
    CVArray<GridKey> keys;
    client_.ParseBatch(state, keys);
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
    if (message == kHttpComplete) {
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
  if (IsFailure(message) || message == kHttpBadAnswer || message == kHttpTooLarge ||
      message == kHttpMarkupPage) {
    client_.CancelRequest();
    offlineSaved_ = 0;
    OnTileFailure();
  }
}

int CMapControl::OnMessage(int message, int wParam, int lParam) {
  if (!built_) return -1;
  switch (message) {
    case CVMsgDispatcher::kTimerMessage:
      offline_.OnTimer(message, wParam);
      return -1;
    case kMsgSlideStep:
      SlideStep();
      return -1;
    case kMsgZoomStep:
      return -1;
    case kMsgOfflineCommand:
      offline_.OnCommand(wParam, lParam);
      return -1;
    case CAppSearch::kMsgPoiBkgData:
      if (background_->OnDataArrived(lParam)) RequestRepaint();
      return -1;
    default:
      break;
  }
  if (message < 1000 || (message > 1008 && message != kHttpMarkupPage)) return -1;
  if (wParam == mapsdk::CGridHttpClient::kOfflineClientId) {
    OnOfflineMessage(message, lParam);
    return -1;
  }
  const bool satellite = wParam == mapsdk::CGridHttpClient::kSatelliteClientId;
  CGridLayer& layer = satellite                                       ? *satellite_
                      : lParam >= mapsdk::CTrafficReq::kFirstSequence ? *traffic_
                                                                      : *street_;
  mapsdk::CGridHttpClient& client = satellite ? satelliteClient_ : client_;
  // Answers and failures of a batch no longer asked for change nothing.
  if (!layer.Request() || lParam != layer.Request()->Sequence()) return -1;
  if (IsFailure(message) || message == kHttpMarkupPage || message == kHttpBadAnswer ||
      message == kHttpTooLarge) {
    client.CancelRequest();
    client.SetMapRequesting(0);
    OnTileFailure();
    return -1;
  }
  OnTileMessage(layer, message, lParam);
  if (message != kHttpComplete) return -1;
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
  // A batch that ended lets a queued offline download go on.
  offline_.ContinueDownload(offline_.GetHeadReceived(), 1);
  return -1;
}

bool CMapControl::HitTest(int x, int y, mapsdk::Attribute& result) const {
  if (!built_) return false;
  for (const auto* layer : {point_.get(), poi_.get(), route_.get()}) {
    if (layer->HitTest(x, y, result)) return true;
  }
  return background_->HitTest(x, y, result);
}

void CMapControl::OnDragEnd(int originX, int originY, int endX, int endY) {
  const std::int64_t upp = status_->upp;
  std::int64_t x = dragCenter_.x + (originX - endX) * upp;
  std::int64_t y = dragCenter_.y - (originY - endY) * upp;
  MoveTo(static_cast<int>(x), static_cast<int>(y), 0, 1, 1);
}

}  // namespace gmengine
