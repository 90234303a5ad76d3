#include "app/api/ApiFans.h"

#include "platform/foundation/Format.h"

namespace kavro {

using platform::format;
using V = ApiFrame;

namespace {

// "fans/<script>.php?accountid=..&key=.." and what follows.
std::string fans(std::string_view script, std::string_view more = "") {
  return format("fans/%@.php?accountid=%@&key=%@", script, V::accountID(), V::key()) + std::string(more);
}

std::string page(std::int32_t pageno, std::int32_t pagesize) {
  return format("&pageno=%d&pagesize=%d", pageno, pagesize);
}

}  // namespace

ApiLoader ApiFans::get_attention_team_list(std::string_view his_accountid, bool return_all,
                                           std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate) {
  return V::get(format("fans/get_attention_team_list.php?accountid=%@&his_accountid=%@&key=%@&show_all=%@",
                       V::accountID(), V::value(his_accountid), V::key(), V::flag(return_all)) +
                    page(pageno, pagesize),
                delegate);
}

ApiLoader ApiFans::get_attention_company_list(std::string_view his_accountid, bool return_all,
                                              std::int32_t pageno, std::int32_t pagesize,
                                              ApiDelegate delegate) {
  return V::get(fans("get_attention_company_list",
                     format("&his_accountid=%@&show_all=%@", V::value(his_accountid), V::flag(return_all))) +
                    page(pageno, pagesize),
                delegate);
}

ApiLoader ApiFans::get_my_group_list(bool return_all, std::int32_t pageno, std::int32_t pagesize,
                                     ApiDelegate delegate) {
  return V::get(
      fans("get_my_group_list", format("&show_all=%@", V::flag(return_all))) + page(pageno, pagesize),
      delegate);
}

ApiLoader ApiFans::get_co_topics(std::string_view coid, std::int32_t pageno, std::int32_t pagesize,
                                 ApiDelegate delegate) {
  return V::get(fans("get_co_topics", "&coid=" + V::valueOrZero(coid)) + page(pageno, pagesize), delegate);
}

ApiLoader ApiFans::get_team_topics(std::string_view teamid, std::int32_t pageno, std::int32_t pagesize,
                                   ApiDelegate delegate) {
  return V::get(fans("get_team_topics", "&teamid=" + V::valueOrZero(teamid)) + page(pageno, pagesize),
                delegate);
}

ApiLoader ApiFans::get_my_group_topics(std::string_view groupid, std::int32_t pageno, std::int32_t pagesize,
                                       ApiDelegate delegate) {
  return V::get(fans("get_my_group_topics", "&groupid=" + V::valueOrZero(groupid)) + page(pageno, pagesize),
                delegate);
}

ApiLoader ApiFans::get_atme_topics(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate) {
  return V::get(fans("get_atme_topics", page(pageno, pagesize)), delegate);
}

ApiLoader ApiFans::get_atme_replies(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate) {
  return V::get(fans("get_atme_replies", page(pageno, pagesize)), delegate);
}

ApiLoader ApiFans::get_my_sendout_replies(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate) {
  return V::get(fans("get_my_sendout_replies", page(pageno, pagesize)), delegate);
}

ApiLoader ApiFans::get_my_received_replies(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate) {
  return V::get(fans("get_my_received_replies", page(pageno, pagesize)), delegate);
}

std::optional<platform::URL> ApiFans::get_topic_info(std::string_view noticeid) {
  return V::url(fans("get_topic_info", "&noticeid=" + V::value(noticeid)));
}

ApiLoader ApiFans::get_reply_list(std::string_view noticeid, std::int32_t pageno, std::int32_t pagesize,
                                  ApiDelegate delegate) {
  return V::get(fans("get_reply_list", "&noticeid=" + V::value(noticeid)) + page(pageno, pagesize), delegate);
}

ApiLoader ApiFans::get_atfans_list(ApiDelegate delegate) { return V::get(fans("get_atfans_list"), delegate); }

ApiLoader ApiFans::set_user_attention(bool follow, std::string_view user_accountid, ApiDelegate delegate) {
  return V::get(fans("set_user_attention",
                     format("&his_accountid=%@&status=%@", V::value(user_accountid), V::flag(follow))),
                delegate);
}

ApiLoader ApiFans::get_fans_list(std::string_view his_accountid, std::int32_t pageNum, std::int32_t pageSize,
                                 ApiDelegate delegate) {
  return V::get(fans("get_fans_list", "&his_accountid=" + V::value(his_accountid)) + page(pageNum, pageSize),
                delegate);
}

ApiLoader ApiFans::get_attention_list(std::string_view his_accountid, std::int32_t pageNum,
                                      std::int32_t pageSize, ApiDelegate delegate) {
  return V::get(
      fans("get_attention_list", "&his_accountid=" + V::value(his_accountid)) + page(pageNum, pageSize),
      delegate);
}

ApiLoader ApiFans::get_user_topics(std::string_view his_accountid, std::int32_t pageno, std::int32_t pagesize,
                                   ApiDelegate delegate) {
  return V::get(fans("get_user_topics", "&his_accountid=" + V::value(his_accountid)) + page(pageno, pagesize),
                delegate);
}

ApiLoader ApiFans::get_user_info(std::string_view his_accountid, ApiDelegate delegate) {
  return V::get(fans("get_user_info", "&his_accountid=" + V::value(his_accountid)), delegate);
}

ApiLoader ApiFans::get_collection_list(std::int32_t pageno, std::int32_t pageSize, ApiDelegate delegate) {
  return V::get(fans("get_collection_list", page(pageno, pageSize)), delegate);
}

ApiLoader ApiFans::set_collection(std::string_view noticeid, std::int32_t status, ApiDelegate delegate) {
  return V::get(fans("set_collection", format("&noticeid=%@&status=%d", V::value(noticeid), status)),
                delegate);
}

ApiLoader ApiFans::get_team_info(std::string_view teamid, ApiDelegate delegate) {
  return V::get(fans("get_team_info", "&teamid=" + V::value(teamid)), delegate);
}

ApiLoader ApiFans::set_team_attention(bool follow, std::string_view teamid, ApiDelegate delegate) {
  return V::get(fans("set_team_attention", format("&teamid=%@&status=%@", V::value(teamid), V::flag(follow))),
                delegate);
}

ApiLoader ApiFans::set_company_attention(bool follow, std::string_view coid, ApiDelegate delegate) {
  return V::get(fans("set_company_attention", format("&coid=%@&status=%@", V::value(coid), V::flag(follow))),
                delegate);
}

ApiLoader ApiFans::get_team_user_list(std::string_view teamid, std::int32_t pageNum, std::int32_t pageSize,
                                      ApiDelegate delegate) {
  return V::get(fans("get_team_user_list", "&teamid=" + V::value(teamid)) + page(pageNum, pageSize),
                delegate);
}

ApiLoader ApiFans::get_company_info(std::string_view coid, ApiDelegate delegate) {
  return V::get(fans("get_company_info", "&coid=" + V::value(coid)), delegate);
}

ApiLoader ApiFans::get_comp_fans(std::string_view coid, std::int32_t pageno, std::int32_t pagesize,
                                 ApiDelegate delegate) {
  return V::get(fans("get_comp_fans", "&coid=" + V::value(coid)) + page(pageno, pagesize), delegate);
}

ApiLoader ApiFans::get_co_keyword(std::string_view keywords, ApiDelegate delegate) {
  return V::get(fans("get_co_keyword", "&keywords=" + V::value(keywords)), delegate);
}

ApiLoader ApiFans::get_co_search(std::string_view keywords, std::int32_t pageno, std::int32_t pagesize,
                                 ApiDelegate delegate) {
  return V::get(fans("get_co_search", "&keywords=" + V::value(keywords)) + page(pageno, pagesize), delegate);
}

ApiLoader ApiFans::get_recommend_company(ApiDelegate delegate) {
  return V::get(fans("get_recommend_company"), delegate);
}

ApiLoader ApiFans::get_recommend_user(ApiDelegate delegate) {
  return V::get(fans("get_recommend_user"), delegate);
}

ApiLoader ApiFans::get_recommend_team(ApiDelegate delegate) {
  return V::get(fans("get_recommend_team"), delegate);
}

ApiLoader ApiFans::get_hot_topics(ApiDelegate delegate) { return V::get(fans("get_hot_topics"), delegate); }

ApiLoader ApiFans::get_interviews_ad_info(ApiDelegate delegate) {
  auto screen = V::mainScreen();
  return V::get(fans("get_interviews_ad_info", format("&screen-height=%f&screen-width=%f&screen-scale=%f",
                                                      screen.width, screen.height, screen.scale)),
                delegate);
}

ApiLoader ApiFans::get_interviews_list(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate) {
  return V::get(fans("get_interviews_list", page(pageno, pagesize)), delegate);
}

ApiLoader ApiFans::get_interviews_info(std::string_view interviewsid, ApiDelegate delegate) {
  return V::get(fans("get_interviews_info", "&interviewsid=" + V::value(interviewsid)), delegate);
}

ApiLoader ApiFans::get_interviews_guest_list(std::string_view interviewsid, ApiDelegate delegate) {
  return V::get(fans("get_interviews_guest_list", "&interviewsid=" + V::value(interviewsid)), delegate);
}

ApiLoader ApiFans::get_interviews_host_list(std::string_view interviewsid, ApiDelegate delegate) {
  return V::get(fans("get_interviews_host_list", "&interviewsid=" + V::value(interviewsid)), delegate);
}

ApiLoader ApiFans::get_interviews_answer_list(std::string_view interviewsid, std::int32_t pageno,
                                              std::int32_t pagesize, ApiDelegate delegate) {
  return V::get(
      fans("get_interviews_answer_list", "&interviewsid=" + V::value(interviewsid)) + page(pageno, pagesize),
      delegate);
}

ApiLoader ApiFans::get_interviews_question_list(std::string_view interviewsid, std::int32_t pageno,
                                                std::int32_t pagesize, ApiDelegate delegate) {
  return V::get(fans("get_interviews_question_list", "&interviewsid=" + V::value(interviewsid)) +
                    page(pageno, pagesize),
                delegate);
}

ApiLoader ApiFans::add_topic(std::int32_t type, std::string_view objid, std::string_view content,
                             const std::optional<platform::Data>& imgdata, ApiDelegate delegate) {
  return V::post(fans("add_topic"),
                 format("type=%d&objid=%@&content=%@&imgtype=JPEG&imgdata=%@", type, V::value(objid),
                        V::value(content), V::upload(imgdata)),
                 delegate);
}

ApiLoader ApiFans::add_transmit(std::int32_t type, std::string_view objid, std::string_view content,
                                std::string_view noticeid, bool reply_author, ApiDelegate delegate) {
  return V::post(fans("add_transmit"),
                 format("objid=%@&noticeid=%@&type=%d&reply_author=%@&content=%@", V::value(objid),
                        V::value(noticeid), type, V::flag(reply_author), V::value(content)),
                 delegate);
}

ApiLoader ApiFans::add_reply(std::string_view content, std::string_view noticeid, std::string_view replyid,
                             bool transmit_me, ApiDelegate delegate) {
  return V::post(fans("add_reply", format("&noticeid=%@&replyid=%@&reply_author=0&transmit_me=%@",
                                          V::value(noticeid), V::value(replyid), V::flag(transmit_me))),
                 "content=" + V::value(content), delegate);
}

ApiLoader ApiFans::del_weibo(std::string_view noticeid, ApiDelegate delegate) {
  return V::get(fans("del_weibo", "&noticeid=" + V::value(noticeid)), delegate);
}

ApiLoader ApiFans::del_reply(std::string_view replyid, std::string_view noticeid, ApiDelegate delegate) {
  return V::get(fans("del_reply", format("&noticeid=%@&replyid=%@", V::value(noticeid), V::value(replyid))),
                delegate);
}

ApiLoader ApiFans::add_nice(std::string_view noticeid, ApiDelegate delegate) {
  return V::get(fans("add_nice", "&noticeid=" + V::value(noticeid)), delegate);
}

ApiLoader ApiFans::set_fans_info(std::int32_t openstatus, std::string_view username, std::int32_t showco,
                                 const std::optional<platform::Data>& photo, ApiDelegate delegate) {
  std::string path = fans("set_fans_info", format("&openstatus=%d&username=%@&showco=%d", openstatus,
                                                  V::value(username), showco));
  if (!V::hasData(photo)) return V::get(path, delegate);
  return V::post(path, "photo=" + V::upload(photo), delegate);
}

ApiLoader ApiFans::get_new_message_count(ApiDelegate delegate) {
  return V::get(fans("get_new_message_count"), delegate);
}

ApiLoader ApiFans::get_resume_trend(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate) {
  return V::get(fans("get_resume_trend", page(pageno, pagesize)), delegate);
}

}  // namespace kavro
