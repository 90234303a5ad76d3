#include "app/jobmap/JobMapSearchCell.h"

#include "kit/skin/AppSkin.h"

namespace kavro {

void JobMapSearchCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::DisclosureIndicator);
  AppSkin::apply(textLabel(), "jobsearch_param_title", "job_related");
  AppSkin::apply(detailTextLabel(), "jobsearch_param_value", "job_related");
}

void JobMapSearchCell::bindCellData(bool) {
  const auto& d = detail();
  textLabel()->setText(d ? d->getItemTitle() : std::string());
  detailTextLabel()->setText(d ? d->getItemValue() : std::string());
}

}  // namespace kavro
