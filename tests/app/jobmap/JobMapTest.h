#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/home/FeatureScreensInstall.h"
#include "app/jobmap/JobAppleMapController.h"
#include "app/jobmap/JobMapSearchController.h"
#include "app/jobmap/MapStatusTimer.h"
#include "app/jobsearch/FeatureScreens.h"
#include "app/shell/AppTracking.h"
#include "kit/http/ReachabilityFlagsProvider.h"
#include "platform/location/Geocoder.h"
#include "platform/location/LocationManager.h"
#include "platform/location/MapItem.h"
#include "platform/system/OutsideApplications.h"
#include "tests/app/jobsearch/JobSearchScreenTest.h"

namespace kavro::test {

// The network as the tests want it: reachable, or not.
class ScriptedReachability : public ReachabilityFlagsProvider {
 public:
  bool reachable = true;
  std::optional<ReachabilityFlags> flagsForTarget(const ReachabilityTarget&) override {
    return reachable ? ReachabilityFlagReachable : ReachabilityFlags{0};
  }
  std::unique_ptr<ReachabilityChangeSource> watchChanges(platform::RunLoop&, std::function<void()>) override {
    return nullptr;
  }
};

// The map screens over the API fixture server: the platform map in use, the network reachable,
// location services on with the device in Shanghai, and the geocoder knowing the place.
class JobMapTest : public JobSearchScreenTest {
 protected:
  static constexpr platform::Coordinate Shanghai{31.2304, 121.4737};
  static constexpr std::string_view MapSearchPath = "/api/job/map_search.php";

  void SetUp() override {
    JobSearchScreenTest::SetUp();
    ReachabilityFlagsProvider::setShared(network);
    UserCoreInfo::sharedUserCoreInfo().setAppMapType(UserCoreInfo::MapTypeIosMap);
    platform::LocationDevice::reset();
    platform::LocationDevice::setCurrentLocation({Shanghai.latitude, Shanghai.longitude, 30, 0});
    platform::Geocoder::reset();
    platform::Placemark place;
    place.coordinate = Shanghai;
    place.administrativeArea = "上海市";
    place.subLocality = "静安区";
    place.thoroughfare = "南京西路";
    platform::Geocoder::addPlace(place, 50000);
    platform::OutsideApplications::reset();
    platform::MapItem::reset();
    JobMapSearchController::setDetailPageClass(platform::classFor<StandInJobPage>());
    // The job search form and the detail pages reach the map screens as the program wires them.
    home::installFeatureScreens();
  }
  void TearDown() override {
    // Alerts still up are answered, so their windows go.
    for (int i = 0; i < 10 && platform::UIDriver::topAlert(); ++i) platform::UIDriver::answerAlert(0);
    JobMapSearchController::setDetailPageClass(nullptr);
    FeatureScreens::shared() = {};
    JobSearchScreenTest::TearDown();
    MapStatusTimer::destroyMapStatusTimer();
    platform::Geocoder::reset();
    platform::LocationDevice::reset();
    platform::OutsideApplications::reset();
    platform::MapItem::reset();
    ReachabilityFlagsProvider::setShared(nullptr);
  }
  void answerMapSearchWith(std::string_view name) { server.setAnswer(MapSearchPath, 200, fixture(name)); }
  // The platform map's screen pushed over a plain one, located and with its place found.
  std::shared_ptr<JobAppleMapController> openLocated() {
    show(UIBasicController::create<UIBasicController>());
    auto map = UIBasicController::create<JobAppleMapController>();
    nav->pushViewController(map, false);
    settle();
    EXPECT_TRUE(runUntil(
        [&] {
          return map->isLocationed() && !map->mapStatusBar()->getText().empty() &&
                 map->mapStatusBar()->getText() != AppCoreInfo::getLocalizedString("jobmap_reverse");
        },
        10));
    return map;
  }
  static std::string trackedPoints() { return platform::stringFromData(AppTracking::getTrackingPostData()); }

  std::shared_ptr<ScriptedReachability> network = std::make_shared<ScriptedReachability>();
};

}  // namespace kavro::test
