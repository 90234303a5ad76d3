#pragma once
#include <memory>
#include <vector>

#include "mapsdk/display/CBKGLayer.h"
#include "mapsdk/display/CGridHttpClient.h"
#include "mapsdk/display/CGridLayer.h"
#include "mapsdk/display/CLocLayer.h"
#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/CVectorLayer.h"
#include "mapsdk/engine/CComplexPt.h"
#include "mapsdk/engine/EngineServices.h"
#include "mapsdk/engine/EngineTypes.h"
#include "mapsdk/offline/COfflineDataCache.h"
#include "mapsdk/offline/COfflineMapMan.h"
#include "mapsdk/raster/CDataDisp.h"
#include "mapsdk/raster/CVDC.h"
#include "mapsdk/raster/CVPen.h"
#include "mapsdk/raster/CVWnd.h"

namespace mapsdk {
class CAppLocation;
}

namespace gmengine {

class CAppSearch;

// Posted once when tile batches start failing (after a success, a new run is posted again).
inline constexpr const char* kNotificationMapTilesFailed = "NotificationMapTilesFailed";
// Posted when an offline download stopped because a tile could not be saved.
inline constexpr const char* kNotificationOfflineSaveFailed = "NotificationOfflineSaveFailed";

// Layer codes of ShowLayer: the base maps, then the result layers (4 and 5 both the POI marks).
enum class MapLayerCode : int {
  Street = 1,
  Satellite = 2,
  Traffic = 3,
  Poi = 4,
  PoiAlias = 5,
  Route = 6,
  Location = 7,
  BackgroundPoi = 8,
  SinglePoint = 9
};

// The map controller: its own map status (the camera: two controllers never share one), the layers (street,
// satellite and traffic tiles, small places, search results, location), the tile client they share with the
// offline map manager, and the moves and zooms that change what is shown. A change has the layers updated and
// EngineMsg::Repaint posted; the repaint draws every shown layer into the window's context. Main thread,
// except the offline timer, which the offline map manager guards itself.
class CMapControl {
 public:
  // Where no tile is drawn: a light grey under a dotted grid that moves with the map.
  static constexpr std::uint32_t kBackground = 0xFFD2D2D2u;
  static constexpr std::uint32_t kGridColor = 0xFF808080u;
  // What a zoom or a continuous move uncovers.
  static constexpr std::uint32_t kUncovered = 0xFFC0C0C0u;
  // A drag shorter than this on both axes (pixels) settles without a slide.
  static constexpr int kSlideThreshold = 30;
  // The city is asked for again after the centre moved this far (map units) or the level changed.
  static constexpr int kCityCheckDistance = 15000;
  // A zoom frame slower than this (ms) turns the zoom animation off for good.
  static constexpr std::uint32_t kSlowFrameMs = 81;
  // Waits before a failed tile batch is asked for again: doubling from the first to the last.
  static constexpr double kFirstRetrySeconds = 0.5;
  static constexpr double kLastRetrySeconds = 30;

  // Over the engine's dispatcher, network threads, URL builder, data folder and icon table (none
  // of them given: the controller draws but posts and asks for nothing).
  explicit CMapControl(const EngineServices& engine);
  ~CMapControl();
  CMapControl(const CMapControl&) = delete;
  CMapControl& operator=(const CMapControl&) = delete;

  void SetSearch(CAppSearch* search);
  CAppSearch* Search() const { return search_; }
  void SetLocation(mapsdk::CAppLocation* location);
  // Centre (map units), window rectangle (pixels), level; builds the layers on the first call.
  int Init(int centerX, int centerY, int left, int top, int right, int bottom, int level);
  int SetWindowRect(int left, int top, int right, int bottom);
  // The engine window the map is shown in (the display hands it over with the initial status; it
  // outlives the controller). Null until then.
  void SetWindow(CVWnd* window) { window_ = window; }
  CVWnd* Window() const { return window_; }
  // Deletes every layer and empties the layer list (Init builds them again). 1.
  int RemoveAllLayers();

  // With animate and notify, a move of more than 5 pixels glides there: each step covers a fifth of
  // what is left (animation begin posted per step, end when there); otherwise the centre jumps.
  // With refresh the base map is asked for and the city checked; with notify the map repaints.
  void MoveTo(int x, int y, int animate, int refresh, int notify);
  // One step of the glide MoveTo started (run 0.01 s after each animation-begin message).
  void MoveSmooth();
  bool IsGliding() const { return gliding_; }
  // Level held to 3..18; with animate (and notify) the picture zooms in ten frames per level.
  void SetLevel(int level, int refresh, int animate, int notify);
  // The largest level at which the rectangle (map units, top the larger y) fits the window.
  void ZoomToRect(const _VRect& rect);
  int ShowLayer(MapLayerCode code, int on);
  bool IsLayerShown(MapLayerCode code) const;
  // Every shown layer updated, then a repaint posted.
  void UpdateLayers();
  // The background POI layer runs its request again (PoiBkgData comes here through OnMessage), then
  // a repaint is posted.
  void UpdateBKGLayer();
  // Background POI data arrived (error 0) or failed: the layer takes it and the map repaints.
  void OnPoiBkgData(gmengine::SearchError error);
  // The vector layers show the result of this type (from SearchResult).
  void OnSearchResult(gmengine::SearchType type, gmengine::SearchError error);
  // When a full redraw is due, paints background, grid and shown layers into the back buffer; then
  // copies the back buffer into the context (when valid) at the window's left and top.
  int Draw(CVDC& dc);

  // An engine message (EngineMsg) for the map: HTTP messages of the tile clients (wParam the
  // EngineClient: Street, and traffic by its request numbers, OfflineBatch and Satellite),
  // SlideStep and ZoomStep, PoiBkgData, OfflineCommand, timers.
  int OnMessage(EngineMsg message, int wParam, int lParam);
  // One step of the slide after a fling: each drag-offset component of 6 pixels or more shrinks to
  // one less (17 at most), and the map moves by the offset; false when the slide has ended.
  bool SlideStep();
  // A continuous move's step (ZoomStep). Nothing here drives one, so the step is always zero and it
  // refreshes every layer, checks the city and repaints.
  void ZoomStep();
  bool IsSliding() const { return sliding_; }
  // Walks the map along the path (parts in hundredths of map units), one step per UI message;
  // direction 0 walks it backwards.
  void StartPath(const gmengine::CComplexPt& path, int direction);
  void MoveAlongPath(int packed, int direction);
  bool IsWalkingPath() const { return path_ != nullptr; }

  // Window pixel: asks the shown result layers in turn (POI marks, route, background POIs, single
  // point); each hit overwrites the record, so the last layer that hits wins.
  bool HitTest(int x, int y, mapsdk::Attribute& result) const;
  // With flag, back (without animation) to the saved move target; else the centre is saved.
  void ResetDragOffset(int flag);
  void SetDragDrawMode() {
    dragMode_ = true;
    fullRedraw_ = false;
  }
  void SetFullDrawMode() {
    dragMode_ = false;
    fullRedraw_ = true;
  }
  // A drag from origin to end (window pixels) whose centre move is done: a long one slides on.
  void OnDragEnd(int originX, int originY, int endX, int endY);
  void RequestRepaint();

  // What the engine lent the controller.
  const EngineServices& Services() const { return engine_; }
  mapsdk::CMapStatus& Status() { return status_; }
  const mapsdk::CMapStatus& Status() const { return status_; }
  COfflineMapMan& OfflineMan() { return offline_; }
  COfflineDataCache& OfflineStore() { return offlineStore_; }
  mapsdk::CGridHttpClient& GridClient() { return client_; }
  mapsdk::CGridLayer& StreetLayer() { return *street_; }
  mapsdk::CVectorLayer& PoiLayer() { return *poi_; }
  mapsdk::CVectorLayer& RouteLayer() { return *route_; }
  mapsdk::CVectorLayer& PointLayer() { return *point_; }
  mapsdk::CGridLayer& TrafficLayer() { return *traffic_; }
  mapsdk::CBKGLayer& BackgroundLayer() { return *background_; }
  // Failed tile batches in a row (0 after a batch that brought tiles), and the wait before the
  // next attempt.
  int TileFailures() const { return tileFailures_; }
  double RetryDelay() const;

 private:
  // The layer a result code names (null for the base maps and for layers not built).
  mapsdk::CMapLayer* ResultLayer(MapLayerCode code) const;
  mapsdk::CGridLayer& BaseLayer() const { return street_->IsShown() ? *street_ : *satellite_; }
  // The street tiles asked for have all come (or none was asked): the shared client is free for
  // traffic.
  bool StreetPendingEmpty() const;
  // Update of the POI, route, background and single-point layers (shown ones).
  void UpdateResultLayers();
  // The centre one step towards the move target; the base map refreshed from the caches when the
  // view left the loaded tiles.
  void StepTowardTarget(bool fallback);
  void CityCheck();
  void SendRepaint();
  void ResizeBackBuffer(int width, int height);
  void DrawGrid();
  void ZoomFrames(int steps, bool in);
  void BuildLayers();
  void SizeGridRequests();
  void OnTileMessage(mapsdk::CGridLayer& layer, EngineMsg message, int tag);
  void OnOfflineMessage(EngineMsg message, int tag);
  void OnTileFailure();
  void OnTileSuccess();
  std::vector<mapsdk::CMapLayer*> Layers() const;
  void Post(int queue, EngineMsg message, int wParam, int lParam) const;
  void Send(int queue, EngineMsg message, int wParam, int lParam) const;

  EngineServices engine_;
  CVWnd* window_ = nullptr;
  mapsdk::CMapStatus status_;
  mapsdk::CGridHttpClient client_;
  mapsdk::CGridHttpClient satelliteClient_;
  COfflineDataCache offlineStore_;
  COfflineMapMan offline_;
  std::unique_ptr<mapsdk::CGridLayer> street_;
  std::unique_ptr<mapsdk::CGridLayer> satellite_;
  std::unique_ptr<mapsdk::CGridLayer> traffic_;
  std::unique_ptr<mapsdk::CBKGLayer> background_;
  std::unique_ptr<mapsdk::CVectorLayer> route_;
  std::unique_ptr<mapsdk::CVectorLayer> poi_;
  std::unique_ptr<mapsdk::CVectorLayer> point_;
  std::unique_ptr<mapsdk::CLocLayer> location_;
  CAppSearch* search_ = nullptr;
  CDataDisp disp_;  // the layers' element drawer
  mapsdk::BatchParseState offlineParse_;
  bool dragMode_ = false;
  bool built_ = false;
  bool fullRedraw_ = true;
  bool zoomAnimationAllowed_ = true;
  bool sliding_ = false;
  bool gliding_ = false;
  _VPoint dragOffset_;
  _VPoint moveTarget_;
  // Last city check: centre and level (all 0 before the first).
  _VPoint cityCenter_;
  int cityLevel_ = 0;
  std::unique_ptr<gmengine::CComplexPt> path_;
  CVDC back_;
  CVDC scratch_;
  CVPen gridPen_;
  int tileFailures_ = 0;
  bool retryScheduled_ = false;
  int offlineSaved_ = 0;  // tiles of the offline batch in flight that were stored
};

}  // namespace gmengine
