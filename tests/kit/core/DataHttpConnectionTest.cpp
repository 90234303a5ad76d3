#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "kit/core/AppUtil.h"
#include "kit/core/DataHttpConnection.h"
#include "kit/core/DeviceUUID.h"
#include "kit/core/StoreDataTypes.h"
#include "platform/net/NetError.h"
#include "tests/kit/core/LoaderTestSupport.h"
#include "tests/support/TempDir.h"

namespace kavro {
namespace {

using test::ConnectionRecorder;
using test::ScriptedResponse;
using Calls = std::vector<std::string>;

class DataHttpConnectionTest : public test::ApiServerTest {
 protected:
  std::string url(std::string_view path) {
    auto u = DataHttpConnection::buildFullURL(path);
    return u ? u->absoluteString() : "(none)";
  }
  std::string common() {
    return "partner=10001&uuid=" + device::getUUID() +
           "&version=" + std::to_string(AppUtil::getVersionCode());
  }
  std::shared_ptr<ConnectionRecorder> run(std::shared_ptr<DataHttpConnection>& connection,
                                          const std::shared_ptr<ConnectionRecorder>& rec) {
    runUntil([&] { return rec->done(); });
    loop().runFor(0.05);
    return rec;
  }
};

TEST_F(DataHttpConnectionTest, BuildsTheFullURLWithTheCommonParameters) {
  const std::string host = server.hostUrl();
  EXPECT_EQ(url("https://other.example/x.php?a=1"), "https://other.example/x.php?a=1");
  EXPECT_EQ(url("http://other.example/x"), "http://other.example/x");
  EXPECT_EQ(url("job/get_job_info.php?jobid=1"), host + "/api/job/get_job_info.php?jobid=1&" + common());
  EXPECT_EQ(url("/util/x.php"), host + "/util/x.php?" + common());
  EXPECT_EQ(url("a/b.php?x=1&"), host + "/api/a/b.php?x=1&" + common());
  EXPECT_EQ(url("a/b.php"), host + "/api/a/b.php?" + common());
  EXPECT_EQ(url(""), host + "/api/?" + common());

  // The GUID goes along only when it has 32 characters.
  AppCoreInfo::getCoreDB()->setStrValue(STORE_CORE_CLIENT_VERSION_INFO, "storeKey_deviceCurrentGUID",
                                        std::string(31, 'g'));
  EXPECT_EQ(url("a/b.php"), host + "/api/a/b.php?" + common());
  AppUtil::setGUID(std::string(32, 'g'));
  EXPECT_EQ(url("a/b.php"), host + "/api/a/b.php?" + common() + "&guid=" + std::string(32, 'g'));

  // A trailing slash on the configured host is not doubled.
  platform::Environment::setApiHostUrl(host + "/");
  EXPECT_EQ(url("a/b.php").substr(0, host.size() + 5), host + "/api/");

  EXPECT_FALSE(DataHttpConnection::buildFullURL("http://bad host/"));
}

TEST_F(DataHttpConnectionTest, MissingOrOddIdentityValuesAreSentEmptyOrEscaped) {
  test::TempDir resources;
  platform::Environment::setResourceRoot(resources.path());
  EXPECT_EQ(url("a.php"), server.hostUrl() + "/api/a.php?partner=&uuid=" + device::getUUID() +
                              "&version=" + std::to_string(AppUtil::getVersionCode()))
      << "no partner file";
  std::filesystem::create_directories(resources.path() + "/Config");
  std::ofstream(resources.path() + "/Config/client.sign") << "10 01&x=y\n";
  std::string full = url("a.php");
  EXPECT_NE(full.find("?partner=10%2001%26x%3Dy&uuid="), std::string::npos) << full;
  EXPECT_EQ(full.find("(null)"), std::string::npos);
}

TEST_F(DataHttpConnectionTest, GetAndPostWithTheClientsUserAgentAndNoCookies) {
  server.setAnswer("/api/echo.php", 200, "<r>ok</r>", {{"Set-Cookie", "a=b"}});
  auto rec = std::make_shared<ConnectionRecorder>();
  auto c = DataHttpConnection::GetUrl("echo.php?q=1", rec);
  EXPECT_EQ(c->requestURL(), "echo.php?q=1");
  EXPECT_TRUE(AppUtil::isNetworkIndicatorVisible());
  run(c, rec);
  EXPECT_EQ(rec->calls, Calls{"received"});
  EXPECT_EQ(rec->body, "<r>ok</r>");
  EXPECT_EQ(c->statusCode(), 200);
  EXPECT_EQ(c->contentTotalSize(), 9);
  EXPECT_TRUE(c->isFinished());
  EXPECT_FALSE(AppUtil::isNetworkIndicatorVisible());
  ASSERT_FALSE(rec->sizes.empty());
  EXPECT_EQ(rec->sizes.back(), 9);

  auto rec2 = std::make_shared<ConnectionRecorder>();
  auto c2 =
      DataHttpConnection::PostUrl("echo.php", platform::dataFromString("a=1&b=%E4"), rec2, "kavro-ios-crash");
  run(c2, rec2);
  EXPECT_EQ(rec2->calls, Calls{"received"});

  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].header("User-Agent"), AppUtil::getUserAgent());
  EXPECT_FALSE(requests[0].header("Cookie"));
  EXPECT_EQ(requests[1].method, "POST");
  EXPECT_EQ(requests[1].body, "a=1&b=%E4");
  EXPECT_EQ(requests[1].header("User-Agent"), "kavro-ios-crash");
  EXPECT_FALSE(requests[1].header("Cookie")) << "the cookie of the first answer is not kept";
  EXPECT_FALSE(requests[1].header("Content-Type"));

  // An empty answer is a success with no bytes.
  server.setAnswer("/api/empty.php", 204, "");
  auto rec3 = std::make_shared<ConnectionRecorder>();
  auto c3 = DataHttpConnection::GetUrl("empty.php", rec3);
  run(c3, rec3);
  EXPECT_EQ(rec3->calls, Calls{"received"});
  EXPECT_EQ(rec3->body, "");
}

TEST_F(DataHttpConnectionTest, ErrorStatusesAreErrorsOfTheirOwnDomainWithoutTheBody) {
  server.setAnswer("/api/gone.php", 404, "<html>not here</html>");
  auto rec = std::make_shared<ConnectionRecorder>();
  auto c = DataHttpConnection::GetUrl("gone.php", rec);
  run(c, rec);
  EXPECT_EQ(rec->calls, Calls{"error"});
  ASSERT_TRUE(rec->error);
  EXPECT_EQ(rec->error->domain, "DataHttpConnection");
  EXPECT_EQ(rec->error->code, 404);
  EXPECT_EQ(rec->error->localizedDescription, "未找到") << "the system's text for the status";
  EXPECT_TRUE(rec->sizes.empty());
  EXPECT_EQ(c->statusCode(), 404);
  EXPECT_FALSE(AppUtil::isNetworkIndicatorVisible());

  server.setAnswer("/api/teapot.php", 418, "");
  auto rec2 = std::make_shared<ConnectionRecorder>();
  auto c2 = DataHttpConnection::GetUrl("teapot.php", rec2);
  run(c2, rec2);
  EXPECT_EQ(rec2->error->code, 418);
  EXPECT_EQ(rec2->error->localizedDescription, "client error");
}

TEST_F(DataHttpConnectionTest, NetworkFailuresAndBadURLsAreReportedOnceFromTheLoop) {
  auto rec = std::make_shared<ConnectionRecorder>();
  auto c = DataHttpConnection::GetUrl("http://bad host/x", rec);
  EXPECT_TRUE(rec->calls.empty()) << "never from inside the call that made it";
  run(c, rec);
  EXPECT_EQ(rec->calls, Calls{"error"});
  EXPECT_EQ(rec->error->domain, platform::URLErrorDomain);
  EXPECT_EQ(rec->error->code, platform::URLErrorBadURL);

  server.stop();
  auto rec2 = std::make_shared<ConnectionRecorder>();
  auto c2 = DataHttpConnection::GetUrl("job/search_job_list.php", rec2);
  run(c2, rec2);
  EXPECT_EQ(rec2->calls, Calls{"error"});
  EXPECT_EQ(rec2->error->domain, platform::URLErrorDomain);
  EXPECT_FALSE(AppUtil::isNetworkIndicatorVisible());
}

TEST_F(DataHttpConnectionTest, CancellingTheOpenConnectionsEndsEachOnceAsCancelled) {
  // One on its way to the host and one whose URL could not be built, both not yet told.
  auto sent = std::make_shared<ConnectionRecorder>();
  auto c = DataHttpConnection::GetUrl("job/search_job_list.php", sent);
  auto refused = std::make_shared<ConnectionRecorder>();
  auto bad = DataHttpConnection::GetUrl("http://bad host/x", refused);
  DataHttpConnection::cancelOpenConnections();
  for (const auto& rec : {sent, refused}) {
    EXPECT_EQ(rec->calls, Calls{"error"});
    ASSERT_TRUE(rec->error);
    EXPECT_EQ(rec->error->code, platform::URLErrorCancelled);
  }
  EXPECT_FALSE(AppUtil::isNetworkIndicatorVisible());
  // Neither the answer nor the refusal comes after.
  loop().runFor(0.3);
  EXPECT_EQ(sent->calls, Calls{"error"});
  EXPECT_EQ(refused->calls, Calls{"error"});
  // Cancelled once: a second cancel finds nothing open.
  DataHttpConnection::cancelOpenConnections();
  EXPECT_EQ(sent->calls, Calls{"error"});
}

TEST_F(DataHttpConnectionTest, StopLoadingAndDroppingAreSilent) {
  auto rec = std::make_shared<ConnectionRecorder>();
  auto c = DataHttpConnection::GetUrl("job/search_job_list.php", rec);
  c->stopLoading();
  EXPECT_FALSE(AppUtil::isNetworkIndicatorVisible());
  loop().runFor(0.2);
  EXPECT_TRUE(rec->calls.empty());

  auto rec2 = std::make_shared<ConnectionRecorder>();
  auto c2 = DataHttpConnection::GetUrl("job/search_job_list.php", rec2);
  c2.reset();
  EXPECT_FALSE(AppUtil::isNetworkIndicatorVisible());
  loop().runFor(0.2);
  EXPECT_TRUE(rec2->calls.empty());

  // Stopped after the first piece of the body: nothing more.
  ScriptedResponse chunked = ScriptedResponse::ok(std::string(8192, 'x'));
  chunked.chunkSizes = {1024};
  chunked.delayBetweenChunks = 0.01;
  server.setAnswer("/api/chunks.php", chunked);
  auto rec3 = std::make_shared<ConnectionRecorder>();
  rec3->hook = [](DataHttpConnection& conn, const std::string& what) {
    if (what == "size") conn.stopLoading();
  };
  auto c3 = DataHttpConnection::GetUrl("chunks.php", rec3);
  ASSERT_TRUE(runUntil([&] { return !rec3->sizes.empty(); }));
  loop().runFor(0.3);
  EXPECT_EQ(rec3->sizes.size(), 1u);
  EXPECT_TRUE(rec3->calls.empty());

  // The delegate may drop the connection from inside its callback.
  auto rec4 = std::make_shared<ConnectionRecorder>();
  std::shared_ptr<DataHttpConnection> c4;
  rec4->hook = [&](DataHttpConnection&, const std::string& what) {
    if (what == "received") c4.reset();
  };
  c4 = DataHttpConnection::GetUrl("job/search_job_list.php", rec4);
  ASSERT_TRUE(runUntil([&] { return !c4; }));
  loop().runFor(0.05);
  EXPECT_EQ(rec4->calls, Calls{"received"});
}

TEST_F(DataHttpConnectionTest, TimesOutAfterFiftySecondsOnTheVirtualClock) {
  auto clock = std::make_shared<platform::VirtualClock>();
  loop().setClock(clock);
  ScriptedResponse held;
  held.holdWithoutResponse = true;
  server.setAnswer("/api/held.php", held);
  auto rec = std::make_shared<ConnectionRecorder>();
  double start = clock->now();
  auto c = DataHttpConnection::GetUrl("held.php", rec);
  runUntil([&] { return server.requestCount() == 1; }, 1);
  loop().runFor(49.0 - (clock->now() - start));
  EXPECT_TRUE(rec->calls.empty());
  ASSERT_TRUE(runUntil([&] { return rec->done(); }, 1.5));
  EXPECT_NEAR(clock->now() - start, 50.0, 0.01);
  EXPECT_EQ(rec->calls, Calls{"error"});
  EXPECT_EQ(rec->error->code, platform::URLErrorTimedOut);
  server.stop();
}

}  // namespace
}  // namespace kavro
