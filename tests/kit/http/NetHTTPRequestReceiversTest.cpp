#include <gtest/gtest.h>

#include "kit/base64/Base64.h"
#include "kit/http/NetDataCompressor.h"
#include "platform/foundation/FileManager.h"
#include "tests/kit/http/HttpTestSupport.h"

using namespace httptest;
using Calls = std::vector<std::string>;

namespace {

class NetHTTPRequestReceiversTest : public HttpTest {};

// A queue that hears the requests given to it.
struct RecordingQueue : kavro::NetHTTPRequestQueue {
  Calls calls;
  std::int64_t downloadSize = 0, received = 0;
  void requestStarted(NetHTTPRequest&) override { calls.push_back("started"); }
  void requestFinished(NetHTTPRequest&) override { calls.push_back("finished"); }
  void requestFailed(NetHTTPRequest&) override { calls.push_back("failed"); }
  void requestIncrementDownloadSizeBy(NetHTTPRequest&, std::int64_t n) override { downloadSize += n; }
  void requestDidReceiveBytes(NetHTTPRequest&, std::int64_t n) override { received += n; }
};

std::string basic(const std::string& pair) {
  return "Basic " + *kavro::base64EncodeData(platform::dataFromString(pair));
}

TEST_F(NetHTTPRequestReceiversTest, AQueueHearsWhatTheDelegateHearsAndTheProgress) {
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok(std::string(1234, 'q')); });
  auto queue = std::make_shared<RecordingQueue>();
  auto r = make("/q");
  r->setQueue(queue);
  auto rec = run(r);
  wait([&] { return queue->calls.size() == 2; });
  EXPECT_EQ(queue->calls, (Calls{"started", "finished"}));
  EXPECT_EQ(queue->downloadSize, 1234);
  EXPECT_EQ(queue->received, 1234);
  EXPECT_EQ(rec->calls.back(), "finished");
}

TEST_F(NetHTTPRequestReceiversTest, AHeadRequestCarriesTheMainRequestsHeadersAndReportsNothing) {
  server.setHandler(
      [](const RecordedRequest& r) { return ScriptedResponse::ok(r.method == "HEAD" ? "" : "0123456789"); });
  auto main = make("/h");
  main->addRequestHeader("X-From-Main", "1");
  auto rec = std::make_shared<Recorder>();
  main->setDelegate(rec);
  auto head = main->HEADRequest();
  head->setDelegate(rec);
  head->startAsynchronous();
  ASSERT_TRUE(wait([&] { return head->isFinished(); }));
  platform::RunLoop::main().runFor(0.02);
  EXPECT_TRUE(rec->calls.empty());
  EXPECT_EQ(server.requests().at(0).method, "HEAD");
  EXPECT_EQ(server.requests().at(0).header("X-From-Main"), "1");
}

TEST_F(NetHTTPRequestReceiversTest, SessionCredentialsPreferTheExactURL) {
  server.setHandler([](const RecordedRequest& r) {
    return ScriptedResponse::ok(r.header("Authorization").value_or("none"));
  });
  auto store = [&](const std::string& path, const std::string& user) {
    NetHTTPRequest::SessionCredentials entry;
    entry.credentials =
        std::make_shared<const platform::HTTPCredentials>(platform::HTTPCredentials{user, "pw", {}});
    entry.url = url(server.url(path));
    entry.authenticationScheme = "Basic";
    NetHTTPRequest::storeAuthenticationCredentialsInSessionStore(entry);
  };
  store("/elsewhere", "close1");
  store("/exact", "exact");
  store("/another", "close2");
  auto exact = make("/exact");
  run(exact);
  EXPECT_EQ(exact->responseString(), basic("exact:pw"));
  auto other = make("/third");
  run(other);
  EXPECT_EQ(other->responseString(), basic("close1:pw"));
  // Own credentials must match an entry's.
  auto own = make("/third");
  own->setUsername("close2");
  own->setPassword("pw");
  run(own);
  EXPECT_EQ(own->responseString(), basic("close2:pw"));
}

TEST_F(NetHTTPRequestReceiversTest, CompressedDownloadsAreInflatedIntoPlace) {
  std::string text(40000, 'w');
  auto gz = *kavro::NetDataCompressor::compressData(platform::dataFromString(text));
  server.setHandler([&](const RecordedRequest&) {
    return ScriptedResponse::ok(std::string(gz.begin(), gz.end()), {{"Content-Encoding", "gzip"}});
  });
  for (bool wait : {true, false}) {
    std::string destination = home.path() + "/inflated" + (wait ? "1" : "2");
    auto r = make("/gz");
    r->setDownloadDestinationPath(destination);
    r->setShouldWaitToInflateCompressedResponses(wait);
    auto rec = run(r);
    EXPECT_EQ(rec->calls.back(), "finished");
    EXPECT_EQ(platform::stringFromData(*platform::FileManager::contentsAtPath(destination)), text) << wait;
  }
}

TEST_F(NetHTTPRequestReceiversTest, AClearedProgressDelegateHearsNothingMore) {
  struct Counting : kavro::NetProgressDelegate {
    int calls = 0;
    void setProgress(float) override { ++calls; }
    void requestDidReceiveBytes(NetHTTPRequest&, std::int64_t) override { ++calls; }
  };
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("abc"); });
  auto progress = std::make_shared<Counting>();
  auto r = make("/p");
  r->setDownloadProgressDelegate(progress);
  auto rec = std::make_shared<Recorder>();
  r->setDelegate(rec);
  // Reports queued for the main thread find the field empty when they are delivered.
  r->setStartedBlock([&] { r->setDownloadProgressDelegate({}); });
  run(r, rec);
  platform::RunLoop::main().runFor(0.02);
  EXPECT_EQ(progress->calls, 0);
}

}  // namespace
