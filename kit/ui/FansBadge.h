#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace kavro {

// The count badge on icons and buttons: a skinned badge picture with a number whose width follows
// the number of characters, and which shrinks to nothing when there is nothing to show. Main
// thread only.
class FansBadge : public platform::ImageView {
 public:
  FansBadge();
  // Trimmed and shown. Width: 0 for "", "0"; the thinner width for one character, the wider for
  // two; three or more show "N" at the thinner width.
  void setBadgeValue(std::string_view value);
  const std::string& badgeValue() const { return badgeValue_; }
  const std::shared_ptr<platform::Label>& numberLabel() const { return lblNumber_; }

 protected:
  FansBadge(double widerWidth, double thinnerWidth, double badgeHeight, std::string_view labelSkinType);

 private:
  std::shared_ptr<platform::Label> lblNumber_;
  std::string badgeValue_;
  double widerWidth_;
  double thinnerWidth_;
  double badgeHeight_;
};

}  // namespace kavro
