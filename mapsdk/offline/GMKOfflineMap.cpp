#include "mapsdk/offline/GMKOfflineMap.h"

#include <utility>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/VGeoMath.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/COfflineMapMan.h"
#include "mapsdk/offline/COfflineTaskMan.h"
#include "mapsdk/offline/CVerDatsetMan.h"
#include "mapsdk/offline/OfflineSeams.h"
#include "mapsdk/offline/OfflineStateRelay.h"

namespace mapsdk {

using namespace gmengine;

namespace {

CVMapEngine* Engine() {
  CVMainGlobalMan* global = GetMainGlobalMan();
  return global ? global->engine : nullptr;
}

// Plugs the task manager into the engine's message flow and frees the offline parts when the
// engine is released, keeping whatever the other parts plugged in.
void HookIntoEngine(CVMapEngine* engine) {
  EngineHooks hooks = engine->GetHooks();
  hooks.offlineTask = [](int message, int wParam, int lParam) {
    CVMapEngine* current = Engine();
    return current && current->offlineTaskMan ? current->offlineTaskMan->OnMessage(message, wParam, lParam)
                                              : 0;
  };
  std::function<void()> previous = hooks.release;
  hooks.release = [previous]() {
    if (previous) previous();
    GMKOfflineMap::releaseEngineParts();
  };
  engine->SetHooks(std::move(hooks));
}

}  // namespace

std::shared_ptr<GMKOfflineMap> GMKOfflineMap::create() {
  std::shared_ptr<GMKOfflineMap> map(new GMKOfflineMap());
  CVMapEngine* engine = Engine();
  if (!engine) return map;
  bool created = false;
  if (!engine->verDatsetMan) {
    auto* versions = new CVerDatsetMan();
    versions->Init();
    engine->verDatsetMan = versions;
    created = true;
  }
  if (!engine->recordMan) {
    auto* records = new COLRecordMan();
    records->Init();
    engine->recordMan = records;
    created = true;
  }
  if (!engine->offlineTaskMan) {
    auto* tasks = new COfflineTaskMan();
    engine->offlineTaskMan = tasks;
    created = true;
    if (!tasks->Init()) return nullptr;
    tasks->AddCityListTask(2);
    tasks->AddUpdateFileTask(CVString("VerDatset.dat"), 0);
  }
  if (created) HookIntoEngine(engine);
  if (!engine->search) {
    OfflineSeams seams = GetOfflineSeams();
    if (seams.createSearch && !seams.createSearch()) return nullptr;
  }
  return map;
}

void GMKOfflineMap::releaseEngineParts() {
  CVMapEngine* engine = Engine();
  if (!engine) return;
  delete engine->offlineTaskMan;
  engine->offlineTaskMan = nullptr;
  delete engine->recordMan;
  engine->recordMan = nullptr;
  delete engine->verDatsetMan;
  engine->verDatsetMan = nullptr;
}

GMKOfflineMap::~GMKOfflineMap() {
  std::shared_ptr<GMKOfflineMapDelegate> mine = delegate_.lock();
  if (mine && OfflineStateRelay::offlineDelegate() == mine) OfflineStateRelay::setOfflineDelegate({});
}

void GMKOfflineMap::setDelegate(std::weak_ptr<GMKOfflineMapDelegate> delegate) {
  delegate_ = delegate;
  OfflineStateRelay::setOfflineDelegate(std::move(delegate));
}

bool GMKOfflineMap::scan() {
  OfflineSeams seams = GetOfflineSeams();
  COfflineMapMan* man = seams.mapMan ? seams.mapMan() : nullptr;
  if (!man || man->scanRunning) return false;
  CVGlobalMan* global = GetGlobalMan();
  if (!global || !global->dispatcher) return false;
  // Marked at once, so a second call before the thread starts is refused too.
  man->scanRunning = 1;
  if (!global->dispatcher->PostMessage(1, 8013, 14, 1)) {
    man->scanRunning = 0;
    return false;
  }
  return true;
}

bool GMKOfflineMap::remove(int cityID) {
  CVMapEngine* engine = Engine();
  if (!engine || !engine->recordMan) return false;
  return engine->recordMan->RemoveCity(cityID) != 0;
}

std::shared_ptr<GMKOLUpdateElement> GMKOfflineMap::elementFromRecord(const COLUpdateRecord& record) {
  auto element = std::make_shared<GMKOLUpdateElement>();
  const COLUpdateElement& local = record.local;
  if (!local.name.IsEmpty()) element->setCityName(local.name.ToUtf8());
  element->setCityID(local.id);
  element->setRatio(local.ratio == 10000 ? 100 : local.ratio);
  element->setSize(local.size);
  element->setStatus(local.state);
  double longitude = 0, latitude = 0;
  MercatorToGeo(local.x, local.y, &longitude, &latitude);
  element->setPt(GMKOfflineCoordinate{latitude, longitude});
  if (local.update == 1 || record.server.update == 1) element->setServersize(record.server.size);
  return element;
}

std::optional<std::vector<std::shared_ptr<GMKOLUpdateElement>>> GMKOfflineMap::getAllUpdateInfo() const {
  CVMapEngine* engine = Engine();
  if (!engine || !engine->recordMan) return std::nullopt;
  CVArray<COLUpdateRecord> records = engine->recordMan->GetUpdateList();
  if (records.IsEmpty()) return std::nullopt;
  std::vector<std::shared_ptr<GMKOLUpdateElement>> elements;
  elements.reserve(static_cast<std::size_t>(records.GetSize()));
  for (const COLUpdateRecord& record : records) elements.push_back(elementFromRecord(record));
  return elements;
}

std::shared_ptr<GMKOLUpdateElement> GMKOfflineMap::getUpdateInfo(int cityID) const {
  CVMapEngine* engine = Engine();
  if (!engine || !engine->recordMan) return nullptr;
  std::optional<COLUpdateRecord> record = engine->recordMan->GetUpdateRecord(cityID);
  if (!record) return nullptr;
  return elementFromRecord(*record);
}

}  // namespace mapsdk
