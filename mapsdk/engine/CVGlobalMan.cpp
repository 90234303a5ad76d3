#include "mapsdk/engine/CVGlobalMan.h"

#include <atomic>

#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/CVSocketMan.h"
#include "mapsdk/engine/VFileUtil.h"
#include "platform/foundation/Mutex.h"

namespace gmengine {

namespace {
std::atomic<CVMainGlobalMan*> theGlobal{nullptr};

struct ScreenMode {
  int width = 640;
  int height = 960;
  int scale = 2;
};
platform::Mutex screenMutex;
ScreenMode screenMode GUARDED_BY(screenMutex);
}  // namespace

CVGlobalMan::CVGlobalMan() = default;

CVGlobalMan::~CVGlobalMan() { CVGlobalMan::UnInit(); }

int CVGlobalMan::Init() {
  if (!dispatcher) dispatcher = std::make_unique<CVMsgDispatcher>();
  if (!socketMan) socketMan = std::make_unique<CVSocketMan>();
  sysInfo.dataPath = GetCachesPath() + CVString("GeoMapSdk/");
  CreateDirectory(sysInfo.dataPath);
  sysInfo.offlineDownload = -1;
  ScreenMode mode;
  {
    platform::MutexLock lock(screenMutex);
    mode = screenMode;
  }
  if (mode.width > 0 && mode.height > 0) {
    sysInfo.screen = {mode.width, mode.height};
  } else {
    sysInfo.screen = CVScreenRecord();
  }
  return 1;
}

void CVGlobalMan::UnInit() {
  socketMan.reset();  // joins the socket and resolver threads before anything they post to goes
  dispatcher.reset();
  POSITION position = iconTable.GetStartPosition();
  while (position) {
    std::uint16_t id = 0;
    void* entry = nullptr;
    iconTable.GetNextAssoc(position, id, entry);
    delete static_cast<tag_IconImage*>(entry);
  }
  iconTable.RemoveAll();
}

CVMainGlobalMan::CVMainGlobalMan() = default;

CVMainGlobalMan::~CVMainGlobalMan() { CVMainGlobalMan::UnInit(); }

void CVMainGlobalMan::UnInit() {
  engine.reset();
  mapWindow = nullptr;
  CVGlobalMan::UnInit();
}

void SetMainScreenMode(int widthPixels, int heightPixels, int scale) {
  platform::MutexLock lock(screenMutex);
  screenMode = {widthPixels, heightPixels, scale};
}

int InitMapEngine() {
  if (theGlobal.load()) return 1;
  auto* global = new CVMainGlobalMan();
  global->Init();
  int scale;
  {
    platform::MutexLock lock(screenMutex);
    scale = screenMode.scale;
  }
  global->engine = std::make_unique<CVMapEngine>(*global);
  int dpi = scale >= 2 ? 326 : 163;
  global->engine->SetScreenDpi(dpi, dpi);
  theGlobal.store(global);
  return 1;
}

void UnInitMapEngine() {
  CVMainGlobalMan* global = theGlobal.load();
  if (!global) return;
  global->UnInit();  // the threads are gone before the global is
  theGlobal.store(nullptr);
  delete global;
}

CVGlobalMan* GetGlobalMan() { return theGlobal.load(); }

CVMainGlobalMan* GetMainGlobalMan() { return theGlobal.load(); }

CUrlTranslater* GetUrlTranslater() {
  CVMainGlobalMan* global = theGlobal.load();
  return global && global->engine ? &global->engine->UrlTranslater() : nullptr;
}

}  // namespace gmengine
