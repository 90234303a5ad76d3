// The runner's map commands as a person types them: on the map on screen, on virtual time, each
// failure said once with what failed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "demo/ApiFixtureServer.h"
#include "demo/LoopbackHttpServer.h"
#include "demo/LoopbackSocket.h"
#include "demo/MapDemoService.h"
#include "demo/MapFixtureServer.h"
#include "mapsdk/display/GMKMapProbe.h"
#include "mapsdk/display/LayerStyles.h"
#include "mapsdk/display/MapControlBlock.h"
#include "mapsdk/offline/GMKOfflineMap.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Snapshot.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"
#include "tools/kavro/MapCommands.h"
#include "tools/kavro/Runner.h"

namespace kavro {
namespace {

namespace fs = std::filesystem;
using runner::Outcome;

// A map host that takes connections and never answers (the kernel queues them; nobody reads).
class SilentHost {
 public:
  SilentHost() : fd_(test::listenOnLoopback(64, port_)) {}
  ~SilentHost() { ::close(fd_); }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  std::uint16_t port_ = 0;
  int fd_;
};

class MapCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { runner::registerMapCommands(); }
  void start() {
    runner::Options options;
    options.demoRoot = test::ApiFixtureServer::defaultFixtureRoot();
    options.snapshotDir = pictures_.path();
    runner_ = std::make_unique<runner::Runner>(options, out_, err_);
    ASSERT_TRUE(runner_->start()) << err_.str();
  }
  void TearDown() override {
    runner_.reset();
    runner::registerMapCommands();  // the demo map service again for whoever comes next
  }
  Outcome run(const std::string& line) { return runner_->execute(line); }
  static double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  test::TempHome home_;
  test::TempDir pictures_;
  std::ostringstream out_, err_;
  std::unique_ptr<runner::Runner> runner_;
};

// From home to the job map with no map command: the map stands around the device, where the
// runner put it, with its tiles, and a search puts pins on it.
TEST_F(MapCommandsTest, TheJobMapFromHomeNeedsNoMapCommand) {
  start();
  ASSERT_EQ(run("tap 地图找工作"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map wait"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map status"), Outcome::Done) << err_.str();
  EXPECT_NE(out_.str().find("level 14"), std::string::npos) << out_.str();
  EXPECT_EQ(run("map expect pins"), Outcome::Failed) << "no pins before a search";
  EXPECT_NE(runner_->lastMessage().find("0 of 0 pins"), std::string::npos) << runner_->lastMessage();
  ASSERT_EQ(run("tap 搜索"), Outcome::Done) << err_.str();
  EXPECT_EQ(run("map expect pins"), Outcome::Done) << err_.str();
}

// A person types slowly: seconds of real time between opening the map and moving the device
// change nothing.
TEST_F(MapCommandsTest, MovingTheDeviceSecondsLaterStillMovesIt) {
  start();
  ASSERT_EQ(run("tap 地图找工作"), Outcome::Done) << err_.str();
  std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  const auto begun = std::chrono::steady_clock::now();
  EXPECT_EQ(run("map locate 31.2304 121.4737"), Outcome::Done) << err_.str();
  EXPECT_LT(secondsSince(begun), 10);
  // The screen took its first fix already; its location button takes the new one.
  ASSERT_EQ(run("tap 我的位置"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map wait"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map status"), Outcome::Done) << err_.str();
}

// A map host that never answers: virtual time stands while its tiles are on their way, so each
// command gives up at the real-time limit (shortened here), saying which host failed, how many
// tiles came and what was still on its way; none reports success.
TEST_F(MapCommandsTest, AMapHostThatNeverAnswersFailsEachCommandWithinSecondsSayingSo) {
  SilentHost silent;
  start();
  platform::Environment::setMapHostUrl(silent.url());
  struct Patience {
    Patience() { runner::Runner::setRequestPatience(2); }
    ~Patience() { runner::Runner::setRequestPatience(60); }
  } patience;
  auto begun = std::chrono::steady_clock::now();
  EXPECT_EQ(run("map open"), Outcome::Failed);
  EXPECT_LT(secondsSince(begun), 15);
  const std::string& said = runner_->lastMessage();
  EXPECT_NE(said.find("map open: 0 of "), std::string::npos) << said;
  EXPECT_NE(said.find(silent.url()), std::string::npos) << said;
  // The time named is the time waited, in real seconds, not the run loop's.
  double waited = 0;
  const std::size_t in = said.find(" in ");
  ASSERT_NE(in, std::string::npos) << said;
  ASSERT_EQ(std::sscanf(said.c_str() + in, " in %lf s of real time", &waited), 1) << said;
  EXPECT_GE(waited, 2) << said;
  EXPECT_LE(waited, secondsSince(begun)) << said;
  EXPECT_NE(said.find(" s of real time; still on its way: requests to the map service at " + silent.url() +
                      " (tiles)"),
            std::string::npos)
      << said;

  // The tiles asked for before are still on their way: the clock stands the whole wait.
  const double clockBefore = platform::RunLoop::main().now();
  begun = std::chrono::steady_clock::now();
  EXPECT_EQ(run("map zoom in"), Outcome::Failed);
  EXPECT_LT(secondsSince(begun), 15);
  EXPECT_LT(platform::RunLoop::main().now() - clockBefore, 0.5) << runner_->lastMessage();
  EXPECT_EQ(run("map expect drawn"), Outcome::Failed);
  EXPECT_NE(runner_->lastMessage().find("shows no streets"), std::string::npos) << runner_->lastMessage();
}

// A city's download takes long: it says how far it came, in steps of at least 5 %, and where the
// package went; against a host that answers every tile with 404 it ends soon, saying so, and the
// download stands stopped.
TEST_F(MapCommandsTest, AnOfflineDownloadSaysHowFarItCameAndEndsOnAHostThatFails) {
  start();
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map offline"), Outcome::Done) << err_.str();
  std::istringstream said(err_.str());
  std::vector<int> steps;
  std::string stored;
  for (std::string line; std::getline(said, line);) {
    if (int percent = 0, tiles = 0, total = 0;
        std::sscanf(line.c_str(), "map offline: %d%% (%d of %d tiles)", &percent, &tiles, &total) == 3) {
      if (!steps.empty()) {
        EXPECT_GE(percent, steps.back() + 5) << line;
      }
      steps.push_back(percent);
    } else if (auto at = line.find(" stored in "); at != std::string::npos) {
      stored = line.substr(at + 11);
    }
  }
  ASSERT_FALSE(steps.empty()) << err_.str();
  EXPECT_EQ(steps.back(), 100) << err_.str();
  EXPECT_GE(steps.size(), 10u) << err_.str();
  EXPECT_TRUE(fs::is_regular_file(stored)) << err_.str();
  EXPECT_NE(out_.str().find("Demo City: 5461 tiles stored"), std::string::npos) << out_.str();
  ASSERT_EQ(run("map close"), Outcome::Done);

  // A fresh home: nothing of the city is there.
  runner_.reset();
  test::TempHome fresh;
  test::LoopbackHttpServer missing;
  missing.setHandler([](const test::RecordedRequest&) {
    test::ScriptedResponse answer;
    answer.status = 404;
    return answer;
  });
  start();
  platform::Environment::setMapHostUrl(missing.url());
  EXPECT_EQ(run("map open"), Outcome::Failed);
  EXPECT_EQ(run("map offline"), Outcome::Failed);
  const std::string& why = runner_->lastMessage();
  EXPECT_NE(why.find("map offline: the map service at " + missing.url() + " sent no tiles of Demo City"),
            std::string::npos)
      << why;
  EXPECT_NE(why.find("the download is stopped"), std::string::npos) << why;
  ASSERT_EQ(run("map close"), Outcome::Done);
}

// Another run on the same home is downloading (it holds the home's offline data): map offline says
// so and asks for nothing, rather than racing it into the same files and blaming the map service.
// Once that run has let go, the city is asked for.
TEST_F(MapCommandsTest, ASecondOfflineDownloadOnOneHomeSaysAnotherRunHoldsIt) {
  start();
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  const std::string lockPath =
      gmengine::GetMainGlobalMan()->sysInfo.dataPath.ToUtf8() + "OfflineDownload.lock";
  fs::create_directories(fs::path(lockPath).parent_path());
  const int other = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(other, 0) << lockPath;
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(run("map offline"), Outcome::Failed);
    EXPECT_EQ(
        runner_->lastMessage(),
        "map offline: another run on this home is downloading its offline city; Demo City was not asked "
        "for (map offline again once that run is done)");
  }
  EXPECT_EQ(err_.str().find("downloading Demo City"), std::string::npos) << err_.str();
  auto offline = mapsdk::GMKOfflineMap::create();
  ASSERT_NE(offline, nullptr);
  EXPECT_EQ(offline->getUpdateInfo(test::MapDemoService::kDemoCityId), nullptr);
  ::close(other);

  // Let go: this run takes the download, and a host that fails makes it end soon.
  test::LoopbackHttpServer missing;
  missing.setHandler([](const test::RecordedRequest&) {
    test::ScriptedResponse answer;
    answer.status = 404;
    return answer;
  });
  platform::Environment::setMapHostUrl(missing.url());
  EXPECT_EQ(run("map offline"), Outcome::Failed);
  EXPECT_NE(runner_->lastMessage().find("sent no tiles of Demo City"), std::string::npos)
      << runner_->lastMessage();
  auto city = offline->getUpdateInfo(test::MapDemoService::kDemoCityId);
  ASSERT_NE(city, nullptr);
  EXPECT_EQ(city->status(), gmengine::OfflineCityState::Stopped);
  ASSERT_EQ(run("map close"), Outcome::Done);
}

// A map service that cuts every tile short: none is stored, the summary says how many and names
// the first, and the next download, from a good service, fetches and stores every one.
TEST_F(MapCommandsTest, TilesCutShortAreNotStoredButSaidAndTheNextDownloadFetchesThem) {
  test::MapFixtureServer fixture;
  test::LoopbackHttpServer cutting;
  cutting.setHandler([&](const test::RecordedRequest& r) {
    if (r.target.rfind("/tile/", 0) != 0) {
      test::ScriptedResponse answer;
      answer.status = 404;
      return answer;
    }
    const std::string type = test::MapDemoService::query(r.target, "type");
    const int level = std::atoi(test::MapDemoService::query(r.target, "l").c_str());
    std::vector<std::optional<std::string>> tiles;
    std::istringstream keys(test::MapDemoService::query(r.target, "c"));
    for (std::string key; std::getline(keys, key, ',');) {
      int column = 0, row = 0;
      if (std::sscanf(key.c_str(), "%d_%d", &column, &row) != 2) {
        tiles.emplace_back(std::nullopt);
        continue;
      }
      std::string tile = fixture.tile(type.empty() ? "map" : type, level, column, row);
      tile.resize(tile.size() / 2);
      tiles.emplace_back(std::move(tile));
    }
    return test::ScriptedResponse::ok(test::MapFixtureServer::buildBatch(tiles));
  });
  start();
  platform::Environment::setMapHostUrl(cutting.url());
  run("map open");  // no tile draws
  // Nothing stored is no success, and no package is said to be stored anywhere.
  ASSERT_EQ(run("map offline"), Outcome::Failed) << err_.str();
  const std::string& why = runner_->lastMessage();
  EXPECT_NE(why.find("map offline: no tile of Demo City was stored: all 5461 that came did not decode (11/"),
            std::string::npos)
      << why;
  EXPECT_NE(why.find("the next download fetches them again"), std::string::npos) << why;
  // The first few are named, and the rest only said to be there.
  EXPECT_NE(why.find(", ...); the next download"), std::string::npos) << why;
  EXPECT_EQ(err_.str().find("stored in"), std::string::npos) << err_.str();
  EXPECT_EQ(out_.str().find("tiles stored"), std::string::npos) << out_.str();
  ASSERT_EQ(run("map close"), Outcome::Done);

  out_.str("");
  runner::registerMapCommands();  // the demo map service, whose tiles are whole
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map offline"), Outcome::Done) << err_.str();
  EXPECT_NE(out_.str().find("Demo City: 5461 tiles stored\n"), std::string::npos) << out_.str();
  // Again: the city is there, and nothing is asked of the map service.
  out_.str("");
  ASSERT_EQ(run("map offline"), Outcome::Done) << err_.str();
  EXPECT_EQ(out_.str(), "Demo City: 5461 tiles stored before; nothing to download\n");
  ASSERT_EQ(run("map host close"), Outcome::Done);
  EXPECT_EQ(run("map host close"), Outcome::Failed) << "closed already";
  EXPECT_EQ(runner_->lastMessage(), "map host close: the map service is closed already");
  ASSERT_EQ(run("map zoom 15"), Outcome::Done);
  EXPECT_EQ(run("map expect drawn"), Outcome::Done) << runner_->lastMessage();
  ASSERT_EQ(run("map close"), Outcome::Done);
}

TEST_F(MapCommandsTest, MisusedMapCommandsAreUsageErrorsAndNothingMoves) {
  start();
  EXPECT_EQ(run("map"), Outcome::Usage);
  EXPECT_EQ(run("map pan 0 0"), Outcome::Failed) << "no map on screen";
  EXPECT_NE(runner_->lastMessage().find("no map on screen"), std::string::npos) << runner_->lastMessage();
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map status"), Outcome::Done);
  const std::string before = out_.str();
  for (const char* line : {"map pan 1e308 1e308",
                           "map pan nan 0",
                           "map pan inf 1",
                           "map pan 1",
                           "map pan 1 2 3",
                           "map locate 91 0",
                           "map locate 0 nan",
                           "map locate",
                           "map zoom 19",
                           "map expect",
                           "map expect pins x",
                           "map expect drawn now",
                           "map snap",
                           "map open again",
                           "map close now",
                           "map engine on",
                           "map wait 5",
                           "map route home",
                           "map offline Demo",
                           "map status now"}) {
    EXPECT_EQ(run(line), Outcome::Usage) << line;
  }
  EXPECT_EQ(runner_->lastMessage(), "map status (it takes no words)");
  ASSERT_EQ(run("map status"), Outcome::Done);
  const std::string after = out_.str().substr(before.size());
  EXPECT_EQ(before.substr(before.rfind("level")), after) << "the map stayed where it was";
}

// The engine keeps one map for every view: the map screen opens at the runner's centre and level,
// not where the job map left it.
TEST_F(MapCommandsTest, TheMapScreenOpensAtTheDefaultCentreWhereverTheLastMapWasLeft) {
  start();
  ASSERT_EQ(run("tap 地图找工作"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map wait"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("back"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  out_.str("");
  ASSERT_EQ(run("map status"), Outcome::Done) << err_.str();
  int level = 0, x = 0, y = 0;
  ASSERT_EQ(std::sscanf(out_.str().c_str(), "level %d centre %d,%d", &level, &x, &y), 3) << out_.str();
  EXPECT_EQ(level, gmengine::kInitialLevel) << out_.str();
  EXPECT_NEAR(x, gmengine::kInitialCenterX, 1) << out_.str();
  EXPECT_NEAR(y, gmengine::kInitialCenterY, 1) << out_.str();
  ASSERT_EQ(run("map close"), Outcome::Done);
}

TEST_F(MapCommandsTest, MapSnapWritesUnderTheOutFolderAndSaysWhatItWrote) {
  start();
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map expect drawn"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map snap map.png"), Outcome::Done) << err_.str();
  const fs::path written = fs::path(pictures_.path()) / "map.png";
  EXPECT_TRUE(fs::exists(written));
  EXPECT_NE(out_.str().find("wrote " + written.string()), std::string::npos) << out_.str();
}

// "map expect drawn" looks at what is drawn: a tile of the window showing another tile's picture,
// or tiles gone black, fail it, naming the tile and how much of the map is dark.
TEST_F(MapCommandsTest, ExpectDrawnFailsOnATileThatIsNotTheServicesOrOnADarkMap) {
  start();
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map expect drawn"), Outcome::Done) << err_.str();
  gmengine::CMapControlBlock* control = gmengine::MapControlOfEngine();
  ASSERT_TRUE(control);
  auto& needed = control->StreetLayer().Needed();
  ASSERT_GE(needed.GetSize(), 3);
  ASSERT_TRUE(needed[0].data && needed[1].data && needed[2].data);
  // The centre tile shows its neighbour's picture, as a batch's tiles taken for another's would.
  std::copy_n(static_cast<const std::uint32_t*>(needed[1].data), 256 * 256,
              static_cast<std::uint32_t*>(needed[0].data));
  err_.str("");
  EXPECT_EQ(run("map expect drawn"), Outcome::Failed);
  const std::string key =
      std::to_string(needed[0].level) + "/" + std::to_string(needed[0].x) + "/" + std::to_string(needed[0].y);
  EXPECT_NE(err_.str().find("not the map service's"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find(key), std::string::npos) << err_.str();
  // Two tiles black: a map drawn dark.
  for (int i = 1; i <= 2; ++i)
    std::fill_n(static_cast<std::uint32_t*>(needed[i].data), 256 * 256, 0xFF000000u);
  err_.str("");
  EXPECT_EQ(run("map expect drawn"), Outcome::Failed);
  EXPECT_NE(err_.str().find("is dark"), std::string::npos) << err_.str();
  // Every tile one colour of land, no street on it: the colour that covers the map is named.
  for (int i = 0; i < needed.GetSize(); ++i)
    if (needed[i].data) std::fill_n(static_cast<std::uint32_t*>(needed[i].data), 256 * 256, 0xFFF1EFE9u);
  err_.str("");
  EXPECT_EQ(run("map expect drawn"), Outcome::Failed);
  EXPECT_NE(err_.str().find("shows no streets"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("one colour #F1EFE9"), std::string::npos) << err_.str();
}

// With the traffic over it, the map is the service's street tiles with the service's traffic drawn
// over them, the traffic's blended edges left out of the comparison: "map expect drawn" holds.
TEST_F(MapCommandsTest, ExpectDrawnComparesTheTrafficDrawnOverTheStreets) {
  start();
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map traffic on"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map expect traffic"), Outcome::Done) << err_.str();
  EXPECT_EQ(run("map expect drawn"), Outcome::Done) << err_.str();
  // Taken off, the traffic leaves the streets alone in the picture (a hidden layer lets its tiles'
  // pictures go).
  ASSERT_EQ(run("map traffic off"), Outcome::Done) << err_.str();
  EXPECT_EQ(run("map expect drawn"), Outcome::Done) << runner_->lastMessage();
  ASSERT_EQ(run("map traffic on"), Outcome::Done) << err_.str();
  // Close in, only small streets: the traffic tiles come with no busy road, and show none.
  ASSERT_EQ(run("map zoom 16"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map pan -250 -250"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map pan -250 -250"), Outcome::Done) << err_.str();
  EXPECT_EQ(run("map expect traffic"), Outcome::Done) << runner_->lastMessage();
  EXPECT_EQ(run("map expect drawn"), Outcome::Done) << runner_->lastMessage();
  // Far out the map shows no traffic: the picture is the streets' alone, and no traffic is there.
  ASSERT_EQ(run("map zoom 3"), Outcome::Done) << err_.str();
  EXPECT_EQ(run("map expect drawn"), Outcome::Done) << runner_->lastMessage();
  EXPECT_EQ(run("map expect traffic"), Outcome::Failed);
  EXPECT_NE(runner_->lastMessage().find("map expect traffic: the map shows no traffic at level 3"),
            std::string::npos)
      << runner_->lastMessage();
}

// "map status" counts the tiles the map on screen holds: after "map wait" every tile of its window
// has come, each one asked of the map service, and the figures printed are those tiles.
TEST_F(MapCommandsTest, MapStatusCountsTheTilesTheMapAskedForAndHolds) {
  test::MapFixtureServer fixture;
  start();
  platform::Environment::setMapHostUrl(fixture.hostUrl() + "/");
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map wait"), Outcome::Done) << err_.str();
  out_.str("");
  ASSERT_EQ(run("map status"), Outcome::Done) << err_.str();
  const std::string printed = out_.str();
  const std::size_t at = printed.find(" tiles ");
  ASSERT_NE(at, std::string::npos) << printed;
  int arrived = -1, needed = -1;
  ASSERT_EQ(std::sscanf(printed.c_str() + at, " tiles %d/%d", &arrived, &needed), 2) << printed;

  gmengine::CMapControlBlock* control = gmengine::MapControlOfEngine();
  ASSERT_TRUE(control);
  const auto& tiles = control->StreetLayer().Needed();
  EXPECT_EQ(needed, tiles.GetSize()) << printed;
  EXPECT_GE(needed, 6) << "a phone's window holds several tiles";
  EXPECT_EQ(arrived, needed) << printed;
  const std::vector<std::string> asked = fixture.requestedKeys();
  int held = 0;
  for (const auto& tile : tiles) {
    held += tile.data ? 1 : 0;
    const std::string key = std::to_string(tile.x) + "_" + std::to_string(tile.y);
    EXPECT_NE(std::find(asked.begin(), asked.end(), key), asked.end()) << key << " never asked for";
  }
  EXPECT_EQ(arrived, held) << printed;

  // A level whose tiles cannot come: the figures part, and each still says what the map holds.
  SilentHost silent;
  platform::Environment::setMapHostUrl(silent.url());
  struct Patience {
    Patience() { runner::Runner::setRequestPatience(2); }
    ~Patience() { runner::Runner::setRequestPatience(60); }
  } patience;
  EXPECT_EQ(run("map zoom 15"), Outcome::Failed);
  out_.str("");
  ASSERT_EQ(run("map status"), Outcome::Done) << err_.str();
  const std::string waiting = out_.str();
  const std::size_t waitingAt = waiting.find(" tiles ");
  ASSERT_NE(waitingAt, std::string::npos) << waiting;
  ASSERT_EQ(std::sscanf(waiting.c_str() + waitingAt, " tiles %d/%d", &arrived, &needed), 2) << waiting;
  held = 0;
  for (const auto& tile : tiles) held += tile.data ? 1 : 0;
  EXPECT_EQ(needed, tiles.GetSize()) << waiting;
  EXPECT_EQ(arrived, held) << waiting;
  EXPECT_LT(arrived, needed) << waiting;
  ASSERT_EQ(run("map close"), Outcome::Done);
}

// "map expect places" reads the dots in the picture: before any place came it says so; switched
// on, the places show; switched off again, none shows its dot, and it fails counting exactly the
// places that came and stand inside the picture.
TEST_F(MapCommandsTest, ExpectPlacesLooksForTheirDotsInThePicture) {
  start();
  ASSERT_EQ(run("tap 地图找工作"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map wait"), Outcome::Done) << err_.str();
  EXPECT_EQ(run("map expect places"), Outcome::Failed);
  std::string said = runner_->lastMessage();
  EXPECT_EQ(said.rfind("map expect places: 0 of 0 small places on the visible map (level 14 at ", 0), 0u)
      << said;
  EXPECT_TRUE(said.ends_with(") show their dot #8C5A2B; none came from the map service at " +
                             platform::Environment::mapHostUrl()))
      << said;

  ASSERT_EQ(run("map places on"), Outcome::Done) << err_.str();
  EXPECT_EQ(run("map expect places"), Outcome::Done) << runner_->lastMessage();
  ASSERT_EQ(run("map places off"), Outcome::Done) << err_.str();
  // Where the map opened and dragged a little right and up, places lie past each edge of the picture:
  // those within it, and only those, are counted.
  int pastLeft = 0, pastRight = 0, pastTop = 0, pastBottom = 0;
  for (const char* move : {"", "map pan 30 -10"}) {
    if (*move) {
      ASSERT_EQ(run(move), Outcome::Done) << err_.str();
    }
    EXPECT_EQ(run("map expect places"), Outcome::Failed) << move;
    said = runner_->lastMessage();
    int drawn = -1, inside = -1;
    ASSERT_EQ(std::sscanf(said.c_str(), "map expect places: %d of %d small places", &drawn, &inside), 2)
        << said;
    EXPECT_EQ(drawn, 0) << said;
    gmengine::CMapControlBlock* control = gmengine::MapControlOfEngine();
    ASSERT_TRUE(control);
    int came = 0;
    for (const auto& tile : control->BackgroundLayer().Tiles()) came += tile.pois.GetSize();
    const mapsdk::GMKMapProbe::Status picture = mapsdk::GMKMapProbe::status();
    const std::vector<mapsdk::GMKPicturePoint> places = mapsdk::GMKMapProbe::smallPlaces();
    EXPECT_EQ(static_cast<int>(places.size()), came) << said;
    int within = 0;
    for (const mapsdk::GMKPicturePoint& p : places) {
      const bool across = p.x >= 0 && p.x < picture.width, down = p.y >= 0 && p.y < picture.height;
      within += across && down;
      pastLeft += down && p.x < 0;
      pastRight += down && p.x >= picture.width;
      pastTop += across && p.y < 0;
      pastBottom += across && p.y >= picture.height;
    }
    EXPECT_GT(inside, 0) << said;
    EXPECT_EQ(inside, within) << said;
    EXPECT_TRUE(said.ends_with(") show their dot #8C5A2B")) << said;
  }
  EXPECT_GT(pastLeft, 0);
  EXPECT_GT(pastRight, 0);
  EXPECT_GT(pastTop, 0);
  EXPECT_GT(pastBottom, 0);
}

// Pixels of the screen, drawn at the device's scale, in a colour (RRGGBB).
int pixelsOnScreenIn(std::uint32_t rgb) {
  const auto image = platform::Snapshot::imageOfScreen(2);
  if (!image || !image->bitmap()) return -1;
  const auto& bitmap = *image->bitmap();
  int n = 0;
  for (int y = 0; y < bitmap.height(); ++y) {
    for (int x = 0; x < bitmap.width(); ++x) {
      const platform::Pixel p = bitmap.pixelAt(x, y);
      n += ((std::uint32_t(p.r) << 16) | (std::uint32_t(p.g) << 8) | p.b) == rgb;
    }
  }
  return n;
}

// "map route" asks the map service for the route between two places of the demo city and draws it
// on the map on screen, between them.
TEST_F(MapCommandsTest, TheRouteIsAskedBetweenTwoPlacesOfTheMapAndDrawnOnIt) {
  start();
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  const std::uint32_t blue = mapsdk::layerstyles::kRouteColor & 0xFFFFFFu;
  const int before = pixelsOnScreenIn(blue);  // what the map shows in that blue already
  ASSERT_GE(before, 0);
  ASSERT_EQ(run("map route"), Outcome::Done) << err_.str();
  // Five pixels wide from one place to the other, a hundred and more pixels apart.
  EXPECT_GT(pixelsOnScreenIn(blue), before + 5 * 100);
  EXPECT_NE(out_.str().find("route from Station Coffee to Harbour Coffee drawn on the map, "),
            std::string::npos)
      << out_.str();
  EXPECT_EQ(out_.str().find("off the visible map"), std::string::npos) << out_.str();
  ASSERT_EQ(run("map close"), Outcome::Done);
}

// A command that can do nothing says so and fails: a zoom past the last level, a second close.
TEST_F(MapCommandsTest, AMapCommandThatDoesNothingSaysSo) {
  start();
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map zoom 18"), Outcome::Done) << err_.str();
  EXPECT_EQ(run("map zoom in"), Outcome::Failed);
  EXPECT_EQ(runner_->lastMessage(), "map zoom in: the map is at its closest level already, 18");
  ASSERT_EQ(run("map zoom out"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map zoom 3"), Outcome::Done) << err_.str();
  EXPECT_EQ(run("map zoom out"), Outcome::Failed);
  EXPECT_EQ(runner_->lastMessage(), "map zoom out: the map is at its farthest level already, 3");
  ASSERT_EQ(run("map zoom in"), Outcome::Done) << err_.str();
  ASSERT_EQ(run("map close"), Outcome::Done);
  EXPECT_EQ(run("map close"), Outcome::Failed);
  EXPECT_EQ(runner_->lastMessage(), "map close: no map screen is open (map open opens it)");
  // The job map is a screen's own: closing is its back button.
  ASSERT_EQ(run("tap 地图找工作"), Outcome::Done) << err_.str();
  EXPECT_EQ(run("map close"), Outcome::Failed);
  EXPECT_NE(runner_->lastMessage().find("back leaves it"), std::string::npos) << runner_->lastMessage();
}

// The map screen stands in the application's frame: the status-bar area above its bar looks as it
// does on every other screen, and the map starts below the bar.
TEST_F(MapCommandsTest, TheMapScreenHasTheStatusBarAreaOfEveryScreen) {
  start();
  const auto home = platform::Snapshot::imageOfScreen(1);
  ASSERT_TRUE(home && home->bitmap());
  ASSERT_EQ(run("map open"), Outcome::Done) << err_.str();
  const auto map = platform::Snapshot::imageOfScreen(1);
  ASSERT_TRUE(map && map->bitmap());
  for (int x : {2, 160, 317}) {
    for (int y : {1, 10, 18}) {
      EXPECT_EQ(map->bitmap()->pixelAt(x, y), home->bitmap()->pixelAt(x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(run("expect \"Map\""), Outcome::Done) << err_.str();  // the screen's title in its bar
}

}  // namespace
}  // namespace kavro
