#pragma once
#include <memory>

#include "kit/ui/UISearchBarKavroDelegate.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/ViewController.h"

namespace kavro {

// The search field at the top of a screen. While the user edits in it, the screen's navigation
// bar is hidden, the navigation controller's view is moved up over it and a dark mask covers the
// content below the bar; search, cancel or a tap on the mask reverses that. The host controller
// (not retained) hears the events when it adopts UISearchBarKavroDelegate. Main thread only.
class UIKavroSearchBar : public platform::SearchBar, public platform::SearchBarDelegate {
 public:
  static std::shared_ptr<UIKavroSearchBar> barWithCtrl(const std::shared_ptr<platform::ViewController>& ctrl,
                                                       platform::Rect rect);
  static std::shared_ptr<UIKavroSearchBar> barWithCtrl(const std::shared_ptr<platform::ViewController>& ctrl,
                                                       platform::Rect rect,
                                                       const std::shared_ptr<platform::View>& backgroundView);

  ~UIKavroSearchBar() override;

  bool autoDisplayCancelButton() const { return autoDisplayCancelButton_; }
  std::shared_ptr<platform::ViewController> barRootCtrl() const { return barRootCtrl_.lock(); }
  std::shared_ptr<platform::View> maskView() const { return maskView_.lock(); }

  void callSearchBarBeginEditing();
  void callSearchBarEndEditing();
  void callsearchBarShowAnimationFinished() {}
  void callsearchBarHiddenAnimationFinished();

  // platform::SearchBarDelegate
  std::optional<bool> searchBarShouldBeginEditing(platform::SearchBar& sb) override;
  void searchButtonClicked(platform::SearchBar& sb) override;
  void cancelButtonClicked(platform::SearchBar& sb) override;
  void textDidChange(platform::SearchBar& sb, std::string_view text) override;

 protected:
  // Makes the default mask and wires a bar made by a subclass's own factory.
  template <class Bar>
  static std::shared_ptr<Bar> make(const std::shared_ptr<platform::ViewController>& ctrl, platform::Rect rect,
                                   std::shared_ptr<platform::View> backgroundView) {
    std::shared_ptr<Bar> bar(new Bar(rect));
    if (!backgroundView) backgroundView = bar->defaultMask();
    bar->initWithCtrl(ctrl, backgroundView);
    return bar;
  }
  // Where the navigation controller's view goes while editing.
  virtual platform::Rect editingNavigationFrame(const platform::ViewController& ctrl) const;
  UISearchBarKavroDelegate* hostDelegate() const;

 private:
  std::shared_ptr<platform::View> defaultMask();
  void initWithCtrl(const std::shared_ptr<platform::ViewController>& ctrl,
                    const std::shared_ptr<platform::View>& mask);

  bool autoDisplayCancelButton_ = true;
  std::weak_ptr<platform::ViewController> barRootCtrl_;
  std::weak_ptr<platform::View> maskView_;

 protected:
  explicit UIKavroSearchBar(platform::Rect rect);
};

}  // namespace kavro
