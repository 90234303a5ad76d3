#pragma once
#include <cstdint>
#include <string_view>

#include "app/api/ApiFrame.h"
#include "app/jobquery/KeywordType.h"

namespace kavro {

class JobSearchParam;

// The job area "job/": keyword association, the job search (also on the map), job and company
// details and a company's jobs and places. Each call returns its started loader. Main thread.
class ApiJob {
 public:
  static ApiLoader associate_keyword(std::string_view keyword, KeywordType keywordtype, ApiDelegate delegate);
  // Sends the path the query builds (buildJobSearchURL stores its trimmed values back into it).
  static ApiLoader search_job_list(JobSearchParam& param, ApiDelegate delegate);
  // The same for the map search's query.
  static ApiLoader map_search(JobSearchParam& param, ApiDelegate delegate);
  static ApiLoader get_job_info(std::string_view jobid, ApiDelegate delegate);
  static ApiLoader get_co_info(std::string_view coid, ApiDelegate delegate);
  static ApiLoader get_co_alljob(std::string_view jobarea, std::string_view coid, std::int32_t pageno,
                                 std::int32_t pagesize, ApiDelegate delegate);
  // A POST of the map type and coordinates when both are given, else a plain GET.
  static ApiLoader get_co_lonlat(std::string_view coid, std::string_view maptype, std::string_view lonlatdata,
                                 ApiDelegate delegate);
  static ApiLoader get_co_jobarea(std::string_view coid, ApiDelegate delegate);
};

}  // namespace kavro
