#include "kit/ui/UIKavroSegmentControl.h"

#include <algorithm>

#include "kit/skin/AppSkin.h"
#include "platform/ui/Screen.h"

namespace kavro {

using platform::Rect;

std::shared_ptr<UIKavroSegmentControl> UIKavroSegmentControl::create(
    Rect frame, std::vector<std::string> titles, std::weak_ptr<UIKavroSegmentDelegate> delegate) {
  std::shared_ptr<UIKavroSegmentControl> control(
      new UIKavroSegmentControl(frame, std::move(titles), std::move(delegate)));
  control->initWithSegmentView();
  return control;
}

UIKavroSegmentControl::UIKavroSegmentControl(Rect frame, std::vector<std::string> titles,
                                             std::weak_ptr<UIKavroSegmentDelegate> delegate)
    : platform::View(frame),
      mainScrollview_(std::make_shared<platform::ScrollView>()),
      arrowView_(std::make_shared<platform::ImageView>()),
      delegate_(std::move(delegate)),
      segmentTitles_(std::move(titles)) {}

void UIKavroSegmentControl::initWithSegmentView() {
  AppSkin::apply(this, "segmentcontrol_bg", "company_fans");
  Rect f = frame();
  mainScrollview_->setFrame(Rect(0, 0, f.size.width, f.size.height));
  // No titles: nothing to lay out (avoids a division by zero).
  segmentWidth_ = segmentTitles_.empty() ? 0 : f.size.width / double(segmentTitles_.size());
  for (std::size_t i = 0; i < segmentTitles_.size(); ++i) {
    auto button = platform::Button::buttonWithType(platform::ButtonType::Custom);
    button->setContentHorizontalAlignment(platform::ContentHorizontalAlignment::Center);
    button->setTitle(segmentTitles_[i]);
    button->setFrame(Rect(double(i) * segmentWidth_, 0, segmentWidth_, f.size.height));
    button->setTag(int(i));
    std::weak_ptr<UIKavroSegmentControl> weak = sharedAs<UIKavroSegmentControl>();
    button->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control& sender) {
      if (auto self = weak.lock()) self->itemAction(static_cast<platform::Button&>(sender));
    });
    items_.insert(items_.begin() + std::ptrdiff_t(i), button);
    mainScrollview_->addSubview(button);
  }
  AppSkin::apply(arrowView_.get(), "segmentcontrol_arrow", "company_fans");
  arrowView_->setFrame(arrowFrame());
  mainScrollview_->addSubview(arrowView_);
  mainScrollview_->setContentSize({double(segmentTitles_.size()) * segmentWidth_, f.size.height});
  shadowView_ = std::make_shared<platform::ImageView>(
      Rect(0, 0, platform::Screen::mainScreen().bounds().size.width, 6));
  AppSkin::apply(shadowView_.get(), "card_shadow_view", "company_fans");
  mainScrollview_->addSubview(shadowView_);
  addSubview(mainScrollview_);
}

Rect UIKavroSegmentControl::arrowFrame() const {
  return Rect((selectIndex_ + 1) * segmentWidth_ - segmentWidth_ / 2 - 7, frame().size.height - 6, 14, 6);
}

void UIKavroSegmentControl::itemAction(platform::Button& button) {
  auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& b) { return b.get() == &button; });
  if (it != items_.end()) setSelectedIndex(int(it - items_.begin()));
}

void UIKavroSegmentControl::setSelectedIndex(int index) {
  if (auto d = delegate_.lock()) d->selectItemWithIndex(index);
  if (index != selectIndex_) {
    selectIndex_ = index;
    layoutsegments();
  }
}

void UIKavroSegmentControl::setDefaultIndex(int index) {
  selectIndex_ = index;
  layoutsegments();
}

void UIKavroSegmentControl::layoutsegments() {
  if (items_.empty() || selectIndex_ < 0 || selectIndex_ >= int(items_.size())) return;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    AppSkin::apply(items_[i].get(),
                   int(i) == selectIndex_ ? "segmentcontrol_button_select" : "segmentcontrol_button_nomal",
                   "company_fans");
  }
  Rect target = arrowFrame();
  auto arrow = arrowView_;
  platform::View::animate(0.1, [&] { arrow->setFrame(target); });
}

void UIKavroSegmentControl::setShadowHidden() {
  if (shadowView_) shadowView_->setHidden(true);
}

}  // namespace kavro
