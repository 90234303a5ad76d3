#include "kit/ui/ListViewSupport.h"

#include <algorithm>

#include "platform/ui/Font.h"
#include "platform/ui/TextMetrics.h"

namespace kavro::listsupport {

using platform::Font;
using platform::LineBreakMode;
using platform::Size;
using platform::TextMetrics;

namespace {
Size measure(std::string_view text, double maxWidth) {
  return TextMetrics::sizeWithFont(text, Font::systemFontOfSize(Font::labelFontSize()), Size{maxWidth, 0},
                                   LineBreakMode::WordWrap);
}
}  // namespace

SkinHooks& skinHooks() {
  static SkinHooks hooks;
  return hooks;
}

bool applySkin(platform::View& view, std::string_view type, std::string_view group) {
  auto& h = skinHooks();
  return h.applyType ? h.applyType(view, type, group) : false;
}

bool applySkinKey(platform::View& view, std::string_view key) {
  auto& h = skinHooks();
  return h.applyKey ? h.applyKey(view, key) : false;
}

Size sizeForText(std::string_view text, std::string_view type, std::string_view group, double maxWidth) {
  auto& h = skinHooks();
  return h.sizeForTextType ? h.sizeForTextType(text, type, group, maxWidth) : measure(text, maxWidth);
}

Size sizeForTextKey(std::string_view text, std::string_view key, double maxWidth) {
  auto& h = skinHooks();
  return h.sizeForTextKey ? h.sizeForTextKey(text, key, maxWidth) : measure(text, maxWidth);
}

void autoFitHeight(platform::Label& label) {
  label.setNumberOfLines(0);
  platform::Rect f = label.frame();
  Size fitted =
      TextMetrics::sizeWithFont(label.text(), label.font(), Size{f.size.width, 0}, LineBreakMode::WordWrap);
  f.size.height = fitted.height;
  label.setFrame(f);
}

void sameTopAndHeight(platform::View& a, platform::View& b) {
  platform::Rect fa = a.frame();
  platform::Rect fb = b.frame();
  double top = std::min(fa.origin.y, fb.origin.y);
  double height = std::max(fa.size.height, fb.size.height);
  fa.origin.y = fb.origin.y = top;
  fa.size.height = fb.size.height = height;
  a.setFrame(fa);
  b.setFrame(fb);
}

void bottomOfView(platform::View& a, const platform::View& b, double margin) {
  platform::Rect fb = b.frame();
  setTop(a, fb.origin.y + fb.size.height + margin);
}

void heightFromSubViewsWithBottomMargin(platform::View& view, double margin) {
  double bottom = 0;
  for (const auto& sub : view.subviews()) {
    platform::Rect f = sub->frame();
    bottom = std::max(bottom, f.origin.y + f.size.height);
  }
  setHeight(view, bottom + margin);
}

void setTop(platform::View& view, double y) {
  platform::Rect f = view.frame();
  f.origin.y = y;
  view.setFrame(f);
}

void setHeight(platform::View& view, double h) {
  platform::Rect f = view.frame();
  f.size.height = h;
  view.setFrame(f);
}

std::shared_ptr<platform::TextField> initCommonInput(platform::Rect frame) {
  auto field = std::make_shared<platform::TextField>(frame);
  field->setAutocorrectionType(platform::TextAutocorrectionType::No);
  field->setAutocapitalizationType(platform::TextAutocapitalizationType::None);
  field->setReturnKeyType(platform::ReturnKeyType::Done);
  field->setClearButtonMode(platform::TextFieldViewMode::WhileEditing);
  field->setKeyboardType(platform::KeyboardType::ASCIICapable);
  applySkin(*field, "skinTextFieldCommonInput", {});
  return field;
}

void convertToPasswordInput(platform::TextField& field) {
  if (!field.isSecureTextEntry()) field.setSecureTextEntry(true);
}

void convertToCommonInput(platform::TextField& field) {
  if (field.isSecureTextEntry()) field.setSecureTextEntry(false);
}

namespace {
std::shared_ptr<platform::TextField> firstTextField(const std::shared_ptr<platform::View>& view) {
  if (auto field = std::dynamic_pointer_cast<platform::TextField>(view)) return field;
  for (const auto& sub : view->subviews())
    if (auto field = firstTextField(sub)) return field;
  return nullptr;
}
}  // namespace

bool focusInputBoxAtIndexPath(platform::TableView& table, const platform::IndexPath& ip) {
  if (ip.section < 0 || ip.row < 0) return false;
  if (ip.section >= table.numberOfSections() || ip.row >= table.numberOfRowsInSection(ip.section))
    return false;
  table.scrollToRowAtIndexPath(ip, platform::TableViewScrollPosition::None, false);
  auto cell = table.cellForRowAtIndexPath(ip);
  if (!cell) return false;
  auto field = firstTextField(cell);
  return field && field->becomeFirstResponder();
}

}  // namespace kavro::listsupport

namespace kavro {

ListLoadingView::ListLoadingView(platform::Rect frame) : View(frame) {
  activity_ = std::make_shared<platform::ActivityIndicatorView>(platform::ActivityIndicatorViewStyle::Gray);
  activity_->startAnimating();
  label_ = std::make_shared<platform::Label>();
  label_->setBackgroundColor(platform::Color::clear());
  addSubview(activity_);
  addSubview(label_);
  autoResizing();
}

void ListLoadingView::setText(std::string text) {
  label_->setText(std::move(text));
  setHidden(false);
  autoResizing();
}

void ListLoadingView::autoResizing() {
  platform::Rect b = bounds();
  platform::Size textSize = platform::TextMetrics::sizeWithFont(label_->text(), label_->font());
  double indicator = activity_->isHidden() ? 0 : 20;
  double gap = indicator > 0 && textSize.width > 0 ? 5 : 0;
  double width = std::min(b.size.width, indicator + gap + textSize.width);
  double x = (b.size.width - width) / 2;
  if (indicator > 0) activity_->setFrame({{x, (b.size.height - 20) / 2}, {20, 20}});
  label_->setFrame({{x + indicator + gap, 0}, {std::max(0.0, width - indicator - gap), b.size.height}});
}

void ListLoadingView::layoutSubviews() { autoResizing(); }

}  // namespace kavro
