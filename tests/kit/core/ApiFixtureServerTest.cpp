#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/kit/core/LoaderTestSupport.h"
#include "demo/ApiFixtureServer.h"
#include "tests/support/TempDir.h"

namespace kavro {
namespace {

TEST(ApiFixtureServer, MapsTheServicesPathsToFixtureFilesOnly) {
  test::TempDir root;
  std::filesystem::create_directories(root.path() + "/util");
  std::ofstream(root.path() + "/util/get_push_token.json") << R"({"result":1})";
  std::ofstream(root.path() + "/util/both.xml") << "<r/>";
  std::ofstream(root.path() + "/util/both.json") << "{}";
  test::ApiFixtureServer server(root.path());
  EXPECT_EQ(server.fixtureFor("/api/util/get_push_token.php?x=1"), root.path() + "/util/get_push_token.json");
  EXPECT_EQ(server.fixtureFor("/api/util/both.php"), root.path() + "/util/both.xml");
  for (const char* outside :
       {"/api/util/none.php", "/api/util/both.xml", "/util/both.php", "/api/../util/both.php",
        "/api/util/../util/both.php", "/api/both.php", "/api/util/a/both.php", "/api/util/.php"})
    EXPECT_FALSE(server.fixtureFor(outside)) << outside;

  // The repository's own fixtures.
  test::ApiFixtureServer repository;
  EXPECT_TRUE(repository.fixtureFor("/api/job/search_job_list.php"));
  EXPECT_TRUE(repository.fixtureFor("/api/job/get_job_info.php"));
}

class ApiFixtureServerTest : public test::ApiServerTest {};

TEST_F(ApiFixtureServerTest, AnswersFixturesOverridesAndRecordsRequests) {
  auto get = [&](std::string path) {
    auto rec = std::make_shared<test::ConnectionRecorder>();
    auto c = DataHttpConnection::GetUrl(path, rec);
    EXPECT_TRUE(runUntil([&] { return rec->done(); })) << path;
    return rec;
  };
  EXPECT_NE(get("job/get_job_info.php?jobid=1")->body.find("<jobid>45127603</jobid>"), std::string::npos);
  server.setAnswer("/api/job/get_job_info.php", 503, "busy");
  EXPECT_EQ(get("job/get_job_info.php?jobid=1")->error->code, 503);
  server.clearAnswers();
  EXPECT_TRUE(get("job/get_job_info.php")->error == std::nullopt);
  EXPECT_EQ(get("job/nothing.php")->error->code, 404);

  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].target.rfind("/api/job/get_job_info.php?jobid=1&partner=", 0), 0u);
  EXPECT_EQ(server.server().requestCount(), 4u);
}

}  // namespace
}  // namespace kavro
