// The demo data the runner loads may be edited by hand: one of the sample's files replaced by any
// bytes either refuses to load or gives answers the client reads without a parse error.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo/DemoApi.h"
#include "kit/core/DataLoadAndParser.h"

namespace {

constexpr const char* Files[] = {"dictionary.tsv", "areas.tsv",  "companies.tsv",
                                 "jobs.tsv",       "groups.tsv", "topics.tsv"};
constexpr const char* Calls[][2] = {
    {"datadict/get_jobarea.php", "ddtype=jobarea&code=&language=c"},
    {"datadict/get_datadict.php", "ddtype=landmark&code=020000&language=c"},
    {"datadict/get_special_datadict.php", "ddtype=funtype&code=0100&language=c"},
    {"fans/get_co_topics.php", "coid=2310486&pageno=1&pagesize=10"},
    {"fans/get_company_info.php", "coid=1872254"},
    {"job/associate_keyword.php", "keyword=zzqx&keywordtype=1"},
    {"job/get_co_alljob.php", "coid=2310486&pageno=1&pagesize=20"},
    {"job/get_job_info.php", "jobid=45127603"},
    {"job/map_search.php", "lonlat=121.590700,31.203700&range=5000"},
    {"job/search_job_list.php", "postchannel=0000&keyword=java&keywordtype=1&pagesize=10&pageno=1"},
    {"util/get_location.php", "longitude=121.590700&latitude=31.203700"},
};

struct Sample {
  std::filesystem::path dir;
  std::vector<std::string> originals;
};

Sample& sample() {
  static Sample* s = [] {
    auto* made = new Sample();
    made->dir = std::filesystem::temp_directory_path() / ("kavro-fuzz-demo-" + std::to_string(::getpid()));
    std::filesystem::create_directories(made->dir);
    for (const char* name : Files) {
      std::ifstream in(std::filesystem::path(kavro::test::DemoApi::defaultSampleRoot()) / name,
                       std::ios::binary);
      made->originals.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      std::ofstream(made->dir / name, std::ios::binary) << made->originals.back();
    }
    return made;
  }();
  return *s;
}

void put(const std::filesystem::path& path, const char* bytes, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes, static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0 || size > 256 * 1024) return 0;
  Sample& s = sample();
  std::size_t which = bytes[0] % std::size(Files);
  auto path = s.dir / Files[which];
  put(path, reinterpret_cast<const char*>(bytes + 1), size - 1);
  auto api = kavro::test::DemoApi::load(s.dir.string());
  if (api) {
    for (const auto& [call, query] : Calls) {
      auto answer = api->answer(call, kavro::test::DemoApi::parseParams(query));
      if (!answer) continue;
      auto result = kavro::DataLoadAndParser::initWithData(*answer)->getResult();
      if (!result || result->localError()) std::abort();
    }
  }
  put(path, s.originals[which].data(), s.originals[which].size());
  return 0;
}
