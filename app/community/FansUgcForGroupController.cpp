#include "app/community/FansUgcForGroupController.h"

namespace kavro {

// Placeholder until the post form lands.
std::shared_ptr<FansUgcForGroupController> FansUgcForGroupController::openWithCoID(std::string_view, std::string_view,
                                                                                  std::weak_ptr<FansUgcDelegate>) {
  return nullptr;
}

}  // namespace kavro
