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
#include "mapsdk/search/CAppSearch.h"
#include "mapsdk/search/GMKNotifier.h"

namespace gmengine {

COLRecordMan* RecordManOfEngine() {
  CVMainGlobalMan* global = GetMainGlobalMan();
  return global && global->engine ? global->engine->PartAs<COLRecordMan>(EngineSlot::RecordMan) : nullptr;
}

}  // namespace gmengine

namespace mapsdk {

using namespace gmengine;

namespace {

// The interface is the application's way in: it finds the engine's parts through the engine global
// at every call, as the engine may have been torn down (or built anew) since the map was made.
CVMainGlobalMan* Global() {
  CVMainGlobalMan* global = GetMainGlobalMan();
  return global && global->engine ? global : nullptr;
}

}  // namespace

std::shared_ptr<GMKOfflineMap> GMKOfflineMap::create() {
  std::shared_ptr<GMKOfflineMap> map(new GMKOfflineMap());
  CVMainGlobalMan* global = Global();
  if (!global) return map;
  CVMapEngine* engine = global->engine.get();
  const CVString& folder = global->sysInfo.dataPath;
  // Each part is handed what it uses; the core tells the parts of each other as they come.
  if (!engine->Part(EngineSlot::VerDatsetMan)) {
    auto versions = std::make_unique<CVerDatsetMan>();
    versions->Init(folder);
    engine->Install(EngineSlot::VerDatsetMan, std::move(versions));
  }
  if (!engine->Part(EngineSlot::RecordMan)) {
    const bool highDensity = engine->dpiX >= 181 || engine->dpiY >= 181;
    auto records = std::make_unique<COLRecordMan>(global->dispatcher.get(), highDensity);
    records->Init(folder);
    engine->Install(EngineSlot::RecordMan, std::move(records));
  }
  if (!engine->Part(EngineSlot::OfflineTaskMan)) {
    auto* tasks = engine->InstallAs(
        EngineSlot::OfflineTaskMan,
        std::make_unique<COfflineTaskMan>(engine, global->dispatcher.get(),
                                          engine->PartAs<COLRecordMan>(EngineSlot::RecordMan),
                                          engine->PartAs<CVerDatsetMan>(EngineSlot::VerDatsetMan)));
    if (!tasks || !tasks->Init()) return nullptr;
    tasks->AddCityListTask(2);
    tasks->AddUpdateFileTask(CVString("VerDatset.dat"), 0);
  }
  if (!CAppSearch::install(*global)) return nullptr;
  return map;
}

GMKOfflineMap::~GMKOfflineMap() {
  std::shared_ptr<GMKOfflineMapDelegate> mine = delegate_.lock();
  if (mine && GMKNotifier::offlineDelegate() == mine) GMKNotifier::setOfflineDelegate({});
}

void GMKOfflineMap::setDelegate(std::weak_ptr<GMKOfflineMapDelegate> delegate) {
  delegate_ = delegate;
  GMKNotifier::setOfflineDelegate(std::move(delegate));
}

bool GMKOfflineMap::scan() {
  CVMainGlobalMan* global = Global();
  EngineDisplay* display = global ? global->engine->Display() : nullptr;
  COfflineMapMan* man = display ? display->OfflineMapMan() : nullptr;
  if (!man || man->scanRunning || !global->dispatcher) return false;
  // Marked at once, so a second call before the thread starts is refused too.
  man->scanRunning = 1;
  if (!global->dispatcher->PostMessage(CVMsgDispatcher::kEngineQueue, ToInt(EngineMsg::OfflineCommand),
                                       ToInt(OfflineCommand::Scan), 1)) {
    man->scanRunning = 0;
    return false;
  }
  return true;
}

bool GMKOfflineMap::remove(int cityID) {
  COLRecordMan* records = RecordManOfEngine();
  return records && records->RemoveCity(cityID) != 0;
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
  COLRecordMan* man = RecordManOfEngine();
  if (!man) return std::nullopt;
  CVArray<COLUpdateRecord> records = man->GetUpdateList();
  if (records.IsEmpty()) return std::nullopt;
  std::vector<std::shared_ptr<GMKOLUpdateElement>> elements;
  elements.reserve(static_cast<std::size_t>(records.GetSize()));
  for (const COLUpdateRecord& record : records) elements.push_back(elementFromRecord(record));
  return elements;
}

std::shared_ptr<GMKOLUpdateElement> GMKOfflineMap::getUpdateInfo(int cityID) const {
  COLRecordMan* man = RecordManOfEngine();
  if (!man) return nullptr;
  std::optional<COLUpdateRecord> record = man->GetUpdateRecord(cityID);
  if (!record) return nullptr;
  return elementFromRecord(*record);
}

}  // namespace mapsdk
