// The major search's result list is a result list: its rows show details and count their ticks
// under the campus tracking point.

#include <gtest/gtest.h>

#include "app/campus/MajorSearchResultController.h"
#include "app/jobsearch/JobListSearchResultCell.h"
#include "app/shell/AppTracking.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Environment.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/ui/NavigationController.h"
#include "tests/kit/ui/KitUITest.h"
#include "demo/ApiFixtureServer.h"

namespace kavro::test {
namespace {

using platform::IndexPath;

class MajorSearchResultControllerTest : public KitUITest {
 protected:
  void SetUp() override {
    KitUITest::SetUp();
    loop().setClock(platform::Clock::real());
    platform::Environment::setApiHostUrl(server.hostUrl());
  }
  void TearDown() override {
    if (nav) nav->setViewControllers({}, false);
    nav.reset();
    loop().discardAll();
    platform::HTTPReadStream::closeIdleConnections();
    platform::Environment::setApiHostUrl("");
    KitUITest::TearDown();
  }
  ApiFixtureServer server;
  std::shared_ptr<platform::NavigationController> nav;
};

TEST_F(MajorSearchResultControllerTest, ItsRowsAreResultRowsCountedAsCampusTicks) {
  auto query = JobSearchParam::create();
  query->setPostchannel(JobSearchParam::CampusChannel);
  query->setKeywords("计算机");
  auto results = MajorSearchResultController::initWithParam(query);
  ASSERT_TRUE(platform::isKindOfClass(*results, "JobSearchResultController"));
  nav = platform::NavigationController::create(results);
  window->setRootViewController(nav);
  platform::ViewController::finishPendingTransitions();
  auto section = results->listDataSearchResult();
  ASSERT_TRUE(runUntil([&] { return section->listViewDataStatus() == ListViewDataStatus::Loaded; }, 20));
  ASSERT_GT(section->count(), 0u);
  EXPECT_NE(server.requests()[0].target.find("postchannel=0100"), std::string::npos);

  auto& list = *results->listViewResult();
  results->detailClick();
  EXPECT_TRUE(JobListSearchResultCell::getNeedShowDetail(list));
  list.layoutSubviews();
  auto cell =
      std::dynamic_pointer_cast<JobListSearchResultCell>(list.cellForRowAtIndexPath(IndexPath::forRow(0, 0)));
  ASSERT_TRUE(cell);
  cell->checkView()->buttonClicked();
  std::string counted = platform::stringFromData(AppTracking::getTrackingPostData());
  EXPECT_NE(counted.find("TRACKING_CAMPUS_MAJORSEARCHRESULT_JOBSELECT"), std::string::npos) << counted;
  EXPECT_EQ(counted.find("TRACKING_JOBSEARCH_RESULTS_JOBSELECT"), std::string::npos) << counted;
}

}  // namespace
}  // namespace kavro::test
