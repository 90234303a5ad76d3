#pragma once
#include <string_view>

// The key-value stores' vocabulary: the data types features write under, by database. A data type
// exists as soon as something is written under it; the keys inside belong to the owning feature.
namespace kavro {

// Core database (DataAppCoreDB).
inline constexpr std::string_view STORE_CORE_APP_SKIN = "STORE_CORE_APP_SKIN";
inline constexpr std::string_view STORE_CORE_APP_UPGRADE = "STORE_CORE_APP_UPGRADE";
inline constexpr std::string_view STORE_CORE_CAMPUS_JOBSEARCH_FORM = "STORE_CORE_CAMPUS_JOBSEARCH_FORM";
inline constexpr std::string_view STORE_CORE_CAMPUS_JOBSEARCH_HISTORY = "STORE_CORE_CAMPUS_JOBSEARCH_HISTORY";
inline constexpr std::string_view STORE_CORE_CAMPUS_TALK = "STORE_CORE_CAMPUS_TALK";
inline constexpr std::string_view STORE_CORE_CLIENT_VERSION_INFO = "STORE_CORE_CLIENT_VERSION_INFO";
inline constexpr std::string_view STORE_CORE_CONTENT_SHARE = "STORE_CORE_CONTENT_SHARE";
inline constexpr std::string_view STORE_CORE_EXCEPTION_INFO = "STORE_CORE_EXCEPTION_INFO";
inline constexpr std::string_view STORE_CORE_JOBSEARCH_FORM = "STORE_CORE_JOBSEARCH_FORM";
inline constexpr std::string_view STORE_CORE_JOBSEARCH_HISTORY = "STORE_CORE_JOBSEARCH_HISTORY";
inline constexpr std::string_view STORE_CORE_KAVRO_MAIN = "STORE_CORE_KAVRO_MAIN";
inline constexpr std::string_view STORE_CORE_KEYWORDS_HISTORY = "STORE_CORE_KEYWORDS_HISTORY";
inline constexpr std::string_view STORE_CORE_LOCATION = "STORE_CORE_LOCATION";
inline constexpr std::string_view STORE_CORE_RESUME_VIEW_TIPS = "STORE_CORE_RESUME_VIEW_TIPS";
inline constexpr std::string_view STORE_CORE_SETTING_APPLY_TIP = "STORE_CORE_SETTING_APPLY_TIP";
inline constexpr std::string_view STORE_CORE_TIP_MESSAGE = "STORE_CORE_TIP_MESSAGE";
inline constexpr std::string_view STORE_CORE_USER_INFO = "STORE_CORE_USER_INFO";
inline constexpr std::string_view STORE_CORE_USER_LOGIN = "STORE_CORE_USER_LOGIN";

// Cache database (DataAppCacheDB). STORE_CORE_ENABLEPUSH_TIPS keeps its core prefix but lives here.
inline constexpr std::string_view STORE_CACHE_CAMPUS_CITYLIST_DETAIL = "STORE_CACHE_CAMPUS_CITYLIST_DETAIL";
inline constexpr std::string_view STORE_CACHE_CAMPUS_GROUP_INFO = "STORE_CACHE_CAMPUS_GROUP_INFO";
inline constexpr std::string_view STORE_CACHE_CAMPUS_JOBSEARCH_FORM = "STORE_CACHE_CAMPUS_JOBSEARCH_FORM";
inline constexpr std::string_view STORE_CACHE_CAMPUS_JOBSEARCH_HISTORY =
    "STORE_CACHE_CAMPUS_JOBSEARCH_HISTORY";
inline constexpr std::string_view STORE_CACHE_CAMPUS_MAJOR_SEARCH = "STORE_CACHE_CAMPUS_MAJOR_SEARCH";
inline constexpr std::string_view STORE_CACHE_CAMPUS_MAJOR_SEARCH_RESULT =
    "STORE_CACHE_CAMPUS_MAJOR_SEARCH_RESULT";
inline constexpr std::string_view STORE_CACHE_CAMPUS_TOPTENIND_DETAIL = "STORE_CACHE_CAMPUS_TOPTENIND_DETAIL";
inline constexpr std::string_view STORE_CACHE_COMPANY_DETAIL = "STORE_CACHE_COMPANY_DETAIL";
inline constexpr std::string_view STORE_CACHE_EMAIL_SUFFIX = "STORE_CACHE_EMAIL_SUFFIX";
inline constexpr std::string_view STORE_CACHE_FANS_AD_CACHE = "STORE_CACHE_FANS_AD_CACHE";
inline constexpr std::string_view STORE_CACHE_FANS_COMPANY_INFO = "STORE_CACHE_FANS_COMPANY_INFO";
inline constexpr std::string_view STORE_CACHE_FANS_GUEST_INFO = "STORE_CACHE_FANS_GUEST_INFO";
inline constexpr std::string_view STORE_CACHE_FANS_MY_ATTENTION_CACHE = "STORE_CACHE_FANS_MY_ATTENTION_CACHE";
inline constexpr std::string_view STORE_CACHE_FANS_PERSON_INFO = "STORE_CACHE_FANS_PERSON_INFO";
inline constexpr std::string_view STORE_CACHE_FANS_TEAM_INFO = "STORE_CACHE_FANS_TEAM_INFO";
inline constexpr std::string_view STORE_CACHE_IMAGES = "STORE_CACHE_IMAGES";
inline constexpr std::string_view STORE_CACHE_JOBMAPSEARCH_FORM = "STORE_CACHE_JOBMAPSEARCH_FORM";
inline constexpr std::string_view STORE_CACHE_JOBSEARCH_FORM = "STORE_CACHE_JOBSEARCH_FORM";
inline constexpr std::string_view STORE_CACHE_JOBSEARCH_HISTORY = "STORE_CACHE_JOBSEARCH_HISTORY";
inline constexpr std::string_view STORE_CACHE_JOB_DETAIL = "STORE_CACHE_JOB_DETAIL";
inline constexpr std::string_view STORE_CACHE_KEYWORDS_HISTORY = "STORE_CACHE_KEYWORDS_HISTORY";
inline constexpr std::string_view STORE_CACHE_NEWS_DETAIL = "STORE_CACHE_NEWS_DETAIL";
inline constexpr std::string_view STORE_CACHE_SALARY_QUERY = "STORE_CACHE_SALARY_QUERY";
inline constexpr std::string_view STORE_CORE_ENABLEPUSH_TIPS = "STORE_CORE_ENABLEPUSH_TIPS";

// Dictionary database (DataAppDictDB).
inline constexpr std::string_view STORE_DICT_CAMPUS_DICT_ALL = "STORE_DICT_CAMPUS_DICT_ALL";
inline constexpr std::string_view STORE_DICT_CAMPUS_FAMOUSCOINDTYPE = "STORE_DICT_CAMPUS_FAMOUSCOINDTYPE";
inline constexpr std::string_view STORE_DICT_CAMPUS_MAJORTYPE = "STORE_DICT_CAMPUS_MAJORTYPE";
inline constexpr std::string_view STORE_DICT_JOB_AREA = "STORE_DICT_JOB_AREA";
inline constexpr std::string_view STORE_DICT_JOB_COTYPE = "STORE_DICT_JOB_COTYPE";
inline constexpr std::string_view STORE_DICT_JOB_DEGREE = "STORE_DICT_JOB_DEGREE";
inline constexpr std::string_view STORE_DICT_JOB_FUNTYPE = "STORE_DICT_JOB_FUNTYPE";
inline constexpr std::string_view STORE_DICT_JOB_INDTYPE = "STORE_DICT_JOB_INDTYPE";
inline constexpr std::string_view STORE_DICT_JOB_LANDMARK = "STORE_DICT_JOB_LANDMARK";
inline constexpr std::string_view STORE_DICT_JOB_PUBDATE = "STORE_DICT_JOB_PUBDATE";
inline constexpr std::string_view STORE_DICT_JOB_SALARY_RANGE = "STORE_DICT_JOB_SALARY_RANGE";
inline constexpr std::string_view STORE_DICT_JOB_TERM = "STORE_DICT_JOB_TERM";
inline constexpr std::string_view STORE_DICT_JOB_WORKYEAR = "STORE_DICT_JOB_WORKYEAR";
inline constexpr std::string_view STORE_DICT_RESUME_ABILITY = "STORE_DICT_RESUME_ABILITY";
inline constexpr std::string_view STORE_DICT_RESUME_COSIZE = "STORE_DICT_RESUME_COSIZE";
inline constexpr std::string_view STORE_DICT_RESUME_ENLEVEL = "STORE_DICT_RESUME_ENLEVEL";
inline constexpr std::string_view STORE_DICT_RESUME_ENTRYTIME = "STORE_DICT_RESUME_ENTRYTIME";
inline constexpr std::string_view STORE_DICT_RESUME_FORLANG = "STORE_DICT_RESUME_FORLANG";
inline constexpr std::string_view STORE_DICT_RESUME_GENDER = "STORE_DICT_RESUME_GENDER";
inline constexpr std::string_view STORE_DICT_RESUME_HUKOU = "STORE_DICT_RESUME_HUKOU";
inline constexpr std::string_view STORE_DICT_RESUME_JPLEVEL = "STORE_DICT_RESUME_JPLEVEL";
inline constexpr std::string_view STORE_DICT_RESUME_LOCATION = "STORE_DICT_RESUME_LOCATION";
inline constexpr std::string_view STORE_DICT_RESUME_MAJOR = "STORE_DICT_RESUME_MAJOR";
inline constexpr std::string_view STORE_DICT_RESUME_MOBILEAREA = "STORE_DICT_RESUME_MOBILEAREA";
inline constexpr std::string_view STORE_DICT_RESUME_OVERSEAS = "STORE_DICT_RESUME_OVERSEAS";
inline constexpr std::string_view STORE_DICT_RESUME_RESUME_DEGREE = "STORE_DICT_RESUME_RESUME_DEGREE";
inline constexpr std::string_view STORE_DICT_RESUME_SHOWRESUME = "STORE_DICT_RESUME_SHOWRESUME";
inline constexpr std::string_view STORE_DICT_RESUME_SITUATION = "STORE_DICT_RESUME_SITUATION";
inline constexpr std::string_view STORE_DICT_RESUME_YEARSALARY = "STORE_DICT_RESUME_YEARSALARY";
inline constexpr std::string_view STORE_DICT_SALARY_AREA = "STORE_DICT_SALARY_AREA";
inline constexpr std::string_view STORE_DICT_SALARY_FUNTYPE = "STORE_DICT_SALARY_FUNTYPE";
inline constexpr std::string_view STORE_DICT_SALARY_INDTYPE = "STORE_DICT_SALARY_INDTYPE";

}  // namespace kavro
