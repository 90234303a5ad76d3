#include "app/community/ViewControllerFans.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "platform/ui/NavigationItem.h"

namespace kavro::fans {

std::shared_ptr<platform::BarButtonItem> bindFansNewTopicItem(platform::ViewController& screen,
                                                              std::function<void()> action) {
  auto item = std::make_shared<platform::BarButtonItem>(
      AppCoreInfo::getLocalizedString("fans_new_topic"), platform::BarButtonItemStyle::Bordered,
      [action = std::move(action)](platform::BarButtonItem&) {
        if (action) action();
      });
  item->setTarget(screen.weak_from_this());
  AppSkin::apply(item.get(), "nav_write", "company_fans");
  screen.navigationItem()->setRightBarButtonItem(item);
  return item;
}

}  // namespace kavro::fans
