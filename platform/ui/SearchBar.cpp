#include "platform/ui/SearchBar.h"

#include "platform/ui/Button.h"
#include "platform/ui/SystemText.h"
#include "platform/ui/ViewDescription.h"

namespace platform {

// Hands the field's editing on to the bar's delegate. Owned by the bar, which outlives it.
class SearchBar::FieldDelegate : public TextFieldDelegate {
 public:
  explicit FieldDelegate(SearchBar* bar) : bar_(bar) {}
  std::optional<bool> textFieldShouldBeginEditing(TextField&) override {
    if (auto d = bar_->delegate_.lock()) return d->searchBarShouldBeginEditing(*bar_);
    return std::nullopt;
  }
  void textFieldDidBeginEditing(TextField&) override {
    if (auto d = bar_->delegate_.lock()) d->searchBarTextDidBeginEditing(*bar_);
  }
  std::optional<bool> textFieldShouldEndEditing(TextField&) override {
    if (auto d = bar_->delegate_.lock()) return d->searchBarShouldEndEditing(*bar_);
    return std::nullopt;
  }
  void textFieldDidEndEditing(TextField&) override {
    if (auto d = bar_->delegate_.lock()) d->searchBarTextDidEndEditing(*bar_);
  }
  std::optional<bool> shouldChangeCharactersInRange(TextField&, Range range, std::string_view with) override {
    if (auto d = bar_->delegate_.lock()) return d->shouldChangeTextInRange(*bar_, range, with);
    return std::nullopt;
  }
  std::optional<bool> textFieldShouldReturn(TextField&) override {
    if (auto d = bar_->delegate_.lock()) d->searchButtonClicked(*bar_);
    return false;
  }

 private:
  SearchBar* bar_;
};

SearchBar::SearchBar(Rect frame) : View(frame) {
  setBackgroundColor(Color::rgba(0.6, 0.65, 0.72));
  field_ = std::make_shared<TextField>();
  field_->setBorderStyle(TextBorderStyle::RoundedRect);
  field_->setBackgroundColor(Color::white());
  field_->setReturnKeyType(ReturnKeyType::Search);
  field_->setContentVerticalAlignment(ContentVerticalAlignment::Center);
  field_->setFont(Font::systemFontOfSize(14));
  fieldDelegate_ = std::make_shared<FieldDelegate>(this);
  field_->setDelegate(fieldDelegate_);
  // The field's changes reach the delegate with the new text.
  field_->addTarget(this, ControlEvent::EditingChanged, [this](Control&) {
    if (auto d = delegate_.lock()) d->textDidChange(*this, field_->text());
  });
  addSubview(field_);
}

SearchBar::~SearchBar() {
  // Someone may still hold the parts; their actions must not reach this bar any more.
  field_->removeTarget(this, ControlEvent::AllEvents);
  if (cancel_) cancel_->removeTarget(this, ControlEvent::AllEvents);
}

std::string SearchBar::text() const { return field_->text(); }

void SearchBar::setText(std::string text) {
  if (text == field_->text()) return;
  field_->setText(std::move(text));
  if (auto d = delegate_.lock()) d->textDidChange(*this, field_->text());
}

std::string SearchBar::placeholder() const { return field_->placeholder(); }
void SearchBar::setPlaceholder(std::string p) { field_->setPlaceholder(std::move(p)); }

void SearchBar::setShowsCancelButton(bool shows, bool) {
  showsCancel_ = shows;
  if (shows && !cancel_) {
    cancel_ = Button::buttonWithType(ButtonType::Custom);
    cancel_->setTitle(systemText("Cancel"));
    cancel_->titleLabel()->setFont(Font::boldSystemFontOfSize(12));
    cancel_->setBorderWidth(1);
    cancel_->setCornerRadius(5);
    cancel_->addTarget(this, ControlEvent::TouchUpInside, [this](Control&) {
      if (auto d = delegate_.lock()) d->cancelButtonClicked(*this);
    });
    addSubview(cancel_);
  } else if (!shows && cancel_) {
    cancel_->removeTarget(this, ControlEvent::AllEvents);
    cancel_->removeFromSuperview();
    cancel_.reset();
  }
  setNeedsLayout();
}

bool SearchBar::becomeFirstResponder() { return field_->becomeFirstResponder(); }
bool SearchBar::resignFirstResponder() { return field_->resignFirstResponder(); }
bool SearchBar::isFirstResponder() const { return field_->isFirstResponder(); }

void SearchBar::layoutSubviews() {
  Rect b = bounds();
  double cancelWidth = cancel_ ? 66 : 0;
  field_->setFrame(
      Rect(6, std::floor((b.size.height - 30) / 2), std::max(0.0, b.size.width - 12 - cancelWidth), 30));
  if (cancel_) cancel_->setFrame(Rect(b.size.width - 66, std::floor((b.size.height - 30) / 2), 60, 30));
}

void SearchBar::describeProperties(std::vector<std::string>& out) const {
  if (barStyle_ != BarStyle::Default) out.push_back("style=" + std::to_string(int(barStyle_)));
  View::describeProperties(out);
}

}  // namespace platform
