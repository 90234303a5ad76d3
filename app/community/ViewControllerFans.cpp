#include "app/community/ViewControllerFans.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "platform/ui/NavigationItem.h"

namespace kavro::fans {

std::shared_ptr<platform::BarButtonItem> bindFansNewTopicItem(platform::ViewController& screen,
                                                              std::function<void()> action) {
  auto item = std::make_shared<platform::BarButtonItem>(
      AppCoreInfo::getLocalizedString("fans_new_topic"), platform::BarButtonItemStyle::Plain,
      [action = std::move(action)](platform::BarButtonItem&) {
        if (action) action();
      });
  item->setTarget(screen.weak_from_this());
  // A skin package may dress it in the community's group; the built-in skin has it in the default one.
  if (!AppSkin::apply(item.get(), "nav_write", "company_fans")) AppSkin::apply(item.get(), "nav_write");
  screen.navigationItem()->setRightBarButtonItem(item);
  return item;
}

}  // namespace kavro::fans
