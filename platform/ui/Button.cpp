#include "platform/ui/Button.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/SystemText.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/ViewDescription.h"

namespace platform {

Button::Button(ButtonType type, Rect frame) : Control(frame), type_(type) {
  titleLabel_ = std::make_shared<Label>();
  titleLabel_->setFont(Font::boldSystemFontOfSize(15));
  titleLabel_->setBackgroundColor(std::nullopt);
  titleLabel_->setTextAlignment(TextAlignment::Center);
  titleLabel_->setLineBreakMode(LineBreakMode::MiddleTruncation);
  switch (type) {
    case ButtonType::RoundedRect:
      setBackgroundColor(Color::white());
      setCornerRadius(9);
      setBorderWidth(1);
      setBorderColor(Color::grey(0.6));
      break;
    case ButtonType::DetailDisclosure:
    case ButtonType::ContactAdd:
      if (frame.size == Size{}) setFrame(Rect(frame.origin, Size{29, 31}));
      setAccessibilityLabel(systemText(type == ButtonType::ContactAdd ? "Add" : "More Info"));
      break;
    case ButtonType::InfoLight:
    case ButtonType::InfoDark:
      if (frame.size == Size{}) setFrame(Rect(frame.origin, Size{18, 19}));
      setAccessibilityLabel(systemText("More Info"));
      break;
    default:
      break;
  }
  refresh();
}

std::shared_ptr<Button> Button::buttonWithType(ButtonType type, Rect frame) {
  return std::shared_ptr<Button>(new Button(type, frame));
}

template <class T>
const T* Button::find(const std::map<unsigned, T>& m, unsigned state) {
  if (auto it = m.find(state); it != m.end()) return &it->second;
  if (state & ControlState::Disabled)
    if (auto it = m.find(ControlState::Disabled); it != m.end()) return &it->second;
  if (state & ControlState::Selected)
    if (auto it = m.find(ControlState::Selected); it != m.end()) return &it->second;
  if (state & ControlState::Highlighted)
    if (auto it = m.find(ControlState::Highlighted); it != m.end()) return &it->second;
  if (auto it = m.find(ControlState::Normal); it != m.end()) return &it->second;
  return nullptr;
}

template <class T>
T Button::lookup(const std::map<unsigned, T>& m, unsigned state, T fallback) {
  const T* found = find(m, state);
  return found ? *found : fallback;
}

void Button::setTitle(std::optional<std::string> title, unsigned state) {
  if (title)
    titles_[state] = std::move(*title);
  else
    titles_.erase(state);
  refresh();
}

std::optional<std::string> Button::titleForState(unsigned state) const {
  if (auto it = titles_.find(state); it != titles_.end()) return it->second;
  if (auto it = titles_.find(ControlState::Normal); it != titles_.end()) return it->second;
  return std::nullopt;
}

std::string Button::currentTitle() const { return lookup<std::string>(titles_, state(), ""); }

void Button::setTitleColor(std::optional<Color> color, unsigned state) {
  if (color)
    titleColors_.insert_or_assign(state, *color);
  else
    titleColors_.erase(state);
  refresh();
}

std::optional<Color> Button::titleColorForState(unsigned state) const {
  if (auto it = titleColors_.find(state); it != titleColors_.end()) return it->second;
  if (auto it = titleColors_.find(ControlState::Normal); it != titleColors_.end()) return it->second;
  return std::nullopt;
}

Color Button::currentTitleColor() const {
  Color fallback = type_ == ButtonType::Custom ? Color::white() : Color::rgba(0.22, 0.33, 0.53);
  return lookup<Color>(titleColors_, state(), fallback);
}

void Button::setTitleShadowColor(std::optional<Color> color, unsigned state) {
  if (color)
    titleShadowColors_.insert_or_assign(state, *color);
  else
    titleShadowColors_.erase(state);
}

std::optional<Color> Button::titleShadowColorForState(unsigned state) const {
  if (auto it = titleShadowColors_.find(state); it != titleShadowColors_.end()) return it->second;
  if (auto it = titleShadowColors_.find(ControlState::Normal); it != titleShadowColors_.end())
    return it->second;
  return std::nullopt;
}

void Button::setImage(std::shared_ptr<Image> image, unsigned state) {
  if (image)
    images_[state] = std::move(image);
  else
    images_.erase(state);
  refresh();
}

std::shared_ptr<Image> Button::imageForState(unsigned state) const {
  if (auto it = images_.find(state); it != images_.end()) return it->second;
  if (auto it = images_.find(ControlState::Normal); it != images_.end()) return it->second;
  return nullptr;
}

std::shared_ptr<Image> Button::currentImage() const {
  return lookup<std::shared_ptr<Image>>(images_, state(), nullptr);
}

void Button::setBackgroundImage(std::shared_ptr<Image> image, unsigned state) {
  if (image)
    backgroundImages_[state] = std::move(image);
  else
    backgroundImages_.erase(state);
}

std::shared_ptr<Image> Button::backgroundImageForState(unsigned state) const {
  if (auto it = backgroundImages_.find(state); it != backgroundImages_.end()) return it->second;
  if (auto it = backgroundImages_.find(ControlState::Normal); it != backgroundImages_.end())
    return it->second;
  return nullptr;
}

std::shared_ptr<Image> Button::currentBackgroundImage() const {
  return lookup<std::shared_ptr<Image>>(backgroundImages_, state(), nullptr);
}

void Button::setContentEdgeInsets(EdgeInsets e) {
  contentInsets_ = e;
  setNeedsLayout();
}
void Button::setTitleEdgeInsets(EdgeInsets e) {
  titleInsets_ = e;
  setNeedsLayout();
}
void Button::setImageEdgeInsets(EdgeInsets e) {
  imageInsets_ = e;
  setNeedsLayout();
}

void Button::setEnabled(bool e) {
  Control::setEnabled(e);
  refresh();
}
void Button::setSelected(bool s) {
  Control::setSelected(s);
  refresh();
}
void Button::setHighlighted(bool h) {
  Control::setHighlighted(h);
  refresh();
}

Rect Button::contentRectForBounds(const Rect& b) const { return insetRect(b, contentInsets_); }

Size Button::imageSize() const {
  const std::shared_ptr<Image>* img = find(images_, state());
  return img && *img ? (*img)->size() : Size{};
}

Size Button::titleSize(std::optional<double> maxWidth) const {
  // Measured in place: layout asks for it several times per pass.
  const std::string* title = find(titles_, state());
  if (!title || title->empty()) return Size{};
  const std::string& t = *title;
  const Font& f = titleLabel_->font();
  if (!maxWidth) return TextMetrics::sizeWithFont(t, f);
  double w = std::max(0.0, *maxWidth);
  if (titleLabel_->numberOfLines() == 1) {
    Size s = TextMetrics::sizeWithFont(t, f);
    return Size{std::min(s.width, w), s.height};
  }
  double h = titleLabel_->numberOfLines() > 0 ? TextMetrics::lineHeight(f) * titleLabel_->numberOfLines() : 0;
  return TextMetrics::sizeWithFont(t, f, Size{std::max(1.0, w), h}, titleLabel_->lineBreakMode());
}

Rect Button::titleRectForContentRect(const Rect& cr) const {
  Rect r = insetRect(cr, titleInsets_);
  Size is = imageSize();
  Size ts = titleSize(r.size.width - is.width);
  double x = 0, y = 0, w = ts.width, h = ts.height;
  switch (contentHorizontalAlignment()) {
    case ContentHorizontalAlignment::Center:
      x = r.origin.x + (r.size.width - is.width - ts.width) / 2 + is.width;
      break;
    case ContentHorizontalAlignment::Left:
      x = r.origin.x + is.width;
      break;
    case ContentHorizontalAlignment::Right:
      x = r.maxX() - ts.width;
      break;
    case ContentHorizontalAlignment::Fill:
      x = r.origin.x + is.width;
      w = std::max(0.0, r.size.width - is.width);
      break;
  }
  switch (contentVerticalAlignment()) {
    case ContentVerticalAlignment::Center:
      y = r.origin.y + (r.size.height - ts.height) / 2;
      break;
    case ContentVerticalAlignment::Top:
      y = r.origin.y;
      break;
    case ContentVerticalAlignment::Bottom:
      y = r.maxY() - ts.height;
      break;
    case ContentVerticalAlignment::Fill:
      y = r.origin.y;
      h = r.size.height;
      break;
  }
  return Rect(x, y, w, h);
}

Rect Button::imageRectForContentRect(const Rect& cr) const {
  Rect r = insetRect(cr, imageInsets_);
  Size is = imageSize();
  Size ts = titleSize(r.size.width - is.width);
  double x = 0, y = 0;
  switch (contentHorizontalAlignment()) {
    case ContentHorizontalAlignment::Center:
      x = r.origin.x + (r.size.width - is.width - ts.width) / 2;
      break;
    case ContentHorizontalAlignment::Left:
    case ContentHorizontalAlignment::Fill:
      x = r.origin.x;
      break;
    case ContentHorizontalAlignment::Right:
      x = r.maxX() - ts.width - is.width;
      break;
  }
  switch (contentVerticalAlignment()) {
    case ContentVerticalAlignment::Center:
      y = r.origin.y + (r.size.height - is.height) / 2;
      break;
    case ContentVerticalAlignment::Top:
    case ContentVerticalAlignment::Fill:
      y = r.origin.y;
      break;
    case ContentVerticalAlignment::Bottom:
      y = r.maxY() - is.height;
      break;
  }
  return Rect(x, y, is.width, is.height);
}

const std::shared_ptr<ImageView>& Button::imageView() const {
  if (!imageView_) {
    imageView_ = std::make_shared<ImageView>();
    imageView_->setContentMode(ContentMode::Center);
  }
  return imageView_;
}

void Button::refresh() {
  // Every setter comes here: the title and image are read in place.
  const unsigned now = state();
  const std::string* title = find(titles_, now);
  titleLabel_->setText(title ? std::string_view(*title) : std::string_view());
  titleLabel_->setTextColor(currentTitleColor());
  titleLabel_->setShadowColor(titleShadowColorForState(now));
  const std::shared_ptr<Image>* image = find(images_, now);
  if ((image && *image) || imageView_) imageView()->setImage(image ? *image : nullptr);
  setNeedsLayout();
}

void Button::layoutSubviews() {
  Rect cr = contentRectForBounds(bounds());
  titleLabel_->setFrame(titleRectForContentRect(cr));
  // The parts are in the tree only while they show something.
  if (imageView_) {
    imageView_->setFrame(imageRectForContentRect(cr));
    if (imageView_->image()) {
      if (imageView_->superviewPointer() != this) insertSubview(imageView_, 0);
    } else {
      imageView_->removeFromSuperview();
    }
  }
  if (!titleLabel_->text().empty()) {
    if (titleLabel_->superviewPointer() != this)
      insertSubview(titleLabel_, imageView_ && imageView_->superviewPointer() == this ? 1 : 0);
  } else {
    titleLabel_->removeFromSuperview();
  }
}

Size Button::sizeThatFits(Size) const {
  Size is = imageSize();
  Size ts = titleSize(std::nullopt);
  return Size{is.width + ts.width + contentInsets_.left + contentInsets_.right,
              std::max(is.height, ts.height) + contentInsets_.top + contentInsets_.bottom};
}

void Button::describeProperties(std::vector<std::string>& out) const {
  std::string t = currentTitle();
  if (!t.empty()) out.push_back("title=" + quoted(t));
  if (auto img = currentImage()) {
    Size s = img->size();
    out.push_back("image=" + formatNumber(s.width) + "x" + formatNumber(s.height));
  }
  Control::describeProperties(out);
}

}  // namespace platform
