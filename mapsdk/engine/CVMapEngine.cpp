#include "mapsdk/engine/CVMapEngine.h"

#include <algorithm>

#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/CVSocketMan.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

namespace gmengine {

namespace {

bool isHttpMessage(int message) {
  return (message >= 1000 && message <= 1008) || message == 1100 || message == kHttpMarkupPage;
}

void call(const EngineMsgProc& proc, int message, int wParam, int lParam) {
  if (proc) proc(message, wParam, lParam);
}

}  // namespace

CVMapEngine::CVMapEngine(CVMainGlobalMan& global) : global_(global), mainLoop_(&platform::RunLoop::main()) {}

CVMapEngine::~CVMapEngine() { Release(); }

int CVMapEngine::Start() {
  started_.store(true);
  if (global_.socketMan) global_.socketMan->Start();
  if (!global_.dispatcher) return 0;
  int ok = global_.dispatcher->Start([this](int m, int w, int l) { return EngineMessageProc(m, w, l); },
                                     [this](int m, int w, int l) { return UIMessageProc(m, w, l); });
  if (!ok) return 0;
  if (mapControl) global_.dispatcher->SendMessage(CVMsgDispatcher::kUIQueue, kMsgRepaint, 0, 0);
  if (location) {
    EngineHooks hooks = GetHooks();
    if (hooks.resetLocation) hooks.resetLocation();
  }
  return 1;
}

int CVMapEngine::Stop() {
  if (global_.dispatcher) global_.dispatcher->Stop();
  if (global_.socketMan) global_.socketMan->Stop();
  started_.store(false);
  return 1;
}

void CVMapEngine::Release() {
  Stop();
  EngineHooks hooks = GetHooks();
  if (hooks.release) hooks.release();
  mainLoop_->cancelPerforms(this);
  SetHooks(EngineHooks());
}

int CVMapEngine::CreateMapWindow(CVWnd* window, int centerX, int centerY, int left, int top, int right,
                                 int bottom, int level) {
  if (!mapControl || !window) return 0;
  global_.mapWindow = window;
  initCenterX = centerX;
  initCenterY = centerY;
  initWindow.SetRect(left, top, right, bottom);
  initLevel = level;
  EngineHooks hooks = GetHooks();
  if (!hooks.initMapWindow) return 1;
  return hooks.initMapWindow(window, centerX, centerY, left, top, right, bottom, level);
}

void CVMapEngine::SetHooks(EngineHooks hooks) {
  platform::MutexLock lock(hooksMutex_);
  hooks_ = std::move(hooks);
}

EngineHooks CVMapEngine::GetHooks() const {
  platform::MutexLock lock(hooksMutex_);
  return hooks_;
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

int CVMapEngine::EngineMessageProc(int message, int wParam, int lParam) {
  EngineHooks hooks = GetHooks();
  if (message == CVMsgDispatcher::kTimerMessage) {
    if (wParam == kOfflineTaskTimerId) call(hooks.offlineTask, message, wParam, lParam);
    call(hooks.location, message, wParam, lParam);
    call(hooks.mapControl, message, wParam, lParam);
    return 0;
  }
  if (isHttpMessage(message)) {
    CHttpClient::DeliverReceived(wParam, message, lParam);
    switch (wParam) {
      case kOfflineTaskClientId:
        // The catalogue client's failures stay with it: it retries at its next tick.
        if ((message >= 1000 && message <= 1003) || message == kHttpBadAnswer || message == kHttpMarkupPage) {
          call(hooks.offlineTask, message, wParam, lParam);
        }
        break;
      case 0:
      case 3:
        call(hooks.search, message, wParam, lParam);
        break;
      case 2:
      case 5:
        call(hooks.location, message, wParam, lParam);
        break;
      default:
        call(hooks.mapControl, message, wParam, lParam);
        break;
    }
    return 0;
  }
  call(hooks.mapControl, message, wParam, lParam);
  call(hooks.location, message, wParam, lParam);
  return 0;
}

int CVMapEngine::NotifierKindForResultType(int type) {
  switch (type) {
    case 7:
    case 11:
    case 12:
    case 21:
    case 45:
      return 1;
    case 14:
      return 2;
    case 20:
      return 3;
    case 31:
      return 4;
    case 44:
      return 6;
    case -1:
      return 7;
    case 35:
      return 10;
    case 23:
      return 11;
    case 507:
      return 12;
    case 18:
      return 14;
    case 506:
      return 15;
    default:
      return 0;
  }
}

int CVMapEngine::UIMessageProc(int message, int wParam, int lParam) {
  EngineHooks hooks = GetHooks();
  switch (message) {
    case kMsgSearchResult:
      if (hooks.notifier) {
        int error = lParam >= 11 && lParam <= 14 ? 100 : lParam;
        hooks.notifier(NotifierKindForResultType(wParam), error, wParam);
      }
      return 0;
    case kMsgOfflineState:
      if (hooks.notifier) hooks.notifier(13, wParam, lParam);
      return 0;
    case kMsgLocationChanged:
      return 0;
    case kMsgAnimationBegin: {
      auto begin = [this, step = hooks.animationStep] {
        platform::NotificationCenter::defaultCenter().post(NotificationEngineAnimationBegin);
        if (step) mainLoop_->performAfter(0.01, this, step);
      };
      if (mainLoop_->isCurrentThread()) {
        begin();
      } else {
        mainLoop_->performOnMain(begin);
      }
      return 0;
    }
    case kMsgAnimationEnd:
      platform::NotificationCenter::defaultCenter().post(NotificationEngineAnimationEnd);
      return 0;
    default:
      call(hooks.mapView, message, wParam, lParam);
      return 0;
  }
}

}  // namespace gmengine
