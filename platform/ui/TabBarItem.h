#pragma once
#include <memory>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/graphics/Image.h"

namespace platform {

// One tab of a tab bar: a title, an image, a badge and a tag.
class TabBarItem : public Object {
 public:
  TabBarItem() = default;
  TabBarItem(std::string title, std::shared_ptr<Image> image, int tag)
      : title_(std::move(title)), image_(std::move(image)), tag_(tag) {}

  const std::string& title() const { return title_; }
  void setTitle(std::string t) { title_ = std::move(t); }
  const std::shared_ptr<Image>& image() const { return image_; }
  void setImage(std::shared_ptr<Image> i) { image_ = std::move(i); }
  const std::string& badgeValue() const { return badge_; }
  void setBadgeValue(std::string b) { badge_ = std::move(b); }
  int tag() const { return tag_; }
  void setTag(int t) { tag_ = t; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool e) { enabled_ = e; }

 private:
  std::string title_;
  std::shared_ptr<Image> image_;
  std::string badge_;
  int tag_ = 0;
  bool enabled_ = true;
};

}  // namespace platform
