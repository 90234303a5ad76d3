// A job search from the query object to parsed records: ApiJob builds the request, the loader fetches
// it from the API fixture server and parses the answer.

#include <gtest/gtest.h>

#include <functional>

#include "app/api/ApiJob.h"
#include "app/jobquery/JobSearchParam.h"
#include "demo/ApiFixtureServer.h"
#include "kit/core/AppCoreInfo.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPReadStream.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

struct SearchRecorder : DataLoadAndParserDelegate {
  int calls = 0;
  std::shared_ptr<DataItemResult> result;
  void dataLoader(DataLoadAndParser& loader, const DataItemResult&) override {
    ++calls;
    result = loader.getResult();
  }
};

class JobSearchEndToEndTest : public ::testing::Test {
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

  test::TempHome home;
  test::ApiFixtureServer server;
};

TEST_F(JobSearchEndToEndTest, SearchesThroughTheServerAndReadsTheRecords) {
  auto param = JobSearchParam::create();
  param->setKeywords(" C++ ");
  param->setJobarea("020000");
  param->setPageSize(3);
  auto recorder = std::make_shared<SearchRecorder>();
  auto loader = ApiJob::search_job_list(*param, recorder);
  ASSERT_TRUE(loader);
  ASSERT_TRUE(loop().runUntil([&] { return recorder->calls > 0; }, 20));

  ASSERT_EQ(server.requestCount(), 1u);
  const auto request = server.requests()[0];
  EXPECT_EQ(request.method, "GET");
  EXPECT_TRUE(request.target.starts_with(
      "/api/job/search_job_list.php?postchannel=0000&keyword=C%2B%2B&keywordtype=1&jobarea=020000"
      "&pagesize=3&pageno=1&partner="))
      << request.target;
  EXPECT_EQ(param->keywords(), "C++") << "the query keeps the trimmed keyword";

  ASSERT_TRUE(recorder->result);
  const DataItemResult& result = *recorder->result;
  EXPECT_FALSE(result.hasError()) << result.message();
  EXPECT_EQ(result.statusCode(), 0);
  EXPECT_EQ(result.maxCount(), 3u);
  EXPECT_EQ(result.getTotalPage(3), 1u);
  ASSERT_EQ(result.count(), 3u);

  auto first = result.getItem(0);
  EXPECT_EQ(first->get_jobid(), "45127603");
  EXPECT_EQ(first->get_jobname(), "高级软件工程师（C++）");
  EXPECT_EQ(first->getAttribute("lang", "jobname"), "c");
  EXPECT_EQ(first->getItemAttribute("isurgent"), "1");
  EXPECT_EQ(first->getAttribute("code", "jobarea"), "020100");
  EXPECT_EQ(first->get_providesalary(), "8000-10000");
  EXPECT_FALSE(first->get_isapply());

  auto second = result.getItem(1);
  EXPECT_EQ(second->get_jobname(), "客户经理 & 渠道专员");
  EXPECT_TRUE(second->get_isapply());
  EXPECT_EQ(second->get_providesalary(), "");
  EXPECT_EQ(result.getItem(2)->get_coname(), "广州 \"星河\" 贸易有限公司");

  EXPECT_EQ(result.detailInfo()->getString("pageno"), "1");
  EXPECT_FALSE(result.detailInfo()->hasKey("totalcount"));

  // The next page of the same search.
  param->setPageAt(2);
  auto next = std::make_shared<SearchRecorder>();
  auto nextLoader = ApiJob::search_job_list(*param, next);
  ASSERT_TRUE(loop().runUntil([&] { return next->calls > 0; }, 20));
  ASSERT_EQ(server.requestCount(), 2u);
  EXPECT_NE(server.requests()[1].target.find("&pagesize=3&pageno=2&"), std::string::npos);
  EXPECT_EQ(recorder->calls, 1) << "each loader reports once";
}

// Each way a search can fail reaches the caller as an error with no rows, once, and the same query
// searches again afterwards.
TEST_F(JobSearchEndToEndTest, AFailedSearchIsAnErrorWithNoRowsAndTheNextSearchWorks) {
  const std::string path = "/api/job/search_job_list.php";
  struct Way {
    const char* name;
    std::function<void()> set;
    bool local;
  };
  test::ApiFixtureServer closed;
  const std::string closedUrl = closed.hostUrl();
  closed.stop();
  std::string items;
  for (int i = 0; i < 40; ++i) items += "<item><jobid>" + std::to_string(i) + "</jobid></item>";
  const std::vector<Way> ways = {
      {"service error", [&] { server.setAnswer(path, 200, test::ApiFixtureServer::serverErrorAnswer(path)); },
       false},
      {"HTTP 500", [&] { server.setAnswer(path, 500, "<html>down</html>"); }, true},
      // Whole as sent, but its text breaks off after forty rows: none of them is shown.
      {"answer that breaks off",
       [&] {
         server.setAnswer(path, 200,
                          "<responsemessage><result>1</result><resultbody>" + items + "<item><jobid>");
       },
       true},
      {"cut answer",
       [&] {
         auto r = test::ScriptedResponse::ok("<responsemessage><result>1</result><resultbody>" + items +
                                             "</resultbody></responsemessage>");
         r.closeAfterBytes = 900;
         server.setAnswer(path, r);
       },
       true},
      {"refused connection", [&] { platform::Environment::setApiHostUrl(closedUrl); }, true}};
  auto param = JobSearchParam::create();
  param->setKeywords("java");
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    way.set();
    auto failed = std::make_shared<SearchRecorder>();
    auto loader = ApiJob::search_job_list(*param, failed);
    ASSERT_TRUE(loop().runUntil([&] { return failed->calls > 0; }, 20));
    ASSERT_TRUE(failed->result);
    EXPECT_TRUE(failed->result->hasError());
    EXPECT_EQ(failed->result->localError(), way.local);
    EXPECT_FALSE(failed->result->message().empty());
    EXPECT_EQ(failed->result->count(), 0u);
    EXPECT_FALSE(loader->isLoading());

    server.clearAnswers();
    platform::Environment::setApiHostUrl(server.hostUrl());
    auto again = std::make_shared<SearchRecorder>();
    auto next = ApiJob::search_job_list(*param, again);
    ASSERT_TRUE(loop().runUntil([&] { return again->calls > 0; }, 20));
    EXPECT_FALSE(again->result->hasError()) << again->result->message();
    EXPECT_GT(again->result->count(), 0u);
    EXPECT_EQ(failed->calls, 1);
  }
}

}  // namespace
}  // namespace kavro
