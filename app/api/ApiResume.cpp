#include "app/api/ApiResume.h"

#include "kit/core/AppCoreInfo.h"
#include "platform/foundation/Format.h"

namespace kavro {

using platform::format;
using V = ApiFrame;

namespace {

// "resume/<script>.php?accountid=..&key=..&language=..&userid=.." and what follows.
std::string section(std::string_view script, std::string_view userid, std::string_view more = "") {
  return format("resume/%@.php?accountid=%@&key=%@&language=%@&userid=%@", script, V::accountID(), V::key(),
                V::language(), V::value(userid)) +
         std::string(more);
}

std::string entry(std::string_view name, std::string_view id) { return format("&%@=%@", name, V::value(id)); }

}  // namespace

std::optional<platform::URL> ApiResume::get_photo(std::string_view userid) {
  return V::url(format("resume/get_photo.php?accountid=%@&key=%@&userid=%@", V::accountID(), V::key(),
                       V::value(userid)));
}

ApiLoader ApiResume::set_photo(const std::optional<platform::Data>& photo, std::string_view userid,
                               ApiDelegate delegate) {
  if (!V::hasData(photo)) return V::fail(AppCoreInfo::getLocalizedString("api_error_no_photo"), delegate);
  return V::post(format("resume/set_photo.php?accountid=%@&key=%@&userid=%@&language=%@", V::accountID(),
                        V::key(), V::value(userid), V::language()),
                 "photo=" + V::upload(photo), delegate);
}

ApiLoader ApiResume::del_photo(std::string_view userid, ApiDelegate delegate) {
  return V::get(format("resume/del_photo.php?accountid=%@&key=%@&userid=%@&language=%@", V::accountID(),
                       V::key(), V::value(userid), V::language()),
                delegate);
}

ApiLoader ApiResume::get_base_info(std::string_view userid, ApiDelegate delegate) {
  return V::get(section("get_base_info", userid), delegate);
}

ApiLoader ApiResume::set_base_info(const DataItemDetail& record, std::string_view userid,
                                   ApiDelegate delegate) {
  return V::post(section("set_base_info", userid), record.getParamData(), delegate);
}

ApiLoader ApiResume::get_workexp_list(std::string_view userid, ApiDelegate delegate) {
  return V::get(section("get_workexp_list", userid), delegate);
}

ApiLoader ApiResume::get_workexp_info(std::string_view userid, std::string_view workid,
                                      ApiDelegate delegate) {
  return V::get(section("get_workexp_info", userid, entry("workid", workid)), delegate);
}

ApiLoader ApiResume::set_workexp_info(const DataItemDetail& record, std::string_view userid,
                                      std::string_view workid, ApiDelegate delegate) {
  return V::post(section("set_workexp_info", userid, entry("workid", workid)), record.getParamData(),
                 delegate);
}

ApiLoader ApiResume::del_workexp_info(std::string_view userid, std::string_view workid,
                                      ApiDelegate delegate) {
  return V::get(section("del_workexp_info", userid, entry("workid", workid)), delegate);
}

ApiLoader ApiResume::get_eduexp_list(std::string_view userid, ApiDelegate delegate) {
  return V::get(section("get_eduexp_list", userid), delegate);
}

ApiLoader ApiResume::get_eduexp_info(std::string_view userid, std::string_view eduid, ApiDelegate delegate) {
  return V::get(section("get_eduexp_info", userid, entry("eduid", eduid)), delegate);
}

ApiLoader ApiResume::set_eduexp_info(const DataItemDetail& record, std::string_view userid,
                                     std::string_view eduid, ApiDelegate delegate) {
  return V::post(section("set_eduexp_info", userid, entry("eduid", eduid)), record.getParamData(), delegate);
}

ApiLoader ApiResume::del_eduexp_info(std::string_view userid, std::string_view eduid, ApiDelegate delegate) {
  return V::get(section("del_eduexp_info", userid, entry("eduid", eduid)), delegate);
}

ApiLoader ApiResume::get_trainexp_list(std::string_view userid, ApiDelegate delegate) {
  return V::get(section("get_trainexp_list", userid), delegate);
}

ApiLoader ApiResume::get_trainexp_info(std::string_view userid, std::string_view trainid,
                                       ApiDelegate delegate) {
  return V::get(section("get_trainexp_info", userid, entry("trainid", trainid)), delegate);
}

ApiLoader ApiResume::set_trainexp_info(const DataItemDetail& record, std::string_view userid,
                                       std::string_view trainid, ApiDelegate delegate) {
  return V::post(section("set_trainexp_info", userid, entry("trainid", trainid)), record.getParamData(),
                 delegate);
}

ApiLoader ApiResume::del_trainexp_info(std::string_view userid, std::string_view trainid,
                                       ApiDelegate delegate) {
  return V::get(section("del_trainexp_info", userid, entry("trainid", trainid)), delegate);
}

ApiLoader ApiResume::get_language_list(std::string_view userid, ApiDelegate delegate) {
  return V::get(section("get_language_list", userid), delegate);
}

ApiLoader ApiResume::get_language_info(std::string_view userid, std::string_view index,
                                       ApiDelegate delegate) {
  return V::get(section("get_language_info", userid, entry("index", index)), delegate);
}

ApiLoader ApiResume::set_language_info(const DataItemDetail& record, std::string_view userid,
                                       ApiDelegate delegate) {
  return V::post(section("set_language_info", userid), record.getParamData(), delegate);
}

ApiLoader ApiResume::get_language_level(std::string_view userid, ApiDelegate delegate) {
  return V::get(section("get_language_level", userid), delegate);
}

ApiLoader ApiResume::set_language_level(const DataItemDetail& record, std::string_view userid,
                                        ApiDelegate delegate) {
  return V::post(section("set_language_level", userid), record.getParamData(), delegate);
}

ApiLoader ApiResume::get_expect_info(std::string_view userid, ApiDelegate delegate) {
  return V::get(section("get_expect_info", userid), delegate);
}

ApiLoader ApiResume::set_expect_info(const DataItemDetail& record, std::string_view userid,
                                     ApiDelegate delegate) {
  return V::post(section("set_expect_info", userid), record.getParamData(), delegate);
}

std::optional<platform::URL> ApiResume::preview_resume(std::string_view userid) {
  return V::url(section("preview_resume", userid));
}

ApiLoader ApiResume::copy_resume(const DataItemDetail& record, ApiDelegate delegate) {
  // The record's pairs are escaped by the record itself.
  return V::get(format("resume/copy_resume.php?accountid=%@&key=%@&%@", V::accountID(), V::key(),
                       record.getParamString()),
                delegate);
}

ApiLoader ApiResume::del_resume(std::string_view userid, ApiDelegate delegate) {
  return V::get(format("resume/del_resume.php?accountid=%@&key=%@&userid=%@", V::accountID(), V::key(),
                       V::value(userid)),
                delegate);
}

ApiLoader ApiResume::set_resume_openstatus(std::string_view userid, std::int32_t openstatus,
                                           ApiDelegate delegate) {
  return V::get(format("resume/set_resume_openstatus.php?accountid=%@&key=%@&userid=%@&resumestatus=%d",
                       V::accountID(), V::key(), V::value(userid), openstatus),
                delegate);
}

ApiLoader ApiResume::set_resume_name(std::string_view userid, std::string_view resumename,
                                     ApiDelegate delegate) {
  return V::get(format("resume/set_resume_name.php?accountid=%@&key=%@&userid=%@&resumename=%@&language=%@",
                       V::accountID(), V::key(), V::value(userid), V::value(resumename), V::language()),
                delegate);
}

ApiLoader ApiResume::import_resume(const std::optional<platform::Data>& resumedata, ApiDelegate delegate) {
  if (!V::hasData(resumedata))
    return V::fail(AppCoreInfo::getLocalizedString("api_error_no_resume_file"), delegate);
  return V::post(format("resume/import_resume.php?accountid=%@&key=%@", V::accountID(), V::key()),
                 "resumedata=" + V::upload(resumedata), delegate);
}

ApiLoader ApiResume::is_createresume(ApiDelegate delegate) {
  return V::get(format("resume/is_createresume.php?accountid=%@&key=%@", V::accountID(), V::key()), delegate);
}

ApiLoader ApiResume::create_resume(ApiDelegate delegate) {
  return V::get(format("resume/create_resume.php?accountid=%@&key=%@", V::accountID(), V::key()), delegate);
}

}  // namespace kavro
