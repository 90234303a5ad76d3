#include <type_traits>

#include "app/jobmap/CustomMapMultiBubbleView.h"
#include "app/jobmap/JobAppleMapController.h"
#include "app/jobmap/JobAppleRouteController.h"
#include "app/jobmap/JobGeoMapController.h"
#include "app/jobmap/JobMapController.h"
#include "app/jobmap/JobMapSearchController.h"
#include "app/jobmap/JobMapSearchResultController.h"
#include "app/jobmap/JobSearchMapFilterController.h"
#include "app/jobmap/MapQueryParam.h"
#include "app/jobmap/MapViewData.h"
#include "app/jobmap/RewardView.h"

namespace kavro {
namespace {

// The map screens and their parts exist only as their factories make them: a constructor
// reachable from outside would let a half-made one (no init, no subviews, no registration) compile.
static_assert(!std::is_default_constructible_v<JobMapController>);
static_assert(!std::is_default_constructible_v<JobMapSearchController>);
static_assert(!std::is_default_constructible_v<JobGeoMapController>);
static_assert(!std::is_default_constructible_v<JobAppleMapController>);
static_assert(!std::is_default_constructible_v<JobGeoRouteController>);
static_assert(!std::is_default_constructible_v<JobAppleRouteController>);
static_assert(!std::is_default_constructible_v<JobMapSearchResultController>);
static_assert(!std::is_default_constructible_v<JobSearchMapFilterController>);
static_assert(!std::is_default_constructible_v<MapQueryParam>);
static_assert(!std::is_default_constructible_v<MapViewData>);
static_assert(!std::is_default_constructible_v<RewardView>);
static_assert(!std::is_constructible_v<CustomMapMultiBubbleView, platform::Rect>);

}  // namespace
}  // namespace kavro
