#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

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

// An answer that is no JSON object (not JSON at all, or a list, a text, a number) is a local
// failure in the JSON form the delegate is offered first and in the result form alike.
TEST_F(JsonLoaderTest, AnAnswerThatIsNoJsonObjectIsALocalFailureInBothForms) {
  class LocalErrorRecorder : public JsonLoadAndParserDelegate {
   public:
    bool takeJson = true;
    std::optional<bool> jsonLocalError, resultLocalError;
    bool dataLoader(JsonLoadAndParser&, const DataJsonResult& r) override {
      if (!takeJson) return false;
      jsonLocalError = r.getLocalError();
      return true;
    }
    bool dataLoader(JsonLoadAndParser&, const DataItemResult& r) override {
      resultLocalError = r.localError();
      return true;
    }
  };
  const std::vector<std::string> answers = {"<xml/>", "[1,2]", "\"text\"", "42", R"({"result":1})"};
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const bool object = answers[i].front() == '{';
    server.setAnswer("/api/util/answer" + std::to_string(i) + ".php", 200, answers[i]);
    for (bool takeJson : {true, false}) {
      auto recorder = std::make_shared<LocalErrorRecorder>();
      recorder->takeJson = takeJson;
      auto loader = JsonLoadAndParser::GetUrl("util/answer" + std::to_string(i) + ".php", recorder);
      ASSERT_TRUE(runUntil([&] { return loader->isFinished(); })) << answers[i];
      const std::optional<bool>& seen = takeJson ? recorder->jsonLocalError : recorder->resultLocalError;
      ASSERT_TRUE(seen.has_value()) << answers[i] << " " << takeJson;
      EXPECT_EQ(*seen, !object) << answers[i] << " " << takeJson;
    }
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
  EXPECT_TRUE(xml->result->hasError());
  EXPECT_TRUE(json->result->hasError());
  EXPECT_TRUE(json->result->localError());
  EXPECT_EQ(json->result->count(), 0u);

  // The JSON form says the same.
  auto first = std::make_shared<JsonRecorder>();
  auto firstLoader = JsonLoadAndParser::GetUrl("util/no_such_call.php", first);
  ASSERT_TRUE(runUntil([&] { return firstLoader->isFinished(); }));
  ASSERT_EQ(first->jsonCalls, 1);
  EXPECT_TRUE(firstLoader->getResult()->getHasError());
  EXPECT_TRUE(firstLoader->getResult()->getLocalError());
  EXPECT_EQ(firstLoader->getResult()->getMessage(), "未找到");
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
