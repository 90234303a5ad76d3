#include "app/community/FansUgcForGroupController.h"

#include "app/account/UserLoginController.h"
#include "app/api/ApiFans.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/StringMisc.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/BarButtonItemExt.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/ViewControllerExt.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

namespace {
std::string localized(std::string_view key) { return AppCoreInfo::getLocalizedString(key); }
}  // namespace

std::shared_ptr<FansUgcForGroupController> FansUgcForGroupController::openWithCoID(
    std::string_view coID, std::string_view coName, std::weak_ptr<FansUgcDelegate> delegate) {
  auto parent = AppControllers::mostRecentController();
  auto form = create<FansUgcForGroupController>();
  form->targetID_ = coID;
  form->targetName_ = coName;
  form->delegate_ = std::move(delegate);
  if (parent) parent->presentViewController(platform::NavigationController::create(form), true);
  return form;
}

FansUgcForGroupController::~FansUgcForGroupController() {
  if (loader_) loader_->stopLoading();
}

void FansUgcForGroupController::customView() {
  UIBasicController::customView();
  setTitle(targetName_.empty() ? localized("fans_ugc_title") : targetName_);
  auto weak = weakAs<FansUgcForGroupController>();
  barbutton::setCancelItem(*this, [weak](auto&&...) {
    if (auto self = weak.lock()) vc::closeViewController(*self);
  });
  barbutton::setCustomRightBorderedItem(localized("fans_ugc_send"), *this, [weak](auto&&...) {
    if (auto self = weak.lock()) self->sendTopic();
  });
  contentView_ = UIPlaceHolderTextView::create(
      platform::Rect(10, vc::getMainViewTop(*this) + 10, screen::screenWidth() - 20, 150));
  contentView_->setPlaceholder(localized("fans_ugc_placeholder"));
  view()->addSubview(contentView_);
}

void FansUgcForGroupController::sendTopic() {
  if (loader_) return;
  view();
  std::string content = str::trim(contentView_->text());
  if (content.empty()) {
    alert::showTipsAutoHidden(localized("fans_ugc_empty_content"));
    return;
  }
  if (!UserCoreInfo::hasLogined()) {
    UserLoginController::loginWithParent(sharedAs<platform::ViewController>(), "sendTopic");
    return;
  }
  contentView_->resignFirstResponder();
  vc::disableRightButton(*this);
  alert::showTips(localized("fans_ugc_sending"));
  loader_ =
      ApiFans::add_topic(static_cast<std::int32_t>(TopicTarget::Company), targetID_, content, std::nullopt,
                         std::static_pointer_cast<FansUgcForGroupController>(shared_from_this()));
}

void FansUgcForGroupController::dataLoader(DataLoadAndParser&, const DataItemResult& result) {
  auto keep = shared_from_this();
  loader_.reset();
  vc::enableRightButton(*this);
  if (result.hasError()) {
    alert::showAlert(result.message().empty() ? localized("fans_ugc_send_failed") : result.message());
    return;
  }
  alert::showTipsAutoHidden(localized("fans_ugc_sent"));
  vc::closeViewController(*this);
  if (auto d = delegate()) d->onSubmitSuccessForUgcController(*this);
}

}  // namespace kavro
