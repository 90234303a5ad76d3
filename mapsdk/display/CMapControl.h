#pragma once
#include <memory>
#include <vector>

#include "mapsdk/display/CBKGLayer.h"
#include "mapsdk/display/CGridHttpClient.h"
#include "mapsdk/display/CGridLayer.h"
#include "mapsdk/display/CLocLayer.h"
#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/CVectorLayer.h"
#include "mapsdk/offline/COfflineDataCache.h"
#include "mapsdk/offline/COfflineMapMan.h"
#include "mapsdk/raster/CDataDisp.h"

namespace mapsdk {
class CAppLocation;
}

namespace gmengine {

class CAppSearch;
class CVDC;

// Posted once when tile batches start failing (after a success, a new run is posted again).
inline constexpr const char* kNotificationMapTilesFailed = "NotificationMapTilesFailed";
// Posted when an offline download stopped because a tile could not be saved.
inline constexpr const char* kNotificationOfflineSaveFailed = "NotificationOfflineSaveFailed";

// Layer codes of ShowLayer.
enum class MapLayerCode : int { Street = 1, Satellite = 2, Traffic = 3, Background = 8 };

// The map controller: the map status, the layers (street, satellite and traffic tiles, small
// places, search results, location), the tile client they share with the offline map manager, and
// the moves and zooms that change what is shown. A change has the layers updated and UI message 9 posted; the
// repaint draws every shown layer into the window's context. Main thread, except the offline
// timer, which the offline map manager guards itself.
class CMapControl {
 public:
  static constexpr int kSlideSteps = 10;
  static constexpr std::uint32_t kBackground = 0xFFF5F3F0u;
  // Waits before a failed tile batch is asked for again: doubling from the first to the last.
  static constexpr double kFirstRetrySeconds = 0.5;
  static constexpr double kLastRetrySeconds = 30;

  CMapControl();
  ~CMapControl();
  CMapControl(const CMapControl&) = delete;
  CMapControl& operator=(const CMapControl&) = delete;

  void SetSearch(CAppSearch* search);
  void SetLocation(mapsdk::CAppLocation* location);
  // Centre (map units), window rectangle (pixels), level; builds the layers on the first call.
  int Init(int centerX, int centerY, int left, int top, int right, int bottom, int level);
  int SetWindowRect(int left, int top, int right, int bottom);

  // With animate the centre slides there in kSlideSteps steps (animation begin and end posted);
  // with update the layers are updated, with redraw the map repainted.
  void MoveTo(int x, int y, int animate, int update, int redraw);
  // Level held to 3..18; with update the layers follow.
  void SetLevel(int level, int update, int flag1, int flag2);
  // The largest level at which the rectangle (map units, top the larger y) fits the window.
  void ZoomToRect(const _VRect& rect);
  int ShowLayer(MapLayerCode code, int on);
  bool IsLayerShown(MapLayerCode code) const;
  // Every shown layer updated, then a repaint posted.
  void UpdateLayers();
  // The background POI layer runs its request again (engine message 8010 comes here through
  // OnMessage), then a repaint is posted.
  void UpdateBKGLayer();
  // The vector layers show the result of this type (from message 2000).
  void OnSearchResult(int type, int error);
  // Paints the layers into the context's bitmap (its size is the window's).
  int Draw(CVDC& dc);

  // An engine message for the map: HTTP messages of the tile clients (wParam the client id),
  // 8008 and 8009 steps, 8010 background POI data, 8013 offline commands, timers.
  int OnMessage(int message, int wParam, int lParam);
  // One step of an animated slide; false when it was the last one (or none runs).
  bool SlideStep();
  bool IsSliding() const { return slideStepsLeft_ > 0; }

  // Window pixel: the first element of a shown result layer within reach.
  bool HitTest(int x, int y, mapsdk::Attribute& result) const;
  void ResetDragOffset(int) { dragCenter_ = {status_->centerX, status_->centerY}; }
  void SetDragDrawMode() { dragMode_ = true; }
  void SetFullDrawMode() { dragMode_ = false; }
  // A drag from origin to end (window pixels): the map follows the finger.
  void OnDragEnd(int originX, int originY, int endX, int endY);
  void RequestRepaint();

  mapsdk::CMapStatus& Status() { return *status_; }
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
  int LastBatchSequence() const { return street_ && street_->Request() ? street_->Request()->Sequence() : 0; }

 private:
  void BuildLayers();
  void SizeGridRequests();
  void OnTileMessage(mapsdk::CGridLayer& layer, int message, int tag);
  void OnOfflineMessage(int message, int tag);
  void OnTileFailure();
  void OnTileSuccess();
  std::vector<mapsdk::CMapLayer*> Layers() const;

  mapsdk::CMapStatus* status_;
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
  _VPoint dragCenter_;
  bool dragMode_ = false;
  bool built_ = false;
  _VPoint slideFrom_;
  _VPoint slideTo_;
  int slideStepsLeft_ = 0;
  int tileFailures_ = 0;
  bool retryScheduled_ = false;
  int offlineSaved_ = 0;  // tiles of the offline batch in flight that were stored
};

}  // namespace gmengine
