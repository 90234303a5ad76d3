#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "demo/ApiFixtureServer.h"
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
#include "tests/kit/ui/ListTestSupport.h"
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
  // A page that added nothing ends the paging: no "more" row, and scrolling asks for nothing.
  EXPECT_FALSE(section->hasNextPage());
  EXPECT_TRUE(section->loadFinished());
  EXPECT_EQ(list->numberOfRowsInSection(0), 3);
  list->scrollViewDidEndDecelerating(*list);
  EXPECT_EQ(section->listViewDataStatus(), ListViewDataStatus::Loaded);
  EXPECT_EQ(server.requestCount(), 2u);
  list->stopLoading();
}

// A host that claims a huge total but whose pages add no rows, or the same rows again, on a list
// taller than its rows: the list stops asking at the first page that adds nothing, where it
// used to ask for page after page as fast as the answers came.
TEST_F(ListViewServerTest, AHugeTotalWhosePagesAddNoRowsEndsThePaging) {
  struct Hostile {
    std::string total;
    std::vector<int> rows;
    std::size_t requests;  // what the list may ask
    int shown;             // rows on screen then: the records, or the empty row
  };
  const std::string e32 = "1" + std::string(32, '0');  // held as the largest total, 4294967295
  for (const Hostile& host : {Hostile{"1000000", {}, 1, 1}, Hostile{"1000000", {1, 2, 3}, 2, 3},
                              Hostile{e32, {}, 1, 1}, Hostile{e32, {1, 2, 3}, 2, 3}}) {
    SCOPED_TRACE("total " + host.total + " with " + std::to_string(host.rows.size()) + " rows");
    std::string body = pageXml(0, host.rows);
    body.replace(body.find("<totalcount>0<"), 14, "<totalcount>" + host.total + "<");
    server.setAnswer("/api/job/search_job_list.php", 200, body,
                     {{"Content-Type", "text/xml; charset=utf-8"}});
    std::size_t before = server.requestCount();

    auto screen = std::make_shared<JobListScreen>();
    auto list = ListView::plainListViewForDelegate(screen);
    list->setFrame(platform::Rect(0, 0, 320, 2000));
    auto section = ListViewData::newDataOnListView(*list, platform::classFor<TitleCell>());
    section->listData()->setItemUniqueKeyName("jobid");
    section->loadData();
    // The next page, when asked for, leaves within the answer: a loaded section asks no more.
    ASSERT_TRUE(loop().runUntil(
        [&] {
          return section->listViewDataStatus() == ListViewDataStatus::Loaded ||
                 server.requestCount() - before > 10;
        },
        20));
    EXPECT_EQ(server.requestCount() - before, host.requests);
    EXPECT_EQ(section->listViewDataStatus(), ListViewDataStatus::Loaded);
    EXPECT_TRUE(section->isLoadDataOK());
    EXPECT_GT(section->listData()->maxCount(), 999999u);
    EXPECT_FALSE(section->hasNextPage());
    EXPECT_EQ(list->numberOfRowsInSection(0), host.shown);
    list->scrollViewDidEndDecelerating(*list);
    EXPECT_EQ(server.requestCount() - before, host.requests);
    list->stopLoading();
  }
}

}  // namespace
}  // namespace kavro::test
