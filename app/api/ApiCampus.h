#pragma once
#include <cstdint>
#include <string_view>

#include "app/api/ApiFrame.h"

namespace kavro {

// The campus area "campus/": cities, recruiting talks ("project", id "expkid"), processes
// ("workflow"), company groups, majors and famous-company search. Main thread.
// The kind of a company group, as the campus calls name it.
enum class CampusGroupType : std::int32_t { CampusTalk = 1, Job = 2 };

class ApiCampus {
 public:
  static ApiLoader get_city_list(ApiDelegate delegate);
  static ApiLoader get_recent_project(std::string_view area, ApiDelegate delegate);
  static ApiLoader get_project_list(std::string_view area, std::string_view industry,
                                    std::string_view daterange, std::string_view school,
                                    std::string_view keyword, std::int32_t pagesize, std::int32_t pageno,
                                    ApiDelegate delegate);
  static ApiLoader get_project_info(std::string_view expkid, ApiDelegate delegate);
  static ApiLoader get_workflow_list(std::string_view area, std::string_view industry,
                                     std::string_view status, std::int32_t pagesize, std::int32_t pageno,
                                     ApiDelegate delegate);
  static ApiLoader get_my_project(ApiDelegate delegate);
  static ApiLoader get_my_workflow(ApiDelegate delegate);
  static ApiLoader get_update_count(ApiDelegate delegate);
  static ApiLoader attention_project(std::string_view expkids, bool status, ApiDelegate delegate);
  static ApiLoader attention_workflow(std::string_view expkids, bool status, ApiDelegate delegate);
  static ApiLoader get_group_info(std::string_view groupid, CampusGroupType grouptype, ApiDelegate delegate);
  static ApiLoader get_group_alljob(std::string_view groupid, std::string_view jobarea,
                                    CampusGroupType grouptype, std::int32_t pagesize, std::int32_t pageno,
                                    ApiDelegate delegate);
  static ApiLoader get_group_jobarea(std::string_view groupid, CampusGroupType grouptype,
                                     ApiDelegate delegate);
  static ApiLoader get_recommend_colist(std::string_view jobarea, ApiDelegate delegate);
  static ApiLoader get_funtype_top10(std::string_view major, ApiDelegate delegate);
  static ApiLoader major_search(std::string_view major, std::string_view jobarea, std::string_view funtype,
                                std::string_view lonlat, std::int32_t pageno, std::int32_t pagesize,
                                ApiDelegate delegate);
  static ApiLoader famousco_search(std::string_view famousco_indtype, std::string_view jobarea,
                                   std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate);
};

}  // namespace kavro
