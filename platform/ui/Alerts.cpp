// AlertView and ActionSheet: modal choices in windows of their own.
#include <algorithm>
#include <cmath>

#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/SystemText.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/ViewDescription.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {

std::shared_ptr<Window> makeOverlayWindow() {
  auto w = std::make_shared<Window>();
  w->setWindowLevel(Window::LevelAlert);
  w->setBackgroundColor(Color::grey(0, 0.4));
  return w;
}

void restoreKey(const std::weak_ptr<Window>& previous) {
  auto p = previous.lock();
  if (p && !p->isHidden()) p->makeKeyWindow();
}

// Puts the view, laid out, on an overlay window of its own; previousKey keeps the key window it
// will cover.
// The view only points at the window: the caller hands both to the application, which keeps them
// while the view is shown.
std::shared_ptr<Window> putOnOverlay(const std::shared_ptr<View>& view, std::weak_ptr<Window>& window,
                                     std::weak_ptr<Window>& previousKey) {
  previousKey = Application::sharedApplication().keyWindow();
  auto overlay = makeOverlayWindow();
  window = overlay;
  overlay->addSubview(view);
  view->setNeedsLayout();
  view->layoutIfNeeded();
  return overlay;
}

// Takes the view and its overlay window away and gives the key back.
void takeOffOverlay(View& view, std::weak_ptr<Window>& window, const std::weak_ptr<Window>& previousKey) {
  view.removeFromSuperview();
  if (auto w = window.lock()) w->setHidden(true);
  window.reset();
  restoreKey(previousKey);
}

std::shared_ptr<Label> makeLabel(const std::string& text, const Font& font, double width) {
  auto label = std::make_shared<Label>();
  label->setText(text);
  label->setFont(font);
  label->setNumberOfLines(0);
  label->setTextAlignment(TextAlignment::Center);
  label->setTextColor(Color::white());
  label->setBackgroundColor(std::nullopt);
  Size s = TextMetrics::sizeWithFont(text, font, Size{width, 0}, LineBreakMode::WordWrap);
  label->setFrame(Rect(0, 0, width, s.height));
  return label;
}

}  // namespace

// --- AlertView ---------------------------------------------------------------------------------

AlertView::AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
                     std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles)
    : View(Rect(0, 0, 284, 0)),
      title_(std::move(title)),
      message_(std::move(message)),
      delegate_(std::move(delegate)) {
  setBackgroundColor(Color::rgba(0.1, 0.15, 0.35, 0.9));
  setCornerRadius(8);
  if (cancelButtonTitle) {
    cancelIndex_ = 0;
    buttonTitles_.push_back(std::move(*cancelButtonTitle));
  }
  for (auto& t : otherButtonTitles) buttonTitles_.push_back(std::move(t));
}

AlertView::~AlertView() = default;

void AlertView::setTitle(std::string t) {
  title_ = std::move(t);
  setNeedsLayout();
}

void AlertView::setMessage(std::string m) {
  message_ = std::move(m);
  setNeedsLayout();
}

int AlertView::addButtonWithTitle(std::string title) {
  buttonTitles_.push_back(std::move(title));
  setNeedsLayout();
  return int(buttonTitles_.size()) - 1;
}

std::string AlertView::buttonTitleAtIndex(int index) const {
  return index >= 0 && index < numberOfButtons() ? buttonTitles_[std::size_t(index)] : "";
}

int AlertView::firstOtherButtonIndex() const {
  for (int i = 0; i < numberOfButtons(); ++i)
    if (i != cancelIndex_) return i;
  return -1;
}

void AlertView::setAlertViewStyle(AlertViewStyle s) {
  style_ = s;
  fields_.clear();
  int n = s == AlertViewStyle::Default ? 0 : s == AlertViewStyle::LoginAndPasswordInput ? 2 : 1;
  for (int i = 0; i < n; ++i) {
    auto f = std::make_shared<TextField>(Rect(0, 0, 260, 29));
    f->setBackgroundColor(Color::white());
    f->setBorderStyle(TextBorderStyle::Line);
    bool secure =
        s == AlertViewStyle::SecureTextInput || (s == AlertViewStyle::LoginAndPasswordInput && i == 1);
    f->setSecureTextEntry(secure);
    if (s == AlertViewStyle::LoginAndPasswordInput)
      f->setPlaceholder(systemText(i == 0 ? "Login" : "Password"));
    fields_.push_back(f);
  }
  setNeedsLayout();
}

std::shared_ptr<TextField> AlertView::textFieldAtIndex(int index) const {
  return index >= 0 && index < int(fields_.size()) ? fields_[std::size_t(index)] : nullptr;
}

void AlertView::layoutSubviews() {
  // The fields stay (one may be editing); labels and buttons are made again.
  for (auto sub : std::vector<std::shared_ptr<View>>(subviews()))
    if (std::find(fields_.begin(), fields_.end(), sub) == fields_.end()) sub->removeFromSuperview();
  const double width = 284, inner = 260;
  double y = 16;
  if (!title_.empty()) {
    auto l = makeLabel(title_, Font::boldSystemFontOfSize(18), inner);
    l->setFrame(Rect(12, y, inner, l->frame().size.height));
    addSubview(l);
    y += l->frame().size.height + 8;
  }
  if (!message_.empty()) {
    auto l = makeLabel(message_, Font::systemFontOfSize(16), inner);
    l->setFrame(Rect(12, y, inner, l->frame().size.height));
    addSubview(l);
    y += l->frame().size.height + 8;
  }
  for (auto& f : fields_) {
    f->setFrame(Rect(12, y, inner, 29));
    if (f->superviewPointer() != this) addSubview(f);
    y += 29 + 8;
  }
  y += 4;
  std::weak_ptr<AlertView> weak = std::static_pointer_cast<AlertView>(weak_from_this().lock());
  auto makeButton = [&](int index, Rect frame) {
    auto b = Button::buttonWithType(ButtonType::Custom, frame);
    b->setTitle(buttonTitles_[std::size_t(index)]);
    b->setBorderWidth(1);
    b->setCornerRadius(5);
    b->setBorderColor(Color::grey(0.8));
    if (index == firstOtherButtonIndex() && cancelIndex_ >= 0)
      if (auto d = delegate_.lock(); d && !d->alertViewShouldEnableFirstOtherButton(*this).value_or(true))
        b->setEnabled(false);
    b->addTarget(this, ControlEvent::TouchUpInside, [weak, index](Control&) {
      if (auto a = weak.lock()) a->tapButtonAtIndex(index);
    });
    addSubview(b);
  };
  int n = numberOfButtons();
  if (n == 2) {
    makeButton(0, Rect(12, y, 127, 43));
    makeButton(1, Rect(145, y, 127, 43));
    y += 43 + 12;
  } else {
    for (int i = 0; i < n; ++i) {
      makeButton(i, Rect(12, y, inner, 43));
      y += 43 + 8;
    }
    y += 4;
  }
  Rect s = Screen::mainScreen().bounds();
  Rect f(std::floor((s.size.width - width) / 2), std::floor((s.size.height - y) / 2), width, y);
  if (!(frame() == f)) setFrame(f);
}

void AlertView::show() {
  if (visible_) return;
  auto self = std::static_pointer_cast<AlertView>(shared_from_this());
  if (auto d = delegate_.lock()) d->willPresentAlertView(*this);
  auto overlay = putOnOverlay(self, window_, previousKey_);
  visible_ = true;
  Application::sharedApplication().alertDidShow(self, overlay);
  overlay->makeKeyAndVisible();
  if (!fields_.empty()) fields_.front()->becomeFirstResponder();
  if (auto d = delegate_.lock()) d->didPresentAlertView(*this);
}

void AlertView::dismissWithClickedButtonIndex(int buttonIndex, bool animated) {
  if (!visible_) return;
  auto self = std::static_pointer_cast<AlertView>(shared_from_this());
  if (auto d = delegate_.lock()) d->willDismissWithButtonIndex(*this, buttonIndex);
  visible_ = false;
  endEditing(true);
  takeOffOverlay(*this, window_, previousKey_);
  Application::sharedApplication().alertDidHide(this);
  if (auto d = delegate_.lock()) d->didDismissWithButtonIndex(*this, buttonIndex);
}

bool AlertView::tapButtonAtIndex(int buttonIndex) {
  if (!visible_ || buttonIndex < 0 || buttonIndex >= numberOfButtons()) return false;
  auto self = std::static_pointer_cast<AlertView>(shared_from_this());
  if (auto d = delegate_.lock()) d->clickedButtonAtIndex(*this, buttonIndex);
  dismissWithClickedButtonIndex(buttonIndex, true);
  return true;
}

void AlertView::describeProperties(std::vector<std::string>& out) const {
  if (!title_.empty()) out.push_back("title=" + quoted(title_));
  if (!message_.empty()) out.push_back("message=" + quoted(message_));
  View::describeProperties(out);
}

// --- ActionSheet -------------------------------------------------------------------------------

ActionSheet::ActionSheet(std::string title, std::weak_ptr<ActionSheetDelegate> delegate,
                         std::optional<std::string> cancelButtonTitle,
                         std::optional<std::string> destructiveButtonTitle,
                         std::vector<std::string> otherButtonTitles)
    : View(Rect(0, 0, 320, 0)), title_(std::move(title)), delegate_(std::move(delegate)) {
  setBackgroundColor(Color::grey(0.15, 0.9));
  if (destructiveButtonTitle) {
    destructiveIndex_ = 0;
    buttonTitles_.push_back(std::move(*destructiveButtonTitle));
  }
  for (auto& t : otherButtonTitles) buttonTitles_.push_back(std::move(t));
  if (cancelButtonTitle) {
    cancelIndex_ = int(buttonTitles_.size());
    buttonTitles_.push_back(std::move(*cancelButtonTitle));
  }
}

ActionSheet::~ActionSheet() = default;

void ActionSheet::setTitle(std::string t) {
  title_ = std::move(t);
  setNeedsLayout();
}

int ActionSheet::addButtonWithTitle(std::string title) {
  buttonTitles_.push_back(std::move(title));
  setNeedsLayout();
  return int(buttonTitles_.size()) - 1;
}

std::string ActionSheet::buttonTitleAtIndex(int index) const {
  return index >= 0 && index < numberOfButtons() ? buttonTitles_[std::size_t(index)] : "";
}

int ActionSheet::firstOtherButtonIndex() const {
  for (int i = 0; i < numberOfButtons(); ++i)
    if (i != cancelIndex_ && i != destructiveIndex_) return i;
  return -1;
}

void ActionSheet::layoutSubviews() {
  for (auto sub : std::vector<std::shared_ptr<View>>(subviews())) sub->removeFromSuperview();
  Rect s = Screen::mainScreen().bounds();
  double width = s.size.width, inner = width - 40;
  double y = 12;
  if (!title_.empty()) {
    auto l = makeLabel(title_, Font::systemFontOfSize(13), inner);
    l->setFrame(Rect(20, y, inner, l->frame().size.height));
    addSubview(l);
    y += l->frame().size.height + 12;
  }
  std::weak_ptr<ActionSheet> weak = std::static_pointer_cast<ActionSheet>(weak_from_this().lock());
  for (int i = 0; i < numberOfButtons(); ++i) {
    if (i == cancelIndex_ && i > 0) y += 8;
    auto b = Button::buttonWithType(ButtonType::Custom, Rect(20, y, inner, 44));
    b->setTitle(buttonTitles_[std::size_t(i)]);
    b->setCornerRadius(5);
    b->setBackgroundColor(i == destructiveIndex_ ? Color::rgba(0.8, 0.1, 0.1)
                          : i == cancelIndex_    ? Color::grey(0.3)
                                                 : Color::grey(0.9));
    if (i != destructiveIndex_ && i != cancelIndex_) b->setTitleColor(Color::black());
    b->addTarget(this, ControlEvent::TouchUpInside, [weak, i](Control&) {
      if (auto a = weak.lock()) a->tapButtonAtIndex(i);
    });
    addSubview(b);
    y += 44 + 8;
  }
  y += 12;
  Rect f(0, s.size.height - y, width, y);
  if (!(frame() == f)) setFrame(f);
}

void ActionSheet::present() {
  if (visible_) return;
  auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
  if (auto d = delegate_.lock()) d->willPresentActionSheet(*this);
  auto overlay = putOnOverlay(self, window_, previousKey_);
  visible_ = true;
  Application::sharedApplication().alertDidShow(self, overlay);
  overlay->makeKeyAndVisible();
  if (auto d = delegate_.lock()) d->didPresentActionSheet(*this);
}

void ActionSheet::showInView(View& view) {
  shownIn_ = std::static_pointer_cast<View>(view.weak_from_this().lock());
  present();
}

void ActionSheet::showFromBarButtonItem(BarButtonItem&, bool) {
  shownIn_.reset();
  present();
}

void ActionSheet::dismissWithClickedButtonIndex(int buttonIndex, bool) {
  if (!visible_) return;
  auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
  if (auto d = delegate_.lock()) d->willDismissWithButtonIndex(*this, buttonIndex);
  visible_ = false;
  takeOffOverlay(*this, window_, previousKey_);
  Application::sharedApplication().alertDidHide(this);
  if (auto d = delegate_.lock()) d->didDismissWithButtonIndex(*this, buttonIndex);
}

bool ActionSheet::tapButtonAtIndex(int buttonIndex) {
  if (!visible_ || buttonIndex < 0 || buttonIndex >= numberOfButtons()) return false;
  auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
  if (auto d = delegate_.lock()) d->clickedButtonAtIndex(*this, buttonIndex);
  dismissWithClickedButtonIndex(buttonIndex, true);
  return true;
}

void ActionSheet::describeProperties(std::vector<std::string>& out) const {
  if (!title_.empty()) out.push_back("title=" + quoted(title_));
  View::describeProperties(out);
}

}  // namespace platform
