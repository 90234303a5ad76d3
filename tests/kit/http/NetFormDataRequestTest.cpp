#include <gtest/gtest.h>

#include "kit/http/NetFormDataRequest.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "tests/kit/http/HttpTestSupport.h"

using namespace httptest;
using kavro::NetFormDataRequest;

namespace {

class NetFormDataRequestTest : public HttpTest {
 protected:
  void SetUp() override {
    HttpTest::SetUp();
    server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("ok"); });
  }
  std::shared_ptr<NetFormDataRequest> form() {
    return NetFormDataRequest::requestWithURL(url(server.url("/form")));
  }
  // Posts the form; the request as the server read it.
  RecordedRequest post(const std::shared_ptr<NetFormDataRequest>& r) {
    auto rec = run(r);
    EXPECT_EQ(rec->calls.back(), "finished");
    return server.requests().back();
  }
  static std::string boundaryOf(const RecordedRequest& r) {
    std::string type = r.header("Content-Type").value_or("");
    std::size_t at = type.find("; boundary=");
    return at == std::string::npos ? "" : type.substr(at + 11);
  }
};

TEST_F(NetFormDataRequestTest, URLEncodedBodies) {
  auto r = form();
  EXPECT_EQ(r->requestMethod(), "POST");
  r->addPostValue(1, "a");
  r->addPostValue("x y", "b");
  r->addPostValue("ignored", std::nullopt);
  auto sent = post(r);
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.header("Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
  EXPECT_EQ(sent.body, "a=1&b=x%20y");

  EXPECT_EQ(
      r->encodeURL("az09-._~:/?#[]@!$ &'()*+,;=\"<>%{}|\\^`"),
      "az09-._%7E%3A%2F%3F%23%5B%5D%40%21%24%20%26%27%28%29%2A%2B%2C%3B%3D%22%3C%3E%25%7B%7D%7C%5C%5E%60");
  EXPECT_EQ(r->encodeURL("é"), "%C3%A9");

  auto latin = form();
  latin->setStringEncoding(kavro::NetISOLatin1StringEncoding);
  latin->addPostValue("é", "k");
  sent = post(latin);
  EXPECT_EQ(sent.header("Content-Type"), "application/x-www-form-urlencoded; charset=iso-8859-1");
  EXPECT_EQ(sent.body, "k=%E9");
}

TEST_F(NetFormDataRequestTest, SetReplacesEveryFieldOfTheKey) {
  auto r = form();
  r->addPostValue("1", "k");
  r->addPostValue("2", "other");
  r->addPostValue("3", "k");
  r->setPostValue("4", "k");
  EXPECT_EQ(r->postData(), (std::vector<NetFormDataRequest::PostField>{{"other", "2"}, {"k", "4"}}));
  r->addData(platform::dataFromString("a"), "d");
  r->setData(platform::dataFromString("b"), "d");
  ASSERT_EQ(r->fileData().size(), 1u);
  EXPECT_EQ(r->fileData()[0].data,
            (std::variant<platform::Data, std::string>(platform::dataFromString("b"))));
}

TEST_F(NetFormDataRequestTest, MultipartWithOneFieldEndsWithTheClosingLineOnly) {
  auto r = form();
  r->setPostFormat(NetFormDataRequest::MultipartFormDataPostFormat);
  r->addPostValue("v", "k");
  auto sent = post(r);
  std::string b = boundaryOf(sent);
  EXPECT_TRUE(platform::hasPrefix(b, "0xKvFoRmBoUnDaRy-"));
  EXPECT_EQ(b.size(), 17u + 36u);
  EXPECT_EQ(sent.header("Content-Type"), "multipart/form-data; charset=utf-8; boundary=" + b);
  EXPECT_EQ(sent.body,
            "--" + b + "\r\nContent-Disposition: form-data; name=\"k\"\r\n\r\nv\r\n--" + b + "--\r\n");
}

TEST_F(NetFormDataRequestTest, FilesMakeAURLEncodedFormMultipartAndStreamFromDisk) {
  std::string path = home.path() + "/photo.png";
  ASSERT_TRUE(platform::FileManager::createFileAtPath(path, platform::dataFromString("PNGDATA")));
  auto r = form();
  r->addPostValue("Ann", "name");
  r->addPostValue(2.5, "score");
  r->addFile(path, "picture");
  r->addData(platform::dataFromString("raw\r\nbytes"), "blob");
  r->addData(platform::dataFromString("{}"), "a\"b\r\nX-Injected: 1.json", "application/json", "meta");
  auto sent = post(r);
  EXPECT_EQ(r->postFormat(), NetFormDataRequest::MultipartFormDataPostFormat);
  EXPECT_TRUE(r->shouldStreamPostDataFromDisk());
  std::string b = boundaryOf(sent);
  std::string sep = "\r\n--" + b + "\r\n";
  EXPECT_EQ(
      sent.body,
      "--" + b + "\r\n" + "Content-Disposition: form-data; name=\"name\"\r\n\r\nAnn" + sep +
          "Content-Disposition: form-data; name=\"score\"\r\n\r\n2.5" + sep +
          "Content-Disposition: form-data; name=\"picture\"; filename=\"photo.png\"\r\n"
          "Content-Type: image/png\r\n\r\nPNGDATA" +
          sep +
          "Content-Disposition: form-data; name=\"blob\"; filename=\"file\"\r\n"
          "Content-Type: application/octet-stream\r\n\r\nraw\r\nbytes" +
          sep +
          "Content-Disposition: form-data; name=\"meta\"; filename=\"a%22b%0D%0AX-Injected: 1.json\"\r\n"
          "Content-Type: application/json\r\n\r\n{}" +
          "\r\n--" + b + "--\r\n");
  EXPECT_EQ(sent.header("Content-Length"), std::to_string(sent.body.size()));
  // The temporary body file went with the request.
  EXPECT_TRUE(platform::FileManager::contentsOfDirectoryAtPath(platform::Environment::tmpPath())->empty());
}

TEST_F(NetFormDataRequestTest, FailuresAreReportedNotPostedHalf) {
  // A folder is no file.
  auto folder = form();
  auto rec = std::make_shared<Recorder>();
  folder->setDelegate(rec);
  folder->addFile(home.path(), "f");
  ASSERT_TRUE(folder->error());
  EXPECT_EQ(folder->error()->code, kavro::NetInternalErrorWhileBuildingRequestType);
  EXPECT_EQ(folder->error()->localizedDescription, "No file exists at " + home.path());
  EXPECT_EQ(folder->fileData().size(), 1u);
  EXPECT_EQ(rec->calls, (std::vector<std::string>{"failed 6"}));

  // A file gone before the body is built.
  std::string path = home.path() + "/gone.txt";
  ASSERT_TRUE(platform::FileManager::createFileAtPath(path, platform::dataFromString("x")));
  auto gone = form();
  gone->addFile(path, "f");
  platform::FileManager::removeItemAtPath(path);
  EXPECT_EQ(run(gone)->calls.back(), "failed 6");

  // Text the encoding cannot carry.
  auto ascii = form();
  ascii->setStringEncoding(kavro::NetASCIIStringEncoding);
  ascii->addPostValue("漢字", "k");
  EXPECT_EQ(ascii->encodeURL("漢字"), "");
  EXPECT_EQ(run(ascii)->calls.back(), "failed 6");
  EXPECT_EQ(server.requestCount(), 0u);
}

}  // namespace
