#include "kit/ui/UIKavroSearchCategoryControl.h"

#include <algorithm>
#include <cmath>

#include "kit/skin/AppSkin.h"

namespace kavro {

using platform::Rect;

namespace {
constexpr const char* kNormalSkins[] = {"jobsearch_button_position_name", "jobsearch_button_company_name",
                                        "jobsearch_button_all_name"};
constexpr const char* kChosenSkins[] = {"jobsearch_button_position_name_focus",
                                        "jobsearch_button_company_name_focus",
                                        "jobsearch_button_all_name_focus"};
}  // namespace

std::shared_ptr<UIKavroSearchCategoryControl> UIKavroSearchCategoryControl::create(
    Rect frame, std::vector<std::string> titles, std::weak_ptr<UIKavroSearchCategoryDelegate> delegate) {
  std::shared_ptr<UIKavroSearchCategoryControl> control(
      new UIKavroSearchCategoryControl(frame, std::move(titles), std::move(delegate)));
  control->initWithView();
  return control;
}

UIKavroSearchCategoryControl::UIKavroSearchCategoryControl(
    Rect frame, std::vector<std::string> titles, std::weak_ptr<UIKavroSearchCategoryDelegate> delegate)
    : platform::View(frame), segmentTitles_(std::move(titles)), delegate_(std::move(delegate)) {}

void UIKavroSearchCategoryControl::skinItem(std::size_t position, bool chosen) {
  if (position >= 3) return;
  AppSkin::apply(items_[position].get(), chosen ? kChosenSkins[position] : kNormalSkins[position],
                 "job_related");
}

void UIKavroSearchCategoryControl::initWithView() {
  selectedSegmentIndex_ = 0;
  double step = segmentTitles_.empty() ? 0 : std::trunc(frame().size.width / double(segmentTitles_.size()));
  for (std::size_t i = 0; i < segmentTitles_.size(); ++i) {
    auto button = platform::Button::buttonWithType(platform::ButtonType::Custom);
    button->setContentHorizontalAlignment(platform::ContentHorizontalAlignment::Center);
    button->setFrame(Rect(double(i) * step, 5, step, 34));
    button->setTitle(segmentTitles_[i]);
    std::weak_ptr<UIKavroSearchCategoryControl> weak = sharedAs<UIKavroSearchCategoryControl>();
    button->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control& sender) {
      if (auto self = weak.lock()) self->clickAction(static_cast<platform::Button&>(sender));
    });
    items_.push_back(button);
    skinItem(i, i == 0);
    button->setUserInteractionEnabled(i != 0);
    addSubview(button);
  }
}

void UIKavroSearchCategoryControl::clickAction(platform::Button& button) {
  auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& b) { return b.get() == &button; });
  if (it != items_.end()) setSelectedIndex(int(it - items_.begin()));
}

void UIKavroSearchCategoryControl::setSelectedIndex(int index) {
  if (auto d = delegate_.lock()) d->selectedItemWithIndex(index);
  if (index != selectedSegmentIndex_) {
    selectedSegmentIndex_ = index;
    layoutItems();
  }
}

void UIKavroSearchCategoryControl::setSearchDefaultIndex(int index) {
  selectedSegmentIndex_ = index;
  layoutItems();
}

void UIKavroSearchCategoryControl::layoutItems() {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    bool chosen = int(i) == selectedSegmentIndex_;
    skinItem(i, chosen);
    items_[i]->setUserInteractionEnabled(!chosen);
  }
}

}  // namespace kavro
