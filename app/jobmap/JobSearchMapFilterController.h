#pragma once
#include <memory>

#include "app/jobmap/MapQueryParam.h"
#include "app/jobsearch/JobSearchFilterController.h"

namespace kavro {

// The map search's further filters: work years, degree, salary, company size and type, term.
// The choices are held apart until the user confirms them; leaving by the back button keeps the
// map's query as it was. Main thread only.
class JobSearchMapFilterController : public JobSearchFilterController {
 public:
  static constexpr int MapRowCount = 6;

  static std::shared_ptr<JobSearchMapFilterController> initWithParam(std::shared_ptr<MapQueryParam> param);

  void loadListView() override;
  void refreshList() override;
  void filterDone() override;
  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;
  void dictPicker(DictPickerController& picker, const std::shared_ptr<DataItemDetail>& data) override;
  // Copies the six choices into the map's query and stores its form.
  void saveFromData();

  const std::shared_ptr<MapQueryParam>& mapQueryTempParam() const { return mapQueryTempParam_; }

 private:
  std::shared_ptr<MapQueryParam> mapQueryTempParam_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  JobSearchMapFilterController() = default;
};

KAVRO_CLASS(JobSearchMapFilterController, JobSearchFilterController);

}  // namespace kavro
