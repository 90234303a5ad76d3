#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/http/NetHTTPRequest.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/CredentialStorage.h"
#include "platform/net/HTTPCookieStorage.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/net/SystemProxySettings.h"
#include "demo/LoopbackHttpServer.h"
#include "tests/support/TempHome.h"

namespace httptest {

using kavro::NetDelegateMethod;
using kavro::NetHTTPRequest;
using kavro::test::LoopbackHttpServer;
using kavro::test::RecordedRequest;
using kavro::test::ScriptedResponse;

inline platform::URL url(const std::string& s) { return *platform::URL::parse(s); }

// Records what a request tells its delegate, in order.
class Recorder : public kavro::NetHTTPRequestDelegate {
 public:
  std::vector<std::string> calls;
  std::string data;
  std::function<void(NetHTTPRequest&)> onAuthenticationNeeded;
  int finished = 0;
  int failed = 0;

  void requestStarted(NetHTTPRequest&) override { calls.push_back("started"); }
  // The request may have moved on (a redirect, a retry) by the time this arrives: only the
  // headers handed over belong to this answer.
  void requestDidReceiveResponseHeaders(NetHTTPRequest&, const kavro::NetHeaderDictionary& h) override {
    calls.push_back("headers" + (h.contains("Location") ? std::string(" location") : std::string()));
  }
  void requestWillRedirectToURL(NetHTTPRequest&, const platform::URL& u) {
    calls.push_back("confirm " + u.absoluteString());
  }
  void requestRedirected(NetHTTPRequest&) override { calls.push_back("redirected"); }
  void requestFinished(NetHTTPRequest&) override {
    calls.push_back("finished");
    ++finished;
  }
  void requestFailed(NetHTTPRequest& r) override {
    calls.push_back("failed " + std::to_string(r.error() ? r.error()->code : 0));
    ++failed;
  }
  void requestDidReceiveData(NetHTTPRequest&, const platform::Data& d) {
    calls.push_back("data");
    data.append(d.begin(), d.end());
  }
  void authenticationNeededForRequest(NetHTTPRequest& r) {
    calls.push_back("authentication");
    if (onAuthenticationNeeded) onAuthenticationNeeded(r);
  }
  bool done() const { return finished + failed > 0; }
};

// Recorders that take on one optional method each.
struct DataRecorder : Recorder, kavro::NetDataReceiver {
  void requestDidReceiveData(NetHTTPRequest& r, const platform::Data& d) override {
    Recorder::requestDidReceiveData(r, d);
  }
};
struct AuthenticatingRecorder : Recorder, kavro::NetAuthenticationResponder {
  void authenticationNeededForRequest(NetHTTPRequest& r) override {
    Recorder::authenticationNeededForRequest(r);
  }
};
struct ConfirmingRecorder : Recorder, kavro::NetRedirectConfirmer {
  void requestWillRedirectToURL(NetHTTPRequest& r, const platform::URL& u) override {
    Recorder::requestWillRedirectToURL(r, u);
  }
};

// Requests against a loopback server, on the network thread, delivered on the main loop (real
// clock: the network thread runs on real time). A fresh home root; no system proxy.
class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::RunLoop::main().discardAll();
    platform::SystemProxySettings::setOverride(platform::SystemProxySettings{});
    platform::HTTPCookieStorage::destroySharedHTTPCookieStorage();
    platform::CredentialStorage::destroySharedCredentialStorage();
    NetHTTPRequest::resetForTesting();
  }
  void TearDown() override {
    NetHTTPRequest::resetForTesting();
    platform::HTTPReadStream::closeIdleConnections();
    platform::SystemProxySettings::setOverride(std::nullopt);
    platform::HTTPCookieStorage::destroySharedHTTPCookieStorage();
    platform::CredentialStorage::destroySharedCredentialStorage();
    // Let the network thread finish what the test's requests left for it.
    platform::RunLoop::main().runFor(0.02);
    platform::RunLoop::main().discardAll();
  }

  std::shared_ptr<NetHTTPRequest> make(const std::string& path,
                                       std::shared_ptr<Recorder> recorder = nullptr) {
    auto r = NetHTTPRequest::requestWithURL(url(server.url(path)));
    if (recorder) r->setDelegate(recorder);
    return r;
  }
  // Starts on the shared queue and runs the main loop until the delegate heard the end.
  std::shared_ptr<Recorder> run(const std::shared_ptr<NetHTTPRequest>& request,
                                std::shared_ptr<Recorder> recorder = nullptr) {
    if (!recorder) recorder = std::make_shared<Recorder>();
    if (!request->delegate()) request->setDelegate(recorder);
    request->startAsynchronous();
    wait([&] { return recorder->done(); });
    return recorder;
  }
  // Other threads change what pred looks at without waking the main loop: look often.
  bool wait(const std::function<bool()>& pred, double seconds = 20) {
    auto& loop = platform::RunLoop::main();
    double end = loop.now() + seconds;
    while (!pred()) {
      if (loop.now() >= end) return false;
      loop.runOnce(0.005);
    }
    return true;
  }

  kavro::test::TempHome home;
  LoopbackHttpServer server;
};

}  // namespace httptest
