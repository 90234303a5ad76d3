#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavro::test {

// The service's answers computed from a generated sample (demo/data/sample, written by
// tools/demo/make_sample.py): dictionaries, job search and map search by their conditions and
// pages, job, company, group and community details by id, keyword suggestions and the current
// area. Calls it does not compute are left to the caller (the fixture files). Immutable once
// loaded, so connections on several threads may ask at once.
class DemoApi {
 public:
  using Params = std::map<std::string, std::string, std::less<>>;

  // The sample in dir (dictionary.tsv, areas.tsv, companies.tsv, jobs.tsv, groups.tsv,
  // topics.tsv); nullptr when dir holds no sample or a file cannot be read.
  static std::shared_ptr<const DemoApi> load(const std::string& dir);
  // The repository's demo/data/sample.
  static std::string defaultSampleRoot();
  // Whether dir holds a sample.
  static bool holdsSample(const std::string& dir);

  // The query's or form body's name=value pairs, decoded ("+" is a blank).
  static Params parseParams(std::string_view encoded);

  // The XML answer to a call ("job/search_job_list.php") with its parameters; nullopt for a call
  // the sample does not answer.
  std::optional<std::string> answer(std::string_view call, const Params& params) const;

  // The service's error answer: result 0, the status and the message.
  static std::string errorAnswer(int status, std::string_view message);

  std::size_t jobCount() const { return jobs_.size(); }

  struct Entry {
    std::string code, value;
    bool hasSub = false, isHot = false;
  };
  struct Area {
    std::string code, city, district;
    double lat = 0, lon = 0;
  };
  struct Company {
    std::string coid, coname, area, cotype, cosize, indtype, caddr, lat, lon, fansnum, coinfo;
  };
  struct Job {
    std::string jobid, jobname, coid, area, funtype, issuedate, saltype, providesalary, degree, workyear,
        jobterm, landmark, jobnum, language, lat, lon, jobinfo;
    std::int64_t day = 0;  // issuedate as days since 1970-01-01
  };
  struct Group {
    std::string groupid, groupname, coids, groupinfo;
  };
  struct Topic {
    std::string coid, noticeid, username, createtime, content;
  };

 private:
  DemoApi() = default;

  std::string dictionary(const Params& params, bool areaTree) const;
  std::string searchJobs(const Params& params) const;
  std::string mapSearch(const Params& params) const;
  std::string suggestKeywords(const Params& params) const;
  std::string jobDetail(const Params& params) const;
  std::string companyDetail(const Params& params) const;
  std::string companyJobs(const Params& params) const;
  std::string companyAreas(const Params& params) const;
  std::string companyCoordinate(const Params& params) const;
  std::string communityCompany(const Params& params) const;
  std::string companyTopics(const Params& params) const;
  std::string groupDetail(const Params& params) const;
  std::string groupJobs(const Params& params) const;
  std::string groupAreas(const Params& params) const;
  std::string location(const Params& params) const;
  std::string resumeMatch(const Params& params) const;

  // The jobs that match the conditions of a search or map search (keyword, areas, codes).
  std::vector<const Job*> matching(const Params& params, bool byArea) const;
  std::string areaText(std::string_view code) const;
  // The cities (code and name) where the companies post jobs, in the order of their newest jobs.
  std::string citiesOf(const std::vector<std::string>& coids) const;
  // A page of the companies' jobs in the query's areas.
  std::string jobsOf(const std::vector<std::string>& coids, const Params& params, bool campus) const;
  std::string dictValue(std::string_view ddtype, std::string_view code) const;
  const Company* company(std::string_view coid) const;
  const Job* job(std::string_view jobid) const;

  // ddtype -> parent code -> its level, in order.
  std::map<std::string, std::map<std::string, std::vector<Entry>, std::less<>>, std::less<>> dicts_;
  std::map<std::string, Area, std::less<>> areas_;
  std::vector<Company> companies_;
  std::map<std::string, std::size_t, std::less<>> companyIndex_;  // coid -> place in companies_
  std::vector<Job> jobs_;                                         // newest first
  std::vector<Group> groups_;
  std::vector<Topic> topics_;
  std::int64_t newestDay_ = 0;
};

}  // namespace kavro::test
