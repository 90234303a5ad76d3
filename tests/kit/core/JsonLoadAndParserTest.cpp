#include <gtest/gtest.h>

#include "kit/core/DataLoadAndParser.h"
#include "kit/core/JsonLoadAndParser.h"
#include "tests/kit/core/LoaderTestSupport.h"

namespace kavro {
namespace {

// Takes the JSON form when asked to, else only the converted result.
class JsonRecorder : public JsonLoadAndParserDelegate {
 public:
  bool takeJson = true;
  int jsonCalls = 0, resultCalls = 0;
  std::shared_ptr<DataItemResult> result;
  std::string status;
  bool dataLoader(JsonLoadAndParser&, const DataJsonResult& r) override {
    if (!takeJson) return false;
    ++jsonCalls;
    status = r.getString("status");
    return true;
  }
  bool dataLoader(JsonLoadAndParser&, const DataItemResult& r) override {
    ++resultCalls;
    result = std::make_shared<DataItemResult>(r);
    return true;
  }
};

class JsonLoaderTest : public test::ApiServerTest {};

TEST_F(JsonLoaderTest, JsonFormIsOfferedFirst) {
  server.setAnswer("/api/util/get_push_token.php", 200, R"({"result":1,"status":5,"items":[{"a":"b"}]})");
  auto recorder = std::make_shared<JsonRecorder>();
  auto loader = JsonLoadAndParser::GetUrl("util/get_push_token.php", recorder);
  ASSERT_TRUE(runUntil([&] { return loader->isFinished(); }));
  EXPECT_EQ(recorder->jsonCalls, 1);
  EXPECT_EQ(recorder->resultCalls, 0);
  EXPECT_EQ(recorder->status, "5");
}

TEST_F(JsonLoaderTest, ResultFormWhenJsonIsDeclined) {
  server.setAnswer("/api/util/get_push_token.php", 200, R"({"result":1,"totalcount":3,"items":[{"a":"b"}]})");
  auto recorder = std::make_shared<JsonRecorder>();
  recorder->takeJson = false;
  auto loader = JsonLoadAndParser::GetUrl("util/get_push_token.php", recorder);
  ASSERT_TRUE(runUntil([&] { return recorder->resultCalls == 1; }));
  EXPECT_EQ(recorder->result->maxCount(), 3u);
  EXPECT_EQ(recorder->result->getItem(0)->getString("a"), "b");
  EXPECT_TRUE(loader->isFinished());
}

TEST_F(JsonLoaderTest, FailuresAreLocalWithAMessageOnce) {
  server.setAnswer("/api/util/broken.php", 500, "oops");
  server.setAnswer("/api/util/notjson.php", 200, "<xml/>");
  for (const char* path : {"util/broken.php", "util/notjson.php"}) {
    auto recorder = std::make_shared<JsonRecorder>();
    recorder->takeJson = false;
    auto loader = JsonLoadAndParser::GetUrl(path, recorder);
    ASSERT_TRUE(runUntil([&] { return loader->isFinished(); })) << path;
    loop().runFor(0.05);
    ASSERT_EQ(recorder->resultCalls, 1) << path;
    EXPECT_TRUE(recorder->result->hasError()) << path;
    EXPECT_TRUE(recorder->result->localError()) << path;
    EXPECT_FALSE(recorder->result->message().empty()) << path;
  }
}

// Both loaders pass a failed call's own text on: the same words for the same failure.
class XmlRecorder : public DataLoadAndParserDelegate {
 public:
  std::shared_ptr<DataItemResult> result;
  void dataLoader(DataLoadAndParser&, const DataItemResult& r) override {
    result = std::make_shared<DataItemResult>(r);
  }
};

TEST_F(JsonLoaderTest, AFailedCallReadsTheSameInBothLoaders) {
  auto json = std::make_shared<JsonRecorder>();
  json->takeJson = false;
  auto xml = std::make_shared<XmlRecorder>();
  auto jsonLoader = JsonLoadAndParser::GetUrl("util/no_such_call.php", json);
  auto xmlLoader = DataLoadAndParser::GetUrl("util/no_such_call.php", xml);
  ASSERT_TRUE(runUntil([&] { return json->result && xml->result; }));
  EXPECT_TRUE(xml->result->localError());
  EXPECT_EQ(xml->result->message(), "未找到") << "the status in the user's language";
  EXPECT_EQ(json->result->message(), xml->result->message());
}

TEST_F(JsonLoaderTest, StoppedLoaderStaysSilent) {
  server.setAnswer("/api/util/get_push_token.php", 200, R"({"result":1})");
  auto recorder = std::make_shared<JsonRecorder>();
  auto loader = JsonLoadAndParser::GetUrl("util/get_push_token.php", recorder);
  loader->stopLoading();
  loop().runFor(0.2);
  EXPECT_EQ(recorder->jsonCalls + recorder->resultCalls, 0);
  EXPECT_EQ(loader->getResult()->getDictData()->count(), 0u);
}

TEST(JsonLoaderData, ParsesAtOnce) {
  auto loader = JsonLoadAndParser::initWithData(platform::dataFromString(R"({"k":7})"));
  ASSERT_TRUE(loader->isFinished());
  EXPECT_EQ(loader->getResult()->getInt("k"), 7);
}

}  // namespace
}  // namespace kavro
