#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "app/api/ApiCampus.h"
#include "kit/core/DataItemDetail.h"
#include "kit/ui/PickerController.h"
#include "platform/ui/ViewController.h"

namespace kavro {

// The screens of the features built on job search (campus, job map) that job search's pages open.
// Job search cannot name them, so the program fills these hooks once at start-up, from above
// (the application delegate); a hook left empty is a feature the program does not have: its
// button stays hidden or its row does nothing. Main thread only.
struct FeatureScreens {
  // The campus company group, shown from the most recent screen.
  std::function<void(std::string_view groupId, CampusGroupType groupType)> openGroupDetail;
  // The campus group's job-area picker, presented from the delegate; the delegate hears the area.
  std::function<void(std::string_view groupId, CampusGroupType groupType,
                     const std::shared_ptr<pickerControllerDelegate>& delegate)>
      openGroupAreaPicker;
  // The location map of a job or company record, shown from the most recent screen on the back
  // end of the user's map type.
  std::function<void(std::shared_ptr<DataItemDetail> record)> openRoute;
  // A new job search on a map, for the job search form to push: over the map SDK (map type 0) and
  // over the platform map (any other map type).
  std::function<std::shared_ptr<platform::ViewController>()> newGeoMapSearch;
  std::function<std::shared_ptr<platform::ViewController>()> newPlatformMapSearch;

  static FeatureScreens& shared();
};

}  // namespace kavro
