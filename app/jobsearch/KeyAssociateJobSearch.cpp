#include "app/jobsearch/KeyAssociateJobSearch.h"

#include <array>

#include "app/api/ApiJob.h"
#include "app/jobsearch/EmptyTipsCell.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/TitleValueCell.h"
#include "platform/foundation/Format.h"
#include "platform/ui/Label.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace kavro {

namespace {
struct Segment {
  KeywordType keywordtype;
  std::string_view tracking;
};
constexpr std::array<Segment, 3> Segments{{
    {KeywordType::JobName, "TRACKING_JOBSEARCH_PROMPT_SEARCH_COMPANY"},
    {KeywordType::CompanyName, "TRACKING_JOBSEARCH_PROMPT_SEARCH_JOB"},
    {KeywordType::FullText, "TRACKING_JOBSEARCH_PROMPT_SEARCH_ALL"},
}};
}  // namespace

KeyAssociateJobSearch::KeyAssociateJobSearch(platform::Rect frame, std::shared_ptr<JobSearchParam> queryParam)
    : UIKeywordsAssociateView(frame), queryParam_(std::move(queryParam)) {}

KeyAssociateJobSearch::~KeyAssociateJobSearch() {
  if (list_) list_->stopLoading();
}

std::shared_ptr<KeyAssociateJobSearch> KeyAssociateJobSearch::initWithFrame(
    platform::Rect frame, std::shared_ptr<JobSearchParam> queryParam) {
  auto view = std::shared_ptr<KeyAssociateJobSearch>(new KeyAssociateJobSearch(frame, std::move(queryParam)));
  // The suggestions are a list of the house's own kind, so its rows draw with their own classes.
  view->list_ = ListView::plainListViewForDelegate(view);
  view->section_ = ListViewData::newDataOnListView(*view->list_, platform::classFor<TitleValueCell>());
  view->UIKeywordsAssociateView::initWithFrame();
  view->associateView()->setHidden(true);
  auto watcher = std::make_shared<platform::TapGestureRecognizer>();
  watcher->setDelegate(view);
  view->list_->addGestureRecognizer(watcher);
  view->lastKeywordType_ = view->queryParam_->keywordtype();
  view->list_->setFrame(platform::Rect(0, StripHeight, frame.size.width, frame.size.height - StripHeight));
  view->addSubview(view->list_);
  view->initSegmentControl();
  return view;
}

void KeyAssociateJobSearch::initSegmentControl() {
  categoryBackView_ = std::make_shared<platform::View>(platform::Rect(0, 0, frame().size.width, StripHeight));
  segmentedControl_ = UIKavroSearchCategoryControl::create(
      platform::Rect(10, 0, 300, StripHeight),
      {AppCoreInfo::getLocalizedString("job_associate_keyword_type_job_name"),
       AppCoreInfo::getLocalizedString("job_associate_keyword_type_company_name"),
       AppCoreInfo::getLocalizedString("job_associate_keyword_type_full_text")},
      sharedAs<KeyAssociateJobSearch>());
  categoryBackView_->addSubview(segmentedControl_);
  addSubview(categoryBackView_);
}

void KeyAssociateJobSearch::changeSkin() {
  UIKeywordsAssociateView::changeSkin();
  if (list_) AppSkin::apply(list_, "jobsearch_associate_tableview", "job_related");
  if (categoryBackView_)
    AppSkin::apply(categoryBackView_, "jobsearch_associate_categoryBackView", "job_related");
}

void KeyAssociateJobSearch::showKeywordType(KeywordType keywordtype) {
  for (std::size_t i = 0; i < Segments.size(); ++i)
    if (Segments[i].keywordtype == keywordtype && segmentedControl_)
      segmentedControl_->setSearchDefaultIndex(static_cast<int>(i));
}

void KeyAssociateJobSearch::selectedItemWithIndex(int index) {
  if (index >= 0 && static_cast<std::size_t>(index) < Segments.size()) {
    queryParam_->setKeywordtype(Segments[static_cast<std::size_t>(index)].keywordtype);
    AppTracking::record(Segments[static_cast<std::size_t>(index)].tracking);
  }
  startFetchNewAssociateKeywords();
}

void KeyAssociateJobSearch::startFetchNewAssociateKeywords() {
  if (loadingKeyword().empty()) return;
  if (loadingKeyword() == lastKeyword() && lastKeywordType_ == queryParam_->keywordtype()) return;
  lastKeywordType_ = queryParam_->keywordtype();
  setLastKeyword(loadingKeyword());
  if (associateLoader()) associateLoader()->stopLoading();
  setAssociateLoader(
      ApiJob::associate_keyword(lastKeyword(), lastKeywordType_, sharedAs<KeyAssociateJobSearch>()));
}

void KeyAssociateJobSearch::replaceRows(const DataItemResult& rows) {
  auto& data = *section_->listData();
  data.clear();
  for (const auto& row : rows.dataList()) data.addItem(row);
  data.setMaxCount(static_cast<std::uint32_t>(data.count()));
}

void KeyAssociateJobSearch::dataLoader(DataLoadAndParser& loader, const DataItemResult& result) {
  // Only the loader of the newest question may answer; an earlier one was stopped for a reason.
  if (&loader != associateLoader().get()) return;
  auto keep = loader.shared_from_this();
  setAssociateLoader(nullptr);
  section_->setTitle(AppCoreInfo::getLocalizedString("job_associate_title_related"));
  if (!result.isValidListData()) {
    showNoResults();
    return;
  }
  for (const auto& row : result.dataList()) {
    row->setItemTitle(row->getString("keyword"));
    row->setTitleSkin("@job_related@jobsearch_history_cell_title");
    row->setItemValue(platform::format(AppCoreInfo::getLocalizedString("common_text_about_num_format__int"),
                                       row->getInt("count")));
    row->setValueSkin("@job_related@jobsearch_history_cell_value");
    row->setCellClass(platform::classFor<TitleValueCell>());
    row->setCellAccessoryType(1);
  }
  section_->setTag(Suggestions);
  replaceRows(result);
  refreshAssociateView();
}

void KeyAssociateJobSearch::showNoResults() {
  section_->setTag(NoMatch);
  auto rows = DataItemResult::create();
  auto row = DataItemDetail::newDetail();
  row->setItemTitle(AppCoreInfo::getLocalizedString("job_associate_empty_matched"));
  row->setCellClass(platform::classFor<EmptyTipsCell>());
  row->setTableCellIsEmpty(true);
  rows->addItem(row);
  replaceRows(*rows);
  refreshAssociateView();
}

void KeyAssociateJobSearch::showEmptyKeywords() {
  // The base asks once before this object has its list.
  if (!section_) return;
  section_->setTag(History);
  section_->setTitle(AppCoreInfo::getLocalizedString("job_associate_title_history"));
  replaceRows(*JobSearchParam::getKeywordsHistory());
  refreshAssociateView();
}

void KeyAssociateJobSearch::refreshAssociateView() {
  list_->setTableFooterView(getFooterView());
  list_->setTableHeaderView(getHeaderView());
  auto history = JobSearchParam::getKeywordsHistory();
  auto first = history->getItem(0);
  bool empty = !first || first->getTableCellIsEmpty();
  clearHistoryButton_->setEnabled(!empty);
  AppSkin::apply(clearHistoryButton_,
                 empty ? "jobsearch_associate_close_button_disabled" : "jobsearch_associate_close_button",
                 "job_related");
  list_->reloadData();
}

std::shared_ptr<platform::View> KeyAssociateJobSearch::getHeaderView() {
  double width = list_->frame().size.width;
  auto header = std::make_shared<platform::View>(platform::Rect(0, 0, width, 40));
  auto label = std::make_shared<platform::Label>(platform::Rect(10, 10, width - 40, 20));
  label->setTextAlignment(platform::TextAlignment::Left);
  label->setBackgroundColor(platform::Color::clear());
  label->setText(section_->title());
  AppSkin::apply(label, "skinTableTitle", {});
  header->addSubview(label);
  auto line = std::make_shared<platform::View>(platform::Rect(0, 40, width, 1));
  line->setBorderWidth(1);
  if (list_->separatorColor()) line->setBorderColor(*list_->separatorColor());
  header->addSubview(line);
  return header;
}

std::shared_ptr<platform::View> KeyAssociateJobSearch::getFooterView() {
  double width = list_->frame().size.width;
  auto footer = std::make_shared<platform::View>(platform::Rect(0, 0, width, 70));
  std::weak_ptr<KeyAssociateJobSearch> weak = sharedAs<KeyAssociateJobSearch>();
  double left = ((width - 10) - 200) / 2;
  clearHistoryButton_ = createFooterButton(platform::Rect(left, 10, 120, 50),
                                           AppCoreInfo::getLocalizedString("job_associate_clear"), [weak] {
                                             if (auto self = weak.lock()) self->clearHistory();
                                           });
  auto close = createFooterButton(platform::Rect(left + 130, 10, 80, 50),
                                  AppCoreInfo::getLocalizedString("job_associate_close"), [weak] {
                                    if (auto self = weak.lock()) self->closeAssociateView();
                                  });
  footer->addSubview(clearHistoryButton_);
  footer->addSubview(close);
  return footer;
}

std::shared_ptr<platform::ActionSheet> KeyAssociateJobSearch::clearHistorySheet(
    std::weak_ptr<platform::ActionSheetDelegate> delegate) {
  return std::make_shared<platform::ActionSheet>(
      AppCoreInfo::getLocalizedString("fans_myfolder_select_way"), std::move(delegate),
      AppCoreInfo::getLocalizedString("common_text_cancel"),
      AppCoreInfo::getLocalizedString("jobsearch_ask_clear_history"));
}

void KeyAssociateJobSearch::clearHistory() {
  clearHistorySheet(sharedAs<KeyAssociateJobSearch>())->showInView(*this);
}

void KeyAssociateJobSearch::clickedButtonAtIndex(platform::ActionSheet&, int buttonIndex) {
  if (buttonIndex != 0) return;
  JobSearchParam::removeKeywordsHistory();
  setLastKeyword("");
  showEmptyKeywords();
  AppTracking::record("TRACKING_JOBSEARCH_PROMPT_CLEAR_HISTORY");
}

bool KeyAssociateJobSearch::listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) {
  auto record = list.dataOfIndexPath(ip);
  // A tip row is no keyword.
  if (!record || record->getTableCellIsEmpty()) return true;
  auto keep = sharedAs<KeyAssociateJobSearch>();
  if (auto d = delegate().lock()) d->associateViewPicked(*this, *record);
  if (section_->tag() == Suggestions) AppTracking::record("TRACKING_JOBSEARCH_PROMPT_KEYWORD_ASSOCIATE");
  if (section_->tag() == History) AppTracking::record("TRACKING_JOBSEARCH_PROMPT_HISTORY_SEARCH");
  return true;
}

}  // namespace kavro
