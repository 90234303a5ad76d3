#pragma once
#include <memory>

#include "app/jobsearch/JobSearchResultController.h"

namespace kavro {

// The results of a search by major: the job result list, told apart by its class (its rows
// count their ticks under the campus tracking point).
class MajorSearchResultController : public JobSearchResultController {
 public:
  static std::shared_ptr<MajorSearchResultController> initWithParam(std::shared_ptr<JobSearchParam> param) {
    return JobSearchResultController::initWithParam<MajorSearchResultController>(std::move(param));
  }

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  MajorSearchResultController() = default;
};

KAVRO_CLASS(MajorSearchResultController, JobSearchResultController);

}  // namespace kavro
