#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace platform {

class ActionSheet;
class BarButtonItem;
class Window;

// The platform's values.
enum class ActionSheetStyle { Automatic = -1, Default = 0, BlackTranslucent = 2, BlackOpaque = 1 };

// Told about the sheet's life; every method optional.
class ActionSheetDelegate {
 public:
  virtual ~ActionSheetDelegate() = default;
  virtual void clickedButtonAtIndex(ActionSheet& sheet, int buttonIndex) {}
  virtual void actionSheetCancel(ActionSheet& sheet) {}
  virtual void willPresentActionSheet(ActionSheet& sheet) {}
  virtual void didPresentActionSheet(ActionSheet& sheet) {}
  virtual void willDismissWithButtonIndex(ActionSheet& sheet, int buttonIndex) {}
  virtual void didDismissWithButtonIndex(ActionSheet& sheet, int buttonIndex) {}
};

// A choice of actions sliding up from the bottom: the destructive button first (index 0) when
// there is one, then the other buttons, then the cancel button last. Shown (showInView and the
// other show forms, which only record where it was shown from) in a window of its own above every
// other, which becomes key; answered and dismissed as AlertView is. Layout: the screen's width at
// its bottom; the title (13, wrapped), then the buttons one under the other, 44 points high with
// 8 points between, the cancel button after 8 more.
class ActionSheet : public View {
 public:
  ActionSheet(std::string title, std::weak_ptr<ActionSheetDelegate> delegate,
              std::optional<std::string> cancelButtonTitle, std::optional<std::string> destructiveButtonTitle,
              std::vector<std::string> otherButtonTitles = {});
  ~ActionSheet() override;

  const std::string& title() const { return title_; }
  void setTitle(std::string t);
  const std::weak_ptr<ActionSheetDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<ActionSheetDelegate> d) { delegate_ = std::move(d); }
  ActionSheetStyle actionSheetStyle() const { return style_; }
  void setActionSheetStyle(ActionSheetStyle s) { style_ = s; }

  int addButtonWithTitle(std::string title);
  std::string buttonTitleAtIndex(int index) const;
  int numberOfButtons() const { return int(buttonTitles_.size()); }
  int cancelButtonIndex() const { return cancelIndex_; }
  void setCancelButtonIndex(int i) { cancelIndex_ = i; }
  int destructiveButtonIndex() const { return destructiveIndex_; }
  void setDestructiveButtonIndex(int i) { destructiveIndex_ = i; }
  // -1 when there is no other button.
  int firstOtherButtonIndex() const;

  void showInView(View& view);
  void showFromToolbar(View& toolbar) { showInView(toolbar); }
  void showFromTabBar(View& tabBar) { showInView(tabBar); }
  void showFromBarButtonItem(BarButtonItem& item, bool animated);
  // The view it was shown in (null for a bar button item).
  std::shared_ptr<View> shownInView() const { return shownIn_.lock(); }
  bool isVisible() const { return visible_; }
  void dismissWithClickedButtonIndex(int buttonIndex, bool animated);
  bool tapButtonAtIndex(int buttonIndex);

  void layoutSubviews() override;
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  void present();

  std::string title_;
  std::weak_ptr<ActionSheetDelegate> delegate_;
  std::vector<std::string> buttonTitles_;
  int cancelIndex_ = -1;
  int destructiveIndex_ = -1;
  ActionSheetStyle style_ = ActionSheetStyle::Automatic;
  bool visible_ = false;
  std::weak_ptr<View> shownIn_;
  std::weak_ptr<Window> window_;  // kept by the application while shown
  std::weak_ptr<Window> previousKey_;
};

}  // namespace platform
