#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "demo/LoopbackHttpServer.h"
#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/EngineTypes.h"
#include "platform/foundation/RunLoop.h"
#include "tests/mapsdk/engine/EngineTestParts.h"
#include "tests/mapsdk/engine/GzipTestSupport.h"
#include "tests/support/TempHome.h"

using namespace gmengine;
using kavro::test::LoopbackHttpServer;
using kavro::test::ScriptedResponse;

namespace {

struct Message {
  EngineMsg message;
  int tag;
  std::string body;  // the receive buffer as the handler saw it
};

std::string gzip(const std::string& text) { return gzipText(text); }

// The engine running on the real clock (its threads answer in real time), with the search hook
// recording what EngineClient::Search posts.
class CHttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMapEngine();
    CVMapEngine* engine = GetMainGlobalMan()->engine.get();
    enginetest::Route(*engine, EngineSlot::Search, [this](int m, int, int l) {
      messages.push_back(
          {static_cast<EngineMsg>(m), l, std::string(buffer, static_cast<std::size_t>(std::max(0, length)))});
      return 0;
    });
    ASSERT_EQ(engine->Start(), 1);
    client = std::make_unique<CHttpClient>();
    ASSERT_EQ(client->Init(engine->Services().Sockets(), engine->Services().Dispatcher()), 1);
    client->SetClientID(EngineClient::Search);
    client->SetReceiveBuffer(buffer, &length, sizeof buffer);
    client->SetTimeout(10000);
  }
  void TearDown() override {
    client.reset();
    UnInitMapEngine();
    platform::RunLoop::main().discardAll();
  }
  // Runs the main loop until count messages were handled (or 20 s passed).
  bool WaitFor(std::size_t count) {
    return platform::RunLoop::main().runUntil([&] { return messages.size() >= count; }, 20);
  }
  // Until the server has seen count requests: the main loop has nothing to wake it for that, so
  // it is asked in short turns.
  bool WaitForServer(std::size_t count) {
    for (int turn = 0; turn < 2000 && server.requestCount() < count; ++turn) {
      platform::RunLoop::main().runOnce(0.01);
    }
    return server.requestCount() >= count;
  }
  CVString Url(std::string_view path) { return CVString::FromUtf8(server.url(path)); }
  std::size_t JobsLeft() { return enginetest::JobsLeft(*GetMainGlobalMan()->engine->Services().Sockets()); }

  kavro::test::TempHome home;
  LoopbackHttpServer server;
  std::unique_ptr<CHttpClient> client;
  char buffer[64] = {};
  int length = -1;
  std::vector<Message> messages;
};

TEST_F(CHttpClientTest, AnAnswerArrivesInTheReceiveBufferWithHttpComplete) {
  server.enqueue(ScriptedResponse::ok("{\"result\":{\"type\":11}}"));
  unsigned tag = 41;
  ASSERT_EQ(client->RequestGet(Url("/?qt=con&wd=a"), tag), 1);
  EXPECT_EQ(client->IsBusy(), 1);
  ASSERT_TRUE(WaitFor(1));
  EXPECT_EQ(messages[0].message, EngineMsg::HttpComplete);
  EXPECT_EQ(messages[0].tag, 41);
  EXPECT_EQ(messages[0].body, "{\"result\":{\"type\":11}}");
  EXPECT_EQ(client->IsBusy(), 0);
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/?qt=con&wd=a");
  EXPECT_EQ(requests[0].header("Host"), "127.0.0.1:" + std::to_string(server.port()));
  CVString last;
  EXPECT_EQ(client->GetRequestUrl(0, last), 1);
  EXPECT_EQ(last, Url("/?qt=con&wd=a"));
  EXPECT_EQ(JobsLeft(), 0u);
}

TEST_F(CHttpClientTest, GzipAnswersAreInflatedAndNamesAreLookedUp) {
  client->SetUseGzip(1);
  server.enqueue(ScriptedResponse::ok(gzip("北京 inflated"), {{"Content-Encoding", "gzip"}}));
  unsigned tag = 1;
  std::string url = "http://localhost:" + std::to_string(server.port()) + "/su?wd=x";
  ASSERT_EQ(client->RequestGet(CVString::FromUtf8(url), tag), 1);
  ASSERT_TRUE(WaitFor(1));
  EXPECT_EQ(messages[0].message, EngineMsg::HttpComplete);
  EXPECT_EQ(messages[0].body, "北京 inflated");
  EXPECT_EQ(server.requests()[0].header("Accept-Encoding"), "gzip");
}

TEST_F(CHttpClientTest, ProgressMessagesShowWhatArrivedSoFar) {
  client->SetNotifyProgress(1);
  ScriptedResponse chunked = ScriptedResponse::ok(std::string(40, 'x'));
  chunked.chunkSizes = {10};
  chunked.delayBetweenChunks = 0.02;
  server.enqueue(chunked);
  unsigned tag = 3;
  ASSERT_EQ(client->RequestGet(Url("/tile/?type=map"), tag), 1);
  ASSERT_TRUE(platform::RunLoop::main().runUntil(
      [&] { return !messages.empty() && messages.back().message == EngineMsg::HttpComplete; }, 20));
  // The first chunk is announced before the last one comes; an HttpData shows what arrived by the time
  // it is handled.
  ASSERT_GE(messages.size(), 2u);
  std::size_t seen = 0;
  for (std::size_t i = 0; i + 1 < messages.size(); ++i) {
    EXPECT_EQ(messages[i].message, EngineMsg::HttpData);
    EXPECT_GE(messages[i].body.size(), seen);
    seen = messages[i].body.size();
    EXPECT_EQ(messages[i].body, std::string(seen, 'x'));
  }
  EXPECT_EQ(messages.back().body, std::string(40, 'x'));
}

TEST_F(CHttpClientTest, FailuresAndOddAnswersPostTheirMessages) {
  ScriptedResponse missing;
  missing.status = 404;
  server.enqueue(missing);
  ScriptedResponse page =
      ScriptedResponse::ok("<html></html>", {{"Content-Type", "text/html; charset=utf-8"}});
  server.enqueue(page);
  server.enqueue(ScriptedResponse::ok(std::string(100, 'y')));  // larger than the buffer
  unsigned tag = 1;
  ASSERT_EQ(client->RequestGet(Url("/a"), tag), 1);
  ASSERT_TRUE(WaitFor(1));
  tag = 2;
  ASSERT_EQ(client->RequestGet(Url("/b"), tag), 1);
  ASSERT_TRUE(WaitFor(2));
  tag = 3;
  ASSERT_EQ(client->RequestGet(Url("/c"), tag), 1);
  ASSERT_TRUE(WaitFor(3));
  EXPECT_EQ(messages[0].message, EngineMsg::HttpBadAnswer);
  EXPECT_EQ(messages[1].message, EngineMsg::HttpMarkupPage);
  EXPECT_EQ(messages[2].message, EngineMsg::HttpTooLarge);
  CVString redirect;
  EXPECT_EQ(client->GetRequestUrl(1, redirect), 1);
  EXPECT_EQ(redirect, Url("/b"));  // a markup page: asking again is the way on
  EXPECT_EQ(client->RequestGet(CVString("ftp://127.0.0.1/x"), tag), 0);
  EXPECT_EQ(JobsLeft(), 0u);
}

TEST_F(CHttpClientTest, ARedirectIsFollowedOnRequest) {
  server.enqueue(ScriptedResponse::redirect(302, "/moved?x=1"));
  server.enqueue(ScriptedResponse::ok("there"));
  unsigned tag = 8;
  ASSERT_EQ(client->RequestGet(Url("/first"), tag), 1);
  ASSERT_TRUE(WaitFor(1));
  EXPECT_EQ(messages[0].message, EngineMsg::HttpMarkupPage);
  CVString redirect;
  client->GetRequestUrl(1, redirect);
  EXPECT_EQ(redirect, Url("/moved?x=1"));
  ASSERT_EQ(client->RepeatRequest(1), 1);
  ASSERT_TRUE(WaitFor(2));
  EXPECT_EQ(messages[1].message, EngineMsg::HttpComplete);
  EXPECT_EQ(messages[1].tag, 8);
  EXPECT_EQ(messages[1].body, "there");
}

TEST_F(CHttpClientTest, MarkupPagesInARowEndTheChain) {
  server.setHandler([](const kavro::test::RecordedRequest&) {
    return ScriptedResponse::ok("<html/>", {{"Content-Type", "text/html"}});
  });
  unsigned tag = 1;
  ASSERT_EQ(client->RequestGet(Url("/portal"), tag), 1);
  for (std::size_t n = 1; n <= CHttpClient::kMaxMarkupPagesInARow; ++n) {
    ASSERT_TRUE(WaitFor(n));
    if (messages.back().message != EngineMsg::HttpMarkupPage) break;
    client->RepeatRequest(0);
  }
  ASSERT_EQ(messages.size(), static_cast<std::size_t>(CHttpClient::kMaxMarkupPagesInARow));
  EXPECT_EQ(messages.back().message, EngineMsg::HttpBadAnswer);
  EXPECT_EQ(JobsLeft(), 0u);
}

TEST_F(CHttpClientTest, ADuplicateOfTheRunningRequestIsNotSent) {
  ScriptedResponse slow = ScriptedResponse::ok("late");
  slow.delayBeforeResponse = 0.2;
  server.enqueue(slow);
  unsigned tag = 5;
  ASSERT_EQ(client->RequestGet(Url("/same"), tag), 1);
  unsigned again = 6;
  EXPECT_EQ(client->RequestGet(Url("/same"), again), 0);
  EXPECT_EQ(again, 5u);
  ASSERT_TRUE(WaitFor(1));
  EXPECT_EQ(messages[0].tag, 5);
  EXPECT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(JobsLeft(), 0u);
}

TEST_F(CHttpClientTest, ACancelledRequestSaysNothing) {
  ScriptedResponse held;
  held.holdWithoutResponse = true;
  server.enqueue(held);
  server.enqueue(ScriptedResponse::ok("second"));
  unsigned tag = 1;
  ASSERT_EQ(client->RequestGet(Url("/held"), tag), 1);
  ASSERT_TRUE(WaitForServer(1));
  EXPECT_EQ(client->CancelRequest(), 1);
  EXPECT_EQ(client->IsBusy(), 0);
  EXPECT_EQ(JobsLeft(), 0u);  // the held exchange is closed and let go, not left to its time-out
  CVString last;
  EXPECT_EQ(client->GetRequestUrl(0, last), 0);
  tag = 2;
  ASSERT_EQ(client->RequestGet(Url("/next"), tag), 1);
  ASSERT_TRUE(WaitFor(1));
  platform::RunLoop::main().runFor(0.05);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].tag, 2);
  EXPECT_EQ(messages[0].body, "second");
  EXPECT_EQ(JobsLeft(), 0u);
}

TEST_F(CHttpClientTest, AnAnswerWaitingInTheQueueKeepsItsBodyWhenTheSocketTakesTheNextRequest) {
  server.enqueue(ScriptedResponse::ok("first"));
  ScriptedResponse held;
  held.holdWithoutResponse = true;
  server.enqueue(held);
  unsigned tag = 7;
  ASSERT_EQ(client->RequestGet(Url("/first"), tag), 1);
  // The answer is in before the main thread takes its message; the socket then carries another.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (client->IsBusy() && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
  ASSERT_EQ(client->IsBusy(), 0);
  tag = 8;
  ASSERT_EQ(client->RequestGet(Url("/second"), tag), 1);
  ASSERT_TRUE(WaitFor(1));
  EXPECT_EQ(messages[0].message, EngineMsg::HttpComplete);
  EXPECT_EQ(messages[0].tag, 7);
  EXPECT_EQ(messages[0].body, "first");
}

TEST_F(CHttpClientTest, ConnectFailuresAreRetriedWithFlagOne) {
  std::string closed = server.url("/x");
  server.stop();  // nothing listens there any more
  unsigned tag = 1;
  ASSERT_EQ(client->RequestGet(CVString::FromUtf8(closed), tag, 0), 1);
  ASSERT_TRUE(WaitFor(1));
  EXPECT_EQ(messages[0].message, EngineMsg::HttpConnectFailed);
  tag = 2;
  ASSERT_EQ(client->RequestGet(CVString::FromUtf8(closed + "?again"), tag, 1), 1);
  ASSERT_TRUE(WaitFor(2));
  EXPECT_EQ(messages[1].message, EngineMsg::HttpAttemptsOver);
  EXPECT_EQ(JobsLeft(), 0u);
}

TEST_F(CHttpClientTest, TheTimeOutEndsASilentAnswer) {
  client->SetTimeout(50);
  ScriptedResponse held;
  held.holdWithoutResponse = true;
  server.enqueue(held);
  unsigned tag = 4;
  ASSERT_EQ(client->RequestGet(Url("/silent"), tag), 1);
  ASSERT_TRUE(WaitFor(1));
  EXPECT_EQ(messages[0].message, EngineMsg::HttpTimeout);
  EXPECT_EQ(JobsLeft(), 0u);
}

TEST_F(CHttpClientTest, PostSendsTheFormFields) {
  server.enqueue(ScriptedResponse::ok("{}"));
  client->AddPostField(CVString("qt"), CVString("bloc"));
  client->AddPostField(CVString("cl"), CVString("1|2|3|4 地"));
  unsigned tag = 0;
  ASSERT_EQ(client->RequestPost(Url("/loc/"), tag), 1);
  ASSERT_TRUE(WaitFor(1));
  auto request = server.requests().at(0);
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.body, "qt=bloc&cl=1%7C2%7C3%7C4%20%E5%9C%B0");
  EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST_F(CHttpClientTest, StoppingTheEngineDropsRequestsAndJoinsItsThreads) {
  ScriptedResponse held;
  held.holdWithoutResponse = true;
  server.enqueue(held);
  unsigned tag = 1;
  ASSERT_EQ(client->RequestGet(Url("/held"), tag), 1);
  ASSERT_TRUE(WaitForServer(1));
  GetMainGlobalMan()->engine->Stop();
  EXPECT_EQ(client->IsBusy(), 0);
  EXPECT_EQ(GetMainGlobalMan()->engine->Services().Sockets()->JobCount(), 0u);  // its thread has ended
  platform::RunLoop::main().runFor(0.02);
  EXPECT_TRUE(messages.empty());
}

// Two clients under one id (the street clients of two map controllers), each asking with the same
// tag: each answer reaches the buffer of the client that asked for it, whichever comes first, and
// the other client's buffer is left alone.
TEST_F(CHttpClientTest, ClientsSharingAnIdEachReceiveTheirOwnAnswers) {
  server.setHandler([](const kavro::test::RecordedRequest& request) {
    return ScriptedResponse::ok(request.target.find("wd=a") != std::string::npos ? "answer a" : "answer b");
  });
  auto other = std::make_unique<CHttpClient>();
  ASSERT_EQ(other->Init(GetMainGlobalMan()->engine->Services().Sockets(),
                        GetMainGlobalMan()->engine->Services().Dispatcher()),
            1);
  other->SetClientID(EngineClient::Search);
  char otherBuffer[64] = {};
  int otherLength = -1;
  other->SetReceiveBuffer(otherBuffer, &otherLength, sizeof otherBuffer);
  for (int round = 0; round < 5; ++round) {
    messages.clear();
    unsigned tag = 7 + round;
    unsigned otherTag = tag;
    ASSERT_EQ(client->RequestGet(Url("/?wd=a&r=" + std::to_string(round)), tag), 1);
    ASSERT_EQ(other->RequestGet(Url("/?wd=b&r=" + std::to_string(round)), otherTag), 1);
    ASSERT_TRUE(WaitFor(2));
    ASSERT_TRUE(
        platform::RunLoop::main().runUntil([&] { return !client->IsBusy() && !other->IsBusy(); }, 20));
    platform::RunLoop::main().runOnce(0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(std::max(0, length))), "answer a") << round;
    EXPECT_EQ(std::string(otherBuffer, static_cast<std::size_t>(std::max(0, otherLength))), "answer b")
        << round;
    EXPECT_EQ(client->HoldsAnswerOf(tag), 1);
    EXPECT_EQ(other->HoldsAnswerOf(otherTag), 1);
    EXPECT_EQ(client->HoldsAnswerOf(tag + 100), 0);
    EXPECT_EQ(JobsLeft(), 0u) << round;
  }
  other.reset();
}

}  // namespace
