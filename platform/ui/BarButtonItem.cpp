#include "platform/ui/BarButtonItem.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Button.h"
#include "platform/ui/SystemText.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/View.h"

namespace platform {

namespace {

std::string englishTitle(BarButtonSystemItem item) {
  switch (item) {
    case BarButtonSystemItem::Done:
      return "Done";
    case BarButtonSystemItem::Cancel:
      return "Cancel";
    case BarButtonSystemItem::Edit:
      return "Edit";
    case BarButtonSystemItem::Save:
      return "Save";
    case BarButtonSystemItem::Add:
      return "Add";
    case BarButtonSystemItem::Compose:
      return "Compose";
    case BarButtonSystemItem::Reply:
      return "Reply";
    case BarButtonSystemItem::Action:
      return "Action";
    case BarButtonSystemItem::Organize:
      return "Organize";
    case BarButtonSystemItem::Bookmarks:
      return "Bookmarks";
    case BarButtonSystemItem::Search:
      return "Search";
    case BarButtonSystemItem::Refresh:
      return "Refresh";
    case BarButtonSystemItem::Stop:
      return "Stop";
    case BarButtonSystemItem::Camera:
      return "Camera";
    case BarButtonSystemItem::Trash:
      return "Trash";
    case BarButtonSystemItem::Play:
      return "Play";
    case BarButtonSystemItem::Pause:
      return "Pause";
    case BarButtonSystemItem::Rewind:
      return "Rewind";
    case BarButtonSystemItem::FastForward:
      return "Fast Forward";
    case BarButtonSystemItem::Undo:
      return "Undo";
    case BarButtonSystemItem::Redo:
      return "Redo";
    case BarButtonSystemItem::PageCurl:
      return "Page Curl";
    default:
      return "";
  }
}

std::string systemTitle(BarButtonSystemItem item) {
  std::string english = englishTitle(item);
  return english.empty() ? english : systemText(english);
}

}  // namespace

BarButtonItem::BarButtonItem(std::string title, BarButtonItemStyle style, Action action)
    : title_(std::move(title)), style_(style), action_(std::move(action)) {}

BarButtonItem::BarButtonItem(std::shared_ptr<Image> image, BarButtonItemStyle style, Action action)
    : image_(std::move(image)), style_(style), action_(std::move(action)) {}

BarButtonItem::BarButtonItem(BarButtonSystemItem item, Action action)
    : title_(systemTitle(item)),
      style_(item == BarButtonSystemItem::Done ? BarButtonItemStyle::Done : BarButtonItemStyle::Bordered),
      systemItem_(item),
      action_(std::move(action)) {}

BarButtonItem::BarButtonItem(std::shared_ptr<View> customView) : customView_(std::move(customView)) {}

void BarButtonItem::changed() {
  barButton_.reset();
  if (auto h = host_.lock()) h->setNeedsLayout();
}

void BarButtonItem::setTitle(std::string t) {
  title_ = std::move(t);
  changed();
}
void BarButtonItem::setImage(std::shared_ptr<Image> img) {
  image_ = std::move(img);
  changed();
}
void BarButtonItem::setStyle(BarButtonItemStyle s) {
  style_ = s;
  changed();
}
void BarButtonItem::setCustomView(std::shared_ptr<View> v) {
  customView_ = std::move(v);
  changed();
}
void BarButtonItem::setEnabled(bool e) {
  enabled_ = e;
  changed();
}
void BarButtonItem::setWidth(double w) {
  width_ = w;
  changed();
}

bool BarButtonItem::sendAction() {
  if (!enabled_ || !action_) return false;
  auto self = std::static_pointer_cast<BarButtonItem>(shared_from_this());
  auto a = action_;
  a(*this);
  return true;
}

std::shared_ptr<View> BarButtonItem::viewForBar(std::weak_ptr<View> host) {
  host_ = std::move(host);
  if (customView_) return customView_;
  // Bars lay out again and again; the button stands until the item changes.
  if (barButton_) return barButton_;
  auto button = Button::buttonWithType(ButtonType::Custom);
  Font font = Font::boldSystemFontOfSize(12);
  button->titleLabel()->setFont(font);
  double w = 0;
  if (image_) {
    button->setImage(image_);
    w = image_->size().width + 20;
  } else {
    button->setTitle(title_);
    w = std::ceil(TextMetrics::widthOfText(title_, font) - 1e-9) + 20;
  }
  if (width_ > 0) w = width_;
  w = std::max(w, width_ > 0 ? 0.0 : 30.0);
  button->setFrame(Rect(0, 0, w, 30));
  if (style_ != BarButtonItemStyle::Plain) {
    button->setBorderWidth(1);
    button->setCornerRadius(5);
    button->setBorderColor(Color::grey(0.2));
  }
  if (style_ == BarButtonItemStyle::Done) button->setBackgroundColor(Color::rgba(0.2, 0.4, 0.8));
  if (!title_.empty()) button->setAccessibilityLabel(title_);
  button->setEnabled(enabled_);
  std::weak_ptr<BarButtonItem> weak = std::static_pointer_cast<BarButtonItem>(shared_from_this());
  button->addTarget(this, ControlEvent::TouchUpInside, [weak](Control&) {
    if (auto item = weak.lock()) item->sendAction();
  });
  barButton_ = button;
  return button;
}

}  // namespace platform
