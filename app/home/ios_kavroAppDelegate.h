#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/home/AppBaseDelegate.h"
#include "kit/core/LocationUtil.h"

namespace mapsdk {
class GMKMapManager;
}

namespace kavro {

class Reachability;
class HomeViewController;

// The application's delegate: the start sequence and the application's life cycle.
//
// Launch, in this order: the application word and the version from the program's path; the
// kit's hooks and the application's own AppCoreInfo operations; the stores and the version
// upgrade steps (once per start); the skin; the window with a navigation controller whose root is
// the home screen; the map SDK's manager, created and started (every map view draws through its
// engine; a failed start is said on the log); then the network watcher, the current-location lookup and the
// push registration, none of which the home screen waits for. A store that had to be moved aside or could not
// be opened is said once on the log. Becoming active counts the client's opening, written half a second later
// (or when the application goes to the background or ends first) so that the start does not wait for the
// store; the background stops the network watcher and the foreground starts it again. Main thread only.
class ios_kavroAppDelegate : public AppBaseDelegate,
                             public LocationUtilDelegate,
                             public std::enable_shared_from_this<ios_kavroAppDelegate> {
 public:
  static constexpr std::string_view OpenClientTrackingPoint = "TRACKING_ENTIRETY_OPENCLIENT";

  ios_kavroAppDelegate();
  ~ios_kavroAppDelegate() override;

  bool didFinishLaunchingWithOptions(platform::Application& app,
                                     const platform::Dictionary* options) override;
  void applicationDidBecomeActive(platform::Application& app) override;
  void applicationDidEnterBackground(platform::Application& app) override;
  void applicationWillEnterForeground(platform::Application& app) override;
  void didRegisterForRemoteNotificationsWithDeviceToken(platform::Application& app,
                                                        const platform::Data& token) override;

  void locationUtil(LocationUtil& util, bool isSucceed) override {}

  // Ends the application object and the process-wide services a start made (the stores closed),
  // so that another start can follow in the same process (the runner's end, tests).
  static void destroySharedServices();

  const std::shared_ptr<HomeViewController>& homeViewController() const { return home_; }
  // The map SDK's manager the start made (null when its engine did not start).
  mapsdk::GMKMapManager* mapManager() const { return mapManager_.get(); }
  // What the start had to say about the stores (also written to the log), one line each.
  const std::vector<std::string>& storeNotes() const { return storeNotes_; }

 private:
  void noteStores();
  void startMapManager();
  // Writes the opening count that is waiting, if any.
  void recordOpening();

  std::shared_ptr<HomeViewController> home_;
  std::shared_ptr<Reachability> reachability_;
  std::unique_ptr<mapsdk::GMKMapManager> mapManager_;
  std::vector<std::string> storeNotes_;
  bool launched_ = false;
  bool openingPending_ = false;
};

}  // namespace kavro
