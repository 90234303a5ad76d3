#include "platform/ui/Label.h"

#include <cmath>

#include "platform/ui/ViewDescription.h"

namespace platform {

Label::Label(Rect frame) : View(frame) {
  setUserInteractionEnabled(false);
  setBackgroundColor(Color::white());
}

void Label::setText(std::string_view text) {
  if (text == text_) return;
  text_.assign(text);
  setNeedsDisplay();
}

void Label::setFont(const Font& f) {
  font_ = f;
  setNeedsDisplay();
}

void Label::setNumberOfLines(int n) { numberOfLines_ = n < 0 ? 0 : n; }

Font Label::displayFont() const {
  if (!adjustsFontSize_ || numberOfLines_ != 1 || text_.empty()) return font_;
  double actual = font_.pointSize();
  TextMetrics::sizeWithFont(text_, font_, minimumFontSize_ > 0 ? minimumFontSize_ : font_.pointSize(),
                            &actual, bounds().size.width, lineBreakMode_);
  return font_.fontWithSize(actual);
}

std::vector<std::string> Label::displayLines() const {
  if (text_.empty()) return {};
  Font f = displayFont();
  double width = bounds().size.width;
  double lh = TextMetrics::lineHeight(f);
  std::size_t maxLines = std::size_t(numberOfLines_);
  if (maxLines == 0) maxLines = std::size_t(std::max(1.0, std::floor(bounds().size.height / lh + 1e-9)));
  LineBreakMode wrap =
      lineBreakMode_ == LineBreakMode::CharacterWrap ? LineBreakMode::CharacterWrap : LineBreakMode::WordWrap;
  std::vector<std::string> all = TextMetrics::linesForText(text_, f, numberOfLines_ == 1 ? 0 : width, wrap);
  if (all.size() <= maxLines) {
    for (auto& l : all) l = TextMetrics::truncateLine(l, f, width, lineBreakMode_);
    return all;
  }
  std::vector<std::string> shown(all.begin(), all.begin() + std::ptrdiff_t(maxLines));
  // The last shown line carries the rest of the text into its truncation.
  std::string rest;
  for (std::size_t i = maxLines - 1; i < all.size(); ++i) rest += (i == maxLines - 1 ? "" : " ") + all[i];
  LineBreakMode cut = lineBreakMode_;
  if (cut == LineBreakMode::WordWrap || cut == LineBreakMode::CharacterWrap) cut = LineBreakMode::Clip;
  shown.back() = TextMetrics::truncateLine(rest, f, width, cut);
  for (std::size_t i = 0; i + 1 < shown.size(); ++i)
    shown[i] = TextMetrics::truncateLine(shown[i], f, width, lineBreakMode_);
  return shown;
}

Rect Label::textRectForBounds(const Rect& b, int lines) const {
  if (text_.empty()) return Rect(b.origin.x, b.origin.y, 0, 0);
  Font f = displayFont();
  double lh = TextMetrics::lineHeight(f);
  Size s;
  if (lines == 1) {
    s = TextMetrics::sizeWithFont(text_, f, b.size.width, lineBreakMode_);
  } else {
    double h = lines > 0 ? lh * lines : b.size.height;
    s = TextMetrics::sizeWithFont(text_, f, Size{b.size.width, h}, lineBreakMode_);
  }
  return Rect(b.origin.x, b.origin.y, s.width, s.height);
}

Size Label::sizeThatFits(Size size) const {
  if (text_.empty()) return Size{0, 0};
  if (numberOfLines_ == 1) return TextMetrics::sizeWithFont(text_, font_);
  double lh = TextMetrics::lineHeight(font_);
  double h = numberOfLines_ > 0 ? lh * numberOfLines_ : 0;
  return TextMetrics::sizeWithFont(text_, font_, Size{size.width, h}, lineBreakMode_);
}

void Label::describeProperties(std::vector<std::string>& out) const {
  out.push_back("text=" + quoted(text_));
  View::describeProperties(out);
  // Taking no touches is what these views do by default: not worth a word.
  std::erase(out, std::string("no-touch"));
}

}  // namespace platform
