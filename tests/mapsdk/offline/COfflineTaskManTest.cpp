#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "demo/LoopbackHttpServer.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/COfflineTaskMan.h"
#include "mapsdk/offline/CVerDatsetMan.h"
#include "mapsdk/offline/OLRecordFile.h"
#include "mapsdk/search/CAppSearch.h"
#include "platform/foundation/Environment.h"
#include "tests/mapsdk/offline/OfflineTestSupport.h"

using namespace gmengine;
using kavro::test::LoopbackHttpServer;
using kavro::test::RecordedRequest;
using kavro::test::ScriptedResponse;

namespace {

class COfflineTaskManTest : public offline_test::OfflineEngineTest {
 protected:
  void SetUp() override {
    OfflineEngineTest::SetUp();
    platform::Environment::setMapHostUrl(server.url("/"));
    server.setHandler([this](const RecordedRequest& request) {
      if (request.target.find("taskcity") != std::string::npos) {
        return ScriptedResponse::ok(
            "{\"result\":{\"error\":0},\"content\":{\"version\":[{\"pic_version\":\"20\",\"task_version\":"
            "\"21\","
            "\"city_version\":\"" +
            cityVersion + "\"}]}}");
      }
      if (request.target.find("update/VerDatset.dat") != std::string::npos) {
        return ScriptedResponse::ok(
            "[{\"f\":\"OfflineSearch.dat\",\"d\":\"2.0\"},{\"f\":\"CMRequire.dat\",\"d\":\"9\"}]");
      }
      if (request.target.find("update/OfflineSearch.dat") != std::string::npos) {
        if (searchListFails) {
          ScriptedResponse failed;
          failed.status = 500;
          return failed;
        }
        return ScriptedResponse::ok("[{\"i\":\"131\",\"n\":\"Beijing\",\"sl\":1,\"sh\":2}]");
      }
      return ScriptedResponse::ok("<html></html>", {{"Content-Type", "text/html"}});
    });
    versions = engine->InstallAs(EngineSlot::VerDatsetMan, std::make_unique<CVerDatsetMan>());
    versions->Init(DataFolder());
    records = engine->InstallAs(EngineSlot::RecordMan, NewRecordMan());
    records->Init(DataFolder());
    tasks = engine->InstallAs(
        EngineSlot::OfflineTaskMan,
        std::make_unique<CountingTaskMan>(answers, engine, Dispatcher(), records, versions));
    ASSERT_EQ(tasks->Init(), 1);
    Dispatcher()->KillTimer(ToInt(EngineTimer::OfflineTask));  // the test ticks by hand
  }
  void TearDown() override {
    OfflineEngineTest::TearDown();
    platform::Environment::setMapHostUrl("");
  }
  // One timer tick, then the main loop until its answer was handled.
  bool Tick() {
    int before = answers;
    tasks->OnMessage(ToInt(EngineMsg::Timer), ToInt(EngineTimer::OfflineTask), 0);
    return RunUntil([&] { return answers > before; });
  }

  std::string cityVersion = "22";
  std::atomic<bool> searchListFails{false};
  LoopbackHttpServer server;
  int answers = 0;
  // Counts the answers it hands over.
  class CountingTaskMan : public COfflineTaskMan {
   public:
    CountingTaskMan(int& answers, CVMapEngine* engine, CVMsgDispatcher* dispatcher, COLRecordMan* records,
                    CVerDatsetMan* versions)
        : COfflineTaskMan(engine, dispatcher, records, versions), answers_(answers) {}
    int OnEngineMessage(EngineMsg message, int wParam, int lParam) override {
      int result = COfflineTaskMan::OnEngineMessage(message, wParam, lParam);
      if (message == EngineMsg::HttpComplete) ++answers_;
      return result;
    }

   private:
    int& answers_;
  };

  CVerDatsetMan* versions = nullptr;
  COLRecordMan* records = nullptr;
  CountingTaskMan* tasks = nullptr;
};

TEST_F(COfflineTaskManTest, FetchesTheCityListFirstThenTheCatalogueFiles) {
  tasks->AddUpdateFileTask(CVString("VerDatset.dat"), 0);
  tasks->AddCityListTask(2);
  ASSERT_EQ(tasks->GetTaskCount(), 2);

  ASSERT_TRUE(Tick());
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_NE(server.requests()[0].target.find("offlinemap/?qt=taskcity"), std::string::npos);
  COLVersionInfo version = records->GetVersion();
  EXPECT_EQ(version.d, CVString("20"));
  EXPECT_EQ(version.m, CVString("21"));
  EXPECT_EQ(version.c, CVString("22"));

  // The version list queues the newer search list; CMRequire.dat has no local version to differ.
  ASSERT_TRUE(Tick());
  ASSERT_EQ(tasks->GetTaskCount(), 1);
  ASSERT_TRUE(Tick());
  EXPECT_NE(server.requests()[2].target.find("update/OfflineSearch.dat"), std::string::npos);
  EXPECT_TRUE(records->HasCity(131));
  ASSERT_EQ(versions->Local().GetSize(), 2);
  EXPECT_EQ(versions->Local()[1].version, CVString("2.0"));
  EXPECT_EQ(tasks->GetTaskCount(), 0);
  tasks->OnMessage(ToInt(EngineMsg::Timer), ToInt(EngineTimer::OfflineTask), 0);
  EXPECT_EQ(server.requestCount(), 3u);
}

TEST_F(COfflineTaskManTest, AnAnswerMessageOfAnEarlierRequestIsNotReadAgain) {
  tasks->AddUpdateFileTask(CVString("VerDatset.dat"), 0);
  ASSERT_TRUE(Tick());
  ASSERT_EQ(versions->Server().GetSize(), 2);
  // The buffer still holds that answer; a message tagged for another request leaves it alone.
  tasks->OnMessage(ToInt(EngineMsg::HttpComplete), ToInt(EngineClient::OfflineTask), 0);
  tasks->OnMessage(ToInt(EngineMsg::HttpComplete), ToInt(EngineClient::OfflineTask), 7);
  EXPECT_EQ(versions->Server().GetSize(), 2);
}

// A queued task leaves the queue with the answer of its own request, once; messages tagged for an
// earlier request, or for none, or a failure, leave it to be fetched.
TEST_F(COfflineTaskManTest, AnswersOfOtherRequestsLeaveTheQueueAlone) {
  tasks->AddUpdateFileTask(CVString("VerDatset.dat"), 0);
  tasks->AddCityListTask(2);
  ASSERT_EQ(tasks->GetTaskCount(), 2);
  // Nothing asked yet.
  tasks->OnMessage(ToInt(EngineMsg::HttpComplete), ToInt(EngineClient::OfflineTask), 0);
  tasks->OnMessage(ToInt(EngineMsg::HttpComplete), ToInt(EngineClient::OfflineTask), 1);
  tasks->OnMessage(ToInt(EngineMsg::HttpData), ToInt(EngineClient::OfflineTask), 1);
  EXPECT_EQ(tasks->GetTaskCount(), 2);

  ASSERT_TRUE(Tick());
  ASSERT_EQ(tasks->GetTaskCount(), 1);
  EXPECT_EQ(records->GetVersion().c, CVString("22"));
  // The same answer again, and an earlier one: the catalogue file stays queued.
  tasks->OnMessage(ToInt(EngineMsg::HttpComplete), ToInt(EngineClient::OfflineTask), 1);
  tasks->OnMessage(ToInt(EngineMsg::HttpData), ToInt(EngineClient::OfflineTask), 1);
  tasks->OnMessage(ToInt(EngineMsg::HttpComplete), ToInt(EngineClient::OfflineTask), 0);
  EXPECT_EQ(tasks->GetTaskCount(), 1);
  EXPECT_EQ(versions->Server().GetSize(), 0);

  // It is fetched next; its answer queues the search list in its place.
  ASSERT_TRUE(Tick());
  ASSERT_EQ(server.requestCount(), 2u);
  EXPECT_NE(server.requests()[1].target.find("update/VerDatset.dat"), std::string::npos);
  EXPECT_EQ(versions->Server().GetSize(), 2);
  ASSERT_EQ(tasks->GetTaskCount(), 1);
  // A request that fails leaves its task for the next tick.
  searchListFails = true;
  tasks->OnMessage(ToInt(EngineMsg::Timer), ToInt(EngineTimer::OfflineTask), 0);
  ASSERT_TRUE(RunUntil([&] { return server.requestCount() >= 3u && !tasks->IsBusy(); }));
  Drain();
  EXPECT_EQ(tasks->GetTaskCount(), 1);
  EXPECT_FALSE(records->HasCity(131));
  searchListFails = false;
  ASSERT_TRUE(Tick());
  EXPECT_TRUE(records->HasCity(131));
  EXPECT_EQ(tasks->GetTaskCount(), 0);
}

// Its timer is the task manager's work: it is there once the manager is ready and gone with it.
TEST_F(COfflineTaskManTest, ItsTimerEndsWithIt) {
  {
    COfflineTaskMan other(engine, Dispatcher(), records, versions);
    ASSERT_EQ(other.Init(), 1);
  }
  EXPECT_EQ(Dispatcher()->KillTimer(ToInt(EngineTimer::OfflineTask)), 0);
  COfflineTaskMan kept(engine, Dispatcher(), records, versions);
  ASSERT_EQ(kept.Init(), 1);
  EXPECT_EQ(Dispatcher()->KillTimer(ToInt(EngineTimer::OfflineTask)), 1);
}

TEST_F(COfflineTaskManTest, AVersionAnswerWithADoubleByteTrailBackslashIsRead) {
  // The code-page bytes of the first character end in 0x5C: converted before parsing, they would
  // read as an escape and the whole answer would be dropped.
  cityVersion = "\u4e57x";
  ASSERT_NE(CVStringToMultiByte(CP_ACP, CVString(u"\u4e57")).find('\\'), std::string::npos);
  tasks->AddCityListTask(2);
  ASSERT_TRUE(Tick());
  COLVersionInfo version = records->GetVersion();
  EXPECT_EQ(version.c, CVString(u"\u4e57x"));
  EXPECT_EQ(version.d, CVString("20"));
}

TEST_F(COfflineTaskManTest, ANewCatalogueVersionAsksTheSearchForTheRecordedCitiesWhileItIsInstalled) {
  COLUpdateRecord city = offline_test::MakeRecord(7, {"1_1"});
  ASSERT_EQ(records->StoreRecord(city), 1);
  // The search comes after the records: the engine core hands it to them.
  CAppSearch* search = CAppSearch::install(*GetMainGlobalMan());
  ASSERT_NE(search, nullptr);
  COLVersionInfo version{CVString("2"), CVString("3"), CVString("4")};
  ASSERT_EQ(records->StoreVersion(version), 1);
  EXPECT_EQ(search->GetExpectedType(), SearchType::OfflineCities);
  // Once it is gone the version is still kept, and nothing is asked.
  engine->Remove(EngineSlot::Search);
  version.c = CVString("5");
  EXPECT_EQ(records->StoreVersion(version), 1);
  EXPECT_EQ(records->GetVersion().c, CVString("5"));
}

TEST_F(COfflineTaskManTest, WaitsWhileASearchClientIsBusy) {
  CHttpClient search;
  ASSERT_EQ(search.Init(GetMainGlobalMan()->engine->Services().Sockets(),
                        GetMainGlobalMan()->engine->Services().Dispatcher()),
            1);
  search.SetClientID(EngineClient::Search);
  ASSERT_EQ(tasks->AddHttpClient(&search), 1);
  EXPECT_EQ(tasks->AddHttpClient(nullptr), 0);
  LoopbackHttpServer slow;
  ScriptedResponse held;
  held.holdWithoutResponse = true;
  slow.enqueue(held);
  int tag = 1;
  ASSERT_EQ(search.RequestGet(CVString::FromUtf8(slow.url("/held")), tag, 0), 1);
  tasks->AddCityListTask(2);
  tasks->OnMessage(ToInt(EngineMsg::Timer), ToInt(EngineTimer::OfflineTask), 0);
  EXPECT_EQ(tasks->IsBusy(), 0);
  search.CancelRequest();
  ASSERT_TRUE(Tick());
  EXPECT_EQ(server.requestCount(), 1u);
}

}  // namespace
