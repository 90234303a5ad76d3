#include "kit/ui/UITipsImageView.h"

#include <set>
#include <string>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataAppCoreDB.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/skin/AppSkin.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"

namespace kavro {

using platform::Rect;

namespace {
std::function<std::shared_ptr<platform::Window>()>& windowProvider() {
  static std::function<std::shared_ptr<platform::Window>()> provider;
  return provider;
}
}  // namespace

std::shared_ptr<UITipsImageView> UITipsImageView::makeTip(const std::string& skinKey) {
  std::shared_ptr<UITipsImageView> tip(new UITipsImageView());
  AppSkin::applyWithSkinKey(tip.get(), skinKey);
  return tip;
}

void UITipsImageView::setWindowProvider(std::function<std::shared_ptr<platform::Window>()> provider) {
  windowProvider() = std::move(provider);
}

std::shared_ptr<platform::Window> UITipsImageView::window() {
  if (windowProvider()) return windowProvider()();
  return platform::Application::sharedApplication().keyWindow();
}

UITipsImageView::UITipsImageView() : platform::ImageView(Rect(0, 0, 10, 10)) { setAlpha(0); }

std::shared_ptr<UITipsImageView> UITipsImageView::showImageSkinName(const std::string& skinKey) {
  auto tip = makeTip(skinKey);
  tip->show(false);
  auto win = window();
  if (!win) return tip;
  auto button = platform::Button::buttonWithType(platform::ButtonType::Custom, win->bounds());
  std::weak_ptr<UITipsImageView> weak = tip;
  button->addTarget(tip.get(), platform::ControlEvent::TouchUpInside, [weak](platform::Control& sender) {
    if (auto self = weak.lock()) self->hiddenImage(static_cast<platform::Button&>(sender));
  });
  win->addSubview(button);
  return tip;
}

std::shared_ptr<UITipsImageView> UITipsImageView::showImageSkinName(const std::string& skinKey,
                                                                    unsigned hiddenAfterSeconds) {
  auto tip = makeTip(skinKey);
  tip->setHiddenAfterSeconds(hiddenAfterSeconds);
  tip->show(true);
  return tip;
}

std::shared_ptr<UITipsImageView> UITipsImageView::showImageOnceForever(const std::string& skinKey) {
  auto db = AppCoreInfo::getCoreDB();
  if (!db || skinKey.empty()) return nullptr;
  // Screens ask each time they are made; a tip once shown stays shown, so the store is asked once.
  static struct {
    std::weak_ptr<DataAppCoreDB> store;
    std::set<std::string, std::less<>> keys;
  } shown;
  if (shown.store.lock() != db) shown = {db, {}};
  if (shown.keys.contains(skinKey)) return nullptr;
  if (db->hasIntItem(STORE_CORE_TIP_MESSAGE, skinKey)) {
    shown.keys.insert(skinKey);
    return nullptr;
  }
  if (db->setIntValue(STORE_CORE_TIP_MESSAGE, skinKey, 1) > 0) shown.keys.insert(skinKey);
  return showImageSkinName(skinKey);
}

void UITipsImageView::showImageOnceForeverBottomAlign(const std::string& skinKey) {
  auto tip = showImageOnceForever(skinKey);
  if (!tip) return;
  Rect f = tip->frame();
  f.origin.y = platform::Screen::mainScreen().bounds().size.height - f.size.height;
  tip->setFrame(f);
}

void UITipsImageView::showImageOnceADay(const std::string& skinKey, const std::string& key) {
  auto db = AppCoreInfo::getCoreDB();
  std::string itemKey = skinKey + key;
  if (!db || itemKey.empty()) return;
  db->clearIntDataType(STORE_CORE_TIP_MESSAGE, itemKey, 86400);
  if (db->hasIntItem(STORE_CORE_TIP_MESSAGE, itemKey)) return;
  db->setIntValue(STORE_CORE_TIP_MESSAGE, itemKey, 1);
  showImageSkinName(skinKey, 1);
}

void UITipsImageView::show(bool centered) {
  setAlpha(0);
  auto win = window();
  platform::Size picture = image() ? image()->size() : platform::Size{0, 0};
  platform::Size area = win ? win->bounds().size : platform::Screen::mainScreen().bounds().size;
  setFrame(Rect((area.width - picture.width) / 2, centered ? (area.height - picture.height) / 2 : 0,
                picture.width, picture.height));
  if (!win) return;
  win->addSubview(sharedAs<platform::View>());
  std::weak_ptr<UITipsImageView> weak = sharedAs<UITipsImageView>();
  platform::View::animate(
      0.5, [this] { setAlpha(1); },
      [weak](bool) {
        auto self = weak.lock();
        if (!self || self->hiddenAfterSeconds_ <= 0) return;
        platform::RunLoop::main().performAfter(self->hiddenAfterSeconds_, self.get(), [weak] {
          if (auto tip = weak.lock()) tip->remove();
        });
      });
}

void UITipsImageView::remove() {
  std::weak_ptr<UITipsImageView> weak = sharedAs<UITipsImageView>();
  platform::View::animate(
      0.5, [this] { setAlpha(0); },
      [weak](bool) {
        if (auto self = weak.lock()) self->removeFromSuperview();
      });
}

void UITipsImageView::hiddenImage(platform::Button& button) {
  // The button is inside its own action: it stays alive until the run loop comes round.
  auto keep = button.sharedAs<platform::View>();
  button.removeFromSuperview();
  platform::RunLoop::main().performAfter(0, nullptr, [keep] {});
  remove();
}

}  // namespace kavro
