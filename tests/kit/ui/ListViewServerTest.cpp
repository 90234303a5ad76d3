#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/ListView.h"
#include "kit/ui/MoreTableCell.h"
#include "kit/ui/TitleCell.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPReadStream.h"
#include "demo/ApiFixtureServer.h"
#include "tests/support/TempHome.h"

namespace kavro::test {
namespace {

// A job list screen: each page is one call of the service, with the section as the loader's
// delegate.
class JobListScreen : public ListViewDelegate {
 public:
  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override {
    return DataLoadAndParser::GetUrl(platform::format("job/search_job_list.php?pageno=%d&pagesize=%d",
                                                      static_cast<std::int64_t>(section.pageAt()),
                                                      static_cast<std::int64_t>(section.pageSize())),
                                     section.loaderDelegate());
  }
};

class ListViewServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loop().discardAll();
    loop().setClock(platform::Clock::real());
    platform::Environment::setApiHostUrl(server.hostUrl());
  }
  void TearDown() override {
    loop().discardAll();
    platform::HTTPReadStream::closeIdleConnections();
    platform::Environment::setApiHostUrl("");
    AppCoreInfo::destroyAppCoreInfo();
  }
  platform::RunLoop& loop() { return platform::RunLoop::main(); }

  TempHome home;
  ApiFixtureServer server;
};

TEST_F(ListViewServerTest, PagesThroughTheServiceAndRefusesRowsItAlreadyHolds) {
  auto screen = std::make_shared<JobListScreen>();
  auto list = ListView::plainListViewForDelegate(screen);
  list->setFrame(platform::Rect(0, 0, 320, 100));
  auto section = ListViewData::newDataOnListView(*list, platform::classFor<TitleCell>());
  section->setPageSize(3);
  section->listData()->setItemUniqueKeyName("jobid");
  // A service that counts 57 jobs but answers the same three on every page.
  std::ifstream fixture(ApiFixtureServer::defaultFixtureRoot() + "/job/search_job_list.xml");
  std::string body{std::istreambuf_iterator<char>(fixture), {}};
  auto total = body.find("<totalcount>3<");
  ASSERT_NE(total, std::string::npos);
  body.replace(total, 14, "<totalcount>57<");
  server.setAnswer("/api/job/search_job_list.php", 200, body, {{"Content-Type", "text/xml; charset=utf-8"}});

  section->loadData();
  ASSERT_TRUE(
      loop().runUntil([&] { return section->listViewDataStatus() == ListViewDataStatus::Loaded; }, 20));
  EXPECT_TRUE(section->isLoadDataOK());
  EXPECT_EQ(section->listData()->maxCount(), 57u);
  EXPECT_EQ(section->count(), 3u);
  EXPECT_EQ(list->numberOfRowsInSection(0), 4);
  EXPECT_EQ(list->cellClassAtIndexPath(platform::IndexPath::forRow(3, 0))->name(), "MoreTableCell");

  // The next page answers the same jobs again: the unique key keeps them out.
  list->tapRowAtIndexPath(platform::IndexPath::forRow(3, 0));
  ASSERT_EQ(section->listViewDataStatus(), ListViewDataStatus::Loading);
  ASSERT_TRUE(
      loop().runUntil([&] { return section->listViewDataStatus() == ListViewDataStatus::Loaded; }, 20));
  EXPECT_EQ(section->pageAt(), 2u);
  EXPECT_EQ(section->count(), 3u);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].target.find("pageno=2"), std::string::npos);
  list->stopLoading();
}

}  // namespace
}  // namespace kavro::test
