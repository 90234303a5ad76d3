#pragma once
#include <memory>

#include "app/jobsearch/JobSearchResultController.h"

namespace kavro {

// The results of a search by major: the job result list, whose rows count their ticks under the
// campus tracking point.
class MajorSearchResultController : public JobSearchResultController {
 public:
  static std::shared_ptr<MajorSearchResultController> initWithParam(std::shared_ptr<JobSearchParam> param) {
    return JobSearchResultController::initWithParam<MajorSearchResultController>(std::move(param));
  }
  std::string_view jobSelectTrackingPoint() const override {
    return "TRACKING_CAMPUS_MAJORSEARCHRESULT_JOBSELECT";
  }

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  MajorSearchResultController() = default;
};

KAVRO_CLASS(MajorSearchResultController, JobSearchResultController);

}  // namespace kavro
