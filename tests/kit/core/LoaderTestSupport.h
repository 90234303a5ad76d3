#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataHttpConnection.h"
#include "kit/core/DataLoadAndParser.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPReadStream.h"
#include "demo/ApiFixtureServer.h"
#include "tests/support/TempHome.h"

namespace kavro::test {

// Loaders and connections against the API fixture server on the main run loop (real clock, unless
// a test installs a virtual one), with a fresh home.
class ApiServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loop().discardAll();
    loop().setClock(platform::Clock::real());
    platform::Environment::setApiHostUrl(server.hostUrl());
  }
  void TearDown() override {
    loop().discardAll();
    loop().setClock(platform::Clock::real());
    platform::Date::setClock(nullptr);
    platform::HTTPReadStream::closeIdleConnections();
    platform::Environment::setApiHostUrl("");
    AppCoreInfo::destroyAppCoreInfo();
  }
  platform::RunLoop& loop() { return platform::RunLoop::main(); }
  bool runUntil(const std::function<bool()>& pred, double timeout = 20) {
    return loop().runUntil(pred, timeout);
  }

  TempHome home;
  ApiFixtureServer server;
};

// Records what a loader tells.
class LoaderRecorder : public DataLoadAndParserDelegate {
 public:
  int calls = 0;
  std::shared_ptr<DataItemResult> result;
  DataLoadAndParser* loader = nullptr;
  std::function<void(DataLoadAndParser&)> hook;

  void dataLoader(DataLoadAndParser& l, const DataItemResult& r) override {
    ++calls;
    loader = &l;
    result = l.getResult();
    EXPECT_EQ(result.get(), &r);
    if (hook) hook(l);
  }
};

// Records what a connection tells, in order.
class ConnectionRecorder : public DataHttpConnectionDelegate {
 public:
  std::vector<std::string> calls;
  std::string body;
  std::optional<platform::Error> error;
  std::vector<std::int64_t> sizes;
  std::function<void(DataHttpConnection&, const std::string&)> hook;
  std::string name;  // for logs shared between recorders
  std::vector<std::string>* log = nullptr;

  void connectionOnError(DataHttpConnection& c, const platform::Error& e) override {
    calls.push_back("error");
    error = e;
    if (log) log->push_back(name + ":error");
    if (hook) hook(c, "error");
  }
  void connectionOnReceived(DataHttpConnection& c, const platform::Data& d) override {
    calls.push_back("received");
    body.assign(d.begin(), d.end());
    if (log) log->push_back(name + ":received");
    if (hook) hook(c, "received");
  }
  void connectionOnDownloadedSize(DataHttpConnection& c, std::int64_t size) override {
    sizes.push_back(size);
    if (hook) hook(c, "size");
  }
  bool done() const { return !calls.empty(); }
};

}  // namespace kavro::test
