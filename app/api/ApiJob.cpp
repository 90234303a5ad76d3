#include "app/api/ApiJob.h"

#include "app/jobquery/JobSearchParam.h"
#include "platform/foundation/Format.h"

namespace kavro {

using platform::format;
using V = ApiFrame;

ApiLoader ApiJob::associate_keyword(std::string_view keyword, KeywordType keywordtype, ApiDelegate delegate) {
  return V::get(
      format("job/associate_keyword.php?keyword=%@&keywordtype=%d", V::value(keyword), ToInt(keywordtype)),
      delegate);
}

ApiLoader ApiJob::search_job_list(JobSearchParam& param, ApiDelegate delegate) {
  return V::get(param.buildJobSearchURL(), delegate);
}

ApiLoader ApiJob::map_search(JobSearchParam& param, ApiDelegate delegate) {
  return V::get(param.buildJobSearchURL(), delegate);
}

ApiLoader ApiJob::get_job_info(std::string_view jobid, ApiDelegate delegate) {
  return V::get(format("job/get_job_info.php?jobid=%@", V::value(jobid)), delegate);
}

ApiLoader ApiJob::get_co_info(std::string_view coid, ApiDelegate delegate) {
  return V::get(format("job/get_co_info.php?coid=%@", V::value(coid)), delegate);
}

ApiLoader ApiJob::get_co_alljob(std::string_view jobarea, std::string_view coid, std::int32_t pageno,
                                std::int32_t pagesize, ApiDelegate delegate) {
  return V::get(format("job/get_co_alljob.php?jobarea=%@&coid=%@&pageno=%d&pagesize=%d", V::value(jobarea),
                       V::value(coid), pageno, pagesize),
                delegate);
}

ApiLoader ApiJob::get_co_lonlat(std::string_view coid, std::string_view maptype, std::string_view lonlatdata,
                                ApiDelegate delegate) {
  std::string path = format("job/get_co_lonlat.php?coid=%@", V::value(coid));
  if (maptype.empty() || lonlatdata.empty()) return V::get(path, delegate);
  return V::post(path, format("maptype=%@&lonlatdata=%@", V::value(maptype), V::value(lonlatdata)), delegate);
}

ApiLoader ApiJob::get_co_jobarea(std::string_view coid, ApiDelegate delegate) {
  return V::get(format("job/get_co_jobarea.php?coid=%@", V::value(coid)), delegate);
}

}  // namespace kavro
