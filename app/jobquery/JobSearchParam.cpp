#include "app/jobquery/JobSearchParam.h"

#include <string>
#include <utility>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/LocationUtil.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/core/StringAppend.h"
#include "kit/core/StringCheck.h"
#include "kit/core/StringMisc.h"
#include "platform/foundation/Format.h"

namespace kavro {

namespace {

constexpr std::string_view FormDataKey = "formData";
constexpr std::string_view TitleSeparator = " + ";
constexpr std::int64_t SearchHistoryKept = 200;
constexpr std::int64_t SearchHistoryShown = 5;
constexpr std::int64_t KeywordsHistoryKept = 400;
constexpr std::int64_t KeywordsHistoryShown = 10;

// Cell classes of the history rows, by name until rows can hold the classes themselves.
constexpr std::string_view TitleFullValueCell = "TitleFullValueCell";
constexpr std::string_view TitleValueCell = "TitleValueCell";
constexpr std::string_view EmptyTipsCell = "EmptyTipsCell";
constexpr std::int64_t AccessoryDisclosureIndicator = 1;
constexpr std::string_view HistoryTitleSkin = "@job_related@jobsearch_history_cell_title";
constexpr std::string_view HistoryValueSkin = "@job_related@jobsearch_history_cell_value";

struct Area {
  std::string code;
  std::string name;
};

// The area a search runs in when the user chose none: the default area of the "job" location type
// (the user's choice, else the located area, else the shipped default).
Area defaultJobArea() {
  auto area = LocationUtil::defaultLocationForType("job");
  return {area->getString("code"), area->getString("value")};
}

void trimInPlace(std::string& s) { s = str::trim(s); }

bool legal(std::string_view code) { return str::isGeneralLegalDictCode(code); }

// The text of a filter whose code is set, else "no limit".
std::string filterText(const std::string& code, const std::string& text) {
  if (!code.empty() && !text.empty()) return text;
  return AppCoreInfo::getLocalizedString("searchparam_no_limimt");
}

std::shared_ptr<DataItemResult> withPlaceholder(std::shared_ptr<DataItemResult> result,
                                                std::string_view title) {
  if (result->count() == 0) {
    auto row = DataItemDetail::newDetail();
    row->setString(EmptyTipsCell, DataItemDetail::keyCellClass());
    row->setTableCellIsEmpty(true);
    if (!title.empty()) row->setItemTitle(title);
    result->addItem(row);
  }
  result->setHasError(false);
  return result;
}

}  // namespace

std::shared_ptr<JobSearchParam> JobSearchParam::createFromDetail(const DataItemDetail* detail) {
  auto param = create();
  param->fromDetail(detail);
  return param;
}

// ---- Work area and display texts ----

std::string JobSearchParam::getJobArea() {
  if (!jobarea_.empty()) return jobarea_;
  Area area = defaultJobArea();
  text_jobarea_ = std::move(area.name);
  return area.code;
}

std::string JobSearchParam::getText_jobarea() {
  if (!jobarea_.empty() && !text_jobarea_.empty()) return text_jobarea_;
  Area area = defaultJobArea();
  jobarea_ = std::move(area.code);
  return area.name;
}

std::string JobSearchParam::getText_functype() const {
  if (legal(functype_) && !text_functype_.empty()) return text_functype_;
  return AppCoreInfo::getLocalizedString("searchparam_functype_no_limimt");
}

std::string JobSearchParam::getText_indtype() const {
  if (legal(indtype_) && !text_indtype_.empty()) return text_indtype_;
  return AppCoreInfo::getLocalizedString("searchparam_indtype_no_limimt");
}

std::string JobSearchParam::getText_issuedate() const {
  if (!issuedate_.empty() && !text_issuedate_.empty()) return text_issuedate_;
  return AppCoreInfo::getLocalizedString("searchparam_issuedate_no_limit");
}

std::string JobSearchParam::getText_landmark() const { return filterText(landmark_, text_landmark_); }
std::string JobSearchParam::getText_workyear() const { return filterText(workyear_, text_workyear_); }
std::string JobSearchParam::getText_degree() const { return filterText(degree_, text_degree_); }
std::string JobSearchParam::getText_salary() const { return filterText(salary_, text_salary_); }
std::string JobSearchParam::getText_cosize() const { return filterText(cosize_, text_cosize_); }
std::string JobSearchParam::getText_cotype() const { return filterText(cotype_, text_cotype_); }
std::string JobSearchParam::getText_term() const { return filterText(term_, text_term_); }

// ---- Conditions and title ----

int JobSearchParam::countMajorTerms() {
  trimInPlace(keywords_);
  jobarea_ = str::trim(getJobArea());
  trimInPlace(functype_);
  trimInPlace(indtype_);
  return int{!keywords_.empty()} + int{legal(jobarea_)} + int{legal(functype_)} + int{legal(indtype_)};
}

bool JobSearchParam::hasValidFilters() const {
  if (!enableFilters_) return false;
  return legal(issuedate_) || !landmark_.empty() || legal(workyear_) || legal(degree_) || legal(cotype_) ||
         legal(cosize_) || legal(salary_) || !term_.empty();
}

std::string JobSearchParam::searchTitle() {
  std::string title;
  trimInPlace(keywords_);
  if (!keywords_.empty()) {
    str::appendString(
        title,
        platform::format(AppCoreInfo::getLocalizedString("jobsearch_param_keywords_format__at"), keywords_),
        TitleSeparator);
  }
  text_jobarea_ = str::trim(getText_jobarea());
  jobarea_ = getJobArea();
  if (legal(jobarea_)) str::appendString(title, text_jobarea_, TitleSeparator);
  if (!homeSearch_) {
    for (auto [code, text] : {std::pair{&functype_, &text_functype_}, std::pair{&indtype_, &text_indtype_},
                              std::pair{&issuedate_, &text_issuedate_}}) {
      trimInPlace(*text);
      if (legal(*code)) str::appendString(title, *text, TitleSeparator);
    }
  }
  if (!enableFilters_) return title;
  trimInPlace(text_landmark_);
  if (!landmark_.empty()) str::appendString(title, text_landmark_, TitleSeparator);
  return searchCommonTitle(title);
}

std::string& JobSearchParam::searchCommonTitle(std::string& title) {
  for (auto [code, text] : {std::pair{&workyear_, &text_workyear_}, std::pair{&degree_, &text_degree_},
                            std::pair{&salary_, &text_salary_}, std::pair{&cosize_, &text_cosize_},
                            std::pair{&cotype_, &text_cotype_}}) {
    trimInPlace(*text);
    if (legal(*code)) str::appendString(title, *text, TitleSeparator);
  }
  trimInPlace(text_term_);
  if (!term_.empty()) str::appendString(title, text_term_, TitleSeparator);
  return title;
}

// ---- Request ----

std::string JobSearchParam::buildJobSearchURL() {
  std::string url = "job/search_job_list.php?";
  // Every value is trimmed and kept so, and escaped whole: a "," between several codes, or an "&"
  // in a keyword, must not split the query.
  auto add = [&url](std::string_view name, std::string& value) {
    trimInPlace(value);
    if (value.empty()) return;
    url.append("&").append(name).append("=").append(str::urlEncoding(value));
  };
  trimInPlace(postchannel_);
  url.append("postchannel=").append(str::urlEncoding(postchannel_.empty() ? OrdinaryChannel : postchannel_));
  add("keyword", keywords_);
  if (!keywords_.empty()) {
    KeywordType type = keywordtype_ == KeywordType::FullText || keywordtype_ == KeywordType::CompanyName
                           ? keywordtype_
                           : KeywordType::JobName;
    url.append("&keywordtype=").append(std::to_string(ToInt(type)));
  }
  jobarea_ = getJobArea();
  add("jobarea", jobarea_);
  if (!homeSearch_) {
    add("indtype", indtype_);
    add("funtype", functype_);
  }
  if (!homeSearch_ || enableFilters_) add("issuedate", issuedate_);
  if (enableFilters_) {
    add("landmark", landmark_);
    add("workyear", workyear_);
    add("degree", degree_);
    add("saltype", salary_);
    add("cosize", cosize_);
    add("cotype", cotype_);
    add("jobterm", term_);
  }
  url.append("&pagesize=").append(std::to_string(pageSize_));
  url.append("&pageno=").append(std::to_string(pageAt_));
  return url;
}

// ---- Record form ----

std::shared_ptr<DataItemDetail> JobSearchParam::toDetail() const {
  auto d = DataItemDetail::newDetail();
  d->setString(postchannel_, "postchannel");
  d->setString(keywords_, "keywords");
  d->setString(jobarea_, "jobarea");
  // With its text, even for a home quick search: without it, a re-run would take the default area
  // in place of the stored code.
  d->setString(text_jobarea_, "text_jobarea");
  if (!homeSearch_) {
    d->setString(functype_, "functype");
    d->setString(issuedate_, "issuedate");
    d->setString(indtype_, "indtype");
    d->setString(workyear_, "workyear");
    d->setString(degree_, "degree");
    d->setString(cotype_, "cotype");
    d->setString(salary_, "salary");
    d->setString(cosize_, "cosize");
    d->setString(term_, "term");
    d->setString(landmark_, "landmark");
    d->setString(text_functype_, "text_functype");
    d->setString(text_issuedate_, "text_issuedate");
    d->setString(text_indtype_, "text_indtype");
    d->setString(text_workyear_, "text_workyear");
    d->setString(text_degree_, "text_degree");
    d->setString(text_salary_, "text_salary");
    d->setString(text_cosize_, "text_cosize");
    d->setString(text_cotype_, "text_cotype");
    d->setString(text_term_, "text_term");
    d->setString(text_landmark_, "text_landmark");
    d->setBool(enableFilters_, "enableFilters");
  }
  d->setInt(ToInt(keywordtype_), "keywordtype");
  return d;
}

bool JobSearchParam::fromDetail(const DataItemDetail* detail) {
  if (!detail) return false;
  const DataItemDetail& d = *detail;
  postchannel_ = d.getString("postchannel");
  keywords_ = d.getString("keywords");
  jobarea_ = d.getString("jobarea");
  functype_ = d.getString("functype");
  indtype_ = d.getString("indtype");
  issuedate_ = d.getString("issuedate");
  landmark_ = d.getString("landmark");
  workyear_ = d.getString("workyear");
  degree_ = d.getString("degree");
  salary_ = d.getString("salary");
  cosize_ = d.getString("cosize");
  cotype_ = d.getString("cotype");
  term_ = d.getString("term");
  text_jobarea_ = d.getString("text_jobarea");
  text_functype_ = d.getString("text_functype");
  text_indtype_ = d.getString("text_indtype");
  text_issuedate_ = d.getString("text_issuedate");
  text_landmark_ = d.getString("text_landmark");
  text_workyear_ = d.getString("text_workyear");
  text_degree_ = d.getString("text_degree");
  text_salary_ = d.getString("text_salary");
  text_cosize_ = d.getString("text_cosize");
  text_cotype_ = d.getString("text_cotype");
  text_term_ = d.getString("text_term");
  enableFilters_ = d.getBool("enableFilters");
  keywordtype_ = KeywordTypeFromInt(static_cast<std::int32_t>(d.getInt("keywordtype")));
  pageAt_ = 1;
  pageSize_ = 10;
  return true;
}

// ---- Search form ----

std::string JobSearchParam::getFormCacheType() const {
  return std::string(isCampusParam() ? STORE_CACHE_CAMPUS_JOBSEARCH_FORM : STORE_CACHE_JOBSEARCH_FORM);
}

bool JobSearchParam::saveFormData() { return saveForm(*toDetail()); }

bool JobSearchParam::saveForm(const DataItemDetail& form) {
  return AppCoreInfo::getCacheDB()->saveItemCache(getFormCacheType(), FormDataKey, form);
}

bool JobSearchParam::restoreFormData() {
  auto form = AppCoreInfo::getCacheDB()->getItemCache(getFormCacheType(), FormDataKey);
  return form && fromDetail(form.get());
}

bool JobSearchParam::removeFormData() {
  return AppCoreInfo::getCacheDB()->clearItemDataType(getFormCacheType(), FormDataKey, 0);
}

// ---- Recent searches ----

std::string JobSearchParam::getCurrentCacheType() const {
  return std::string(isCampusParam() ? STORE_CACHE_CAMPUS_JOBSEARCH_HISTORY : STORE_CACHE_JOBSEARCH_HISTORY);
}

std::string JobSearchParam::getCurrentCacheKey() {
  std::string key = isCampusParam() ? "campus:" : "normal:";
  key += str::md5(searchTitle()).value_or("");
  return key;
}

bool JobSearchParam::saveToSearchHistory(std::int64_t count) {
  // Searches with filters are neither remembered nor counted in the keyword history.
  if (countMajorTerms() < 1 || enableFilters_) return false;
  auto db = AppCoreInfo::getCacheDB();
  // Every page received files the search: the entry and its keyword go to the store together, one
  // transaction.
  const bool batched = db->begin();
  auto entry = toDetail();
  saveKeywordsHistory(keywords_);

  const std::string type = getCurrentCacheType();
  db->removeInvalidItems(db->TABLE_BIN_VALUE(), type);
  db->keepItemsWithOnlyNewest(db->TABLE_BIN_VALUE(), type, SearchHistoryKept);
  entry->setInt(count, JobSearchParamCountKey);
  // A new row, so that the same search saved again within the same second still becomes the
  // newest entry.
  bool saved = db->saveItemCacheAsNewest(type, getCurrentCacheKey(), *entry);
  if (batched && !db->commit()) {
    db->rollback();
    saved = false;
  }
  return saved;
}

std::shared_ptr<DataItemResult> JobSearchParam::getSearchHistory() const {
  auto db = AppCoreInfo::getCacheDB();
  auto result = db->getNewestItemCacheList(db->TABLE_BIN_VALUE(), getCurrentCacheType(), SearchHistoryShown);
  for (const auto& row : result->dataList()) {
    row->setCellAccessoryType(AccessoryDisclosureIndicator);
    row->setString(TitleFullValueCell, DataItemDetail::keyCellClass());
    row->setItemTitle(createFromDetail(row.get())->searchTitle());
    row->setTitleSkin(HistoryTitleSkin);
    row->setItemValue(
        platform::format(AppCoreInfo::getLocalizedString("common_text_about_total_num_format__int"),
                         row->getInt(JobSearchParamCountKey)));
    row->setValueSkin(HistoryValueSkin);
  }
  return withPlaceholder(std::move(result), "");
}

bool JobSearchParam::removeSearchHistory() {
  return AppCoreInfo::getCacheDB()->clearItemDataType(getCurrentCacheType(), "", 0);
}

// ---- Keyword history ----

bool JobSearchParam::saveKeywordsHistory(std::string_view keyword) {
  std::string trimmed = str::trim(keyword);
  if (trimmed.empty()) return false;
  auto db = AppCoreInfo::getCacheDB();
  db->removeInvalidItems(db->TABLE_BIN_VALUE(), STORE_CACHE_KEYWORDS_HISTORY);
  db->keepItemsWithOnlyNewest(db->TABLE_BIN_VALUE(), STORE_CACHE_KEYWORDS_HISTORY, KeywordsHistoryKept);

  const std::string key = str::md5(trimmed).value_or("");
  auto record = db->getItemCache(STORE_CACHE_KEYWORDS_HISTORY, key);
  if (record) {
    record->setInt(record->getInt("times") + 1, "times");
  } else {
    record = DataItemDetail::newDetail();
    record->setInt(1, "times");
  }
  record->setString(trimmed, "keyword");
  return db->saveItemCacheAsNewest(STORE_CACHE_KEYWORDS_HISTORY, key, *record);
}

std::shared_ptr<DataItemResult> JobSearchParam::getKeywordsHistory() {
  auto db = AppCoreInfo::getCacheDB();
  auto result =
      db->getNewestItemCacheList(db->TABLE_BIN_VALUE(), STORE_CACHE_KEYWORDS_HISTORY, KeywordsHistoryShown);
  for (const auto& row : result->dataList()) {
    row->setCellAccessoryType(AccessoryDisclosureIndicator);
    row->setString(TitleValueCell, DataItemDetail::keyCellClass());
    row->setItemTitle(row->getString("keyword"));
    row->setTitleSkin(HistoryTitleSkin);
  }
  return withPlaceholder(std::move(result),
                         AppCoreInfo::getLocalizedString("job_associate_keyword_empty_tips"));
}

bool JobSearchParam::removeKeywordsHistory() {
  auto db = AppCoreInfo::getCacheDB();
  db->removeInvalidItems(db->TABLE_BIN_VALUE(), STORE_CACHE_KEYWORDS_HISTORY);
  return db->keepItemsWithOnlyNewest(db->TABLE_BIN_VALUE(), STORE_CACHE_KEYWORDS_HISTORY, 0);
}

}  // namespace kavro
