#pragma once
#include <memory>
#include <string>

#include "kit/ui/ListView.h"
#include "kit/ui/UILoadingView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace kavro {

class ListViewPullDown;

// What a pull-down list tells its controller (the same object as the list's ctrl, when it also
// derives from this). Every method optional: false means "not implemented".
class ListViewPullDownDelegate {
 public:
  virtual ~ListViewPullDownDelegate() = default;
  // On each scroll step of a loaded first section: false while pulled down, true once scrolled up
  // more than 10 points.
  virtual bool pullDownOrUpList(bool up) { return false; }
  // A refresh was started by the gesture; the controller reloads (typically refreshData()) and
  // calls finishPullDownAnimation() when the answer is in.
  virtual bool pullDownToRefresh() { return false; }
  virtual bool finishPullDownList(ListViewPullDown& list) { return false; }
};

// A ListView with the pull-to-refresh gesture: a 52-point header above the first row; pulling the
// list down by 52 points or more and letting go starts a refresh, during which the header stays
// in view until the owner ends it.
class ListViewPullDown : public ListView {
 public:
  static constexpr double HeaderHeight = 52;
  static constexpr const char* SkinGroup = "company_fans";

  static std::shared_ptr<ListViewPullDown> create(bool grouped);

  void setCtrl(std::weak_ptr<ListViewDelegate> ctrl) override;
  void lastRefreshTime();
  void addPullToRefreshHeader();
  void beginPullDownAnimation();
  void loadingUI();
  void finishPullDownAnimation();
  void refresh();
  bool isPullDownRefreshNow() const { return isLoading_; }

  bool isLoading() const { return isLoading_; }
  void setIsLoading(bool l) { isLoading_ = l; }
  bool isDragged() const { return isDragged_; }
  void setIsDragged(bool d) { isDragged_ = d; }
  const std::string& textPullOff() const { return textPullOff_; }
  void setTextPullOff(std::string t) { textPullOff_ = std::move(t); }

  const std::shared_ptr<platform::View>& refreshHeaderView() const { return header_; }
  const std::shared_ptr<platform::Label>& refreshLabel() const { return prompt_; }
  const std::shared_ptr<platform::Label>& refreshLasttimeLabel() const { return timeLabel_; }
  const std::shared_ptr<platform::ImageView>& refreshArrow() const { return arrow_; }
  const std::shared_ptr<UILoadingView>& loadingView() const { return loadingView_; }

  void scrollViewWillBeginDragging(platform::ScrollView& sv) override;
  void scrollViewDidScroll(platform::ScrollView& sv) override;
  void scrollViewDidEndDragging(platform::ScrollView& sv, bool willDecelerate) override;

 protected:
  void initWithGroupStyle() override;

 private:
  std::shared_ptr<ListViewPullDownDelegate> pullDownDelegate() const { return pullDownDelegate_.lock(); }

  bool isLoading_ = false;
  bool isDragged_ = false;
  std::shared_ptr<platform::View> header_;
  std::shared_ptr<platform::Label> prompt_;
  std::shared_ptr<platform::Label> timeLabel_;
  std::shared_ptr<platform::ImageView> arrow_;
  std::shared_ptr<UILoadingView> loadingView_;
  std::weak_ptr<ListViewPullDownDelegate> pullDownDelegate_;
  std::string textPullOff_;

 protected:
  explicit ListViewPullDown(bool grouped);
};

KAVRO_CLASS(ListViewPullDown, ListView);

}  // namespace kavro
