#include "kit/ui/UIKavroSearchBar.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/UISearchBarKavro.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"

namespace kavro {

using platform::Rect;

std::shared_ptr<UIKavroSearchBar> UIKavroSearchBar::barWithCtrl(
    const std::shared_ptr<platform::ViewController>& ctrl, Rect rect) {
  return make<UIKavroSearchBar>(ctrl, rect, nullptr);
}

std::shared_ptr<UIKavroSearchBar> UIKavroSearchBar::barWithCtrl(
    const std::shared_ptr<platform::ViewController>& ctrl, Rect rect,
    const std::shared_ptr<platform::View>& backgroundView) {
  return make<UIKavroSearchBar>(ctrl, rect, backgroundView);
}

UIKavroSearchBar::UIKavroSearchBar(Rect rect) : platform::SearchBar(rect) {}

UIKavroSearchBar::~UIKavroSearchBar() = default;

std::shared_ptr<platform::View> UIKavroSearchBar::defaultMask() {
  auto mask = platform::Button::buttonWithType(platform::ButtonType::Custom);
  mask->setBackgroundColor(platform::Color::black().withAlpha(0.7));
  std::weak_ptr<UIKavroSearchBar> weak = sharedAs<UIKavroSearchBar>();
  mask->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto bar = weak.lock()) bar->callSearchBarEndEditing();
  });
  return mask;
}

void UIKavroSearchBar::initWithCtrl(const std::shared_ptr<platform::ViewController>& ctrl,
                                    const std::shared_ptr<platform::View>& mask) {
  setDelegate(sharedAs<UIKavroSearchBar>());
  autoDisplayCancelButton_ = true;
  barRootCtrl_ = ctrl;

  AppSkin::apply(this, "", "");
  if (!ctrl) return;
  const auto& host = ctrl->view();
  host->addSubview(sharedAs<platform::View>());
  if (!mask) return;
  mask->setHidden(true);
  mask->setAlpha(0.2);
  Rect f = frame();
  mask->setFrame(Rect(0, f.origin.y + f.size.height, host->frame().size.width, host->frame().size.height));
  host->addSubview(mask);
  maskView_ = mask;
}

UISearchBarKavroDelegate* UIKavroSearchBar::hostDelegate() const {
  return dynamic_cast<UISearchBarKavroDelegate*>(barRootCtrl_.lock().get());
}

Rect UIKavroSearchBar::editingNavigationFrame(const platform::ViewController& ctrl) const {
  Rect screen = platform::Screen::mainScreen().bounds();
  double barHeight = frame().size.height;
  if (ctrl.tabBarController())
    return Rect(0, screen.origin.y - barHeight, screen.size.width, screen.size.height);
  return Rect(0, screen.origin.y + 20 - barHeight, screen.size.width, screen.size.height + barHeight);
}

void UIKavroSearchBar::callSearchBarBeginEditing() {
  setShowsCancelButton(true);
  // The platform's button speaks the platform's language; ours comes from the tables.
  if (const auto& cancel = cancelButton())
    cancel->setTitle(AppCoreInfo::getLocalizedString("common_text_cancel"));
  auto ctrl = barRootCtrl_.lock();
  auto mask = maskView_.lock();
  if (mask) {
    mask->setHidden(false);
    if (ctrl) ctrl->view()->bringSubviewToFront(mask.get());
  }
  auto nav = ctrl ? ctrl->navigationController() : nullptr;
  Rect target = ctrl ? editingNavigationFrame(*ctrl) : Rect();
  if (nav) nav->setNavigationBarHidden(true, true);
  std::weak_ptr<UIKavroSearchBar> weak = sharedAs<UIKavroSearchBar>();
  platform::View::animate(
      0.1,
      [&] {
        if (mask) mask->setAlpha(1.0);
        if (nav) nav->view()->setFrame(target);
      },
      [weak](bool) {
        if (auto bar = weak.lock()) bar->callsearchBarShowAnimationFinished();
      });
}

void UIKavroSearchBar::callSearchBarEndEditing() {
  resignFirstResponder();
  setShowsCancelButton(false);
  auto ctrl = barRootCtrl_.lock();
  auto nav = ctrl ? ctrl->navigationController() : nullptr;
  auto mask = maskView_.lock();
  Rect barTarget, viewTarget = platform::Screen::mainScreen().bounds();
  viewTarget.origin = {0, 0};
  if (nav) {
    barTarget = nav->navigationBar()->frame();
    barTarget.origin = {0, platform::Application::sharedApplication().statusBarFrame().size.height};
    nav->setNavigationBarHidden(false, true);
  }
  std::weak_ptr<UIKavroSearchBar> weak = sharedAs<UIKavroSearchBar>();
  platform::View::animate(
      0.1,
      [&] {
        if (nav) {
          nav->navigationBar()->setFrame(barTarget);
          nav->view()->setFrame(viewTarget);
        }
        if (mask) mask->setAlpha(0.2);
      },
      [weak](bool) {
        if (auto bar = weak.lock()) bar->callsearchBarHiddenAnimationFinished();
      });
}

void UIKavroSearchBar::callsearchBarHiddenAnimationFinished() {
  if (auto mask = maskView_.lock()) mask->setHidden(true);
}

std::optional<bool> UIKavroSearchBar::searchBarShouldBeginEditing(platform::SearchBar&) {
  callSearchBarBeginEditing();
  if (auto* d = hostDelegate()) d->searchBarClickBegin(*this);
  return true;
}

void UIKavroSearchBar::searchButtonClicked(platform::SearchBar&) {
  // The host's search runs once the bar has ended editing, so a screen it pushes starts from
  // the navigation bar shown and the keyboard gone.
  auto keep = sharedAs<UIKavroSearchBar>();
  callSearchBarEndEditing();
  if (auto* d = hostDelegate()) d->searchBarClickDone(*this);
}

void UIKavroSearchBar::cancelButtonClicked(platform::SearchBar&) {
  callSearchBarEndEditing();
  setText("");
  if (auto* d = hostDelegate()) d->searchBarClickCancel(*this);
}

void UIKavroSearchBar::textDidChange(platform::SearchBar&, std::string_view text) {
  if (auto* d = hostDelegate()) d->searchBarTextDidChange(*this, text);
}

// ---- UISearchBarKavro ----

std::shared_ptr<UISearchBarKavro> UISearchBarKavro::barWithCtrl(
    const std::shared_ptr<platform::ViewController>& ctrl, Rect rect) {
  return make<UISearchBarKavro>(ctrl, rect, nullptr);
}

std::shared_ptr<UISearchBarKavro> UISearchBarKavro::barWithCtrl(
    const std::shared_ptr<platform::ViewController>& ctrl, Rect rect,
    const std::shared_ptr<platform::View>& backgroundView) {
  return make<UISearchBarKavro>(ctrl, rect, backgroundView);
}

Rect UISearchBarKavro::editingNavigationFrame(const platform::ViewController&) const {
  Rect screen = platform::Screen::mainScreen().bounds();
  double barHeight = frame().size.height;
  double status = platform::Application::sharedApplication().statusBarFrame().size.height;
  return Rect(0, screen.origin.y - (barHeight - status), screen.size.width, screen.size.height + barHeight);
}

}  // namespace kavro
