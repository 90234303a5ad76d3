#include "app/home/ios_kavroAppDelegate.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string_view>

#include "app/home/FeatureScreensInstall.h"
#include "app/home/HomeViewController.h"
#include "app/services/KitServices.h"
#include "app/shell/AppTracking.h"
#include "app/shell/PushUnit.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataHex.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/http/Reachability.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/CommonHud.h"
#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/display/LocationSources.h"
#include "platform/foundation/RunLoop.h"
#include "platform/system/PushRegistration.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

namespace {
// The opening count is a statistic: its write (a journal and its disk syncs) waits until the first
// screen has settled rather than hold the start up.
constexpr double OpeningCountDelay = 0.5;
}  // namespace

ios_kavroAppDelegate::ios_kavroAppDelegate() = default;
ios_kavroAppDelegate::~ios_kavroAppDelegate() = default;

bool ios_kavroAppDelegate::didFinishLaunchingWithOptions(platform::Application& app,
                                                         const platform::Dictionary* /*options*/) {
  // A second launch of the same object would run the upgrade steps twice in one start.
  if (launched_) return true;
  launched_ = true;

  AppUtil::setApplicationWord("kavro");
  // A build installed under ".../kavro-N.N.N/" carries its version in its path (one readlink:
  // the link's size asked first would be a second call for nothing).
  char program[PATH_MAX];
  if (ssize_t n = ::readlink("/proc/self/exe", program, sizeof program); n > 0 && n < ssize_t{sizeof program})
    AppUtil::fetchVersionFromFilePath(std::string_view(program, static_cast<std::size_t>(n)));
  appcore::installKitServices();
  home::installFeatureScreens();
  AppCoreInfo::resourceInit();
  noteStores();
  AppSkin::sharedAppSkin();

  home_ = UIBasicController::create<HomeViewController>();
  auto window = std::make_shared<platform::Window>();
  window->setRootViewController(platform::NavigationController::create(home_));
  setWindow(window);
  window->makeKeyAndVisible();
  startMapManager();

  reachability_ = Reachability::reachabilityForInternetConnection();
  if (reachability_) reachability_->startNotifier();
  LocationUtil::getLocationForType(LocationUtil::TypeJob, weak_from_this());
  app.registerForRemoteNotificationTypes(platform::RemoteNotificationTypeBadge |
                                         platform::RemoteNotificationTypeSound |
                                         platform::RemoteNotificationTypeAlert);
  return true;
}

void ios_kavroAppDelegate::destroySharedServices() {
  // The opening's count, still waiting, goes to the store before the store closes.
  auto& app = platform::Application::sharedApplication();
  auto self = std::dynamic_pointer_cast<ios_kavroAppDelegate>(app.delegate());
  if (self) self->recordOpening();
  CommonHud::hiddenTips();
  platform::ViewController::discardPendingTransitions();
  platform::Application::destroySharedApplication();
  // The map engine goes after the screens, whose map views draw through it.
  if (self) self->mapManager_.reset();
  mapsdk::IphoneGPSMan::destroyInstance();
  AppControllers::destroyAppControllers();
  LocationUtil::destroyLocationUtil();
  PushUnit::destroySharedPushUnit();
  platform::PushRegistration::destroySharedPushRegistration();
  AppSkin::destroySharedAppSkin();
  // The login read from this home's core store goes with it: a session on another home starts
  // with that home's own.
  UserCoreInfo::destroyUserCoreInfo();
  AppCoreInfo::destroyAppCoreInfo();
}

void ios_kavroAppDelegate::startMapManager() {
  if (mapManager_) return;
  mapManager_ = std::make_unique<mapsdk::GMKMapManager>();
  if (mapManager_->start({})) return;
  mapManager_.reset();
  std::fprintf(stderr, "kavro: the map engine did not start: the map screens stay empty\n");
}

void ios_kavroAppDelegate::noteStores() {
  auto& core = AppCoreInfo::sharedAppCoreInfo();
  const DataSQLiteDB* stores[] = {core.appCoreDB().get(), core.appCacheDB().get(), core.appDictDB().get()};
  for (const DataSQLiteDB* db : stores) {
    if (!db) continue;
    std::string note;
    if (db->damagedFileMovedTo())
      note = "store " + db->name() + " was damaged: moved aside to " + *db->damagedFileMovedTo() +
             ", starting with an empty one";
    else if (!db->isOpen())
      note = "store " + db->name() + " could not be opened (" + db->getErrorMessage().value_or("") +
             "): running without it";
    if (note.empty()) continue;
    if (!db->damageMoveSaid()) std::fprintf(stderr, "kavro: %s\n", note.c_str());
    storeNotes_.push_back(std::move(note));
  }
}

void ios_kavroAppDelegate::applicationDidBecomeActive(platform::Application&) {
  if (openingPending_) return;
  openingPending_ = true;
  std::weak_ptr<ios_kavroAppDelegate> weak = weak_from_this();
  platform::RunLoop::main().performAfter(OpeningCountDelay, this, [weak] {
    if (auto self = weak.lock()) self->recordOpening();
  });
}

void ios_kavroAppDelegate::recordOpening() {
  if (!openingPending_) return;
  openingPending_ = false;
  platform::RunLoop::main().cancelPerforms(this);
  AppTracking::record(OpenClientTrackingPoint);
}

void ios_kavroAppDelegate::applicationDidEnterBackground(platform::Application&) {
  recordOpening();
  if (reachability_) reachability_->stopNotifier();
}

void ios_kavroAppDelegate::applicationWillEnterForeground(platform::Application&) {
  if (reachability_) reachability_->startNotifier();
}

void ios_kavroAppDelegate::didRegisterForRemoteNotificationsWithDeviceToken(platform::Application&,
                                                                            const platform::Data& token) {
  PushUnit::sharedPushUnit().setDeviceToken(data::toHex(token));
}

}  // namespace kavro
