// Every request builder against the table in tests/fixtures/api_calls.txt: for given arguments and
// login state, the relative path, method and body it sends (or the URL it returns, or the local
// error it reports without sending anything).

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/api/ApiCampus.h"
#include "app/api/ApiDataDict.h"
#include "app/api/ApiFans.h"
#include "app/api/ApiJob.h"
#include "app/api/ApiMarket.h"
#include "app/api/ApiNews.h"
#include "app/api/ApiResume.h"
#include "app/api/ApiSalary.h"
#include "app/api/ApiUser.h"
#include "app/api/ApiUtil.h"
#include "app/jobquery/JobSearchParam.h"
#include "app/shell/AppTracking.h"
#include "app/shell/PushUnit.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataHex.h"
#include "kit/core/DeviceUUID.h"
#include "kit/core/StringMisc.h"
#include "kit/core/UserCoreInfo.h"
#include "platform/foundation/Environment.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

constexpr std::string_view AccountID = "300111";
constexpr std::string_view Key = "ab12cd34";
constexpr std::string_view PushToken = "7a3f09cd";
constexpr std::string_view ApiHost = "http://api.test";

std::vector<std::string> split(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t at = text.find(separator, start);
    parts.emplace_back(
        text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) break;
    start = at + separator.size();
  }
  return parts;
}

std::string trimmed(std::string_view s) { return str::trim(s); }

struct Row {
  int line = 0;
  std::string builder;
  std::vector<std::string> args;
  std::set<std::string> state;
  std::string method;
  std::string path;
  std::string body;
  std::string userAgent;
};

std::ostream& operator<<(std::ostream& os, const Row& row) {
  return os << "api_calls.txt:" << row.line << " " << row.builder;
}

std::vector<Row> loadRows() {
  std::ifstream in(std::string(KAVRO_SOURCE_DIR) + "/tests/fixtures/api_calls.txt");
  std::vector<Row> rows;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (trimmed(line).empty() || line[0] == '#') continue;
    auto fields = split(line, " | ");
    if (fields.size() < 6) {
      ADD_FAILURE() << "api_calls.txt:" << number << ": fewer than six fields";
      continue;
    }
    Row row;
    row.line = number;
    row.builder = trimmed(fields[0]);
    if (!trimmed(fields[1]).empty())
      for (auto& a : split(trimmed(fields[1]), " ; ")) row.args.push_back(trimmed(a));
    for (auto& s : split(trimmed(fields[2]), ",")) row.state.insert(trimmed(s));
    row.method = trimmed(fields[3]);
    row.path = trimmed(fields[4]);
    row.body = trimmed(fields[5]);
    if (fields.size() > 6) row.userAgent = trimmed(fields[6]);
    rows.push_back(std::move(row));
  }
  return rows;
}

// The arguments of one row, read as the builder wants them.
class Args {
 public:
  explicit Args(const std::vector<std::string>& args) : args_(args) {}
  std::string s(std::size_t i) const { return at(i) == "~" ? "" : at(i); }
  std::int32_t i(std::size_t n) const { return std::stoi(at(n)); }
  double d(std::size_t n) const { return std::stod(at(n)); }
  bool b(std::size_t n) const {
    EXPECT_TRUE(at(n) == "yes" || at(n) == "no") << at(n);
    return at(n) == "yes";
  }
  std::optional<platform::Data> data(std::size_t n) const {
    if (at(n) == "~") return std::nullopt;
    if (at(n).starts_with("hex:")) return data::fromHex(at(n).substr(4)).value_or(platform::Data());
    return platform::dataFromString(at(n));
  }
  platform::Data bytes(std::size_t n) const { return data(n).value_or(platform::Data()); }
  std::shared_ptr<DataItemDetail> record(std::size_t n) const {
    std::string text = at(n);
    EXPECT_TRUE(text.size() >= 2 && text.front() == '{' && text.back() == '}') << text;
    auto record = DataItemDetail::newDetail();
    std::string inner = text.substr(1, text.size() - 2);
    if (inner.empty()) return record;
    for (auto& pair : split(inner, ",")) {
      auto eq = pair.find('=');
      record->setString(pair.substr(eq + 1), pair.substr(0, eq));
    }
    return record;
  }
  std::size_t size() const { return args_.size(); }

 private:
  const std::string& at(std::size_t i) const {
    static const std::string missing = "~";
    if (i >= args_.size()) {
      ADD_FAILURE() << "argument " << i << " missing";
      return missing;
    }
    return args_[i];
  }
  const std::vector<std::string>& args_;
};

// What a builder gave back.
struct Outcome {
  ApiLoader loader;
  std::optional<platform::URL> url;
  bool isURL = false;
  std::shared_ptr<DataHttpConnection> connection;
  Outcome(ApiLoader l) : loader(std::move(l)) {}
  Outcome(std::optional<platform::URL> u) : url(std::move(u)), isURL(true) {}
  Outcome(std::shared_ptr<DataHttpConnection> c) : connection(std::move(c)) {}
};

using Builder = std::function<Outcome(const Args&, ApiDelegate)>;

std::map<std::string, Builder> builders() {
  std::map<std::string, Builder> m;
  // ---- user/ ----
  m["ApiUser.login"] = [](const Args& a, ApiDelegate d) { return ApiUser::login(a.s(0), a.s(1), d); };
  m["ApiUser.register"] = [](const Args& a, ApiDelegate d) {
    return ApiUser::register_(a.s(0), a.s(1), a.s(2), a.s(3), a.s(4), d);
  };
  m["ApiUser.logout"] = [](const Args&, ApiDelegate) { return ApiUser::logout(); };
  m["ApiUser.get_stat_count"] = [](const Args&, ApiDelegate d) { return ApiUser::get_stat_count(d); };
  m["ApiUser.apply_job"] = [](const Args& a, ApiDelegate d) { return ApiUser::apply_job(a.s(0), a.s(1), d); };
  m["ApiUser.add_favorite"] = [](const Args& a, ApiDelegate d) { return ApiUser::add_favorite(a.s(0), d); };
  m["ApiUser.get_resume_match"] = [](const Args& a, ApiDelegate d) {
    return ApiUser::get_resume_match(a.s(0), a.s(1), d);
  };
  m["ApiUser.get_cvlog"] = [](const Args& a, ApiDelegate d) { return ApiUser::get_cvlog(a.i(0), d); };
  m["ApiUser.get_favorite"] = [](const Args& a, ApiDelegate d) { return ApiUser::get_favorite(a.i(0), d); };
  m["ApiUser.del_favorite"] = [](const Args& a, ApiDelegate d) { return ApiUser::del_favorite(a.s(0), d); };
  m["ApiUser.get_resumeview_new"] = [](const Args&, ApiDelegate d) { return ApiUser::get_resumeview_new(d); };
  m["ApiUser.get_resumeview_all"] = [](const Args& a, ApiDelegate d) {
    return ApiUser::get_resumeview_all(a.i(0), d);
  };
  m["ApiUser.get_resume_list"] = [](const Args&, ApiDelegate d) { return ApiUser::get_resume_list(d); };
  m["ApiUser.get_resume_info"] = [](const Args& a, ApiDelegate d) {
    return ApiUser::get_resume_info(a.s(0), d);
  };
  m["ApiUser.set_qpost_setting"] = [](const Args& a, ApiDelegate d) {
    return ApiUser::set_qpost_setting(a.s(0), a.b(1), d);
  };
  m["ApiUser.refresh_resume"] = [](const Args&, ApiDelegate d) { return ApiUser::refresh_resume(d); };
  m["ApiUser.modify_password"] = [](const Args& a, ApiDelegate d) {
    return ApiUser::modify_password(a.s(0), a.s(1), d);
  };
  m["ApiUser.modify_email"] = [](const Args& a, ApiDelegate d) {
    return ApiUser::modify_email(a.s(0), a.s(1), a.s(2), d);
  };
  m["ApiUser.get_shieldco_info"] = [](const Args&, ApiDelegate d) { return ApiUser::get_shieldco_info(d); };
  m["ApiUser.get_shieldco_list"] = [](const Args& a, ApiDelegate d) {
    return ApiUser::get_shieldco_list(a.s(0), d);
  };
  m["ApiUser.set_shieldco"] = [](const Args& a, ApiDelegate d) { return ApiUser::set_shieldco(a.s(0), d); };
  m["ApiUser.del_shieldco"] = [](const Args& a, ApiDelegate d) { return ApiUser::del_shieldco(a.s(0), d); };
  m["ApiUser.get_hrmessege"] = [](const Args& a, ApiDelegate d) { return ApiUser::get_hrmessege(a.i(0), d); };
  m["ApiUser.find_password"] = [](const Args& a, ApiDelegate d) {
    return ApiUser::find_password(a.s(0), a.s(1), a.s(2), d);
  };
  m["ApiUser.reset_password"] = [](const Args& a, ApiDelegate d) {
    return ApiUser::reset_password(a.s(0), a.s(1), d);
  };
  // ---- job/ ----
  m["ApiJob.associate_keyword"] = [](const Args& a, ApiDelegate d) {
    return ApiJob::associate_keyword(a.s(0), KeywordTypeFromInt(a.i(1)), d);
  };
  m["ApiJob.search_job_list"] = [](const Args& a, ApiDelegate d) {
    auto param = JobSearchParam::createFromDetail(a.record(0).get());
    return ApiJob::search_job_list(*param, d);
  };
  m["ApiJob.map_search"] = [](const Args& a, ApiDelegate d) {
    auto param = JobSearchParam::createFromDetail(a.record(0).get());
    return ApiJob::map_search(*param, d);
  };
  m["ApiJob.get_job_info"] = [](const Args& a, ApiDelegate d) { return ApiJob::get_job_info(a.s(0), d); };
  m["ApiJob.get_co_info"] = [](const Args& a, ApiDelegate d) { return ApiJob::get_co_info(a.s(0), d); };
  m["ApiJob.get_co_alljob"] = [](const Args& a, ApiDelegate d) {
    return ApiJob::get_co_alljob(a.s(0), a.s(1), a.i(2), a.i(3), d);
  };
  m["ApiJob.get_co_lonlat"] = [](const Args& a, ApiDelegate d) {
    return ApiJob::get_co_lonlat(a.s(0), a.s(1), a.s(2), d);
  };
  m["ApiJob.get_co_jobarea"] = [](const Args& a, ApiDelegate d) { return ApiJob::get_co_jobarea(a.s(0), d); };
  // ---- resume/ ----
  m["ApiResume.get_photo"] = [](const Args& a, ApiDelegate) { return ApiResume::get_photo(a.s(0)); };
  m["ApiResume.set_photo"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::set_photo(a.data(0), a.s(1), d);
  };
  m["ApiResume.del_photo"] = [](const Args& a, ApiDelegate d) { return ApiResume::del_photo(a.s(0), d); };
  m["ApiResume.get_base_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::get_base_info(a.s(0), d);
  };
  m["ApiResume.set_base_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::set_base_info(*a.record(0), a.s(1), d);
  };
  m["ApiResume.get_workexp_list"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::get_workexp_list(a.s(0), d);
  };
  m["ApiResume.get_workexp_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::get_workexp_info(a.s(0), a.s(1), d);
  };
  m["ApiResume.set_workexp_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::set_workexp_info(*a.record(0), a.s(1), a.s(2), d);
  };
  m["ApiResume.del_workexp_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::del_workexp_info(a.s(0), a.s(1), d);
  };
  m["ApiResume.get_eduexp_list"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::get_eduexp_list(a.s(0), d);
  };
  m["ApiResume.get_eduexp_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::get_eduexp_info(a.s(0), a.s(1), d);
  };
  m["ApiResume.set_eduexp_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::set_eduexp_info(*a.record(0), a.s(1), a.s(2), d);
  };
  m["ApiResume.del_eduexp_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::del_eduexp_info(a.s(0), a.s(1), d);
  };
  m["ApiResume.get_trainexp_list"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::get_trainexp_list(a.s(0), d);
  };
  m["ApiResume.get_trainexp_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::get_trainexp_info(a.s(0), a.s(1), d);
  };
  m["ApiResume.set_trainexp_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::set_trainexp_info(*a.record(0), a.s(1), a.s(2), d);
  };
  m["ApiResume.del_trainexp_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::del_trainexp_info(a.s(0), a.s(1), d);
  };
  m["ApiResume.get_language_list"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::get_language_list(a.s(0), d);
  };
  m["ApiResume.get_language_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::get_language_info(a.s(0), a.s(1), d);
  };
  m["ApiResume.set_language_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::set_language_info(*a.record(0), a.s(1), d);
  };
  m["ApiResume.get_language_level"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::get_language_level(a.s(0), d);
  };
  m["ApiResume.set_language_level"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::set_language_level(*a.record(0), a.s(1), d);
  };
  m["ApiResume.get_expect_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::get_expect_info(a.s(0), d);
  };
  m["ApiResume.set_expect_info"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::set_expect_info(*a.record(0), a.s(1), d);
  };
  m["ApiResume.preview_resume"] = [](const Args& a, ApiDelegate) {
    return ApiResume::preview_resume(a.s(0));
  };
  m["ApiResume.copy_resume"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::copy_resume(*a.record(0), d);
  };
  m["ApiResume.del_resume"] = [](const Args& a, ApiDelegate d) { return ApiResume::del_resume(a.s(0), d); };
  m["ApiResume.set_resume_openstatus"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::set_resume_openstatus(a.s(0), a.i(1), d);
  };
  m["ApiResume.set_resume_name"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::set_resume_name(a.s(0), a.s(1), d);
  };
  m["ApiResume.import_resume"] = [](const Args& a, ApiDelegate d) {
    return ApiResume::import_resume(a.data(0), d);
  };
  m["ApiResume.is_createresume"] = [](const Args&, ApiDelegate d) { return ApiResume::is_createresume(d); };
  m["ApiResume.create_resume"] = [](const Args&, ApiDelegate d) { return ApiResume::create_resume(d); };
  // ---- fans/ ----
  m["ApiFans.get_attention_team_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_attention_team_list(a.s(0), a.b(1), a.i(2), a.i(3), d);
  };
  m["ApiFans.get_attention_company_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_attention_company_list(a.s(0), a.b(1), a.i(2), a.i(3), d);
  };
  m["ApiFans.get_my_group_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_my_group_list(a.b(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_co_topics"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_co_topics(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_team_topics"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_team_topics(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_my_group_topics"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_my_group_topics(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_atme_topics"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_atme_topics(a.i(0), a.i(1), d);
  };
  m["ApiFans.get_atme_replies"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_atme_replies(a.i(0), a.i(1), d);
  };
  m["ApiFans.get_my_sendout_replies"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_my_sendout_replies(a.i(0), a.i(1), d);
  };
  m["ApiFans.get_my_received_replies"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_my_received_replies(a.i(0), a.i(1), d);
  };
  m["ApiFans.get_topic_info"] = [](const Args& a, ApiDelegate) { return ApiFans::get_topic_info(a.s(0)); };
  m["ApiFans.get_reply_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_reply_list(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_atfans_list"] = [](const Args&, ApiDelegate d) { return ApiFans::get_atfans_list(d); };
  m["ApiFans.set_user_attention"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::set_user_attention(a.b(0), a.s(1), d);
  };
  m["ApiFans.get_fans_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_fans_list(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_attention_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_attention_list(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_user_topics"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_user_topics(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_user_info"] = [](const Args& a, ApiDelegate d) { return ApiFans::get_user_info(a.s(0), d); };
  m["ApiFans.get_collection_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_collection_list(a.i(0), a.i(1), d);
  };
  m["ApiFans.set_collection"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::set_collection(a.s(0), a.i(1), d);
  };
  m["ApiFans.get_team_info"] = [](const Args& a, ApiDelegate d) { return ApiFans::get_team_info(a.s(0), d); };
  m["ApiFans.set_team_attention"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::set_team_attention(a.b(0), a.s(1), d);
  };
  m["ApiFans.set_company_attention"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::set_company_attention(a.b(0), a.s(1), d);
  };
  m["ApiFans.get_team_user_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_team_user_list(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_company_info"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_company_info(a.s(0), d);
  };
  m["ApiFans.get_comp_fans"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_comp_fans(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_co_keyword"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_co_keyword(a.s(0), d);
  };
  m["ApiFans.get_co_search"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_co_search(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_recommend_company"] = [](const Args&, ApiDelegate d) {
    return ApiFans::get_recommend_company(d);
  };
  m["ApiFans.get_recommend_user"] = [](const Args&, ApiDelegate d) { return ApiFans::get_recommend_user(d); };
  m["ApiFans.get_recommend_team"] = [](const Args&, ApiDelegate d) { return ApiFans::get_recommend_team(d); };
  m["ApiFans.get_hot_topics"] = [](const Args&, ApiDelegate d) { return ApiFans::get_hot_topics(d); };
  m["ApiFans.get_interviews_ad_info"] = [](const Args&, ApiDelegate d) {
    return ApiFans::get_interviews_ad_info(d);
  };
  m["ApiFans.get_interviews_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_interviews_list(a.i(0), a.i(1), d);
  };
  m["ApiFans.get_interviews_info"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_interviews_info(a.s(0), d);
  };
  m["ApiFans.get_interviews_guest_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_interviews_guest_list(a.s(0), d);
  };
  m["ApiFans.get_interviews_host_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_interviews_host_list(a.s(0), d);
  };
  m["ApiFans.get_interviews_answer_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_interviews_answer_list(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.get_interviews_question_list"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_interviews_question_list(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiFans.add_topic"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::add_topic(a.i(0), a.s(1), a.s(2), a.data(3), d);
  };
  m["ApiFans.add_transmit"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::add_transmit(a.i(0), a.s(1), a.s(2), a.s(3), a.b(4), d);
  };
  m["ApiFans.add_reply"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::add_reply(a.s(0), a.s(1), a.s(2), a.b(3), d);
  };
  m["ApiFans.del_weibo"] = [](const Args& a, ApiDelegate d) { return ApiFans::del_weibo(a.s(0), d); };
  m["ApiFans.del_reply"] = [](const Args& a, ApiDelegate d) { return ApiFans::del_reply(a.s(0), a.s(1), d); };
  m["ApiFans.add_nice"] = [](const Args& a, ApiDelegate d) { return ApiFans::add_nice(a.s(0), d); };
  m["ApiFans.set_fans_info"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::set_fans_info(a.i(0), a.s(1), a.i(2), a.data(3), d);
  };
  m["ApiFans.get_new_message_count"] = [](const Args&, ApiDelegate d) {
    return ApiFans::get_new_message_count(d);
  };
  m["ApiFans.get_resume_trend"] = [](const Args& a, ApiDelegate d) {
    return ApiFans::get_resume_trend(a.i(0), a.i(1), d);
  };
  // ---- campus/ ----
  m["ApiCampus.get_city_list"] = [](const Args&, ApiDelegate d) { return ApiCampus::get_city_list(d); };
  m["ApiCampus.get_recent_project"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::get_recent_project(a.s(0), d);
  };
  m["ApiCampus.get_project_list"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::get_project_list(a.s(0), a.s(1), a.s(2), a.s(3), a.s(4), a.i(5), a.i(6), d);
  };
  m["ApiCampus.get_project_info"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::get_project_info(a.s(0), d);
  };
  m["ApiCampus.get_workflow_list"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::get_workflow_list(a.s(0), a.s(1), a.s(2), a.i(3), a.i(4), d);
  };
  m["ApiCampus.get_my_project"] = [](const Args&, ApiDelegate d) { return ApiCampus::get_my_project(d); };
  m["ApiCampus.get_my_workflow"] = [](const Args&, ApiDelegate d) { return ApiCampus::get_my_workflow(d); };
  m["ApiCampus.get_update_count"] = [](const Args&, ApiDelegate d) { return ApiCampus::get_update_count(d); };
  m["ApiCampus.attention_project"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::attention_project(a.s(0), a.b(1), d);
  };
  m["ApiCampus.attention_workflow"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::attention_workflow(a.s(0), a.b(1), d);
  };
  m["ApiCampus.get_group_info"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::get_group_info(a.s(0), static_cast<CampusGroupType>(a.i(1)), d);
  };
  m["ApiCampus.get_group_alljob"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::get_group_alljob(a.s(0), a.s(1), static_cast<CampusGroupType>(a.i(2)), a.i(3), a.i(4),
                                       d);
  };
  m["ApiCampus.get_group_jobarea"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::get_group_jobarea(a.s(0), static_cast<CampusGroupType>(a.i(1)), d);
  };
  m["ApiCampus.get_recommend_colist"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::get_recommend_colist(a.s(0), d);
  };
  m["ApiCampus.get_funtype_top10"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::get_funtype_top10(a.s(0), d);
  };
  m["ApiCampus.major_search"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::major_search(a.s(0), a.s(1), a.s(2), a.s(3), a.i(4), a.i(5), d);
  };
  m["ApiCampus.famousco_search"] = [](const Args& a, ApiDelegate d) {
    return ApiCampus::famousco_search(a.s(0), a.s(1), a.i(2), a.i(3), d);
  };
  // ---- datadict/ ----
  m["ApiDataDict.get_jobarea"] = [](const Args& a, ApiDelegate d) {
    return ApiDataDict::get_jobarea(a.s(0), a.s(1), d);
  };
  m["ApiDataDict.get_datadict"] = [](const Args& a, ApiDelegate d) {
    return ApiDataDict::get_datadict(a.s(0), a.s(1), d);
  };
  m["ApiDataDict.get_special_datadict"] = [](const Args& a, ApiDelegate d) {
    return ApiDataDict::get_special_datadict(a.s(0), a.s(1), d);
  };
  m["ApiDataDict.get_campus_datadict"] = [](const Args& a, ApiDelegate d) {
    return ApiDataDict::get_campus_datadict(a.s(0), a.s(1), d);
  };
  // ---- market/ ----
  m["ApiMarket.get_ads"] = [](const Args& a, ApiDelegate d) { return ApiMarket::get_ads(a.i(0), d); };
  m["ApiMarket.add_feedback"] = [](const Args& a, ApiDelegate d) {
    return ApiMarket::add_feedback(a.s(0), a.s(1), d);
  };
  m["ApiMarket.get_app_sharetxt"] = [](const Args&, ApiDelegate d) { return ApiMarket::get_app_sharetxt(d); };
  m["ApiMarket.get_skin"] = [](const Args&, ApiDelegate d) { return ApiMarket::get_skin(d); };
  m["ApiMarket.report"] = [](const Args& a, ApiDelegate d) { return ApiMarket::report(*a.record(0), d); };
  // ---- news/ ----
  m["ApiNews.get_top_list"] = [](const Args&, ApiDelegate d) { return ApiNews::get_top_list(d); };
  m["ApiNews.get_news_list"] = [](const Args& a, ApiDelegate d) {
    return ApiNews::get_news_list(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiNews.search_keyword"] = [](const Args& a, ApiDelegate d) {
    return ApiNews::search_keyword(a.s(0), a.i(1), a.i(2), d);
  };
  m["ApiNews.get_news_info"] = [](const Args& a, ApiDelegate d) { return ApiNews::get_news_info(a.s(0), d); };
  // ---- salary/ ----
  m["ApiSalary.get_free_report"] = [](const Args& a, ApiDelegate d) {
    return ApiSalary::get_free_report(a.s(0), a.s(1), a.s(2), d);
  };
  // ---- util/ ----
  m["ApiUtil.track_client_active"] = [](const Args& a, ApiDelegate d) {
    return ApiUtil::track_client_active(a.bytes(0), d);
  };
  m["ApiUtil.track_client_report"] = [](const Args& a, ApiDelegate) {
    return ApiUtil::track_client_report(a.bytes(0), {});
  };
  m["ApiUtil.get_version"] = [](const Args&, ApiDelegate d) {
    return ApiUtil::get_version(AppTracking::getTrackingPostData(), d);
  };
  m["ApiUtil.get_location"] = [](const Args& a, ApiDelegate d) {
    return ApiUtil::get_location(a.d(0), a.d(1), d);
  };
  m["ApiUtil.weibo_request"] = [](const Args& a, ApiDelegate) { return ApiUtil::weibo_request(a.s(0)); };
  m["ApiUtil.weibo_callback"] = [](const Args&, ApiDelegate) { return ApiUtil::weibo_callback(); };
  m["ApiUtil.weibo_sendmsg"] = [](const Args& a, ApiDelegate d) {
    return ApiUtil::weibo_sendmsg(a.s(0), a.s(1), a.s(2), a.s(3), d);
  };
  m["ApiUtil.add_friendships"] = [](const Args& a, ApiDelegate d) {
    return ApiUtil::add_friendships(a.s(0), a.s(1), a.s(2), d);
  };
  m["ApiUtil.convert_lonlat"] = [](const Args& a, ApiDelegate d) {
    return ApiUtil::convert_lonlat(a.s(0), a.s(1), a.s(2), d);
  };
  m["ApiUtil.set_pushnotify_info"] = [](const Args& a, ApiDelegate d) {
    return ApiUtil::set_pushnotify_info(PushUnit::sharedPushUnit().deviceToken(), a.b(0), a.s(1), a.s(2),
                                        a.s(3), a.s(4), a.i(5), a.i(6), d);
  };
  m["ApiUtil.get_pushnotify_info"] = [](const Args&, ApiDelegate d) {
    return ApiUtil::get_pushnotify_info(PushUnit::sharedPushUnit().deviceToken(), d);
  };
  m["ApiUtil.redirect_url"] = [](const Args& a, ApiDelegate) { return ApiUtil::redirect_url(a.i(0)); };
  m["ApiUtil.get_verification_info"] = [](const Args&, ApiDelegate d) {
    return ApiUtil::get_verification_info(d);
  };
  return m;
}

struct CountingDelegate : DataLoadAndParserDelegate {
  std::vector<DataItemResult> results;
  void dataLoader(DataLoadAndParser&, const DataItemResult& result) override { results.push_back(result); }
};

class ApiCallsGoldenTest : public test::VirtualRunLoopTest, public ::testing::WithParamInterface<Row> {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    home_ = std::make_unique<test::TempHome>();
    platform::Environment::setApiHostUrl(std::string(ApiHost));
    ApiFrame::setRequestRecorder([this](const ApiRequest& r) { sent_.push_back(r); });
  }
  void TearDown() override {
    ApiFrame::setRequestRecorder({});
    UserCoreInfo::destroyUserCoreInfo();
    PushUnit::destroySharedPushUnit();
    AppCoreInfo::destroyAppCoreInfo();
    platform::Environment::setApiHostUrl("");
    home_.reset();
    VirtualRunLoopTest::TearDown();
  }

  void enterState(const std::set<std::string>& state) {
    for (const auto& s : state) {
      ASSERT_TRUE(s == "out" || s == "in" || s == "odd" || s == "en" || s == "token" || s == "track") << s;
    }
    auto login = DataItemDetail::newDetail();
    if (state.count("in")) {
      login->setString(AccountID, "accountid");
      login->setString(Key, "key");
    }
    if (state.count("odd")) {
      login->setString("30 01", "accountid");
      login->setString("k+e/y=", "key");
    }
    if (login->count()) {
      ASSERT_TRUE(UserCoreInfo::setUserLoginInfo(login.get()));
    }
    UserCoreInfo::sharedUserCoreInfo().setIsEnglishResume(state.count("en") > 0);
    if (state.count("token")) PushUnit::sharedPushUnit().setDeviceToken(PushToken);
    if (state.count("track")) {
      AppTracking::record("TRACKING_A");
      AppTracking::record("TRACKING_A");
    }
  }

  std::string expand(std::string text) {
    const std::string mark = "{validkey}";
    auto at = text.find(mark);
    if (at != std::string::npos) {
      std::string expected =
          *str::md5(PushUnit::sharedPushUnit().deviceToken() + "vesta" + device::getUUID());
      text.replace(at, mark.size(), expected);
    }
    return text;
  }

  std::unique_ptr<test::TempHome> home_;
  std::vector<ApiRequest> sent_;
};

TEST_P(ApiCallsGoldenTest, SendsWhatTheTableSays) {
  const Row& row = GetParam();
  static const auto table = builders();
  auto builder = table.find(row.builder);
  ASSERT_NE(builder, table.end()) << "unknown builder";
  enterState(row.state);

  auto delegate = std::make_shared<CountingDelegate>();
  Outcome outcome = builder->second(Args(row.args), delegate);

  if (row.method == "URL" || row.method == "BAREURL") {
    EXPECT_TRUE(sent_.empty());
    ASSERT_TRUE(outcome.isURL);
    ASSERT_TRUE(outcome.url.has_value());
    std::string url = outcome.url->absoluteString();
    std::string full = std::string(ApiHost) + "/api/" + row.path;
    if (row.method == "BAREURL") {
      EXPECT_EQ(url, full);
    } else {
      // The path, then the common parameters.
      char separator = row.path.find('?') == std::string::npos ? '?' : '&';
      EXPECT_EQ(url.substr(0, full.size() + 9), full + separator + "partner=") << url;
    }
    return;
  }

  if (row.method == "ERROR") {
    EXPECT_TRUE(sent_.empty()) << "sent " << (sent_.empty() ? "" : sent_[0].path);
    ASSERT_TRUE(outcome.loader);
    EXPECT_TRUE(delegate->results.empty()) << "never inside the call";
    runFor(1);
    ASSERT_EQ(delegate->results.size(), 1u);
    EXPECT_TRUE(delegate->results[0].hasError());
    EXPECT_TRUE(delegate->results[0].localError());
    EXPECT_EQ(delegate->results[0].message(), AppCoreInfo::getLocalizedString(row.path));
    EXPECT_FALSE(delegate->results[0].message().empty());
    return;
  }

  ASSERT_EQ(sent_.size(), 1u);
  const ApiRequest& request = sent_[0];
  EXPECT_EQ(request.method, row.method);
  EXPECT_EQ(request.path, expand(row.path));
  if (row.body == "-") {
    EXPECT_FALSE(request.body.has_value());
  } else {
    ASSERT_TRUE(request.body.has_value());
    EXPECT_EQ(platform::stringFromData(*request.body), row.body == "\"\"" ? "" : row.body);
  }
  EXPECT_EQ(request.userAgent.value_or(""), row.userAgent);
  EXPECT_EQ(request.path.find("(null)"), std::string::npos);
  // While recorded, the crash report's bare connection is not made.
  if (row.userAgent.empty()) {
    EXPECT_TRUE(outcome.loader);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ApiCallsGoldenTest, ::testing::ValuesIn(loadRows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           std::string name = info.param.builder + "_line" + std::to_string(info.param.line);
                           for (auto& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// Every builder the headers declare has a runner, and every runner a row of the table.
TEST(ApiCallsTable, CoversEveryBuilder) {
  const std::regex declaration(
      R"(static\s+(?:ApiLoader|std::optional<platform::URL>|std::shared_ptr<DataHttpConnection>)\s+(\w+)\()");
  std::set<std::string> declared;
  for (const char* area : {"ApiUser", "ApiJob", "ApiResume", "ApiFans", "ApiCampus", "ApiDataDict",
                           "ApiMarket", "ApiNews", "ApiSalary", "ApiUtil"}) {
    std::ifstream in(std::string(KAVRO_SOURCE_DIR) + "/app/api/" + area + ".h");
    std::stringstream text;
    text << in.rdbuf();
    std::string header = text.str();
    ASSERT_FALSE(header.empty()) << area;
    for (std::sregex_iterator it(header.begin(), header.end(), declaration), end; it != end; ++it) {
      std::string name = (*it)[1];
      if (name == "register_") name = "register";
      declared.insert(std::string(area) + "." + name);
    }
  }
  std::set<std::string> used;
  for (const auto& row : loadRows()) used.insert(row.builder);
  std::set<std::string> runners;
  for (const auto& [name, builder] : builders()) runners.insert(name);
  EXPECT_EQ(declared, runners);
  EXPECT_EQ(runners, used);
  EXPECT_EQ(declared.size(), 157u);
}

}  // namespace
}  // namespace kavro
