// Tile batch answers as the tile client reads them, in the pieces the network gives: a header of
// little-endian words (its length, a count, then offset and length pairs) and the tiles' bytes.
// The first byte sets how many keys the batch asked for. Whatever arrives, every entry the client
// calls complete lies inside what was received, and never more entries than keys.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "demo/LoopbackHttpServer.h"
#include "mapsdk/display/CGridHttpClient.h"
#include "mapsdk/engine/CHttpClient.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "tests/mapsdk/engine/EngineTestParts.h"

namespace {

struct Rig {
  kavro::test::LoopbackHttpServer server;
  mapsdk::CGridHttpClient client;
  int finished = 0;
  int sequence = 0;
};

void check(Rig& r, int tag) {
  gmengine::CVArray<gmengine::GridKey> keys;
  mapsdk::BatchParseState& state = r.client.ParseState();
  r.client.ParseBatch(tag, state, keys);
  if (state.tileCount < 0 || state.tileCount > state.keyCount || state.complete > state.tileCount)
    std::abort();
  for (int i = 0; i < state.complete; ++i) {
    auto at = static_cast<std::size_t>(i);
    if (state.positions[at] < 0) continue;
    if (static_cast<std::int64_t>(state.positions[at]) + state.lengths[at] > r.client.Received() ||
        r.client.Received() > mapsdk::CGridHttpClient::kBufferSize)
      std::abort();
  }
}

Rig& rig() {
  static Rig* r = [] {
    auto home = std::filesystem::temp_directory_path() / ("kavro-fuzz-tiles-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    platform::Environment::setHomeRoot(home.string());
    auto* made = new Rig();
    platform::Environment::setMapHostUrl(made->server.url("/"));
    gmengine::InitMapEngine();
    gmengine::CVMapEngine* engine = gmengine::GetMainGlobalMan()->engine.get();
    enginetest::Route(*engine, gmengine::EngineSlot::MapControl, [made](int message, int, int tag) {
      if (message == ToInt(gmengine::EngineMsg::Timer)) return -1;
      check(*made, tag);
      if (message != ToInt(gmengine::EngineMsg::HttpData)) ++made->finished;
      return -1;
    });
    if (engine->Start() != 1 || made->client.Init(engine->Services()) != 1) std::abort();
    return made;
  }();
  return *r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0 || size > 300000) return 0;
  Rig& r = rig();
  int count = 1 + bytes[0] % mapsdk::CGridHttpClient::kMaxKeys;
  gmengine::CVArray<gmengine::GridKey> keys;
  for (int i = 0; i < count; ++i) keys.Add(gmengine::GridKey{i, 0});
  kavro::test::ScriptedResponse answer =
      kavro::test::ScriptedResponse::ok(std::string(reinterpret_cast<const char*>(bytes + 1), size - 1));
  answer.chunkSizes = {1u + bytes[0] * 97u};
  r.server.enqueue(answer);
  int before = r.finished;
  ++r.sequence;
  if (r.client.RequestGrids(0, 12, r.sequence, 0, keys, r.sequence, 0) != 1) std::abort();
  if (!platform::RunLoop::main().runUntil([&] { return r.finished > before; }, 30)) std::abort();
  check(r, r.sequence);
  return 0;
}
