#include "mapsdk/engine/CVMapEngine.h"

#include <algorithm>

#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVSocketMan.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

namespace gmengine {

namespace {

constexpr std::size_t Index(EngineSlot slot) { return static_cast<std::size_t>(slot); }

}  // namespace

CVMapEngine::CVMapEngine(CVMainGlobalMan& global) : global_(global), mainLoop_(&platform::RunLoop::main()) {}

CVMapEngine::~CVMapEngine() {
  Stop();
  mainLoop_->cancelPerforms(this);
  // The map first: its layers, then the controller; the location next (its timer killed before it
  // goes), then the search; what the core still holds last.
  Remove(EngineSlot::MapControl);
  Remove(EngineSlot::Location);
  Remove(EngineSlot::Search);
  Remove(EngineSlot::OfflineTaskMan);
  Remove(EngineSlot::RecordMan);
  Remove(EngineSlot::VerDatsetMan);
  if (global_.dispatcher) global_.dispatcher->Forget(this);
  auto [display, notifier] = TakeOutputs();
  display.reset();
  notifier.reset();
}

std::pair<std::unique_ptr<EngineDisplay>, std::unique_ptr<EngineNotifier>> CVMapEngine::TakeOutputs() {
  platform::MutexLock lock(partsMutex_);
  return {std::move(display_), std::move(notifier_)};
}

int CVMapEngine::Start() {
  started_.store(true);
  if (global_.socketMan) global_.socketMan->Start();
  if (!global_.dispatcher) return 0;
  if (!global_.dispatcher->Start(this)) return 0;
  if (Part(EngineSlot::MapControl)) {
    global_.dispatcher->SendMessage(CVMsgDispatcher::kUIQueue, ToInt(EngineMsg::Repaint), 0, 0);
  }
  if (Part(EngineSlot::Location)) {
    if (EngineDisplay* display = Display()) display->ResetLocation();
  }
  return 1;
}

int CVMapEngine::Stop() {
  if (global_.dispatcher) global_.dispatcher->Stop();
  if (global_.socketMan) global_.socketMan->Stop();
  started_.store(false);
  return 1;
}

int CVMapEngine::CreateMapWindow(CVWnd* window, int centerX, int centerY, int left, int top, int right,
                                 int bottom, int level) {
  if (!Part(EngineSlot::MapControl) || !window) return 0;
  global_.mapWindow = window;
  initCenterX = centerX;
  initCenterY = centerY;
  initWindow.SetRect(left, top, right, bottom);
  initLevel = level;
  EngineDisplay* display = Display();
  return display ? display->InitMapWindow(window, centerX, centerY, left, top, right, bottom, level) : 1;
}

EnginePart* CVMapEngine::Part(EngineSlot slot) const {
  platform::MutexLock lock(partsMutex_);
  return parts_[Index(slot)].get();
}

EnginePart* CVMapEngine::Install(EngineSlot slot, std::unique_ptr<EnginePart> part) {
  EnginePart* installed;
  bool fresh;
  std::array<EnginePart*, static_cast<std::size_t>(EngineSlot::Count)> present{};
  {
    platform::MutexLock lock(partsMutex_);
    std::unique_ptr<EnginePart>& held = parts_[Index(slot)];
    fresh = !held && part;
    if (fresh) held = std::move(part);
    installed = held.get();
    for (std::size_t i = 0; i < present.size(); ++i)
      present[i] = i == Index(slot) ? nullptr : parts_[i].get();
  }
  if (fresh) {
    // The new part and the ones already there learn of each other, outside the lock.
    for (std::size_t i = 0; i < present.size(); ++i) {
      if (!present[i]) continue;
      present[i]->OnPartInstalled(slot, *installed);
      installed->OnPartInstalled(static_cast<EngineSlot>(i), *present[i]);
    }
    if (EngineDisplay* display = Display()) display->OnPartInstalled(slot, *installed);
  }
  return installed;
}

void CVMapEngine::Remove(EngineSlot slot) {
  EnginePart* part = Part(slot);
  if (!part) return;
  std::array<EnginePart*, static_cast<std::size_t>(EngineSlot::Count)> others{};
  {
    platform::MutexLock lock(partsMutex_);
    for (std::size_t i = 0; i < others.size(); ++i) others[i] = i == Index(slot) ? nullptr : parts_[i].get();
  }
  for (EnginePart* other : others) {
    if (other) other->OnPartRemoved(slot);
  }
  if (EngineDisplay* display = Display()) display->OnPartRemoved(slot);
  part->Shutdown();
  std::unique_ptr<EnginePart> gone;
  {
    platform::MutexLock lock(partsMutex_);
    gone = std::move(parts_[Index(slot)]);
  }
  // Destroyed outside the lock: its destructor may ask the core for the others.
}

void CVMapEngine::SetDisplay(std::unique_ptr<EngineDisplay> display) {
  std::unique_ptr<EngineDisplay> previous;
  EngineDisplay* shown = display.get();
  std::array<EnginePart*, static_cast<std::size_t>(EngineSlot::Count)> present{};
  {
    platform::MutexLock lock(partsMutex_);
    previous = std::exchange(display_, std::move(display));
    for (std::size_t i = 0; i < present.size(); ++i) present[i] = parts_[i].get();
  }
  // The new display learns of the parts already there, outside the lock (it may ask for others).
  if (!shown) return;
  for (std::size_t i = 0; i < present.size(); ++i) {
    if (present[i]) shown->OnPartInstalled(static_cast<EngineSlot>(i), *present[i]);
  }
}

EngineDisplay* CVMapEngine::Display() const {
  platform::MutexLock lock(partsMutex_);
  return display_.get();
}

void CVMapEngine::SetNotifier(std::unique_ptr<EngineNotifier> notifier) {
  std::unique_ptr<EngineNotifier> previous;
  platform::MutexLock lock(partsMutex_);
  previous = std::exchange(notifier_, std::move(notifier));
}

EngineNotifier* CVMapEngine::Notifier() const {
  platform::MutexLock lock(partsMutex_);
  return notifier_.get();
}

void CVMapEngine::AddSearchClient(CHttpClient* client) {
  platform::MutexLock lock(clientsMutex_);
  if (client && std::find(searchClients_.begin(), searchClients_.end(), client) == searchClients_.end()) {
    searchClients_.push_back(client);
  }
}

void CVMapEngine::RemoveSearchClient(CHttpClient* client) {
  platform::MutexLock lock(clientsMutex_);
  std::erase(searchClients_, client);
}

bool CVMapEngine::IsAnySearchClientBusy() const {
  platform::MutexLock lock(clientsMutex_);
  return std::any_of(searchClients_.begin(), searchClients_.end(),
                     [](CHttpClient* c) { return c->IsBusy(); });
}

void CVMapEngine::SetScreenDpi(int x, int y) {
  dpiX = x;
  dpiY = y;
  urlTranslater_.SetScreenDpi(x, y);
}

void CVMapEngine::Route(EngineSlot slot, EngineMsg message, int wParam, int lParam) const {
  if (EnginePart* part = Part(slot)) part->OnEngineMessage(message, wParam, lParam);
}

void CVMapEngine::RouteHttp(EngineMsg message, EngineClient client, int tag) const {
  const int wParam = ToInt(client);
  switch (client) {
    case EngineClient::OfflineTask: {
      // The catalogue client's failures stay with it: it retries at its next tick.
      const bool handed = ToInt(message) <= ToInt(EngineMsg::HttpComplete) ||
                          message == EngineMsg::HttpBadAnswer || message == EngineMsg::HttpMarkupPage;
      if (handed) Route(EngineSlot::OfflineTaskMan, message, wParam, tag);
      break;
    }
    case EngineClient::Search:
    case EngineClient::CityCenter:
      Route(EngineSlot::Search, message, wParam, tag);
      break;
    case EngineClient::Location:
    case EngineClient::LocationUpload:
      Route(EngineSlot::Location, message, wParam, tag);
      break;
    case EngineClient::Street:
    case EngineClient::OfflineBatch:
    case EngineClient::Satellite:
    default:
      Route(EngineSlot::MapControl, message, wParam, tag);
      break;
  }
}

int CVMapEngine::EngineMessageProc(const VMessage& m) {
  const auto message = static_cast<EngineMsg>(m.message);
  const int wParam = m.wParam;
  const int lParam = m.lParam;
  if (message == EngineMsg::Timer) {
    if (static_cast<EngineTimer>(wParam) == EngineTimer::OfflineTask)
      Route(EngineSlot::OfflineTaskMan, message, wParam, lParam);
    Route(EngineSlot::Location, message, wParam, lParam);
    Route(EngineSlot::MapControl, message, wParam, lParam);
    return 0;
  }
  if (IsHttpMessage(message)) {
    const auto client = static_cast<EngineClient>(wParam);
    CHttpClient::DeliverReceived(client, message, lParam);
    RouteHttp(message, client, lParam);
    return 0;
  }
  if (message == EngineMsg::PoiBkgData) {
    if (EngineDisplay* display = Display()) display->OnPoiBkgData(static_cast<SearchError>(lParam));
    return 0;
  }
  Route(EngineSlot::MapControl, message, wParam, lParam);
  Route(EngineSlot::Location, message, wParam, lParam);
  return 0;
}

int CVMapEngine::UIMessageProc(const VMessage& m) {
  switch (static_cast<EngineMsg>(m.message)) {
    case EngineMsg::SearchResult: {
      const auto type = static_cast<SearchType>(m.wParam);
      const auto error = static_cast<SearchError>(m.lParam);
      if (EngineNotifier* notifier = Notifier()) notifier->OnSearchAnswer(type, error, m.answer.get());
      if (EngineDisplay* display = Display()) display->OnSearchAnswer(type, error, m.answer.get());
      return 0;
    }
    case EngineMsg::OfflineState:
      if (EngineNotifier* notifier = Notifier())
        notifier->OnOfflineState(static_cast<OfflineState>(m.wParam), m.lParam);
      return 0;
    case EngineMsg::AnimationBegin: {
      auto begin = [this] {
        platform::NotificationCenter::defaultCenter().post(NotificationEngineAnimationBegin);
        mainLoop_->performAfter(0.01, this, [this] {
          if (EngineDisplay* display = Display()) display->AnimationStep();
        });
      };
      if (mainLoop_->isCurrentThread()) {
        begin();
      } else {
        mainLoop_->performOnMain(begin);
      }
      return 0;
    }
    case EngineMsg::AnimationEnd:
      platform::NotificationCenter::defaultCenter().post(NotificationEngineAnimationEnd);
      return 0;
    case EngineMsg::Repaint:
      if (EngineDisplay* display = Display()) display->Repaint(global_.mapWindow);
      return 0;
    case EngineMsg::SlideStep:
      if (EngineDisplay* display = Display()) display->SlideStep();
      return 0;
    case EngineMsg::PathStep:
      if (EngineDisplay* display = Display()) display->MoveAlongPath(m.wParam, m.lParam);
      return 0;
    default:
      // LocationChanged (it may come from the timer thread), TileActivity and ViewSettled have no
      // handler of their own.
      return 0;
  }
}

}  // namespace gmengine
