// The map query's request and form, the pager's paging and its local pages, and the job bubble.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "app/jobmap/CustomMapCompanyBubbleView.h"
#include "app/jobmap/CustomMapMultiBubbleView.h"
#include "app/jobmap/MapQueryParam.h"
#include "app/jobmap/MapViewData.h"
#include "app/shell/AppTracking.h"
#include "kit/core/UserCoreInfo.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextMetrics.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro::test {
namespace {

class MapQueryParamTest : public KitUITest {
 protected:
  void TearDown() override {
    UserCoreInfo::destroyUserCoreInfo();
    KitUITest::TearDown();
  }
};

TEST_F(MapQueryParamTest, WithoutLoginCentreOrMapTheRequestIsPagingAlone) {
  auto q = MapQueryParam::create();
  q->setAppMapType(UserCoreInfo::MapTypeNoMap);
  q->setIndtype("  ");
  EXPECT_EQ(q->buildJobSearchURL(), "job/map_search.php?pagesize=10&pageno=1");
  q->setLonlat({31.2304, 0});
  EXPECT_EQ(q->buildJobSearchURL(), "job/map_search.php?pagesize=10&pageno=1") << "both parts or none";
}

TEST_F(MapQueryParamTest, TheRequestCarriesCentreShownRadiusMapAndTrimmedCodes) {
  UserCoreInfo::sharedUserCoreInfo().setAccountid("1001");
  UserCoreInfo::sharedUserCoreInfo().setMd5hash("abc");
  UserCoreInfo::sharedUserCoreInfo().setUserStatus(UserCoreInfo::UserStatus::LoggedIn);
  auto q = MapQueryParam::create();
  q->setLonlat({31.2304, 121.4737});
  q->setRadius(static_cast<float>(2500 / 0.7));
  q->setAppMapType(UserCoreInfo::MapTypeIosMap);
  q->setIndtype(" 01,02 ");
  q->setFunctype("0100");
  q->setWorkyear("03");
  q->setSalary("05");
  q->setCosize("04");
  q->setKeywords("java");
  q->setPageAt(2);
  EXPECT_EQ(q->buildJobSearchURL(),
            "job/map_search.php?accountid=1001&key=abc&lonlat=121.473700,31.230400&radius=2.500000"
            "&maptype=iosmap&indtype=01%2C02&funtype=0100&pagesize=10&pageno=2");
  EXPECT_EQ(q->indtype(), "01,02") << "stored back trimmed";
  q->setEnableFilters(true);
  q->setAppMapType(UserCoreInfo::MapTypeGeoMap);
  auto url = q->buildJobSearchURL();
  EXPECT_NE(url.find("maptype=geomap&indtype=01%2C02&funtype=0100&workyear=03&saltype=05&cosize=04&pagesize"),
            std::string::npos)
      << url;
  EXPECT_EQ(url.find("java"), std::string::npos) << "no keyword on the map";
}

TEST_F(MapQueryParamTest, TheTitleAndTheFormAreTheMapsOwn) {
  auto q = MapQueryParam::create();
  EXPECT_EQ(q->searchTitleForMap(), AppCoreInfo::getLocalizedString("jobmap_hasnot_filtered"));
  q->setDegree("04");
  q->setText_degree("本科");
  EXPECT_EQ(q->searchTitleForMap(), "本科");
  ASSERT_TRUE(q->saveFormData());
  auto back = MapQueryParam::create();
  ASSERT_TRUE(back->restoreFormData());
  EXPECT_EQ(back->degree(), "04");
  EXPECT_FALSE(JobSearchParam::create()->restoreFormData()) << "apart from the job search's form";
  ASSERT_TRUE(q->removeFormData());
  EXPECT_FALSE(MapQueryParam::create()->restoreFormData());

  // A map search's form, saved as it starts, is the map's own too.
  q->setKeywords("java");
  ASSERT_TRUE(q->saveFormData());
  ASSERT_TRUE(q->saveToSearchHistory(5));
  ASSERT_TRUE(back->restoreFormData());
  EXPECT_EQ(back->keywords(), "java");
  EXPECT_FALSE(JobSearchParam::create()->restoreFormData());
}

// A map screen that only counts: the pager's server calls go nowhere, the answers are handed in.
struct PagerScreen : MapViewDelegate {
  int serverCalls = 0;
  std::vector<std::size_t> pageSizes;
  std::vector<std::string> firstJobs;
  std::vector<bool> errors;
  std::shared_ptr<DataLoadAndParser> mapViewData(MapViewData&) override {
    ++serverCalls;
    return nullptr;
  }
  void mapViewDataCurrentPageData(MapViewData&, const std::vector<std::shared_ptr<DataItemDetail>>& rows,
                                  const DataItemResult& result) override {
    pageSizes.push_back(rows.size());
    firstJobs.push_back(rows.empty() ? "" : rows[0]->getString("jobid"));
    errors.push_back(result.hasError());
  }
};

class MapViewDataTest : public KitUITest {
 protected:
  void SetUp() override {
    KitUITest::SetUp();
    pager->setDelegate(screen);
  }
  static std::shared_ptr<DataItemResult> answer(int first, int rows, std::uint32_t total) {
    auto r = DataItemResult::create();
    for (int i = first; i < first + rows; ++i) {
      auto job = DataItemDetail::newDetail();
      job->setString(std::to_string(i), "jobid");
      r->addItem(job);
    }
    r->setMaxCount(total);
    return r;
  }
  void deliver(const std::shared_ptr<DataItemResult>& r) {
    auto loader = DataLoadAndParser::create({});
    pager->dataLoader(*loader, *r);
  }
  std::shared_ptr<MapViewData> pager = MapViewData::create();
  std::shared_ptr<PagerScreen> screen = std::make_shared<PagerScreen>();
};

TEST_F(MapViewDataTest, FetchedPagesAreServedFromMemoryAfterAShortDelay) {
  pager->refreshData();
  EXPECT_EQ(pager->pageAt(), 1u);
  EXPECT_EQ(pager->mapViewDataStatus(), MapViewDataStatus::Loading);
  deliver(answer(0, 10, 25));
  EXPECT_EQ(pager->totalPageNum(), 3u);
  EXPECT_EQ(pager->maxPageAt(), 1u);
  EXPECT_EQ(screen->firstJobs.back(), "0");
  EXPECT_TRUE(pager->hasNextPage());

  pager->loadDataforNextPage();
  EXPECT_EQ(screen->serverCalls, 2) << "page 2 from the server";
  deliver(answer(10, 10, 25));
  EXPECT_EQ(screen->firstJobs.back(), "10");

  pager->loadDataforPrePage();
  EXPECT_EQ(screen->firstJobs.size(), 2u) << "not at once";
  runFor(MapViewData::LocalPageDelay);
  EXPECT_EQ(screen->firstJobs.back(), "0");
  pager->loadDataforNextPage();
  runFor(MapViewData::LocalPageDelay);
  EXPECT_EQ(screen->firstJobs.back(), "10");
  EXPECT_EQ(screen->serverCalls, 2);
  EXPECT_EQ(pager->mapViewDataStatus(), MapViewDataStatus::Answered);
}

TEST_F(MapViewDataTest, TotalsFailuresAndShortPages) {
  pager->refreshData();
  deliver(answer(0, 1, 0));
  EXPECT_EQ(pager->totalPageNum(), 1u) << "raised to the page asked for";
  EXPECT_FALSE(pager->hasNextPage());

  pager->refreshData();
  auto failed = DataItemResult::create();
  failed->setHasError(true);
  failed->setMessage("busy");
  deliver(failed);
  EXPECT_EQ(pager->pageAt(), 0u);
  EXPECT_FALSE(pager->isLoadDataOK());
  EXPECT_TRUE(screen->errors.back()) << "the screen still hears of it";

  pager->refreshData();
  deliver(answer(0, 15, 15));
  pager->setPageAt(2);
  pager->loadDataForPage();
  runFor(MapViewData::LocalPageDelay);
  EXPECT_EQ(screen->pageSizes.back(), 5u);
  pager->setPageAt(3);
  pager->loadDataForPage();
  runFor(MapViewData::LocalPageDelay);
  EXPECT_EQ(screen->pageSizes.back(), 0u);
}

TEST_F(MapViewDataTest, ALocalPageDueForADepartedScreenIsDropped) {
  // What the screen hears outlives it, so that a late report would show.
  struct CountingScreen : PagerScreen {
    std::shared_ptr<int> reports = std::make_shared<int>(0);
    void mapViewDataCurrentPageData(MapViewData& data,
                                    const std::vector<std::shared_ptr<DataItemDetail>>& rows,
                                    const DataItemResult& result) override {
      ++*reports;
      PagerScreen::mapViewDataCurrentPageData(data, rows, result);
    }
  };
  auto departing = std::make_shared<CountingScreen>();
  pager->setDelegate(departing);
  pager->refreshData();
  deliver(answer(0, 10, 25));
  ASSERT_EQ(*departing->reports, 1);
  pager->setPageAt(1);
  pager->loadDataForPage();  // served from memory after a short delay
  std::shared_ptr<int> reports = departing->reports;
  std::weak_ptr<CountingScreen> gone = departing;
  departing.reset();
  screen.reset();
  EXPECT_TRUE(gone.expired()) << "the pager does not keep its screen";
  runFor(1);
  EXPECT_EQ(*reports, 1) << "nothing reached the departed screen";
}

class MapBubbleTest : public KitUITest {
 protected:
  static std::shared_ptr<DataItemDetail> job(std::string name, std::string degree) {
    auto j = DataItemDetail::newDetail();
    j->set_jobname(name);
    j->set_degree(degree);
    j->set_workyear("1-3年");
    j->set_cotype("外资企业");
    return j;
  }
  static std::string points() { return platform::stringFromData(AppTracking::getTrackingPostData()); }
};

TEST_F(MapBubbleTest, ASingleJobHasNoSteppingAndAnEmptyDegreeIsLeftOut) {
  auto bubble = CustomMapMultiBubbleView::create({{0, 0}, CustomMapMultiBubbleView::DefaultSize});
  bubble->loadJobInfoes({job("工程师", "")});
  bubble->showJobInfo(0);
  EXPECT_EQ(bubble->preJobInfoButton()->frame().size.width, 0);
  EXPECT_EQ(bubble->whiteBg()->frame().size.width, 288);
  EXPECT_EQ(bubble->jobIndex()->text(), "1/1");
  EXPECT_EQ(bubble->jobsummary()->text(), "1-3年  |  外资企业");
}

TEST_F(MapBubbleTest, SteppingStopsAtBothEndsWithoutCounting) {
  auto bubble = CustomMapMultiBubbleView::create({{0, 0}, CustomMapMultiBubbleView::DefaultSize});
  bubble->loadJobInfoes({job("一", "本科"), job("二", "本科"), job("三", "本科")});
  bubble->showJobInfo(0);
  EXPECT_EQ(bubble->whiteBg()->frame().size.width, 248);
  EXPECT_FALSE(bubble->preJobInfoButton()->isEnabled());
  bubble->preJobInfo();
  EXPECT_EQ(points().find("TRACKING_JOBSEARCH_MAPSEARCH_PRE_JOBS"), std::string::npos);
  bubble->nextJobInfo();
  bubble->nextJobInfo();
  EXPECT_EQ(bubble->currentJobIndex(), 2u);
  EXPECT_EQ(bubble->jobname()->text(), "三");
  EXPECT_FALSE(bubble->nextJobInfoButton()->isEnabled());
  bubble->nextJobInfo();
  EXPECT_EQ(bubble->currentJobIndex(), 2u);
  EXPECT_NE(points().find("TRACKING_JOBSEARCH_MAPSEARCH_NEXT_JOBS=2"), std::string::npos) << points();
}

// The counter between the step buttons shows its whole text, clear of the buttons.
TEST_F(MapBubbleTest, TheCounterShowsWholeClearOfTheButtons) {
  auto bubble = CustomMapMultiBubbleView::create({{0, 0}, CustomMapMultiBubbleView::DefaultSize});
  auto first = job("工程师", "本科");
  first->set_workyear("3-5年");
  first->set_cotype("外资（欧美）");
  std::vector<std::shared_ptr<DataItemDetail>> jobs(12, job("二", "本科"));
  jobs[0] = first;
  bubble->loadJobInfoes(jobs);
  bubble->showJobInfo(0);
  auto whole = [](const platform::Label& label) {
    platform::Size text = platform::TextMetrics::sizeWithFont(label.text(), label.font());
    platform::Size shown = label.frame().size;
    return shown.width >= text.width && shown.height >= text.height;
  };
  EXPECT_EQ(bubble->jobIndex()->text(), "1/12");
  EXPECT_TRUE(whole(*bubble->jobIndex())) << bubble->jobIndex()->frame().size.height;
  EXPECT_LE(bubble->preJobInfoButton()->frame().maxY(), bubble->jobIndex()->frame().minY());
  EXPECT_GE(bubble->nextJobInfoButton()->frame().minY(), bubble->jobIndex()->frame().maxY());
  EXPECT_LE(bubble->nextJobInfoButton()->frame().maxY(), bubble->grayBg()->frame().size.height);
  EXPECT_EQ(bubble->jobsummary()->text(), "本科  |  3-5年  |  外资（欧美）");
}

// Where a label's text lands: the box (in the bubble's points) of the pixels that change when the
// text is taken away; empty when none do.
platform::Rect Glyphs(platform::View& bubble, platform::Label& label) {
  constexpr int kScale = 2;
  auto with = platform::Snapshot::imageOfView(bubble, kScale);
  const std::string text = label.text();
  label.setText("");
  auto without = platform::Snapshot::imageOfView(bubble, kScale);
  label.setText(text);
  const platform::Bitmap& a = *with->bitmap();
  const platform::Bitmap& b = *without->bitmap();
  int left = a.width(), top = a.height(), right = -1, bottom = -1;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (a.pixelAt(x, y) == b.pixelAt(x, y)) continue;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return {};
  return platform::Rect(static_cast<double>(left) / kScale, static_cast<double>(top) / kScale,
                        static_cast<double>(right + 1 - left) / kScale,
                        static_cast<double>(bottom + 1 - top) / kScale);
}

bool Holds(const platform::Rect& outer, const platform::Rect& inner) {
  return inner.minX() >= outer.minX() && inner.maxX() <= outer.maxX() && inner.minY() >= outer.minY() &&
         inner.maxY() <= outer.maxY();
}

// The summary has the job name's frame, 7 below the company name: a long one is cut at its end and
// draws nothing outside it. The counter is as high as its text and draws inside its own frame.
TEST_F(MapBubbleTest, TheSummaryTakesTheJobNamesFrameAndTheCounterHoldsItsGlyphs) {
  auto bubble = CustomMapMultiBubbleView::create({{0, 0}, CustomMapMultiBubbleView::DefaultSize});
  auto first = job("工程师", "本科");
  first->set_workyear("3-5年");
  first->set_cotype("外资（欧美）");
  first->set_coname("远洋贸易有限公司");
  first->set_jobarea("上海");
  first->set_issuedate("12-08");
  bubble->loadJobInfoes({first, job("二", "本科")});
  bubble->showJobInfo(0);
  const auto& summary = *bubble->jobsummary();
  EXPECT_EQ(bubble->jobname()->frame(), platform::Rect(10, 10, 138, 12));
  EXPECT_EQ(summary.frame().size, bubble->jobname()->frame().size);
  EXPECT_EQ(summary.frame().minX(), 10);
  EXPECT_EQ(summary.frame().minY(), bubble->coname()->frame().maxY() + 7);
  EXPECT_EQ(bubble->jobinfo()->frame().minY(), summary.frame().maxY() + 6);
  // Longer than its frame: the text is cut there, clear of the area and date column.
  EXPECT_GT(platform::TextMetrics::sizeWithFont(summary.text(), summary.font()).width, 138);
  // Across, the text stays in its frame; up and down it keeps clear of the company name's text and
  // of the info below.
  const platform::Rect summaryFrame = summary.convertRectToView(summary.bounds(), bubble.get());
  const platform::Rect drawn = Glyphs(*bubble, *bubble->jobsummary());
  EXPECT_GT(drawn.size.width, 100);
  EXPECT_GE(drawn.minX(), summaryFrame.minX());
  EXPECT_LE(drawn.maxX(), summaryFrame.maxX());
  EXPECT_GE(drawn.minY(), Glyphs(*bubble, *bubble->coname()).maxY());
  const auto& info = *bubble->jobinfo();
  EXPECT_LE(drawn.maxY(), info.convertRectToView(info.bounds(), bubble.get()).minY());
  const platform::Rect area = bubble->jobarea()->convertRectToView(bubble->jobarea()->bounds(), bubble.get());
  EXPECT_LE(drawn.maxX(), area.minX());

  // The counter: whole, centred on the middle line, its glyphs inside its frame.
  const auto& counter = *bubble->jobIndex();
  EXPECT_EQ(counter.text(), "1/2");
  EXPECT_GE(counter.frame().size.height,
            platform::TextMetrics::sizeWithFont(counter.text(), counter.font()).height);
  EXPECT_NEAR(counter.frame().midY(), bubble->grayBg()->bounds().size.height / 2, 0.5);
  const platform::Rect counterFrame = counter.convertRectToView(counter.bounds(), bubble.get());
  const platform::Rect digits = Glyphs(*bubble, *bubble->jobIndex());
  EXPECT_GT(digits.size.height, 0);
  EXPECT_TRUE(Holds(counterFrame, digits)) << digits.minY() << " " << digits.maxY();

  // One job: the card is wider and the job name's frame with it.
  bubble->loadJobInfoes({first});
  bubble->showJobInfo(0);
  EXPECT_EQ(bubble->jobsummary()->frame().size, platform::Size(178, 12));
  EXPECT_EQ(bubble->jobname()->frame().size, platform::Size(178, 12));
}

// Over the map, the bubble draws nothing outside its own frame, however long its texts are: what
// lies around it stays as it was without the bubble.
TEST_F(MapBubbleTest, TheBubbleDrawsNothingOutsideItsFrame) {
  auto around = std::make_shared<platform::View>(platform::Rect(0, 0, 400, 215));
  around->setBackgroundColor(platform::Color::white());
  const platform::Rect frame({40, 40}, CustomMapMultiBubbleView::DefaultSize);
  auto bubble = CustomMapMultiBubbleView::create(frame);
  around->addSubview(bubble);
  auto first = job(std::string(30, 'W'), "本科");
  first->set_coname("远洋贸易有限公司远洋贸易有限公司远洋贸易有限公司远洋贸易有限公司");
  first->set_jobinfo(std::string(400, 'M'));
  first->set_jobarea("上海市浦东新区世纪大道");
  bubble->loadJobInfoes({first, job("二", "本科")});
  bubble->showJobInfo(0);
  auto with = platform::Snapshot::imageOfView(*around, 1);
  bubble->setHidden(true);
  auto without = platform::Snapshot::imageOfView(*around, 1);
  const platform::Bitmap& a = *with->bitmap();
  const platform::Bitmap& b = *without->bitmap();
  int inside = 0, outside = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (a.pixelAt(x, y) == b.pixelAt(x, y)) continue;
      (frame.containsPoint({x + 0.5, y + 0.5}) ? inside : outside) += 1;
    }
  }
  EXPECT_GT(inside, 1000);
  EXPECT_EQ(outside, 0);
}

// The company bubble: a 288 x 45 card in the middle, the name and the address under it.
TEST_F(MapBubbleTest, TheCompanyBubbleCentresItsCardWithNameAndAddress) {
  auto bubble = std::make_shared<CustomMapCompanyBubbleView>(platform::Rect(0, 0, 320, 60));
  auto record = DataItemDetail::newDetail();
  record->set_coname("远洋贸易有限公司");
  record->set_caddr("浦东新区世纪大道100号");
  bubble->showJobInfo(*record);
  EXPECT_EQ(bubble->whiteBg()->frame(), platform::Rect(16, 7.5, 288, 45));
  EXPECT_EQ(bubble->coname()->frame(), platform::Rect(10, 7, 268, 13));
  EXPECT_EQ(bubble->coarea()->frame(), platform::Rect(10, 26, 268, 13));
  EXPECT_EQ(bubble->coname()->text(), "远洋贸易有限公司");
  EXPECT_EQ(bubble->coarea()->text(), "浦东新区世纪大道100号");
}

}  // namespace
}  // namespace kavro::test
