#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/api/ApiCampus.h"
#include "app/campus/CampusFactsController.h"
#include "app/jobsearch/CompanyDetailHeaderView.h"
#include "kit/ui/AppControllers.h"

namespace kavro {

// The company group screen of campus recruiting: the group's facts from the server. The job detail
// page opens it (through FeatureScreens) with group type 2. Main thread only.
class CampusGroupDetailController : public CampusFactsController, public CompanyDetailHeaderHost {
 public:
  std::string_view fansPageTrackingPoint() const override { return "TRACKING_CAMPUS_GROUPINFO_FANS"; }
  // A new screen for the group (not shown yet).
  static std::shared_ptr<CampusGroupDetailController> initWithGroupId(std::string_view groupId,
                                                                      CampusGroupType groupType);
  // Takes the most recent screen, then shows a new screen for the group from it.
  static std::shared_ptr<CampusGroupDetailController> openWithGroupId(std::string_view groupId,
                                                                      CampusGroupType groupType);

  const std::string& groupId() const { return groupId_; }
  CampusGroupType groupType() const { return groupType_; }

 protected:
  std::shared_ptr<DataLoadAndParser> startCall(std::weak_ptr<DataLoadAndParserDelegate> delegate) override;
  const std::vector<Fact>& factRows() const override;
  std::string_view titleKey() const override { return "campus_group_title"; }
  std::string_view titleField() const override { return "groupname"; }

 private:
  std::string groupId_;
  CampusGroupType groupType_ = CampusGroupType::Job;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  CampusGroupDetailController() = default;
};

KAVRO_CLASS(CampusGroupDetailController, CampusFactsController);

}  // namespace kavro
