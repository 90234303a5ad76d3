#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
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

// 16 MiB of one byte, gzipped to a few kilobytes.
std::string gzipBomb() { return gzipText(std::string(16 << 20, 'a'), Z_BEST_COMPRESSION); }

// A client that keeps no answer (no receive buffer): only the message tells what happened.
class CHttpClientLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMapEngine();
    CVMapEngine* engine = GetMainGlobalMan()->engine.get();
    enginetest::Route(*engine, EngineSlot::Search, [this](int m, int, int) {
      messages.push_back(static_cast<EngineMsg>(m));
      return 0;
    });
    ASSERT_EQ(engine->Start(), 1);
    client = std::make_unique<CHttpClient>();
    ASSERT_EQ(client->Init(engine->Services().Sockets(), engine->Services().Dispatcher()), 1);
    client->SetClientID(EngineClient::Search);
    client->SetTimeout(10000);
  }
  void TearDown() override {
    client.reset();
    UnInitMapEngine();
    platform::RunLoop::main().discardAll();
  }
  EngineMsg Fetch(const std::string& body, bool gzipped) {
    messages.clear();
    server.enqueue(gzipped ? ScriptedResponse::ok(body, {{"Content-Encoding", "gzip"}})
                           : ScriptedResponse::ok(body));
    unsigned tag = 1;
    EXPECT_EQ(client->RequestGet(CVString::FromUtf8(server.url("/tile")), tag), 1);
    EXPECT_TRUE(platform::RunLoop::main().runUntil([&] { return !messages.empty(); }, 20));
    // Whichever way the exchange ended, the socket thread lets it go.
    EXPECT_EQ(enginetest::JobsLeft(*GetMainGlobalMan()->engine->Services().Sockets()), 0u);
    return messages.empty() ? EngineMsg{} : messages[0];
  }

  kavro::test::TempHome home;
  LoopbackHttpServer server;
  std::unique_ptr<CHttpClient> client;
  std::vector<EngineMsg> messages;
};

TEST_F(CHttpClientLimitsTest, AnswersThatDecodeTooLargeEndInHttpTooLarge) {
  std::string bomb = gzipBomb();
  // By default, without a receive buffer: the default maximum.
  EXPECT_EQ(Fetch(bomb, true), EngineMsg::HttpTooLarge);
  client->SetMaxAnswerSize(32 << 20);
  EXPECT_EQ(Fetch(bomb, true), EngineMsg::HttpComplete);
  client->SetMaxAnswerSize(1000);
  EXPECT_EQ(Fetch(std::string(1000, 'x'), false), EngineMsg::HttpComplete);
  EXPECT_EQ(Fetch(std::string(1001, 'x'), false), EngineMsg::HttpTooLarge);
  client->SetMaxAnswerSize(0);
  EXPECT_EQ(Fetch(std::string(1001, 'x'), false), EngineMsg::HttpComplete);
}

}  // namespace
