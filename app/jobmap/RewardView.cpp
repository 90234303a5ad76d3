#include "app/jobmap/RewardView.h"

#include "app/jobmap/MapSkin.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/LabelExt.h"
#include "kit/ui/UIGifImageView.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewSibling.h"
#include "platform/foundation/Environment.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"

namespace kavro {

using platform::Rect;

std::shared_ptr<RewardView> RewardView::create() {
  auto view = std::shared_ptr<RewardView>(new RewardView());
  view->build();
  return view;
}

RewardView::RewardView() : View(platform::Screen::mainScreen().bounds()) {}

void RewardView::build() {
  platform::Size screen = platform::Screen::mainScreen().bounds().size;
  setBackgroundColor(platform::Color::clear());
  auto shade = std::make_shared<platform::View>(Rect({0, 0}, screen));
  shade->setBackgroundColor(platform::Color::black());
  shade->setAlpha(0.3);
  addSubview(shade);

  auto box = std::make_shared<platform::ImageView>(Rect(0, 0, 306, 313));
  mapskin::setImage(*box, "map_gift_bg_box");
  box->setUserInteractionEnabled(true);
  view::horizontalCenterInView(*box, this);
  auto ribbon =
      std::make_shared<platform::ImageView>(Rect(0, (screen.height - 313) / 2 - 43, screen.width, 86));
  mapskin::setImage(*ribbon, "map_gift_bg_ribbon");

  auto gifPath = platform::Environment::resourcePath("Images/job_related/map/map_layer_animation.gif");
  auto gif = UIGifImageView::create(Rect(0, 18, 164, 124), gifPath.value_or(""));
  view::horizontalCenterInView(*gif, box.get());
  box->addSubview(gif);

  auto text = std::make_shared<platform::Label>(Rect(29, 0, 262, 20));
  text->setNumberOfLines(0);
  text->setText(AppCoreInfo::getLocalizedString("jobmap_reward_text"));
  AppSkin::apply(text, "map_label_text", mapskin::Group);
  view::bottomOfView(*text, gif.get());
  label::autoFitHeight(*text);
  box->addSubview(text);

  auto more = std::make_shared<platform::Label>(Rect(29, 0, 262, 20));
  more->setText(AppCoreInfo::getLocalizedString("jobmap_reward_text_more"));
  AppSkin::apply(more, "map_label_more", mapskin::Group);
  view::bottomOfView(*more, text.get(), 8);
  box->addSubview(more);

  sureButton_ = platform::Button::buttonWithType(platform::ButtonType::Custom, Rect(0, 0, 212, 44));
  sureButton_->setTitle(AppCoreInfo::getLocalizedString("jobmap_reward_button_text"));
  AppSkin::apply(sureButton_);
  view::bottomOfView(*sureButton_, more.get(), 16);
  view::horizontalCenterInView(*sureButton_, box.get());
  std::weak_ptr<RewardView> weak = sharedAs<RewardView>();
  sureButton_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto self = weak.lock()) self->sureClick();
  });
  box->addSubview(sureButton_);

  addSubview(box);
  addSubview(ribbon);
  view::verticalCenterInView(*box, this);
}

void RewardView::sureClick() {
  auto keep = sharedAs<RewardView>();
  UserCoreInfo::sharedUserCoreInfo().setResumeview_paid(true);
  removeFromSuperview();
  alert::showTipsAutoHidden(AppCoreInfo::getLocalizedString("jobmap_reward_alert_sure"));
}

}  // namespace kavro
