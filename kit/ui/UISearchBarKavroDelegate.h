#pragma once
#include <string_view>

namespace kavro {

class UIKavroSearchBar;

// The screen that hosts a search bar hears its events. Only searchBarClickDone is required.
class UISearchBarKavroDelegate {
 public:
  virtual ~UISearchBarKavroDelegate() = default;
  virtual void searchBarClickDone(UIKavroSearchBar& bar) = 0;
  virtual void searchBarClickBegin(UIKavroSearchBar& bar) {}
  virtual void searchBarClickCancel(UIKavroSearchBar& bar) {}
  virtual void searchBarTextDidChange(UIKavroSearchBar& bar, std::string_view text) {}
};

}  // namespace kavro
