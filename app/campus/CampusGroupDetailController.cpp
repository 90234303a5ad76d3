#include "app/campus/CampusGroupDetailController.h"

#include "app/api/ApiCampus.h"

namespace kavro {

std::shared_ptr<CampusGroupDetailController> CampusGroupDetailController::initWithGroupId(
    std::string_view groupId, CampusGroupType groupType) {
  auto screen = create<CampusGroupDetailController>();
  screen->groupId_ = groupId;
  screen->groupType_ = groupType;
  return screen;
}

std::shared_ptr<CampusGroupDetailController> CampusGroupDetailController::openWithGroupId(
    std::string_view groupId, CampusGroupType groupType) {
  auto parent = AppControllers::mostRecentController();
  auto screen = initWithGroupId(groupId, groupType);
  screen->ShowUIBasicController(parent);
  return screen;
}

std::shared_ptr<DataLoadAndParser> CampusGroupDetailController::startCall(
    std::weak_ptr<DataLoadAndParserDelegate> delegate) {
  return ApiCampus::get_group_info(groupId_, groupType_, std::move(delegate));
}

const std::vector<CampusFactsController::Fact>& CampusGroupDetailController::factRows() const {
  static const std::vector<Fact> rows = {{"cotype", "campus_group_cotype"},
                                         {"cosize", "campus_group_cosize"},
                                         {"indtype", "campus_group_indtype"},
                                         {"jobnum", "campus_group_jobcount"},
                                         {"groupinfo", "campus_group_groupinfo"}};
  return rows;
}

}  // namespace kavro
