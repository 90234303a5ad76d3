#include "mapsdk/display/GMKMapProbe.h"

#include <chrono>

#include "mapsdk/display/CTrafficReq.h"
#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/display/LayerStyles.h"
#include "mapsdk/display/MapControlBlock.h"
#include "mapsdk/display/TileImage.h"
#include "mapsdk/engine/CVFile.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/VGeoMath.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/search/CAppSearch.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

namespace mapsdk {

using namespace gmengine;

namespace {

CMapControlBlock* Control() { return MapControlOfEngine(); }

MapLayerCode CodeOf(GMKMapLayer layer) {
  switch (layer) {
    case GMKMapLayer::Street:
      return MapLayerCode::Street;
    case GMKMapLayer::Satellite:
      return MapLayerCode::Satellite;
    case GMKMapLayer::Traffic:
      return MapLayerCode::Traffic;
    case GMKMapLayer::SearchMarks:
      return MapLayerCode::Poi;
    case GMKMapLayer::Route:
      return MapLayerCode::Route;
    case GMKMapLayer::SmallPlaces:
      return MapLayerCode::BackgroundPoi;
  }
  return MapLayerCode::Street;
}

// A point in hundredths of a map unit (as result shapes keep them), in the picture.
GMKPicturePoint InPicture(const CMapStatus& status, const _VPoint& hundredths) {
  const _VPoint p = status.MapToScreen(hundredths.x / 100, hundredths.y / 100);
  return {p.x - status.window.left, p.y - status.window.top};
}

std::vector<GMKMapTile> TilesOf(const CMapControlBlock& control, const CGridLayer& layer) {
  const CMapStatus& status = control.Status();
  std::vector<GMKMapTile> tiles;
  for (const tagGirdData& tile : layer.Needed()) {
    GMKMapTile t;
    t.level = tile.level;
    t.column = tile.x;
    t.row = tile.y;
    t.left = (tile.x - status.firstTileCol) * tileimage::kTileSide - status.offsetX;
    t.top = (status.firstTileRow - tile.y) * tileimage::kTileSide - status.offsetY;
    t.pixels = static_cast<const std::uint32_t*>(tile.data);
    tiles.push_back(t);
  }
  return tiles;
}

// The home's offline data is held by one download at a time, across processes.
CVString LockPath(const COfflineMapMan& man) { return man.DataFolder() + CVString("OfflineDownload.lock"); }

}  // namespace

const std::uint32_t GMKMapProbe::kBlankFill = CMapControl::kBackground;
const std::uint32_t GMKMapProbe::kBlankGrid = CMapControl::kGridColor;
const std::uint32_t GMKMapProbe::kMarkColor = layerstyles::kPoiColor;
const std::uint32_t GMKMapProbe::kSmallPlaceColor = layerstyles::kBackgroundPoiColor;
const int GMKMapProbe::kTrafficMinLevel = CTrafficReq::kMinLevel;
static_assert(GMKMapProbe::kTileSide == tileimage::kTileSide);

CLLocationCoordinate2D GMKMapProbe::initialCenter() {
  return coordinateOfMapUnits(kInitialCenterX, kInitialCenterY);
}

int GMKMapProbe::initialLevel() { return kInitialLevel; }

CLLocationCoordinate2D GMKMapProbe::coordinateOfMapUnits(double x, double y) {
  CLLocationCoordinate2D c;
  MercatorToGeo(x, y, &c.longitude, &c.latitude);
  return c;
}

bool GMKMapProbe::engineRunning() { return GMKMapManager::engineRunning(); }

GMKMapProbe::Status GMKMapProbe::status() {
  const CMapControlBlock* control = Control();
  if (!control) return {};
  const CMapStatus& s = control->Status();
  return {s.level, s.centerX, s.centerY, s.width, s.height};
}

bool GMKMapProbe::moving() {
  const CMapControlBlock* control = Control();
  return control && (control->IsSliding() || control->IsGliding());
}

bool GMKMapProbe::tilesOnTheirWay() {
  CMapControlBlock* control = Control();
  return control && control->GridClient().IsBusy();
}

std::vector<GMKMapTile> GMKMapProbe::streetTiles() {
  CMapControlBlock* control = Control();
  return control ? TilesOf(*control, control->StreetLayer()) : std::vector<GMKMapTile>();
}

std::vector<GMKMapTile> GMKMapProbe::trafficTiles() {
  CMapControlBlock* control = Control();
  return control ? TilesOf(*control, control->TrafficLayer()) : std::vector<GMKMapTile>();
}

int GMKMapProbe::tileFailures() {
  const CMapControlBlock* control = Control();
  return control ? control->TileFailures() : 0;
}

bool GMKMapProbe::showLayer(GMKMapLayer layer, bool on) {
  CMapControlBlock* control = Control();
  return control && control->ShowLayer(CodeOf(layer), on ? 1 : 0) != 0;
}

bool GMKMapProbe::layerShown(GMKMapLayer layer) {
  const CMapControlBlock* control = Control();
  return control && control->IsLayerShown(CodeOf(layer));
}

void GMKMapProbe::repaint() {
  if (CMapControlBlock* control = Control()) control->RequestRepaint();
}

bool GMKMapProbe::searchMarksCame() {
  CMapControlBlock* control = Control();
  return control && control->PoiLayer().ResultType() != SearchType::None &&
         !control->PoiLayer().Elements().empty();
}

std::vector<GMKMapMark> GMKMapProbe::searchMarks() {
  CMapControlBlock* control = Control();
  if (!control) return {};
  std::vector<GMKMapMark> marks;
  for (const CGeoElement& element : control->PoiLayer().Elements()) {
    GMKMapMark mark;
    mark.style = element.attribute.styleId;
    mark.name = element.attribute.name.ToUtf8();
    mark.placed = element.shape.GetPartSize() > 0;
    if (mark.placed) mark.at = InPicture(control->Status(), element.shape.GetPartPt(0, 0));
    marks.push_back(std::move(mark));
  }
  return marks;
}

std::vector<GMKPicturePoint> GMKMapProbe::routePoints() {
  CMapControlBlock* control = Control();
  if (!control) return {};
  std::vector<GMKPicturePoint> points;
  for (const CGeoElement& element : control->RouteLayer().Elements()) {
    for (int part = 0; part < element.shape.GetPartSize(); ++part) {
      const CVArray<_VPoint>* line = element.shape.GetPart(part);
      for (int i = 0; line && i < line->GetSize(); ++i)
        points.push_back(InPicture(control->Status(), (*line)[i]));
    }
  }
  return points;
}

std::vector<GMKPicturePoint> GMKMapProbe::smallPlaces() {
  CMapControlBlock* control = Control();
  if (!control) return {};
  const CMapStatus& status = control->Status();
  std::vector<GMKPicturePoint> places;
  for (const auto& tile : control->BackgroundLayer().Tiles()) {
    for (const auto& poi : tile.pois) {
      const _VPoint p =
          status.MapToScreen(static_cast<std::int32_t>(poi.x), static_cast<std::int32_t>(poi.y));
      places.push_back({p.x - status.window.left, p.y - status.window.top});
    }
  }
  return places;
}

bool GMKMapProbe::searching() {
  const CMapControlBlock* control = Control();
  const CAppSearch* search = control ? control->Search() : nullptr;
  return search && search->IsSearching();
}

bool GMKMapProbe::findingCity() {
  const CMapControlBlock* control = Control();
  const CAppSearch* search = control ? control->Search() : nullptr;
  return search && search->IsFindingCity();
}

std::vector<std::uint32_t> GMKMapProbe::decodeTile(const std::string& bytes) {
  std::vector<std::uint32_t> pixels(tileimage::kTilePixels);
  if (!tileimage::Decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), pixels.data()))
    return {};
  return pixels;
}

// ---- Offline download ----------------------------------------------------------------------------

std::unique_ptr<GMKOfflineDownload> GMKOfflineDownload::start(const COLUpdateRecord& city, Refusal& why) {
  CMapControlBlock* control = Control();
  COLRecordMan* records = control ? control->OfflineMan().RecordMan() : nullptr;
  if (!records) {
    why = Refusal::NoEngine;
    return nullptr;
  }
  COfflineMapMan& man = control->OfflineMan();
  std::unique_ptr<GMKOfflineDownload> download(new GMKOfflineDownload());
  download->lock_ = std::make_unique<CVFileLock>();
  if (!download->lock_->TryLock(LockPath(man))) {
    why = Refusal::HeldElsewhere;
    return nullptr;
  }
  why = Refusal::None;
  download->cityId_ = city.local.id;
  for (const CVString& package : city.local.packages)
    download->paths_.push_back(control->OfflineStore().PackagePath(package).ToUtf8());
  std::weak_ptr<bool> saveFailed = download->saveFailed_;
  download->observer_ = platform::NotificationCenter::defaultCenter().addObserver(
      kNotificationOfflineSaveFailed, nullptr, [saveFailed](const platform::Notification&) {
        if (auto failed = saveFailed.lock()) *failed = true;
      });
  COLUpdateRecord stored = city;
  records->StoreRecord(stored);
  download->batchesBefore_ = man.GetBatchSequence();
  download->failuresBefore_ = control->TileFailures();
  records->StartCity(city.local.id);
  return download;
}

std::string GMKOfflineDownload::nameOf(const COLUpdateRecord& city) { return city.local.name.ToUtf8(); }

GMKOfflineDownload::~GMKOfflineDownload() {
  if (observer_) platform::NotificationCenter::defaultCenter().removeObserver(observer_);
}

int GMKOfflineDownload::received() const {
  CMapControlBlock* control = Control();
  return control ? control->OfflineMan().GetReceivedCount() : 0;
}

int GMKOfflineDownload::total() const {
  CMapControlBlock* control = Control();
  return control ? control->OfflineMan().GetTotalCount() : 0;
}

int GMKOfflineDownload::failed() const {
  CMapControlBlock* control = Control();
  return control ? control->OfflineMan().GetFailedCount() : 0;
}

std::vector<std::string> GMKOfflineDownload::failedTiles() const {
  CMapControlBlock* control = Control();
  return control ? control->OfflineMan().GetFailedTiles() : std::vector<std::string>();
}

int GMKOfflineDownload::batchesAsked() const {
  CMapControlBlock* control = Control();
  return control ? control->OfflineMan().GetBatchSequence() - batchesBefore_ : 0;
}

int GMKOfflineDownload::failuresSinceStart() const {
  CMapControlBlock* control = Control();
  return control ? control->TileFailures() - failuresBefore_ : 0;
}

bool GMKOfflineDownload::finished() const {
  CMapControlBlock* control = Control();
  COLRecordMan* records = control ? control->OfflineMan().RecordMan() : nullptr;
  std::optional<COLUpdateRecord> record = records ? records->GetUpdateRecord(cityId_) : std::nullopt;
  return record && record->local.state == OfflineCityState::Finished && record->local.ratio == 10000;
}

std::string GMKOfflineDownload::packagePaths() const {
  std::string paths;
  for (const std::string& path : paths_) paths += (paths.empty() ? "" : ", ") + path;
  return paths;
}

bool GMKOfflineDownload::pause() {
  CMapControlBlock* control = Control();
  if (!control) return false;
  COfflineMapMan& man = control->OfflineMan();
  // Queued behind the commands that started the download, so none of them switches it on again.
  if (CVMsgDispatcher* dispatcher = control->Services().Dispatcher())
    dispatcher->PostMessage(CVMsgDispatcher::kEngineQueue, ToInt(EngineMsg::OfflineCommand),
                            ToInt(OfflineCommand::SwitchDownload), 0);
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (man.IsDownloadOn() && std::chrono::steady_clock::now() < giveUp)
    platform::RunLoop::main().runOnceHoldingClock(0.002);
  return !man.IsDownloadOn();
}

void GMKOfflineDownload::stop() {
  CMapControlBlock* control = Control();
  if (COLRecordMan* records = control ? control->OfflineMan().RecordMan() : nullptr)
    records->StopCity(cityId_);
}

}  // namespace mapsdk
