#include "kit/ui/CommonHud.h"

#include <algorithm>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace kavro {

namespace {

// The shared HUD's delegate: empties the queue once the box has gone.
class SharedHudDelegate : public CommonHudDelegate {
 public:
  void hudDidDisappear(CommonHud& hud) override { hud.clearQueue(); }
};

// Never destroyed at exit: the HUD's views must not outlive the application's statics.
std::shared_ptr<CommonHud>& sharedHud() {
  static auto* hud = new std::shared_ptr<CommonHud>();
  return *hud;
}

const std::shared_ptr<SharedHudDelegate>& sharedDelegate() {
  static const auto d = std::make_shared<SharedHudDelegate>();
  return d;
}

}  // namespace

std::shared_ptr<CommonHud> CommonHud::getInstance(bool destroy) {
  auto& hud = sharedHud();
  if (destroy) {
    if (auto old = std::move(hud)) {
      hud.reset();
      old->hudView_->activity()->stopAnimating();
      if (old->isViewLoaded()) old->view()->removeFromSuperview();
    }
    return nullptr;
  }
  if (!hud) {
    hud = initWithDelegate(sharedDelegate());
    hud->setBlockTouches(true);
  }
  hud->showOnMostTopWindow();
  return hud;
}

std::shared_ptr<CommonHud> CommonHud::currentInstance() { return sharedHud(); }

void CommonHud::showTips(std::string_view text, bool showIndicator, double hiddenAfterSeconds) {
  auto hud = getInstance(false);
  if (text.empty()) {
    hud->hide();
    return;
  }
  if (hud->displayQueue_.empty()) hud->setFixedSize({200, 100});
  CommonHudQueueItem item;
  item.caption = std::string(text);
  item.showActivity = showIndicator;
  hud->addQueueItem(std::move(item));
  if (hud->displayQueue_.size() >= 2)
    hud->showQueueAtIndex(hud->displayQueue_.size() - 1);
  else
    hud->startQueue();
  if (hiddenAfterSeconds > 0) {
    hud->setAllowSuperviewInteraction(true);
    hud->hideAfter(hiddenAfterSeconds);
  } else {
    hud->setAllowSuperviewInteraction(false);
  }
}

std::shared_ptr<CommonHud> CommonHud::initWithDelegate(std::weak_ptr<CommonHudDelegate> delegate) {
  return std::make_shared<CommonHud>(Token(), std::move(delegate));
}

CommonHud::CommonHud(Token, std::weak_ptr<CommonHudDelegate> delegate) : delegate_(std::move(delegate)) {
  construct();
}

CommonHud::~CommonHud() {
  hudView_->detach();
  if (isViewLoaded()) view()->removeFromSuperview();
}

void CommonHud::construct() {
  hudView_ = std::make_shared<CommonHudView>(platform::Rect{}, this);
  hudView_->setAutoresizingMask(platform::View::FlexibleLeftMargin | platform::View::FlexibleRightMargin |
                                platform::View::FlexibleTopMargin | platform::View::FlexibleBottomMargin);
}

void CommonHud::loadView() {
  auto overlay = std::make_shared<platform::View>(platform::Screen::mainScreen().bounds());
  overlay->setBackgroundColor(std::nullopt);
  overlay->setOpaque(false);
  overlay->setAutoresizingMask(platform::View::FlexibleWidth | platform::View::FlexibleHeight);
  overlay->setUserInteractionEnabled(false);
  overlay->addSubview(hudView_);
  setView(overlay);
}

void CommonHud::showOnMostTopWindow() {
  auto& app = platform::Application::sharedApplication();
  std::shared_ptr<platform::Window> target;
  for (const auto& window : app.windows()) {
    const auto& subs = window->subviews();
    if (subs.empty()) continue;
    bool holdsAlert = std::any_of(subs.begin(), subs.end(), [](const auto& v) {
      return dynamic_cast<platform::AlertView*>(v.get()) || dynamic_cast<platform::ActionSheet*>(v.get());
    });
    if (!holdsAlert) target = window;
  }
  if (!target) target = app.keyWindow();
  if (!target) return;
  const auto& overlay = view();
  if (overlay->superviewPointer() == target.get()) return;
  overlay->removeFromSuperview();
  target->addSubview(overlay);
}

void CommonHud::addQueueItem(CommonHudQueueItem item) { displayQueue_.push_back(std::move(item)); }

void CommonHud::addQueueItems(const std::vector<CommonHudQueueItem>& items) {
  displayQueue_.insert(displayQueue_.end(), items.begin(), items.end());
}

void CommonHud::startQueue() {
  queuePosition_ = 0;
  platform::Size fixed = hudView_->fixedSize();
  if (fixed.width != 0 || fixed.height != 0) {
    for (const auto& item : displayQueue_) {
      platform::Size s = hudView_->calculateSizeForQueueItem(item);
      fixed.width = std::max(fixed.width, s.width);
      fixed.height = std::max(fixed.height, s.height);
    }
    hudView_->setFixedSize(fixed);
  }
  showQueueAtIndex(0);
}

void CommonHud::showQueueAtIndex(std::size_t index) {
  if (displayQueue_.empty()) return;
  queuePosition_ = index;
  // Past the end (also further than one past it) there is nothing more to show.
  if (index >= displayQueue_.size()) {
    hide();
    return;
  }
  const CommonHudQueueItem item = displayQueue_[index];
  hudView_->setCaption(item.caption);
  hudView_->setImage(item.image);
  setActivity(item.showActivity);
  accessoryPosition_ = item.accessoryPosition;
  setActivityStyle(item.activityStyle);
  if (index == 0)
    hudView_->show();
  else
    hudView_->update();
}

void CommonHud::hideAfter(double seconds) {
  std::weak_ptr<platform::Object> weak = weak_from_this();
  platform::RunLoop::main().performAfter(seconds, nullptr, [weak] {
    if (auto hud = std::static_pointer_cast<CommonHud>(weak.lock())) hud->hide();
  });
}

void CommonHud::setActivity(bool on) {
  hudView_->setShowActivity(on);
  if (on)
    hudView_->activity()->startAnimating();
  else
    hudView_->activity()->stopAnimating();
}

void CommonHud::setActivityStyle(int style) {
  hudView_->setActivityStyle(style);
  hudView_->setActivitySize(CommonHudView::sizeForActivityStyle(style));
}

void CommonHud::setProgress(double p) {
  hudView_->setProgress(p);
  hudView_->progressLayer().theProgress = hudView_->progress();
  ++hudView_->progressLayer().displayCount;
}

void CommonHud::setAlpha(double a) {
  alpha_ = a;
  hudView_->backgroundLayer().color = platform::Color::grey(0, a);
}

void CommonHud::setShadowEnabled(bool on) {
  shadowEnabled_ = on;
  hudView_->setShadowOpacity(on ? 0.4 : 0);
}

void CommonHud::touchesEnded(const platform::Touch& touch) {
  if (blockTouches_ || touch.tapCount() != 1 || !isViewLoaded()) return;
  platform::Point at = touch.locationInView(view().get());
  if (!hudView_->frame().containsPoint(at)) return;
  if (auto d = delegate()) d->userDidTapHud(*this);
}

}  // namespace kavro
