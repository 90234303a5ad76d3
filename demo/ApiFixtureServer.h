#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "demo/DemoApi.h"
#include "demo/LoopbackHttpServer.h"

namespace kavro::test {

// The service's API on 127.0.0.1 for tests: a request for "/api/<area>/<name>.php" (query ignored)
// is answered with the file <root>/<area>/<name>.xml, else <root>/<area>/<name>.json, from the
// fixtures under demo/data/api; anything else is a 404, or, when asked, the service's own
// error answer (an XML answer with result 0, status 404 and a message naming the call). One path
// can be told to answer with a given status and body instead. Every request is recorded.
// With a generated sample (DemoApi: in sampleRoot, or in the fixture root itself, as beside the
// runner) the calls the sample covers are answered from it by their query, before the files.
class ApiFixtureServer {
 public:
  ApiFixtureServer();
  explicit ApiFixtureServer(std::string fixtureRoot, std::string sampleRoot = {});
  ApiFixtureServer(const ApiFixtureServer&) = delete;
  ApiFixtureServer& operator=(const ApiFixtureServer&) = delete;

  // The repository's demo/data/api.
  static std::string defaultFixtureRoot();

  // "http://127.0.0.1:<port>", for platform::Environment::setApiHostUrl().
  std::string hostUrl() const { return server_.url(""); }
  std::uint16_t port() const { return server_.port(); }

  // Every later request for path ("/api/job/get_job_info.php", without query) gets this answer
  // instead of its fixture, until clearAnswers().
  void setAnswer(std::string_view path, int status, std::string body, HeaderList headers = {});
  void setAnswer(std::string_view path, ScriptedResponse response);
  void clearAnswers();

  // Calls without a fixture get the service's error answer instead of a bare 404.
  void setAnswerUnknownCallsAsServer(bool asServer);
  // The service's error answer for a request path.
  static std::string serverErrorAnswer(std::string_view path);

  // The fixture file a request target answers from; none outside the API's paths or without a file.
  std::optional<std::string> fixtureFor(std::string_view target) const;

  // Whether calls are answered from a generated sample.
  bool answersFromSample() const { return demo_ != nullptr; }

  std::vector<RecordedRequest> requests() const { return server_.requests(); }
  std::size_t requestCount() const { return server_.requestCount(); }
  LoopbackHttpServer& server() { return server_; }
  void stop() { server_.stop(); }

 private:
  ScriptedResponse respond(const RecordedRequest& request);

  std::string root_;
  std::shared_ptr<const DemoApi> demo_;
  mutable std::mutex mutex_;
  std::map<std::string, ScriptedResponse, std::less<>> answers_;
  bool unknownAsServer_ = false;
  LoopbackHttpServer server_;
};

}  // namespace kavro::test
