// The map search on the platform map, driven headless over the fixture server: locating, searching,
// paging, pins and bubble, the result list, the filters, the radius rules and the entry button.

#include <gtest/gtest.h>

#include "app/jobmap/JobAppleMapController.h"
#include "app/jobmap/JobMapSearchResultController.h"
#include "app/jobmap/JobSearchMapFilterController.h"
#include "app/jobmap/MapSkin.h"
#include "app/jobmap/MapStatusTimer.h"
#include "app/jobmap/RewardView.h"
#include "app/jobsearch/JobSearchController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/mapview/MapViewUtil.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "tests/app/jobmap/JobMapTest.h"

namespace kavro::test {
namespace {

namespace mv = platform::mapview;

class JobAppleMapControllerTest : public JobMapTest {
 protected:
  bool searched(const std::shared_ptr<JobAppleMapController>& map, std::size_t requests) {
    return runUntil(
        [&] {
          return map->jobListData()->mapViewDataStatus() == MapViewDataStatus::Answered &&
                 requestsFor(MapSearchPath).size() == requests && !map->isSearchLastLocation();
        },
        10);
  }
  static std::string text(std::string_view key) { return AppCoreInfo::getLocalizedString(key); }
  static std::vector<std::string> pinTitles(const JobAppleMapController& map) {
    std::vector<std::string> titles;
    for (const auto& a : map.mkMapView()->annotations()) titles.push_back(a->title());
    return titles;
  }
};

TEST_F(JobAppleMapControllerTest, ASearchAroundTheUserPagesInJobsWithPinsAndABubble) {
  auto map = openLocated();
  EXPECT_TRUE(map->searchButton()->isEnabled());
  EXPECT_EQ(map->mapStatusBar()->getText(), "当前位置：上海市静安区南京西路周边2.5公里");
  EXPECT_NEAR(mv::countRadiusByIosSdk(*map->mkMapView()), JobMapSearchController::StartSearchRadius, 0.1);

  answerMapSearchWith("map_search.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->searchButton()));
  ASSERT_TRUE(searched(map, 1));
  auto request = requestsFor(MapSearchPath)[0];
  EXPECT_NE(request.find("lonlat=121.473700,31.230400&radius=2.500000&maptype=iosmap"), std::string::npos)
      << request;
  EXPECT_NE(request.find("pagesize=10&pageno=1"), std::string::npos);
  EXPECT_EQ(map->mapViewStatus(), MapViewStatus::Expanded);
  EXPECT_EQ(map->title(), text("jobmap_mapsearch_result"));
  EXPECT_EQ(map->searchAddr(), "搜索区域：上海市静安区南京西路周边2.5公里");
  ASSERT_EQ(map->mkMapView()->annotations().size(), 10u);
  EXPECT_EQ(pinTitles(*map)[0], "地图职位 1");
  EXPECT_EQ(map->mapBubbleView()->arrJobDetails().size(), 10u);
  EXPECT_EQ(map->currentPageNum()->text(), "第1/3页");
  EXPECT_TRUE(map->nextButton()->isEnabled());
  EXPECT_FALSE(map->preButton()->isEnabled());
  // The circle drawn is the circle the server searches: 0.7 of the 290 points.
  ASSERT_TRUE(map->searchCircle());
  EXPECT_NEAR(map->mkMapView()->rectForCircle(*map->searchCircle()).size.width, 290 * 0.7, 0.5);

  answerMapSearchWith("map_search_page2.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->nextButton()));
  ASSERT_TRUE(searched(map, 2));
  EXPECT_NE(requestsFor(MapSearchPath)[1].find("pageno=2"), std::string::npos);
  EXPECT_EQ(pinTitles(*map)[0], "地图职位 11");
  EXPECT_EQ(map->currentPageNum()->text(), "第2/3页");
  EXPECT_FALSE(map->refreshHighlighted()) << "the return to the search region is the program's";

  ASSERT_TRUE(platform::UIDriver::tap(*map->preButton()));
  ASSERT_TRUE(
      runUntil([&] { return pinTitles(*map).size() == 10 && pinTitles(*map)[0] == "地图职位 1"; }, 5));
  ASSERT_TRUE(platform::UIDriver::tap(*map->nextButton()));
  ASSERT_TRUE(runUntil([&] { return pinTitles(*map)[0] == "地图职位 11"; }, 5));
  EXPECT_EQ(requestsFor(MapSearchPath).size(), 2u) << "fetched pages are served from memory";

  // A pan by the user marks the refresh button.
  ASSERT_TRUE(runUntil([&] { return !map->isSearchLastLocation(); }, 5));
  int lookedUp = platform::Geocoder::requestCount();
  ASSERT_TRUE(platform::UIDriver::pan(*map->mkMapView(), {40, 0}));
  ASSERT_TRUE(runUntil([&] { return map->refreshHighlighted(); }, 5));
  ASSERT_TRUE(runUntil([&] { return platform::Geocoder::requestCount() > lookedUp; }, 5))
      << "the new centre is looked up once the map stands still";
  EXPECT_EQ(map->mapViewText(), MapViewText::Centre);
}

TEST_F(JobAppleMapControllerTest, APinShowsItsJobAndTheBubbleOpensTheDetailPager) {
  auto map = openLocated();
  answerMapSearchWith("map_search.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->searchButton()));
  ASSERT_TRUE(searched(map, 1));
  settle();

  auto third = map->mkMapView()->annotations()[2];
  auto pinView = map->mkMapView()->viewForAnnotation(third.get());
  ASSERT_TRUE(pinView);
  EXPECT_TRUE(pinView->image()) << "the map's pictures come with the program";
  ASSERT_TRUE(platform::UIDriver::tap(*pinView));
  ASSERT_TRUE(runUntil([&] { return !map->mapBubbleView()->isHidden(); }, 5));
  EXPECT_EQ(map->mapBubbleView()->currentJobIndex(), 2u);
  EXPECT_EQ(map->mapBubbleView()->jobname()->text(), "地图职位 3");
  EXPECT_EQ(map->mapBubbleView()->jobIndex()->text(), "3/10");
  EXPECT_EQ(map->curAnnotation(), third);
  EXPECT_TRUE(map->mapCenterCircle()->isHidden());
  // Over the opened map the bubble stands across the middle, its centre 17 points above the map's
  // (by the map's height, not its width).
  ASSERT_TRUE(map->mapViewPin());
  const platform::Rect bubble = map->mapBubbleView()->frame();
  EXPECT_EQ(bubble.midY(), map->mapViewPin()->bounds().size.height / 2 - 17);
  EXPECT_EQ(bubble.midX(), map->view()->bounds().size.width / 2);
  EXPECT_NE(trackedPoints().find("TRACKING_JOBSEARCH_MAPSEARCH_MAPPIN"), std::string::npos);
  if (const char* shot = std::getenv("JOBMAP_SNAPSHOT")) platform::UIDriver::snapshot(shot);

  ASSERT_TRUE(platform::UIDriver::tap(*map->mapBubbleView()->nextJobInfoButton()));
  EXPECT_EQ(map->curAnnotation(), map->mkMapView()->annotations()[3]) << "the bubble steps the pins too";
  EXPECT_EQ(map->mapBubbleView()->jobname()->text(), "地图职位 4");

  ASSERT_TRUE(platform::UIDriver::tap(*map->mapBubbleView()->whiteBg()));
  settle();
  auto pager = std::dynamic_pointer_cast<PageTurnController>(nav->topViewController());
  ASSERT_TRUE(pager);
  auto page = std::dynamic_pointer_cast<StandInJobPage>(pager->pageViewAtIndex(3));
  ASSERT_TRUE(page);
  EXPECT_EQ(page->jobid, "800004");
}

TEST_F(JobAppleMapControllerTest, TheListShowsTheMapsJobsAtItsPageAndSendsThePageBack) {
  auto map = openLocated();
  answerMapSearchWith("map_search.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->searchButton()));
  ASSERT_TRUE(searched(map, 1));
  answerMapSearchWith("map_search_page2.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->nextButton()));
  ASSERT_TRUE(searched(map, 2));
  settle();

  ASSERT_TRUE(platform::UIDriver::tap(text("jobmap_list")));
  settle();
  auto list = std::dynamic_pointer_cast<JobMapSearchResultController>(nav->topViewController());
  ASSERT_TRUE(list);
  EXPECT_EQ(list->currentTitle(), map->searchAddr());
  // The header over the rows reads the place in white on a dark, see-through band across it.
  {
    auto header = list->viewForHeaderInSection(*list->listViewResult(), 0);
    ASSERT_TRUE(header);
    ASSERT_EQ(header->subviews().size(), 2u);
    const auto& band = header->subviews()[0];
    EXPECT_EQ(band->frame(), header->bounds());
    EXPECT_EQ(band->backgroundColor(), platform::Color::black());
    EXPECT_GT(band->alpha(), 0.2);
    EXPECT_LT(band->alpha(), 0.8);
    auto label = std::dynamic_pointer_cast<platform::Label>(header->subviews()[1]);
    ASSERT_TRUE(label) << "the text over the band";
    EXPECT_EQ(label->text(), map->searchAddr());
    EXPECT_EQ(label->textColor(), platform::Color::white());
  }
  ASSERT_TRUE(loaded(list->listDataSearchResult()));
  ASSERT_TRUE(runUntil([&] { return list->listDataSearchResult()->count() == 20; }, 5));
  auto& table = *list->listViewResult();
  auto top = table.indexPathForRowAtPoint(table.contentOffset());
  ASSERT_TRUE(top);
  EXPECT_EQ(top->row, 10) << "opened at the page the map shows";

  // A further page for the list goes into the map's pager too.
  answerMapSearchWith("map_search_page3.xml");
  int rows = table.numberOfRowsInSection(0);
  table.tapRowAtIndexPath(platform::IndexPath::forRow(rows - 1, 0));
  ASSERT_TRUE(runUntil([&] { return list->listDataSearchResult()->count() == 25; }, 10));
  EXPECT_NE(requestsFor(MapSearchPath).back().find("pageno=3"), std::string::npos);
  EXPECT_EQ(map->jobListData()->maxPageAt(), 3u);
  EXPECT_EQ(map->jobListData()->mapDataResult()->count(), 25u);

  // Row 9 at the top with more than half of it hidden: row 10 counts, so page 2; row 8 half
  // hidden keeps row 8, page 1.
  double rowHeight = table.rectForRowAtIndexPath(platform::IndexPath::forRow(8, 0)).size.height;
  table.setContentOffset({0, JobMapSearchResultController::HeaderHeight + 8 * rowHeight + rowHeight * 0.4});
  ASSERT_TRUE(platform::UIDriver::tap(text("common_text_return")));
  settle();
  EXPECT_EQ(nav->topViewController(), map);
  EXPECT_EQ(map->jobListData()->pageAt(), 1u);
  ASSERT_TRUE(runUntil([&] { return pinTitles(*map)[0] == "地图职位 1"; }, 5)) << "page 1 from memory";
  EXPECT_EQ(requestsFor(MapSearchPath).size(), 3u);
}

// Back from a list of no jobs there is no page to show: the map asks for nothing.
TEST_F(JobAppleMapControllerTest, BackFromAListOfNoJobsAsksForNothing) {
  auto map = openLocated();
  settle();
  const std::size_t before = requestsFor(MapSearchPath).size();
  ASSERT_EQ(map->jobListData()->mapDataResult()->count(), 0u);
  map->jobMapSearchClickDone();
  runFor(0.5);
  EXPECT_EQ(requestsFor(MapSearchPath).size(), before);
  EXPECT_FALSE(platform::UIDriver::findView(text("jobmap_search_no_result")))
      << "no word of an empty search nobody made";
  EXPECT_FALSE(map->mapViewPin()->gestureRecognizers().empty()) << "a tap on the map still searches";
}

TEST_F(JobAppleMapControllerTest, FiltersApplyOnlyWhenConfirmed) {
  auto map = openLocated();
  auto& form = *map->listViewJobMapSearch();
  form.tapRowAtIndexPath(platform::IndexPath::forRow(3, 0));
  settle();
  auto filter = std::dynamic_pointer_cast<JobSearchMapFilterController>(nav->topViewController());
  ASSERT_TRUE(filter);
  EXPECT_EQ(filter->listViewData()->count(), 6u);
  auto salary = DataItemDetail::newDetail();
  salary->setDictCode("05");
  salary->setDictValue("4000-5999");
  auto picker =
      DictPickerController::initWithData<DictPickerController>(nullptr, DictType::SalaryRange, filter);
  filter->dictPicker(*picker, salary);
  EXPECT_EQ(filter->listViewData()->listData()->getItem(2)->getItemValue(), "4000-5999");
  EXPECT_EQ(map->mapQueryParam()->salary(), "") << "held apart until confirmed";
  ASSERT_TRUE(platform::UIDriver::back());
  settle();
  EXPECT_EQ(map->mapQueryParam()->salary(), "");

  form.tapRowAtIndexPath(platform::IndexPath::forRow(3, 0));
  settle();
  filter = std::dynamic_pointer_cast<JobSearchMapFilterController>(nav->topViewController());
  ASSERT_TRUE(filter);
  filter->dictPicker(*picker, salary);
  filter->filterDone();
  settle();
  EXPECT_EQ(nav->topViewController(), map);
  EXPECT_EQ(map->mapQueryParam()->salary(), "05");
  EXPECT_EQ(form.dataOfIndexPath(platform::IndexPath::forRow(3, 0))->getItemValue(), "4000-5999");

  answerMapSearchWith("map_search.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->searchButton()));
  ASSERT_TRUE(searched(map, 1));
  EXPECT_NE(requestsFor(MapSearchPath)[0].find("saltype=05"), std::string::npos);
}

TEST_F(JobAppleMapControllerTest, TheSearchRadiusStaysBetweenHalfAndFiveKilometres) {
  auto map = openLocated();
  auto& mk = *map->mkMapView();
  // Zoomed in past the smallest circle, the map springs back to it.
  mv::setCenterCoordinate(mk, Shanghai, 300, false);
  ASSERT_TRUE(runUntil(
      [&] { return std::abs(map->radiusLast() - JobMapSearchController::MinSearchRadius) < 0.1; }, 5));
  runFor(0.5);
  EXPECT_NEAR(mv::countRadiusByIosSdk(mk), JobMapSearchController::MinSearchRadius, 0.1) << "and stays there";

  // Zoomed out past the largest, a search re-centres on the largest and sends 5 km.
  mv::setCenterCoordinate(mk, Shanghai, 20000, false);
  runFor(0.1);
  answerMapSearchWith("map_search.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->searchButton()));
  ASSERT_TRUE(searched(map, 1));
  EXPECT_NE(requestsFor(MapSearchPath)[0].find("radius=5.000000"), std::string::npos);
  EXPECT_DOUBLE_EQ(map->radiusForSearch(), JobMapSearchController::MaxSearchRadius);
}

TEST_F(JobAppleMapControllerTest, WithoutAMapTheBoardExplainsAndNothingLocates) {
  UserCoreInfo::sharedUserCoreInfo().setAppMapType(UserCoreInfo::MapTypeNoMap);
  show(UIBasicController::create<UIBasicController>());
  auto map = UIBasicController::create<JobAppleMapController>();
  nav->pushViewController(map, false);
  settle();
  runFor(0.2);
  EXPECT_FALSE(map->mkMapView());
  EXPECT_FALSE(map->mapErrorBoard()->isHidden());
  EXPECT_EQ(map->mapErrorBoard()->errorMessege()->text(), text("jobmap_function_error"));
  EXPECT_EQ(map->mapStatusBar()->getText(), text("jobmap_mapservice_fail"));
  EXPECT_FALSE(map->searchButton()->isEnabled());
}

TEST_F(JobAppleMapControllerTest, BeforeTheFirstFixNothingSearches) {
  platform::LocationDevice::clearCurrentLocation();
  show(UIBasicController::create<UIBasicController>());
  auto map = UIBasicController::create<JobAppleMapController>();
  nav->pushViewController(map, false);
  settle();
  runFor(0.2);
  EXPECT_EQ(map->mapStatusBar()->getText(), text("jobmap_locationing"));
  EXPECT_FALSE(map->searchButton()->isEnabled());
  EXPECT_TRUE(map->mkMapView()->gestureRecognizers().empty()) << "no tap to search yet";
  platform::LocationDevice::setCurrentLocation({Shanghai.latitude, Shanghai.longitude, 30, 0});
  ASSERT_TRUE(runUntil([&] { return map->searchButton()->isEnabled(); }, 5));
  ASSERT_EQ(map->mkMapView()->gestureRecognizers().size(), 1u);

  answerMapSearchWith("map_search.xml");
  auto onTheMap = map->mkMapView()->convertPointToView({30, 30}, nullptr);
  ASSERT_TRUE(platform::UIDriver::tapAt(onTheMap));
  ASSERT_TRUE(searched(map, 1)) << "a tap on the packed-up map searches";
  ASSERT_TRUE(platform::UIDriver::tapAt(onTheMap));
  runFor(0.3);
  EXPECT_EQ(requestsFor(MapSearchPath).size(), 1u) << "not once it is expanded";
}

TEST_F(JobAppleMapControllerTest, ARewardShowsOnceOverTheWindow) {
  auto map = openLocated();
  answerMapSearchWith("map_search_reward.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->searchButton()));
  ASSERT_TRUE(searched(map, 1));
  auto rewards = [&] {
    int n = 0;
    for (const auto& v : window->subviews()) n += std::dynamic_pointer_cast<RewardView>(v) ? 1 : 0;
    return n;
  };
  EXPECT_EQ(rewards(), 1);
  EXPECT_FALSE(platform::UIDriver::tap(*map->nextButton())) << "the overlay covers the map";
  ASSERT_TRUE(platform::UIDriver::tap(text("jobmap_reward_button_text")));
  EXPECT_EQ(rewards(), 0);
  EXPECT_TRUE(UserCoreInfo::sharedUserCoreInfo().resumeview_paid());
  answerMapSearchWith("map_search_page2.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->nextButton()));
  ASSERT_TRUE(searched(map, 2));
  ASSERT_TRUE(platform::UIDriver::tap(*map->preButton()));
  ASSERT_TRUE(runUntil([&] { return pinTitles(*map)[0] == "地图职位 1"; }, 5));
  EXPECT_EQ(rewards(), 0) << "not again from memory";
}

TEST_F(JobAppleMapControllerTest, TheSearchFormsMapButtonOpensThePlatformMap) {
  auto form = JobSearchController::create();
  show(form);
  ASSERT_TRUE(form->mapButton()) << "shown once the class is registered and the map type is not 0";
  ASSERT_TRUE(platform::UIDriver::tap(*form->mapButton()));
  settle();
  EXPECT_TRUE(std::dynamic_pointer_cast<JobAppleMapController>(nav->topViewController()));
  EXPECT_NE(trackedPoints().find("TRACKING_JOBSEARCH_HOMEPAGE_MAPSEARCH=1"), std::string::npos)
      << trackedPoints();
}

TEST_F(JobAppleMapControllerTest, AnUnknownPlaceReadsAsCoordinatesAndNoNetworkShowsTheBoard) {
  platform::Geocoder::reset();
  auto map = openLocated();
  EXPECT_EQ(map->mapStatusBar()->getText(), "当前位置：31.230400,121.473700");

  network->reachable = false;
  platform::NotificationCenter::defaultCenter().post(platform::ApplicationDidBecomeActiveNotification);
  EXPECT_FALSE(map->mapErrorBoard()->isHidden());
  EXPECT_EQ(map->mapErrorBoard()->errorMessege()->text(), text("jobmap_function_error"));
  EXPECT_EQ(map->mapStatusBar()->getText(), text("location_error_msg_no_network"));
  EXPECT_FALSE(map->searchButton()->isEnabled());
  EXPECT_TRUE(map->mapLocationButton()->isHidden());
  network->reachable = true;
  platform::NotificationCenter::defaultCenter().post(platform::ApplicationDidBecomeActiveNotification);
  EXPECT_TRUE(map->mapErrorBoard()->isHidden());
  EXPECT_TRUE(map->searchButton()->isEnabled());
  // Packed up once more, the map still holds one tap, and a tap searches once.
  ASSERT_EQ(map->mkMapView()->gestureRecognizers().size(), 1u);
  answerMapSearchWith("map_search.xml");
  ASSERT_TRUE(platform::UIDriver::tapAt(map->mkMapView()->convertPointToView({30, 30}, nullptr)));
  ASSERT_TRUE(searched(map, 1));
  runFor(0.3);
  EXPECT_EQ(requestsFor(MapSearchPath).size(), 1u);
}

// The network lost while the jobs are shown: the next look at the map packs it up and hides the
// locate button, which could only fail, and says why.
TEST_F(JobAppleMapControllerTest, LosingTheNetworkOverTheShownJobsPacksUpTheMapWithoutTheLocateButton) {
  auto map = openLocated();
  answerMapSearchWith("map_search.xml");
  ASSERT_TRUE(platform::UIDriver::tap(*map->searchButton()));
  ASSERT_TRUE(searched(map, 1));
  EXPECT_EQ(map->title(), text("jobmap_mapsearch_result"));
  EXPECT_TRUE(map->mapLocationButton()->isHidden()) << "the jobs cover the map";

  network->reachable = false;
  platform::NotificationCenter::defaultCenter().post(MapStatusTimer::MapStatusNotification);
  EXPECT_EQ(map->title(), text("jobmap_mapsearch"));
  EXPECT_EQ(map->mapStatusBar()->getText(), text("location_error_msg_no_network"));
  EXPECT_TRUE(map->mapLocationButton()->isHidden());
  network->reachable = true;
}

TEST_F(JobAppleMapControllerTest, ThePersonsWalkFromTheSearchFormToAJobGoesByTexts) {
  answerMapSearchWith("map_search.xml");
  show(JobSearchController::create());
  ASSERT_TRUE(platform::UIDriver::tap(text("jobmap_mapsearch")));
  settle();
  auto map = std::dynamic_pointer_cast<JobAppleMapController>(nav->topViewController());
  ASSERT_TRUE(map);
  ASSERT_TRUE(runUntil([&] { return map->searchButton()->isEnabled(); }, 10));
  ASSERT_TRUE(platform::UIDriver::tap(text("jobsearch_search")));
  ASSERT_TRUE(searched(map, 1));
  settle();
  ASSERT_TRUE(platform::UIDriver::tap("地图职位 1")) << platform::UIDriver::lastError();
  ASSERT_TRUE(runUntil([&] { return !map->mapBubbleView()->isHidden(); }, 5));
  ASSERT_TRUE(platform::UIDriver::tap("静安软件有限公司 1")) << platform::UIDriver::lastError();
  settle();
  EXPECT_TRUE(std::dynamic_pointer_cast<PageTurnController>(nav->topViewController()));
}

// The map screen's furniture is drawn from the map's pictures: the status line's ground, the
// shadow under the form and the dividers between the toolbar's buttons, each sized by its picture.
TEST_F(JobAppleMapControllerTest, TheStatusLineShadowAndToolbarDividersShowTheirPictures) {
  auto map = openLocated();
  auto imagesShowing = [](const platform::View& parent, std::string_view type) {
    std::vector<std::shared_ptr<platform::ImageView>> found;
    for (const auto& sub : parent.subviews())
      if (auto image = std::dynamic_pointer_cast<platform::ImageView>(sub))
        if (image->image() && image->image() == mapskin::image(type)) found.push_back(image);
    return found;
  };
  ASSERT_TRUE(mapskin::image("jobmap_loading") && mapskin::image("map_shadow") &&
              mapskin::image("map_icons_divider"))
      << "the map's pictures come with the program";
  ASSERT_EQ(imagesShowing(*map->mapStatusBar(), "jobmap_loading").size(), 1u);
  auto shadows = imagesShowing(*map->view(), "map_shadow");
  ASSERT_EQ(shadows.size(), 1u);
  EXPECT_EQ(shadows[0]->frame().size, mapskin::image("map_shadow")->size()) << "sized by its picture";
  EXPECT_EQ(shadows[0]->frame().y(), map->mapErrorBoard()->frame().maxY()) << "right under the map";
  auto dividers = imagesShowing(*map->mapBottomToolBar(), "map_icons_divider");
  ASSERT_EQ(dividers.size(), 2u);
  EXPECT_EQ(dividers[0]->frame().x(), 49);
  EXPECT_EQ(dividers[1]->frame().x(), 269);
}

TEST_F(JobAppleMapControllerTest, PlaceTextsStopShortOfTwelveCharacters) {
  platform::Placemark p;
  p.administrativeArea = "上海";
  p.locality = "静安区静安寺街道";
  p.name = "南京西路一号";
  EXPECT_EQ(JobAppleMapController::getCurrentLocationText(p), "上海静安区静安寺街道");
}

}  // namespace
}  // namespace kavro::test
