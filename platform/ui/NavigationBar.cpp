#include "platform/ui/NavigationBar.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/SystemText.h"
#include "platform/ui/TextMetrics.h"

namespace platform {

NavigationBar::NavigationBar(Rect frame) : View(frame) {
  setBackgroundColor(Color::rgba(0.45, 0.56, 0.7));
  setAutoresizingMask(FlexibleWidth);
}

void NavigationBar::attach(NavigationItem& item) {
  item.setBar(std::static_pointer_cast<View>(weak_from_this().lock()));
}

void NavigationBar::pushNavigationItem(std::shared_ptr<NavigationItem> item, bool animated) {
  if (!item) return;
  auto d = delegate_.lock();
  if (d && !d->shouldPushItem(*this, *item).value_or(true)) return;
  attach(*item);
  items_.push_back(item);
  setNeedsLayout();
  if (d) d->didPushItem(*this, *item);
}

std::shared_ptr<NavigationItem> NavigationBar::popNavigationItemAnimated(bool animated) {
  if (items_.empty()) return nullptr;
  auto top = items_.back();
  auto d = delegate_.lock();
  if (d && !d->shouldPopItem(*this, *top).value_or(true)) return nullptr;
  items_.pop_back();
  top->setBar({});
  setNeedsLayout();
  if (d) d->didPopItem(*this, *top);
  return top;
}

void NavigationBar::setItems(std::vector<std::shared_ptr<NavigationItem>> items, bool animated) {
  for (auto& i : items_) i->setBar({});
  items_.clear();
  for (auto& i : items) {
    if (!i) continue;
    attach(*i);
    items_.push_back(i);
  }
  setNeedsLayout();
}

std::shared_ptr<Button> NavigationBar::backButton() {
  layoutIfNeeded();
  return backButton_;
}

void NavigationBar::goBack() {
  if (backHandler_) {
    auto h = backHandler_;
    h();
    return;
  }
  popNavigationItemAnimated(true);
}

Size NavigationBar::sizeThatFits(Size size) const {
  auto top = topItem();
  return Size{size.width, Height + (top && !top->prompt().empty() ? PromptHeight : 0)};
}

void NavigationBar::layoutSubviews() {
  // Views that stay in the bar (custom views, title views) are not taken out and put back, so
  // that a text input among them keeps editing.
  std::vector<std::shared_ptr<View>> shown;
  struct Reconcile {
    NavigationBar& bar;
    std::vector<std::shared_ptr<View>>& shown;
    ~Reconcile() {
      for (auto sub : std::vector<std::shared_ptr<View>>(bar.subviews()))
        if (std::find(shown.begin(), shown.end(), sub) == shown.end()) sub->removeFromSuperview();
      for (auto& v : shown)
        if (v->superviewPointer() != &bar) bar.addSubview(v);
    }
  } reconcile{*this, shown};
  // The back button and the title label of the last pass serve again while their text stands.
  std::shared_ptr<Button> lastBack = std::move(backButton_);
  std::shared_ptr<Label> lastTitle = std::move(titleLabel_);
  std::shared_ptr<Label> lastPrompt = std::move(promptLabel_);
  backButton_.reset();
  auto top = topItem();
  if (!top) return;
  double width = bounds().size.width;
  double barHeight = bounds().size.height;
  // The prompt's line, above the items, when the bar has room for it.
  double itemsTop = 0;
  if (const std::string& prompt = top->prompt(); !prompt.empty() && barHeight >= Height + PromptHeight) {
    itemsTop = barHeight - Height;
    auto label = lastPrompt ? std::move(lastPrompt) : std::make_shared<Label>();
    if (label->text() != prompt) {
      label->setFont(Font::systemFontOfSize(13));
      label->setText(prompt);
      label->setTextColor(Color::white());
      label->setBackgroundColor(std::nullopt);
      label->setTextAlignment(TextAlignment::Center);
    }
    label->setFrame(Rect(5, 0, std::max(0.0, width - 10), itemsTop));
    shown.push_back(label);
    promptLabel_ = std::move(label);
    barHeight = Height;
  }
  std::weak_ptr<View> self = std::static_pointer_cast<View>(weak_from_this().lock());
  auto place = [&](const std::shared_ptr<View>& v, double x) {
    Rect f = v->frame();
    v->setFrame(Rect(x, itemsTop + std::floor((barHeight - f.size.height) / 2), f.size.width, f.size.height));
    shown.push_back(v);
    return x + f.size.width;
  };
  double left = 5, right = width - 5;
  auto below = backItem();
  if (below && !top->hidesBackButton() &&
      (!top->leftBarButtonItem() || top->leftItemsSupplementBackButton())) {
    std::string title = below->backBarButtonItem() ? below->backBarButtonItem()->title() : below->title();
    if (title.empty()) title = systemText("Back");
    if (lastBack && lastBack->titleForState(ControlState::Normal) == title) {
      backButton_ = std::move(lastBack);
    } else {
      auto button = Button::buttonWithType(ButtonType::Custom);
      Font font = Font::boldSystemFontOfSize(12);
      button->titleLabel()->setFont(font);
      button->setTitle(title);
      button->setAccessibilityLabel(title);
      button->setBorderWidth(1);
      button->setCornerRadius(5);
      button->setBorderColor(Color::grey(0.2));
      double w = std::max(50.0, std::ceil(TextMetrics::widthOfText(title, font) - 1e-9) + 20);
      button->setFrame(Rect(0, 0, w, 30));
      std::weak_ptr<NavigationBar> weak = std::static_pointer_cast<NavigationBar>(weak_from_this().lock());
      button->addTarget(this, ControlEvent::TouchUpInside, [weak](Control&) {
        if (auto bar = weak.lock()) bar->goBack();
      });
      backButton_ = std::move(button);
    }
    left = place(backButton_, left) + 5;
  }
  if (auto item = top->leftBarButtonItem()) left = place(item->viewForBar(self), left) + 5;
  if (auto item = top->rightBarButtonItem()) {
    auto v = item->viewForBar(self);
    right = right - v->frame().size.width;
    place(v, right);
    right -= 5;
  }
  if (auto tv = top->titleView()) {
    Rect f = tv->frame();
    double x = std::clamp(std::floor((width - f.size.width) / 2), left, std::max(left, right - f.size.width));
    place(tv, x);
  } else if (std::string title = top->title(); !title.empty()) {
    Font font = Font::boldSystemFontOfSize(20);
    auto label = lastTitle && lastTitle->text() == title ? std::move(lastTitle) : std::make_shared<Label>();
    if (label->text() != title) {
      label->setFont(font);
      label->setText(title);
      label->setTextColor(Color::white());
      label->setBackgroundColor(std::nullopt);
      label->setTextAlignment(TextAlignment::Center);
    }
    double room = std::max(0.0, right - left);
    double w = std::min(room, std::ceil(TextMetrics::widthOfText(title, font) - 1e-9));
    double x = std::clamp(std::floor((width - w) / 2), left, std::max(left, right - w));
    label->setFrame(Rect(x, itemsTop, w, barHeight));
    shown.push_back(label);
    titleLabel_ = std::move(label);
  }
}

void NavigationBar::describeProperties(std::vector<std::string>& out) const {
  if (barStyle_ != BarStyle::Default) out.push_back("style=" + std::to_string(int(barStyle_)));
  if (translucent_) out.push_back("translucent");
  View::describeProperties(out);
}

}  // namespace platform
