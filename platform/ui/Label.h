#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/View.h"

namespace platform {

// Text on screen, measured by TextMetrics. Lines: numberOfLines (0: as many as fit the height),
// wrapped at the label's width by the line break mode; the last shown line is cut with the mode's
// truncation when the text goes on. With adjustsFontSizeToFitWidth a one-line label shrinks its
// font down to minimumFontSize to fit the width. The text is drawn vertically centred.
// No user interaction by default.
class Label : public View {
 public:
  explicit Label(Rect frame = {});

  const std::string& text() const { return text_; }
  // Copies the text only when it differs: rows set the same texts again and again.
  void setText(std::string_view text);
  const Font& font() const { return font_; }
  void setFont(const Font& f);
  const Color& textColor() const { return textColor_; }
  void setTextColor(const Color& c) { textColor_ = c; }
  const std::optional<Color>& highlightedTextColor() const { return highlightedTextColor_; }
  void setHighlightedTextColor(std::optional<Color> c) { highlightedTextColor_ = std::move(c); }
  bool isHighlighted() const { return highlighted_; }
  void setHighlighted(bool h) { highlighted_ = h; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool e) { enabled_ = e; }
  const std::optional<Color>& shadowColor() const { return shadowColor_; }
  void setShadowColor(std::optional<Color> c) { shadowColor_ = std::move(c); }
  Size shadowOffset() const { return shadowOffset_; }
  void setShadowOffset(Size s) { shadowOffset_ = s; }
  TextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(TextAlignment a) { alignment_ = a; }
  int numberOfLines() const { return numberOfLines_; }
  void setNumberOfLines(int n);
  LineBreakMode lineBreakMode() const { return lineBreakMode_; }
  void setLineBreakMode(LineBreakMode m) { lineBreakMode_ = m; }
  bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
  void setAdjustsFontSizeToFitWidth(bool on) { adjustsFontSize_ = on; }
  double minimumFontSize() const { return minimumFontSize_; }
  void setMinimumFontSize(double s) { minimumFontSize_ = s; }

  // The font the text is drawn in (smaller than font() when shrunk to fit).
  Font displayFont() const;
  // The lines as drawn in the current bounds, truncation applied.
  std::vector<std::string> displayLines() const;
  // The text's rectangle for the bounds and line limit (textRectForBounds:limitedToNumberOfLines:).
  Rect textRectForBounds(const Rect& bounds, int numberOfLines) const;

  // The text's size wrapped at size.width (0: unlimited), within the line limit.
  Size sizeThatFits(Size size) const override;
  std::string displayedText() const override { return text_; }
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  std::string text_;
  Font font_ = Font::systemFontOfSize(Font::labelFontSize());
  Color textColor_ = Color::black();
  std::optional<Color> highlightedTextColor_;
  bool highlighted_ = false;
  bool enabled_ = true;
  std::optional<Color> shadowColor_;
  Size shadowOffset_{0, -1};
  TextAlignment alignment_ = TextAlignment::Left;
  int numberOfLines_ = 1;
  LineBreakMode lineBreakMode_ = LineBreakMode::TailTruncation;
  bool adjustsFontSize_ = false;
  double minimumFontSize_ = 0;
};

}  // namespace platform
