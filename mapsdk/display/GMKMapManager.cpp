#include "mapsdk/display/GMKMapManager.h"

#include <thread>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/VTick.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/OfflineSeams.h"
#include "mapsdk/raster/CVWnd.h"
#include "mapsdk/search/CAppSearch.h"
#include "platform/foundation/RunLoop.h"

namespace gmengine {

namespace {

CVMapEngine* Engine() {
  CVMainGlobalMan* global = GetMainGlobalMan();
  return global ? global->engine : nullptr;
}

CVMsgDispatcher* Dispatcher() {
  CVMainGlobalMan* global = GetMainGlobalMan();
  return global ? global->dispatcher : nullptr;
}

// The next step of an animated move (each step asks for the one after it).
void AnimationStep() {
  if (CMapControlBlock* control = MapControlOfEngine()) control->MoveSmooth();
}

void Repaint() {
  CVMainGlobalMan* global = GetMainGlobalMan();
  CMapControlBlock* control = MapControlOfEngine();
  if (!global || !global->mapWindow || !control) return;
  DrawMapControl(control, *global->mapWindow->GetDC());
  global->mapWindow->UpdateWindow();
}

// Adds a step to the engine's release, after what is there.
void AfterRelease(CVMapEngine* engine, std::function<void()> step) {
  EngineHooks hooks = engine->GetHooks();
  hooks.release = [previous = std::move(hooks.release), step = std::move(step)] {
    if (previous) previous();
    step();
  };
  engine->SetHooks(std::move(hooks));
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

// The search object's parts of the map and the offline maps: its results reach the map, its
// offline city-list answers (type 507) the record manager.
void WireSearch(CAppSearch* search) {
  if (!search) return;
  if (CMapControlBlock* control = MapControlOfEngine()) control->SetSearch(search);
  search->SetOfflineListHandler([](const CVArray<tag_OfflineTask>& tasks) {
    CVMapEngine* engine = Engine();
    if (!engine || !engine->recordMan) return;
    CVArray<COLUpdateRecord> records;
    for (const tag_OfflineTask& task : tasks) records.Add(RecordOfTask(task));
    engine->recordMan->MergeOfferedCities(records);
  });
}

// Where the offline maps reach the map controller and the search engine.
void InstallOfflineSeams() {
  OfflineSeams seams;
  seams.mapMan = []() -> COfflineMapMan* {
    CMapControlBlock* control = MapControlOfEngine();
    return control ? &control->OfflineMan() : nullptr;
  };
  seams.startCitySearch = [](const CVArray<int>& ids) {
    CVMapEngine* engine = Engine();
    return engine && engine->search ? engine->search->OfflineCitySearch(ids) : 0;
  };
  seams.createSearch = [] {
    CVMapEngine* engine = Engine();
    if (!engine) return 0;
    if (!engine->search) {
      auto* search = new CAppSearch();
      engine->search = search;
      search->Start();
      AfterRelease(engine, [] {
        if (CVMapEngine* current = Engine()) {
          delete current->search;
          current->search = nullptr;
        }
      });
    }
    WireSearch(engine->search);
    return 1;
  };
  SetOfflineSeams(std::move(seams));
}

// Plugs the map into the engine's message flow, keeping what the search and offline parts
// plugged in.
void HookIntoEngine(CVMapEngine* engine) {
  EngineHooks hooks = engine->GetHooks();
  hooks.location = [](int message, int wParam, int lParam) {
    CAppLocation* location = LocationOfEngine();
    return location ? LocationMessageProc(location, message, wParam, lParam) : 0;
  };
  hooks.mapControl = [](int message, int wParam, int lParam) {
    CMapControlBlock* control = MapControlOfEngine();
    // Timers come on the timer thread, where the search slot (the main thread's) is not read.
    if (CVMapEngine* current = Engine();
        message != CVMsgDispatcher::kTimerMessage && current && current->search) {
      WireSearch(current->search);
    }
    return control ? MapControlMessageProc(control, message, wParam, lParam) : -1;
  };
  hooks.mapView = [](int message, int wParam, int lParam) {
    if (message == kMsgRepaint) {
      Repaint();
    } else if (CMapControlBlock* control = MapControlOfEngine()) {
      control->OnUIMessage(message, wParam, lParam);
    }
    return 0;
  };
  hooks.animationStep = AnimationStep;
  hooks.notifier = [](int kind, int param1, int param2) {
    // A search object made after the map (by GMKSearch) is wired at its first answer.
    if (CVMapEngine* current = Engine(); current && current->search) WireSearch(current->search);
    mapsdk::GMKNotifier::msgProc(kind, param1, param2);
    // Search answers (not offline states) also show on the map.
    if (kind == 13) return;
    if (CMapControlBlock* control = MapControlOfEngine()) control->OnSearchResult(param2, param1);
  };
  hooks.resetLocation = [] {
    if (CAppLocation* location = LocationOfEngine()) location->Reset();
  };
  hooks.initMapWindow = [](CVWnd*, int cx, int cy, int left, int top, int right, int bottom, int level) {
    CMapControlBlock* control = MapControlOfEngine();
    return control ? InitMapStatus(control, cx, cy, left, top, right, bottom, level) : 0;
  };
  std::function<void()> previous = hooks.release;
  hooks.release = [previous] {
    CVMapEngine* current = Engine();
    if (current) {
      if (auto* control = static_cast<CMapControlBlock*>(current->mapControl)) {
        platform::RunLoop::main().cancelPerforms(control);
        ReleaseMapLayers(control);
        DestroyMapControl(control);
        current->mapControl = nullptr;
      }
      if (auto* location = current->location) {
        StopAppLocation(location);
        DestroyAppLocation(location);
        current->location = nullptr;
      }
    }
    if (previous) previous();
  };
  engine->SetHooks(std::move(hooks));
}

}  // namespace

CMapControlBlock* MapControlOfEngine() {
  CVMapEngine* engine = Engine();
  return engine ? static_cast<CMapControlBlock*>(engine->mapControl) : nullptr;
}

CAppLocation* LocationOfEngine() {
  CVMapEngine* engine = Engine();
  return engine ? engine->location : nullptr;
}

CAppLocation* InitAppLocation(CAppLocation* block) {
  if (block) block->startMode = 3;
  return block;
}

int StartAppLocation(CAppLocation* block) {
  if (!block) return 0;
  if (CMapControlBlock* control = MapControlOfEngine()) control->SetLocation(block);
  block->Init();
  static constexpr int kModes[] = {1, 5, 3, 2};
  block->SetLocMode(kModes[block->startMode & 3]);
  CVMsgDispatcher* dispatcher = Dispatcher();
  return dispatcher ? dispatcher->SetTimer(kLocationTimerId, kLocationTimerMs) : 0;
}

int StopAppLocation(CAppLocation* block) {
  if (CVMsgDispatcher* dispatcher = Dispatcher()) dispatcher->KillTimer(kLocationTimerId);
  return block ? block->UnInit() : 0;
}

void DestroyAppLocation(CAppLocation* block) { delete block; }

mapsdk::LocationRecord GetAppLocationInfo(CAppLocation* block) {
  return block ? block->GetLocation() : mapsdk::LocationRecord{};
}

int SetAppLocationMode(CAppLocation* block, int mode) { return block ? block->SetLocMode(mode) : 0; }

int GetAppLocationMode(CAppLocation* block) { return block ? static_cast<int>(block->GetLocMode()) : 0; }

int LocationMessageProc(CAppLocation* block, int message, int wParam, int) {
  if (!block) return 0;
  if (message == CVMsgDispatcher::kTimerMessage) {
    if (wParam == kLocationTimerId) block->OnTimer();
    return 0;
  }
  block->OnHttpMessage(message, wParam);
  return 0;
}

CMapControlBlock* InitMapControl(CMapControlBlock* block) {
  if (!block) return nullptr;
  block->tapPending = 0;
  block->tapStart = {};
  block->dragOrigin = {};
  block->tapTime = 0;
  return block;
}

void DestroyMapControl(CMapControlBlock* block) { delete block; }

int ReleaseMapLayers(CMapControl*) { return 1; }

int InitMapStatus(CMapControl* control, int centerX, int centerY, int left, int top, int right, int bottom,
                  int level) {
  if (!control) return 0;
  if (CVMapEngine* engine = Engine()) WireSearch(engine->search);
  int result = control->Init(centerX, centerY, left, top, right, bottom, level);
  if (CAppLocation* location = LocationOfEngine()) control->SetLocation(location);
  return result;
}

int MapControlMessageProc(CMapControl* control, int message, int wParam, int lParam) {
  if (!control) return -1;
  auto* block = static_cast<CMapControlBlock*>(control);
  if ((message == kHttpConnectFailed || message == kHttpAttemptsOver || message == kHttpTimeout) &&
      block->tapPending) {
    // While a tap waits for its second step the layers stay as they are.
    control->GridClient().CancelRequest();
    control->GridClient().SetMapRequesting(0);
    control->OfflineMan().ContinueDownload(control->OfflineMan().GetHeadReceived(), 1);
    return -1;
  }
  return control->OnMessage(message, wParam, lParam);
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

int SetMapType(CMapControl* control, int layerCode, int on) {
  return control ? control->ShowLayer(static_cast<MapLayerCode>(layerCode), on) : 0;
}

int UpdateMapBKGLayer(CMapControl* control) {
  if (!control) return 0;
  control->UpdateBKGLayer();
  return 1;
}

int DrawMapControl(CMapControl* control, CVDC& dc) { return control ? control->Draw(dc) : 0; }

int AdjustMapWindow(CMapControl* control, int left, int top, int right, int bottom) {
  CVMainGlobalMan* global = GetMainGlobalMan();
  if (!control || !global || !global->mapWindow) return 1;
  const int width = right - left;
  const int height = bottom - top;
  global->mapWindow->SetWindowPos(left, top, {width, height});
  control->SetWindowRect(0, 0, width, height);
  return 1;
}

int MapControlTapHitTest(CMapControlBlock* control, int x, int y) {
  CVMainGlobalMan* global = GetMainGlobalMan();
  if (!control || !global || !global->mapWindow) return 0;
  const _VRect client = global->mapWindow->GetClientRect();
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
  CVMainGlobalMan* global = GetMainGlobalMan();
  if (!control || !control->tapPending || !global || !global->mapWindow) return 0;
  control->tapPending = 0;
  control->SetFullDrawMode();
  const _VRect client = global->mapWindow->GetClientRect();
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

int initWindowAndMapControl(std::weak_ptr<CVWndView> view) {
  CVMainGlobalMan* global = GetMainGlobalMan();
  if (!global || !global->engine) return 0;
  if (!global->mapWindow) {
    auto* window = new CVWnd();
    window->Create(std::move(view));
    global->mapWindow = window;
    // The window lives as long as the engine.
    AfterRelease(global->engine, [] {
      if (CVMainGlobalMan* g = GetMainGlobalMan()) {
        delete g->mapWindow;
        g->mapWindow = nullptr;
      }
    });
  }
  if (!global->engine->mapControl) {
    auto* block = InitMapControl(new CMapControlBlock());
    global->engine->mapControl = block;
    global->engine->CreateMapWindow(global->mapWindow, kInitialCenterX, kInitialCenterY, 0, 0, 5, 5,
                                    kInitialLevel);
  }
  return 1;
}

int initLocationControl() {
  CVMapEngine* engine = Engine();
  if (!engine) return 0;
  if (engine->location) return 1;
  auto* block = InitAppLocation(new CAppLocation());
  engine->location = block;
  StartAppLocation(block);
  SetAppLocationMode(block, 1);
  return 1;
}

}  // namespace gmengine

namespace mapsdk {

GMKMapManager::GMKMapManager() {
  // The platform thread the engine expects to exist ends at once.
  std::thread([] {}).detach();
  if (!gmengine::GetMainGlobalMan()) gmengine::InitMapEngine();
  if (gmengine::CVMapEngine* engine = gmengine::Engine()) gmengine::HookIntoEngine(engine);
  gmengine::InstallOfflineSeams();
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

bool GMKMapManager::stop() {
  gmengine::CVMapEngine* engine = gmengine::Engine();
  return engine && engine->Stop();
}

}  // namespace mapsdk
