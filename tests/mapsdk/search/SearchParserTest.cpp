#include <gtest/gtest.h>

#include "mapsdk/search/CJsonResultParser.h"
#include "mapsdk/search/RouteStepText.h"
#include "tests/mapsdk/search/SearchTestSupport.h"

using namespace gmengine;
using searchtest::LineGeo;
using searchtest::PointGeo;
using searchtest::Tree;
using searchtest::Utf8;

namespace {

TEST(SearchParserTest, PoiListReadsItemsWithCjkTextAndCleansAddressAndPhone) {
  Tree tree(R"({"result":{"type":11,"total":95,"op_gel":1,"wd":"咖啡"},
    "psrs":{"SENum":2,"SEResult":["上海","广州"]},
    "suggest_query":[{"query":"咖啡馆"}],
    "content":[
      {"name":"星光咖啡","uid":"u1","poiType":0,"geo":")" +
            PointGeo(1295000, 48000) + R"(","dis":12.7,
       "addr":"朝阳区;朝阳区;建国路","tel":"010-8888（总机）","detail":1},
      {"name":"站台","uid":"u2","poiType":2,"geo":"too short"},
      "not an object"]})");
  ASSERT_NE(tree.root, nullptr);
  tag_PoiSearchRst result;
  ASSERT_EQ(CJsonResultParser::ParsePoiList(tree.root, SearchType::PoiInCity, result), 1);
  EXPECT_EQ(result.total, 95);
  EXPECT_EQ(result.hasMore, 1);
  EXPECT_EQ(Utf8(result.keyword), "咖啡");
  EXPECT_EQ(result.count, 3);
  ASSERT_EQ(result.pois.GetSize(), 2);
  const tag_PoiInfo& first = result.pois[0];
  EXPECT_EQ(Utf8(first.name), "星光咖啡");
  EXPECT_EQ(Utf8(first.address), "朝阳区;建国路");
  EXPECT_STREQ(first.tel, "010-8888");
  EXPECT_EQ(first.distance, 12);
  EXPECT_EQ(first.hasDetail, 1);
  EXPECT_EQ(first.geometry.GetPartPt(0, 0), _VPoint(1295000, 48000));
  EXPECT_EQ(result.pois[1].kind, 2);
  EXPECT_TRUE(result.pois[1].geometry.IsEmpty());  // 9 characters: refused
  ASSERT_EQ(result.otherCities.GetSize(), 2);
  EXPECT_EQ(result.otherCities[1].ToUtf8(), "广州");
  ASSERT_EQ(result.suggestions.GetSize(), 1);

  Tree around(R"({"result":{"type":12},"content":[]})");
  tag_PoiSearchRst aroundResult;
  EXPECT_EQ(CJsonResultParser::ParsePoiList(around.root, SearchType::PoiAround, aroundResult),
            0);  // no "center"
}

TEST(SearchParserTest, ValueReadersRefuseWhatDoesNotFit) {
  char text[] = "a;a;b;b;a";
  CJsonResultParser::RemoveRepeatedItems(text);
  EXPECT_STREQ(text, "a;b;a");
  Tree tree(R"({"name":"0123456789","g14":"12345678901234","g15":"1234567,1234567","n":1e300})");
  char small[5];
  ASSERT_EQ(CJsonResultParser::GetString(tree.root, "name", small, sizeof small), 1);
  EXPECT_STREQ(small, "0123");
  char one[1];
  EXPECT_EQ(CJsonResultParser::GetString(tree.root, "name", one, 1), 0);
  CComplexPt geometry;
  EXPECT_EQ(CJsonResultParser::GetGeometry(tree.root, "g14", geometry), 0);
  EXPECT_EQ(CJsonResultParser::GetGeometry(tree.root, "g15", geometry), 1);
  int n = 0;
  EXPECT_EQ(CJsonResultParser::GetInt(tree.root, "n", n), 1);
  EXPECT_EQ(n, 2147483647);
  EXPECT_EQ(CJsonResultParser::PoiExtTypeFromName("dt_stop"), 5);
  EXPECT_EQ(CJsonResultParser::PoiExtTypeFromName(nullptr), -1);
}

TEST(SearchParserTest, PoiDetailOfAStopNeedsItsLines) {
  Tree stop(R"({"content":{"poiType":1,"name":"西单站","geo":")" + PointGeo(10, 20) + R"(",
    "blinfo":[{"name":"1路","addr":"长安街;长安街","uid":"b1"}],
    "ext":{"src_name":"dt_stop","line_info":[{"line_name":"地铁1号线","first_time":"05:10"}],
           "around_info":[{"exit_name":"A口","exit_round":"西北"},{"exit_round":"no name"},[{"exit_name":"B口"}]]}}})");
  tag_PoiDetailRst detail;
  ASSERT_EQ(CJsonResultParser::ParsePoiDetail(stop.root, detail), 1);
  EXPECT_EQ(detail.poi.kind, 1);
  ASSERT_EQ(detail.poi.lines.GetSize(), 1);
  EXPECT_EQ(Utf8(detail.poi.lines[0].address), "长安街");
  EXPECT_EQ(detail.sourceType, 5);
  ASSERT_EQ(detail.subwayLines.GetSize(), 1);
  ASSERT_EQ(detail.subwayExits.GetSize(), 2);
  EXPECT_EQ(detail.subwayExits[1].exitName.ToUtf8(), "B口");

  Tree lineless(R"({"content":{"poiType":1,"name":"x"}})");
  tag_PoiDetailRst missing;
  EXPECT_EQ(CJsonResultParser::ParsePoiDetail(lineless.root, missing), 0);
}

TEST(SearchParserTest, GeocodeAndReverseGeocodeAnswers) {
  Tree gc(
      R"({"result":{"type":35,"error":0},"content":{"cn":"北京市","wd":"北京市海淀区中关村","coord":{"x":"12947000","y":"4846000"}}})");
  tag_GeocodeRst geocode;
  SearchError error = SearchError::Network;
  ASSERT_EQ(CJsonResultParser::ParseGeocode(gc.root, geocode, error), 1);
  EXPECT_EQ(error, SearchError::None);
  EXPECT_EQ(Utf8(geocode.cityName), "北京市");
  EXPECT_EQ(geocode.x, 12947000);

  Tree rgc(
      R"({"result":{"type":44,"error":0},"content":{"address":"北京市海淀区丹棱街5号","business":"中关村",
    "address_detail":{"street_number":"5号","street":"丹棱街","district":"海淀区","city":"北京市","province":"北京市"},
    "point":{"x":"12947000","y":"4846000"},
    "surround_poi":[{"name":"微软大厦","addr":"丹棱街","distance":"35.8","point":{"x":"12947010.5","y":"4846020"}}]}})");
  tag_PoiSearchRst reverse;
  ASSERT_EQ(CJsonResultParser::ParseReverseGeocode(rgc.root, reverse, error), 1);
  EXPECT_EQ(Utf8(reverse.street), "丹棱街");
  ASSERT_EQ(reverse.pois.GetSize(), 1);
  EXPECT_EQ(reverse.pois[0].poiType, 10);
  EXPECT_EQ(reverse.pois[0].distance, 35);
  EXPECT_EQ(reverse.pois[0].geometry.GetPartPt(0, 0), _VPoint(1294701050, 484602000));

  // An error number the engine does not name is handed on as the server sent it.
  Tree odd(R"({"result":{"type":35,"error":77},"content":{"cn":"x","coord":{"x":"1","y":"2"}}})");
  tag_GeocodeRst oddGeocode;
  ASSERT_EQ(CJsonResultParser::ParseGeocode(odd.root, oddGeocode, error), 1);
  EXPECT_EQ(ToInt(error), 77);
}

TEST(SearchParserTest, SuggestionsSplitAroundTheQuery) {
  Tree tree(R"({"q":"天安","p":0,"t":1,"s":["北京$$天安门$$12$x","$东城$区$天安门广场$7$",
    "短$x","甲$乙$丙$$3$","天安$b$c$d$4$"]})");
  tag_SuggestionResult result;
  ASSERT_EQ(CJsonResultParser::ParseSuggestion(tree.root, result), 1);
  ASSERT_EQ(result.texts.GetSize(), 3);
  EXPECT_EQ(result.texts[0].ToUtf8(), "天安门");  // found in C: D becomes C + D
  EXPECT_EQ(result.contexts[0].ToUtf8(), "北京");
  EXPECT_EQ(result.numbers[0], 12);
  EXPECT_EQ(result.texts[1].ToUtf8(), "天安门广场");
  EXPECT_EQ(result.contexts[1].ToUtf8(), "东城区");
  EXPECT_EQ(result.texts[2].ToUtf8(), "天安bcd");  // found in A; "甲乙丙" had an empty D
  EXPECT_EQ(result.contexts[2].ToUtf8(), "");
}

TEST(SearchParserTest, TransitRoutesGetTheirStepTextsAndPlanDistances) {
  Tree tree(R"J({"result":{"type":14,"total":1,"sy":3},
    "start":{"wd":"天安门","pt":")J" +
            PointGeo(100, 200) + R"J("},"end":{"wd":"西单"},
    "content":[{"lines":[[{"name":"1路(四惠-老山)","station_num":3,"distance":2400,"type":1,"geo":")J" +
            LineGeo("100,200,300,400") + R"J("},
                         {"name":"地铁4号线","station_num":2,"distance":1500}]],
                "stops":[[{"getOn":{"name":"天安门东"},"walk":{"distance":150}},
                          {"getOff":{"name":"西单站"},"getOn":{"name":"西单站"},"walk":{"distance":5}},
                          {"getOff":{"name":"灵境胡同"},"getOn":{"name":"灵境胡同"},"walk":{"distance":320}}]]}]})J");
  tag_BusRouteRst result;
  ASSERT_EQ(CJsonResultParser::ParseBusRoute(tree.root, result), 1);
  ASSERT_EQ(result.routes.GetSize(), 1);
  EXPECT_EQ(result.hasLineType1, 1);
  const tag_BusRoute& route = result.routes[0];
  const CVArray<tag_BusTransStop>& stops = route.stops[0];
  EXPECT_EQ(stops[0].walkText.ToUtf8(), "步行150米,到达天安门东站");
  EXPECT_EQ(stops[0].rideText.ToUtf8(), "在天安门东站上车,乘坐1路 - 3站");
  EXPECT_EQ(route.plans[0][0].text.ToUtf8(), "乘坐1路, 经过3站, 到达西单站");
  EXPECT_EQ(route.plans[0][0].markup.ToUtf8(),
            "乘坐<font bold=\"1\">1路</font>, 经过3站, 到达<font bold=\"1\">西单站</font>");
  EXPECT_EQ(stops[1].walkSummary.ToUtf8(), "在西单站下车");
  EXPECT_EQ(stops[1].rideText.ToUtf8(), "在西单站上车,乘坐地铁4号线 - 2站");
  EXPECT_EQ(stops[2].walkSummary.ToUtf8(), "在灵境胡同站下车,步行 - 320米");
  EXPECT_EQ(stops[2].rideText.ToUtf8(), "到达灵境胡同");
  ASSERT_EQ(route.planDistances.GetSize(), 1);
  EXPECT_EQ(route.planDistances[0], 150u + 2400 + 5 + 1500 + 320);
}

TEST(SearchParserTest, DrivingRoutesJoinTheirLinksAndDescribeTheSteps) {
  Tree tree(R"({"result":{"type":20,"total":1,"sy":5},"start":{"wd":"起点"},"end":[{"wd":"a"},{"wd":"终点"}],
    "content":{"dis":1850,"time":300,
      "kps":[{"rt":1,"tt":13,"pt":")" +
            PointGeo(1, 2) + R"("},{"rt":4,"tt":4},{"rt":4,"tt":10},{"rt":2}],
      "rss":[{"d":0,"g":")" +
            LineGeo("0,0,10,10") + R"("},{"n":"长安街","t":3,"d":1200,"g":")" + LineGeo("20,20,30,30") +
            R"("},
             {"t":12,"d":650,"g":")" +
            LineGeo("40,40") + R"("},{"d":0}]}})");
  tag_CarRouteRst result;
  ASSERT_EQ(CJsonResultParser::ParseCarRoute(tree.root, 0, result), 1);
  EXPECT_EQ(result.policyClass, 3);
  EXPECT_EQ(Utf8(result.endName), "终点");
  const tag_CarRoute& route = result.route;
  // The start and the first road step come in one step of the pass.
  EXPECT_EQ(route.keyPoints[0].text.ToUtf8(), "从起点向正北方向出发");
  EXPECT_EQ(route.links[1].text.ToUtf8(), "沿长安街行驶1.2公里,");
  EXPECT_EQ(route.keyPoints[1].text.ToUtf8(), "右转上匝道");
  EXPECT_EQ(route.keyPoints[1].text2.ToUtf8(), "右转上匝道 - 650米");
  EXPECT_EQ(route.keyPoints[2].text.ToUtf8(), "左转到达终点");
  EXPECT_EQ(route.keyPoints[2].markup.ToUtf8(),
            "<font bold=\"1\">左转</font>到达<font bold=\"1\">终点</font>");
  EXPECT_EQ(route.keyPoints[3].text.ToUtf8(), "到达终点");
  // Each link begins where the previous one ended.
  EXPECT_EQ(route.links[1].geometry.GetPartPt(0, 0), _VPoint(10, 10));
  EXPECT_EQ(route.links[2].geometry.GetPartPt(0, 0), _VPoint(30, 30));
}

// Left stays left and right stays right, in the turns and in the side of the road the end is on.
TEST(SearchParserTest, DrivingStepsKeepLeftAndRight) {
  struct Row {
    int turn;
    int endKind;
    const char* step;
    const char* markup;
    const char* end;
  };
  const Row rows[] = {
      {2, 5, "稍向右转到达终点(在左侧)",
       "<font bold=\"1\">稍向右转</font>到达<font bold=\"1\">终点</font>(在<font bold=\"1\">左侧</font>)",
       "到达终点(在左侧)"},
      {12, 6, "稍向左转到达终点(在右侧)",
       "<font bold=\"1\">稍向左转</font>到达<font bold=\"1\">终点</font>(在<font bold=\"1\">右侧</font>)",
       "到达终点(在右侧)"},
  };
  for (const Row& row : rows) {
    Tree tree(R"({"result":{"type":20,"total":1},"start":{"wd":"起点"},"end":[{"wd":"终点"}],
      "content":{"dis":1200,"time":100,
        "kps":[{"rt":1,"tt":15,"pt":")" +
              PointGeo(1, 2) + R"("},{"rt":4,"tt":)" + std::to_string(row.turn) + R"(},{"rt":)" +
              std::to_string(row.endKind) + R"(}],
        "rss":[{"d":0,"g":")" +
              LineGeo("0,0,10,10") + R"("},{"n":"长安街","t":3,"d":1200,"g":")" + LineGeo("20,20,30,30") +
              R"("},{"d":0}]}})");
    tag_CarRouteRst result;
    ASSERT_EQ(CJsonResultParser::ParseCarRoute(tree.root, 0, result), 1);
    const tag_CarRoute& route = result.route;
    ASSERT_EQ(route.keyPoints.GetSize(), 3);
    EXPECT_EQ(route.keyPoints[0].text.ToUtf8(), "从起点向正东方向出发");
    EXPECT_EQ(route.keyPoints[1].text.ToUtf8(), row.step);
    EXPECT_EQ(route.keyPoints[1].markup.ToUtf8(), row.markup);
    EXPECT_EQ(route.keyPoints[2].text.ToUtf8(), row.end);
  }
  // Each turn to the right has its mirror to the left.
  for (int right = 2; right <= 6; ++right) {
    std::string mirrored = TurnName(right);
    const std::string from = "右", to = "左";
    mirrored.replace(mirrored.find(from), from.size(), to);
    EXPECT_EQ(mirrored, TurnName(14 - right)) << right;
  }
  EXPECT_STREQ(KeyPointKindName(0, 5), "到达终点(在左侧)");
  EXPECT_STREQ(KeyPointKindName(2, 6), "到达终点(在右侧)");
}

TEST(SearchParserTest, BusLinesCityListsAndOfflineCities) {
  Tree line(R"({"result":{"type":18,"total":1},"content":{"name":"1路","startTime":"05:00","endTime":"23:00",
    "geo":")" +
            LineGeo("1,2,3,4;5,6") + R"(","stations":[{"name":"四惠"},{"name":"老山"}]}})");
  tag_BusLineRst busLine;
  ASSERT_EQ(CJsonResultParser::ParseBusLine(line.root, busLine), 1);
  ASSERT_EQ(busLine.lines.GetSize(), 1);
  EXPECT_EQ(busLine.lines[0].geometry.GetPartSize(), 2);
  EXPECT_EQ(busLine.lines[0].stations.GetSize(), 2);

  Tree cities(
      R"({"result":{"type":7,"current_null":1},"content":[{"code":131,"name":"北京","num":40},{"code":289,"name":"上海","num":12}]})");
  tag_CityListRst list;
  ASSERT_EQ(CJsonResultParser::ParseCityList(cities.root, list), 1);
  EXPECT_EQ(list.count, 2);
  EXPECT_EQ(list.currentNull, 1);

  Tree offline(R"({"result":{"error":0},"content":[
    {"name":"北京","cityid":"131","task":"a.zip||b.zip","size":1024,"center_x":"1","center_y":"2","l":"10","ls":"3","le":"18","cityver":"5"},
    {"name":"缺少"}]})");
  CVArray<tag_OfflineTask> tasks;
  EXPECT_EQ(CJsonResultParser::ParseOfflineCities(offline.root, tasks), 0);
  ASSERT_EQ(tasks.GetSize(), 1);  // read before the broken element
  EXPECT_EQ(tasks[0].packages.GetSize(), 2);
  EXPECT_EQ(tasks[0].endLevel, 18);
}

TEST(RouteStepTextTest, DistancesAndNames) {
  EXPECT_EQ(DistanceText(0).ToUtf8(), "");
  EXPECT_EQ(DistanceText(4).ToUtf8(), "10米");
  EXPECT_EQ(DistanceText(14).ToUtf8(), "10米");
  EXPECT_EQ(DistanceText(15).ToUtf8(), "20米");
  EXPECT_EQ(DistanceText(999).ToUtf8(), "1000米");
  EXPECT_EQ(DistanceText(1000).ToUtf8(), "1.0公里");
  EXPECT_STREQ(TurnName(25), "");
  EXPECT_STREQ(KeyPointKindName(2, 4), "步行");
  EXPECT_STREQ(RoadKindName(16), "隧道");
}

}  // namespace

namespace {

TEST(SearchParserTest, RouteEndCandidatesAsPlacesOrCities) {
  Tree tree(
      R"({"result":{"type":23,"city_list":[0,1],"prio_flag":[0,0],"s_wd":"天安门","e_wd":"西单","if_nav":1,
    "start_city":{"cname":"北京","code":131}},
    "content":{"start":[{"name":"天安门东","addr":"东城;东城","uid":"s1","geo":")" +
      PointGeo(10, 20) + R"("}],
               "end":[{"code":131,"name":"北京","num":3},{"code":289,"name":"上海","num":1}]}})");
  tag_RouteAddrRst result;
  ASSERT_EQ(CJsonResultParser::ParseRouteAddr(tree.root, result), 1);
  EXPECT_EQ(result.ifNav, 1);
  EXPECT_EQ(result.startIsCityList, 0);
  EXPECT_EQ(result.endIsCityList, 1);
  EXPECT_EQ(result.startCount, 1);
  EXPECT_EQ(result.startPriority, 1);  // exactly one place
  EXPECT_EQ(result.endCount, 2);
  EXPECT_EQ(Utf8(result.startChoices[0].address), "东城");
  EXPECT_EQ(Utf8(result.startWord), "天安门");
  EXPECT_EQ(result.startCityCode, 131);
  EXPECT_EQ(CJsonResultParser::ParseRouteAddr(nullptr, result), 0);
}

TEST(SearchParserTest, SeveralKeywordsKeepTheirGroups) {
  Tree tree(R"({"result":{"type":45,"result_array":[{"total":12},{"total":0},{"total":3}]},
    "content":[[{"name":"银行甲"},{"name":"银行乙"}],[],"oops"]})");
  tag_MultiKeyPoiRst result;
  ASSERT_EQ(CJsonResultParser::ParseMultiKeyPoi(tree.root, result), 1);
  EXPECT_EQ(result.answerKind, 5);
  ASSERT_EQ(result.pois.GetSize(), 3);
  EXPECT_EQ(result.counts[0], 2);
  EXPECT_EQ(result.counts[2], 0);
  EXPECT_EQ(result.totals[0], 12);
  Tree noTotals(R"({"result":{"type":45},"content":[]})");
  tag_MultiKeyPoiRst missing;
  EXPECT_EQ(CJsonResultParser::ParseMultiKeyPoi(noTotals.root, missing), 0);
}

TEST(SearchParserTest, MapPointsLinksAndVersions) {
  Tree point(R"({"content":["12947000.5,4846000.25","1"]})");
  tag_MapPointRst mapPoint;
  ASSERT_EQ(CJsonResultParser::ParseMapPoint(point.root, mapPoint), 1);
  EXPECT_DOUBLE_EQ(mapPoint.x, 12947000.5);
  EXPECT_DOUBLE_EQ(mapPoint.y, 4846000.25);
  EXPECT_EQ(mapPoint.flag, 1);
  Tree noComma(R"({"content":["12947000","1"]})");
  EXPECT_EQ(CJsonResultParser::ParseMapPoint(noComma.root, mapPoint), 0);

  Tree poiPoint(R"({"result":{"type":28},"content":[{"name":"a","geo":")" + PointGeo(-199, 1299) + R"("}]})");
  ASSERT_EQ(CJsonResultParser::ParseMapPointPoi(poiPoint.root, mapPoint), 1);
  EXPECT_EQ(mapPoint.x, -1);
  EXPECT_EQ(mapPoint.y, 12);

  Tree link(R"({"state":"success","url":"http://m.example/x"})");
  CVString url;
  ASSERT_EQ(CJsonResultParser::ParseLink(link.root, url), 1);
  EXPECT_EQ(url.ToUtf8(), "http://m.example/x");
  Tree failed(R"({"state":"fail","url":"x"})");
  EXPECT_EQ(CJsonResultParser::ParseLink(failed.root, url), 0);

  Tree versions(
      R"({"result":{"error":0},"content":{"version":[{"pic_version":"3","task_version":"7","city_version":"9"}]}})");
  tag_DataVersions v;
  ASSERT_EQ(CJsonResultParser::ParseDataVersions(versions.root, v), 1);
  EXPECT_EQ(v.d.ToUtf8(), "3");
  EXPECT_EQ(v.m.ToUtf8(), "7");
  EXPECT_EQ(v.c.ToUtf8(), "9");
  Tree partial(R"({"result":{"error":0},"content":{"version":[{"pic_version":"3"}]}})");
  EXPECT_EQ(CJsonResultParser::ParseDataVersions(partial.root, v), 0);
}

TEST(SearchParserTest, CitiesAndBackgroundTiles) {
  Tree city(R"({"result":{"type":2},"content":{"cname":"杭州市","city_type":2,"code":179,"uid":"c179",
    "sup_bus":1,"sup_subway":2,"geo":")" +
            LineGeo("1,2,3,4") + R"("}})");
  tag_GeoShapeInfo info;
  ASSERT_EQ(CJsonResultParser::ParseCity(city.root, info), 1);
  EXPECT_EQ(Utf8(info.name), "杭州市");
  EXPECT_EQ(info.level, 12);  // derived from city type 2
  EXPECT_EQ(info.supBus, 1);
  EXPECT_EQ(info.supSubway, 0);
  tag_GeoShapeInfo copy;
  copy = info;
  EXPECT_EQ(copy.cityCode, 179);
  EXPECT_STREQ(copy.uid, "");  // the uid is not copied

  Tree center(R"({"result":{"type":4},"content":{"name":"北京市","type":2,"uid":131}})");
  tag_GeoShapeInfo current;
  ASSERT_EQ(CJsonResultParser::ParseCityCenter(center.root, current), 1);
  EXPECT_EQ(current.cityCode, 131);

  Tree tiles(R"({"result":{"type":510,"count":2,"error":0,"wd":"餐饮"},"content":[
    {"tileid":"15_100_200","uids":[{"x":12.9,"y":4.2,"uid":"p1","name":"面馆"}]},
    {"tileid":"15-100","uids":[]},
    {"tileid":"15_101_200"},
    {"tileid":"15_102_200","uids":[]}]})");
  tag_PoiBkgDataRst bkg;
  ASSERT_EQ(CJsonResultParser::ParsePoiBkgData(tiles.root, bkg), 1);
  EXPECT_EQ(bkg.word.ToUtf8(), "餐饮");
  ASSERT_EQ(bkg.tiles.GetSize(), 1);  // a bad id is skipped; a tile without "uids" ends the list
  EXPECT_EQ(bkg.tiles[0].key[2], 200);
  EXPECT_EQ(bkg.tiles[0].pois[0].x, 12);
  EXPECT_EQ(Utf8(bkg.tiles[0].pois[0].name), "面馆");
}

TEST(RouteStepTextTest, StopAndLineNamesAreTouchedOnce) {
  tag_BusRouteRst record;
  tag_BusRoute route;
  CVArray<tag_BusLine> rides;
  tag_BusLine ride;
  CopyRecordText(ride.name, sizeof ride.name, CVStringToMultiByte(CP_ACP, CVString("地铁1号线")).c_str());
  ride.stationCount = 4;
  rides.Add(ride);
  CVArray<tag_BusTransStop> stops;
  stops.SetSize(2);
  CopyRecordText(stops[0].onName, 100, CVStringToMultiByte(CP_ACP, CVString("西单站")).c_str());
  CopyRecordText(stops[1].offName, 100, CVStringToMultiByte(CP_ACP, CVString("复兴门")).c_str());
  route.plans.Add(rides);
  route.stops.Add(stops);
  // A plan whose stops do not fit its rides gets no texts and no distance.
  route.plans.Add(rides);
  route.stops.Add(CVArray<tag_BusTransStop>());
  record.routes.Add(route);
  BuildBusRouteTexts(record);
  const tag_BusRoute& built = record.routes[0];
  EXPECT_EQ(built.plans[0][0].text.ToUtf8(), "乘坐地铁1号线, 经过4站, 到达复兴门站");
  EXPECT_EQ(built.stops[0][0].walkSummary.ToUtf8(), "步行,到达西单站");
  EXPECT_TRUE(built.stops[0][0].walkText.IsEmpty());
  EXPECT_EQ(built.planDistances.GetSize(), 1);
  EXPECT_TRUE(built.plans[1][0].text.IsEmpty());
}

}  // namespace
