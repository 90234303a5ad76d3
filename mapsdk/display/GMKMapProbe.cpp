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

namespace {

gmengine::CMapControlBlock* Control() { return gmengine::MapControlOfEngine(); }

gmengine::MapLayerCode CodeOf(GMKMapLayer layer) {
  switch (layer) {
    case GMKMapLayer::Street:
      return gmengine::MapLayerCode::Street;
    case GMKMapLayer::Satellite:
      return gmengine::MapLayerCode::Satellite;
    case GMKMapLayer::Traffic:
      return gmengine::MapLayerCode::Traffic;
    case GMKMapLayer::SearchMarks:
      return gmengine::MapLayerCode::Poi;
    case GMKMapLayer::Route:
      return gmengine::MapLayerCode::Route;
    case GMKMapLayer::SmallPlaces:
      return gmengine::MapLayerCode::BackgroundPoi;
  }
  return gmengine::MapLayerCode::Street;
}

// A point in hundredths of a map unit (as result shapes keep them), in the picture.
GMKPicturePoint InPicture(const CMapStatus& status, const gmengine::_VPoint& hundredths) {
  const gmengine::_VPoint p = status.MapToScreen(hundredths.x / 100, hundredths.y / 100);
  return {p.x - status.window.left, p.y - status.window.top};
}

std::vector<GMKMapTile> TilesOf(const gmengine::CMapControlBlock& control, const CGridLayer& layer) {
  const CMapStatus& status = control.Status();
  std::vector<GMKMapTile> tiles;
  for (const gmengine::tagGirdData& tile : layer.Needed()) {
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
gmengine::CVString LockPath(const gmengine::COfflineMapMan& man) {
  return man.DataFolder() + gmengine::CVString("OfflineDownload.lock");
}

}  // namespace

const std::uint32_t GMKMapProbe::kBlankFill = gmengine::CMapControl::kBackground;
const std::uint32_t GMKMapProbe::kBlankGrid = gmengine::CMapControl::kGridColor;
const std::uint32_t GMKMapProbe::kMarkColor = layerstyles::kPoiColor;
const std::uint32_t GMKMapProbe::kSmallPlaceColor = layerstyles::kBackgroundPoiColor;
const int GMKMapProbe::kTrafficMinLevel = CTrafficReq::kMinLevel;
static_assert(GMKMapProbe::kTileSide == tileimage::kTileSide);

CLLocationCoordinate2D GMKMapProbe::initialCenter() {
  return coordinateOfMapUnits(gmengine::kInitialCenterX, gmengine::kInitialCenterY);
}

int GMKMapProbe::initialLevel() { return gmengine::kInitialLevel; }

CLLocationCoordinate2D GMKMapProbe::coordinateOfMapUnits(double x, double y) {
  CLLocationCoordinate2D c;
  gmengine::MercatorToGeo(x, y, &c.longitude, &c.latitude);
  return c;
}

bool GMKMapProbe::engineRunning() { return GMKMapManager::engineRunning(); }

GMKMapProbe::Status GMKMapProbe::status() {
  const gmengine::CMapControlBlock* control = Control();
  if (!control) return {};
  const CMapStatus& s = control->Status();
  return {s.level, s.centerX, s.centerY, s.width, s.height};
}

bool GMKMapProbe::moving() {
  const gmengine::CMapControlBlock* control = Control();
  return control && (control->IsSliding() || control->IsGliding());
}

bool GMKMapProbe::tilesOnTheirWay() {
  gmengine::CMapControlBlock* control = Control();
  return control && control->GridClient().IsBusy();
}

std::vector<GMKMapTile> GMKMapProbe::streetTiles() {
  gmengine::CMapControlBlock* control = Control();
  return control ? TilesOf(*control, control->StreetLayer()) : std::vector<GMKMapTile>();
}

std::vector<GMKMapTile> GMKMapProbe::trafficTiles() {
  gmengine::CMapControlBlock* control = Control();
  return control ? TilesOf(*control, control->TrafficLayer()) : std::vector<GMKMapTile>();
}

int GMKMapProbe::tileFailures() {
  const gmengine::CMapControlBlock* control = Control();
  return control ? control->TileFailures() : 0;
}

bool GMKMapProbe::showLayer(GMKMapLayer layer, bool on) {
  gmengine::CMapControlBlock* control = Control();
  return control && control->ShowLayer(CodeOf(layer), on ? 1 : 0) != 0;
}

bool GMKMapProbe::layerShown(GMKMapLayer layer) {
  const gmengine::CMapControlBlock* control = Control();
  return control && control->IsLayerShown(CodeOf(layer));
}

void GMKMapProbe::repaint() {
  if (gmengine::CMapControlBlock* control = Control()) control->RequestRepaint();
}

bool GMKMapProbe::searchMarksCame() {
  gmengine::CMapControlBlock* control = Control();
  return control && control->PoiLayer().ResultType() != gmengine::SearchType::None &&
         !control->PoiLayer().Elements().empty();
}

std::vector<GMKMapMark> GMKMapProbe::searchMarks() {
  gmengine::CMapControlBlock* control = Control();
  if (!control) return {};
  std::vector<GMKMapMark> marks;
  for (const auto& element : control->PoiLayer().Elements()) {
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
  gmengine::CMapControlBlock* control = Control();
  if (!control) return {};
  std::vector<GMKPicturePoint> points;
  for (const auto& element : control->RouteLayer().Elements()) {
    for (int part = 0; part < element.shape.GetPartSize(); ++part) {
      const gmengine::CVArray<gmengine::_VPoint>* line = element.shape.GetPart(part);
      for (int i = 0; line && i < line->GetSize(); ++i)
        points.push_back(InPicture(control->Status(), (*line)[i]));
    }
  }
  return points;
}

std::vector<GMKPicturePoint> GMKMapProbe::smallPlaces() {
  gmengine::CMapControlBlock* control = Control();
  if (!control) return {};
  const CMapStatus& status = control->Status();
  std::vector<GMKPicturePoint> places;
  for (const auto& tile : control->BackgroundLayer().Tiles()) {
    for (const auto& poi : tile.pois) {
      const gmengine::_VPoint p =
          status.MapToScreen(static_cast<std::int32_t>(poi.x), static_cast<std::int32_t>(poi.y));
      places.push_back({p.x - status.window.left, p.y - status.window.top});
    }
  }
  return places;
}

bool GMKMapProbe::searching() {
  const gmengine::CMapControlBlock* control = Control();
  const gmengine::CAppSearch* search = control ? control->Search() : nullptr;
  return search && search->IsSearching();
}

bool GMKMapProbe::findingCity() {
  const gmengine::CMapControlBlock* control = Control();
  const gmengine::CAppSearch* search = control ? control->Search() : nullptr;
  return search && search->IsFindingCity();
}

std::vector<std::uint32_t> GMKMapProbe::decodeTile(const std::string& bytes) {
  std::vector<std::uint32_t> pixels(tileimage::kTilePixels);
  if (!tileimage::Decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), pixels.data()))
    return {};
  return pixels;
}

// ---- Offline download ----------------------------------------------------------------------------

std::unique_ptr<GMKOfflineDownload> GMKOfflineDownload::start(const gmengine::COLUpdateRecord& city,
                                                              Refusal& why) {
  gmengine::CMapControlBlock* control = Control();
  gmengine::COLRecordMan* records = control ? control->OfflineMan().RecordMan() : nullptr;
  if (!records) {
    why = Refusal::NoEngine;
    return nullptr;
  }
  gmengine::COfflineMapMan& man = control->OfflineMan();
  std::unique_ptr<GMKOfflineDownload> download(new GMKOfflineDownload());
  download->lock_ = std::make_unique<gmengine::CVFileLock>();
  if (!download->lock_->TryLock(LockPath(man))) {
    why = Refusal::HeldElsewhere;
    return nullptr;
  }
  why = Refusal::None;
  download->cityId_ = city.local.id;
  for (const gmengine::CVString& package : city.local.packages)
    download->paths_.push_back(control->OfflineStore().PackagePath(package).ToUtf8());
  std::weak_ptr<bool> saveFailed = download->saveFailed_;
  download->observer_ = platform::NotificationCenter::defaultCenter().addObserver(
      gmengine::kNotificationOfflineSaveFailed, nullptr, [saveFailed](const platform::Notification&) {
        if (auto failed = saveFailed.lock()) *failed = true;
      });
  gmengine::COLUpdateRecord stored = city;
  records->StoreRecord(stored);
  download->batchesBefore_ = man.GetBatchSequence();
  download->failuresBefore_ = control->TileFailures();
  records->StartCity(city.local.id);
  return download;
}

std::string GMKOfflineDownload::nameOf(const gmengine::COLUpdateRecord& city) {
  return city.local.name.ToUtf8();
}

GMKOfflineDownload::~GMKOfflineDownload() {
  if (observer_) platform::NotificationCenter::defaultCenter().removeObserver(observer_);
}

int GMKOfflineDownload::received() const {
  gmengine::CMapControlBlock* control = Control();
  return control ? control->OfflineMan().GetReceivedCount() : 0;
}

int GMKOfflineDownload::total() const {
  gmengine::CMapControlBlock* control = Control();
  return control ? control->OfflineMan().GetTotalCount() : 0;
}

int GMKOfflineDownload::failed() const {
  gmengine::CMapControlBlock* control = Control();
  return control ? control->OfflineMan().GetFailedCount() : 0;
}

std::vector<std::string> GMKOfflineDownload::failedTiles() const {
  gmengine::CMapControlBlock* control = Control();
  return control ? control->OfflineMan().GetFailedTiles() : std::vector<std::string>();
}

int GMKOfflineDownload::batchesAsked() const {
  gmengine::CMapControlBlock* control = Control();
  return control ? control->OfflineMan().GetBatchSequence() - batchesBefore_ : 0;
}

int GMKOfflineDownload::failuresSinceStart() const {
  gmengine::CMapControlBlock* control = Control();
  return control ? control->TileFailures() - failuresBefore_ : 0;
}

bool GMKOfflineDownload::finished() const {
  gmengine::CMapControlBlock* control = Control();
  gmengine::COLRecordMan* records = control ? control->OfflineMan().RecordMan() : nullptr;
  std::optional<gmengine::COLUpdateRecord> record =
      records ? records->GetUpdateRecord(cityId_) : std::nullopt;
  return record && record->local.state == gmengine::OfflineCityState::Finished &&
         record->local.ratio == 10000;
}

std::string GMKOfflineDownload::packagePaths() const {
  std::string paths;
  for (const std::string& path : paths_) paths += (paths.empty() ? "" : ", ") + path;
  return paths;
}

bool GMKOfflineDownload::pause() {
  gmengine::CMapControlBlock* control = Control();
  if (!control) return false;
  gmengine::COfflineMapMan& man = control->OfflineMan();
  // Queued behind the commands that started the download, so none of them switches it on again.
  if (gmengine::CVMsgDispatcher* dispatcher = control->Services().Dispatcher())
    dispatcher->PostMessage(gmengine::CVMsgDispatcher::kEngineQueue,
                            gmengine::ToInt(gmengine::EngineMsg::OfflineCommand),
                            gmengine::ToInt(gmengine::OfflineCommand::SwitchDownload), 0);
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (man.IsDownloadOn() && std::chrono::steady_clock::now() < giveUp)
    platform::RunLoop::main().runOnceHoldingClock(0.002);
  return !man.IsDownloadOn();
}

void GMKOfflineDownload::stop() {
  gmengine::CMapControlBlock* control = Control();
  if (gmengine::COLRecordMan* records = control ? control->OfflineMan().RecordMan() : nullptr)
    records->StopCity(cityId_);
}

}  // namespace mapsdk
