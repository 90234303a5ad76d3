#include "mapsdk/display/GMKMapManager.h"

#include "mapsdk/display/LocationBlock.h"
#include "mapsdk/display/MapControlBlock.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/VTick.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/raster/CVWnd.h"
#include "mapsdk/search/CAppSearch.h"
#include "mapsdk/search/SearchAnswer.h"
#include "platform/foundation/RunLoop.h"

namespace gmengine {

namespace {

CVMapEngine* Engine() {
  CVMainGlobalMan* global = GetMainGlobalMan();
  return global ? global->engine.get() : nullptr;
}

// An offline city of the city-list answer as the record manager keeps it.
COLUpdateRecord RecordOfTask(const tag_OfflineTask& task) {
  COLUpdateElement city;
  city.id = task.cityId;
  city.name = task.name;
  city.size = task.size;
  city.x = task.centerX;
  city.y = task.centerY;
  city.baseLevel = task.level;
  city.firstLevel = task.startLevel;
  city.lastLevel = task.endLevel;
  city.cityVersion = task.version;
  city.packages.Copy(task.packages);
  COLUpdateRecord record;
  record.local = city;
  record.server = city;
  return record;
}

// The map's side of the engine: repaints, slides and animation steps, the search answers shown on
// the map and the offline city list handed to the record manager. It owns the engine window and
// keeps the parts it serves as the engine installs and removes them.
class MapDisplay : public EngineDisplay {
 public:
  explicit MapDisplay(CVMainGlobalMan& global) : global_(global) {}
  // The engine global names the window too: it must not outlive the display that owns it.
  ~MapDisplay() override {
    if (window_ && global_.mapWindow == window_.get()) global_.mapWindow = nullptr;
    if (control_ && window_ && control_->Window() == window_.get()) control_->SetWindow(nullptr);
  }
  CVWnd* Window(std::weak_ptr<CVWndView> view) {
    if (!window_) {
      window_ = std::make_unique<CVWnd>();
      window_->Create(std::move(view));
    }
    return window_.get();
  }

  void Repaint(CVWnd* window) override {
    if (!window || !control_) return;
    DrawMapControl(control_, *window->GetDC());
    window->UpdateWindow();
  }
  void SlideStep() override {
    if (control_) control_->SlideStep();
  }
  void MoveAlongPath(int packed, int direction) override {
    if (control_) control_->MoveAlongPath(packed, direction);
  }
  // The next step of an animated move (each step asks for the one after it).
  void AnimationStep() override {
    if (control_) control_->MoveSmooth();
  }
  void ResetLocation() override {
    if (location_) location_->Reset();
  }
  int InitMapWindow(CVWnd* window, int cx, int cy, int left, int top, int right, int bottom,
                    int level) override {
    if (!control_) return 0;
    control_->SetWindow(window);
    return InitMapStatus(control_, cx, cy, left, top, right, bottom, level);
  }
  void OnSearchAnswer(SearchType type, SearchError error, const SearchAnswer* answer) override {
    if (type == SearchType::OfflineCities && error == SearchError::None && answer)
      MergeOfferedCities(*answer);
    if (control_) control_->OnSearchResult(type, error);
  }
  void OnPoiBkgData(SearchError error) override {
    if (control_) control_->OnPoiBkgData(error);
  }
  void OnPartInstalled(EngineSlot slot, EnginePart& part) override {
    switch (slot) {
      case EngineSlot::MapControl:
        control_ = dynamic_cast<CMapControlBlock*>(&part);
        if (control_) control_->OfflineMan().SetRecordMan(records_);
        break;
      case EngineSlot::Location:
        location_ = dynamic_cast<CAppLocation*>(&part);
        break;
      case EngineSlot::RecordMan:
        records_ = dynamic_cast<COLRecordMan*>(&part);
        if (control_) control_->OfflineMan().SetRecordMan(records_);
        break;
      case EngineSlot::Search:
        // A search made after the map is given to the map controller once, when it arrives.
        if (auto* search = dynamic_cast<CAppSearch*>(&part); control_ && search) control_->SetSearch(search);
        break;
      default:
        break;
    }
  }
  void OnPartRemoved(EngineSlot slot) override {
    if (slot == EngineSlot::MapControl) control_ = nullptr;
    if (slot == EngineSlot::Location) location_ = nullptr;
    if (slot == EngineSlot::RecordMan) {
      records_ = nullptr;
      if (control_) control_->OfflineMan().SetRecordMan(nullptr);
    }
  }
  COfflineMapMan* OfflineMapMan() override { return control_ ? &control_->OfflineMan() : nullptr; }

 private:
  // The offline cities the server offers reach the record manager.
  void MergeOfferedCities(const SearchAnswer& answer) {
    const auto* tasks = RecordAs<CVArray<tag_OfflineTask>>(answer.record);
    if (!tasks || !records_) return;
    CVArray<COLUpdateRecord> list;
    for (const tag_OfflineTask& task : *tasks) list.Add(RecordOfTask(task));
    records_->MergeOfferedCities(list);
  }

  CVMainGlobalMan& global_;
  std::unique_ptr<CVWnd> window_;
  CMapControlBlock* control_ = nullptr;
  CAppLocation* location_ = nullptr;
  COLRecordMan* records_ = nullptr;
};

}  // namespace

CMapControlBlock* MapControlOfEngine() {
  CVMapEngine* engine = Engine();
  return engine ? engine->PartAs<CMapControlBlock>(EngineSlot::MapControl) : nullptr;
}

CMapControlBlock* InitMapControl(CMapControlBlock* block) {
  if (!block) return nullptr;
  block->tapPending = 0;
  block->tapStart = {};
  block->dragOrigin = {};
  block->tapTime = 0;
  return block;
}

int ReleaseMapLayers(CMapControl* control) {
  if (control) control->RemoveAllLayers();
  return 1;
}

int InitMapStatus(CMapControl* control, int centerX, int centerY, int left, int top, int right, int bottom,
                  int level) {
  if (!control) return 0;
  if (CAppSearch* search = SearchOfEngine()) control->SetSearch(search);
  int result = control->Init(centerX, centerY, left, top, right, bottom, level);
  if (CAppLocation* location = LocationOfEngine()) control->SetLocation(location);
  return result;
}

int MapControlMessageProc(CMapControl* control, int message, int wParam, int lParam) {
  if (!control) return -1;
  auto* block = static_cast<CMapControlBlock*>(control);
  if (IsHttpConnectionFailure(static_cast<EngineMsg>(message)) && block->tapPending) {
    // While a tap waits for its second step the layers stay as they are.
    control->GridClient().CancelRequest();
    control->GridClient().SetMapRequesting(0);
    control->OfflineMan().ContinueDownload(control->OfflineMan().GetHeadReceived(), 1);
    return -1;
  }
  return control->OnMessage(static_cast<EngineMsg>(message), wParam, lParam);
}

void SetMapZoomLevel(CMapControl* control, int level, int flag1, int flag2) {
  if (control) control->SetLevel(level, 1, flag1, flag2);
}

int GetMapLevel(CMapControl* control) {
  if (!control) control = MapControlOfEngine();
  return control ? control->Status().level : 0;
}

void GetMapCenter(_VPoint& center) {
  CMapControl* control = MapControlOfEngine();
  const mapsdk::CMapStatus status = control ? control->Status() : mapsdk::CMapStatus{};
  center = {status.centerX, status.centerY};
}

void GetMapStatusBound(std::int32_t& left, std::int32_t& bottom, std::int32_t& right, std::int32_t& top) {
  CMapControl* control = MapControlOfEngine();
  const mapsdk::CMapStatus status = control ? control->Status() : mapsdk::CMapStatus{};
  left = status.tileBounds.left * 100;
  bottom = status.tileBounds.bottom * 100;
  right = status.tileBounds.right * 100;
  top = status.tileBounds.top * 100;
}

void MoveMapCenter(CMapControl* control, int x, int y, int animate, int update, int redraw) {
  if (control) control->MoveTo(x, y, animate, update, redraw);
}

void SetMapVisibleRect(CMapControl* control, int left, int top, int right, int bottom) {
  if (control) control->ZoomToRect({left, top, right, bottom});
}

int SetMapType(CMapControl* control, MapLayerCode layerCode, int on) {
  return control ? control->ShowLayer(layerCode, on) : 0;
}

int UpdateMapBKGLayer(CMapControl* control) {
  if (!control) return 0;
  control->UpdateBKGLayer();
  return 1;
}

int DrawMapControl(CMapControl* control, CVDC& dc) { return control ? control->Draw(dc) : 0; }

int AdjustMapWindow(CMapControl* control, int left, int top, int right, int bottom) {
  if (!control || !control->Window()) return 1;
  const int width = right - left;
  const int height = bottom - top;
  control->Window()->SetWindowPos(left, top, {width, height});
  control->SetWindowRect(0, 0, width, height);
  return 1;
}

int MapControlTapHitTest(CMapControlBlock* control, int x, int y) {
  if (!control || !control->Window()) return 0;
  const _VRect client = control->Window()->GetClientRect();
  const _VPoint p{x - client.left, y - client.top};
  mapsdk::Attribute hit;
  if (control->HitTest(p.x, p.y, hit)) return 0;
  control->tapTime = GetTickCount();
  control->tapStart = p;
  control->dragOrigin = p;
  control->tapPending = 1;
  control->ResetDragOffset(0);
  control->SetDragDrawMode();
  return 1;
}

int MapControlTapMove(CMapControlBlock* control, int x, int y) {
  if (!control || !control->tapPending || !control->Window()) return 0;
  control->tapPending = 0;
  control->SetFullDrawMode();
  const _VRect client = control->Window()->GetClientRect();
  const _VPoint p{x - client.left, y - client.top};
  mapsdk::CMapStatus& status = control->Status();
  const int sx = status.width / 2 + status.window.left + (control->tapStart.x - p.x);
  const int sy = status.height / 2 + status.window.top + (control->tapStart.y - p.y);
  const _VPoint centre = status.ScreenToMap(sx, sy);
  status.SetCenter(centre.x, centre.y);
  if (control->dragOrigin.x != 0 || control->dragOrigin.y != 0) {
    control->OnDragEnd(control->dragOrigin.x, control->dragOrigin.y, p.x, p.y);
    control->dragOrigin = {};
  } else {
    control->MoveTo(centre.x, centre.y, 0, 1, 1);
  }
  return 1;
}

int CMapControlBlock::OnEngineMessage(EngineMsg message, int wParam, int lParam) {
  return MapControlMessageProc(this, ToInt(message), wParam, lParam);
}

void CMapControlBlock::Shutdown() {
  platform::RunLoop::main().cancelPerforms(this);
  ReleaseMapLayers(this);
}

int initWindowAndMapControl(std::weak_ptr<CVWndView> view) {
  CVMainGlobalMan* global = GetMainGlobalMan();
  CVMapEngine* engine = Engine();
  if (!engine) return 0;
  if (!engine->Display()) engine->SetDisplay(std::make_unique<MapDisplay>(*global));
  auto* display = dynamic_cast<MapDisplay*>(engine->Display());
  if (!display) return 0;
  if (!global->mapWindow) global->mapWindow = display->Window(std::move(view));
  if (!engine->Part(EngineSlot::MapControl)) {
    InitMapControl(
        engine->InstallAs(EngineSlot::MapControl, std::make_unique<CMapControlBlock>(engine->Services())));
    engine->CreateMapWindow(global->mapWindow, kInitialCenterX, kInitialCenterY, 0, 0, 5, 5, kInitialLevel);
  }
  return 1;
}

}  // namespace gmengine

namespace mapsdk {

GMKMapManager::GMKMapManager() {
  if (!gmengine::GetMainGlobalMan()) gmengine::InitMapEngine();
  gmengine::CVMapEngine* engine = gmengine::Engine();
  if (!engine) return;
  // A second manager finds them in place.
  if (!engine->Display())
    engine->SetDisplay(std::make_unique<gmengine::MapDisplay>(*gmengine::GetMainGlobalMan()));
  GMKNotifier::install();
}

GMKMapManager::~GMKMapManager() {
  stop();
  gmengine::UnInitMapEngine();
}

bool GMKMapManager::start(GMKNotifier::NetworkStateHandler generalDelegate) {
  gmengine::CVMapEngine* engine = gmengine::Engine();
  if (!engine || !engine->Start()) return false;
  GMKNotifier::setGeneralDelegate(std::move(generalDelegate));
  return true;
}

bool GMKMapManager::engineRunning() {
  gmengine::CVMapEngine* engine = gmengine::Engine();
  return engine && engine->IsStarted();
}

bool GMKMapManager::stop() {
  gmengine::CVMapEngine* engine = gmengine::Engine();
  return engine && engine->Stop();
}

}  // namespace mapsdk
