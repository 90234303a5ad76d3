#include "app/api/ApiCampus.h"

#include "platform/foundation/Format.h"

namespace kavro {

using platform::format;
using V = ApiFrame;

ApiLoader ApiCampus::get_city_list(ApiDelegate delegate) {
  return V::get("campus/get_city_list.php", delegate);
}

ApiLoader ApiCampus::get_recent_project(std::string_view area, ApiDelegate delegate) {
  return V::get(format("campus/get_recent_project.php?area=%@", V::value(area)), delegate);
}

ApiLoader ApiCampus::get_project_list(std::string_view area, std::string_view industry,
                                      std::string_view daterange, std::string_view school,
                                      std::string_view keyword, std::int32_t pagesize, std::int32_t pageno,
                                      ApiDelegate delegate) {
  return V::get(format("campus/get_project_list.php?area=%@&industry=%@&daterange=%@&school=%@&keyword=%@"
                       "&pagesize=%d&pageno=%d",
                       V::value(area), V::value(industry), V::value(daterange), V::value(school),
                       V::value(keyword), pagesize, pageno),
                delegate);
}

ApiLoader ApiCampus::get_project_info(std::string_view expkid, ApiDelegate delegate) {
  return V::get(format("campus/get_project_info.php?expkid=%@", V::value(expkid)), delegate);
}

ApiLoader ApiCampus::get_workflow_list(std::string_view area, std::string_view industry,
                                       std::string_view status, std::int32_t pagesize, std::int32_t pageno,
                                       ApiDelegate delegate) {
  return V::get(format("campus/get_workflow_list.php?area=%@&industry=%@&status=%@&pagesize=%d&pageno=%d",
                       V::value(area), V::value(industry), V::value(status), pagesize, pageno),
                delegate);
}

ApiLoader ApiCampus::get_my_project(ApiDelegate delegate) {
  return V::get("campus/get_my_project.php", delegate);
}

ApiLoader ApiCampus::get_my_workflow(ApiDelegate delegate) {
  return V::get("campus/get_my_workflow.php", delegate);
}

ApiLoader ApiCampus::get_update_count(ApiDelegate delegate) {
  return V::get("campus/get_update_count.php", delegate);
}

ApiLoader ApiCampus::attention_project(std::string_view expkids, bool status, ApiDelegate delegate) {
  return V::get(format("campus/attention_project.php?expkids=%@&accountid=%@&status=%@", V::value(expkids),
                       V::accountID(), V::flag(status)),
                delegate);
}

ApiLoader ApiCampus::attention_workflow(std::string_view expkids, bool status, ApiDelegate delegate) {
  return V::get(format("campus/attention_workflow.php?expkids=%@&accountid=%@&status=%@", V::value(expkids),
                       V::accountID(), V::flag(status)),
                delegate);
}

ApiLoader ApiCampus::get_group_info(std::string_view groupid, CampusGroupType grouptype,
                                    ApiDelegate delegate) {
  return V::get(format("campus/get_group_info.php?groupid=%@&grouptype=%d", V::value(groupid),
                       static_cast<std::int32_t>(grouptype)),
                delegate);
}

ApiLoader ApiCampus::get_group_alljob(std::string_view groupid, std::string_view jobarea,
                                      CampusGroupType grouptype, std::int32_t pagesize, std::int32_t pageno,
                                      ApiDelegate delegate) {
  return V::get(
      format("campus/get_group_alljob.php?groupid=%@&jobarea=%@&grouptype=%d&pagesize=%d&pageno=%d",
             V::value(groupid), V::value(jobarea), static_cast<std::int32_t>(grouptype), pagesize, pageno),
      delegate);
}

ApiLoader ApiCampus::get_group_jobarea(std::string_view groupid, CampusGroupType grouptype,
                                       ApiDelegate delegate) {
  return V::get(format("campus/get_group_jobarea.php?groupid=%@&grouptype=%d", V::value(groupid),
                       static_cast<std::int32_t>(grouptype)),
                delegate);
}

ApiLoader ApiCampus::get_recommend_colist(std::string_view jobarea, ApiDelegate delegate) {
  return V::get(format("campus/get_recommend_colist.php?jobarea=%@", V::value(jobarea)), delegate);
}

ApiLoader ApiCampus::get_funtype_top10(std::string_view major, ApiDelegate delegate) {
  return V::get(format("campus/get_funtype_top10.php?major=%@", V::value(major)), delegate);
}

ApiLoader ApiCampus::major_search(std::string_view major, std::string_view jobarea, std::string_view funtype,
                                  std::string_view lonlat, std::int32_t pageno, std::int32_t pagesize,
                                  ApiDelegate delegate) {
  return V::get(
      format("campus/major_search.php?major=%@&jobarea=%@&funtype=%@&lonlat=%@&pageno=%d&pagesize=%d",
             V::value(major), V::value(jobarea), V::value(funtype), V::value(lonlat), pageno, pagesize),
      delegate);
}

ApiLoader ApiCampus::famousco_search(std::string_view famousco_indtype, std::string_view jobarea,
                                     std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate) {
  return V::get(format("campus/famousco_search.php?famousco_indtype=%@&jobarea=%@&pageno=%d&pagesize=%d",
                       V::value(famousco_indtype), V::value(jobarea), pageno, pagesize),
                delegate);
}

}  // namespace kavro
