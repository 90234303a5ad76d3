#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/jobquery/KeywordType.h"
#include "kit/core/DataItemDetail.h"
#include "kit/core/DataItemResult.h"
#include "platform/foundation/Object.h"

namespace kavro {

// One job search: the conditions the user chose (each a dictionary code with its display text; a
// multiple choice keeps its codes and texts joined by ","), the keyword and what it is matched
// against, the channel (ordinary or campus jobs) and the paging position. It builds the request of
// the search, names the search on screen and in the history, converts to and from its record form,
// and owns the stored last form, the recent searches and the keyword history (all in the cache
// store).
//
// The screens of one search share one instance. Reading operations complete the fields they read:
// they store trimmed values back and fill in the default work area when none was chosen, and the
// screens rely on finding them so afterwards. A code made of "0"s only means "no limit": it is sent,
// but never counted or shown. The map search's query derives from this class and replaces the
// request and the form operations. Main thread only.
class JobSearchParam : public platform::Object {
 public:
  // Channels.
  static constexpr std::string_view OrdinaryChannel = "0000";
  static constexpr std::string_view CampusChannel = "0100";
  // A recent-search entry's number of matching jobs, as the server reported it.
  static constexpr std::string_view JobSearchParamCountKey = "<&JobSearchParamCountKey&>";

  ~JobSearchParam() override = default;
  static std::shared_ptr<JobSearchParam> create() {
    return std::shared_ptr<JobSearchParam>(new JobSearchParam());
  }
  // A new query holding the record's search (see fromDetail()).
  static std::shared_ptr<JobSearchParam> createFromDetail(const DataItemDetail* detail);

  // The chosen work area's code; without one, the default area's code, whose name then goes into
  // the area text (the area code itself stays empty).
  std::string getJobArea();
  // The chosen area's text when code and text are both known; otherwise the default area's name,
  // whose code then replaces the area code.
  std::string getText_jobarea();
  // The display texts of the conditions, or the localised "no limit" text.
  std::string getText_functype() const;
  std::string getText_indtype() const;
  std::string getText_issuedate() const;
  std::string getText_landmark() const;
  std::string getText_workyear() const;
  std::string getText_degree() const;
  std::string getText_salary() const;
  std::string getText_cosize() const;
  std::string getText_cotype() const;
  std::string getText_term() const;

  // How many of keyword, work area, job function and industry limit the search (0 to 4).
  int countMajorTerms();
  // The filters are on and one of them limits the search.
  bool hasValidFilters() const;
  // The conditions' texts joined by " + ".
  std::string searchTitle();
  // Appends the texts of work experience, education, salary, company size, company type and job
  // term to title (same separator) and returns it.
  std::string& searchCommonTitle(std::string& title);
  // The search request, relative to the service root: path and URL-encoded parameters.
  virtual std::string buildJobSearchURL();

  // The record form. A home quick search keeps channel, keyword, keyword type and area only.
  std::shared_ptr<DataItemDetail> toDetail() const;
  // Takes every stored field of the record, resetting paging; false (nothing changes) for none.
  bool fromDetail(const DataItemDetail* detail);

  // The last search form of the current channel (a subclass keeps its own: getFormCacheType()).
  bool saveFormData();
  bool restoreFormData();
  bool removeFormData();

  bool isCampusParam() const { return postchannel_ == CampusChannel; }
  // The recent-search store of the current channel, and this search's key in it.
  std::string getCurrentCacheType() const;
  std::string getCurrentCacheKey();
  // Files the search (and its keyword) with the number of jobs found. Searches without a major
  // term, and searches with filters on, are not remembered.
  bool saveToSearchHistory(std::int64_t count);
  // The newest recent searches as list rows; one empty-tip row when there is none.
  std::shared_ptr<DataItemResult> getSearchHistory() const;
  bool removeSearchHistory();

  // The keyword history, one list for both channels.
  static bool saveKeywordsHistory(std::string_view keyword);
  static std::shared_ptr<DataItemResult> getKeywordsHistory();
  static bool removeKeywordsHistory();

  // ---- Fields ----
  const std::string& postchannel() const { return postchannel_; }
  void setPostchannel(std::string_view value) { postchannel_ = value; }
  const std::string& keywords() const { return keywords_; }
  void setKeywords(std::string_view value) { keywords_ = value; }
  KeywordType keywordtype() const { return keywordtype_; }
  void setKeywordtype(KeywordType value) { keywordtype_ = value; }
  // Read through getJobArea().
  void setJobarea(std::string_view value) { jobarea_ = value; }
  const std::string& functype() const { return functype_; }
  void setFunctype(std::string_view value) { functype_ = value; }
  const std::string& indtype() const { return indtype_; }
  void setIndtype(std::string_view value) { indtype_ = value; }
  const std::string& issuedate() const { return issuedate_; }
  void setIssuedate(std::string_view value) { issuedate_ = value; }
  const std::string& landmark() const { return landmark_; }
  void setLandmark(std::string_view value) { landmark_ = value; }
  const std::string& workyear() const { return workyear_; }
  void setWorkyear(std::string_view value) { workyear_ = value; }
  const std::string& degree() const { return degree_; }
  void setDegree(std::string_view value) { degree_ = value; }
  const std::string& salary() const { return salary_; }
  void setSalary(std::string_view value) { salary_ = value; }
  const std::string& cosize() const { return cosize_; }
  void setCosize(std::string_view value) { cosize_ = value; }
  const std::string& cotype() const { return cotype_; }
  void setCotype(std::string_view value) { cotype_ = value; }
  const std::string& term() const { return term_; }
  void setTerm(std::string_view value) { term_ = value; }
  // The texts are read through their getText_...() operations.
  void setText_jobarea(std::string_view value) { text_jobarea_ = value; }
  void setText_functype(std::string_view value) { text_functype_ = value; }
  void setText_indtype(std::string_view value) { text_indtype_ = value; }
  void setText_issuedate(std::string_view value) { text_issuedate_ = value; }
  void setText_landmark(std::string_view value) { text_landmark_ = value; }
  void setText_workyear(std::string_view value) { text_workyear_ = value; }
  void setText_degree(std::string_view value) { text_degree_ = value; }
  void setText_salary(std::string_view value) { text_salary_ = value; }
  void setText_cosize(std::string_view value) { text_cosize_ = value; }
  void setText_cotype(std::string_view value) { text_cotype_ = value; }
  void setText_term(std::string_view value) { text_term_ = value; }
  bool enableFilters() const { return enableFilters_; }
  void setEnableFilters(bool value) { enableFilters_ = value; }
  bool homeSearch() const { return homeSearch_; }
  void setHomeSearch(bool value) { homeSearch_ = value; }
  std::int32_t pageAt() const { return pageAt_; }
  void setPageAt(std::int32_t value) { pageAt_ = value; }
  std::int32_t pageSize() const { return pageSize_; }
  void setPageSize(std::int32_t value) { pageSize_ = value; }

 private:
  bool saveForm(const DataItemDetail& form);

  std::string postchannel_{OrdinaryChannel};
  std::string keywords_;
  KeywordType keywordtype_ = KeywordType::JobName;
  std::string jobarea_;
  std::string functype_;
  std::string indtype_;
  std::string issuedate_;
  std::string landmark_;
  std::string workyear_;
  std::string degree_;
  std::string salary_;
  std::string cosize_;
  std::string cotype_;
  std::string term_;
  std::string text_jobarea_;
  std::string text_functype_;
  std::string text_indtype_;
  std::string text_issuedate_;
  std::string text_landmark_;
  std::string text_workyear_;
  std::string text_degree_;
  std::string text_salary_;
  std::string text_cosize_;
  std::string text_cotype_;
  std::string text_term_;
  bool enableFilters_ = false;
  bool homeSearch_ = false;
  std::int32_t pageAt_ = 1;
  std::int32_t pageSize_ = 10;

 protected:
  JobSearchParam() = default;
  // The store data type of the last form.
  virtual std::string getFormCacheType() const;
};

}  // namespace kavro
