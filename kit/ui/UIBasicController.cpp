#include "kit/ui/UIBasicController.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/ViewControllerExt.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/TableView.h"

namespace kavro {

std::shared_ptr<platform::ViewController> UIBasicController::mostRecentControllerForOpening() {
  return AppControllers::mostRecentController();
}

void UIBasicController::init() {
  closeButton_.reset();
  auto self = std::static_pointer_cast<platform::ViewController>(shared_from_this());
  registeredName_ = AppControllers::classNameOf(*this);
  AppControllers::addController(self);
  customed_ = false;
}

UIBasicController::~UIBasicController() {
  platform::NotificationCenter::defaultCenter().removeObserversOwnedBy(this);
  AppControllers::sharedAppControllers().removeControllerFromStack(this, registeredName_);
  closeButton_.reset();
}

void UIBasicController::viewDidLoad() {
  ViewController::viewDidLoad();
  if (!customed_) {
    customed_ = true;
    customView();
  }
  changeSkin();
  // A view loaded again must not observe twice.
  auto& center = platform::NotificationCenter::defaultCenter();
  center.removeObserversOwnedBy(this);
  std::weak_ptr<platform::Object> weak = weak_from_this();
  auto call = [weak](void (UIBasicController::*hook)()) {
    return [weak, hook](const platform::Notification&) {
      if (auto self = std::static_pointer_cast<UIBasicController>(weak.lock())) ((*self).*hook)();
    };
  };
  center.addObserver(skinChangedNotify, nullptr, call(&UIBasicController::changeSkin), this);
  center.addObserver(userStatusChangedNotify, nullptr, call(&UIBasicController::userStatusChanged), this);
  center.addObserver(languageChangedNotify, nullptr, call(&UIBasicController::languageChanged), this);
}

void UIBasicController::viewWillAppear(bool animated) {
  AppControllers::addController(std::static_pointer_cast<platform::ViewController>(shared_from_this()));
  ViewController::viewWillAppear(animated);
  if (auto nav = navigationController()) AppSkin::apply(nav.get());
}

std::optional<bool> UIBasicController::textFieldShouldReturn(platform::TextField& tf) {
  tf.resignFirstResponder();
  return false;
}

void UIBasicController::customView() {
  // Every screen's view reaches under the translucent bar and places its content below the bar's
  // height (vc::getMainViewTop); the built-in skin keeps the bar translucent.
  if (auto nav = navigationController()) nav->navigationBar()->setTranslucent(true);
  setupBackButton();
}

void UIBasicController::changeSkin() {
  if (!isViewLoaded()) return;
  // Lists are found by their registered class, which lives beside this one in the kit.
  for (const auto& sub : view()->subviews()) {
    if (!platform::isKindOfClass(*sub, "ListView")) continue;
    if (auto* table = dynamic_cast<platform::TableView*>(sub.get())) table->reloadData();
  }
}

void UIBasicController::languageChanged() { setupBackButton(); }

void UIBasicController::setupBackButton() {
  auto item = std::make_shared<platform::BarButtonItem>(AppCoreInfo::getLocalizedString("common_text_return"),
                                                        platform::BarButtonItemStyle::Plain);
  item->setTarget(weak_from_this());
  navigationItem()->setBackBarButtonItem(item);
}

void UIBasicController::ShowUIBasicController(const std::shared_ptr<platform::ViewController>& parent,
                                              bool animated) {
  if (!parent) return;
  auto self = std::static_pointer_cast<UIBasicController>(shared_from_this());
  if (platform::isKindOfClass(*parent, "HomeViewController")) {
    auto nav = platform::NavigationController::create(self);
    std::weak_ptr<UIBasicController> weak = self;
    auto item = std::make_shared<platform::BarButtonItem>(
        AppCoreInfo::getLocalizedString("common_text_back_to_home"), platform::BarButtonItemStyle::Bordered,
        [weak](platform::BarButtonItem&) {
          if (auto screen = weak.lock()) vc::closeViewController(*screen);
        });
    item->setTarget(weak_from_this());
    navigationItem()->setLeftBarButtonItem(item);
    closeButton_ = item;
    parent->presentViewController(nav, animated);
    return;
  }
  setHidesBottomBarWhenPushed(true);
  if (auto nav = parent->navigationController()) nav->pushViewController(self, animated);
}

std::shared_ptr<platform::Button> UIBasicController::buttonWithRect(platform::Rect rect, std::string title,
                                                                    std::function<void()> action) {
  auto button = platform::Button::buttonWithType(platform::ButtonType::Custom, rect);
  button->setTitle(std::move(title));
  if (action)
    button->addTarget(this, platform::ControlEvent::TouchUpInside,
                      [action = std::move(action)](platform::Control&) { action(); });
  AppSkin::apply(button.get());
  return button;
}

std::shared_ptr<platform::Label> UIBasicController::smallLabelWithRect(platform::Rect rect,
                                                                       std::string text) {
  auto label = std::make_shared<platform::Label>(rect);
  label->setText(std::move(text));
  label->setBackgroundColor(std::nullopt);
  label->setTextAlignment(platform::TextAlignment::Right);
  AppSkin::apply(label.get(), "skinCellSubLabel");
  return label;
}

std::shared_ptr<platform::TextField> UIBasicController::nameInputWithRect(platform::Rect rect) {
  auto field = std::make_shared<platform::TextField>(rect);
  field->setAutocorrectionType(platform::TextAutocorrectionType::No);
  field->setAutocapitalizationType(platform::TextAutocapitalizationType::None);
  field->setReturnKeyType(platform::ReturnKeyType::Done);
  field->setDelegate(std::dynamic_pointer_cast<platform::TextFieldDelegate>(shared_from_this()));
  field->setClearButtonMode(platform::TextFieldViewMode::WhileEditing);
  field->setKeyboardType(platform::KeyboardType::ASCIICapable);
  return field;
}

std::shared_ptr<platform::TextField> UIBasicController::passwordInputWithRect(platform::Rect rect) {
  auto field = nameInputWithRect(rect);
  field->setSecureTextEntry(true);
  return field;
}

}  // namespace kavro
