#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/api/ApiFrame.h"
#include "kit/core/DataItemDetail.h"

namespace kavro {

// The resume area "resume/": the sections of one resume (base information, work, education and
// training experience, languages, job expectation), its photo, name and open status, copying,
// deleting, creating and importing resumes, and the preview page. The resume id is the resume's
// "userid"; a record argument is the form's fields and goes as the body. Main thread.
class ApiResume {
 public:
  // The full URL of the photo.
  static std::optional<platform::URL> get_photo(std::string_view userid);
  // Without photo bytes nothing is sent: the loader reports a local error.
  static ApiLoader set_photo(const std::optional<platform::Data>& photo, std::string_view userid,
                             ApiDelegate delegate);
  static ApiLoader del_photo(std::string_view userid, ApiDelegate delegate);
  static ApiLoader get_base_info(std::string_view userid, ApiDelegate delegate);
  static ApiLoader set_base_info(const DataItemDetail& record, std::string_view userid, ApiDelegate delegate);
  static ApiLoader get_workexp_list(std::string_view userid, ApiDelegate delegate);
  static ApiLoader get_workexp_info(std::string_view userid, std::string_view workid, ApiDelegate delegate);
  static ApiLoader set_workexp_info(const DataItemDetail& record, std::string_view userid,
                                    std::string_view workid, ApiDelegate delegate);
  static ApiLoader del_workexp_info(std::string_view userid, std::string_view workid, ApiDelegate delegate);
  static ApiLoader get_eduexp_list(std::string_view userid, ApiDelegate delegate);
  static ApiLoader get_eduexp_info(std::string_view userid, std::string_view eduid, ApiDelegate delegate);
  static ApiLoader set_eduexp_info(const DataItemDetail& record, std::string_view userid,
                                   std::string_view eduid, ApiDelegate delegate);
  static ApiLoader del_eduexp_info(std::string_view userid, std::string_view eduid, ApiDelegate delegate);
  static ApiLoader get_trainexp_list(std::string_view userid, ApiDelegate delegate);
  static ApiLoader get_trainexp_info(std::string_view userid, std::string_view trainid, ApiDelegate delegate);
  static ApiLoader set_trainexp_info(const DataItemDetail& record, std::string_view userid,
                                     std::string_view trainid, ApiDelegate delegate);
  static ApiLoader del_trainexp_info(std::string_view userid, std::string_view trainid, ApiDelegate delegate);
  static ApiLoader get_language_list(std::string_view userid, ApiDelegate delegate);
  static ApiLoader get_language_info(std::string_view userid, std::string_view index, ApiDelegate delegate);
  static ApiLoader set_language_info(const DataItemDetail& record, std::string_view userid,
                                     ApiDelegate delegate);
  static ApiLoader get_language_level(std::string_view userid, ApiDelegate delegate);
  static ApiLoader set_language_level(const DataItemDetail& record, std::string_view userid,
                                      ApiDelegate delegate);
  static ApiLoader get_expect_info(std::string_view userid, ApiDelegate delegate);
  static ApiLoader set_expect_info(const DataItemDetail& record, std::string_view userid,
                                   ApiDelegate delegate);
  // The full URL of the preview page.
  static std::optional<platform::URL> preview_resume(std::string_view userid);
  // The record's fields go into the query.
  static ApiLoader copy_resume(const DataItemDetail& record, ApiDelegate delegate);
  static ApiLoader del_resume(std::string_view userid, ApiDelegate delegate);
  static ApiLoader set_resume_openstatus(std::string_view userid, std::int32_t openstatus,
                                         ApiDelegate delegate);
  static ApiLoader set_resume_name(std::string_view userid, std::string_view resumename,
                                   ApiDelegate delegate);
  // Without the resume file's bytes nothing is sent: the loader reports a local error.
  static ApiLoader import_resume(const std::optional<platform::Data>& resumedata, ApiDelegate delegate);
  static ApiLoader is_createresume(ApiDelegate delegate);
  static ApiLoader create_resume(ApiDelegate delegate);
};

}  // namespace kavro
