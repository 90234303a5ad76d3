// The map search and the location map on the map SDK's view, driven headless over the API fixture
// server and the demo map service: locating, searching, pins, bubble and the detail pager.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "app/jobmap/JobGeoMapController.h"
#include "app/jobsearch/JobSearchController.h"
#include "demo/LoopbackSocket.h"
#include "demo/MapFixtureServer.h"
#include "mapsdk/display/CMapStatus.h"
#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/display/LocationSources.h"
#include "mapsdk/display/MapControlBlock.h"
#include "platform/foundation/Environment.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/UIDriver.h"
#include "tests/app/jobmap/JobMapTest.h"

namespace kavro::test {
namespace {

namespace gv = geomapview;

struct FixSource : mapsdk::GMKUserLocationSource {
  mapsdk::LocationRecord GetLocation() override { return record; }
  mapsdk::LocMode GetLocMode() override { return mapsdk::LocMode::Off; }
  std::optional<platform::Location> bestEffortAtLocation() override { return best; }
  mapsdk::LocationRecord record;
  std::optional<platform::Location> best;
};

class JobGeoMapControllerTest : public JobMapTest {
 protected:
  void SetUp() override {
    JobMapTest::SetUp();
    UserCoreInfo::sharedUserCoreInfo().setAppMapType(UserCoreInfo::MapTypeGeoMap);
    platform::Environment::setMapHostUrl(mapServer.hostUrl() + "/");
    manager = std::make_unique<mapsdk::GMKMapManager>();
    ASSERT_TRUE(manager->start({}));
  }
  void TearDown() override {
    JobMapTest::TearDown();
    manager.reset();
    platform::Environment::setMapHostUrl("");
  }
  // The engine's threads answer in real time.
  bool waitReal(const std::function<bool()>& done, double seconds = 20) {
    loop().setClock(platform::Clock::real());
    bool ok = runUntil(done, seconds);
    loop().setClock(std::shared_ptr<platform::Clock>(std::shared_ptr<void>{}, &clock()));
    return ok;
  }
  std::shared_ptr<JobGeoMapController> openLocated() {
    show(UIBasicController::create<UIBasicController>());
    auto map = UIBasicController::create<JobGeoMapController>();
    nav->pushViewController(map, false);
    settle();
    EXPECT_TRUE(map->gmkMapView());
    if (!map->gmkMapView()) return map;
    // The fix as the SDK's user location reports it.
    auto source = std::make_shared<FixSource>();
    source->record.state = mapsdk::LocationState::Valid;
    source->best = platform::Location{Shanghai.latitude, Shanghai.longitude, 30, 0};
    mapsdk::GMKUserLocation user(source);
    platform::NotificationCenter::defaultCenter().post(mapsdk::NotificationLocationUpdate);
    EXPECT_TRUE(user.location());
    map->mapViewDidUpdateUserLocation(*map->gmkMapView(), user);
    EXPECT_TRUE(map->isLocationed());
    // The animated move to the fix glides a fifth of the rest each step: from the default centre
    // that is some fifty steps.
    EXPECT_TRUE(waitReal([&] { return !gmengine::MapControlOfEngine()->IsGliding(); }));
    EXPECT_TRUE(waitReal([&] { return map->mapStatusBar()->getText() != text("jobmap_reverse"); }));
    return map;
  }
  static std::string text(std::string_view key) { return AppCoreInfo::getLocalizedString(key); }
  bool searched(const std::shared_ptr<JobGeoMapController>& map, std::size_t requests) {
    return waitReal([&] {
      return map->jobListData()->mapViewDataStatus() == MapViewDataStatus::Answered &&
             requestsFor(MapSearchPath).size() == requests;
    });
  }
  static std::vector<std::string> pinTitles(const JobGeoMapController& map) {
    std::vector<std::string> titles;
    for (const auto& a : map.gmkMapView()->annotations()) titles.push_back(a->title().value_or(""));
    return titles;
  }

  MapFixtureServer mapServer;
  std::unique_ptr<mapsdk::GMKMapManager> manager;
};

TEST_F(JobGeoMapControllerTest, ASearchAroundThePlacePagesInJobsWithPins) {
  auto map = openLocated();
  auto& gmk = *map->gmkMapView();
  EXPECT_NEAR(gmk.centerCoordinate().latitude, Shanghai.latitude, 0.05);
  answerMapSearchWith("map_search.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->searchButton()));
  ASSERT_TRUE(searched(map, 1));
  runFor(0);  // the pins' views are made by the repaint at the end of the turn
  auto request = requestsFor(MapSearchPath)[0];
  EXPECT_NE(request.find("pageno=1"), std::string::npos) << request;
  EXPECT_NE(request.find("maptype=geomap"), std::string::npos) << request;
  EXPECT_EQ(map->mapViewStatus(), MapViewStatus::Expanded);
  // The map's logo stands clear of the pager at the bottom of the grown map.
  EXPECT_EQ(gmk.logoView().frame().y(), gmk.bounds().size.height - 28);
  ASSERT_EQ(gmk.annotations().size(), 10u);
  EXPECT_EQ(pinTitles(*map)[0], "地图职位 1");
  EXPECT_EQ(map->currentPageNum()->text(), "第1/3页");
  auto pin = gmk.viewForAnnotation(gmk.annotations()[0]);
  ASSERT_TRUE(pin);
  EXPECT_EQ(pin->reuseIdentifier(), "CustomAnnotation");
  EXPECT_TRUE(pin->image()) << "the map's pictures come with the program";

  answerMapSearchWith("map_search_page2.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->nextButton()));
  ASSERT_TRUE(searched(map, 2));
  EXPECT_EQ(pinTitles(*map)[0], "地图职位 11");
  EXPECT_EQ(map->currentPageNum()->text(), "第2/3页");
}

TEST_F(JobGeoMapControllerTest, APinShowsItsJobAndTheBubbleOpensTheDetailPager) {
  auto map = openLocated();
  answerMapSearchWith("map_search.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->searchButton()));
  ASSERT_TRUE(searched(map, 1));
  settle();
  runFor(0);  // the pins' views are made by the repaint at the end of the turn
  auto& gmk = *map->gmkMapView();
  auto third = gmk.annotations()[2];
  auto pinView = gmk.viewForAnnotation(third);
  ASSERT_TRUE(pinView);
  ASSERT_TRUE(platform::UIDriver::tap(*pinView));
  ASSERT_FALSE(map->mapBubbleView()->isHidden());
  EXPECT_EQ(map->curAnnotation(), third);
  EXPECT_TRUE(map->curAnnotation()->isSelected());
  EXPECT_EQ(map->mapBubbleView()->jobname()->text(), "地图职位 3");
  // The card's texts are on screen where a finger finds them; the date under the area, in its column.
  const auto& bubble = *map->mapBubbleView();
  EXPECT_EQ(bubble.jobarea()->text(), "上海-静安区");
  EXPECT_EQ(bubble.issuedate()->text(), "2013-06-04");
  for (const auto& label : {bubble.jobname(), bubble.coname(), bubble.jobarea(), bubble.issuedate()}) {
    const auto found = platform::UIDriver::findViews(label->text());
    EXPECT_NE(std::find(found.begin(), found.end(), label), found.end()) << label->text();
    EXPECT_LE(platform::TextMetrics::widthOfText(label->text(), label->font()), label->frame().width())
        << label->text() << " whole";
  }
  const platform::Rect area = bubble.jobarea()->frame(), date = bubble.issuedate()->frame();
  EXPECT_EQ(date.x(), area.x());
  EXPECT_EQ(date.size, area.size);
  EXPECT_EQ(date.y(), area.maxY() + 12);
  EXPECT_EQ(gmk.annotations().back(), third) << "the focused pin is drawn last, over the others";
  EXPECT_TRUE(map->mapCenterCircle()->isHidden());
  EXPECT_NE(trackedPoints().find("TRACKING_JOBSEARCH_MAPSEARCH_MAPPIN"), std::string::npos);

  // A tap on the bare map closes the bubble and leaves a plain pin over the focused one.
  const std::size_t pins = gmk.annotations().size();
  ASSERT_TRUE(
      platform::UIDriver::tapAt(gmk.convertPointToView({10, gmk.bounds().size.height - 10}, nullptr)));
  runFor(0.5);
  EXPECT_TRUE(map->mapBubbleView()->isHidden());
  EXPECT_EQ(gmk.annotations().size(), pins + 1);
  EXPECT_FALSE(map->mapCenterCircle()->isHidden());

  // The cover stands over the third pin now: the fourth, then the bubble's next.
  auto fourth = std::dynamic_pointer_cast<mapsdk::GMKAnnotation>(map->annotationArray()[3]);
  ASSERT_TRUE(fourth && gmk.viewForAnnotation(fourth));
  ASSERT_TRUE(platform::UIDriver::tap(*gmk.viewForAnnotation(fourth)));
  ASSERT_FALSE(map->mapBubbleView()->isHidden());
  EXPECT_EQ(map->mapBubbleView()->jobname()->text(), "地图职位 4");
  ASSERT_TRUE(platform::UIDriver::tap(*map->mapBubbleView()->nextJobInfoButton()));
  EXPECT_EQ(map->mapBubbleView()->jobname()->text(), "地图职位 5");

  ASSERT_TRUE(platform::UIDriver::tap(*map->mapBubbleView()->whiteBg()));
  settle();
  auto pager = std::dynamic_pointer_cast<PageTurnController>(nav->topViewController());
  ASSERT_TRUE(pager);
  auto page = std::dynamic_pointer_cast<StandInJobPage>(pager->pageViewAtIndex(4));
  ASSERT_TRUE(page);
  EXPECT_EQ(page->jobid, "800005");
}

TEST_F(JobGeoMapControllerTest, RadiiPickTheNearestWholeLevel) {
  auto map = openLocated();
  auto& gmk = *map->gmkMapView();
  const double r18 = gv::countRadiusByZoomLevel(gmk, 18);
  const double r4 = gv::countRadiusByZoomLevel(gmk, 4);
  EXPECT_NEAR(gv::countRadiusByZoomLevel(gmk, 17), 2 * r18, r18 * 0.01);
  EXPECT_EQ(gv::zoomLevelByRadius(gmk, r4 * 1.5), 3);
  EXPECT_EQ(gv::zoomLevelByRadius(gmk, r18 / 2), 18);
  // Halfway between two levels' radii keeps the lower level.
  const double r12 = gv::countRadiusByZoomLevel(gmk, 12), r13 = gv::countRadiusByZoomLevel(gmk, 13);
  EXPECT_EQ(gv::zoomLevelByRadius(gmk, (r12 + r13) / 2), 12);
  EXPECT_EQ(gv::zoomLevelByRadius(gmk, r13 * 1.1), 13);
}

TEST_F(JobGeoMapControllerTest, PlaceTextsWriteAProvinceEqualToTheCityOnce) {
  mapsdk::GMKGeocoderAddressComponent a;
  a.setProvince(std::string("上海市"));
  a.setCity(std::string("上海市"));
  a.setDistrict(std::string("静安区"));
  a.setStreetName(std::string("南京西路"));
  a.setStreetNumber(std::string("1号"));
  EXPECT_EQ(JobGeoMapController::getCurrentLocationText(a), "上海市静安区南京西路");
  a.setProvince(std::string("江苏省"));
  a.setCity(std::string("苏州市"));
  EXPECT_EQ(JobGeoMapController::getCurrentLocationText(a), "江苏省苏州市静安区1号");
}

// Before the first fix the search button is disabled and looks it: its picture differs from the
// enabled button's once the device is found.
TEST_F(JobGeoMapControllerTest, TheSearchButtonLooksDisabledUntilTheDeviceIsFound) {
  platform::LocationDevice::clearCurrentLocation();
  show(UIBasicController::create<UIBasicController>());
  auto map = UIBasicController::create<JobGeoMapController>();
  nav->pushViewController(map, false);
  settle();
  auto& button = *map->searchButton();
  ASSERT_FALSE(button.isEnabled());
  auto disabled = platform::Snapshot::imageOfView(button, 2);

  platform::LocationDevice::setCurrentLocation({Shanghai.latitude, Shanghai.longitude, 30, loop().now()});
  ASSERT_TRUE(waitReal([&] { return button.isEnabled(); }, 5));
  auto enabled = platform::Snapshot::imageOfView(button, 2);
  ASSERT_TRUE(disabled && enabled);
  const platform::Bitmap& a = *disabled->bitmap();
  const platform::Bitmap& b = *enabled->bitmap();
  ASSERT_EQ(a.width(), b.width());
  int differing = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) differing += a.pixelAt(x, y) == b.pixelAt(x, y) ? 0 : 1;
  EXPECT_GT(differing, 20) << "the disabled button is drawn as the enabled one";
}

// With a map service that never answers, the place of the device is given up after a few seconds:
// the status line shows its coordinates instead of finding the place for ever.
TEST_F(JobGeoMapControllerTest, APlaceTheMapServiceNeverAnswersReadsAsCoordinates) {
  std::uint16_t port = 0;
  const int silent = listenOnLoopback(64, port);
  platform::Environment::setMapHostUrl("http://127.0.0.1:" + std::to_string(port) + "/");
  show(UIBasicController::create<UIBasicController>());
  auto map = UIBasicController::create<JobGeoMapController>();
  nav->pushViewController(map, false);
  settle();
  // The fix comes through the engine's threads, in real time: a busy machine may take a while.
  ASSERT_TRUE(waitReal([&] { return map->isLocationed(); }, 10));
  EXPECT_EQ(map->mapStatusBar()->getText(), text("jobmap_reverse"));
  // The place is asked for again each time the map settles (it glides to the device on the
  // engine's own time): the patience counts from the last ask.
  EXPECT_TRUE(waitReal([&] { return map->mapStatusBar()->getText() != text("jobmap_reverse"); },
                       JobGeoMapController::ReverseGeocodePatience + 20));
  const std::string shown = map->mapStatusBar()->getText();
  EXPECT_NE(shown, text("jobmap_reverse"));
  EXPECT_NE(shown.find("31.2"), std::string::npos) << shown;
  ::close(silent);
}

TEST_F(JobGeoMapControllerTest, TheLocationMapStandsTheCompanysPinWithItsBubble) {
  show(UIBasicController::create<UIBasicController>());
  auto record = DataItemDetail::newDetail();
  record->setString("静安软件有限公司", "coname");
  record->setString("上海市静安区南京西路101号", "caddr");
  record->setString("31.230400", "latitude");
  record->setString("121.490700", "longitude");
  // As the job detail's address row asks for it: through the feature hook.
  FeatureScreens::shared().openRoute(record);
  auto screen = std::dynamic_pointer_cast<JobGeoRouteController>(nav->topViewController());
  ASSERT_TRUE(screen);
  EXPECT_EQ(nav->topViewController(), screen);
  settle();
  runFor(1);
  ASSERT_TRUE(waitReal([&] { return screen->companyPin() != nullptr; }, 5));
  // The glide steps on the engine's timer thread: under the thread sanitizer on a busy machine
  // it takes a good while.
  ASSERT_TRUE(waitReal([&] { return !gmengine::MapControlOfEngine()->IsGliding(); }, 90));
  auto& gmk = *screen->gmkMapView();
  const platform::Size root = screen->view()->bounds().size;
  EXPECT_EQ(gmk.frame(), platform::Rect(0, 44, root.width, root.height - 44))
      << "the map fills the screen under the bar";
  EXPECT_NEAR(gmk.centerCoordinate().latitude, 31.2304, 0.01);
  auto pin = gmk.viewForAnnotation(screen->companyPin());
  ASSERT_TRUE(pin);
  EXPECT_FALSE(screen->bubbleView()->isHidden());
  // The pin's foot on the company, in the middle of the map.
  const platform::Rect onMap = gmk.convertRectFromView(pin->frame(), pin->superviewPointer());
  EXPECT_NEAR(onMap.x() + onMap.width() / 2, gmk.bounds().size.width / 2, 2);

  // A tap on the bare map closes the bubble; a tap on the pin opens it again.
  ASSERT_TRUE(
      platform::UIDriver::tapAt(gmk.convertPointToView({10, gmk.bounds().size.height - 10}, nullptr)));
  runFor(0.5);
  EXPECT_TRUE(screen->bubbleView()->isHidden());
  EXPECT_FALSE(screen->companyPin()->isSelected());
  // Its plain picture stands on the company again once the map has drawn.
  auto plain = gmk.viewForAnnotation(screen->companyPin());
  gmengine::MapControlOfEngine()->RequestRepaint();
  ASSERT_TRUE(waitReal(
      [&] {
        const platform::Rect f = gmk.convertRectFromView(plain->frame(), plain->superviewPointer());
        return std::abs(f.x() + f.width() / 2 - gmk.bounds().size.width / 2) <= 2;
      },
      5));
  ASSERT_TRUE(platform::UIDriver::tap(*plain));
  EXPECT_FALSE(screen->bubbleView()->isHidden());
  EXPECT_TRUE(screen->companyPin()->isSelected());
}

}  // namespace
}  // namespace kavro::test
