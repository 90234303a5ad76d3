#include "platform/ui/Application.h"

#include <algorithm>

#include "platform/foundation/NotificationCenter.h"
#include "platform/system/OutsideApplications.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {

std::shared_ptr<Application>& instance() {
  static std::shared_ptr<Application> app;
  return app;
}

}  // namespace

Application& Application::sharedApplication() {
  auto& app = instance();
  if (!app) app = std::make_shared<Application>();
  return *app;
}

void Application::destroySharedApplication() {
  ViewController::discardPendingTransitions();
  Keyboard::shared().reset();
  auto old = std::move(instance());
  instance().reset();
  old.reset();
}

bool Application::launch(const Dictionary* options) {
  bool ok = true;
  if (auto d = delegate_) ok = d->didFinishLaunchingWithOptions(*this, options);
  becomeActive();
  return ok;
}

void Application::resignActive() {
  if (state_ != ApplicationState::Active) return;
  state_ = ApplicationState::Inactive;
  if (auto d = delegate_) d->applicationWillResignActive(*this);
  NotificationCenter::defaultCenter().post(ApplicationWillResignActiveNotification, this);
}

void Application::becomeActive() {
  if (state_ == ApplicationState::Active) return;
  state_ = ApplicationState::Active;
  if (auto d = delegate_) d->applicationDidBecomeActive(*this);
  NotificationCenter::defaultCenter().post(ApplicationDidBecomeActiveNotification, this);
}

void Application::enterBackground() {
  if (state_ == ApplicationState::Background) return;
  resignActive();
  state_ = ApplicationState::Background;
  if (auto d = delegate_) d->applicationDidEnterBackground(*this);
  NotificationCenter::defaultCenter().post(ApplicationDidEnterBackgroundNotification, this);
}

void Application::enterForeground() {
  if (state_ == ApplicationState::Background) {
    state_ = ApplicationState::Inactive;
    if (auto d = delegate_) d->applicationWillEnterForeground(*this);
    NotificationCenter::defaultCenter().post(ApplicationWillEnterForegroundNotification, this);
  }
  becomeActive();
}

void Application::terminate() {
  if (auto d = delegate_) d->applicationWillTerminate(*this);
  NotificationCenter::defaultCenter().post(ApplicationWillTerminateNotification, this);
}

void Application::receiveMemoryWarning() {
  if (auto d = delegate_) d->applicationDidReceiveMemoryWarning(*this);
  NotificationCenter::defaultCenter().post(MemoryWarningNotification, this);
}

bool Application::handleOpenURL(const URL& url, std::string_view sourceApplication) {
  if (auto d = delegate_) return d->openURL(*this, url, sourceApplication).value_or(false);
  return false;
}

std::vector<std::shared_ptr<Window>> Application::windows() const {
  std::vector<std::shared_ptr<Window>> out;
  for (const auto& w : windows_)
    if (auto s = w.lock(); s && !s->isHidden()) out.push_back(std::move(s));
  std::stable_sort(out.begin(), out.end(),
                   [](auto& a, auto& b) { return a->windowLevel() < b->windowLevel(); });
  return out;
}

void Application::layoutWindows() {
  if (!instance()) return;
  for (auto& w : instance()->windows()) w->layoutIfNeeded();
}

Rect Application::statusBarFrame() const {
  if (statusBarHidden_) return Rect();
  return Rect(0, 0, Screen::mainScreen().bounds().size.width, 20);
}

bool Application::canOpenURL(const URL& url) const {
  return OutsideApplications::canOpenURL(url.absoluteString());
}

bool Application::openURL(const URL& url) { return OutsideApplications::openURL(url.absoluteString()); }

void Application::registerForRemoteNotificationTypes(unsigned types) {
  auto& push = PushRegistration::sharedPushRegistration();
  push.setDelegate(std::static_pointer_cast<Application>(shared_from_this()));
  push.registerForRemoteNotificationTypes(types);
}

unsigned Application::enabledRemoteNotificationTypes() const {
  return PushRegistration::sharedPushRegistration().enabledRemoteNotificationTypes();
}

void Application::unregisterForRemoteNotifications() {
  PushRegistration::sharedPushRegistration().unregisterForRemoteNotifications();
}

void Application::didRegisterForRemoteNotificationsWithDeviceToken(const Data& token) {
  if (auto d = delegate_) d->didRegisterForRemoteNotificationsWithDeviceToken(*this, token);
}

void Application::didFailToRegisterForRemoteNotificationsWithError(const Error& error) {
  if (auto d = delegate_) d->didFailToRegisterForRemoteNotificationsWithError(*this, error);
}

void Application::didReceiveRemoteNotification(const Dictionary& userInfo) {
  if (auto d = delegate_) d->didReceiveRemoteNotification(*this, userInfo);
}

Application::BackgroundTaskIdentifier Application::beginBackgroundTaskWithExpirationHandler(
    std::function<void()> handler) {
  BackgroundTaskIdentifier id = nextTask_++;
  backgroundTasks_[id] = std::move(handler);
  return id;
}

void Application::endBackgroundTask(BackgroundTaskIdentifier id) { backgroundTasks_.erase(id); }

void Application::expireBackgroundTasks() {
  auto tasks = backgroundTasks_;
  for (auto& [id, fn] : tasks)
    if (fn && backgroundTasks_.count(id)) fn();
}

void Application::windowDidShow(Window* w) {
  for (auto it = windows_.begin(); it != windows_.end();)
    it = it->expired() ? windows_.erase(it) : std::next(it);
  for (auto& x : windows_)
    if (x.lock().get() == w) return;
  windows_.push_back(std::static_pointer_cast<Window>(w->shared_from_this()));
}

void Application::windowDidHide(Window* w) {
  if (keyWindow_.lock().get() != w) return;
  keyWindow_.reset();
  // The topmost shown window of normal level becomes key.
  auto shown = windows();
  for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
    if ((*it)->windowLevel() < Window::LevelAlert) {
      keyWindow_ = *it;
      return;
    }
  }
  if (!shown.empty()) keyWindow_ = shown.back();
}

void Application::makeKey(Window* w) { keyWindow_ = std::static_pointer_cast<Window>(w->shared_from_this()); }

void Application::alertDidShow(std::shared_ptr<View> alert, std::shared_ptr<Window> window) {
  if (std::find(alerts_.begin(), alerts_.end(), alert) != alerts_.end()) return;
  alerts_.push_back(std::move(alert));
  alertWindows_.push_back(std::move(window));
}

void Application::alertDidHide(const View* alert) {
  auto it = std::find_if(alerts_.begin(), alerts_.end(), [&](auto& a) { return a.get() == alert; });
  if (it == alerts_.end()) return;
  auto keep = *it;  // lives until the caller is done with it
  auto keepWindow = alertWindows_[static_cast<std::size_t>(it - alerts_.begin())];
  alertWindows_.erase(alertWindows_.begin() + (it - alerts_.begin()));
  alerts_.erase(it);
}

}  // namespace platform
