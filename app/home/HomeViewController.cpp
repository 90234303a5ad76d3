#include "app/home/HomeViewController.h"

#include <string>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/ViewControllerExt.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/View.h"

namespace kavro {

namespace {

constexpr double EntryHeight = 44;
constexpr double EntryGap = 12;
constexpr double Margin = 20;

platform::ClassPtr screenClass(std::string_view className) {
  auto cls = platform::classFromString(className);
  auto base = platform::classFor<UIBasicController>();
  if (!cls || !base || !cls->isSubclassOfClass(*base) || !cls->canCreateInstance()) return nullptr;
  return cls;
}

}  // namespace

const std::vector<HomeViewController::Entry>& HomeViewController::entries() {
  static const std::vector<Entry> list{
      {"JobSearchController", "home_entry_jobsearch"},
      {"JobGeoMapController", "home_entry_jobmap"},
      {"UserLoginController", "home_entry_login"},
      {"MyResumeListController", "home_entry_resumes"},
  };
  return list;
}

void HomeViewController::customView() {
  UIBasicController::customView();
  view()->setBackgroundColor(platform::Color::white());
  setTitle(AppCoreInfo::getLocalizedString("home_title"));
  for (const auto& entry : entries()) {
    if (!screenClass(entry.className)) continue;
    std::string name(entry.className);
    std::weak_ptr<platform::Object> weak = weak_from_this();
    auto button = buttonWithRect({}, AppCoreInfo::getLocalizedString(entry.titleKey), [weak, name] {
      if (auto self = std::dynamic_pointer_cast<HomeViewController>(weak.lock())) self->openScreen(name);
    });
    button->setAccessibilityLabel(name);
    view()->addSubview(button);
    buttons_.push_back(button);
  }
  layoutEntries();
}

void HomeViewController::layoutEntries() {
  double width = view()->bounds().size.width - 2 * Margin;
  double y = vc::getMainViewTop(*this) + Margin;
  for (const auto& button : buttons_) {
    button->setFrame({Margin, y, width, EntryHeight});
    y += EntryHeight + EntryGap;
  }
}

void HomeViewController::languageChanged() {
  UIBasicController::languageChanged();
  setTitle(AppCoreInfo::getLocalizedString("home_title"));
  std::size_t i = 0;
  for (const auto& entry : entries()) {
    if (!screenClass(entry.className) || i >= buttons_.size()) continue;
    buttons_[i++]->setTitle(AppCoreInfo::getLocalizedString(entry.titleKey));
  }
}

std::shared_ptr<UIBasicController> HomeViewController::openScreen(std::string_view className) {
  auto cls = screenClass(className);
  if (!cls) return nullptr;
  auto screen = cls->createInstance<UIBasicController>();
  if (!screen) return nullptr;
  // Made through the registry, the screen has not recorded itself yet: it is the most recent
  // screen from now on, as one made with create() would be.
  AppControllers::addController(screen);
  screen->ShowUIBasicController(std::static_pointer_cast<platform::ViewController>(shared_from_this()));
  return screen;
}

}  // namespace kavro
