#include <gtest/gtest.h>

#include "kit/core/DataJsonResult.h"
#include "platform/foundation/Array.h"

using namespace kavro;

TEST(DataJsonResult, EnvelopeBecomesResult) {
  auto json = DataJsonResult::dataWithString(
      R"({"result":1,"status":0,"message":"","totalcount":25,"items":[{"jobid":7},{"jobid":"8"}],"pagesize":10})");
  EXPECT_FALSE(json->getHasError());
  EXPECT_EQ(json->getString("totalcount"), "25");
  auto r = json->toDataItemResult();
  EXPECT_FALSE(r->hasError());
  EXPECT_FALSE(r->localError());
  EXPECT_EQ(r->statusCode(), 0);
  EXPECT_EQ(r->maxCount(), 25u);
  ASSERT_EQ(r->count(), 2u);
  // Numbers keep their kind: the record reads "" as text and the value as a number.
  EXPECT_EQ(r->getItem(0)->getString("jobid"), "");
  EXPECT_EQ(r->getItem(0)->getInt("jobid"), 7);
  EXPECT_EQ(r->getItem(1)->getString("jobid"), "8");
  EXPECT_EQ(r->detailInfo()->getInt("pagesize"), 10);
  EXPECT_FALSE(r->detailInfo()->hasKey("items"));
  EXPECT_FALSE(r->detailInfo()->hasKey("result"));
}

TEST(DataJsonResult, ResultFlagReadsAsRecordBoolean) {
  for (const char* ok : {R"({"result":1})", R"({"result":"true"})", R"({"result":true})", "{}"})
    EXPECT_FALSE(DataJsonResult::dataWithString(ok)->toDataItemResult()->hasError()) << ok;
  for (const char* bad : {R"({"result":0})", R"({"result":"false"})", R"({"result":"no"})"})
    EXPECT_TRUE(DataJsonResult::dataWithString(bad)->toDataItemResult()->hasError()) << bad;
}

TEST(DataJsonResult, FailuresStayLocal) {
  auto broken = DataJsonResult::dataWithString("{\"result\":");
  EXPECT_TRUE(broken->getHasError());
  EXPECT_TRUE(broken->getLocalError());
  ASSERT_TRUE(broken->error());
  EXPECT_FALSE(broken->getMessage().empty());
  auto r = broken->toDataItemResult();
  EXPECT_TRUE(r->hasError());
  EXPECT_TRUE(r->localError());
  EXPECT_EQ(r->message(), broken->getMessage());

  auto list = DataJsonResult::dataWithString("[1,2]");
  EXPECT_FALSE(list->error());
  auto lr = list->toDataItemResult();
  EXPECT_TRUE(lr->hasError());
  EXPECT_TRUE(lr->localError());
  EXPECT_EQ(lr->detailInfo()->getString("localError"), "1");

  auto empty = DataJsonResult::dataWithString("");
  EXPECT_FALSE(empty->getHasError());
  EXPECT_FALSE(empty->error());
}

TEST(DataJsonResult, AppendAndFlags) {
  auto json = DataJsonResult::dataWithString({});
  EXPECT_TRUE(json->appendJsonString(R"({"a":"x","n":2.5})"));
  EXPECT_TRUE(json->appendJsonString(R"({"a":"y"})"));
  EXPECT_FALSE(json->appendJsonString("nope"));
  EXPECT_EQ(json->getString("a"), "y");
  EXPECT_EQ(json->getString("n"), "2.5");
  json->setStatusCode(-3);
  EXPECT_EQ(json->getStatusCode(), -3);
  json->setLocalError(true);
  EXPECT_TRUE(json->getHasError());
  json->setMessage("down");
  EXPECT_EQ(json->getMessage(), "down");
  EXPECT_FALSE(json->getArrayForKey("a"));
}

TEST(DataJsonResult, ResultFromMixedList) {
  auto list = platform::MutableArray::create();
  auto map = platform::MutableDictionary::create();
  map->setObject("1", "id");
  list->addObject(map);
  auto detail = DataItemDetail::newDetail();
  detail->setString("2", "id");
  list->addObject(detail);
  list->addObject(3);
  list->addObject(DataJsonResult::dataWithString(R"({"id":"4"})"));
  auto r = resultFromArray(list.get());
  ASSERT_EQ(r->count(), 3u);
  EXPECT_EQ(r->getItem(2)->getString("id"), "4");
  EXPECT_EQ(detailFromUTF8JSON(R"({"k":"v"})")->getString("k"), "v");
}
