#include <gtest/gtest.h>

#include <cstring>

#include "mapsdk/engine/CUrlTranslater.h"
#include "platform/foundation/Environment.h"
#include "tests/mapsdk/engine/GbkTestText.h"

using namespace gmengine;
using enginetest::kBeijingGbk;

namespace {

class CUrlTranslaterTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Environment::setMapHostUrl("http://maps.test:8080/"); }
  void TearDown() override { platform::Environment::reset(); }
  static tag_RouteNode Point(double x, double y) {
    tag_RouteNode node;
    node.kind = 1;
    node.x = x;
    node.y = y;
    return node;
  }
  static tag_RouteNode Named(const char* gbk) {
    tag_RouteNode node;
    node.kind = 2;
    std::strncpy(node.name, gbk, sizeof node.name - 1);
    return node;
  }
  std::string Built(int ok) {
    EXPECT_EQ(ok, 1);
    return url.ToUtf8();
  }

  CUrlTranslater t;
  CVString url;
};

TEST_F(CUrlTranslaterTest, PoiSearches) {
  t.SetMapView(14, _VRect(100, 300, 200, 250));
  EXPECT_EQ(Built(t.GetPoiInCityUrl(url, CVString("咖啡"), 131, 0, 10, kBeijingGbk)),
            "http://maps.test:8080/?qt=con&wd=%E5%92%96%E5%95%A1&c=131&pn=0&rn=10&l=14&b=(100,250;200,300)"
            "&ie=utf-8&cn=%E5%8C%97%E4%BA%AC");
  EXPECT_EQ(Built(t.GetPoiInBoundsUrl(url, CVString("bank"), 20.9, 10.2, 1.5, 30.7, -1, 2, 10, nullptr)),
            "http://maps.test:8080/?qt=bd2&wd=bank&c=-1&pn=2&rn=10&b=(1,10;20,30)&ie=utf-8");
  EXPECT_EQ(Built(t.GetPoiMultiKeyUrl(url, CVString("a$$b"), 2, 0, 0, 10, 10, -1, 0, 5, "")),
            "http://maps.test:8080/?qt=bda&wdn=2&wd=a%24%24b&c=-1&pn=0&rn=5&b=(0,0;10,10)&ie=utf-8");
  CVString before = url;
  EXPECT_EQ(t.GetPoiInCityUrl(url, CVString("x"), 1, 0, -1, nullptr), 0);  // negative page size
  EXPECT_EQ(t.GetPoiInCityUrl(url, CVString(), 1, 0, 10, nullptr), 0);
  EXPECT_EQ(t.GetPoiInCityUrl(url, CVString("x"), 1, 0, 10, "\x81"), 0);  // not GBK
  EXPECT_EQ(url, before);
}

TEST_F(CUrlTranslaterTest, Routes) {
  EXPECT_EQ(Built(t.GetTransitUrl(url, Point(1.9, 2), Point(3, 4), 3, 131, nullptr)),
            "http://maps.test:8080/?qt=bt&sn=1%24%241%2C2%24%24&en=1%24%243%2C4%24%24&sy=3&c=131&ie=utf-8");
  EXPECT_EQ(Built(t.GetTransitUrl(url, Named(kBeijingGbk), Point(3, 4), 4, -1, kBeijingGbk)),
            "http://maps.test:8080/?qt=bse&sn=2%24%24%24%24%E5%8C%97%E4%BA%AC&en=1%24%243%2C4%24%24&sy=4&c=-1"
            "&ie=utf-8&cn=%E5%8C%97%E4%BA%AC");
  EXPECT_EQ(
      Built(t.GetDrivingUrl(url, -1, -1, Point(1, 2), Point(3, 4), 0, nullptr, nullptr)),
      "http://maps.test:8080/?qt=nav&sn=1%24%241%2C2%24%24&en=1%24%243%2C4%24%24&sc=-1&ec=-1&sy=0&ie=utf-8");
  EXPECT_EQ(Built(t.GetWalkingUrl(url, -1, -1, Point(1, 2), Named("A"), kBeijingGbk, "")),
            "http://maps.test:8080/?qt=wse&sn=1%24%241%2C2%24%24&en=2%24%24%24%24A&sc=-1&ec=-1&ie=utf-8"
            "&scn=%E5%8C%97%E4%BA%AC");
  tag_RouteNode nothing;
  EXPECT_EQ(t.GetTransitUrl(url, nothing, Point(1, 1), 3, 1, nullptr), 0);
  EXPECT_EQ(t.GetWalkingUrl(url, 1, 1, Named(""), Point(1, 1), nullptr, nullptr), 0);
}

TEST_F(CUrlTranslaterTest, CityBusLineBackgroundSuggestionAndGeocoding) {
  EXPECT_EQ(Built(t.GetCityByCenterUrl(url, _VRect(1, 40, 30, 2), 12)),
            "http://maps.test:8080/?qt=cen&b=1,2;30,40&l=12&ie=utf-8&tn=wl01&oue=0");
  EXPECT_EQ(Built(t.GetBusLineUrl(url, 131, CVString("ab12"))),
            "http://maps.test:8080/?qt=bsl&ie=utf-8&oue=0&c=131&uid=ab12");
  EXPECT_EQ(t.GetBusLineUrl(url, 131, CVString()), 0);
  CVArray<_VPoint> tiles;
  tiles.Add({10, 20});
  tiles.Add({-1, 21});
  EXPECT_EQ(Built(t.GetPoiBkgDataUrl(url, CVString("餐"), 131, 20, 15, tiles, _VRect(0, 9, 5, 1))),
            "http://maps.test:8080/?qt=bkg_data_ex&wd=%E9%A4%90&c=131&rn=20&l=15&xy=10_20,-1_21&b=(0,1;5,9)");
  EXPECT_EQ(t.GetPoiBkgDataUrl(url, CVString("x"), 1, 20, 15, CVArray<_VPoint>(), _VRect()), 0);
  EXPECT_EQ(Built(t.GetSuggestionUrl(url, CVString("ka fei"), 131, 0)),
            "http://maps.test:8080/su?wd=ka%20fei&cid=131&type=0");
  EXPECT_EQ(Built(t.GetGeocodeUrl(url, CVString("长安街1号"), 131, nullptr)),
            "http://maps.test:8080/?qt=gc&c=131&ie=utf-8&oue=0&wd=%E9%95%BF%E5%AE%89%E8%A1%971%E5%8F%B7");
  EXPECT_EQ(Built(t.GetGeocodeUrl(url, CVString("x"), -1, kBeijingGbk)),
            "http://maps.test:8080/?qt=gc&cn=%E5%8C%97%E4%BA%AC&ie=utf-8&oue=0&wd=x");
  EXPECT_EQ(Built(t.GetReverseGeocodeUrl(url, 12958162, -4825907)),
            "http://maps.test:8080/api?x=12958162&y=-4825907&qt=rgc");
}

TEST_F(CUrlTranslaterTest, OfflineCatalogueAndTiles) {
  EXPECT_EQ(Built(t.GetOfflineCityListUrl(url, 2)), "http://maps.test:8080/offlinemap/?qt=taskcity&dpi=ldpi");
  t.SetScreenDpi(163, 181);
  EXPECT_EQ(Built(t.GetOfflineCityListUrl(url)), "http://maps.test:8080/offlinemap/?qt=taskcity&dpi=hdpi");
  CVArray<int> ids;
  EXPECT_EQ(t.GetOfflineCitySearchUrl(url, ids), 0);
  ids.Add(131);
  ids.Add(289);
  EXPECT_EQ(Built(t.GetOfflineCitySearchUrl(url, ids)),
            "http://maps.test:8080/offlinemap/?qt=taskcity&c=131,289&dpi=hdpi");
  EXPECT_EQ(Built(t.GetOfflineUpdateUrl(url, CVString("VerDatset.dat"))),
            "http://maps.test:8080/update/VerDatset.dat");
  CVArray<CVString> keys;
  keys.Add(CVString("12_34"));
  keys.Add(CVString("-1_35"));
  EXPECT_EQ(Built(t.GetGridDataUrl(url, 0, 12, 0, 0, keys, 7)),
            "http://maps.test:8080/tile/?type=map&l=12&c=12_34,-1_35&tick=7");
  EXPECT_EQ(Built(t.GetGridDataUrl(url, 4, 12, 0, 0, keys, 8)),
            "http://maps.test:8080/tile/?type=sat&l=12&c=12_34,-1_35&tick=8");
  EXPECT_EQ(Built(t.GetGridDataUrl(url, 2, 11, 3, 1730, keys, 1000001)),
            "http://maps.test:8080/tile/?type=trahis&day=3&time=1730&l=11&c=12_34,-1_35&tick=1000001");
  EXPECT_EQ(t.GetGridDataUrl(url, 9, 12, 0, 0, keys, 1), 0);
  EXPECT_EQ(t.GetGridDataUrl(url, 0, 12, 0, 0, CVArray<CVString>(), 1), 0);
}

TEST_F(CUrlTranslaterTest, LocationRequests) {
  CVArray<CVString> names, values;
  EXPECT_EQ(t.GetLocationUrl(url, names, values, CVString(), CVString(), 2), 0);
  EXPECT_EQ(Built(t.GetLocationUrl(url, names, values, CVString("460|0|1|2"), CVString(), 2)),
            "http://maps.test:8080/loc/");
  ASSERT_EQ(names.GetSize(), 3);
  EXPECT_EQ(names[1], CVString("cl"));
  EXPECT_EQ(values[1], CVString("460|0|1|2"));
  EXPECT_EQ(values[2], CVString("2"));
  CVArray<CVString> entries;
  for (int i = 0; i < 25; ++i) entries.Add(CVString("&cl=x"));
  EXPECT_EQ(Built(t.GetLocDataPostFields(url, names, values, entries)), "http://maps.test:8080/loc/");
  EXPECT_EQ(names.GetSize(), CUrlTranslater::kMaxPostFields);
  EXPECT_EQ(values[0], CVString("cldc"));
  EXPECT_EQ(names[19], CVString("d18"));
}

}  // namespace
