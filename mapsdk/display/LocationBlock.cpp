#include "mapsdk/display/LocationBlock.h"

#include <memory>

#include "mapsdk/display/MapControlBlock.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/EngineTypes.h"

namespace gmengine {

namespace {

CVMapEngine* TheEngine() {
  CVMainGlobalMan* global = GetMainGlobalMan();
  return global ? global->engine.get() : nullptr;
}

}  // namespace

CAppLocation* LocationOfEngine() {
  CVMapEngine* engine = TheEngine();
  return engine ? engine->PartAs<CAppLocation>(EngineSlot::Location) : nullptr;
}

CAppLocation* InitAppLocation(CAppLocation* block) {
  if (block) block->startMode = 3;
  return block;
}

int StartAppLocation(CAppLocation* block) {
  if (!block) return 0;
  if (CMapControlBlock* control = MapControlOfEngine()) control->SetLocation(block);
  block->Init();
  static constexpr mapsdk::LocMode kStartModes[] = {mapsdk::LocMode::Off, mapsdk::LocMode::SatelliteOnly,
                                                    mapsdk::LocMode::NetworkOnly,
                                                    mapsdk::LocMode::SatelliteAndNetwork};
  block->SetLocMode(kStartModes[block->startMode & 3]);
  CVMsgDispatcher* dispatcher = block->Services().Dispatcher();
  return dispatcher ? dispatcher->SetTimer(ToInt(EngineTimer::Location), kLocationTimerMs) : 0;
}

int StopAppLocation(CAppLocation* block) {
  if (!block) return 0;
  if (CVMsgDispatcher* dispatcher = block->Services().Dispatcher())
    dispatcher->KillTimer(ToInt(EngineTimer::Location));
  return block->UnInit();
}

mapsdk::LocationRecord GetAppLocationInfo(CAppLocation* block) {
  return block ? block->GetLocation() : mapsdk::LocationRecord{};
}

int SetAppLocationMode(CAppLocation* block, int mode) {
  return block ? block->SetLocMode(static_cast<mapsdk::LocMode>(mode)) : 0;
}

int GetAppLocationMode(CAppLocation* block) { return block ? static_cast<int>(block->GetLocMode()) : 0; }

int LocationMessageProc(CAppLocation* block, int message, int wParam, int) {
  if (!block) return 0;
  if (message == ToInt(EngineMsg::Timer)) {
    if (static_cast<EngineTimer>(wParam) == EngineTimer::Location) block->OnTimer();
    return 0;
  }
  block->OnHttpMessage(static_cast<EngineMsg>(message), static_cast<EngineClient>(wParam));
  return 0;
}

int CAppLocation::OnEngineMessage(EngineMsg message, int wParam, int lParam) {
  return LocationMessageProc(this, ToInt(message), wParam, lParam);
}

void CAppLocation::Shutdown() { StopAppLocation(this); }

int initLocationControl() {
  CVMapEngine* engine = TheEngine();
  if (!engine) return 0;
  if (engine->Part(EngineSlot::Location)) return 1;
  auto* block = InitAppLocation(
      engine->InstallAs(EngineSlot::Location, std::make_unique<CAppLocation>(engine->Services())));
  StartAppLocation(block);
  SetAppLocationMode(block, 1);
  return 1;
}

}  // namespace gmengine
