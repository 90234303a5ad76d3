// The job location map over the fixture server: the coordinate from the record or the server
// (with the page round trip), the pin and its bubble, and the route hand-off per application.

#include <gtest/gtest.h>

#include "app/jobmap/JobAppleRouteController.h"
#include "app/jobmap/MapErrorBoard.h"
#include "app/jobmap/MapSkin.h"
#include "platform/mapview/MapViewUtil.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Device.h"
#include "platform/ui/Snapshot.h"
#include "tests/app/jobmap/JobMapTest.h"

namespace kavro::test {
namespace {

using platform::OutsideApplications;

class JobMapControllerTest : public JobMapTest {
 protected:
  static constexpr std::string_view LonlatPath = "/api/job/get_co_lonlat.php";
  static constexpr std::string_view ConvertPath = "/api/util/convert_lonlat.php";

  void TearDown() override {
    platform::Device::currentDevice().setSystemVersion("6.1");
    JobMapTest::TearDown();
  }
  static std::shared_ptr<DataItemDetail> company(bool withCoordinate) {
    auto d = DataItemDetail::newDetail();
    d->set_coid("601");
    d->set_coname("静安软件");
    d->set_caddr("南京西路1号");
    if (withCoordinate) {
      d->setString("31.228800", "latitude");
      d->setString("121.454900", "longitude");
    }
    return d;
  }
  std::shared_ptr<JobMapController> open(bool withCoordinate) {
    show(UIBasicController::create<UIBasicController>());
    auto screen = JobMapController::openWithDetail(company(withCoordinate));
    settle();
    return screen;
  }
  // Picks the application of the tag from the route sheet.
  bool choose(JobMapController& screen, std::int32_t tag) {
    screen.route();
    auto sheet = std::dynamic_pointer_cast<platform::ActionSheet>(platform::UIDriver::topAlert());
    if (!sheet) return false;
    const auto& apps = screen.mapButtonArray();
    for (std::size_t i = 0; i < apps.size(); ++i)
      if (apps[i]->getInt(JobMapController::mapButtonTagKey) == tag)
        return platform::UIDriver::answerAlert(static_cast<int>(i));
    platform::UIDriver::answerAlert(sheet->cancelButtonIndex());
    return false;
  }
  static std::string lastOpened() {
    auto opened = OutsideApplications::openedURLs();
    return opened.empty() ? "" : opened.back().url;
  }
  static std::string alertMessage() {
    auto alert = std::dynamic_pointer_cast<platform::AlertView>(platform::UIDriver::topAlert());
    return alert ? alert->message() : "";
  }
  static std::string text(std::string_view key) { return AppCoreInfo::getLocalizedString(key); }
};

TEST_F(JobMapControllerTest, TheErrorBoardShowsThePictureOfItsTrouble) {
  auto board = std::make_shared<MapErrorBoard>();
  board->mapBoardLocationFailed("no fix");
  EXPECT_EQ(board->errorMessege()->text(), "no fix");
  ASSERT_TRUE(board->errorImage()->image());
  EXPECT_EQ(board->errorImage()->image(), mapskin::image("map_problem_nogps"));
  board->mapBoardFunctionError("broken");
  EXPECT_EQ(board->errorMessege()->text(), "broken");
  EXPECT_EQ(board->errorImage()->image(), mapskin::image("map_problem_failed"));
  EXPECT_NE(mapskin::image("map_problem_nogps"), mapskin::image("map_problem_failed"));
  // The message stands centred under the picture, 300 points wide, tall enough for its lines.
  board->mapBoardFunctionError("地图服务暂时不可用，请稍后再试。地图服务暂时不可用，请稍后再试。");
  const auto& message = *board->errorMessege();
  EXPECT_EQ(message.frame().width(), 300);
  EXPECT_EQ(message.frame().midX(), board->frame().width() / 2);
  EXPECT_EQ(message.frame().y(), board->errorImage()->frame().maxY() + 9);
  EXPECT_EQ(message.frame().height(), message.sizeThatFits({300, 0}).height);
  EXPECT_GT(message.frame().height(), 20) << "the long message wraps onto a second line";

  // A message longer than the board has room for is cut at the board's edge: nothing of it is
  // drawn over the map below.
  std::string longest;
  for (int i = 0; i < 12; ++i) longest += "地图服务暂时不可用，请稍后再试。";
  board->mapBoardFunctionError(longest);
  ASSERT_GT(message.frame().maxY(), board->frame().height()) << "the text runs past the board";
  auto below = std::make_shared<platform::View>(platform::Rect(0, 0, board->frame().width(), 600));
  below->setBackgroundColor(platform::Color::clear());
  below->addSubview(board);
  auto image = platform::Snapshot::imageOfView(*below, 1);
  const auto& bitmap = *image->bitmap();
  const int boardBottom = static_cast<int>(board->frame().height());
  ASSERT_GT(bitmap.height(), boardBottom + 10);
  bool drawnBelow = false;
  for (int y = boardBottom + 1; y < bitmap.height() && !drawnBelow; ++y)
    for (std::size_t x = 0; x < bitmap.bytesPerRow() / 4 && !drawnBelow; ++x)
      drawnBelow = bitmap.data()[y * bitmap.bytesPerRow() + 4 * x + 3] != 0;
  EXPECT_FALSE(drawnBelow);
}

TEST_F(JobMapControllerTest, ARecordsCoordinateNeedsNoServerAndShowsThePinWithTheBubble) {
  UserCoreInfo::sharedUserCoreInfo().setAppMapType(UserCoreInfo::MapTypeIosMap);
  auto screen = std::dynamic_pointer_cast<JobAppleRouteController>(open(true));
  ASSERT_TRUE(screen) << "the platform map serves every map type but the SDK's";
  EXPECT_EQ(nav->topViewController(), screen);
  const platform::Size root = screen->view()->bounds().size;
  EXPECT_EQ(screen->aMapView()->frame(), platform::Rect(0, 44, root.width, root.height - 44))
      << "the map fills the screen under the bar";
  runFor(0.5);
  EXPECT_TRUE(requestsFor(LonlatPath).empty());
  EXPECT_EQ(screen->coordinate(), (platform::Coordinate{31.2288, 121.4549}));
  ASSERT_EQ(screen->aMapView()->annotations().size(), 1u);
  EXPECT_EQ(screen->aMapView()->selectedAnnotations().size(), 1u);
  EXPECT_FALSE(screen->bubbleView()->isHidden());
  EXPECT_EQ(screen->bubbleView()->coname()->text(), "静安软件");
  EXPECT_EQ(screen->bubbleView()->coarea()->text(), "南京西路1号");
  EXPECT_NEAR(platform::mapview::countRadiusByIosSdk(*screen->aMapView()), JobMapController::RouteRadius,
              0.1);

  // A tap on the bare map closes the bubble and leaves the pin.
  ASSERT_TRUE(platform::UIDriver::tapAt(screen->aMapView()->convertPointToView({20, 20}, nullptr)));
  EXPECT_TRUE(screen->bubbleView()->isHidden());
  EXPECT_TRUE(screen->aMapView()->selectedAnnotations().empty());
}

TEST_F(JobMapControllerTest, TheServersCoordinateAndItsPageRoundTrip) {
  // First the server asks for a page; the page is posted back; then it answers.
  std::string ask = fixture("get_co_lonlat_fetch.xml");
  ask.replace(ask.find("PAGE_URL"), 8, server.hostUrl() + "/page/lonlat.html");
  server.setAnswer(LonlatPath, 200, ask);
  auto page = ScriptedResponse::ok("lonlat page: 31.2288 121.4549", {{"Content-Type", "text/html"}});
  page.delayBeforeResponse = 1.0;
  server.setAnswer("/page/lonlat.html", page);

  auto screen = open(false);
  ASSERT_TRUE(runUntil([&] { return !requestsFor("/page/lonlat.html").empty(); }, 10));
  server.setAnswer(LonlatPath, 200, fixture("get_co_lonlat.xml"));
  ASSERT_TRUE(runUntil([&] { return platform::isValidCoordinate(screen->coordinate()); }, 10));

  auto calls = server.requests();
  std::vector<RecordedRequest> lonlat, fetched;
  for (const auto& r : calls) {
    if (r.target.starts_with(LonlatPath)) lonlat.push_back(r);
    if (r.target.starts_with("/page/")) fetched.push_back(r);
  }
  ASSERT_EQ(lonlat.size(), 2u);
  EXPECT_EQ(lonlat[0].method, "GET");
  EXPECT_NE(lonlat[0].target.find("coid=601"), std::string::npos);
  ASSERT_EQ(fetched.size(), 1u);
  EXPECT_EQ(fetched[0].header("User-Agent").value_or(""), JobMapController::BrowserUserAgent);
  EXPECT_EQ(lonlat[1].method, "POST");
  EXPECT_EQ(lonlat[1].body, "maptype=googlemap&lonlatdata=lonlat%20page%3A%2031.2288%20121.4549");
  auto apple = std::dynamic_pointer_cast<JobAppleRouteController>(screen);
  ASSERT_TRUE(runUntil([&] { return apple->aMapView()->annotations().size() == 1; }, 5));
}

TEST_F(JobMapControllerTest, AServerThatKeepsAskingForPagesIsNotFollowedForEver) {
  std::string ask = fixture("get_co_lonlat_fetch.xml");
  ask.replace(ask.find("PAGE_URL"), 8, server.hostUrl() + "/page/again.html");
  server.setAnswer(LonlatPath, 200, ask);
  server.setAnswer("/page/again.html", ScriptedResponse::ok("again"));
  auto screen = open(false);
  ASSERT_TRUE(runUntil([&] { return !alertMessage().empty(); }, 20));
  EXPECT_EQ(alertMessage(), text("jobmap_get_coordinate_failed"));
  EXPECT_EQ(requestsFor("/page/again.html").size(),
            static_cast<std::size_t>(JobMapController::MaxPageFetches));
}

TEST_F(JobMapControllerTest, TheRouteOpensEachApplicationWithItsOwnURL) {
  auto screen = open(true);
  runFor(0.3);
  // Nothing installed: the platform's maps are offered still.
  ASSERT_TRUE(choose(*screen, JobMapController::PlatformMapApp));
  EXPECT_EQ(screen->mapButtonArray().size(), 1u);
  auto maps = platform::MapItem::openedMaps();
  ASSERT_EQ(maps.size(), 1u);
  EXPECT_TRUE(maps[0].items[0].isCurrentLocation);
  EXPECT_EQ(maps[0].items[1].name, "静安软件");
  EXPECT_EQ(maps[0].items[1].coordinate, (platform::Coordinate{31.2288, 121.4549}));
  EXPECT_EQ(maps[0].options.directionsMode, platform::MapItem::DirectionsModeDriving);

  for (const char* scheme : {"geomap", "comgooglemaps", "iosamap"})
    OutsideApplications::addInstalledScheme(scheme);
  ASSERT_TRUE(choose(*screen, JobMapController::GoogleMapApp));
  EXPECT_EQ(screen->mapButtonArray().size(), 4u);
  EXPECT_EQ(lastOpened(),
            "comgooglemaps://?saddr=&daddr=31.228800,121.454900(%E9%9D%99%E5%AE%89%E8%BD%AF%E4%BB%B6)"
            "&directionsmode=driving");
  ASSERT_TRUE(choose(*screen, JobMapController::AutonaviApp));
  EXPECT_EQ(lastOpened(),
            "iosamap://"
            "navi?sourceApplication=Kavro&backScheme=kavroapp&poiname=%E9%9D%99%E5%AE%89%E8%BD%AF%E4%BB%B6"
            "&lat=31.228800&lon=121.454900&dev=0&style=2");
  // The platform map's coordinate goes to the SDK's application shifted on the device.
  ASSERT_TRUE(choose(*screen, JobMapController::GeoMapApp));
  EXPECT_EQ(lastOpened().substr(0, 50), "geomap://map/marker?location=31.234790,121.461402&");
  EXPECT_NE(lastOpened().find("&referer=Kavro%7CKavro"), std::string::npos) << lastOpened();

  platform::Device::currentDevice().setSystemVersion("5.1");
  ASSERT_TRUE(choose(*screen, JobMapController::PlatformMapApp));
  EXPECT_EQ(lastOpened(),
            std::string(JobMapController::WebMapURL) + "?saddr=&daddr=31.228800,121.454900&dirfl=d");
  EXPECT_TRUE(requestsFor(ConvertPath).empty());
}

TEST_F(JobMapControllerTest, WithTheSdksMapTypeTheServerConvertsForOtherApplications) {
  UserCoreInfo::sharedUserCoreInfo().setAppMapType(UserCoreInfo::MapTypeGeoMap);
  OutsideApplications::addInstalledScheme("comgooglemaps");
  OutsideApplications::addInstalledScheme("geomap");
  auto screen = open(true);
  runFor(0.3);
  ASSERT_TRUE(choose(*screen, JobMapController::GeoMapApp));
  EXPECT_EQ(lastOpened().substr(0, 50), "geomap://map/marker?location=31.228800,121.454900&")
      << "as it stands";

  ASSERT_TRUE(choose(*screen, JobMapController::GoogleMapApp));
  ASSERT_TRUE(runUntil([&] { return lastOpened().starts_with("comgooglemaps"); }, 10));
  auto convert = requestsFor(ConvertPath);
  ASSERT_EQ(convert.size(), 1u);
  EXPECT_NE(convert[0].find("lonlat=121.454900%2C31.228800&from=geomap&to=googlemap"), std::string::npos)
      << convert[0];
  EXPECT_NE(lastOpened().find("daddr=31.222800,121.448400("), std::string::npos) << "the server's answer";
}

TEST_F(JobMapControllerTest, AGoneApplicationOrAnUnusableCoordinateOpensNothing) {
  OutsideApplications::addInstalledScheme("comgooglemaps");
  auto screen = open(true);
  runFor(0.3);
  screen->route();
  ASSERT_EQ(screen->mapButtonArray().size(), 2u);
  OutsideApplications::removeInstalledScheme("comgooglemaps");
  ASSERT_TRUE(platform::UIDriver::answerAlert(0));
  EXPECT_EQ(alertMessage(), text("jobmap_route_app_missing"));
  EXPECT_TRUE(OutsideApplications::openedURLs().empty());
  platform::UIDriver::answerAlert(0);

  // A conversion that answers a place off the earth.
  UserCoreInfo::sharedUserCoreInfo().setAppMapType(UserCoreInfo::MapTypeGeoMap);
  OutsideApplications::addInstalledScheme("comgooglemaps");
  server.setAnswer(ConvertPath, 200,
                   "<?xml version=\"1.0\"?><responsemessage><result>1</result><status>1</status><resultbody>"
                   "<latitude>200</latitude><longitude>121.4</longitude></resultbody></responsemessage>");
  ASSERT_TRUE(choose(*screen, JobMapController::GoogleMapApp));
  ASSERT_TRUE(runUntil([&] { return !alertMessage().empty(); }, 10));
  EXPECT_EQ(alertMessage(), text("jobmap_route_coordinate_invalid"));
  EXPECT_TRUE(OutsideApplications::openedURLs().empty());
}

TEST_F(JobMapControllerTest, WithoutACoordinateTheRouteIsRefused) {
  server.setAnswer(LonlatPath, 200,
                   "<?xml version=\"1.0\"?><responsemessage><result>0</result><status>0</status>"
                   "<message>公司未标注位置</message><resultbody/></responsemessage>");
  auto screen = open(false);
  ASSERT_TRUE(runUntil([&] { return alertMessage() == "公司未标注位置"; }, 10));
  platform::UIDriver::answerAlert(0);
  screen->route();
  EXPECT_EQ(alertMessage(), text("jobmap_get_route_failed"));
}

}  // namespace
}  // namespace kavro::test
