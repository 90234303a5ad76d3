#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScrollView.h"

namespace kavro {

// Told which tab of a UIKavroSegmentControl was chosen.
class UIKavroSegmentDelegate {
 public:
  virtual ~UIKavroSegmentDelegate() = default;
  virtual void selectItemWithIndex(int index) {}
};

// A row of equally wide, skinned tab buttons with an arrow that slides under the selected one.
// Taps and setSelectedIndex tell the delegate (not retained), even for the tab already selected;
// setDefaultIndex selects silently. Main thread only.
class UIKavroSegmentControl : public platform::View {
 public:
  static std::shared_ptr<UIKavroSegmentControl> create(platform::Rect frame, std::vector<std::string> titles,
                                                       std::weak_ptr<UIKavroSegmentDelegate> delegate);

  void setSelectedIndex(int index);
  void setDefaultIndex(int index);
  int selectedSegmentIndex() const { return selectIndex_; }
  void setShadowHidden();
  void layoutsegments();

  const std::vector<std::shared_ptr<platform::Button>>& items() const { return items_; }
  const std::vector<std::string>& segmentTitles() const { return segmentTitles_; }
  const std::shared_ptr<platform::ScrollView>& mainScrollview() const { return mainScrollview_; }
  const std::shared_ptr<platform::ImageView>& arrowView() const { return arrowView_; }
  const std::shared_ptr<platform::ImageView>& shadowView() const { return shadowView_; }
  double segmentWidth() const { return segmentWidth_; }
  void setDelegate(std::weak_ptr<UIKavroSegmentDelegate> d) { delegate_ = std::move(d); }

 private:
  void initWithSegmentView();
  void itemAction(platform::Button& button);
  platform::Rect arrowFrame() const;

  int selectIndex_ = 0;
  std::shared_ptr<platform::ScrollView> mainScrollview_;
  std::shared_ptr<platform::ImageView> arrowView_;
  std::shared_ptr<platform::ImageView> shadowView_;
  double segmentWidth_ = 0;
  std::vector<std::shared_ptr<platform::Button>> items_;
  std::weak_ptr<UIKavroSegmentDelegate> delegate_;
  std::vector<std::string> segmentTitles_;

 protected:
  UIKavroSegmentControl(platform::Rect frame, std::vector<std::string> titles,
                        std::weak_ptr<UIKavroSegmentDelegate> delegate);
};

}  // namespace kavro
