#pragma once
#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextView.h"

namespace kavro {

// A text view that shows a grey placeholder while it is empty. Main thread only.
class UIPlaceHolderTextView : public platform::TextView {
 public:
  static std::shared_ptr<UIPlaceHolderTextView> create(platform::Rect frame = {});
  ~UIPlaceHolderTextView() override;

  const std::string& placeholder() const { return placeholder_; }
  void setPlaceholder(std::string p) { placeholder_ = std::move(p); }
  const std::shared_ptr<platform::Label>& placeHolderLabel() const { return placeHolderLabel_; }

  void textChangedForPlaceholder();
  // What the platform does before drawing: places and shows or hides the placeholder.
  void drawRect();
  void layoutSubviews() override;

 private:
  void initPlaceHolderLabel();

  std::string placeholder_;
  std::shared_ptr<platform::Label> placeHolderLabel_;
  platform::NotificationCenter::Token observer_ = 0;

 protected:
  explicit UIPlaceHolderTextView(platform::Rect frame = {});
};

}  // namespace kavro
