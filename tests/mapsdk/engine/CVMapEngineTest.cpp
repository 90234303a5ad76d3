#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/mapsdk/engine/EngineTestParts.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

using namespace gmengine;

namespace {

// Records what reaches each part, the display and the notifier.
class CVMapEngineTest : public kavro::test::VirtualRunLoopTest {
 protected:
  class Display : public EngineDisplay {
   public:
    explicit Display(std::vector<std::string>& log) : log_(log) {}
    void Repaint(CVWnd*) override { log_.push_back("repaint"); }
    void SlideStep() override { log_.push_back("slide"); }
    void MoveAlongPath(int packed, int direction) override {
      log_.push_back("path " + std::to_string(packed) + " " + std::to_string(direction));
    }
    void AnimationStep() override { log_.push_back("step"); }
    void ResetLocation() override { log_.push_back("reset"); }
    int InitMapWindow(CVWnd*, int x, int y, int, int, int r, int b, int level) override {
      log_.push_back(std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(r) + "x" +
                     std::to_string(b) + " " + std::to_string(level));
      return 1;
    }
    void OnSearchAnswer(SearchType type, SearchError error, const SearchAnswer* answer) override {
      log_.push_back("map " + std::to_string(ToInt(type)) + " " + std::to_string(ToInt(error)) +
                     (answer ? " answer" : ""));
    }
    void OnPoiBkgData(SearchError error) override { log_.push_back("bkg " + std::to_string(ToInt(error))); }

   private:
    std::vector<std::string>& log_;
  };

  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    ASSERT_EQ(InitMapEngine(), 1);
    engine = GetMainGlobalMan()->engine.get();
    Recorder(EngineSlot::Location, "location");
    Recorder(EngineSlot::MapControl, "mapControl");
    Recorder(EngineSlot::Search, "search");
    Recorder(EngineSlot::OfflineTaskMan, "offlineTask");
    engine->SetDisplay(std::make_unique<Display>(log));
    auto notifier = std::make_unique<enginetest::FunctionNotifier>();
    notifier->answer = [this](SearchType type, SearchError error, const SearchAnswer*) {
      log.push_back("notifier " + std::to_string(ToInt(NotifierKindOf(type))) + " " +
                    std::to_string(ToInt(DelegateErrorOf(error))) + " " + std::to_string(ToInt(type)));
    };
    notifier->offline = [this](int state, int value) {
      log.push_back("offline " + std::to_string(state) + " " + std::to_string(value));
    };
    engine->SetNotifier(std::move(notifier));
  }
  void TearDown() override {
    UnInitMapEngine();
    VirtualRunLoopTest::TearDown();
  }
  void Recorder(EngineSlot slot, std::string name) {
    enginetest::Route(*engine, slot, [this, name](int m, int w, int l) {
      log.push_back(name + " " + std::to_string(m) + " " + std::to_string(w) + " " + std::to_string(l));
      return 0;
    });
  }
  int Engine(EngineMsg m, int w, int l) { return engine->EngineMessageProc({ToInt(m), w, l, nullptr}); }
  int Timer(EngineTimer timer) { return Engine(EngineMsg::Timer, ToInt(timer), 0); }
  int Http(EngineMsg m, EngineClient client, int tag) { return Engine(m, ToInt(client), tag); }
  int Ui(EngineMsg m, int w, int l) { return engine->UIMessageProc({ToInt(m), w, l, nullptr}); }
  // A line of the log: what the part heard.
  static std::string Heard(const std::string& part, EngineMsg m, int w, int l) {
    return part + " " + std::to_string(ToInt(m)) + " " + std::to_string(w) + " " + std::to_string(l);
  }
  static std::string Heard(const std::string& part, EngineTimer timer) {
    return Heard(part, EngineMsg::Timer, ToInt(timer), 0);
  }
  static std::string Heard(const std::string& part, EngineMsg m, EngineClient client, int tag) {
    return Heard(part, m, ToInt(client), tag);
  }
  std::vector<std::string> Take() { return std::exchange(log, {}); }

  kavro::test::TempHome home;
  CVMapEngine* engine = nullptr;
  std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST_F(CVMapEngineTest, TheGlobalCarriesTheEngineSettings) {
  CVMainGlobalMan* global = GetMainGlobalMan();
  ASSERT_NE(global, nullptr);
  EXPECT_EQ(GetGlobalMan(), global);
  EXPECT_EQ(InitMapEngine(), 1);
  EXPECT_EQ(GetMainGlobalMan(), global);  // built once
  EXPECT_EQ(global->sysInfo.dataPath.ToUtf8(), home.path() + "/Library/Caches/GeoMapSdk/");
  EXPECT_EQ(global->sysInfo.offlineDownload, -1);
  EXPECT_EQ(global->bitsPerPixel, 32);
  EXPECT_EQ(global->sysInfo.screen.width, 640);
  EXPECT_EQ(engine->dpiX, 326);
  EXPECT_NE(GetUrlTranslater(), nullptr);
}

TEST_F(CVMapEngineTest, EngineMessagesGoToThePartsThatOwnThem) {
  Timer(EngineTimer::OfflineTask);
  EXPECT_EQ(Take(),
            (Log{Heard("offlineTask", EngineTimer::OfflineTask), Heard("location", EngineTimer::OfflineTask),
                 Heard("mapControl", EngineTimer::OfflineTask)}));
  Timer(EngineTimer::Location);
  EXPECT_EQ(Take(),
            (Log{Heard("location", EngineTimer::Location), Heard("mapControl", EngineTimer::Location)}));
  Http(EngineMsg::HttpComplete, EngineClient::OfflineTask, 5);
  Http(EngineMsg::HttpAttemptsOver, EngineClient::OfflineTask,
       5);  // the catalogue client's failures stay with it
  Http(EngineMsg::HttpMarkupPage, EngineClient::OfflineTask, 5);
  EXPECT_EQ(Take(), (Log{Heard("offlineTask", EngineMsg::HttpComplete, EngineClient::OfflineTask, 5),
                         Heard("offlineTask", EngineMsg::HttpMarkupPage, EngineClient::OfflineTask, 5)}));
  Http(EngineMsg::HttpComplete, EngineClient::Search, 1);
  Http(EngineMsg::HttpConnectFailed, EngineClient::CityCenter, 1);
  Http(EngineMsg::HttpComplete, EngineClient::Location, 0);
  Http(EngineMsg::HttpTimeout, EngineClient::LocationUpload, 0);
  Http(EngineMsg::HttpData, EngineClient::Street, 7);
  Http(EngineMsg::HttpComplete, EngineClient::Satellite, 7);
  Http(EngineMsg::HttpComplete, EngineClient::OfflineBatch, 8);
  Engine(EngineMsg::HttpTooLarge, 40, 9);  // an id of no known client: a tile client of the map
  EXPECT_EQ(Take(), (Log{Heard("search", EngineMsg::HttpComplete, EngineClient::Search, 1),
                         Heard("search", EngineMsg::HttpConnectFailed, EngineClient::CityCenter, 1),
                         Heard("location", EngineMsg::HttpComplete, EngineClient::Location, 0),
                         Heard("location", EngineMsg::HttpTimeout, EngineClient::LocationUpload, 0),
                         Heard("mapControl", EngineMsg::HttpData, EngineClient::Street, 7),
                         Heard("mapControl", EngineMsg::HttpComplete, EngineClient::Satellite, 7),
                         Heard("mapControl", EngineMsg::HttpComplete, EngineClient::OfflineBatch, 8),
                         Heard("mapControl", EngineMsg::HttpTooLarge, 40, 9)}));
  Engine(EngineMsg::OfflineCommand, 2, 3);
  EXPECT_EQ(Take(), (Log{Heard("mapControl", EngineMsg::OfflineCommand, 2, 3),
                         Heard("location", EngineMsg::OfflineCommand, 2, 3)}));
  // Background POI data is the background layer's, on the display.
  Engine(EngineMsg::PoiBkgData, ToInt(SearchType::PoiBkgData), ToInt(SearchError::Network));
  EXPECT_EQ(Take(), (Log{"bkg " + std::to_string(ToInt(SearchError::Network))}));
}

TEST_F(CVMapEngineTest, UiMessagesReachTheNotifierAndTheDisplay) {
  Ui(EngineMsg::SearchResult, ToInt(SearchType::Transit), ToInt(SearchError::TransitFailed));
  Ui(EngineMsg::SearchResult, ToInt(SearchType::PoiInCity), ToInt(SearchError::None));
  Ui(EngineMsg::SearchResult, 999, ToInt(SearchError::Unparsable));
  Ui(EngineMsg::SearchResult, ToInt(SearchType::Suggestion), ToInt(SearchError::BadAnswer));
  Ui(EngineMsg::OfflineState, ToInt(OfflineState::NewerVersion), 55);
  Ui(EngineMsg::LocationChanged, 0, 0);
  Ui(EngineMsg::Repaint, 0, 0);
  EXPECT_EQ(Take(), (Log{"notifier 2 100 14", "map 14 13", "notifier 1 0 11", "map 11 0", "notifier 0 3 999",
                         "map 999 3", "notifier 15 101 506", "map 506 101", "offline 4 55", "repaint"}));
  EXPECT_EQ(NotifierKindOf(SearchType::NetworkState), NotifierKind::NetworkState);
  EXPECT_EQ(NotifierKindOf(SearchType::OfflineCities), NotifierKind::OfflineCities);
}

TEST_F(CVMapEngineTest, SlideAndPathStepsOfTheUiQueueReachTheDisplay) {
  Ui(EngineMsg::SlideStep, 0, 0);
  Ui(EngineMsg::PathStep, 65537, 1);
  EXPECT_EQ(Take(), (Log{"slide", "path 65537 1"}));
}

TEST_F(CVMapEngineTest, AnimationMessagesPostNotificationsAndStepLater) {
  auto& center = platform::NotificationCenter::defaultCenter();
  auto begin = center.addObserver(NotificationEngineAnimationBegin, nullptr,
                                  [this](const platform::Notification&) { log.push_back("begin"); });
  auto end = center.addObserver(NotificationEngineAnimationEnd, nullptr,
                                [this](const platform::Notification&) { log.push_back("end"); });
  Ui(EngineMsg::AnimationBegin, 0, 0);
  EXPECT_EQ(Take(), Log{"begin"});
  runFor(0.005);
  EXPECT_TRUE(Take().empty());
  runFor(0.005);
  EXPECT_EQ(Take(), Log{"step"});
  Ui(EngineMsg::AnimationEnd, 0, 0);
  EXPECT_EQ(Take(), Log{"end"});
  center.removeObserver(begin);
  center.removeObserver(end);
}

TEST_F(CVMapEngineTest, StartRedrawsAndResetsWhatExistsAndRoutesQueuedMessages) {
  EXPECT_EQ(engine->Start(), 1);
  EXPECT_TRUE(engine->IsStarted());
  EXPECT_EQ(Take(), (Log{"repaint", "reset"}));
  GetGlobalMan()->dispatcher->PostMessage(CVMsgDispatcher::kEngineQueue, ToInt(EngineMsg::OfflineCommand),
                                          510, 0);
  GetGlobalMan()->dispatcher->PostMessage(CVMsgDispatcher::kUIQueue, ToInt(EngineMsg::SearchResult),
                                          ToInt(SearchType::ReverseGeocode), 0);
  runFor(0);
  EXPECT_EQ(Take(),
            (Log{"notifier 6 0 44", "map 44 0", Heard("mapControl", EngineMsg::OfflineCommand, 510, 0),
                 Heard("location", EngineMsg::OfflineCommand, 510, 0)}));
  EXPECT_EQ(engine->Stop(), 1);
  EXPECT_FALSE(GetGlobalMan()->dispatcher->IsTimerRunning());
}

TEST_F(CVMapEngineTest, CreateMapWindowNeedsAMapControlBlockAndAWindow) {
  int window = 0;
  auto* wnd = reinterpret_cast<CVWnd*>(&window);
  engine->Remove(EngineSlot::MapControl);
  EXPECT_EQ(engine->CreateMapWindow(wnd, 12958162, 4825907, 0, 0, 5, 5, 12), 0);
  Recorder(EngineSlot::MapControl, "mapControl");
  EXPECT_EQ(engine->CreateMapWindow(nullptr, 0, 0, 0, 0, 5, 5, 12), 0);
  EXPECT_EQ(engine->CreateMapWindow(wnd, 12958162, 4825907, 0, 0, 5, 5, 12), 1);
  EXPECT_EQ(GetMainGlobalMan()->mapWindow, wnd);
  EXPECT_EQ(Take(), Log{"12958162,4825907 5x5 12"});
  GetMainGlobalMan()->mapWindow = nullptr;
}

// Parts that say when they shut down and when they go.
class TeardownPart : public EnginePart {
 public:
  TeardownPart(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
  ~TeardownPart() override { log_.push_back("destroy " + name_); }
  void Shutdown() override { log_.push_back("shutdown " + name_); }

 private:
  std::vector<std::string>& log_;
  std::string name_;
};

// A display that says which parts it hears of.
class PartsDisplay : public EngineDisplay {
 public:
  explicit PartsDisplay(std::vector<std::string>& log) : log_(log) {}
  void OnPartInstalled(EngineSlot slot, EnginePart&) override {
    log_.push_back("installed " + std::to_string(static_cast<int>(slot)));
  }
  void OnPartRemoved(EngineSlot slot) override {
    log_.push_back("removed " + std::to_string(static_cast<int>(slot)));
  }

 private:
  std::vector<std::string>& log_;
};

TEST_F(CVMapEngineTest, ADisplayHearsOfThePartsAlreadyThereOfNewOnesAndOfEachOneBeforeItGoes) {
  // The set-up installed the map control, location, search and offline task parts before its display.
  Log heard;
  engine->SetDisplay(std::make_unique<PartsDisplay>(heard));
  EXPECT_EQ(heard, (Log{"installed 0", "installed 1", "installed 2", "installed 5"}));
  heard.clear();
  engine->Remove(EngineSlot::Location);
  engine->Install(EngineSlot::Location, std::make_unique<TeardownPart>(heard, "location"));
  engine->Install(EngineSlot::Location,
                  std::make_unique<TeardownPart>(heard, "second"));  // the slot is taken
  engine->Remove(EngineSlot::Location);
  EXPECT_EQ(heard, (Log{"removed 1", "installed 1", "destroy second", "removed 1", "shutdown location",
                        "destroy location"}));
  engine->SetDisplay(nullptr);  // before the log it writes to goes
}

// A part that says which other parts it hears of.
class ListeningPart : public EnginePart {
 public:
  ListeningPart(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
  void OnPartInstalled(EngineSlot slot, EnginePart&) override {
    log_.push_back(name_ + " installed " + std::to_string(static_cast<int>(slot)));
  }
  void OnPartRemoved(EngineSlot slot) override {
    log_.push_back(name_ + " removed " + std::to_string(static_cast<int>(slot)));
  }

 private:
  std::vector<std::string>& log_;
  std::string name_;
};

TEST_F(CVMapEngineTest, APartHearsOfThePartsAlreadyThereOfNewOnesAndOfEachOneBeforeItGoes) {
  // The set-up installed the map control, location, search and offline task parts.
  Log heard;
  engine->Install(EngineSlot::RecordMan, std::make_unique<ListeningPart>(heard, "records"));
  EXPECT_EQ(heard, (Log{"records installed 0", "records installed 1", "records installed 2",
                        "records installed 5"}));
  heard.clear();
  engine->Install(EngineSlot::VerDatsetMan, std::make_unique<ListeningPart>(heard, "versions"));
  engine->Install(EngineSlot::VerDatsetMan, std::make_unique<ListeningPart>(heard, "second"));  // taken
  EXPECT_EQ(heard, (Log{"versions installed 0", "versions installed 1", "versions installed 2",
                        "records installed 4", "versions installed 3", "versions installed 5"}));
  heard.clear();
  engine->Remove(EngineSlot::Search);
  engine->Remove(EngineSlot::VerDatsetMan);
  EXPECT_EQ(heard, (Log{"records removed 2", "versions removed 2", "records removed 4"}));
  engine->Remove(EngineSlot::RecordMan);  // before the log it writes to goes
}

TEST(CVMapEngineTeardownTest, TheEngineTearsItsPartsDownInTheirOrder) {
  kavro::test::TempHome home;
  std::vector<std::string> log;
  ASSERT_EQ(InitMapEngine(), 1);
  CVMapEngine& engine = *GetMainGlobalMan()->engine;
  // Installed in another order than they go.
  for (auto [slot, name] : {std::pair{EngineSlot::RecordMan, "records"},
                            {EngineSlot::Search, "search"},
                            {EngineSlot::Location, "location"},
                            {EngineSlot::MapControl, "map"}}) {
    engine.Install(slot, std::make_unique<TeardownPart>(log, name));
  }
  // A slot holds the first part put in it.
  engine.Install(EngineSlot::Search, std::make_unique<TeardownPart>(log, "second search"));
  EXPECT_EQ(log, (std::vector<std::string>{"destroy second search"}));
  log.clear();
  UnInitMapEngine();
  EXPECT_EQ(log, (std::vector<std::string>{"shutdown map", "destroy map", "shutdown location",
                                           "destroy location", "shutdown search", "destroy search",
                                           "shutdown records", "destroy records"}));
  EXPECT_EQ(GetMainGlobalMan(), nullptr);
}

TEST(CVMapEngineGlobalTest, NothingWithoutAnEngine) {
  EXPECT_EQ(GetMainGlobalMan(), nullptr);
  EXPECT_EQ(GetUrlTranslater(), nullptr);
  UnInitMapEngine();  // nothing to do
}

}  // namespace
