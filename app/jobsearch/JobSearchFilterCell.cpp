#include "app/jobsearch/JobSearchFilterCell.h"

#include "app/jobsearch/JobSearchFilterController.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"

namespace kavro {

void JobSearchFilterCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::DisclosureIndicator);
  AppSkin::apply(textLabel(), "jobsearch_param_title", "job_related");
  AppSkin::apply(detailTextLabel(), "jobsearch_param_value", "job_related");
}

void JobSearchFilterCell::bindCellData(bool) {
  const auto& d = detail();
  textLabel()->setText(d ? d->getItemTitle() : std::string());
  std::string value = d ? d->getItemValue() : std::string();
  auto list = listView();
  auto filter = list ? std::dynamic_pointer_cast<JobSearchFilterController>(list->ctrl()) : nullptr;
  if (d && d->getTableCellTag() == 0 && filter && !filter->enablelandmarks())
    value = AppCoreInfo::getLocalizedString("searchfilter_not_landmark");
  detailTextLabel()->setText(value);
}

}  // namespace kavro
