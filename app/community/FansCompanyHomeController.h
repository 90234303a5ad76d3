#pragma once
#include <memory>
#include <string_view>

#include "kit/ui/UIBasicController.h"

namespace kavro {

// A company's community page, opened from the most recent screen. Main thread only.
class FansCompanyHomeController : public UIBasicController {
 public:
  static std::shared_ptr<FansCompanyHomeController> openWithCoID(std::string_view coID);
};

KAVRO_CLASS(FansCompanyHomeController, UIBasicController);

}  // namespace kavro
