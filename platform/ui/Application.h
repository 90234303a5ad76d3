#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/graphics/Geometry.h"
#include "platform/system/PushRegistration.h"
#include "platform/ui/Responder.h"

namespace platform {

class Application;
class View;
class Window;

// The platform's values.
enum class ApplicationState { Active = 0, Inactive = 1, Background = 2 };
enum class StatusBarStyle { Default = 0, BlackTranslucent = 1, BlackOpaque = 2 };

inline constexpr std::string_view ApplicationDidBecomeActiveNotification =
    "UIApplicationDidBecomeActiveNotification";
inline constexpr std::string_view ApplicationWillResignActiveNotification =
    "UIApplicationWillResignActiveNotification";
inline constexpr std::string_view ApplicationDidEnterBackgroundNotification =
    "UIApplicationDidEnterBackgroundNotification";
inline constexpr std::string_view ApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline constexpr std::string_view ApplicationWillTerminateNotification =
    "UIApplicationWillTerminateNotification";

// The application's delegate; every method is optional.
class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual bool didFinishLaunchingWithOptions(Application& app, const Dictionary* options) { return true; }
  virtual void applicationDidBecomeActive(Application& app) {}
  virtual void applicationWillResignActive(Application& app) {}
  virtual void applicationDidEnterBackground(Application& app) {}
  virtual void applicationWillEnterForeground(Application& app) {}
  virtual void applicationWillTerminate(Application& app) {}
  virtual void applicationDidReceiveMemoryWarning(Application& app) {}
  // application:openURL:sourceApplication:annotation:; empty: not implemented.
  virtual std::optional<bool> openURL(Application& app, const URL& url, std::string_view sourceApplication) {
    return std::nullopt;
  }
  virtual void didRegisterForRemoteNotificationsWithDeviceToken(Application& app, const Data& token) {}
  virtual void didFailToRegisterForRemoteNotificationsWithError(Application& app, const Error& error) {}
  virtual void didReceiveRemoteNotification(Application& app, const Dictionary& userInfo) {}
};

// The running application: its delegate and life cycle (driven by the runner and tests), its
// windows, the status bar, the network activity indicator, the icon badge, outside URLs (through
// OutsideApplications, which records them), remote-notification registration (through
// PushRegistration, whose answer reaches the delegate) and background tasks. It keeps alert views
// and action sheets alive while they are on screen. Main thread only.
class Application : public Responder, public PushRegistrationDelegate {
 public:
  using BackgroundTaskIdentifier = std::uint64_t;
  static constexpr BackgroundTaskIdentifier InvalidBackgroundTask = 0;

  static Application& sharedApplication();
  // Forgets delegate, windows, alerts and state (tests).
  static void destroySharedApplication();

  const std::shared_ptr<ApplicationDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::shared_ptr<ApplicationDelegate> d) { delegate_ = std::move(d); }

  // --- Life cycle -----------------------------------------------------------------------------
  // didFinishLaunchingWithOptions, then becoming active; answers the delegate's answer.
  bool launch(const Dictionary* options = nullptr);
  ApplicationState applicationState() const { return state_; }
  void resignActive();
  void becomeActive();
  // Resigns active first when needed.
  void enterBackground();
  // Back to the foreground and active.
  void enterForeground();
  void terminate();
  // Posts MemoryWarningNotification and tells the delegate.
  void receiveMemoryWarning();
  // Another application asks this one to open a URL: the delegate decides (false when it does
  // not implement openURL).
  bool handleOpenURL(const URL& url, std::string_view sourceApplication = "");

  // --- Windows --------------------------------------------------------------------------------
  // Shown windows by level, then in the order they were first shown.
  std::vector<std::shared_ptr<Window>> windows() const;
  std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }
  // Works off pending layout in every shown window.
  static void layoutWindows();

  // --- Status bar and indicators ----------------------------------------------------------------
  StatusBarStyle statusBarStyle() const { return statusBarStyle_; }
  void setStatusBarStyle(StatusBarStyle s, bool animated = false) {
    if (s != statusBarStyle_) ++statusBarStyleChanges_;
    statusBarStyle_ = s;
  }
  // How often the style changed (the bar redraws each time).
  std::size_t statusBarStyleChangeCount() const { return statusBarStyleChanges_; }
  bool isStatusBarHidden() const { return statusBarHidden_; }
  void setStatusBarHidden(bool hidden, bool animated = false) { statusBarHidden_ = hidden; }
  // (0, 0, screen width, 20); zero when hidden.
  Rect statusBarFrame() const;
  bool isNetworkActivityIndicatorVisible() const { return networkActivity_; }
  void setNetworkActivityIndicatorVisible(bool v) { networkActivity_ = v; }
  long applicationIconBadgeNumber() const { return badge_; }
  void setApplicationIconBadgeNumber(long n) { badge_ = n; }
  bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
  void setIdleTimerDisabled(bool v) { idleTimerDisabled_ = v; }

  // --- Outside applications (OutsideApplications) ---------------------------------------------
  // Recorded there; true when an installed application takes the scheme.
  bool openURL(const URL& url);
  bool canOpenURL(const URL& url) const;

  // --- Remote notifications (PushRegistration) -------------------------------------------------
  // types: RemoteNotificationType bits. The token or the failure reaches the delegate.
  void registerForRemoteNotificationTypes(unsigned types);
  unsigned enabledRemoteNotificationTypes() const;
  void unregisterForRemoteNotifications();
  // A notification arrived (the runner or a test hands it in): the delegate hears it.
  void didReceiveRemoteNotification(const Dictionary& userInfo);
  void didRegisterForRemoteNotificationsWithDeviceToken(const Data& deviceToken) override;
  void didFailToRegisterForRemoteNotificationsWithError(const Error& error) override;

  // --- Background tasks -----------------------------------------------------------------------
  BackgroundTaskIdentifier beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
  void endBackgroundTask(BackgroundTaskIdentifier id);
  std::size_t backgroundTaskCount() const { return backgroundTasks_.size(); }
  // The system's time is up: every expiration handler runs (the runner's or a test's call).
  void expireBackgroundTasks();

  // --- Alerts on screen -----------------------------------------------------------------------
  // Alert views and action sheets on screen, oldest first; the last is the one on top.
  const std::vector<std::shared_ptr<View>>& visibleAlerts() const { return alerts_; }

 private:
  friend class Window;
  friend class AlertView;
  friend class ActionSheet;
  void windowDidShow(Window* w);
  void windowDidHide(Window* w);
  void makeKey(Window* w);
  // The application keeps the alert and its overlay window while it is shown; the alert only
  // points at its window, so neither keeps the other alive past the application.
  void alertDidShow(std::shared_ptr<View> alert, std::shared_ptr<Window> window);
  void alertDidHide(const View* alert);

  std::shared_ptr<ApplicationDelegate> delegate_;
  ApplicationState state_ = ApplicationState::Inactive;
  std::vector<std::weak_ptr<Window>> windows_;
  std::weak_ptr<Window> keyWindow_;
  StatusBarStyle statusBarStyle_ = StatusBarStyle::Default;
  std::size_t statusBarStyleChanges_ = 0;
  bool statusBarHidden_ = false;
  bool networkActivity_ = false;
  long badge_ = 0;
  bool idleTimerDisabled_ = false;
  BackgroundTaskIdentifier nextTask_ = 1;
  std::map<BackgroundTaskIdentifier, std::function<void()>> backgroundTasks_;
  std::vector<std::shared_ptr<View>> alerts_;
  std::vector<std::shared_ptr<Window>> alertWindows_;  // by the index of alerts_
};

}  // namespace platform
