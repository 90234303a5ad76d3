#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataItemDetail.h"
#include "kit/core/UserCoreInfo.h"

namespace kavro {
namespace {

TEST(DataItemDetailFieldsTest, TheTableHoldsEveryFieldOnceInItsCategory) {
  std::map<std::string, int> byType;
  std::vector<std::string> categories;
  std::map<std::string, int> keys;
  auto note = [&](std::string category, std::string type, std::string key) {
    ++byType[type];
    if (categories.empty() || categories.back() != category) categories.push_back(category);
    ++keys[key];
  };
#define KAVRO_FIELD(Category, Type, name) note(#Category, #Type, #name);
#define KAVRO_COMPUTED_FIELD(Category, Type, name) note(#Category, #Type, #name);
#define KAVRO_NAMED_FIELD(Category, Type, Name, keyText) note(#Category, #Type, keyText);
#include "kit/core/DataItemDetailFields.def"

  EXPECT_EQ(byType["STRING"], 161);
  EXPECT_EQ(byType["INT"], 16);
  EXPECT_EQ(byType["BOOL"], 29);
  EXPECT_EQ(keys.size(), 206u) << "a key appears twice";
  EXPECT_EQ(categories,
            (std::vector<std::string>{"Campus", "DictPicker", "Fans", "JobDetail", "ResumeRelated", "Util"}));
}

TEST(DataItemDetailFieldsTest, EveryPlainFieldWritesReadsAndNamesItsOwnKey) {
  // Each accessor family must act on the key it names, with the value type of its line.
  auto d = DataItemDetail::newDetail();
  std::vector<std::string> failures;
  auto check = [&](bool ok, std::string_view what) {
    if (!ok) failures.emplace_back(what);
  };
#define KAVRO_PLAIN_CHECK(Type, setter, getter, keyMethod, presence, key)             \
  {                                                                                   \
    check(DataItemDetail::keyMethod() == key, #keyMethod);                            \
    check(!d->presence(), #presence " before");                                       \
    KAVRO_CHECK_##Type(setter, getter, key) check(d->presence(), #presence " after"); \
  }
#define KAVRO_CHECK_STRING(setter, getter, key)           \
  d->setter("v-" + std::string(key));                     \
  check(d->getter() == "v-" + std::string(key), #getter); \
  check(d->getString(key) == "v-" + std::string(key), #setter " stores");
#define KAVRO_CHECK_INT(setter, getter, key) \
  d->setter(-17);                            \
  check(d->getter() == -17, #getter);        \
  check(d->getString(key) == "-17", #setter " stores");
#define KAVRO_CHECK_BOOL(setter, getter, key) \
  d->setter(true);                            \
  check(d->getter(), #getter);                \
  check(d->getString(key) == "1", #setter " stores");
#define KAVRO_FIELD(Category, Type, name) \
  KAVRO_PLAIN_CHECK(Type, set_##name, get_##name, key_##name, has_##name, #name)
#define KAVRO_NAMED_FIELD(Category, Type, Name, keyText) \
  KAVRO_PLAIN_CHECK(Type, set##Name, get##Name, key##Name, has##Name, keyText)
#include "kit/core/DataItemDetailFields.def"
#undef KAVRO_PLAIN_CHECK
#undef KAVRO_CHECK_STRING
#undef KAVRO_CHECK_INT
#undef KAVRO_CHECK_BOOL

  EXPECT_TRUE(failures.empty()) << failures.size() << " failures, first: " << failures.front();
  EXPECT_EQ(d->count(), 200u) << "206 fields, 6 of them computed";
}

TEST(DataItemDetailFieldsTest, ReadsOfMissingAndOddValues) {
  auto d = DataItemDetail::newDetail();
  EXPECT_EQ(d->get_jobname(), "");
  EXPECT_EQ(d->get_match(), 0);
  EXPECT_FALSE(d->get_isapply());
  d->set_expkid("");
  EXPECT_TRUE(d->has_expkid()) << "present, though empty";
  d->setString("85%", "match");
  EXPECT_EQ(d->get_match(), 85);
  d->setString("yes", "isapply");
  EXPECT_TRUE(d->get_isapply());

  EXPECT_EQ(DataItemDetail::keyJobHasApplied(), "<&JobHasApplied&>");
  d->setJobHasApplied(true);
  EXPECT_TRUE(d->getJobHasApplied());
  d->setDictCode("010000");
  d->setDictValue("北京");
  EXPECT_EQ(d->getString("code"), "010000");
  EXPECT_EQ(d->getString("value"), "北京");
}

TEST(DataItemDetailFieldsTest, PositionsFallBackToTheShortKeys) {
  auto d = DataItemDetail::newDetail();
  d->set_latitude("");
  d->setString("31.2", "lat");
  EXPECT_EQ(d->get_latitude(), "31.2");
  EXPECT_TRUE(d->has_latitude());
  d->set_latitude("30.5");
  EXPECT_EQ(d->get_latitude(), "30.5");

  auto onlyLat = DataItemDetail::newDetail();
  onlyLat->setString("31.2", "lat");
  EXPECT_TRUE(onlyLat->has_latitude());

  auto onlyLon = DataItemDetail::newDetail();
  onlyLon->setString("121.4", "lon");
  EXPECT_FALSE(onlyLon->has_longitude());
  EXPECT_EQ(onlyLon->get_longitude(), "121.4");
  onlyLon->set_longitude("120.1");
  EXPECT_EQ(onlyLon->getString("longitude"), "120.1");
  EXPECT_EQ(onlyLon->get_longitude(), "120.1");
}

TEST(DataItemDetailFieldsTest, LanguageAndIndustryJoinTheirTwoParts) {
  auto d = DataItemDetail::newDetail();
  d->setString("英语", "language1");
  d->setString("英语", "language2");
  EXPECT_EQ(d->get_language(), "英语");
  d->setString("日语", "language2");
  EXPECT_EQ(d->get_language(), "英语\r\n日语");
  EXPECT_FALSE(d->has_language()) << "only the joined key counts";
  d->set_language("德语");
  EXPECT_EQ(d->get_language(), "德语");

  auto secondOnly = DataItemDetail::newDetail();
  secondOnly->setString("法语", "language2");
  EXPECT_EQ(secondOnly->get_language(), "法语");

  auto industry = DataItemDetail::newDetail();
  EXPECT_FALSE(industry->has_indtype());
  industry->setString("互联网", "indtype2");
  EXPECT_TRUE(industry->has_indtype());
  EXPECT_EQ(industry->get_indtype(), "互联网");
  industry->setString("金融", "indtype1");
  EXPECT_EQ(industry->get_indtype(), "金融\r\n互联网");
  EXPECT_EQ(DataItemDetail::key_indtype(), "indtype");
}

TEST(DataItemDetailFieldsTest, CompanyAuthorsAreCodesUnderTheirOwnKeys) {
  auto d = DataItemDetail::newDetail();
  EXPECT_FALSE(d->has_author_is_company());
  d->set_author_is_company(true);
  EXPECT_EQ(d->getString("author_type"), "1");
  EXPECT_TRUE(d->get_author_is_company());
  EXPECT_TRUE(d->has_author_is_company());
  EXPECT_FALSE(d->hasKey("author_is_company"));
  EXPECT_EQ(DataItemDetail::key_author_is_company(), "author_is_company");
  d->setString("2", "author_type");
  EXPECT_FALSE(d->get_author_is_company());

  d->setString("1", "notice_author_type");
  EXPECT_TRUE(d->get_notice_author_is_company());
  d->set_notice_author_is_company(false);
  EXPECT_EQ(d->getString("notice_author_type"), "0");
  EXPECT_EQ(DataItemDetail::key_notice_author_is_company(), "notice_author_is_company");
}

TEST(DataItemDetailFieldsTest, TheCurrentUserIsAPersonWithTheLoggedInAccount) {
  auto post = DataItemDetail::newDetail();
  post->set_author_id("1001");
  EXPECT_FALSE(post->author_is_current_user()) << "nobody is logged in";

  auto reply = DataItemDetail::newDetail();
  reply->setString("1001", "accountid");
  reply->setString("k", "key");
  ASSERT_TRUE(UserCoreInfo::setUserLoginInfo(reply.get()));
  EXPECT_TRUE(post->author_is_current_user());
  post->set_author_is_company(true);
  EXPECT_FALSE(post->author_is_current_user()) << "a company author, though the ids match";
  post->set_author_is_company(false);
  post->set_author_id("");
  EXPECT_FALSE(post->author_is_current_user());

  UserCoreInfo::destroyUserCoreInfo();
  AppCoreInfo::setEnglishResumeProvider({});
}

TEST(DataItemDetailFieldsTest, PostCountsPicturesAndSizes) {
  auto d = DataItemDetail::newDetail();
  EXPECT_FALSE(d->has_ugc_num());
  d->setString("0", "replynum");
  d->setString("2", "transmitnum");
  EXPECT_TRUE(d->has_ugc_num());
  EXPECT_FALSE(d->author_has_pic());
  d->set_author_pic("");
  EXPECT_FALSE(d->author_has_pic());
  d->set_author_pic("http://img/a.png");
  EXPECT_TRUE(d->author_has_pic());
  d->setString("", "topic_pic_small");
  EXPECT_FALSE(d->has_topic_pic());
  d->setString("3", "type");
  EXPECT_EQ(d->interviews_topic_type(), 3);

  EXPECT_EQ(d->small_topic_pic_size(), DataItemDetail::PicSize{});
  d->set_small_topic_pic_size({120, 80.5});
  EXPECT_EQ(d->getString("small_topic_pic_size"), "{120, 80.5}");
  EXPECT_EQ(d->small_topic_pic_size(), (DataItemDetail::PicSize{120, 80.5}));
  d->setString("{ 3 ,4}", "small_notice_pic_size");
  EXPECT_EQ(d->small_notice_pic_size(), (DataItemDetail::PicSize{3, 4}));
  for (const char* bad : {"", "12, 4", "{12 4}", "{a, b}", "{1, 2"}) {
    d->setString(bad, "small_notice_pic_size");
    EXPECT_EQ(d->small_notice_pic_size(), DataItemDetail::PicSize{}) << bad;
  }
  d->set_small_notice_pic_loaded(true);
  EXPECT_TRUE(d->small_notice_pic_loaded());
  EXPECT_FALSE(d->small_topic_pic_loaded());
}

}  // namespace
}  // namespace kavro
