#pragma once
#include <memory>
#include <string_view>

#include "kit/ui/UIBasicController.h"

namespace kavro {

class FansUgcForGroupController;

// Told after a post was sent from the community post form.
class FansUgcDelegate {
 public:
  virtual ~FansUgcDelegate() = default;
  virtual void onSubmitSuccessForUgcController(FansUgcForGroupController& ctrl) = 0;
};

// The community post form for a company, presented modally in a navigation controller of its
// own; its target is the company id. Main thread only.
class FansUgcForGroupController : public UIBasicController {
 public:
  static std::shared_ptr<FansUgcForGroupController> openWithCoID(std::string_view coID, std::string_view coName,
                                                                  std::weak_ptr<FansUgcDelegate> delegate);
};

KAVRO_CLASS(FansUgcForGroupController, UIBasicController);

}  // namespace kavro
