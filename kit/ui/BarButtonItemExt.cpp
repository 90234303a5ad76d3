#include "kit/ui/BarButtonItemExt.h"

#include "kit/core/AppCoreInfo.h"
#include "platform/ui/NavigationItem.h"

namespace kavro::barbutton {

using platform::BarButtonItemStyle;

namespace {
std::shared_ptr<platform::BarButtonItem> install(platform::ViewController& c, std::string title,
                                                 BarButtonItemStyle style, Action action, bool left) {
  auto item = std::make_shared<platform::BarButtonItem>(std::move(title), style, std::move(action));
  item->setTarget(c.weak_from_this());
  if (left)
    c.navigationItem()->setLeftBarButtonItem(item);
  else
    c.navigationItem()->setRightBarButtonItem(item);
  return item;
}
}  // namespace

std::shared_ptr<platform::BarButtonItem> setCancelItem(platform::ViewController& c, Action action) {
  return install(c, AppCoreInfo::getLocalizedString("common_text_cancel"), BarButtonItemStyle::Bordered,
                 std::move(action), true);
}
std::shared_ptr<platform::BarButtonItem> setReturnItem(platform::ViewController& c, Action action) {
  return install(c, AppCoreInfo::getLocalizedString("common_text_return"), BarButtonItemStyle::Bordered,
                 std::move(action), true);
}
std::shared_ptr<platform::BarButtonItem> setBackHomeItem(platform::ViewController& c, Action action) {
  return install(c, AppCoreInfo::getLocalizedString("common_text_back_to_home"), BarButtonItemStyle::Bordered,
                 std::move(action), true);
}
std::shared_ptr<platform::BarButtonItem> setSaveItem(platform::ViewController& c, Action action) {
  return install(c, AppCoreInfo::getLocalizedString("common_text_save"), BarButtonItemStyle::Done,
                 std::move(action), false);
}
std::shared_ptr<platform::BarButtonItem> setSubmitItem(platform::ViewController& c, Action action) {
  return install(c, AppCoreInfo::getLocalizedString("common_text_submit"), BarButtonItemStyle::Done,
                 std::move(action), false);
}
std::shared_ptr<platform::BarButtonItem> setSureItem(platform::ViewController& c, Action action) {
  return install(c, AppCoreInfo::getLocalizedString("common_text_ok"), BarButtonItemStyle::Done,
                 std::move(action), false);
}
std::shared_ptr<platform::BarButtonItem> setDeleteItem(platform::ViewController& c, Action action) {
  return install(c, AppCoreInfo::getLocalizedString("common_text_delete"), BarButtonItemStyle::Done,
                 std::move(action), false);
}
std::shared_ptr<platform::BarButtonItem> setEditItem(platform::ViewController& c, Action action) {
  return install(c, AppCoreInfo::getLocalizedString("common_text_edit"), BarButtonItemStyle::Plain,
                 std::move(action), false);
}
std::shared_ptr<platform::BarButtonItem> setCustomLeftItem(std::string title, platform::ViewController& c,
                                                           Action action) {
  return install(c, std::move(title), BarButtonItemStyle::Plain, std::move(action), true);
}
std::shared_ptr<platform::BarButtonItem> setCustomRightItem(std::string title, platform::ViewController& c,
                                                            Action action) {
  return install(c, std::move(title), BarButtonItemStyle::Plain, std::move(action), false);
}
std::shared_ptr<platform::BarButtonItem> setCustomRightBorderedItem(std::string title,
                                                                    platform::ViewController& c,
                                                                    Action action) {
  return install(c, std::move(title), BarButtonItemStyle::Bordered, std::move(action), false);
}

}  // namespace kavro::barbutton
