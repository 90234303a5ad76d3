#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/search/CPoiBkgDataCache.h"
#include "mapsdk/search/CSearchMan.h"
#include "mapsdk/search/GMKNotifier.h"
#include "mapsdk/search/GMKRoute.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempHome.h"

using namespace gmengine;

namespace {

bool Exists(const CVString& path) {
  std::FILE* file = std::fopen(path.ToUtf8().c_str(), "rb");
  if (file) std::fclose(file);
  return file != nullptr;
}

tag_PoiBkgDataElem Tile(int level, int x, int y, int pois) {
  tag_PoiBkgDataElem tile;
  tile.key[0] = level;
  tile.key[1] = x;
  tile.key[2] = y;
  for (int i = 0; i < pois; ++i) {
    tag_PoiBkgBaseData poi;
    std::snprintf(poi.name, sizeof poi.name, "poi%d", i);
    poi.x = 100 + i;
    poi.y = 200;
    tile.pois.Add(poi);
  }
  return tile;
}

TEST(CPoiBkgDataCacheTest, TilesComeBackFromTheFileAndTheSixthWordDropsTheOldest) {
  kavro::test::TempDir dir;
  CPoiBkgDataCache cache;
  cache.SetFolder(CVString::FromUtf8(dir.path() + "/"));
  CVArray<tag_PoiBkgDataElem> tiles;
  tiles.Add(Tile(15, 1, 2, 3));
  tiles.Add(Tile(15, 1, 3, 0));
  ASSERT_EQ(cache.Add(CVString("w0"), tiles), 1);

  CVArray<tag_PoiBkgDataElem> wanted;
  wanted.Add(Tile(15, 1, 2, 0));
  wanted.Add(Tile(15, 1, 3, 0));
  wanted.Add(Tile(15, 9, 9, 0));
  CVArray<tag_PoiBkgDataElem> missing;
  ASSERT_EQ(cache.Get(CVString("w0"), wanted, missing), 1);
  ASSERT_EQ(wanted[0].pois.GetSize(), 3);
  EXPECT_STREQ(wanted[0].pois[2].name, "poi2");
  EXPECT_EQ(wanted[0].pois[2].x, 102);
  EXPECT_EQ(wanted[1].pois.GetSize(), 0);
  ASSERT_EQ(missing.GetSize(), 1);
  EXPECT_EQ(missing[0].key[1], 9);
  EXPECT_EQ(cache.Get(CVString("unknown"), wanted, missing), 0);
  EXPECT_EQ(missing.GetSize(), 3);
  EXPECT_EQ(cache.Add(CVString("empty"), CVArray<tag_PoiBkgDataElem>()), 0);

  CVString oldest = cache.GetEntry(0)->path;
  for (int i = 1; i <= 5; ++i) ASSERT_EQ(cache.Add(CVString::FromUtf8("w" + std::to_string(i)), tiles), 1);
  EXPECT_EQ(cache.GetCount(), 5);
  EXPECT_EQ(cache.Get(CVString("w0"), wanted, missing), 0);
  // The file index wrapped, so the newest entry took the name of the file just deleted.
  EXPECT_EQ(cache.GetEntry(0)->path.ToUtf8(), oldest.ToUtf8());
  EXPECT_TRUE(Exists(oldest));
  cache.RemoveAll();
  EXPECT_FALSE(Exists(oldest));
}

// A map that moves asks only for the tiles it lacks: the word's next answer adds to the tiles it
// already has instead of replacing them, the newest answer winning for a tile in both.
TEST(CPoiBkgDataCacheTest, ALaterAnswerOfTheSameWordKeepsTheEarlierTiles) {
  kavro::test::TempDir dir;
  CPoiBkgDataCache cache;
  cache.SetFolder(CVString::FromUtf8(dir.path() + "/"));
  CVArray<tag_PoiBkgDataElem> first;
  first.Add(Tile(15, 1, 2, 3));
  first.Add(Tile(15, 1, 3, 2));
  ASSERT_EQ(cache.Add(CVString("poi"), first), 1);
  CVArray<tag_PoiBkgDataElem> second;
  second.Add(Tile(15, 2, 2, 1));
  second.Add(Tile(15, 1, 3, 4));  // again, with more
  ASSERT_EQ(cache.Add(CVString("poi"), second), 1);
  EXPECT_EQ(cache.GetCount(), 1);

  CVArray<tag_PoiBkgDataElem> wanted;
  for (auto [x, y] : {std::pair{1, 2}, std::pair{1, 3}, std::pair{2, 2}}) wanted.Add(Tile(15, x, y, 0));
  CVArray<tag_PoiBkgDataElem> missing;
  ASSERT_EQ(cache.Get(CVString("poi"), wanted, missing), 1);
  EXPECT_EQ(missing.GetSize(), 0);
  ASSERT_EQ(wanted[0].pois.GetSize(), 3);
  EXPECT_STREQ(wanted[0].pois[2].name, "poi2");
  EXPECT_EQ(wanted[1].pois.GetSize(), 4);
  EXPECT_EQ(wanted[2].pois.GetSize(), 1);
  // The same column and row of another level is another tile.
  CVArray<tag_PoiBkgDataElem> deeper;
  deeper.Add(Tile(16, 1, 2, 0));
  EXPECT_EQ(cache.Get(CVString("poi"), deeper, missing), 1);
  EXPECT_EQ(missing.GetSize(), 1);

  // A word keeps kMaxTiles tiles at most, its newest answer first.
  CVArray<tag_PoiBkgDataElem> many;
  for (int i = 0; i < CPoiBkgDataCache::kMaxTiles; ++i) many.Add(Tile(17, i, 0, 0));
  ASSERT_EQ(cache.Add(CVString("poi"), many), 1);
  EXPECT_EQ(static_cast<int>(cache.GetEntry(0)->offsets.size()), CPoiBkgDataCache::kMaxTiles);
  EXPECT_EQ(cache.Get(CVString("poi"), wanted, missing), 1);
  EXPECT_EQ(missing.GetSize(), 3);
}

TEST(CSearchManTest, AnswersOfUnhandledTypesAndBrokenTextAreErrors) {
  CSearchMan man;
  auto parse = [&](const std::string& body, SearchType expected) {
    return man.ParseAnswer(body.c_str(), static_cast<int>(body.size()), expected);
  };
  SearchAnswer unhandled = parse(R"({"result":{"type":3}})", SearchType::PoiInBounds);
  EXPECT_FALSE(HasRecord(unhandled.record));
  EXPECT_EQ(unhandled.type, SearchType::PoiInBounds);
  EXPECT_EQ(unhandled.error, SearchError::NothingFound);
  EXPECT_EQ(parse("{\"result\":", SearchType::PoiInCity).error, SearchError::Unparsable);
  EXPECT_EQ(parse("\xff\xfe{}", SearchType::PoiInCity).error, SearchError::Unconvertible);
  // Bytes that are not UTF-8 of every kind: a lone trail byte, overlong forms, a surrogate, a value
  // past U+10FFFF, a five-byte lead, a lead without its trail bytes, one cut off at the end.
  for (const std::string bad : {"\x80", "\xbf", "\xc0\x80", "\xe0\x80\x80", "\xed\xa0\x80",
                                "\xf4\x90\x80\x80", "\xf8\x88\x80\x80\x80", "\xe4\x41\x41"}) {
    EXPECT_EQ(parse(bad + "{}", SearchType::PoiInCity).error, SearchError::Unconvertible)
        << testing::PrintToString(bad);
  }
  EXPECT_EQ(parse("{}\xe4\xb8", SearchType::PoiInCity).error, SearchError::Unconvertible);
  // Well-formed text of one to three bytes a character is read.
  EXPECT_EQ(parse("{\"result\":{\"type\":3},\"n\":\"a\xc3\xa9\xe4\xb8\xad\"}", SearchType::PoiInCity).error,
            SearchError::NothingFound);
  // Each server error of a route request gives its own reason.
  struct RouteError {
    int type, error;
    SearchError reason;
  };
  const RouteError routes[] = {
      {14, 6, SearchError::TransitFailed}, {14, 1, SearchError::RouteFailed},
      {14, 4, SearchError::NothingFound},  {20, 4, SearchError::RouteFailed},
      {20, 1, SearchError::NothingFound},  {31, 4, SearchError::RouteFailed},
      {31, 6, SearchError::NothingFound},
  };
  for (const RouteError& r : routes) {
    const std::string body =
        R"({"result":{"type":)" + std::to_string(r.type) + R"(,"error":)" + std::to_string(r.error) + "}}";
    SearchAnswer answer = parse(body, static_cast<SearchType>(r.type));
    EXPECT_EQ(answer.error, r.reason) << body;
    EXPECT_EQ(answer.type, static_cast<SearchType>(r.type)) << body;
    EXPECT_FALSE(HasRecord(answer.record)) << body;
  }
  EXPECT_EQ(parse(R"({"result":{"type":510},"content":[]})", SearchType::PoiBkgData).type,
            SearchType::PoiBkgData);
}

TEST(CSearchManTest, TextsWhoseCodePageBytesHoldABackslashOrCrossTheLimitKeepTheirCharacters) {
  CSearchMan man;
  auto firstName = [&](const std::string& name) {
    const std::string body =
        R"({"result":{"type":11,"total":1},"content":[{"name":")" + name + R"(","uid":"u1","poiType":0}]})";
    SearchAnswer answer = man.ParseAnswer(body.c_str(), static_cast<int>(body.size()), SearchType::PoiInCity);
    const auto* result = RecordAs<gmengine::tag_PoiSearchRst>(answer.record);
    EXPECT_EQ(answer.error, SearchError::None);
    if (!result || result->pois.IsEmpty()) return std::string("<none>");
    return gmengine::MultiByteToCVString(gmengine::CP_ACP, result->pois[0].name).ToUtf8();
  };
  // The second byte of this character in the code page is 0x5C.
  EXPECT_EQ(firstName("乗x路"), "乗x路");
  EXPECT_EQ(firstName("表\\n"), "表\n");  // an escape after a double-byte character
  // Fifty characters are a hundred bytes: the 99-byte field takes 49 whole ones.
  std::string fifty;
  for (int i = 0; i < 50; ++i) fifty += "路";
  EXPECT_EQ(firstName(fifty), fifty.substr(0, 49 * 3));
  std::string mixed = "a";
  for (int i = 0; i < 49; ++i) mixed += "路";
  EXPECT_EQ(firstName(mixed), mixed);  // 99 bytes fit exactly
}

TEST(CSearchManTest, TheSixthPoiAnswerEvictsTheOldest) {
  CSearchMan man;
  man.PoiCache().SetCapacity(5);
  const std::string empty = R"({"result":{"type":11,"total":0},"content":[]})";
  std::vector<SearchRecord> parsed;
  for (int i = 0; i < 6; ++i) {
    SearchAnswer answer =
        man.ParseAnswer(empty.c_str(), static_cast<int>(empty.size()), SearchType::PoiInCity);
    ASSERT_NE(RecordAs<tag_PoiSearchRst>(answer.record), nullptr);
    EXPECT_EQ(answer.error, SearchError::NothingFound);  // no POI
    parsed.push_back(answer.record);
  }
  EXPECT_EQ(man.PoiCache().GetCount(), 5);
  // The newest answer is the cache's first entry.
  int word = 0;
  const auto* first = man.PoiCache().Find(gmengine::CVString(), word);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ViewOf(*first), parsed.back());
  EXPECT_EQ(word, ToInt(SearchType::PoiInCity));
}

TEST(GMKNotifierTest, ConvertersOfGroupsSuggestionsAndPoints) {
  tag_MultiKeyPoiRst multi;
  multi.pois.Add(CVArray<tag_PoiInfo>());
  multi.pois.Add(CVArray<tag_PoiInfo>());
  std::vector<std::shared_ptr<mapsdk::GMKPoiResult>> array;
  ASSERT_TRUE(mapsdk::GMKNotifier::getPoiResult(array, SearchRecord(&multi), SearchType::MultiKeyPoi));
  EXPECT_TRUE(array.empty());  // all groups empty: reported as 100
  EXPECT_FALSE(mapsdk::GMKNotifier::getPoiResult(array, SearchRecord(), SearchType::PoiInCity));
  EXPECT_FALSE(mapsdk::GMKNotifier::getPoiResult(array, SearchRecord(&multi), static_cast<SearchType>(3)));

  mapsdk::GMKRoute route;
  route.setPointsCount(2);
  route.setPointsCount(0);
  EXPECT_EQ(route.pointsCount(), 2);
  EXPECT_EQ(route.getPoints(5), nullptr);
  EXPECT_EQ(route.getPointsNum(1), 0);

  tag_BusTransStop stop;
  stop.walkDistance = 40;
  stop.offPoint.AddPoint(_VPoint(199, -199));  // becomes (1, -1)
  CVArray<_VPoint> path;
  path.Add(_VPoint(100, 100));
  path.Add(_VPoint(300, 300));
  stop.walkPath.AddPart(path);
  mapsdk::GMKRoute walk;
  mapsdk::GMKNotifier::getBusTrans(walk, stop);
  EXPECT_EQ(walk.type(), mapsdk::GMKRouteType::WalkingLeg);
  EXPECT_NE(walk.startPt().longitude, 0);
  ASSERT_NE(walk.getPoints(0), nullptr);
  EXPECT_EQ(walk.getPointsNum(0), 2);
  EXPECT_DOUBLE_EQ((*walk.getPoints(0))[1].x - (*walk.getPoints(0))[0].x, 2);
  EXPECT_EQ(walk.endPt().latitude, 0);  // no boarding point
}

// Both sides of both ends of the parts: the first and last parts keep their own points and
// counts, one before the first and one past the last change nothing and answer nothing.
TEST(GMKRouteTest, PartCallsStayInsideTheParts) {
  mapsdk::GMKRoute route;  // a fresh route: its part storage is exactly the parts
  route.setPointsCount(3);
  for (int outside : {-1, 3}) {
    route.setPointsNum(9, outside);
    route.setPoints({{5, 6}}, outside);
    EXPECT_EQ(route.getPointsNum(outside), 0) << outside;
    EXPECT_EQ(route.getPoints(outside), nullptr) << outside;
  }
  route.setPointsNum(7, 0);
  route.setPointsNum(11, 2);
  route.setPointsNum(-1, 2);  // a negative count is ignored
  route.setPoints({{1, 2}}, 0);
  route.setPoints({{3, 4}, {5, 6}}, 2);
  EXPECT_EQ(route.pointsCount(), 3);
  EXPECT_EQ(route.getPointsNum(0), 7);
  EXPECT_EQ(route.getPointsNum(1), 0);
  EXPECT_EQ(route.getPointsNum(2), 11);
  ASSERT_NE(route.getPoints(0), nullptr);
  ASSERT_NE(route.getPoints(2), nullptr);
  EXPECT_EQ(route.getPoints(1), nullptr);
  EXPECT_EQ((*route.getPoints(0))[0].x, 1);
  EXPECT_EQ(route.getPoints(2)->size(), 2u);
  EXPECT_EQ((*route.getPoints(2))[1].y, 6);
  route.setPointsCount(1);  // new parts, all empty
  EXPECT_EQ(route.pointsCount(), 1);
  EXPECT_EQ(route.getPointsNum(0), 0);
  EXPECT_EQ(route.getPoints(0), nullptr);
}

// Hears the offline states.
class OfflineStates : public mapsdk::GMKOfflineMapDelegate {
 public:
  void onGetOfflineMapState(OfflineState state, int value) override { states.emplace_back(state, value); }
  std::vector<std::pair<OfflineState, int>> states;
};

TEST(GMKNotifierTest, OfflineStatesAreFilteredAndNetworkStatesNeedADelegate) {
  kavro::test::TempHome home;
  gmengine::InitMapEngine();
  auto offline = std::make_shared<OfflineStates>();
  mapsdk::GMKNotifier::setOfflineDelegate(offline);
  const int offlineKind = ToInt(NotifierKind::OfflineState);
  mapsdk::GMKNotifier::msgProc(offlineKind, ToInt(OfflineState::NewerVersion), 77);
  mapsdk::GMKNotifier::msgProc(offlineKind, ToInt(OfflineState::CityChanged), 1);  // kept inside
  mapsdk::GMKNotifier::msgProc(offlineKind, ToInt(OfflineState::Installing), 5);
  mapsdk::GMKNotifier::msgProc(offlineKind, 7, 1);  // a state the map does not name: dropped
  EXPECT_EQ(offline->states, (std::vector<std::pair<OfflineState, int>>{{OfflineState::NewerVersion, 0},
                                                                        {OfflineState::Installing, 5}}));
  mapsdk::GMKNotifier::setOfflineDelegate({});
  mapsdk::GMKNotifier::initDelegate();
  mapsdk::GMKNotifier::msgProc(ToInt(gmengine::NotifierKind::NetworkState), 1, 0);  // nothing to call
  int network = -1;
  mapsdk::GMKNotifier::setGeneralDelegate([&](int state) { network = state; });
  mapsdk::GMKNotifier::msgProc(ToInt(gmengine::NotifierKind::NetworkState), 1, 0);
  EXPECT_EQ(network, 1);
  gmengine::UnInitMapEngine();
}

TEST(GMKNotifierTest, TheDelegatesBelongToTheEngineSoTheNextEngineStartsWithoutThem) {
  kavro::test::TempHome home;
  int network = -1;
  auto offline = std::make_shared<OfflineStates>();
  mapsdk::GMKNotifier::setGeneralDelegate([&](int state) { network = state; });  // no engine: not kept
  gmengine::InitMapEngine();
  mapsdk::GMKNotifier::msgProc(ToInt(gmengine::NotifierKind::NetworkState), 1, 0);
  EXPECT_EQ(network, -1);
  mapsdk::GMKNotifier::setGeneralDelegate([&](int state) { network = state; });
  mapsdk::GMKNotifier::setOfflineDelegate(offline);
  gmengine::UnInitMapEngine();

  gmengine::InitMapEngine();
  mapsdk::GMKNotifier::msgProc(ToInt(gmengine::NotifierKind::NetworkState), 3, 0);
  mapsdk::GMKNotifier::msgProc(ToInt(NotifierKind::OfflineState), ToInt(OfflineState::Installing), 1);
  EXPECT_EQ(network, -1);
  EXPECT_TRUE(offline->states.empty());
  EXPECT_EQ(mapsdk::GMKNotifier::searchDelegate(), nullptr);
  gmengine::UnInitMapEngine();
}

}  // namespace
