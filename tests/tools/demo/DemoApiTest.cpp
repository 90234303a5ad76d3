#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "demo/ApiFixtureServer.h"
#include "demo/DemoApi.h"
#include "kit/core/DataLoadAndParser.h"
#include "tests/kit/core/LoaderTestSupport.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

using test::DemoApi;

// The sample's answers, read by the client's own XML loader.
class DemoApiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { api = DemoApi::load(DemoApi::defaultSampleRoot()); }
  static void TearDownTestSuite() { api.reset(); }

  std::shared_ptr<DataItemResult> ask(std::string_view call, std::string_view query) {
    auto answer = api->answer(call, DemoApi::parseParams(query));
    EXPECT_TRUE(answer) << call;
    if (!answer) return DataItemResult::create();
    auto result = DataLoadAndParser::initWithData(*answer)->getResult();
    EXPECT_TRUE(result) << *answer;
    return result ? result : DataItemResult::create();
  }
  static std::vector<std::string> column(const DataItemResult& r, std::string_view key) {
    std::vector<std::string> values;
    for (const auto& row : r.dataList()) values.push_back(row->getString(key));
    return values;
  }

  static std::shared_ptr<const DemoApi> api;
};
std::shared_ptr<const DemoApi> DemoApiTest::api;

TEST_F(DemoApiTest, TheSampleHoldsHundredsOfJobs) {
  ASSERT_TRUE(api);
  EXPECT_GE(api->jobCount(), 300u);
  EXPECT_FALSE(DemoApi::load(test::ApiFixtureServer::defaultFixtureRoot()));
  EXPECT_EQ(api->answer("user/login.php", {}), std::nullopt);  // left to the fixture files
}

TEST_F(DemoApiTest, ASampleWhoseJobNamesAnUnknownCompanyIsRefused) {
  test::TempHome home;
  std::filesystem::path copy = std::filesystem::path(home.path()) / "sample";
  std::filesystem::copy(DemoApi::defaultSampleRoot(), copy, std::filesystem::copy_options::recursive);
  ASSERT_TRUE(DemoApi::load(copy.string()));
  // Keep the header and every company but the first: some job now names a company nobody has.
  std::ifstream in(copy / "companies.tsv");
  std::string header, first, rest, line;
  std::getline(in, header);
  std::getline(in, first);
  while (std::getline(in, line)) rest += line + "\n";
  in.close();
  std::ofstream(copy / "companies.tsv", std::ios::trunc) << header << "\n" << rest;
  EXPECT_FALSE(DemoApi::load(copy.string()));
}

TEST_F(DemoApiTest, AreaLevelsEndAtDistricts) {
  auto root = ask("datadict/get_jobarea.php", "ddtype=jobarea&code=&language=c");
  ASSERT_GE(root->count(), 10u);
  std::set<std::string> hot;
  for (const auto& row : root->dataList()) {
    EXPECT_TRUE(row->getBool("hassub")) << row->getString("value");
    if (row->getBool("ishot")) hot.insert(row->getString("value"));
  }
  EXPECT_TRUE(hot.contains("北京") && hot.contains("上海"));

  // A city: itself first (the whole city), then its districts, none with a lower level.
  auto shanghai = ask("datadict/get_jobarea.php", "ddtype=jobarea&code=020000&language=c");
  ASSERT_GE(shanghai->count(), 3u);
  EXPECT_EQ(shanghai->dataList()[0]->getString("code"), "020000");
  EXPECT_EQ(column(*shanghai, "value")[1], "浦东新区");
  for (const auto& row : shanghai->dataList())
    EXPECT_FALSE(row->getBool("hassub")) << row->getString("value");
  auto district = ask("datadict/get_jobarea.php", "ddtype=jobarea&code=020100&language=c");
  EXPECT_FALSE(district->hasError());
  EXPECT_EQ(district->count(), 0u);

  // A province: its cities, which have districts.
  auto jiangsu = ask("datadict/get_jobarea.php", "ddtype=jobarea&code=070000&language=c");
  ASSERT_GE(jiangsu->count(), 2u);
  EXPECT_EQ(jiangsu->dataList()[1]->getString("value"), "南京");
  EXPECT_TRUE(jiangsu->dataList()[1]->getBool("hassub"));
  auto nanjing = ask("datadict/get_jobarea.php", "ddtype=jobarea&code=070200&language=c");
  EXPECT_EQ(column(*nanjing, "value")[1], "玄武区");

  // The resume's area pickers read the same tree.
  EXPECT_EQ(ask("datadict/get_jobarea.php", "ddtype=hukou&code=")->count(), root->count());
}

TEST_F(DemoApiTest, EveryDictionaryTheScreensOpenAnswers) {
  for (const char* ddtype : {"funtype", "indtype", "issuedate", "saltype", "degree", "workterm", "workyear",
                             "cotype", "cosize", "email_suffix"}) {
    auto r = ask("datadict/get_datadict.php", std::string("ddtype=") + ddtype + "&code=&language=c");
    EXPECT_FALSE(r->hasError()) << ddtype;
    EXPECT_GE(r->count(), 2u) << ddtype;
  }
  auto it = ask("datadict/get_special_datadict.php", "ddtype=funtype&code=0100&language=c");
  EXPECT_EQ(column(*it, "code")[0], "0100");
  EXPECT_EQ(column(*it, "value")[1], "软件工程师");
  auto landmarks = ask("datadict/get_datadict.php", "ddtype=landmark&code=020000&language=c");
  EXPECT_EQ(column(*landmarks, "value")[0], "陆家嘴");
  auto unknown = ask("datadict/get_datadict.php", "ddtype=nosuch&code=");
  EXPECT_TRUE(unknown->hasError());
  EXPECT_NE(unknown->message().find("nosuch"), std::string::npos);
}

TEST_F(DemoApiTest, KeywordAreaAndFiltersSelectJobs) {
  auto java =
      ask("job/search_job_list.php", "postchannel=0000&keyword=java&keywordtype=1&pagesize=10&pageno=1");
  ASSERT_GT(java->maxCount(), 0u);
  for (const auto& name : column(*java, "jobname")) EXPECT_NE(name.find("Java"), std::string::npos) << name;

  auto shanghai =
      ask("job/search_job_list.php", "keyword=%E5%B7%A5%E7%A8%8B%E5%B8%88&jobarea=020000&pagesize=10");
  auto beijing =
      ask("job/search_job_list.php", "keyword=%E5%B7%A5%E7%A8%8B%E5%B8%88&jobarea=010000&pagesize=10");
  ASSERT_GT(shanghai->count(), 0u);
  ASSERT_GT(beijing->count(), 0u);
  for (const auto& code : column(*shanghai, "jobarea.code")) EXPECT_EQ(code.substr(0, 2), "02");
  for (const auto& code : column(*beijing, "jobarea.code")) EXPECT_EQ(code.substr(0, 2), "01");
  EXPECT_NE(column(*shanghai, "jobid"), column(*beijing, "jobid"));
  EXPECT_TRUE(shanghai->detailInfo()->getBool("enablelandmarks"));

  // Several areas, function and industry codes, and the filters.
  auto two = ask("job/search_job_list.php", "jobarea=020000%2C010000&funtype=0100&pagesize=100");
  for (const auto& code : column(*two, "jobarea.code")) EXPECT_TRUE(code[1] == '1' || code[1] == '2') << code;
  EXPECT_GT(two->maxCount(), shanghai->maxCount());
  auto filtered = ask("job/search_job_list.php", "jobarea=020000&degree=04&saltype=05&pagesize=100");
  ASSERT_GT(filtered->count(), 0u);
  EXPECT_LT(filtered->maxCount(), ask("job/search_job_list.php", "jobarea=020000")->maxCount());
  for (const auto& row : filtered->dataList()) {
    EXPECT_EQ(row->getString("degree"), "本科");
    EXPECT_EQ(row->getString("providesalary"), "6000-7999");
  }
  // No-limit codes limit nothing.
  EXPECT_EQ(ask("job/search_job_list.php", "jobarea=020000&degree=00&cotype=00&indtype=0000")->maxCount(),
            ask("job/search_job_list.php", "jobarea=020000")->maxCount());
  // The campus channel: jobs for students and new graduates.
  auto campus = ask("job/search_job_list.php", "postchannel=0100&jobarea=010000&pagesize=100");
  ASSERT_GT(campus->count(), 0u);
  EXPECT_LT(campus->maxCount(),
            ask("job/search_job_list.php", "postchannel=0000&jobarea=010000")->maxCount());
  for (const auto& row : campus->dataList())
    EXPECT_TRUE(row->getString("workyear") == "在读学生" || row->getString("workyear") == "应届毕业生");
  // A company-name keyword.
  auto company = ask("job/search_job_list.php", "keyword=%E6%B5%A6%E6%B1%9F%E6%95%B0%E6%8D%AE&keywordtype=0");
  for (const auto& name : column(*company, "coname")) EXPECT_NE(name.find("浦江数据"), std::string::npos);
  EXPECT_GE(company->count(), 3u);
}

TEST_F(DemoApiTest, PagesDifferAndEnd) {
  std::string query = "jobarea=020000&pagesize=10&pageno=";
  auto first = ask("job/search_job_list.php", query + "1");
  std::uint32_t total = first->maxCount();
  ASSERT_GT(total, 20u);
  std::set<std::string> seen;
  std::uint32_t rows = 0;
  std::uint32_t pages = (total + 9) / 10;
  for (std::uint32_t page = 1; page <= pages; ++page) {
    auto r = ask("job/search_job_list.php", query + std::to_string(page));
    EXPECT_EQ(r->maxCount(), total);
    EXPECT_EQ(r->count(), page < pages ? 10u : total - 10 * (pages - 1)) << page;
    for (const auto& id : column(*r, "jobid")) EXPECT_TRUE(seen.insert(id).second) << id;
    rows += static_cast<std::uint32_t>(r->count());
  }
  EXPECT_EQ(rows, total);
  EXPECT_EQ(ask("job/search_job_list.php", query + std::to_string(pages + 1))->count(), 0u);
}

TEST_F(DemoApiTest, AKeywordWithoutMatchGivesTheEmptyAnswer) {
  auto none = ask("job/search_job_list.php", "keyword=zzqx&keywordtype=1&jobarea=020000");
  EXPECT_FALSE(none->hasError());
  EXPECT_EQ(none->count(), 0u);
  EXPECT_EQ(none->maxCount(), 0u);
  EXPECT_NE(none->detailInfo()->getString("searchsuggestions").find("zzqx"), std::string::npos);
  EXPECT_EQ(ask("job/associate_keyword.php", "keyword=zzqx&keywordtype=1")->count(), 0u);

  // What the answer echoes stays readable XML, whatever was typed.
  auto typed = ask("job/search_job_list.php", "keyword=j%DC%01%3C%26ava&jobarea=020000");
  EXPECT_FALSE(typed->localError()) << typed->message();
  EXPECT_NE(typed->detailInfo()->getString("searchsuggestions").find("j\xEF\xBF\xBD<&ava"),
            std::string::npos);
  auto unknown = ask("datadict/get_datadict.php", "ddtype=%FF%FE");
  EXPECT_FALSE(unknown->localError()) << unknown->message();
  EXPECT_TRUE(unknown->hasError());

  auto suggestions = ask("job/associate_keyword.php", "keyword=java&keywordtype=1");
  ASSERT_GT(suggestions->count(), 1u);
  EXPECT_EQ(column(*suggestions, "keyword")[0], "java");
  for (const auto& row : suggestions->dataList()) EXPECT_GT(row->getInt("count"), 0);
}

TEST_F(DemoApiTest, EachJobAndCompanyHasItsOwnDetail) {
  auto c = ask("job/get_job_info.php", "jobid=45127603");
  EXPECT_EQ(c->detailInfo()->getString("jobname"), "高级软件工程师（C++）");
  EXPECT_EQ(c->detailInfo()->getString("caddr"), "上海市浦东新区张江高科技园区碧波路 690 号");
  auto marketing = ask("job/get_job_info.php", "jobid=44990012");
  EXPECT_EQ(marketing->detailInfo()->getString("jobname"), "Marketing Assistant");
  EXPECT_EQ(marketing->detailInfo()->getString("coname"), "广州 \"星河\" 贸易有限公司");
  EXPECT_TRUE(ask("job/get_job_info.php", "jobid=1")->hasError());

  auto company = ask("job/get_co_info.php", "coid=1872254");
  EXPECT_EQ(company->detailInfo()->getString("coname"), "北京东方信达咨询有限公司");
  EXPECT_NE(ask("job/get_co_info.php", "coid=2310486")->detailInfo()->getString("coinfo"),
            company->detailInfo()->getString("coinfo"));
  auto jobs = ask("job/get_co_alljob.php", "coid=2310486&pageno=1&pagesize=20");
  EXPECT_GE(jobs->count(), 3u);
  for (const auto& name : column(*jobs, "coname")) EXPECT_EQ(name, "上海浦江数据科技有限公司");
  auto inBeijing = ask("job/get_co_alljob.php", "jobarea=010000&coid=2310486&pageno=1&pagesize=20");
  EXPECT_EQ(column(*inBeijing, "jobname"), std::vector<std::string>{"测试工程师"});
  EXPECT_EQ(column(*ask("job/get_co_jobarea.php", "coid=2310486"), "value"),
            (std::vector<std::string>{"上海", "北京"}));
  auto where = ask("job/get_co_lonlat.php", "coid=2310486");
  EXPECT_EQ(where->statusCode(), 1);
  EXPECT_EQ(where->detailInfo()->getString("latitude"), "31.203700");
  EXPECT_EQ(ask("fans/get_company_info.php", "coid=1872254")->detailInfo()->getString("coname"),
            "北京东方信达咨询有限公司");
  EXPECT_EQ(ask("fans/get_co_topics.php", "coid=2310486&pageno=1&pagesize=10")->count(), 2u);
}

TEST_F(DemoApiTest, TheMapSearchAnswersAroundAnyPoint) {
  auto distanceKm = [](double lat1, double lon1, double lat2, double lon2) {
    double north = (lat2 - lat1) * 111.0, east = (lon2 - lon1) * 111.0 * std::cos(lat1 * 3.14159265 / 180);
    return std::hypot(north, east);
  };
  for (auto [lat, lon] :
       {std::pair{31.2304, 121.4737}, std::pair{45.75, 126.63}, std::pair{-33.87, 151.21}}) {
    std::string query = "lonlat=" + std::to_string(lon) + "," + std::to_string(lat) +
                        "&radius=2.000000&maptype=geomap&pagesize=10&pageno=1";
    auto r = ask("job/map_search.php", query);
    ASSERT_GT(r->count(), 0u) << lat << "," << lon;
    EXPECT_GT(r->maxCount(), 10u);
    for (const auto& row : r->dataList()) {
      double d = distanceKm(lat, lon, std::stod(row->get_latitude()), std::stod(row->get_longitude()));
      EXPECT_LE(d, 2.01) << row->getString("jobname");
    }
    auto wider = ask("job/map_search.php", "lonlat=" + std::to_string(lon) + "," + std::to_string(lat) +
                                               "&radius=6.0&pagesize=10&pageno=1");
    EXPECT_GT(wider->maxCount(), r->maxCount());
  }
  // The conditions hold on the map too.
  auto sales = ask("job/map_search.php", "lonlat=121.4737,31.2304&radius=5&funtype=0200&degree=03");
  ASSERT_GT(sales->count(), 0u);
  for (const auto& row : sales->dataList()) EXPECT_EQ(row->getString("degree"), "大专");
  EXPECT_EQ(ask("job/map_search.php", "radius=5&pagesize=10&pageno=1")->count(), 0u);
}

TEST_F(DemoApiTest, TheCurrentAreaIsTheNearestCity) {
  auto shanghai = ask("util/get_location.php", "longitude=121.590700&latitude=31.203700");
  EXPECT_EQ(column(*shanghai, "code"), (std::vector<std::string>{"020000", "020000"}));
  auto beijing = ask("util/get_location.php", "longitude=116.3&latitude=39.95");
  EXPECT_EQ(column(*beijing, "value")[0], "北京");
}

TEST(DemoApiParams, DecodesQueriesAndForms) {
  auto p = DemoApi::parseParams("keyword=c%2B%2B+dev&jobarea=010000%2C020000&empty=&flag&bad=%zz");
  EXPECT_EQ(p["keyword"], "c++ dev");
  EXPECT_EQ(p["jobarea"], "010000,020000");
  EXPECT_EQ(p["empty"], "");
  EXPECT_TRUE(p.contains("flag"));
  EXPECT_EQ(p["bad"], "%zz");
}

// The server engages the sample for the runner's root and records what it was asked.
class DemoServerTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Environment::setApiHostUrl(server.hostUrl()); }
  void TearDown() override {
    platform::RunLoop::main().discardAll();
    platform::HTTPReadStream::closeIdleConnections();
    platform::Environment::setApiHostUrl("");
    AppCoreInfo::destroyAppCoreInfo();
  }
  std::shared_ptr<DataItemResult> load(std::string_view url, std::optional<std::string> body = std::nullopt) {
    auto recorder = std::make_shared<test::LoaderRecorder>();
    auto loader = body ? DataLoadAndParser::PostUrl(url, platform::dataFromString(*body), recorder)
                       : DataLoadAndParser::GetUrl(url, recorder);
    EXPECT_TRUE(platform::RunLoop::main().runUntil([&] { return recorder->calls > 0; }, 20)) << url;
    return recorder->result ? recorder->result : DataItemResult::create();
  }
  test::TempHome home;
  test::ApiFixtureServer server{test::ApiFixtureServer::defaultFixtureRoot(), DemoApi::defaultSampleRoot()};
};

TEST_F(DemoServerTest, AnswersFromTheSampleThenFromTheFiles) {
  ASSERT_TRUE(server.answersFromSample());
  auto page2 = load("job/search_job_list.php?postchannel=0000&jobarea=020000&pagesize=10&pageno=2");
  auto page1 = load("job/search_job_list.php?postchannel=0000&jobarea=020000&pagesize=10&pageno=1");
  ASSERT_EQ(page1->count(), 10u);
  EXPECT_NE(page1->dataList()[0]->get_jobid(), page2->dataList()[0]->get_jobid());
  // A posted form is read as well.
  auto where = load("job/get_co_lonlat.php?coid=1872254", "maptype=1&lonlatdata=1%2C2");
  EXPECT_EQ(where->detailInfo()->getString("latitude"), "39.908700");
  // Calls the sample does not cover come from the files.
  EXPECT_EQ(load("user/login.php", "username=a&pwd=b")->detailInfo()->getString("accountid"), "80231577");
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_NE(requests[0].target.find("pageno=2"), std::string::npos);

  // Without a sample the fixture files answer, whatever the query.
  test::ApiFixtureServer files;
  EXPECT_FALSE(files.answersFromSample());
}

}  // namespace
}  // namespace kavro
