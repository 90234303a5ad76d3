#include "app/jobsearch/JobSearchResultEmptyCell.h"

#include "app/jobsearch/JobSearchResultController.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/LabelExt.h"
#include "kit/ui/ListView.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

namespace {
std::shared_ptr<JobSearchResultController> screenOf(const DataTableCell& cell) {
  auto list = cell.listView();
  return list ? std::dynamic_pointer_cast<JobSearchResultController>(list->ctrl()) : nullptr;
}
}  // namespace

void JobSearchResultEmptyCell::initCellView() {
  FullEmptyNotClickTableCell::initCellView();
  button_ = platform::Button::buttonWithType(platform::ButtonType::Custom, platform::Rect(0, 0, 212, 40));
  AppSkin::apply(button_);
  std::weak_ptr<JobSearchResultEmptyCell> weak = sharedAs<JobSearchResultEmptyCell>();
  button_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto self = weak.lock()) self->buttonClicked();
  });
  addSubview(button_);
  label_->setTextAlignment(platform::TextAlignment::Left);
}

void JobSearchResultEmptyCell::bindCellData(bool reused) {
  label_->setHidden(true);
  FullEmptyNotClickTableCell::bindCellData(reused);
  label_->setHidden(false);
  AppSkin::apply(label_, "jobsearch_result_empty_detail", "job_related");
  AppSkin::apply(this, "jobsearch_result_empty_cell", "job_related");

  auto screen = screenOf(*this);
  auto list = listView();
  double width = listWidth();
  std::string suggestion = screen ? screen->suggestMessege() : std::string();
  label_->setFrame(platform::Rect(28, 0, width - 56, 10));
  label_->setNumberOfLines(0);
  label_->setText(suggestion.empty() ? AppCoreInfo::getLocalizedString("jobsearch_result_empty_tips_detail")
                                     : suggestion);
  label::autoFitHeight(*label_);
  double rowHeight = list ? fullHeight(*list, indexPath()) : 0;
  double labelHeight = label_->frame().size.height;
  double buttonHeight = button_->frame().size.height;
  double top = (rowHeight - labelHeight - 10 - buttonHeight) / 2;
  label_->setFrame(
      platform::Rect((width - label_->frame().size.width) / 2, top, label_->frame().size.width, labelHeight));

  bool filters = screen && screen->searchParam()->enableFilters();
  button_->setTitle(filters ? AppCoreInfo::getLocalizedString("jobsearch_result_empty_button_filter")
                            : AppCoreInfo::getLocalizedString("jobsearch_result_empty_button_back"));
  button_->setFrame(platform::Rect((width - 212) / 2, top + labelHeight + 10, 212, buttonHeight));
  bringSubviewToFront(button_.get());
}

void JobSearchResultEmptyCell::buttonClicked() {
  auto screen = screenOf(*this);
  if (!screen) return;
  if (screen->searchParam()->enableFilters()) {
    screen->filterClicked();
    return;
  }
  auto nav = screen->navigationController();
  if (!nav) return;
  // Opened from the home screen the list is the root of a modal navigation of its own.
  if (!nav->viewControllers().empty() &&
      std::dynamic_pointer_cast<JobSearchResultController>(nav->viewControllers().front()))
    nav->dismissViewControllerAnimated(true);
  else
    nav->popViewControllerAnimated(true);
}

}  // namespace kavro
