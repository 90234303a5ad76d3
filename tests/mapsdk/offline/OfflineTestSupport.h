#pragma once
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/COLUpdateRecord.h"
#include "mapsdk/offline/COfflineMapMan.h"
#include "mapsdk/search/GMKNotifier.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/ImageCodec.h"
#include "tests/mapsdk/engine/EngineTestParts.h"
#include "tests/support/TempHome.h"

namespace offline_test {

struct State {
  gmengine::OfflineState state;
  int value;
  bool onMainThread;
};

class RecordingDelegate : public mapsdk::GMKOfflineMapDelegate {
 public:
  void onGetOfflineMapState(gmengine::OfflineState state, int value) override {
    states.push_back({state, value, platform::RunLoop::main().isCurrentThread()});
  }
  std::vector<State> states;
};

// A tile as a map service sends it, a 256 x 256 PNG, that carries label in a text chunk: one
// picture encoded once, told apart by what reads back.
inline std::string DecodableTile(const std::string& label) {
  static const std::string picture = [] {
    auto bitmap = platform::Bitmap::create(256, 256, false);
    platform::Data png = platform::ImageCodec::encodePNG(*bitmap);
    return std::string(png.begin(), png.end());
  }();
  std::string body = "tEXt";
  body += "Comment";
  body += '\0';
  body += label;
  std::string chunk;
  const auto length = static_cast<std::uint32_t>(body.size() - 4);
  for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>((length >> shift) & 0xff);
  chunk += body;
  const auto crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
  for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>((crc >> shift) & 0xff);
  // Before the closing chunk (its 12 bytes end the file).
  std::string tile = picture;
  tile.insert(tile.size() - 12, chunk);
  return tile;
}

inline gmengine::COLUpdateRecord MakeRecord(int id, std::vector<std::string> names, int base = 11,
                                            int first = 11, int last = 17) {
  gmengine::COLUpdateRecord r;
  for (gmengine::COLUpdateElement* half : {&r.local, &r.server}) {
    half->id = id;
    half->name = gmengine::CVString::FromUtf8("City " + std::to_string(id));
    half->size = 1000 * id;
    half->x = 12958000;
    half->y = 4825000;
    half->dataVersion = "1";
    half->mapVersion = "1";
    half->cityVersion = "1";
    half->baseLevel = base;
    half->firstLevel = first;
    half->lastLevel = last;
    for (const std::string& n : names) half->packages.Add(gmengine::CVString::FromUtf8(n));
  }
  return r;
}

// A running engine in a fresh home: UI messages EngineMsg::OfflineState go to the offline state relay, engine
// messages and timers to the offline map manager given to Attach. The timers are killed again
// where a test drives them itself.
class OfflineEngineTest : public ::testing::Test {
 protected:
  // The map's side as the offline maps see it: the map manager given to Attach.
  class Display : public gmengine::EngineDisplay {
   public:
    explicit Display(OfflineEngineTest& test) : test_(test) {}
    gmengine::COfflineMapMan* OfflineMapMan() override { return test_.mapMan; }

   private:
    OfflineEngineTest& test_;
  };
  void SetUp() override {
    gmengine::InitMapEngine();
    engine = gmengine::GetMainGlobalMan()->engine.get();
    enginetest::Route(*engine, gmengine::EngineSlot::MapControl, [this](int message, int wParam, int lParam) {
      gmengine::COfflineMapMan* man = mapMan;
      if (!man) return 0;
      if (message == ToInt(gmengine::EngineMsg::OfflineCommand))
        return man->OnCommand(static_cast<gmengine::OfflineCommand>(wParam), lParam);
      if (message == ToInt(gmengine::EngineMsg::Timer)) {
        if (wParam == ToInt(gmengine::EngineTimer::OfflineDownload)) ++stallTicks;
        return man->OnTimer(message, wParam);
      }
      return 0;
    });
    engine->SetDisplay(std::make_unique<Display>(*this));
    ASSERT_EQ(engine->Start(), 1);
    delegate = std::make_shared<RecordingDelegate>();
    mapsdk::GMKNotifier::setOfflineDelegate(delegate);
  }
  void TearDown() override {
    mapMan = nullptr;
    gmengine::UnInitMapEngine();
    platform::RunLoop::main().discardAll();
  }
  gmengine::CVString DataFolder() const { return gmengine::GetMainGlobalMan()->sysInfo.dataPath; }
  gmengine::CVMsgDispatcher* Dispatcher() const { return gmengine::GetGlobalMan()->dispatcher.get(); }
  // A record manager as the offline map makes it (the engine's default screen is a high-density one).
  std::unique_ptr<gmengine::COLRecordMan> NewRecordMan() const {
    return std::make_unique<gmengine::COLRecordMan>(Dispatcher(), true);
  }
  // Hands every queued engine message over (what the main run loop does).
  void Drain() {
    while (Dispatcher()->DispatchMessage()) {
    }
  }
  bool RunUntil(const std::function<bool()>& done, double seconds = 20) {
    return platform::RunLoop::main().runUntil(done, seconds);
  }

  // Ticks of the offline download's stall timer that reached the map manager (timer thread).
  std::atomic<int> stallTicks{0};
  kavro::test::TempHome home;
  gmengine::CVMapEngine* engine = nullptr;
  gmengine::COfflineMapMan* mapMan = nullptr;
  std::shared_ptr<RecordingDelegate> delegate;
};

}  // namespace offline_test
