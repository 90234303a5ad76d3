#pragma once
#include <memory>
#include <string>

#include "platform/ui/Label.h"
#include "platform/ui/NavigationItem.h"

namespace kavro {

// The title view of list screens: a main title and, under it, a smaller line with the number of
// results, centred on the screen and as wide as its longer line (at most titleViewMaxWidth). It
// lays itself out: frames asked of it are ignored. Main thread only.
class UIKavroTitleView : public platform::View {
 public:
  static std::shared_ptr<UIKavroTitleView> create();

  void onlyMainTitle(const std::string& title);
  void bothTitle(const std::string& title, const std::string& subtitle);
  // count >= 1 shows "common_text_total_num_format__int" with the count under the title.
  void setCurrentTitle(const std::string& title, int count);
  bool showSubTitle() const { return showSubTitle_; }
  void setShowSubTitle(bool show);
  void setFrame(platform::Rect requested) override;

  const std::shared_ptr<platform::Label>& mainTitle() const { return mainTitle_; }
  const std::shared_ptr<platform::Label>& subTitle() const { return subTitle_; }
  const std::shared_ptr<platform::NavigationItem>& navItem() const { return navItem_; }
  void setNavItem(std::shared_ptr<platform::NavigationItem> item) { navItem_ = std::move(item); }
  double titleViewMaxWidth() const { return titleViewMaxWidth_; }
  void setTitleViewMaxWidth(double w) { titleViewMaxWidth_ = w; }

 private:
  void layout();
  double measuredWidth(const platform::Label& label) const;

  bool showSubTitle_ = false;
  std::shared_ptr<platform::Label> mainTitle_;
  std::shared_ptr<platform::Label> subTitle_;
  std::shared_ptr<platform::NavigationItem> navItem_;
  double mainTitleHeight_ = 20;
  double subTitleHeight_ = 15;
  double titleViewMaxWidth_ = 200;
  double titleViewMaxHeight_ = 40;
  double titleViewHeightPadding_ = 5;
  bool ready_ = false;

 protected:
  UIKavroTitleView();
};

}  // namespace kavro
