#include "app/home/HomeViewController.h"

#include <string>

#include "app/account/MyResumeListController.h"
#include "app/account/UserLoginController.h"
#include "app/jobmap/JobGeoMapController.h"
#include "app/jobsearch/JobSearchController.h"
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

}  // namespace

const std::vector<HomeViewController::Entry>& HomeViewController::entries() {
  static const std::vector<Entry> list{
      {platform::classFor<JobSearchController>(), "home_entry_jobsearch"},
      {platform::classFor<JobGeoMapController>(), "home_entry_jobmap"},
      {platform::classFor<UserLoginController>(), "home_entry_login"},
      {platform::classFor<MyResumeListController>(), "home_entry_resumes"},
  };
  return list;
}

void HomeViewController::customView() {
  UIBasicController::customView();
  view()->setBackgroundColor(platform::Color::white());
  setTitle(AppCoreInfo::getLocalizedString("home_title"));
  for (const auto& entry : entries()) {
    std::weak_ptr<platform::Object> weak = weak_from_this();
    auto button = buttonWithRect({}, AppCoreInfo::getLocalizedString(entry.titleKey), [weak, &entry] {
      if (auto self = std::dynamic_pointer_cast<HomeViewController>(weak.lock())) self->openScreen(entry);
    });
    button->setAccessibilityLabel(entry.screenClass->name());
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
    if (i >= buttons_.size()) break;
    buttons_[i++]->setTitle(AppCoreInfo::getLocalizedString(entry.titleKey));
  }
}

std::shared_ptr<UIBasicController> HomeViewController::openScreen(const Entry& entry) {
  auto screen = entry.screenClass->createInstance<UIBasicController>();
  if (!screen) return nullptr;
  screen->ShowUIBasicController(std::static_pointer_cast<platform::ViewController>(shared_from_this()));
  return screen;
}

}  // namespace kavro
