#pragma once
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace kavro::test {
class ApiFixtureServer;
}

namespace kavro::runner {

// Runs the client's commands headless against the API host (a demo server on 127.0.0.1 unless one
// is given) and prints what the client parsed. Main thread only.
class Runner {
 public:
  // apiUrl "" starts the demo server, answering from demoRoot.
  Runner(std::string apiUrl, std::string demoRoot, std::ostream& out);
  ~Runner();

  // One command with its arguments ("search java --area 020000", "job 45127603"); false when it
  // failed or is unknown (the reason is printed).
  bool run(const std::vector<std::string>& command);
  // Commands one a line; '#' starts a comment. False when any failed.
  bool runScript(std::istream& in);

 private:
  bool search(const std::vector<std::string>& args);
  bool job(const std::vector<std::string>& args);

  std::ostream& out_;
  std::unique_ptr<test::ApiFixtureServer> demo_;
};

}  // namespace kavro::runner
