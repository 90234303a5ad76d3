#pragma once
#include <functional>
#include <memory>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/ViewController.h"

// The community's additions to every screen.
namespace kavro::fans {

// Puts the "write a post" item (skin "nav_write" of the group "company_fans", titled
// "fans_new_topic") on the right of the screen's bar; its action is the screen's. Answers the item
// (the navigation item owns it).
std::shared_ptr<platform::BarButtonItem> bindFansNewTopicItem(platform::ViewController& screen,
                                                              std::function<void()> action);

}  // namespace kavro::fans
