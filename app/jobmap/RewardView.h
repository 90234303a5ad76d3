#pragma once
#include <memory>

#include "platform/ui/Button.h"
#include "platform/ui/View.h"

namespace kavro {

// The overlay over the whole window when the server grants the user a reward: a gift box with a
// short animation, two texts and a button that takes the reward and closes the overlay.
// Main thread only.
class RewardView : public platform::View {
 public:
  static std::shared_ptr<RewardView> create();

  // Takes the reward (resume views paid), removes the overlay and says so.
  void sureClick();

  const std::shared_ptr<platform::Button>& sureButton() const { return sureButton_; }

 private:
  void build();
  std::shared_ptr<platform::Button> sureButton_;

 protected:
  RewardView();
};

}  // namespace kavro
