#include "app/api/ApiUser.h"

#include "platform/foundation/Format.h"

namespace kavro {

using platform::format;
using V = ApiFrame;

ApiLoader ApiUser::login(std::string_view username, std::string_view pwd, ApiDelegate delegate) {
  return V::post("user/login.php", format("username=%@&pwd=%@", V::value(username), V::value(pwd)), delegate);
}

ApiLoader ApiUser::register_(std::string_view email, std::string_view username, std::string_view pwd,
                             std::string_view mobilephone, std::string_view mobileArea,
                             ApiDelegate delegate) {
  std::string body =
      mobilephone.empty()
          ? format("email=%@&username=%@&pwd=%@&mobilephone=%@", V::value(email), V::value(username),
                   V::value(pwd), V::value(mobilephone))
          : format("email=%@&username=%@&pwd=%@&mobilenation=%@&mobilephone=%@", V::value(email),
                   V::value(username), V::value(pwd), V::value(mobileArea), V::value(mobilephone));
  return V::post("user/register.php", body, delegate);
}

ApiLoader ApiUser::logout() {
  return V::get(format("user/logout.php?accountid=%@&key=%@", V::accountID(), V::key()), {});
}

ApiLoader ApiUser::get_stat_count(ApiDelegate delegate) {
  return V::get(format("user/get_stat_count.php?accountid=%@&key=%@", V::accountID(), V::key()), delegate);
}

namespace {
// "&userid=<id>" after the rest of the query, only for a resume id.
std::string optionalResume(std::string_view resumeID) {
  return resumeID.empty() ? std::string() : "&userid=" + ApiFrame::value(resumeID);
}
}  // namespace

ApiLoader ApiUser::apply_job(std::string_view jobids, std::string_view resumeID, ApiDelegate delegate) {
  return V::get(
      format("user/apply_job.php?jobids=%@&accountid=%@&key=%@", V::value(jobids), V::accountID(), V::key()) +
          optionalResume(resumeID),
      delegate);
}

ApiLoader ApiUser::add_favorite(std::string_view jobids, ApiDelegate delegate) {
  return V::get(format("user/add_favorite.php?jobids=%@&accountid=%@&key=%@", V::value(jobids),
                       V::accountID(), V::key()),
                delegate);
}

ApiLoader ApiUser::get_resume_match(std::string_view jobid, std::string_view resumeID, ApiDelegate delegate) {
  return V::get(format("user/get_resume_match.php?jobid=%@&accountid=%@&key=%@", V::value(jobid),
                       V::accountID(), V::key()) +
                    optionalResume(resumeID),
                delegate);
}

ApiLoader ApiUser::get_cvlog(std::int32_t pageno, ApiDelegate delegate) {
  return V::get(format("user/get_cvlog.php?accountid=%@&key=%@&pageno=%d", V::accountID(), V::key(), pageno),
                delegate);
}

ApiLoader ApiUser::get_favorite(std::int32_t pageno, ApiDelegate delegate) {
  return V::get(
      format("user/get_favorite.php?accountid=%@&key=%@&pageno=%d", V::accountID(), V::key(), pageno),
      delegate);
}

ApiLoader ApiUser::del_favorite(std::string_view jobids, ApiDelegate delegate) {
  return V::get(format("user/del_favorite.php?accountid=%@&key=%@&jobids=%@", V::accountID(), V::key(),
                       V::value(jobids)),
                delegate);
}

ApiLoader ApiUser::get_resumeview_new(ApiDelegate delegate) {
  return V::get(format("user/get_resumeview_new.php?accountid=%@&key=%@", V::accountID(), V::key()),
                delegate);
}

ApiLoader ApiUser::get_resumeview_all(std::int32_t pageno, ApiDelegate delegate) {
  return V::get(
      format("user/get_resumeview_all.php?accountid=%@&key=%@&pageno=%d", V::accountID(), V::key(), pageno),
      delegate);
}

ApiLoader ApiUser::get_resume_list(ApiDelegate delegate) {
  return V::get(format("user/get_resume_list.php?accountid=%@&key=%@", V::accountID(), V::key()), delegate);
}

ApiLoader ApiUser::get_resume_info(std::string_view resumeID, ApiDelegate delegate) {
  return V::get(format("user/get_resume_info.php?accountid=%@&key=%@&userid=%@", V::accountID(), V::key(),
                       V::value(resumeID)),
                delegate);
}

ApiLoader ApiUser::set_qpost_setting(std::string_view resumeID, bool is_default, ApiDelegate delegate) {
  return V::get(format("user/set_qpost_setting.php?accountid=%@&key=%@&userid=%@&status=%@", V::accountID(),
                       V::key(), V::value(resumeID), V::flag(is_default)),
                delegate);
}

ApiLoader ApiUser::refresh_resume(ApiDelegate delegate) {
  return V::get(format("user/refresh_resume.php?accountid=%@&key=%@", V::accountID(), V::key()), delegate);
}

ApiLoader ApiUser::modify_password(std::string_view oldpwd, std::string_view newpwd, ApiDelegate delegate) {
  return V::post(format("user/modify_password.php?accountid=%@&key=%@", V::accountID(), V::key()),
                 format("oldpwd=%@&newpwd=%@", V::value(oldpwd), V::value(newpwd)), delegate);
}

ApiLoader ApiUser::modify_email(std::string_view verifycode, std::string_view verifyhash,
                                std::string_view email, ApiDelegate delegate) {
  return V::post(format("user/modify_user_email.php?accountid=%@&key=%@", V::accountID(), V::key()),
                 format("verify_code=%@&verify_hash=%@&email=%@", V::value(verifycode), V::value(verifyhash),
                        V::value(email)),
                 delegate);
}

ApiLoader ApiUser::get_shieldco_info(ApiDelegate delegate) {
  return V::get(format("user/get_shieldco_info.php?accountid=%@&key=%@", V::accountID(), V::key()), delegate);
}

ApiLoader ApiUser::get_shieldco_list(std::string_view cokey, ApiDelegate delegate) {
  return V::get(format("user/get_shieldco_list.php?cokey=%@", V::value(cokey)), delegate);
}

ApiLoader ApiUser::set_shieldco(std::string_view cokey, ApiDelegate delegate) {
  return V::get(
      format("user/set_shieldco.php?accountid=%@&key=%@&cokey=%@", V::accountID(), V::key(), V::value(cokey)),
      delegate);
}

ApiLoader ApiUser::del_shieldco(std::string_view shieldid, ApiDelegate delegate) {
  return V::get(format("user/del_shieldco.php?accountid=%@&key=%@&shieldid=%@", V::accountID(), V::key(),
                       V::value(shieldid)),
                delegate);
}

ApiLoader ApiUser::get_hrmessege(std::int32_t pageno, ApiDelegate delegate) {
  return V::get(
      format("user/get_hrmessage.php?accountid=%@&key=%@&pageno=%d", V::accountID(), V::key(), pageno),
      delegate);
}

ApiLoader ApiUser::find_password(std::string_view username, std::string_view email,
                                 std::string_view mobilephone, ApiDelegate delegate) {
  return V::get(format("user/find_password.php?accountid=%@&username=%@&email=%@&mobilephone=%@",
                       V::accountID(), V::value(username), V::value(email), V::value(mobilephone)),
                delegate);
}

ApiLoader ApiUser::reset_password(std::string_view verifycode, std::string_view newpwd,
                                  ApiDelegate delegate) {
  return V::post(
      format("user/reset_password.php?accountid=%@&verifycode=%@", V::accountID(), V::value(verifycode)),
      format("newpwd=%@", V::value(newpwd)), delegate);
}

}  // namespace kavro
