#pragma once
#include <memory>
#include <string>

#include "platform/runtime/ClassRef.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"

namespace kavro {

class MultiDictPickController;

// One pick on the unfolded board of the multi-pick picker; a tap deletes the pick.
class SelectedItemBox : public platform::Button {
 public:
  static std::shared_ptr<SelectedItemBox> initWithValue(
      const std::string& value, const std::shared_ptr<MultiDictPickController>& parent);
  const std::string& itemKey() const { return itemKey_; }
  void setItemKey(std::string key) { itemKey_ = std::move(key); }
  std::shared_ptr<MultiDictPickController> parentController() const { return parent_.lock(); }
  const std::shared_ptr<platform::Label>& valueLabel() const { return label_; }

 private:
  std::string itemKey_;
  std::weak_ptr<MultiDictPickController> parent_;
  std::shared_ptr<platform::Label> label_;

 protected:
  SelectedItemBox() : platform::Button(platform::ButtonType::Custom) {}
};

KAVRO_CLASS(SelectedItemBox, platform::Button);

}  // namespace kavro
