#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Button.h"

namespace kavro {

// Told which search category was chosen.
class UIKavroSearchCategoryDelegate {
 public:
  virtual ~UIKavroSearchCategoryDelegate() = default;
  virtual void selectedItemWithIndex(int index) {}
};

// The three-way switch above the job keyword suggestions: position name, company name, all
// fields. The chosen button shows its focus skin and takes no taps, so the delegate (not
// retained) hears only real changes from the user; setSelectedIndex from code always tells it,
// setSearchDefaultIndex never. Main thread only.
class UIKavroSearchCategoryControl : public platform::View {
 public:
  static std::shared_ptr<UIKavroSearchCategoryControl> create(
      platform::Rect frame, std::vector<std::string> titles,
      std::weak_ptr<UIKavroSearchCategoryDelegate> delegate);

  void setSelectedIndex(int index);
  void setSearchDefaultIndex(int index);
  int selectedSegmentIndex() const { return selectedSegmentIndex_; }
  void layoutItems();

  const std::vector<std::shared_ptr<platform::Button>>& items() const { return items_; }
  const std::vector<std::string>& segmentTitles() const { return segmentTitles_; }

 private:
  void initWithView();
  void clickAction(platform::Button& button);
  void skinItem(std::size_t position, bool chosen);

  std::vector<std::string> segmentTitles_;
  std::vector<std::shared_ptr<platform::Button>> items_;
  std::weak_ptr<UIKavroSearchCategoryDelegate> delegate_;
  int selectedSegmentIndex_ = 0;

 protected:
  UIKavroSearchCategoryControl(platform::Rect frame, std::vector<std::string> titles,
                               std::weak_ptr<UIKavroSearchCategoryDelegate> delegate);
};

}  // namespace kavro
