#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/ui/CommonHudView.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ViewController.h"

namespace kavro {

class CommonHud;

// Told about the HUD's appearance; every method optional.
class CommonHudDelegate {
 public:
  virtual ~CommonHudDelegate() = default;
  virtual void hudWillAppear(CommonHud& hud) {}
  virtual void hudDidAppear(CommonHud& hud) {}
  virtual void hudWillUpdate(CommonHud& hud) {}
  virtual void hudDidUpdate(CommonHud& hud) {}
  virtual void hudWillDisappear(CommonHud& hud) {}
  virtual void hudDidDisappear(CommonHud& hud) {}
  // Empty: not implemented.
  virtual std::optional<bool> userDidTapHud(CommonHud& hud) { return std::nullopt; }
};

// One display item of the HUD.
struct CommonHudQueueItem {
  std::string caption;
  std::shared_ptr<platform::Image> image;
  bool showActivity = false;
  int accessoryPosition = 2;  // 0 above, 1 right, 2 below, 3 left of the caption
  int activityStyle = 1;      // 0 large white, 1 white, 2 grey
};

// The application's single heads-up display: a small dark box over everything, showing a tip
// with an optional activity indicator, image or progress bar. Its root view is a transparent
// full-screen overlay that it puts on the top-most ordinary window itself; it is never pushed or
// presented. Screens reach it through the tip functions of AlertViewExt. Main thread only.
class CommonHud : public platform::ViewController {
 public:
  // --- The tip interface ----------------------------------------------------------------------
  // destroy false: the shared HUD (made on first use), moved onto the top-most window.
  // destroy true: the shared HUD vanishes at once (no animation, no events); answers null.
  static std::shared_ptr<CommonHud> getInstance(bool destroy = false);
  static void Destroy() { getInstance(true); }
  static void hiddenTips() { getInstance(true); }
  static void showTips(std::string_view text) { showTips(text, false, 0); }
  static void showTips(std::string_view text, double hiddenAfterSeconds) {
    showTips(text, false, hiddenAfterSeconds);
  }
  static void showTips(std::string_view text, bool showIndicator) { showTips(text, showIndicator, 0); }
  // Empty text hides the HUD. Otherwise the tip replaces the one on display (or appears); with
  // seconds above 0 the screens below keep their touches and the HUD hides after that time.
  static void showTips(std::string_view text, bool showIndicator, double hiddenAfterSeconds);
  // The shared instance, if any, without making one (tests and the runner).
  static std::shared_ptr<CommonHud> currentInstance();

  // A HUD of its own (not the shared one), telling delegate of its transitions.
  static std::shared_ptr<CommonHud> initWithDelegate(std::weak_ptr<CommonHudDelegate> delegate = {});

 private:
  // Only the class names it, so the HUD is made through its factories.
  struct Token {
    explicit Token() = default;
  };

 public:
  CommonHud(Token, std::weak_ptr<CommonHudDelegate> delegate);
  ~CommonHud() override;

  void loadView() override;
  void showOnMostTopWindow();
  void addQueueItem(CommonHudQueueItem item);
  void addQueueItems(const std::vector<CommonHudQueueItem>& items);
  void clearQueue() { displayQueue_.clear(); }
  void startQueue();
  void showNextInQueue() { showQueueAtIndex(queuePosition_ + 1); }
  // One past the last item hides the HUD.
  void showQueueAtIndex(std::size_t index);
  void show() { hudView_->show(); }
  void update() { hudView_->update(); }
  void hide() { hudView_->hide(); }
  // Hides after the delay; earlier requests are not withdrawn.
  void hideAfter(double seconds);

  void setCaption(std::string c) { hudView_->setCaption(std::move(c)); }
  void setImage(std::shared_ptr<platform::Image> i) { hudView_->setImage(std::move(i)); }
  void setFixedSize(platform::Size s) { hudView_->setFixedSize(s); }
  void setActivity(bool on);
  void setActivityStyle(int style);
  void setProgress(double p);

  double margin() const { return margin_; }
  void setMargin(double m) { margin_ = m; }
  double padding() const { return padding_; }
  void setPadding(double p) { padding_ = p; }
  double alpha() const { return alpha_; }
  void setAlpha(double a);
  double appearScaleFactor() const { return appearScale_; }
  void setAppearScaleFactor(double f) { appearScale_ = f == 0 ? 0.01 : f; }
  double disappearScaleFactor() const { return disappearScale_; }
  void setDisappearScaleFactor(double f) { disappearScale_ = f == 0 ? 0.01 : f; }
  double progressBorderRadius() const { return progressBorderRadius_; }
  double progressBorderWidth() const { return progressBorderWidth_; }
  double progressBarRadius() const { return progressBarRadius_; }
  double progressBarInset() const { return progressBarInset_; }
  platform::Point center() const { return center_; }
  void setCenter(platform::Point c) { center_ = c; }
  bool shadowEnabled() const { return shadowEnabled_; }
  void setShadowEnabled(bool on);
  bool blockTouches() const { return blockTouches_; }
  void setBlockTouches(bool b) { blockTouches_ = b; }
  bool allowSuperviewInteraction() const { return allowSuperviewInteraction_; }
  void setAllowSuperviewInteraction(bool a) { allowSuperviewInteraction_ = a; }
  std::shared_ptr<CommonHudDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<CommonHudDelegate> d) { delegate_ = std::move(d); }
  int accessoryPosition() const { return accessoryPosition_; }
  void setAccessoryPosition(int p) { accessoryPosition_ = p; }

  const std::shared_ptr<CommonHudView>& hudView() const { return hudView_; }
  const std::vector<CommonHudQueueItem>& displayQueue() const { return displayQueue_; }
  std::size_t queuePosition() const { return queuePosition_; }

  void touchesEnded(const platform::Touch& touch) override;

 private:
  void construct();

  double margin_ = 10;
  double padding_ = 10;
  double alpha_ = 0.7;
  double appearScale_ = 1.4;
  double disappearScale_ = 1.4;
  double progressBorderRadius_ = 8;
  double progressBorderWidth_ = 2;
  double progressBarRadius_ = 5;
  double progressBarInset_ = 3;
  platform::Point center_;
  bool shadowEnabled_ = false;
  bool blockTouches_ = false;
  bool allowSuperviewInteraction_ = false;
  std::weak_ptr<CommonHudDelegate> delegate_;
  int accessoryPosition_ = 2;
  std::shared_ptr<CommonHudView> hudView_;
  std::vector<CommonHudQueueItem> displayQueue_;
  std::size_t queuePosition_ = 0;
};

}  // namespace kavro
