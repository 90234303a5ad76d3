#include <memory>
#include <string>
#include <type_traits>

#include "app/jobsearch/CompanyDetailHeaderView.h"
#include "app/jobsearch/JobDetailHeaderView.h"
#include "app/jobsearch/JobDetailView.h"
#include "app/jobsearch/JobOperateUtil.h"
#include "app/jobsearch/KeyAssociateJobSearch.h"

namespace kavro {
namespace {

// Job pages, their headers, the keyword drop-down and the job operations exist only as their
// factories make them (set up, wired to their subviews and delegates).
static_assert(!std::is_constructible_v<JobDetailView, platform::Rect>);
static_assert(!std::is_default_constructible_v<JobDetailHeaderView>);
static_assert(!std::is_default_constructible_v<CompanyDetailHeaderView>);
static_assert(
    !std::is_constructible_v<KeyAssociateJobSearch, platform::Rect, std::shared_ptr<JobSearchParam>>);
static_assert(!std::is_constructible_v<JobOperateUtil, std::string, std::weak_ptr<JobOperateUtilDelegate>>);

}  // namespace
}  // namespace kavro
