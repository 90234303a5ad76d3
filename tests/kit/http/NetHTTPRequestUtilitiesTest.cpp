#include <gtest/gtest.h>

#include "kit/http/NetDataCompressor.h"
#include "kit/http/NetDataDecompressor.h"
#include "kit/http/NetHTTPRequest.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "tests/support/TempDir.h"

using kavro::NetDataCompressor;
using kavro::NetDataDecompressor;
using kavro::NetHTTPRequest;

TEST(NetDataCompression, RoundTripsAndReportsZlibFailures) {
  platform::Data text = platform::dataFromString(std::string(10000, 'a') + "tail");
  auto gz = NetDataCompressor::compressData(text);
  ASSERT_TRUE(gz);
  EXPECT_EQ((*gz)[0], 0x1F);
  EXPECT_EQ((*gz)[1], 0x8B);
  EXPECT_EQ(NetDataDecompressor::uncompressData(*gz), text);
  platform::Error error;
  EXPECT_FALSE(NetDataCompressor::compressData({}, &error));
  EXPECT_EQ(error.code, 0);
  EXPECT_FALSE(NetDataDecompressor::uncompressData(platform::dataFromString("not gzip at all"), &error));
  EXPECT_EQ(error.code, kavro::NetCompressionError);
  EXPECT_EQ(error.localizedDescription, "Decompression of data failed with code -3");
  // One byte (the smallest body) compresses too.
  EXPECT_EQ(NetDataDecompressor::uncompressData(*NetDataCompressor::compressData({'x'})),
            platform::Data{'x'});
}

TEST(NetDataCompression, FilesOfWholeChunks) {
  kavro::test::TempDir dir;
  std::string source = dir.path() + "/src", packed = dir.path() + "/src.gz", back = dir.path() + "/back";
  platform::Data body(262144 * 2);
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<std::uint8_t>(i * 7 % 251);
  platform::FileManager::createFileAtPath(source, body);
  ASSERT_TRUE(NetDataCompressor::compressDataFromFile(source, packed));
  ASSERT_TRUE(NetDataDecompressor::uncompressDataFromFile(packed, back));
  EXPECT_EQ(platform::FileManager::contentsAtPath(back), body);
  platform::Error error;
  EXPECT_FALSE(NetDataCompressor::compressDataFromFile(dir.path() + "/missing", packed, &error));
  EXPECT_EQ(error.localizedDescription,
            "Compression of " + dir.path() + "/missing failed the file does not exist");
  EXPECT_TRUE(platform::FileManager::fileExistsAtPath(packed));
}

TEST(NetHTTPRequestUtilities, ContentTypesDatesAndExpiry) {
  std::string mime = "unset";
  kavro::NetStringEncoding encoding = 99;
  NetHTTPRequest::parseMimeType(&mime, &encoding, " text/html ; charset=UTF-8");
  EXPECT_EQ(mime, "text/html");
  EXPECT_EQ(encoding, kavro::NetUTF8StringEncoding);
  encoding = 99;
  NetHTTPRequest::parseMimeType(&mime, &encoding, "text/xml");
  EXPECT_EQ(mime, "text/xml");
  EXPECT_EQ(encoding, 99u);
  NetHTTPRequest::parseMimeType(&mime, &encoding, "text/plain; charset=no-such-set");
  EXPECT_EQ(encoding, 99u);
  NetHTTPRequest::parseMimeType(&mime, &encoding, "text/plain; charset=gb2312");
  EXPECT_EQ(encoding, kavro::NetGBKStringEncoding);

  auto withSeconds = NetHTTPRequest::dateFromRFC1123String("Sun, 06 Nov 1994 08:49:37 GMT");
  ASSERT_TRUE(withSeconds);
  EXPECT_DOUBLE_EQ(withSeconds->timeIntervalSince1970(), 784111777);
  auto bare = NetHTTPRequest::dateFromRFC1123String("06 Nov 1994 08:49 GMT");
  ASSERT_TRUE(bare);
  EXPECT_DOUBLE_EQ(bare->timeIntervalSince1970(), 784111740);
  EXPECT_FALSE(NetHTTPRequest::dateFromRFC1123String("yesterday"));

  EXPECT_EQ(NetHTTPRequest::base64forData(platform::dataFromString("user:secret")), "dXNlcjpzZWNyZXQ=");
  EXPECT_EQ(kavro::stringFromBytes({0xE4, 0xB8, 0xAD}, kavro::NetUTF8StringEncoding), "\xE4\xB8\xAD");
  EXPECT_EQ(kavro::stringFromBytes({0xD6, 0xD0}, kavro::NetGBKStringEncoding), "\xE4\xB8\xAD");
  EXPECT_EQ(kavro::stringFromBytes({0xE9}, kavro::NetISOLatin1StringEncoding), "\xC3\xA9");
  EXPECT_FALSE(kavro::stringFromBytes({0xE9}, kavro::NetUTF8StringEncoding));
}

TEST(NetHTTPRequestUtilities, MimeTypesAndUserAgent) {
  kavro::test::TempDir dir;
  platform::FileManager::createFileAtPath(dir.path() + "/photo.JPG", {1});
  platform::FileManager::createFileAtPath(dir.path() + "/thing.qqq", {1});
  EXPECT_EQ(NetHTTPRequest::mimeTypeForFileAtPath(dir.path() + "/photo.JPG"), "image/jpeg");
  EXPECT_EQ(NetHTTPRequest::mimeTypeForFileAtPath(dir.path() + "/thing.qqq"), "application/octet-stream");
  EXPECT_FALSE(NetHTTPRequest::mimeTypeForFileAtPath(dir.path() + "/none.txt"));

  platform::Environment::setBundleName("Kavro");
  platform::Environment::setVersionString("2.4.2");
  platform::Environment::setBuildNumber("2.4.2");
  NetHTTPRequest::setDefaultUserAgentString(std::nullopt);
  auto agent = NetHTTPRequest::defaultUserAgentString();
  ASSERT_TRUE(agent);
  EXPECT_EQ(agent->rfind("Kavro 2.4.2 (", 0), 0u) << *agent;
  EXPECT_EQ(agent->find("rv:"), std::string::npos);
  platform::Environment::setBuildNumber("242");
  NetHTTPRequest::setDefaultUserAgentString(std::nullopt);
  EXPECT_EQ(NetHTTPRequest::defaultUserAgentString()->rfind("Kavro 2.4.2 rv:242 (", 0), 0u);
  platform::Environment::reset();
  NetHTTPRequest::setDefaultUserAgentString(std::nullopt);
}

TEST(NetHTTPRequestUtilities, CopiesKeepConfigurationButNotReceivers) {
  auto r = NetHTTPRequest::requestWithURL(platform::URL::parse("http://h/p"));
  r->setUsername("u");
  r->setPassword("p");
  r->setProxyHost("proxy");
  r->setProxyPort(8080);
  r->setTimeOutSeconds(33);
  r->setCompletionBlock([] {});
  auto queue = std::make_shared<kavro::NetHTTPRequestQueue>();
  r->setQueue(queue);
  auto copy = r->copy();
  EXPECT_EQ(copy->username(), "u");
  EXPECT_EQ(copy->proxyHost(), "proxy");
  EXPECT_EQ(copy->proxyPort(), 8080);
  EXPECT_DOUBLE_EQ(copy->timeOutSeconds(), 33);
  EXPECT_FALSE(copy->queue());

  auto head = r->HEADRequest();
  EXPECT_EQ(head->requestMethod(), "HEAD");
  EXPECT_EQ(head->mainRequest(), r);
  EXPECT_EQ(head->password(), "p");
}
