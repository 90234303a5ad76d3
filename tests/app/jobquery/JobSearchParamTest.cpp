#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "app/jobquery/JobSearchParam.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/LocationUtil.h"
#include "kit/core/StoreDataTypes.h"
#include "platform/ui/TableViewCell.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

// A query exists only as create() makes it.
static_assert(!std::is_default_constructible_v<JobSearchParam>);

constexpr std::string_view Path = "job/search_job_list.php?";

// The default work area of the shipped string table.
constexpr std::string_view DefaultAreaCode = "010000";
constexpr std::string_view DefaultAreaName = "北京";

class JobSearchParamTest : public test::VirtualRunLoopTest {
 protected:
  void TearDown() override {
    AppCoreInfo::destroyAppCoreInfo();
    test::VirtualRunLoopTest::TearDown();
  }

  // Every condition set, with blanks around some values.
  static std::shared_ptr<JobSearchParam> fullParam() {
    auto p = JobSearchParam::create();
    p->setKeywords(" java ");
    p->setKeywordtype(KeywordType::FullText);
    p->setJobarea("020000");
    p->setText_jobarea("上海");
    p->setFunctype("0100,0200");
    p->setText_functype("软件,硬件");
    p->setIndtype(" 01 ");
    p->setText_indtype("互联网 ");
    p->setIssuedate("3");
    p->setText_issuedate("近三天");
    p->setLandmark("0201");
    p->setText_landmark("徐家汇");
    p->setWorkyear("02");
    p->setText_workyear("1-3年");
    p->setDegree("04");
    p->setText_degree("本科");
    p->setSalary("05");
    p->setText_salary("4000-5999");
    p->setCosize("03");
    p->setText_cosize("50-150人");
    p->setCotype("01");
    p->setText_cotype("外资");
    p->setTerm("01");
    p->setText_term("全职");
    return p;
  }

  static std::int64_t stored(std::string_view type) {
    auto db = AppCoreInfo::getCacheDB();
    return static_cast<std::int64_t>(db->getNewestItemCacheList(db->TABLE_BIN_VALUE(), type, 10000)->count());
  }

  test::TempHome home_;
};

TEST_F(JobSearchParamTest, AFreshQuerySearchesTheDefaultAreaAndKeepsIt) {
  auto p = JobSearchParam::create();
  EXPECT_EQ(p->buildJobSearchURL(), std::string(Path) + "postchannel=0000&jobarea=" +
                                        std::string(DefaultAreaCode) + "&pagesize=10&pageno=1");
  EXPECT_EQ(p->toDetail()->getString("jobarea"), DefaultAreaCode);
  EXPECT_EQ(p->getText_jobarea(), DefaultAreaName);
  EXPECT_EQ(p->countMajorTerms(), 1);

  // An area code without its text is replaced by the default area.
  auto q = JobSearchParam::create();
  q->setJobarea("020000");
  EXPECT_EQ(q->getText_jobarea(), DefaultAreaName);
  EXPECT_EQ(q->getJobArea(), DefaultAreaCode);
}

TEST_F(JobSearchParamTest, TheUsersChosenJobAreaIsTheDefault) {
  const auto chosenMade = DataItemDetail::newDetail();
  DataItemDetail& chosen = *chosenMade;
  chosen.setString("030200", "code");
  chosen.setString("广州", "value");
  ASSERT_TRUE(LocationUtil::setDefaultLocationForType("job", chosen));
  auto p = JobSearchParam::create();
  EXPECT_EQ(p->getJobArea(), "030200");
  EXPECT_EQ(p->getText_jobarea(), "广州");
  LocationUtil::destroyLocationUtil();
}

TEST_F(JobSearchParamTest, KeywordTypesAndEscapedValues) {
  auto p = JobSearchParam::create();
  p->setJobarea("020000");
  p->setKeywords(" c++ & =go ");
  p->setKeywordtype(KeywordTypeFromInt(5));
  EXPECT_EQ(p->buildJobSearchURL(), std::string(Path) +
                                        "postchannel=0000&keyword=c%2B%2B%20%26%20%3Dgo&keywordtype=1"
                                        "&jobarea=020000&pagesize=10&pageno=1");
  EXPECT_EQ(p->keywords(), "c++ & =go") << "trimmed and kept";
  p->setKeywordtype(KeywordType::CompanyName);
  EXPECT_NE(p->buildJobSearchURL().find("&keywordtype=0&"), std::string::npos);

  auto q = JobSearchParam::create();
  q->setKeywordtype(KeywordType::FullText);
  q->setPostchannel(" ");
  EXPECT_EQ(q->buildJobSearchURL().find("keyword"), std::string::npos) << "no keyword, no keyword type";
  EXPECT_EQ(q->buildJobSearchURL().rfind("job/search_job_list.php?postchannel=0000&", 0), 0u);
}

TEST_F(JobSearchParamTest, EveryConditionInItsOrder) {
  auto p = fullParam();
  p->setIndtype("0000");
  p->setPageAt(3);
  p->setPageSize(20);
  EXPECT_EQ(p->buildJobSearchURL(), std::string(Path) +
                                        "postchannel=0000&keyword=java&keywordtype=2&jobarea=020000"
                                        "&indtype=0000&funtype=0100%2C0200&issuedate=3&pagesize=20&pageno=3");
  p->setEnableFilters(true);
  EXPECT_EQ(p->buildJobSearchURL(),
            std::string(Path) +
                "postchannel=0000&keyword=java&keywordtype=2&jobarea=020000"
                "&indtype=0000&funtype=0100%2C0200&issuedate=3&landmark=0201&workyear=02&degree=04&saltype=05"
                "&cosize=03&cotype=01&jobterm=01&pagesize=20&pageno=3");
}

TEST_F(JobSearchParamTest, AHomeQuickSearchLeavesOutIndustryAndFunction) {
  auto p = fullParam();
  p->setHomeSearch(true);
  EXPECT_EQ(
      p->buildJobSearchURL(),
      std::string(Path) + "postchannel=0000&keyword=java&keywordtype=2&jobarea=020000&pagesize=10&pageno=1");
  p->setEnableFilters(true);
  EXPECT_EQ(p->buildJobSearchURL(),
            std::string(Path) +
                "postchannel=0000&keyword=java&keywordtype=2&jobarea=020000&issuedate=3"
                "&landmark=0201&workyear=02&degree=04&saltype=05&cosize=03&cotype=01"
                "&jobterm=01&pagesize=10&pageno=1");
}

TEST_F(JobSearchParamTest, TitlesJoinTheShownConditions) {
  auto p = fullParam();
  EXPECT_EQ(p->searchTitle(), "“java” + 上海 + 软件,硬件 + 互联网 + 近三天");
  EXPECT_EQ(p->countMajorTerms(), 4);
  p->setEnableFilters(true);
  EXPECT_EQ(p->searchTitle(),
            "“java” + 上海 + 软件,硬件 + 互联网 + 近三天 + 徐家汇 + 1-3年 + 本科 + 4000-5999 + 50-150人 + "
            "外资 + 全职");
  p->setHomeSearch(true);
  p->setEnableFilters(false);
  EXPECT_EQ(p->searchTitle(), "“java” + 上海");

  // No-limit codes are neither shown nor counted.
  auto q = JobSearchParam::create();
  q->setIndtype("0000");
  q->setText_indtype("不限");
  EXPECT_EQ(q->searchTitle(), DefaultAreaName);
  EXPECT_EQ(q->countMajorTerms(), 1);

  std::string title = "已筛选";
  auto r = JobSearchParam::create();
  r->setDegree("04");
  r->setText_degree(" 本科 ");
  r->setTerm("0");
  r->setText_term("全职");
  EXPECT_EQ(r->searchCommonTitle(title), "已筛选 + 本科 + 全职");
  std::string empty;
  EXPECT_EQ(JobSearchParam::create()->searchCommonTitle(empty), "");
}

TEST_F(JobSearchParamTest, DisplayTextsFallBackToNoLimit) {
  auto p = JobSearchParam::create();
  EXPECT_EQ(p->getText_functype(), "职能不限");
  EXPECT_EQ(p->getText_indtype(), "行业不限");
  EXPECT_EQ(p->getText_issuedate(), "发布日期不限");
  EXPECT_EQ(p->getText_salary(), "不限");
  p->setIndtype("0000");
  p->setText_indtype("全部行业");
  EXPECT_EQ(p->getText_indtype(), "行业不限");
  p->setSalary("0000");
  p->setText_salary("面议");
  EXPECT_EQ(p->getText_salary(), "面议") << "filters only need a code";

  EXPECT_FALSE(fullParam()->hasValidFilters());
  auto f = JobSearchParam::create();
  f->setEnableFilters(true);
  EXPECT_FALSE(f->hasValidFilters());
  f->setDegree("00");
  EXPECT_FALSE(f->hasValidFilters());
  f->setTerm("0");
  EXPECT_TRUE(f->hasValidFilters());
}

// Each condition shows its chosen text only while both its code and its text are set: a code
// without a text, or a text left over without its code, reads as that condition's "no limit".
TEST_F(JobSearchParamTest, EveryConditionShowsItsTextOnlyWithBothCodeAndText) {
  using Param = JobSearchParam;
  struct Condition {
    const char* name;
    void (Param::*setCode)(std::string_view);
    void (Param::*setText)(std::string_view);
    std::string (Param::*shown)() const;
    const char* code;
    const char* text;
    const char* noLimit;
  };
  const Condition conditions[] = {
      {"functype", &Param::setFunctype, &Param::setText_functype, &Param::getText_functype, "0100",
       "软件工程师", "职能不限"},
      {"indtype", &Param::setIndtype, &Param::setText_indtype, &Param::getText_indtype, "01", "计算机软件",
       "行业不限"},
      {"issuedate", &Param::setIssuedate, &Param::setText_issuedate, &Param::getText_issuedate, "7", "近一周",
       "发布日期不限"},
      {"landmark", &Param::setLandmark, &Param::setText_landmark, &Param::getText_landmark, "0201",
       "人民广场", "不限"},
      {"workyear", &Param::setWorkyear, &Param::setText_workyear, &Param::getText_workyear, "03", "3-4年",
       "不限"},
      {"degree", &Param::setDegree, &Param::setText_degree, &Param::getText_degree, "04", "本科", "不限"},
      {"salary", &Param::setSalary, &Param::setText_salary, &Param::getText_salary, "06", "6000-7999",
       "不限"},
      {"cosize", &Param::setCosize, &Param::setText_cosize, &Param::getText_cosize, "02", "50-150人", "不限"},
      {"cotype", &Param::setCotype, &Param::setText_cotype, &Param::getText_cotype, "04", "民营", "不限"},
      {"term", &Param::setTerm, &Param::setText_term, &Param::getText_term, "0", "全职", "不限"},
  };
  for (const Condition& c : conditions) {
    SCOPED_TRACE(c.name);
    auto both = JobSearchParam::create();
    ((*both).*c.setCode)(c.code);
    ((*both).*c.setText)(c.text);
    EXPECT_EQ(((*both).*c.shown)(), c.text);
    auto codeOnly = JobSearchParam::create();
    ((*codeOnly).*c.setCode)(c.code);
    EXPECT_EQ(((*codeOnly).*c.shown)(), c.noLimit);
    auto textOnly = JobSearchParam::create();
    ((*textOnly).*c.setText)(c.text);
    EXPECT_EQ(((*textOnly).*c.shown)(), c.noLimit);
  }
}

TEST_F(JobSearchParamTest, TheFormRoundTripsThroughTheStorePerChannel) {
  auto p = fullParam();
  p->setEnableFilters(true);
  p->setPageAt(4);
  ASSERT_TRUE(p->saveFormData());

  auto restored = JobSearchParam::create();
  restored->setPageAt(9);
  ASSERT_TRUE(restored->restoreFormData());
  EXPECT_TRUE(restored->toDetail()->isEqualToDataItemDetail(p->toDetail().get()));
  EXPECT_EQ(restored->pageAt(), 1);
  EXPECT_EQ(restored->pageSize(), 10);
  EXPECT_TRUE(restored->enableFilters());
  p->setPageAt(1);
  EXPECT_EQ(restored->buildJobSearchURL(), p->buildJobSearchURL());

  auto campus = JobSearchParam::create();
  campus->setPostchannel(JobSearchParam::CampusChannel);
  EXPECT_FALSE(campus->restoreFormData()) << "the campus form is another one";
  EXPECT_EQ(campus->postchannel(), JobSearchParam::CampusChannel);

  EXPECT_TRUE(restored->removeFormData());
  EXPECT_FALSE(JobSearchParam::create()->restoreFormData());

  // A record without keyword type gives 0; no record changes nothing.
  const auto bareMade = DataItemDetail::newDetail();
  DataItemDetail& bare = *bareMade;
  bare.setString("java", "keywords");
  auto q = JobSearchParam::createFromDetail(&bare);
  EXPECT_EQ(q->keywordtype(), KeywordType::CompanyName);
  EXPECT_EQ(q->postchannel(), "");
  EXPECT_FALSE(q->fromDetail(nullptr));
  EXPECT_EQ(q->keywords(), "java");

  // A stored keyword type the list does not know stays as it was stored and searches by job name.
  auto foreign = DataItemDetail::newDetail();
  foreign->setString("java", "keywords");
  foreign->setInt(7, "keywordtype");
  auto kept = JobSearchParam::createFromDetail(foreign.get());
  EXPECT_EQ(ToInt(kept->keywordtype()), 7);
  EXPECT_EQ(kept->toDetail()->getInt("keywordtype"), 7);
  EXPECT_NE(kept->buildJobSearchURL().find("keyword=java&keywordtype=1&"), std::string::npos);

  // A home quick search keeps channel, keyword, keyword type and area.
  auto home = fullParam();
  home->setHomeSearch(true);
  auto d = home->toDetail();
  EXPECT_EQ(d->count(), 5u);
  for (const char* key : {"postchannel", "keywords", "jobarea", "text_jobarea", "keywordtype"}) {
    EXPECT_TRUE(d->hasKey(key)) << key;
  }
}

TEST_F(JobSearchParamTest, AFormSavedAgainAsItWasIsWrittenAgain) {
  auto db = AppCoreInfo::getCacheDB();
  auto p = fullParam();
  ASSERT_TRUE(p->saveFormData());
  std::uint64_t commits = db->commitCount();

  // The same search again, from this query or from one restored from the store: each save writes.
  ASSERT_TRUE(p->saveFormData());
  EXPECT_EQ(db->commitCount(), commits + 1);
  auto restored = JobSearchParam::create();
  ASSERT_TRUE(restored->restoreFormData());
  ASSERT_TRUE(restored->saveFormData());
  EXPECT_EQ(db->commitCount(), commits + 2);
  commits = db->commitCount();

  // A changed condition is saved, and is what the next form restores.
  restored->setKeywords("c++");
  ASSERT_TRUE(restored->saveFormData());
  EXPECT_GT(db->commitCount(), commits);
  auto next = JobSearchParam::create();
  ASSERT_TRUE(next->restoreFormData());
  EXPECT_EQ(next->keywords(), "c++");
  EXPECT_EQ(next->functype(), "0100,0200");

  // The campus form is its own: saving it the same way writes it.
  auto campus = fullParam();
  campus->setPostchannel(JobSearchParam::CampusChannel);
  const std::uint64_t beforeCampus = db->commitCount();
  ASSERT_TRUE(campus->saveFormData());
  EXPECT_GT(db->commitCount(), beforeCampus);
  auto campusBack = JobSearchParam::create();
  campusBack->setPostchannel(JobSearchParam::CampusChannel);
  ASSERT_TRUE(campusBack->restoreFormData());
  EXPECT_EQ(campusBack->functype(), "0100,0200");
}

TEST_F(JobSearchParamTest, RecentSearchesListTheNewestFiveAsRows) {
  auto empty = JobSearchParam::create()->getSearchHistory();
  ASSERT_EQ(empty->count(), 1u);
  EXPECT_TRUE(empty->getItem(0)->getTableCellIsEmpty());
  EXPECT_EQ(empty->getItem(0)->getString(DataItemDetail::keyCellClass()), "EmptyTipsCell");
  EXPECT_EQ(empty->getItem(0)->getItemTitle(), "");
  EXPECT_FALSE(empty->hasError());

  for (int i = 0; i < 7; ++i) {
    auto p = JobSearchParam::create();
    p->setKeywords("k" + std::to_string(i));
    ASSERT_TRUE(p->saveToSearchHistory(100 + i));
  }
  // The same search again (its next page, say) moves to the top and counts its keyword again.
  auto again = JobSearchParam::create();
  again->setKeywords("k2");
  again->setPageAt(2);
  ASSERT_TRUE(again->saveToSearchHistory(12));
  EXPECT_EQ(stored(STORE_CACHE_JOBSEARCH_HISTORY), 7);

  auto rows = JobSearchParam::create()->getSearchHistory();
  ASSERT_EQ(rows->count(), 5u);
  auto top = rows->getItem(0);
  EXPECT_EQ(top->getItemTitle(), "“k2” + 北京");
  EXPECT_EQ(top->getItemValue(), "约12个职位");
  EXPECT_EQ(top->getString(DataItemDetail::keyCellClass()), "TitleFullValueCell");
  EXPECT_EQ(static_cast<platform::TableViewCellAccessoryType>(top->getCellAccessoryType()),
            platform::TableViewCellAccessoryType::DisclosureIndicator);
  EXPECT_EQ(top->getTitleSkin(), "@job_related@jobsearch_history_cell_title");
  EXPECT_EQ(top->getValueSkin(), "@job_related@jobsearch_history_cell_value");
  EXPECT_EQ(rows->getItem(1)->getItemTitle(), "“k6” + 北京");
  // A row re-runs its search.
  EXPECT_EQ(JobSearchParam::createFromDetail(top.get())->keywords(), "k2");

  auto keywords = JobSearchParam::getKeywordsHistory();
  ASSERT_EQ(keywords->count(), 7u);
  EXPECT_EQ(keywords->getItem(0)->getItemTitle(), "k2");
  EXPECT_EQ(keywords->getItem(0)->getInt("times"), 2);
  EXPECT_EQ(keywords->getItem(0)->getString(DataItemDetail::keyCellClass()), "TitleValueCell");
  EXPECT_EQ(keywords->getItem(1)->getInt("times"), 1);

  // The campus channel keeps its own list.
  auto campus = JobSearchParam::create();
  campus->setPostchannel(JobSearchParam::CampusChannel);
  EXPECT_TRUE(campus->getSearchHistory()->getItem(0)->getTableCellIsEmpty());
  EXPECT_EQ(campus->getCurrentCacheKey().rfind("campus:", 0), 0u);

  EXPECT_TRUE(JobSearchParam::create()->removeSearchHistory());
  EXPECT_EQ(stored(STORE_CACHE_JOBSEARCH_HISTORY), 0);
}

TEST_F(JobSearchParamTest, FilingASearchKeepsItsFormEntryAndKeywordTogether) {
  // Three searches in one second, the first one again last, each form saved as it starts.
  auto save = [](std::string_view keyword, std::int64_t count) {
    auto p = JobSearchParam::create();
    p->setKeywords(keyword);
    p->setIndtype(" 01 ");
    p->setText_indtype(" 互联网");
    // As the search form does: the terms are counted (and trimmed) before the form is saved.
    if (p->countMajorTerms() < 1 || !p->saveFormData()) return std::shared_ptr<JobSearchParam>();
    return p->saveToSearchHistory(count) ? p : nullptr;
  };
  ASSERT_TRUE(save("java", 10));
  ASSERT_TRUE(save("c++", 20));
  auto again = save(" java", 30);
  ASSERT_TRUE(again);

  auto rows = JobSearchParam::create()->getSearchHistory();
  ASSERT_EQ(rows->count(), 2u);
  EXPECT_EQ(rows->getItem(0)->getItemTitle(), "“java” + 北京 + 互联网");
  EXPECT_EQ(rows->getItem(0)->getItemValue(), "约30个职位");
  EXPECT_EQ(rows->getItem(1)->getItemTitle(), "“c++” + 北京 + 互联网");
  auto keywords = JobSearchParam::getKeywordsHistory();
  ASSERT_EQ(keywords->count(), 2u);
  EXPECT_EQ(keywords->getItem(0)->getItemTitle(), "java");
  EXPECT_EQ(keywords->getItem(0)->getInt("times"), 2);
  EXPECT_EQ(keywords->getItem(1)->getInt("times"), 1);

  // The form is the entry without its count: the trimmed and completed fields, both.
  auto form = JobSearchParam::create();
  ASSERT_TRUE(form->restoreFormData());
  auto entry = rows->getItem(0);
  EXPECT_EQ(entry->getInt(JobSearchParam::JobSearchParamCountKey), 30);
  EXPECT_EQ(form->keywords(), "java");
  EXPECT_EQ(form->indtype(), "01");
  EXPECT_EQ(form->toDetail()->getString("text_jobarea"), "北京");
  EXPECT_TRUE(form->toDetail()->isEqualToDataItemDetail(
      JobSearchParam::createFromDetail(entry.get())->toDetail().get()));
}

TEST_F(JobSearchParamTest, SearchesWithFiltersAreNotRemembered) {
  auto p = fullParam();
  p->setEnableFilters(true);
  EXPECT_FALSE(p->saveToSearchHistory(3));
  EXPECT_EQ(stored(STORE_CACHE_JOBSEARCH_HISTORY), 0);
  EXPECT_EQ(stored(STORE_CACHE_KEYWORDS_HISTORY), 0);
  EXPECT_FALSE(JobSearchParam::saveKeywordsHistory("  "));
  EXPECT_EQ(stored(STORE_CACHE_KEYWORDS_HISTORY), 0);
}

TEST_F(JobSearchParamTest, AHomeQuickSearchReRunsInTheSameArea) {
  auto home = JobSearchParam::create();
  home->setHomeSearch(true);
  home->setKeywords("会计");
  home->setJobarea("020000");
  home->setText_jobarea("上海");
  ASSERT_TRUE(home->saveToSearchHistory(8));

  auto row = JobSearchParam::create()->getSearchHistory()->getItem(0);
  EXPECT_EQ(row->getItemTitle(), "“会计” + 上海");
  auto rerun = JobSearchParam::createFromDetail(row.get());
  EXPECT_EQ(rerun->getText_jobarea(), "上海");
  EXPECT_NE(rerun->buildJobSearchURL().find("&jobarea=020000&"), std::string::npos);
}

TEST_F(JobSearchParamTest, RecentSearchesAreKeptToTheNewest200) {
  auto save = [](int i) {
    auto p = JobSearchParam::create();
    p->setKeywords("s" + std::to_string(i));
    return p->saveToSearchHistory(i);
  };
  for (int i = 0; i < 201; ++i) ASSERT_TRUE(save(i));
  EXPECT_EQ(stored(STORE_CACHE_JOBSEARCH_HISTORY), 201) << "pruned before a write, not after";
  auto oldest = JobSearchParam::create();
  oldest->setKeywords("s0");
  const std::string oldestKey = oldest->getCurrentCacheKey();
  EXPECT_TRUE(AppCoreInfo::getCacheDB()->getItemCache(STORE_CACHE_JOBSEARCH_HISTORY, oldestKey));

  ASSERT_TRUE(save(201));
  EXPECT_EQ(stored(STORE_CACHE_JOBSEARCH_HISTORY), 201);
  EXPECT_FALSE(AppCoreInfo::getCacheDB()->getItemCache(STORE_CACHE_JOBSEARCH_HISTORY, oldestKey));
  EXPECT_EQ(JobSearchParam::create()->getSearchHistory()->getItem(0)->getItemTitle(), "“s201” + 北京");
}

TEST_F(JobSearchParamTest, KeywordsAreKeptToTheNewest400) {
  for (int i = 0; i < 401; ++i) ASSERT_TRUE(JobSearchParam::saveKeywordsHistory("w" + std::to_string(i)));
  EXPECT_EQ(stored(STORE_CACHE_KEYWORDS_HISTORY), 401);
  ASSERT_TRUE(JobSearchParam::saveKeywordsHistory(" w401 "));
  EXPECT_EQ(stored(STORE_CACHE_KEYWORDS_HISTORY), 401);

  auto shown = JobSearchParam::getKeywordsHistory();
  ASSERT_EQ(shown->count(), 10u);
  EXPECT_EQ(shown->getItem(0)->getItemTitle(), "w401");
  EXPECT_EQ(shown->getItem(9)->getItemTitle(), "w392");

  // "w0" went first: saving it again starts a new count.
  ASSERT_TRUE(JobSearchParam::saveKeywordsHistory("w0"));
  EXPECT_EQ(JobSearchParam::getKeywordsHistory()->getItem(0)->getInt("times"), 1);

  EXPECT_TRUE(JobSearchParam::removeKeywordsHistory());
  EXPECT_TRUE(JobSearchParam::removeKeywordsHistory()) << "also on an empty list";
  auto none = JobSearchParam::getKeywordsHistory();
  ASSERT_EQ(none->count(), 1u);
  EXPECT_TRUE(none->getItem(0)->getTableCellIsEmpty());
  EXPECT_EQ(none->getItem(0)->getItemTitle(), "暂无搜索过的关键字");
  EXPECT_EQ(none->getItem(0)->getString(DataItemDetail::keyCellClass()), "EmptyTipsCell");
}

TEST_F(JobSearchParamTest, EntriesDatedInTheFutureAreIgnoredAndDropped) {
  const double start = now();
  clock().set(start + 3600);
  ASSERT_TRUE(JobSearchParam::saveKeywordsHistory("later"));
  clock().set(start);
  EXPECT_TRUE(JobSearchParam::getKeywordsHistory()->getItem(0)->getTableCellIsEmpty());
  ASSERT_TRUE(JobSearchParam::saveKeywordsHistory("now"));
  clock().set(start + 7200);
  auto shown = JobSearchParam::getKeywordsHistory();
  ASSERT_EQ(shown->count(), 1u) << "the future entry went with the next save";
  EXPECT_EQ(shown->getItem(0)->getItemTitle(), "now");
}

}  // namespace
}  // namespace kavro
