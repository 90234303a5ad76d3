#pragma once
#include <memory>

#include "kit/ui/UIKavroSearchBar.h"

namespace kavro {

// The search bar of screens that have no tab bar case: while editing it always moves the
// navigation view up by the bar's height less the status bar's.
class UISearchBarKavro : public UIKavroSearchBar {
 public:
  static std::shared_ptr<UISearchBarKavro> barWithCtrl(const std::shared_ptr<platform::ViewController>& ctrl,
                                                       platform::Rect rect);
  static std::shared_ptr<UISearchBarKavro> barWithCtrl(const std::shared_ptr<platform::ViewController>& ctrl,
                                                       platform::Rect rect,
                                                       const std::shared_ptr<platform::View>& backgroundView);

 protected:
  friend class UIKavroSearchBar;  // its make<T>() makes it whole
  using UIKavroSearchBar::UIKavroSearchBar;
  platform::Rect editingNavigationFrame(const platform::ViewController& ctrl) const override;
};

}  // namespace kavro
