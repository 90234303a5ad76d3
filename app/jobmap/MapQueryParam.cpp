#include "app/jobmap/MapQueryParam.h"

#include <cstdio>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/core/StringMisc.h"
#include "kit/core/UserCoreInfo.h"

namespace kavro {

namespace {

std::string printed(const char* format, double a) {
  char text[64];
  std::snprintf(text, sizeof text, format, a);
  return text;
}
}  // namespace

std::string MapQueryParam::buildJobSearchURL() {
  std::string url = "job/map_search.php?";
  bool first = true;
  auto append = [&](std::string_view part) {
    if (!first) url.append("&");
    url.append(part);
    first = false;
  };
  // A code is sent trimmed, and kept so, and only when something is left of it.
  auto add = [&](std::string_view name, std::string value, void (JobSearchParam::*setter)(std::string_view)) {
    value = str::trim(value);
    (this->*setter)(value);
    if (value.empty()) return;
    append(std::string(name) + "=" + str::urlEncoding(value));
  };

  if (UserCoreInfo::hasLogined())
    append("accountid=" + str::urlEncoding(UserCoreInfo::getAccountID()) +
           "&key=" + str::urlEncoding(UserCoreInfo::getMd5hash()));
  if (lonlat_.longitude != 0 && lonlat_.latitude != 0)
    append(printed("lonlat=%f", lonlat_.longitude) + printed(",%f", lonlat_.latitude));
  if (radius_ != 0) {
    // The kilometres the user sees: the quotient in float, as the map measured it, then scaled.
    float km = radius_ / 1000.0f;
    append(printed("radius=%f", static_cast<double>(km) * ShownRadiusFactor));
  }
  if (appMapType_ != UserCoreInfo::MapTypeNoMap)
    append(appMapType_ == UserCoreInfo::MapTypeGeoMap ? "maptype=geomap" : "maptype=iosmap");
  add("indtype", indtype(), &JobSearchParam::setIndtype);
  add("funtype", functype(), &JobSearchParam::setFunctype);
  add("cotype", cotype(), &JobSearchParam::setCotype);
  if (enableFilters()) {
    add("workyear", workyear(), &JobSearchParam::setWorkyear);
    add("issuedate", issuedate(), &JobSearchParam::setIssuedate);
    add("degree", degree(), &JobSearchParam::setDegree);
    add("saltype", salary(), &JobSearchParam::setSalary);
    // The filter screen offers the company size, so the search honours it.
    add("cosize", cosize(), &JobSearchParam::setCosize);
    add("jobterm", term(), &JobSearchParam::setTerm);
  }
  append("pagesize=" + std::to_string(pageSize()) + "&pageno=" + std::to_string(pageAt()));
  return url;
}

bool MapQueryParam::takeDictPick(JobSearchParam& q, DictType dictType, std::string_view code,
                                 std::string_view value) {
  switch (dictType) {
    case DictType::JobFunction:
      q.setFunctype(code), q.setText_functype(value);
      return true;
    case DictType::Industry:
      q.setIndtype(code), q.setText_indtype(value);
      return true;
    case DictType::PublicationDate:
      q.setIssuedate(code), q.setText_issuedate(value);
      return true;
    case DictType::SalaryRange:
      q.setSalary(code), q.setText_salary(value);
      return true;
    case DictType::Education:
      q.setDegree(code), q.setText_degree(value);
      return true;
    case DictType::JobTerm:
      q.setTerm(code), q.setText_term(value);
      return true;
    case DictType::WorkExperience:
      q.setWorkyear(code), q.setText_workyear(value);
      return true;
    case DictType::CompanyType:
      q.setCotype(code), q.setText_cotype(value);
      return true;
    case DictType::CompanySize:
      q.setCosize(code), q.setText_cosize(value);
      return true;
    default:
      return false;
  }
}

std::string MapQueryParam::searchTitleForMap() {
  std::string title;
  searchCommonTitle(title);
  if (title.empty()) return AppCoreInfo::getLocalizedString("jobmap_hasnot_filtered");
  return title;
}

std::string MapQueryParam::getFormCacheType() const { return std::string(STORE_CACHE_JOBMAPSEARCH_FORM); }

}  // namespace kavro
