#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "app/campus/CampusFactsController.h"
#include "app/jobsearch/CompanyDetailHeaderView.h"

namespace kavro {

// One campus recruiting talk ("project", id "expkid"): company, school, place and time from the
// server. Main thread only.
class CampusTalkDetailController : public CampusFactsController, public CompanyDetailHeaderHost {
 public:
  std::string_view fansPageTrackingPoint() const override { return "TRACKING_CAMPUS_TALKDETAIL_FANS"; }
  // Takes the most recent screen, then shows a new screen for the talk from it.
  static std::shared_ptr<CampusTalkDetailController> openWithExpkid(std::string_view expkid);

  const std::string& expkid() const { return expkid_; }
  void setExpkid(std::string_view expkid) { expkid_ = expkid; }

 protected:
  std::shared_ptr<DataLoadAndParser> startCall(std::weak_ptr<DataLoadAndParserDelegate> delegate) override;
  const std::vector<Fact>& factRows() const override;
  std::string_view titleKey() const override { return "campus_talk_title"; }
  std::string_view titleField() const override { return "coname"; }

 private:
  std::string expkid_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  CampusTalkDetailController() = default;
};

KAVRO_CLASS(CampusTalkDetailController, CampusFactsController);

}  // namespace kavro
