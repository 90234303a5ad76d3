#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "demo/LoopbackHttpServer.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/search/CAppSearch.h"
#include "mapsdk/search/GMKNotifier.h"
#include "mapsdk/search/GMKSearch.h"
#include "mapsdk/search/GMKSearchTypes.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "tests/mapsdk/search/SearchTestSupport.h"
#include "tests/support/TempHome.h"

using namespace mapsdk;
using gmengine::CAppSearch;
using gmengine::DelegateError;
using gmengine::SearchType;
using kavro::test::LoopbackHttpServer;
using kavro::test::RecordedRequest;
using kavro::test::ScriptedResponse;
using searchtest::PointGeo;

namespace {

// Records every callback and the thread it came on.
class RecordingDelegate : public GMKSearchDelegate {
 public:
  struct Call {
    std::string name;
    DelegateError error = DelegateError::None;
    SearchType searchType = SearchType::None;
    bool onMain = false;
  };
  bool onGetPoiResult(const GMKArray<GMKPoiResult>& list, SearchType searchType,
                      DelegateError errorCode) override {
    poiResults = list;
    Record("poi", errorCode, searchType);
    return true;
  }
  bool onGetTransitRouteResult(const std::shared_ptr<GMKPlanResult>& result,
                               DelegateError errorCode) override {
    plan = result;
    Record("transit", errorCode);
    return true;
  }
  bool onGetDrivingRouteResult(const std::shared_ptr<GMKPlanResult>& result,
                               DelegateError errorCode) override {
    plan = result;
    Record("driving", errorCode);
    return true;
  }
  bool onGetBusDetailResult(const std::shared_ptr<GMKBusLineResult>& result,
                            DelegateError errorCode) override {
    busLine = result;
    Record("busline", errorCode);
    return true;
  }
  bool onGetAddrResult(const std::shared_ptr<GMKAddrInfo>& result, DelegateError errorCode) override {
    addr = result;
    Record("addr", errorCode);
    return true;
  }
  bool onGetSuggestionResult(const std::shared_ptr<GMKSuggestionResult>& result,
                             DelegateError errorCode) override {
    suggestion = result;
    Record("suggestion", errorCode);
    return true;
  }
  void Record(const char* name, DelegateError error, SearchType searchType = SearchType::None) {
    calls.push_back({name, error, searchType, std::this_thread::get_id() == mainThread});
  }

  std::thread::id mainThread = std::this_thread::get_id();
  std::vector<Call> calls;
  GMKArray<GMKPoiResult> poiResults;
  std::shared_ptr<GMKPlanResult> plan;
  std::shared_ptr<GMKAddrInfo> addr;
  std::shared_ptr<GMKSuggestionResult> suggestion;
  std::shared_ptr<GMKBusLineResult> busLine;
};

std::string Query(const RecordedRequest& request, const std::string& key) {
  std::string target = request.target;
  std::size_t at = target.find(key + "=");
  if (at == std::string::npos) return "";
  std::size_t end = target.find('&', at);
  return target.substr(at + key.size() + 1,
                       end == std::string::npos ? std::string::npos : end - at - key.size() - 1);
}

ScriptedResponse Json(std::string body) {
  return ScriptedResponse::ok(std::move(body), {{"Content-Type", "application/json; charset=utf-8"}});
}

// The engine on the real clock against a loopback map server, with one GMKSearch and a recording
// delegate.
// The background places of one level-15 tile.
gmengine::CVArray<gmengine::tag_PoiBkgDataElem> OneTile() {
  gmengine::CVArray<gmengine::tag_PoiBkgDataElem> tiles;
  gmengine::tag_PoiBkgDataElem tile;
  tile.key[0] = 15;
  tile.key[1] = 3;
  tile.key[2] = 4;
  tiles.Add(tile);
  return tiles;
}

class SearchEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Environment::setMapHostUrl(server.url("/"));
    ASSERT_EQ(gmengine::InitMapEngine(), 1);
    engine = gmengine::GetMainGlobalMan()->engine.get();
    search = std::make_unique<GMKSearch>();
    ASSERT_NE(gmengine::SearchOfEngine(), nullptr);
    ASSERT_EQ(engine->Start(), 1);
    search->setDelegate(delegate);
    server.setHandler([this](const RecordedRequest& request) { return Answer(request); });
  }
  void TearDown() override {
    search.reset();
    gmengine::UnInitMapEngine();
    platform::RunLoop::main().discardAll();
  }
  bool WaitForCalls(std::size_t count) {
    return platform::RunLoop::main().runUntil([&] { return delegate->calls.size() >= count; }, 20);
  }
  ScriptedResponse Answer(const RecordedRequest& request) {
    std::string qt = Query(request, "qt");
    if (qt == "con") {
      return Json(R"({"result":{"type":11,"total":95},"content":[
        {"name":"星光咖啡","uid":"u1","poiType":0,"geo":")" +
                  PointGeo(1295000, 48000) + R"(","addr":"建国路88号","tel":"010-1"},
        {"name":"","uid":"u2","poiType":2}]})");
    }
    if (qt == "rgc") {
      if (noAddress) return Json(R"({"result":{"type":44,"error":0},"content":{"point":{"x":"1","y":"2"}}})");
      return Json(R"({"result":{"type":44,"error":0},"content":{"address":"北京市海淀区丹棱街5号",
        "address_detail":{"city":"北京市","street":"丹棱街"},"point":{"x":"12947000","y":"4846000"},
        "surround_poi":[{"name":"微软大厦","point":{"x":"12947010","y":"4846020"}}]}})");
    }
    if (qt == "bse" || qt == "bt") {
      if (transitError) return Json(R"({"result":{"type":14,"error":1}})");
      return Json(R"({"result":{"type":23,"if_nav":0},"content":{
        "start":[{"name":"天安门东","addr":"东城区","geo":")" +
                  PointGeo(1, 2) + R"("},{"name":"天安门西"}],
        "end":[{"name":"西单"}]}})");
    }
    if (qt == "gc") {
      return Json(R"({"result":{"type":35,"error":0},"content":{"cn":"北京","wd":"中关村大街1号",
        "coord":{"x":"12947000","y":"4846000"}}})");
    }
    if (qt == "bsl") {
      return Json(
          R"({"result":{"type":18,"total":1},"content":{"name":"1路","startTime":"05:00","endTime":"23:00",
        "geo":")" +
          searchtest::LineGeo("1294700000,484600000,1294800000,484700000") + R"(",
        "stations":[{"name":"四惠","geo":")" +
          searchtest::LineGeo("1294700000,484600000") + R"("},{"name":"老山"}]}})");
    }
    if (qt == "nse" || qt == "nav") {
      return Json(R"({"result":{"type":20,"total":1},"start":{"wd":"起点"},"end":[{"wd":"终点"}],
        "content":{"dis":1200,"kps":[{"rt":1,"tt":13},{"rt":4,"tt":4},{"rt":2}],
        "rss":[{"d":0},{"n":"长安街","d":1200,"g":")" +
                  searchtest::LineGeo("0,0,100,100") + R"("},{"d":0}]}})");
    }
    if (qt == "bda")
      return Json(R"({"result":{"type":45,"result_array":[{"total":0},{"total":0}]},"content":[[],[]]})");
    if (qt == "cen") return Json(R"({"result":{"type":4},"content":{"name":"上海市","type":2,"uid":289}})");
    if (request.target.find("/su?") == 0) {
      return Json(R"({"q":"天","p":0,"t":0,"s":["北京$$天坛$$1$","上海$$天山路$$2$","深圳$$天坛$$3$"]})");
    }
    ScriptedResponse missing;
    missing.status = 404;
    return missing;
  }

  kavro::test::TempHome home;
  LoopbackHttpServer server;
  gmengine::CVMapEngine* engine = nullptr;
  std::unique_ptr<GMKSearch> search;
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  bool noAddress = false;
  bool transitError = false;
};

TEST_F(SearchEngineTest, APlaceSearchReachesTheDelegateAsResultObjectsAndRepeatsComeFromTheCache) {
  ASSERT_TRUE(search->poiSearchInCity(std::string("北京"), std::string("咖啡"), 0));
  ASSERT_TRUE(WaitForCalls(1));
  const RecordingDelegate::Call& call = delegate->calls[0];
  EXPECT_EQ(call.name, "poi");
  EXPECT_EQ(call.error, DelegateError::None);
  EXPECT_EQ(call.searchType, SearchType::PoiInCity);
  EXPECT_TRUE(call.onMain);
  ASSERT_TRUE(delegate->poiResults);
  ASSERT_EQ(delegate->poiResults->size(), 1u);
  const GMKPoiResult& page = *(*delegate->poiResults)[0];
  EXPECT_EQ(page.totalPoiNum(), 95);
  EXPECT_EQ(page.pageNum(), 10);
  EXPECT_EQ(page.currPoiNum(), 2);
  ASSERT_TRUE(page.poiInfoList());
  const GMKPoiInfo& first = *(*page.poiInfoList())[0];
  EXPECT_EQ(first.name(), std::optional<std::string>("星光咖啡"));
  EXPECT_EQ(first.address(), std::optional<std::string>("建国路88号"));
  EXPECT_GT(first.pt().longitude, 0.1);
  const GMKPoiInfo& second = *(*page.poiInfoList())[1];
  EXPECT_EQ(second.name(), std::optional<std::string>(""));
  EXPECT_FALSE(second.address());
  EXPECT_EQ(second.pt().latitude, 0);
  EXPECT_EQ(Query(server.requests()[0], "qt"), "con");

  // The same search again: answered at once from the cache, before any request.
  std::size_t requests = server.requestCount();
  ASSERT_TRUE(search->poiSearchInCity(std::string("北京"), std::string("咖啡"), 0));
  EXPECT_EQ(gmengine::GetGlobalMan()->dispatcher->GetQueueCount(gmengine::CVMsgDispatcher::kUIQueue), 1);
  ASSERT_TRUE(WaitForCalls(2));
  EXPECT_EQ(server.requestCount(), requests);
  EXPECT_EQ(delegate->calls[1].error, DelegateError::None);
}

TEST_F(SearchEngineTest, ReverseGeocodingGivesTheAddressOrAnEmptyResult) {
  ASSERT_TRUE(search->reverseGeocode({39.98, 116.30}));
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_EQ(delegate->calls[0].error, DelegateError::None);
  ASSERT_TRUE(delegate->addr);
  EXPECT_EQ(delegate->addr->strAddr(), std::optional<std::string>("北京市海淀区丹棱街5号"));
  ASSERT_TRUE(delegate->addr->addressComponent());
  EXPECT_EQ(delegate->addr->addressComponent()->streetName(), std::optional<std::string>("丹棱街"));
  EXPECT_FALSE(delegate->addr->addressComponent()->district());
  ASSERT_TRUE(delegate->addr->poiList());
  EXPECT_EQ((*delegate->addr->poiList())[0]->city(), std::optional<std::string>("北京市"));

  noAddress = true;
  ASSERT_TRUE(search->reverseGeocode({30.0, 120.0}));
  ASSERT_TRUE(WaitForCalls(2));
  EXPECT_EQ(delegate->calls[1].error, DelegateError::NothingFound);
  EXPECT_EQ(delegate->addr, nullptr);
}

TEST_F(SearchEngineTest, TransitAnswersCarryServerErrorsAndRouteEndCandidates) {
  auto start = std::make_shared<GMKPlanNode>();
  start->setName(std::string("天安门"));
  auto end = std::make_shared<GMKPlanNode>();
  end->setName(std::string("西单"));
  ASSERT_TRUE(search->transitSearch(std::string("北京"), start, end));
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_EQ(delegate->calls[0].name, "transit");
  EXPECT_EQ(delegate->calls[0].error, DelegateError::RouteEndsToChoose);
  ASSERT_TRUE(delegate->plan);
  EXPECT_FALSE(delegate->plan->plans());
  ASSERT_TRUE(delegate->plan->routeAddrResult());
  ASSERT_TRUE(delegate->plan->routeAddrResult()->startPoiList());
  EXPECT_EQ(delegate->plan->routeAddrResult()->startPoiList()->size(), 2u);

  transitError = true;
  search->setTransitPolicy(GMKTransitPolicy::LeastWalking);
  ASSERT_TRUE(search->transitSearch(std::string("北京"), start, end));
  ASSERT_TRUE(WaitForCalls(2));
  EXPECT_EQ(delegate->calls[1].error, DelegateError::NothingFound);  // the engine's RouteFailed
  EXPECT_EQ(delegate->plan, nullptr);
}

TEST_F(SearchEngineTest, SuggestionsKeepEachKeyOnceWithItsCity) {
  ASSERT_TRUE(search->suggestionSearch(std::string("天")));
  ASSERT_TRUE(WaitForCalls(1));
  ASSERT_EQ(delegate->calls.size(), 1u);
  ASSERT_TRUE(delegate->suggestion && delegate->suggestion->keyList());
  EXPECT_EQ(*delegate->suggestion->keyList(), (std::vector<std::string>{"天坛", "天山路"}));
  EXPECT_EQ(*delegate->suggestion->cityList(), (std::vector<std::string>{"北京", "上海"}));
  EXPECT_EQ(Query(server.requests()[0], "cid"), "131");  // no city at the centre known yet
}

TEST_F(SearchEngineTest, StaleAnswersAndFailuresOfTheSearchClient) {
  CAppSearch* engineSearch = gmengine::SearchOfEngine();
  ASSERT_TRUE(search->reverseGeocode({10.0, 10.0}));
  unsigned current = engineSearch->GetSearchSeq();
  EXPECT_EQ(engineSearch->OnHttpMessage(gmengine::EngineMsg::HttpComplete, gmengine::EngineClient::Search,
                                        static_cast<int>(current - 1)),
            -1);
  EXPECT_EQ(engineSearch->OnHttpMessage(gmengine::EngineMsg::HttpConnectFailed,
                                        gmengine::EngineClient::Search, static_cast<int>(current)),
            0);
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_EQ(delegate->calls[0].name, "addr");
  EXPECT_EQ(delegate->calls[0].error, DelegateError::Network);
}

TEST_F(SearchEngineTest, CityAndBackgroundRequestsLeaveTheUsersSearchItsTypeAndNumber) {
  CAppSearch* engineSearch = gmengine::SearchOfEngine();
  // A city request while a reverse geocode runs: the geocode's failure still reaches its delegate.
  ASSERT_TRUE(search->reverseGeocode({10.0, 10.0}));
  unsigned current = engineSearch->GetSearchSeq();
  const gmengine::_VRect bound(1, 4, 3, 2);
  ASSERT_EQ(engineSearch->RequestCityByCenter(bound, 12), 1);
  EXPECT_EQ(engineSearch->GetExpectedType(), SearchType::ReverseGeocode);
  EXPECT_EQ(engineSearch->OnHttpMessage(gmengine::EngineMsg::HttpConnectFailed,
                                        gmengine::EngineClient::Search, static_cast<int>(current)),
            0);
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_EQ(delegate->calls[0].name, "addr");
  EXPECT_EQ(delegate->calls[0].error, DelegateError::Network);

  // Background points asked for while a POI search is on its way: the POI search's answer is not
  // taken for a stale one.
  ASSERT_TRUE(search->poiSearchInCity(std::string("北京"), std::string("咖啡"), 0));
  ASSERT_TRUE(WaitForCalls(2));
  current = engineSearch->GetSearchSeq();
  const gmengine::CVArray<gmengine::tag_PoiBkgDataElem> tiles = OneTile();
  engineSearch->RequestPoiBkgData(gmengine::CVString("bank"), tiles, 131, bound);
  EXPECT_EQ(engineSearch->GetSearchSeq(), current);
  EXPECT_EQ(engineSearch->GetExpectedType(), SearchType::PoiInCity);
  EXPECT_EQ(engineSearch->OnHttpMessage(gmengine::EngineMsg::HttpAttemptsOver, gmengine::EngineClient::Search,
                                        static_cast<int>(current)),
            0);
  ASSERT_TRUE(WaitForCalls(3));
  EXPECT_EQ(delegate->calls[2].name, "poi");
  EXPECT_EQ(delegate->calls[2].error, DelegateError::Network);
}

TEST_F(SearchEngineTest, ArgumentsAreCheckedBeforeAnythingIsSent) {
  const std::string city16(16, 'c');
  const std::string key99(99, 'k');
  EXPECT_FALSE(search->poiSearchInCity(city16 + "c", std::string("a"), 0));
  EXPECT_FALSE(search->poiSearchInCity(std::nullopt, key99 + "k", 0));
  EXPECT_FALSE(search->poiSearchInCity(std::nullopt, std::nullopt, 0));
  EXPECT_FALSE(search->poiSearchInCity(std::nullopt, std::string("a"), -1));
  EXPECT_FALSE(search->poiSearchNearBy(std::string("a"), {39, 116}, 0, 0));
  using Keys = std::vector<GMKSearch::Text>;
  EXPECT_FALSE(search->poiMultiSearchInbounds(Keys{std::string("a")}, {1, 1}, {2, 2}, 0));
  EXPECT_FALSE(search->poiMultiSearchInbounds(Keys(11, std::string("a")), {1, 1}, {2, 2}, 0));
  EXPECT_FALSE(
      search->poiMultiSearchInbounds(Keys{std::string("a$$b"), std::string("c")}, {1, 1}, {2, 2}, 0));
  EXPECT_FALSE(
      search->poiMultiSearchInbounds(Keys{std::string(50, 'a'), std::string(50, 'b')}, {1, 1}, {2, 2}, 0));
  auto named = std::make_shared<GMKPlanNode>();
  named->setName(std::string("西单"));
  EXPECT_FALSE(search->transitSearch(std::nullopt, named, named));
  EXPECT_FALSE(search->transitSearch(std::string("北京"), named, nullptr));
  // Driving: a name needs its city; a point does without.
  EXPECT_FALSE(search->drivingSearch(std::nullopt, named, std::string("北京"), named));
  EXPECT_FALSE(search->geocode(std::string(""), std::nullopt));
  EXPECT_FALSE(search->suggestionSearch(std::string(100, 'k')));
  EXPECT_FALSE(search->busLineSearch(std::string(""), std::string("1")));
  EXPECT_EQ(server.requestCount(), 0u);

  search->setTransitPolicy(static_cast<GMKTransitPolicy>(2));
  search->setTransitPolicy(static_cast<GMKTransitPolicy>(7));
  EXPECT_EQ(search->transitPolicy(), GMKTransitPolicy::LeastTime);
  search->setDrivingPolicy(static_cast<GMKDrivingPolicy>(-1));
  search->setDrivingPolicy(GMKDrivingPolicy::LeastFee);
  EXPECT_EQ(search->drivingPolicy(), GMKDrivingPolicy::LeastFee);
  GMKSearch::setPageCapacity(51);
  GMKSearch::setPageCapacity(20);
  EXPECT_EQ(GMKSearch::getPageCapacity(), 20);
  GMKSearch another;
  EXPECT_EQ(GMKSearch::getPageCapacity(), 10);
}

TEST_F(SearchEngineTest, ANearbySearchAsksForTheSquareAroundThePoint) {
  auto pointed = std::make_shared<GMKPlanNode>();
  pointed->setPt({39.9, 116.4});
  auto named = std::make_shared<GMKPlanNode>();
  named->setName(std::string("西单"));
  ASSERT_TRUE(search->poiSearchNearBy(std::string("餐厅"), {39.9, 116.4}, 500, 1));
  ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return server.requestCount() >= 1; }, 20));
  RecordedRequest bounds = server.requests()[0];
  EXPECT_EQ(Query(bounds, "qt"), "bd2");
  std::string b = Query(bounds, "b");
  int left = 0, bottom = 0, right = 0, top = 0;
  ASSERT_EQ(std::sscanf(b.c_str(), "(%d,%d;%d,%d)", &left, &bottom, &right, &top), 4) << b;
  EXPECT_EQ(right - left, 1000);
  EXPECT_EQ(top - bottom, 1000);
  // A start given by point needs no city.
  EXPECT_TRUE(search->drivingSearch(std::nullopt, pointed, std::string("北京"), named));
}

TEST_F(SearchEngineTest, AGeocodeForTheSameCityAndAddressIsAnsweredWithoutARequest) {
  ASSERT_TRUE(search->geocode(std::string("中关村大街1号"), std::string("北京")));
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_EQ(delegate->calls[0].error, DelegateError::None);
  ASSERT_TRUE(delegate->addr);
  EXPECT_EQ(delegate->addr->strAddr(), std::optional<std::string>("中关村大街1号"));
  EXPECT_GT(delegate->addr->geoPt().latitude, 30);
  ASSERT_TRUE(search->geocode(std::string("中关村大街1号"), std::string("北京")));
  ASSERT_TRUE(WaitForCalls(2));
  EXPECT_EQ(server.requestCount(), 1u);
  // A city name that is too long is left out; the search still goes.
  EXPECT_TRUE(search->geocode(std::string("中关村大街1号"), std::string(17, 'c')));
}

TEST_F(SearchEngineTest, BusLinesAndDrivingRoutesArriveConverted) {
  ASSERT_TRUE(search->busLineSearch(std::string("北京"), std::string("uid-1")));
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_EQ(Query(server.requests()[0], "uid"), "uid-1");
  ASSERT_TRUE(delegate->busLine);
  EXPECT_EQ(delegate->busLine->mBusName(), std::optional<std::string>("1路"));
  ASSERT_TRUE(delegate->busLine->mBusRoute());
  const GMKRoute& line = *delegate->busLine->mBusRoute();
  EXPECT_EQ(line.type(), GMKRouteType::BusLine);
  EXPECT_EQ(line.getPointsNum(0), 2);
  ASSERT_TRUE(line.steps());
  EXPECT_EQ(line.steps()->size(), 2u);
  EXPECT_GT(line.startPt().longitude, 100);

  auto start = std::make_shared<GMKPlanNode>();
  start->setPt({39.90, 116.40});
  auto end = std::make_shared<GMKPlanNode>();
  end->setPt({39.91, 116.38});
  ASSERT_TRUE(search->drivingSearch(std::nullopt, start, std::nullopt, end));
  ASSERT_TRUE(WaitForCalls(2));
  EXPECT_EQ(delegate->calls[1].name, "driving");
  EXPECT_EQ(delegate->calls[1].error, DelegateError::None);
  ASSERT_TRUE(delegate->plan && delegate->plan->plans());
  ASSERT_EQ(delegate->plan->plans()->size(), 1u);
  auto plan = std::dynamic_pointer_cast<GMKRoutePlan>((*delegate->plan->plans())[0]);
  ASSERT_TRUE(plan && plan->routes());
  const GMKRoute& route = *(*plan->routes())[0];
  EXPECT_EQ(route.distance(), 1200);
  EXPECT_EQ(route.pointsCount(), 3);
  EXPECT_EQ(route.getPointsNum(1), 2);
  ASSERT_TRUE(route.steps());
  EXPECT_EQ((*route.steps())[0]->content(), std::optional<std::string>("从起点向正北方向出发"));
  EXPECT_EQ(delegate->plan->startNode()->name(), std::optional<std::string>("起点"));
}

TEST_F(SearchEngineTest, BackgroundPlacesAskedForWhileARouteIsOnItsWayLeaveTheRouteItsAnswer) {
  auto start = std::make_shared<GMKPlanNode>();
  start->setPt({39.90, 116.40});
  auto end = std::make_shared<GMKPlanNode>();
  end->setPt({39.91, 116.38});
  ASSERT_TRUE(search->drivingSearch(std::nullopt, start, std::nullopt, end));
  const gmengine::CVArray<gmengine::tag_PoiBkgDataElem> tiles = OneTile();
  ASSERT_EQ(gmengine::SearchOfEngine()->RequestPoiBkgData(gmengine::CVString("bank"), tiles, 131,
                                                          gmengine::_VRect(1, 4, 3, 2)),
            1);
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_EQ(delegate->calls[0].name, "driving");
  EXPECT_EQ(delegate->calls[0].error, DelegateError::None);
  ASSERT_TRUE(delegate->plan && delegate->plan->plans());
  EXPECT_EQ(delegate->plan->plans()->size(), 1u);
}

TEST_F(SearchEngineTest, KeywordGroupsWithoutPlacesAreEmptyAndTheCityAtTheCentreIsRemembered) {
  using Keys = std::vector<GMKSearch::Text>;
  ASSERT_TRUE(
      search->poiMultiSearchNearBy(Keys{std::string("银行"), std::string("超市")}, {39.9, 116.4}, 100, 0));
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_EQ(delegate->calls[0].error, DelegateError::NothingFound);
  EXPECT_EQ(delegate->calls[0].searchType, SearchType::MultiKeyPoi);
  // Each group was asked for in the square of 200 around the centre.
  double x = 0, y = 0;
  searchgeo::CoordinateToMercator({39.9, 116.4}, x, y);
  int squares = 0;
  for (const RecordedRequest& r : server.requests()) {
    const std::string b = Query(r, "b");
    int left = 0, bottom = 0, right = 0, top = 0;
    if (std::sscanf(b.c_str(), "(%d,%d;%d,%d)", &left, &bottom, &right, &top) != 4) continue;
    ++squares;
    EXPECT_NEAR((left + right) / 2.0, x, 1) << b;
    EXPECT_NEAR((bottom + top) / 2.0, y, 1) << b;
    EXPECT_EQ(right - left, 200) << b;
  }
  EXPECT_GT(squares, 0);

  CAppSearch* engineSearch = gmengine::SearchOfEngine();
  gmengine::_VRect bound;
  bound.left = 1;
  bound.top = 4;
  bound.right = 3;
  bound.bottom = 2;
  ASSERT_EQ(engineSearch->RequestCityByCenter(bound, 12), 1);
  gmengine::tag_GeoShapeInfo city;
  ASSERT_TRUE(
      platform::RunLoop::main().runUntil([&] { return engineSearch->GetCurrentCity(city) == 1; }, 20));
  EXPECT_EQ(city.cityCode, 289);
  ASSERT_TRUE(search->suggestionSearch(std::string("天")));
  ASSERT_TRUE(WaitForCalls(2));
  EXPECT_EQ(Query(server.requests().back(), "cid"), "289");
}

}  // namespace

namespace {

TEST_F(SearchEngineTest, TheDelegateHearsTheAnswerThatWasAnnouncedNotTheLatestStored) {
  ASSERT_TRUE(search->reverseGeocode({39.98, 116.31}));
  ASSERT_TRUE(WaitForCalls(1));
  ASSERT_TRUE(delegate->addr && delegate->addr->strAddr());
  EXPECT_EQ(*delegate->addr->strAddr(), "北京市海淀区丹棱街5号");
  // An announcement carrying its own answer: the delegate hears that one, whatever is stored.
  gmengine::tag_PoiSearchRst place;
  std::snprintf(place.address, sizeof place.address, "%s", "Elsewhere 1");
  gmengine::SearchAnswer answer(SearchType::ReverseGeocode, gmengine::SearchError::None, &place);
  gmengine::GetGlobalMan()->dispatcher->PostMessage(
      gmengine::CVMsgDispatcher::kUIQueue, ToInt(gmengine::EngineMsg::SearchResult),
      ToInt(gmengine::SearchType::ReverseGeocode), 0, gmengine::Detach(answer));
  std::snprintf(place.address, sizeof place.address, "%s", "Changed after the post");
  ASSERT_TRUE(WaitForCalls(2));
  ASSERT_TRUE(delegate->addr && delegate->addr->strAddr());
  EXPECT_EQ(*delegate->addr->strAddr(), "Elsewhere 1");
  EXPECT_EQ(delegate->calls[1].error, DelegateError::None);
}

}  // namespace
