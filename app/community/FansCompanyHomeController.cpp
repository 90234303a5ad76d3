#include "app/community/FansCompanyHomeController.h"

namespace kavro {

// Placeholder until the community page lands.
std::shared_ptr<FansCompanyHomeController> FansCompanyHomeController::openWithCoID(std::string_view) {
  return nullptr;
}

}  // namespace kavro
