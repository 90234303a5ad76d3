// The map engine's HTTP client and its gzip path, against a loopback server that sends the bytes.
// The first byte picks how: a gzip body with its length, a gzip body in chunks, or the whole answer
// (status line, headers and body) exactly as given. Every request ends in one message, and what
// reaches the receive buffer fits it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "demo/LoopbackHttpServer.h"
#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "tests/mapsdk/engine/EngineTestParts.h"

namespace {

struct Rig {
  kavro::test::LoopbackHttpServer server;
  gmengine::CHttpClient client;
  char buffer[4096] = {};
  int length = -1;
  int messages = 0;
  int last = 0;
};

Rig& rig() {
  static Rig* r = [] {
    auto home = std::filesystem::temp_directory_path() / ("kavro-fuzz-maphttp-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    platform::Environment::setHomeRoot(home.string());
    gmengine::InitMapEngine();
    auto* made = new Rig();
    gmengine::CVMapEngine* engine = gmengine::GetMainGlobalMan()->engine.get();
    enginetest::Route(*engine, gmengine::EngineSlot::Search, [made](int message, int, int) {
      if (message == ToInt(gmengine::EngineMsg::HttpData)) return 0;
      ++made->messages;
      made->last = message;
      return 0;
    });
    if (engine->Start() != 1 ||
        made->client.Init(engine->Services().Sockets(), engine->Services().Dispatcher()) != 1)
      std::abort();
    made->client.SetClientID(gmengine::EngineClient::Search);
    made->client.SetReceiveBuffer(made->buffer, &made->length, sizeof made->buffer);
    made->client.SetUseGzip(1);
    made->client.SetTimeout(2000);
    return made;
  }();
  return *r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0 || size > 64 * 1024) return 0;
  Rig& r = rig();
  std::string body(reinterpret_cast<const char*>(bytes + 1), size - 1);
  kavro::test::ScriptedResponse answer;
  switch (bytes[0] % 3) {
    case 0:
      answer = kavro::test::ScriptedResponse::ok(body, {{"Content-Encoding", "gzip"}});
      break;
    case 1:
      answer = kavro::test::ScriptedResponse::ok(body, {{"Content-Encoding", "gzip"}});
      answer.chunkSizes = {1u + bytes[0] / 3u};
      break;
    default:
      answer.raw = body;
      answer.keepAlive = false;
      break;
  }
  r.server.enqueue(answer);
  int before = r.messages;
  int tag = 7;
  if (r.client.RequestGet(gmengine::CVString::FromUtf8(r.server.url("/?qt=fuzz")), tag, 0) != 1) std::abort();
  if (!platform::RunLoop::main().runUntil([&] { return r.messages > before; }, 30)) std::abort();
  if (r.messages != before + 1) std::abort();
  if (r.last == ToInt(gmengine::EngineMsg::HttpComplete) &&
      (r.length < 0 || r.length > static_cast<int>(sizeof r.buffer)))
    std::abort();
  // A markup page or redirect leaves the request for the caller to repeat or drop.
  if (r.client.IsBusy()) r.client.CancelRequest();
  return 0;
}
