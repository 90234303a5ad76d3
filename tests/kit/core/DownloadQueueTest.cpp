#include <gtest/gtest.h>

#include "kit/core/DownloadQueue.h"
#include "tests/kit/core/LoaderTestSupport.h"

namespace kavro {
namespace {

using test::ConnectionRecorder;
using test::ScriptedResponse;
using Calls = std::vector<std::string>;

class DownloadQueueTest : public test::ApiServerTest {
 protected:
  void SetUp() override {
    ApiServerTest::SetUp();
    // Held answers until a test releases them, so registrations can gather first.
    server.setAnswer("/api/img/a.php", ScriptedResponse::ok("picture-a"));
    server.setAnswer("/api/img/gone.php", 404, "");
    ScriptedResponse slow = ScriptedResponse::ok("slow");
    slow.delayBeforeResponse = 0.3;
    server.setAnswer("/api/img/slow.php", slow);
  }
  void TearDown() override {
    DownloadQueue::destroySharedDownloadQueue();
    ApiServerTest::TearDown();
  }
  std::shared_ptr<ConnectionRecorder> recorder(std::string name) {
    auto r = std::make_shared<ConnectionRecorder>();
    r->name = std::move(name);
    r->log = &log;
    return r;
  }
  std::vector<std::string> log;
};

TEST_F(DownloadQueueTest, OneDownloadPerURLToldToEveryRegistrationInOrder) {
  auto a = recorder("a"), b = recorder("b");
  auto c1 = DownloadQueue::addRequestURL("img/a.php", a);
  auto c2 = DownloadQueue::addRequestURL("img/a.php", b);
  auto c3 = DownloadQueue::addRequestURL("img/a.php", a);
  EXPECT_EQ(c1, c2);
  EXPECT_EQ(c1, c3);
  std::weak_ptr<DataHttpConnection> weak = c1;
  c1.reset(), c2.reset(), c3.reset();
  ASSERT_TRUE(runUntil([&] { return log.size() == 3; }));
  loop().runFor(0.05);
  EXPECT_EQ(log, (Calls{"a:received", "b:received", "a:received"}));
  EXPECT_EQ(a->body, "picture-a");
  EXPECT_EQ(b->body, "picture-a");
  EXPECT_EQ(server.requestCount(), 1u);
  EXPECT_TRUE(weak.expired()) << "let go once its callbacks were over";

  // Nothing is cached: asking again downloads again.
  DownloadQueue::addRequestURL("img/a.php", b);
  ASSERT_TRUE(runUntil([&] { return log.size() == 4; }));
  EXPECT_EQ(server.requestCount(), 2u);

  // Failures go to everybody too.
  DownloadQueue::addRequestURL("img/gone.php", a);
  DownloadQueue::addRequestURL("img/gone.php", b);
  ASSERT_TRUE(runUntil([&] { return log.size() == 6; }));
  EXPECT_EQ(log[4], "a:error");
  EXPECT_EQ(log[5], "b:error");
  EXPECT_EQ(b->error->code, 404);
  EXPECT_EQ(DownloadQueue::entryCount(), 0u) << "a failed download is forgotten";
  // Asking again after the failure fetches again rather than joining the one that failed.
  DownloadQueue::addRequestURL("img/gone.php", a);
  EXPECT_EQ(DownloadQueue::entryCount(), 2u);
  ASSERT_TRUE(runUntil([&] { return log.size() == 7; }));
  EXPECT_EQ(log[6], "a:error");
  EXPECT_EQ(server.requestCount(), 4u);
  EXPECT_EQ(DownloadQueue::entryCount(), 0u);
}

TEST_F(DownloadQueueTest, RemovingTheLastRegistrationStopsTheDownload) {
  auto a = recorder("a"), b = recorder("b");
  std::weak_ptr<DataHttpConnection> weak = DownloadQueue::addRequestURL("img/slow.php", a);
  DownloadQueue::addRequestURL("img/slow.php", a);
  DownloadQueue::addRequestURL("img/slow.php", b);
  DownloadQueue::removeRequestURL("img/slow.php", a.get());   // both of a's registrations
  DownloadQueue::removeRequestURL("img/other.php", b.get());  // no such download: nothing
  ASSERT_TRUE(runUntil([&] { return log.size() == 1; }));
  EXPECT_EQ(log, Calls{"b:received"});

  DownloadQueue::addRequestURL("img/slow.php", a);
  weak = DownloadQueue::addRequestURL("img/slow.php", b);
  DownloadQueue::removeRequestURL("img/slow.php", a.get());
  DownloadQueue::removeRequestURL("img/slow.php", b.get());
  loop().runFor(0.6);
  EXPECT_EQ(log.size(), 1u) << "no callback after the last removal";
  EXPECT_TRUE(weak.expired());

  DownloadQueue::addRequestURL("img/slow.php", a);
  DownloadQueue::stopRequestURL("img/slow.php");
  loop().runFor(0.6);
  EXPECT_EQ(log.size(), 1u) << "stopRequestURL tells nobody";
  EXPECT_EQ(DownloadQueue::entryCount(), 0u);

  // The same URL after the stop starts afresh and is heard of.
  weak = DownloadQueue::addRequestURL("img/slow.php", b);
  DownloadQueue::stopRequestURL("img/slow.php");
  EXPECT_EQ(DownloadQueue::entryCount(), 0u);
  auto again = DownloadQueue::addRequestURL("img/slow.php", b);
  EXPECT_NE(again, weak.lock());
  again.reset();
  ASSERT_TRUE(runUntil([&] { return log.size() == 2; }));
  EXPECT_EQ(log.back(), "b:received");
  EXPECT_EQ(DownloadQueue::entryCount(), 0u);
}

TEST_F(DownloadQueueTest, DelegatesAreHeldWeakly) {
  auto a = recorder("a"), b = recorder("b");
  DownloadQueue::addRequestURL("img/slow.php", a);
  DownloadQueue::addRequestURL("img/slow.php", b);
  a.reset();  // gone without removing itself
  ASSERT_TRUE(runUntil([&] { return log.size() == 1; }));
  EXPECT_EQ(log, Calls{"b:received"});

  // When everybody waiting is gone, the download stops at its next piece: long before the rest of
  // this one (a minute of pieces) could come.
  ScriptedResponse chunked = ScriptedResponse::ok(std::string(512 * 3000, 'x'));
  chunked.chunkSizes = {512};
  chunked.delayBetweenChunks = 0.02;
  server.setAnswer("/api/img/chunks.php", chunked);
  auto c = recorder("c");
  std::weak_ptr<DataHttpConnection> weak = DownloadQueue::addRequestURL("img/chunks.php", c);
  ASSERT_TRUE(runUntil([&] { return !c->sizes.empty(); }));
  c.reset();
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
  EXPECT_EQ(log.size(), 1u);
}

TEST_F(DownloadQueueTest, ACallbackMayRegisterAgainOrRemoveOthers) {
  auto a = recorder("a"), b = recorder("b"), c = recorder("c");
  // a asks for the same URL again from inside its callback: the finished download is already
  // forgotten, so that starts a new one.
  int again = 0;
  a->hook = [&](DataHttpConnection&, const std::string& what) {
    if (what == "received" && again++ == 0) DownloadQueue::addRequestURL("img/a.php", a);
  };
  DownloadQueue::addRequestURL("img/a.php", a);
  DownloadQueue::addRequestURL("img/a.php", b);
  ASSERT_TRUE(runUntil([&] { return log.size() == 3; }));
  loop().runFor(0.05);
  EXPECT_EQ(log, (Calls{"a:received", "b:received", "a:received"}));
  EXPECT_EQ(server.requestCount(), 2u);

  // b removes c while sizes are handed out: c hears nothing of that download any more.
  log.clear();
  ScriptedResponse chunked = ScriptedResponse::ok(std::string(2048, 'x'));
  chunked.chunkSizes = {512};
  chunked.delayBetweenChunks = 0.02;
  server.setAnswer("/api/img/chunks.php", chunked);
  b->hook = [&](DataHttpConnection&, const std::string& what) {
    if (what == "size") DownloadQueue::removeRequestURL("img/chunks.php", c.get());
  };
  DownloadQueue::addRequestURL("img/chunks.php", b);
  DownloadQueue::addRequestURL("img/chunks.php", c);
  ASSERT_TRUE(runUntil([&] { return log.size() == 1; }));
  loop().runFor(0.05);
  EXPECT_EQ(log, Calls{"b:received"});
  EXPECT_TRUE(c->sizes.empty());
}

}  // namespace
}  // namespace kavro
