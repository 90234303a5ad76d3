#include "app/campus/CampusTalkDetailController.h"

#include "app/api/ApiCampus.h"
#include "kit/ui/AppControllers.h"

namespace kavro {

std::shared_ptr<CampusTalkDetailController> CampusTalkDetailController::openWithExpkid(
    std::string_view expkid) {
  auto parent = AppControllers::mostRecentController();
  auto screen = create<CampusTalkDetailController>();
  screen->setExpkid(expkid);
  screen->ShowUIBasicController(parent);
  return screen;
}

std::shared_ptr<DataLoadAndParser> CampusTalkDetailController::startCall(
    std::weak_ptr<DataLoadAndParserDelegate> delegate) {
  return ApiCampus::get_project_info(expkid_, std::move(delegate));
}

const std::vector<CampusFactsController::Fact>& CampusTalkDetailController::factRows() const {
  static const std::vector<Fact> rows = {{"school", "campus_talk_school"},
                                         {"address", "campus_talk_address"},
                                         {"talktime", "campus_talk_talktime"},
                                         {"cityname", "campus_talk_city"}};
  return rows;
}

}  // namespace kavro
