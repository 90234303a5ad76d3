#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/api/ApiCampus.h"
#include "app/jobsearch/CompanyAllJobsController.h"

namespace kavro {

// All jobs of a campus company group (the group id is idForAllJobs), filtered by the group's
// own area picker; every row shows its company. Main thread only.
class GroupAllJobsController : public CompanyAllJobsController {
 public:
  // 1: the group of a campus talk, 2: the group of a job.
  CampusGroupType groupType() const { return groupType_; }
  void setGroupType(CampusGroupType type) { groupType_ = type; }

 protected:
  std::string listTitle() const override;
  std::string baseTitle() const override { return listTitle(); }
  bool rowsShowCompany() const override { return true; }
  std::shared_ptr<DataLoadAndParser> loadPage(ListViewData& section) override;
  void openAreaPicker() override;
  std::string_view openDetailTrackingPoint() const override {
    return "TRACKING_CAMPUS_GROUPOTHERJOBS_OPENDETAIL";
  }
  void prepareSection(ListViewData& section) override;

 private:
  CampusGroupType groupType_ = CampusGroupType::Job;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  GroupAllJobsController() = default;
};

KAVRO_CLASS(GroupAllJobsController, CompanyAllJobsController);

}  // namespace kavro
