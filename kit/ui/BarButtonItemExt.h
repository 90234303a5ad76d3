#pragma once
#include <memory>
#include <string>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/ViewController.h"

// The standard navigation-bar items: each makes an item with its localised title and style,
// installs it as the controller's left or right item and answers it (the navigation item owns
// it). The controller is also the item's target.
namespace kavro::barbutton {

using Action = platform::BarButtonItem::Action;

std::shared_ptr<platform::BarButtonItem> setCancelItem(platform::ViewController& c, Action action);
std::shared_ptr<platform::BarButtonItem> setReturnItem(platform::ViewController& c, Action action);
std::shared_ptr<platform::BarButtonItem> setBackHomeItem(platform::ViewController& c, Action action);
std::shared_ptr<platform::BarButtonItem> setSaveItem(platform::ViewController& c, Action action);
std::shared_ptr<platform::BarButtonItem> setSubmitItem(platform::ViewController& c, Action action);
std::shared_ptr<platform::BarButtonItem> setSureItem(platform::ViewController& c, Action action);
std::shared_ptr<platform::BarButtonItem> setDeleteItem(platform::ViewController& c, Action action);
std::shared_ptr<platform::BarButtonItem> setEditItem(platform::ViewController& c, Action action);
// The title as given (not localised); plain, plain and bordered.
std::shared_ptr<platform::BarButtonItem> setCustomLeftItem(std::string title, platform::ViewController& c,
                                                           Action action);
std::shared_ptr<platform::BarButtonItem> setCustomRightItem(std::string title, platform::ViewController& c,
                                                            Action action);
std::shared_ptr<platform::BarButtonItem> setCustomRightBorderedItem(std::string title,
                                                                    platform::ViewController& c,
                                                                    Action action);

}  // namespace kavro::barbutton
