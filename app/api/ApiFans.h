#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/api/ApiFrame.h"

namespace kavro {

// The community area "fans/": company, team and user pages, topics and replies, following,
// collections, micro-interviews, recommendations, posting and the new-message count. Every call
// carries the login pair. "his_accountid" names the other user whose page is shown. Main thread.
class ApiFans {
 public:
  static ApiLoader get_attention_team_list(std::string_view his_accountid, bool return_all,
                                           std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate);
  static ApiLoader get_attention_company_list(std::string_view his_accountid, bool return_all,
                                              std::int32_t pageno, std::int32_t pagesize,
                                              ApiDelegate delegate);
  static ApiLoader get_my_group_list(bool return_all, std::int32_t pageno, std::int32_t pagesize,
                                     ApiDelegate delegate);
  // An empty id is sent as "0" by the next three.
  static ApiLoader get_co_topics(std::string_view coid, std::int32_t pageno, std::int32_t pagesize,
                                 ApiDelegate delegate);
  static ApiLoader get_team_topics(std::string_view teamid, std::int32_t pageno, std::int32_t pagesize,
                                   ApiDelegate delegate);
  static ApiLoader get_my_group_topics(std::string_view groupid, std::int32_t pageno, std::int32_t pagesize,
                                       ApiDelegate delegate);
  static ApiLoader get_atme_topics(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate);
  static ApiLoader get_atme_replies(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate);
  static ApiLoader get_my_sendout_replies(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate);
  static ApiLoader get_my_received_replies(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate);
  // The full URL of the topic page.
  static std::optional<platform::URL> get_topic_info(std::string_view noticeid);
  static ApiLoader get_reply_list(std::string_view noticeid, std::int32_t pageno, std::int32_t pagesize,
                                  ApiDelegate delegate);
  static ApiLoader get_atfans_list(ApiDelegate delegate);
  static ApiLoader set_user_attention(bool follow, std::string_view user_accountid, ApiDelegate delegate);
  static ApiLoader get_fans_list(std::string_view his_accountid, std::int32_t pageNum, std::int32_t pageSize,
                                 ApiDelegate delegate);
  static ApiLoader get_attention_list(std::string_view his_accountid, std::int32_t pageNum,
                                      std::int32_t pageSize, ApiDelegate delegate);
  static ApiLoader get_user_topics(std::string_view his_accountid, std::int32_t pageno, std::int32_t pagesize,
                                   ApiDelegate delegate);
  static ApiLoader get_user_info(std::string_view his_accountid, ApiDelegate delegate);
  static ApiLoader get_collection_list(std::int32_t pageno, std::int32_t pageSize, ApiDelegate delegate);
  static ApiLoader set_collection(std::string_view noticeid, std::int32_t status, ApiDelegate delegate);
  static ApiLoader get_team_info(std::string_view teamid, ApiDelegate delegate);
  static ApiLoader set_team_attention(bool follow, std::string_view teamid, ApiDelegate delegate);
  static ApiLoader set_company_attention(bool follow, std::string_view coid, ApiDelegate delegate);
  static ApiLoader get_team_user_list(std::string_view teamid, std::int32_t pageNum, std::int32_t pageSize,
                                      ApiDelegate delegate);
  static ApiLoader get_company_info(std::string_view coid, ApiDelegate delegate);
  static ApiLoader get_comp_fans(std::string_view coid, std::int32_t pageno, std::int32_t pagesize,
                                 ApiDelegate delegate);
  static ApiLoader get_co_keyword(std::string_view keywords, ApiDelegate delegate);
  static ApiLoader get_co_search(std::string_view keywords, std::int32_t pageno, std::int32_t pagesize,
                                 ApiDelegate delegate);
  static ApiLoader get_recommend_company(ApiDelegate delegate);
  static ApiLoader get_recommend_user(ApiDelegate delegate);
  static ApiLoader get_recommend_team(ApiDelegate delegate);
  static ApiLoader get_hot_topics(ApiDelegate delegate);
  // Sends the main screen's width as "screen-height" and its height as "screen-width", in points,
  // as the server reads them.
  static ApiLoader get_interviews_ad_info(ApiDelegate delegate);
  static ApiLoader get_interviews_list(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate);
  static ApiLoader get_interviews_info(std::string_view interviewsid, ApiDelegate delegate);
  static ApiLoader get_interviews_guest_list(std::string_view interviewsid, ApiDelegate delegate);
  static ApiLoader get_interviews_host_list(std::string_view interviewsid, ApiDelegate delegate);
  static ApiLoader get_interviews_answer_list(std::string_view interviewsid, std::int32_t pageno,
                                              std::int32_t pagesize, ApiDelegate delegate);
  static ApiLoader get_interviews_question_list(std::string_view interviewsid, std::int32_t pageno,
                                                std::int32_t pagesize, ApiDelegate delegate);
  // The image is optional: without one "imgdata" is sent empty.
  static ApiLoader add_topic(std::int32_t type, std::string_view objid, std::string_view content,
                             const std::optional<platform::Data>& imgdata, ApiDelegate delegate);
  static ApiLoader add_transmit(std::int32_t type, std::string_view objid, std::string_view content,
                                std::string_view noticeid, bool reply_author, ApiDelegate delegate);
  static ApiLoader add_reply(std::string_view content, std::string_view noticeid, std::string_view replyid,
                             bool transmit_me, ApiDelegate delegate);
  static ApiLoader del_weibo(std::string_view noticeid, ApiDelegate delegate);
  static ApiLoader del_reply(std::string_view replyid, std::string_view noticeid, ApiDelegate delegate);
  static ApiLoader add_nice(std::string_view noticeid, ApiDelegate delegate);
  // A POST of the photo when there is one, else a plain GET of the settings.
  static ApiLoader set_fans_info(std::int32_t openstatus, std::string_view username, std::int32_t showco,
                                 const std::optional<platform::Data>& photo, ApiDelegate delegate);
  static ApiLoader get_new_message_count(ApiDelegate delegate);
  static ApiLoader get_resume_trend(std::int32_t pageno, std::int32_t pagesize, ApiDelegate delegate);
};

}  // namespace kavro
