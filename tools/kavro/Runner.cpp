#include "tools/kavro/Runner.h"

#include <istream>
#include <ostream>
#include <sstream>

#include "app/api/ApiJob.h"
#include "app/jobsearch/JobSearchParam.h"
#include "app/services/KitServices.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataLoadAndParser.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "tests/support/ApiFixtureServer.h"

namespace kavro::runner {

namespace {

// Waits for one loader's report on the main run loop.
class Wait : public DataLoadAndParserDelegate {
 public:
  std::shared_ptr<DataItemResult> result;
  void dataLoader(DataLoadAndParser&, const DataItemResult& r) override {
    result = std::make_shared<DataItemResult>(r);
  }
  bool until(double seconds) {
    return platform::RunLoop::main().runUntil([this] { return result != nullptr; }, seconds);
  }
};

constexpr double kTimeout = 60;

bool reportFailure(std::ostream& out, const DataItemResult* r) {
  if (!r) {
    out << "no answer within " << kTimeout << " s\n";
    return false;
  }
  if (!r->hasError()) return true;
  out << (r->localError() ? "failed: " : "server refused: ") << r->message() << " (status " << r->statusCode()
      << ")\n";
  return false;
}

}  // namespace

Runner::Runner(std::string apiUrl, std::string demoRoot, std::ostream& out) : out_(out) {
  if (apiUrl.empty()) {
    demo_ = std::make_unique<test::ApiFixtureServer>(std::move(demoRoot));
    apiUrl = demo_->hostUrl();
  }
  platform::Environment::setApiHostUrl(apiUrl);
  appcore::installKitServices();
  AppCoreInfo::resourceInit();
}

Runner::~Runner() { AppCoreInfo::destroyAppCoreInfo(); }

bool Runner::run(const std::vector<std::string>& command) {
  if (command.empty()) return true;
  std::vector<std::string> args(command.begin() + 1, command.end());
  if (command[0] == "search") return search(args);
  if (command[0] == "job") return job(args);
  out_ << "unknown command: " << command[0] << "\n";
  return false;
}

bool Runner::runScript(std::istream& in) {
  bool ok = true;
  std::string line;
  while (std::getline(in, line)) {
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::vector<std::string> command;
    for (std::string w; words >> w;) command.push_back(w);
    if (command.empty()) continue;
    out_ << "> " << line << "\n";
    ok = run(command) && ok;
  }
  return ok;
}

bool Runner::search(const std::vector<std::string>& args) {
  auto param = JobSearchParam::create();
  std::string keywords;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--area" && i + 1 < args.size()) {
      param->setJobarea(args[++i]);
      param->setText_jobarea(args[i]);
    } else if (args[i] == "--page" && i + 1 < args.size()) {
      param->setPageAt(std::max(1, std::atoi(args[++i].c_str())));
    } else {
      keywords += (keywords.empty() ? "" : " ") + args[i];
    }
  }
  param->setKeywords(keywords);
  auto wait = std::make_shared<Wait>();
  auto loader = ApiJob::search_job_list(*param, wait);
  wait->until(kTimeout);
  loader->stopLoading();
  if (!reportFailure(out_, wait->result.get())) return false;
  const auto& r = *wait->result;
  out_ << "search \"" << keywords << "\" in " << param->getText_jobarea() << ": " << r.maxCount()
       << " jobs, page " << param->pageAt() << "\n";
  for (std::size_t i = 0; i < r.count(); ++i) {
    auto row = r.getItem(i);
    out_ << "  " << i + 1 << ". " << row->getString("jobname") << " | " << row->getString("coname") << " | "
         << row->getString("jobarea") << " | " << row->getString("providesalary") << " | "
         << row->getString("issuedate") << " [" << row->getString("jobid") << "]\n";
  }
  return true;
}

bool Runner::job(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    out_ << "usage: job JOBID\n";
    return false;
  }
  auto wait = std::make_shared<Wait>();
  auto loader = ApiJob::get_job_info(args[0], wait);
  wait->until(kTimeout);
  loader->stopLoading();
  if (!reportFailure(out_, wait->result.get())) return false;
  out_ << "job " << args[0] << "\n";
  wait->result->detailInfo()->dictData()->enumerate([&](const std::string& key, const platform::Value& value) {
    std::string text = value.description();
    for (std::size_t p = 0; (p = text.find('\n', p)) != std::string::npos; p += 5) text.replace(p, 1, "\n    ");
    out_ << "  " << key << ": " << text << "\n";
    return true;
  });
  return true;
}

}  // namespace kavro::runner
