#include "demo/ApiFixtureServer.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kavro::test {

namespace {

std::string_view withoutQuery(std::string_view target) {
  std::size_t q = target.find_first_of("?#");
  return q == std::string_view::npos ? target : target.substr(0, q);
}

// Letters, digits and underscores only: no way out of the fixture folder.
bool isPlainName(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace

std::string ApiFixtureServer::defaultFixtureRoot() {
  // Given by the build: compiler caches may rewrite this file's own path to a relative one.
  return (std::filesystem::path(KAVRO_SOURCE_DIR) / "demo" / "data" / "api").string();
}

ApiFixtureServer::ApiFixtureServer() : ApiFixtureServer(defaultFixtureRoot()) {}

ApiFixtureServer::ApiFixtureServer(std::string fixtureRoot, std::string sampleRoot)
    : root_(std::move(fixtureRoot)), demo_(DemoApi::load(sampleRoot.empty() ? root_ : sampleRoot)) {
  server_.setHandler([this](const RecordedRequest& request) { return respond(request); });
}

void ApiFixtureServer::setAnswer(std::string_view path, int status, std::string body, HeaderList headers) {
  ScriptedResponse response = ScriptedResponse::ok(std::move(body), std::move(headers));
  response.status = status;
  setAnswer(path, std::move(response));
}

void ApiFixtureServer::setAnswer(std::string_view path, ScriptedResponse response) {
  std::lock_guard lock(mutex_);
  answers_.insert_or_assign(std::string(path), std::move(response));
}

void ApiFixtureServer::clearAnswers() {
  std::lock_guard lock(mutex_);
  answers_.clear();
}

void ApiFixtureServer::setAnswerUnknownCallsAsServer(bool asServer) {
  std::lock_guard lock(mutex_);
  unknownAsServer_ = asServer;
}

std::string ApiFixtureServer::serverErrorAnswer(std::string_view path) {
  std::string_view call = path;
  if (call.starts_with("/api/")) call.remove_prefix(5);
  return DemoApi::errorAnswer(404, "演示服务器不认识这个接口：" + std::string(call));
}

std::optional<std::string> ApiFixtureServer::fixtureFor(std::string_view target) const {
  std::string_view path = withoutQuery(target);
  constexpr std::string_view prefix = "/api/";
  constexpr std::string_view suffix = ".php";
  if (path.substr(0, prefix.size()) != prefix) return std::nullopt;
  path.remove_prefix(prefix.size());
  if (path.size() <= suffix.size() || path.substr(path.size() - suffix.size()) != suffix) return std::nullopt;
  path.remove_suffix(suffix.size());
  std::size_t slash = path.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  std::string_view area = path.substr(0, slash), name = path.substr(slash + 1);
  if (!isPlainName(area) || !isPlainName(name)) return std::nullopt;
  for (const char* extension : {".xml", ".json"}) {
    std::filesystem::path file =
        std::filesystem::path(root_) / std::string(area) / (std::string(name) + extension);
    std::error_code ec;
    if (std::filesystem::is_regular_file(file, ec)) return file.string();
  }
  return std::nullopt;
}

ScriptedResponse ApiFixtureServer::respond(const RecordedRequest& request) {
  std::string_view path = withoutQuery(request.target);
  {
    std::lock_guard lock(mutex_);
    auto it = answers_.find(path);
    if (it != answers_.end()) return it->second;
  }
  if (demo_ && path.starts_with("/api/")) {
    auto query = request.target.find('?');
    auto params = DemoApi::parseParams(
        query == std::string::npos ? std::string_view() : std::string_view(request.target).substr(query + 1));
    // A form body adds its fields (the client's posts are URL-encoded forms).
    auto type = request.header("Content-Type");
    if (!request.body.empty() && !(type && type->find("multipart") != std::string::npos))
      params.merge(DemoApi::parseParams(request.body));
    if (auto answer = demo_->answer(path.substr(5), params))
      return ScriptedResponse::ok(std::move(*answer), {{"Content-Type", "text/xml; charset=utf-8"}});
  }
  if (auto file = fixtureFor(request.target)) {
    if (auto body = readFile(*file)) {
      bool json = file->size() >= 5 && file->compare(file->size() - 5, 5, ".json") == 0;
      return ScriptedResponse::ok(std::move(*body), {{"Content-Type", json ? "application/json; charset=utf-8"
                                                                           : "text/xml; charset=utf-8"}});
    }
  }
  bool asServer = false;
  {
    std::lock_guard lock(mutex_);
    asServer = unknownAsServer_;
  }
  if (asServer)
    return ScriptedResponse::ok(serverErrorAnswer(path), {{"Content-Type", "text/xml; charset=utf-8"}});
  ScriptedResponse missing =
      ScriptedResponse::ok("no fixture for " + std::string(path), {{"Content-Type", "text/plain"}});
  missing.status = 404;
  return missing;
}

}  // namespace kavro::test
