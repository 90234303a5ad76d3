#pragma once
#include <cstdint>
#include <string_view>

#include "app/api/ApiFrame.h"

namespace kavro {

// The account area "user/": login, registration, applications, favorites, resumes list, shielded
// companies, recruiter messages and passwords. Each call returns its started loader. Main thread.
class ApiUser {
 public:
  static ApiLoader login(std::string_view username, std::string_view pwd, ApiDelegate delegate);
  // The mobile area goes with the mobile phone only.
  static ApiLoader register_(std::string_view email, std::string_view username, std::string_view pwd,
                             std::string_view mobilephone, std::string_view mobileArea, ApiDelegate delegate);
  // Tells nobody.
  static ApiLoader logout();
  static ApiLoader get_stat_count(ApiDelegate delegate);
  // An empty resume id sends no "userid".
  static ApiLoader apply_job(std::string_view jobids, std::string_view resumeID, ApiDelegate delegate);
  static ApiLoader add_favorite(std::string_view jobids, ApiDelegate delegate);
  static ApiLoader get_resume_match(std::string_view jobid, std::string_view resumeID, ApiDelegate delegate);
  static ApiLoader get_cvlog(std::int32_t pageno, ApiDelegate delegate);
  static ApiLoader get_favorite(std::int32_t pageno, ApiDelegate delegate);
  static ApiLoader del_favorite(std::string_view jobids, ApiDelegate delegate);
  static ApiLoader get_resumeview_new(ApiDelegate delegate);
  static ApiLoader get_resumeview_all(std::int32_t pageno, ApiDelegate delegate);
  static ApiLoader get_resume_list(ApiDelegate delegate);
  static ApiLoader get_resume_info(std::string_view resumeID, ApiDelegate delegate);
  static ApiLoader set_qpost_setting(std::string_view resumeID, bool is_default, ApiDelegate delegate);
  static ApiLoader refresh_resume(ApiDelegate delegate);
  static ApiLoader modify_password(std::string_view oldpwd, std::string_view newpwd, ApiDelegate delegate);
  static ApiLoader modify_email(std::string_view verifycode, std::string_view verifyhash,
                                std::string_view email, ApiDelegate delegate);
  static ApiLoader get_shieldco_info(ApiDelegate delegate);
  static ApiLoader get_shieldco_list(std::string_view cokey, ApiDelegate delegate);
  static ApiLoader set_shieldco(std::string_view cokey, ApiDelegate delegate);
  static ApiLoader del_shieldco(std::string_view shieldid, ApiDelegate delegate);
  // The script is "get_hrmessage".
  static ApiLoader get_hrmessege(std::int32_t pageno, ApiDelegate delegate);
  static ApiLoader find_password(std::string_view username, std::string_view email,
                                 std::string_view mobilephone, ApiDelegate delegate);
  static ApiLoader reset_password(std::string_view verifycode, std::string_view newpwd, ApiDelegate delegate);
};

}  // namespace kavro
