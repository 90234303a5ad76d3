// Runs a road script through the runner, as kavro --script does, with the HTTP engine's login
// sheet installed and a demo host that asks for credentials (demo/AuthDemoServer.h). One command
// more, for the roads alone:
//   auth get NAME PATH             a GET of PATH on the demo host, allowed to show the sheet
//   auth get NAME URL via proxy    a GET of URL through the demo host as an HTTP proxy
//   auth expect NAME finished TEXT the request ended with the answer TEXT
//   auth expect NAME failed CODE   the request failed with the engine's error CODE
//   auth expect sent COUNT         the demo host received COUNT requests so far
// Usage: auth_roads --home DIR --out DIR --script FILE
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "demo/ApiFixtureServer.h"
#include "demo/AuthDemoServer.h"
#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetHTTPRequestDelegate.h"
#include "kit/http/ui/NetAuthenticationDialog.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/URL.h"
#include "tools/kavro/MapCommands.h"
#include "tools/kavro/Runner.h"

namespace {

using kavro::NetAuthenticationDialog;
using kavro::NetHTTPRequest;
using kavro::runner::Outcome;
using kavro::runner::Runner;

struct Ending : kavro::NetHTTPRequestDelegate {
  std::optional<std::string> ended;  // "finished TEXT" or "failed CODE"
  void requestFinished(NetHTTPRequest& r) override { ended = "finished " + r.responseString().value_or(""); }
  void requestFailed(NetHTTPRequest& r) override {
    ended = "failed " + std::to_string(r.error() ? r.error()->code : 0);
  }
};

struct Road {
  kavro::test::AuthDemoServer host;
  struct Started {
    std::shared_ptr<NetHTTPRequest> request;
    std::shared_ptr<Ending> ending;
  };
  std::map<std::string, Started, std::less<>> requests;
};

Road* road = nullptr;

bool waitingForTheSheet(const std::shared_ptr<NetHTTPRequest>& r) {
  auto shown = NetAuthenticationDialog::currentDialog();
  if (shown && shown->request() == r) return true;
  for (auto& w : NetAuthenticationDialog::waitingRequests())
    if (w == r) return true;
  return false;
}

// Requests on their way: neither ended nor waiting for a person at the sheet.
std::string openRequests() {
  if (!road) return {};
  std::string open;
  for (auto& [name, s] : road->requests)
    if (!s.ending->ended && !waitingForTheSheet(s.request)) open += (open.empty() ? "" : ", ") + name;
  return open.empty() ? open : "the demo auth host's requests " + open;
}

std::vector<std::string> words(std::string_view s) {
  std::istringstream in{std::string(s)};
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::string unquote(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

std::optional<Outcome> authCommand(Runner& runner, std::string_view command, std::string_view rest,
                                   std::string& message, std::ostream&) {
  if (command != "auth" || !road) return std::nullopt;
  auto w = words(rest);
  if (w.size() >= 3 && w[0] == "get") {
    bool proxy = w.size() == 5 && w[3] == "via" && w[4] == "proxy";
    if (w.size() != 3 && !proxy)
      return message = "auth get NAME PATH | auth get NAME URL via proxy", Outcome::Usage;
    auto url = platform::URL::parse(proxy ? w[2] : road->host.url(w[2]));
    if (!url) return message = "auth get: no URL: " + w[2], Outcome::Usage;
    auto request = NetHTTPRequest::requestWithURL(url);
    auto ending = std::make_shared<Ending>();
    request->setDelegate(ending);
    request->setShouldPresentAuthenticationDialog(true);
    if (proxy) {
      request->setProxyHost("127.0.0.1");
      request->setProxyPort(road->host.port());
    }
    road->requests[w[1]] = {request, ending};
    request->startAsynchronous();
    if (!runner.waitUntilIdle())
      return message = "auth get: still waiting for " + runner.stillOpen(), Outcome::Failed;
    return Outcome::Done;
  }
  if (w.size() == 3 && w[0] == "expect" && w[1] == "sent") {
    std::string got = std::to_string(road->host.requestCount());
    if (got != w[2])
      return message = "expected " + w[2] + " requests at the demo auth host; it received " + got,
             Outcome::Failed;
    return Outcome::Done;
  }
  if (w.size() >= 3 && w[0] == "expect") {
    auto it = road->requests.find(w[1]);
    if (it == road->requests.end()) return message = "auth expect: no request " + w[1], Outcome::Usage;
    std::string wanted = w[2];
    std::string_view tail = rest.substr(rest.find(w[2]) + w[2].size());
    while (!tail.empty() && tail.front() == ' ') tail.remove_prefix(1);
    if (!tail.empty()) wanted += " " + unquote(std::string(tail));
    const auto& ended = it->second.ending->ended;
    if (ended != wanted)
      return message = "expected " + w[1] + " " + wanted + "; it " + (ended ? *ended : "has not ended"),
             Outcome::Failed;
    return Outcome::Done;
  }
  message =
      "auth get NAME PATH [via proxy] | auth expect NAME finished TEXT | auth expect NAME failed CODE | "
      "auth expect sent COUNT";
  return Outcome::Usage;
}

}  // namespace

int main(int argc, char** argv) {
  std::string home, out = ".", script;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--home")
      home = argv[i + 1];
    else if (name == "--out")
      out = argv[i + 1];
    else if (name == "--script")
      script = argv[i + 1];
  }
  if (home.empty() || script.empty()) {
    std::cerr << "usage: auth_roads --home DIR --out DIR --script FILE\n";
    return 2;
  }
  platform::Environment::setHomeRoot(home);
  Outcome outcome = Outcome::Failed;
  {
    Road state;
    road = &state;
    NetAuthenticationDialog::install();
    Runner::addCommandExtension(authCommand);
    Runner::addOpenRequestCheck(openRequests);
    kavro::runner::Options options;
    options.demoRoot = kavro::test::ApiFixtureServer::defaultFixtureRoot();
    options.snapshotDir = out;
    kavro::runner::registerMapCommands();
    Runner runner(options, std::cout, std::cerr);
    if (runner.start()) {
      std::ifstream in(script);
      outcome = runner.runScript(in, script);
    }
    for (auto& [name, s] : state.requests) {
      s.request->setDelegate({});
      s.request->cancel();
    }
    NetAuthenticationDialog::resetForTesting();
    road = nullptr;
  }
  return static_cast<int>(kavro::runner::exitStatusFor(outcome));
}
