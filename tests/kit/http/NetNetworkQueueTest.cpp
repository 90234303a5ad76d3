#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "kit/http/NetFormDataRequest.h"
#include "kit/http/NetNetworkQueue.h"
#include "tests/kit/http/HttpTestSupport.h"

using namespace httptest;
using kavro::NetNetworkQueue;
using Calls = std::vector<std::string>;

namespace {

struct QueueRecorder : kavro::NetNetworkQueueDelegate {
  Calls calls;
  int queueFinishedCount = 0;
  std::string name(NetHTTPRequest& r) { return r.url()->path(); }
  void requestStarted(NetHTTPRequest& r) override { calls.push_back("started " + name(r)); }
  void requestFinished(NetHTTPRequest& r) override { calls.push_back("finished " + name(r)); }
  void requestFailed(NetHTTPRequest& r) override {
    calls.push_back("failed " + name(r) + " " + std::to_string(r.error() ? r.error()->code : 0));
  }
  void queueFinished(NetNetworkQueue&) override {
    calls.push_back("queue finished");
    ++queueFinishedCount;
  }
  Calls ends() const {
    Calls out;
    for (const auto& c : calls)
      if (c.rfind("started", 0) != 0) out.push_back(c);
    return out;
  }
};

struct QueueProgress : kavro::NetProgressDelegate {
  std::vector<float> values;
  void setProgress(float p) override { values.push_back(p); }
};

// Holds every request the handler sees until released.
struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  bool open = false;
  void wait() {
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return open; });
  }
  void release() {
    std::lock_guard lock(mutex);
    open = true;
    cv.notify_all();
  }
};

class NetNetworkQueueTest : public HttpTest {
 protected:
  void SetUp() override {
    HttpTest::SetUp();
    queue = NetNetworkQueue::queue();
    recorder = std::make_shared<QueueRecorder>();
    queue->setDelegate(recorder);
  }
  void TearDown() override {
    gate.release();
    HttpTest::TearDown();
  }
  std::shared_ptr<NetHTTPRequest> add(const std::string& path) {
    auto r = NetHTTPRequest::requestWithURL(url(server.url(path)));
    queue->addOperation(r);
    return r;
  }
  bool waitForQueue() {
    return wait([&] { return recorder->queueFinishedCount > 0; });
  }

  std::shared_ptr<NetNetworkQueue> queue;
  std::shared_ptr<QueueRecorder> recorder;
  Gate gate;
};

struct PlainOperation : kavro::Operation {
  std::vector<std::string>* log;
  std::string name;
  PlainOperation(std::vector<std::string>* l, std::string n) : log(l), name(std::move(n)) {}
  void main() override { log->push_back(name); }
};

TEST(OperationQueueTest, DependenciesWaitForEachOther) {
  std::vector<std::string> log;
  auto q = kavro::OperationQueue::create();
  q->setSuspended(true);
  auto first = std::make_shared<PlainOperation>(&log, "first");
  auto second = std::make_shared<PlainOperation>(&log, "second");
  second->setQueuePriority(kavro::Operation::VeryHigh);
  second->addDependency(first);
  // Nothing, itself or the same one again adds nothing: it would never be ready.
  second->addDependency(nullptr);
  second->addDependency(second);
  second->addDependency(first);
  EXPECT_EQ(second->dependencies(), (std::vector<std::shared_ptr<kavro::Operation>>{first}));
  EXPECT_FALSE(second->isReady());
  auto third = std::make_shared<PlainOperation>(&log, "third");
  third->addDependency(first);
  third->removeDependency(first);
  EXPECT_TRUE(third->dependencies().empty());
  EXPECT_TRUE(third->isReady());
  q->addOperation(second);
  q->addOperation(first);
  q->setSuspended(false);
  EXPECT_EQ(log, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(q->operationCount(), 0u);
}

TEST_F(NetNetworkQueueTest, OnlyRequestsMayJoin) {
  EXPECT_TRUE(queue->isSuspended());
  EXPECT_EQ(queue->maxConcurrentOperationCount(), 4);
  try {
    queue->addOperation(std::make_shared<PlainOperation>(nullptr, "x"));
    FAIL() << "no exception";
  } catch (const platform::Exception& e) {
    EXPECT_EQ(e.name(), "AttemptToAddInvalidRequest");
    EXPECT_EQ(e.reason(), "Attempted to add an object that was not an NetHTTPRequest to an NetNetworkQueue");
  }
  EXPECT_EQ(queue->requestsCount(), 0);
  EXPECT_EQ(queue->operationCount(), 0u);
}

TEST_F(NetNetworkQueueTest, ABatchCountsRequestsAndEndsOnce) {
  server.setHandler([](const RecordedRequest& r) { return ScriptedResponse::ok("body of " + r.target); });
  auto upload = std::make_shared<QueueProgress>();
  queue->setUploadProgressDelegate(upload);
  EXPECT_EQ(upload->values, (std::vector<float>{0.0f}));
  for (std::string p : {"/1", "/2", "/3"}) add(p);
  EXPECT_EQ(queue->requestsCount(), 3);
  EXPECT_EQ(queue->totalBytesToDownload(), 3u);
  EXPECT_EQ(queue->totalBytesToUpload(), 3u);
  EXPECT_TRUE(server.requests().empty());
  queue->go();
  ASSERT_TRUE(waitForQueue());
  platform::RunLoop::main().runFor(0.02);
  Calls ends = recorder->ends();
  ASSERT_EQ(ends.size(), 4u);
  EXPECT_EQ(ends.back(), "queue finished");
  EXPECT_EQ(recorder->queueFinishedCount, 1);
  EXPECT_EQ(std::count(recorder->calls.begin(), recorder->calls.end(), "started /2"), 1);
  EXPECT_EQ(queue->requestsCount(), 0);
  // One unit per finished request: the downloads add up to the whole.
  EXPECT_EQ(queue->bytesDownloadedSoFar(), 3u);
}

TEST_F(NetNetworkQueueTest, AtMostFourRunAtOnce) {
  server.setHandler([&](const RecordedRequest&) {
    gate.wait();
    return ScriptedResponse::ok("x");
  });
  std::vector<std::shared_ptr<NetHTTPRequest>> requests;
  for (int i = 0; i < 6; ++i) requests.push_back(add("/r" + std::to_string(i)));
  queue->go();
  auto executing = [&] {
    return std::count_if(requests.begin(), requests.end(), [](auto& r) { return r->isExecuting(); });
  };
  EXPECT_EQ(executing(), 4);
  ASSERT_TRUE(wait([&] { return server.requestCount() == 4; }));
  gate.release();
  ASSERT_TRUE(waitForQueue());
  EXPECT_EQ(server.requestCount(), 6u);
  EXPECT_EQ(recorder->ends().size(), 7u);
}

TEST_F(NetNetworkQueueTest, AFailureCancelsTheRestOfTheBatch) {
  server.setHandler([&](const RecordedRequest& r) {
    ScriptedResponse response = ScriptedResponse::ok("late");
    if (r.target == "/bad")
      response.closeWithoutResponse = true;
    else
      gate.wait();
    return response;
  });
  add("/slow1");
  add("/slow2");
  add("/bad");
  queue->go();
  ASSERT_TRUE(waitForQueue());
  gate.release();
  platform::RunLoop::main().runFor(0.05);
  Calls ends = recorder->ends();
  std::sort(ends.begin(), ends.end() - 1);
  EXPECT_EQ(ends, (Calls{"failed /bad 1", "failed /slow1 4", "failed /slow2 4", "queue finished"}));
  EXPECT_EQ(queue->totalBytesToDownload(), 0u);
}

TEST_F(NetNetworkQueueTest, WithoutCancelOnFailureTheOthersCarryOn) {
  server.setHandler([&](const RecordedRequest& r) {
    ScriptedResponse response = ScriptedResponse::ok("fine");
    if (r.target == "/bad") response.closeWithoutResponse = true;
    return response;
  });
  queue->setShouldCancelAllRequestsOnFailure(false);
  add("/bad");
  add("/good1");
  add("/good2");
  queue->go();
  ASSERT_TRUE(waitForQueue());
  Calls ends = recorder->ends();
  std::sort(ends.begin(), ends.end() - 1);
  EXPECT_EQ(ends, (Calls{"failed /bad 1", "finished /good1", "finished /good2", "queue finished"}));
}

TEST_F(NetNetworkQueueTest, AccurateProgressAsksTheSizesFirst) {
  server.setHandler([](const RecordedRequest& r) {
    return ScriptedResponse::ok(std::string(r.target == "/big" ? 30000 : 10000, 'd'));
  });
  auto download = std::make_shared<QueueProgress>();
  auto upload = std::make_shared<QueueProgress>();
  queue->setShowAccurateProgress(true);
  queue->setDownloadProgressDelegate(download);
  queue->setUploadProgressDelegate(upload);
  auto big = add("/big");
  add("/small");
  auto post = NetHTTPRequest::requestWithURL(url(server.url("/post")));
  post->appendPostData(platform::dataFromString(std::string(2000, 'u')));
  queue->addOperation(post);
  EXPECT_EQ(queue->totalBytesToUpload(), 2000u);
  EXPECT_FALSE(big->shouldResetDownloadProgress());
  EXPECT_FALSE(big->shouldResetUploadProgress());
  queue->go();
  ASSERT_TRUE(waitForQueue());
  platform::RunLoop::main().runFor(0.05);

  // Each GET came after its HEAD; the HEAD requests told nobody but the sizes.
  Calls seen;
  for (const auto& r : server.requests())
    if (r.target != "/post") seen.push_back(r.method + " " + r.target);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_LT(std::find(seen.begin(), seen.end(), "HEAD /big"),
            std::find(seen.begin(), seen.end(), "GET /big"));
  EXPECT_LT(std::find(seen.begin(), seen.end(), "HEAD /small"),
            std::find(seen.begin(), seen.end(), "GET /small"));
  EXPECT_EQ(recorder->ends().size(), 4u);
  // The POST's answer is 10000 more bytes, announced by its own headers.
  EXPECT_EQ(queue->totalBytesToDownload(), 50000u);
  EXPECT_EQ(queue->bytesDownloadedSoFar(), 50000u);
  EXPECT_EQ(queue->totalBytesToUpload(), 2000u);
  EXPECT_EQ(queue->bytesUploadedSoFar(), 2000u);
  ASSERT_FALSE(download->values.empty());
  EXPECT_FLOAT_EQ(download->values.back(), 1.0f);
  EXPECT_FLOAT_EQ(upload->values.back(), 1.0f);
}

TEST_F(NetNetworkQueueTest, ARunningQueueMakesNoHeadRequests) {
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("abc"); });
  queue->setShowAccurateProgress(true);
  queue->go();
  add("/late");
  ASSERT_TRUE(waitForQueue());
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(server.requests()[0].method, "GET");
  EXPECT_EQ(queue->totalBytesToDownload(), 3u);
}

TEST_F(NetNetworkQueueTest, ARequestThatFailedBeforeJoiningStillEndsTheBatch) {
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("abc"); });
  queue->setShouldCancelAllRequestsOnFailure(false);
  auto broken = kavro::NetFormDataRequest::requestWithURL(url(server.url("/form")));
  broken->addFile(home.path() + "/missing", "f");
  queue->addOperation(broken);
  add("/fine");
  queue->go();
  ASSERT_TRUE(waitForQueue());
  platform::RunLoop::main().runFor(0.02);
  Calls ends = recorder->ends();
  std::sort(ends.begin(), ends.end() - 1);
  EXPECT_EQ(ends, (Calls{"failed /form 6", "finished /fine", "queue finished"}));
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(NetNetworkQueueTest, ASizeAskedAheadFollowsARedirectByItselfAndOnlyTheDownloadAsksTheDelegate) {
  struct Confirming : QueueRecorder, kavro::NetRedirectConfirmer {
    Calls asked;
    void requestWillRedirectToURL(kavro::NetHTTPRequest& r, const platform::URL& to) override {
      asked.push_back(r.requestMethod() + " " + r.url()->path() + " -> " + to.path());
      r.redirectToURL(to);
    }
  };
  server.setHandler([](const RecordedRequest& r) {
    return r.target == "/moved" ? ScriptedResponse::redirect(302, "/here") : ScriptedResponse::ok("landed");
  });
  auto confirming = std::make_shared<Confirming>();
  queue->setDelegate(confirming);
  queue->setShowAccurateProgress(true);
  auto get = add("/moved");
  queue->go();
  ASSERT_TRUE(wait([&] { return confirming->queueFinishedCount > 0; }));
  EXPECT_EQ(confirming->asked, (Calls{"GET /moved -> /here"}));
  EXPECT_EQ(get->responseString(), "landed");
  Calls seen;
  for (const auto& r : server.requests()) seen.push_back(r.method + " " + r.target);
  EXPECT_EQ(seen, (Calls{"HEAD /moved", "HEAD /here", "GET /moved", "GET /here"}));
}

TEST_F(NetNetworkQueueTest, ResetForgetsTheReceivers) {
  struct Confirming : QueueRecorder, kavro::NetRedirectConfirmer {
    void requestWillRedirectToURL(kavro::NetHTTPRequest&, const platform::URL&) override {}
  };
  auto confirming = std::make_shared<Confirming>();
  queue->setDelegate(confirming);
  queue->setDownloadProgressDelegate(std::make_shared<QueueProgress>());
  EXPECT_TRUE(queue->forwards(kavro::NetDelegateMethod::WillRedirectToURL));
  EXPECT_FALSE(queue->forwards(kavro::NetDelegateMethod::AuthenticationNeeded));
  EXPECT_EQ(queue->copy()->delegate(), confirming);
  queue->go();
  queue->reset();
  EXPECT_TRUE(queue->isSuspended());
  EXPECT_FALSE(queue->delegate());
  EXPECT_FALSE(queue->forwards(kavro::NetDelegateMethod::WillRedirectToURL));
}

}  // namespace
