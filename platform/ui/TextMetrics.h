#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Font.h"

namespace platform {

class GlyphRenderer;

// The platform's values.
enum class LineBreakMode {
  WordWrap = 0,
  CharacterWrap = 1,
  Clip = 2,
  HeadTruncation = 3,
  TailTruncation = 4,
  MiddleTruncation = 5
};
enum class TextAlignment { Left = 0, Center = 1, Right = 2 };

// The one text metric of the headless toolkit, shared by labels, buttons, text inputs, the
// sizeWithFont helpers, every height computed from text and the pictures (Snapshot), so that a
// text is drawn exactly as wide as the layout measured it:
//
// - Advance of a character: the font's own (GlyphRenderer: Debian's fonts-wqy-microhei, or the
//   font that $KAVRO_FONT names), unhinted, times the font size in points. When no font file is
//   found, which is said once on standard error, a fixed advance per character class in ems:
//     0   zero-width: C0/C1 controls other than tab, combining marks U+0300-036F, U+200B-200F,
//         U+2060-2064, variation selectors U+FE00-FE0F and U+E0100-E01EF, U+FEFF;
//     1   wide: Hangul Jamo U+1100-115F, CJK and kana U+2E80-A4CF, Hangul U+AC00-D7A3, CJK
//         compatibility U+F900-FAFF and U+FE30-FE4F, full-width forms U+FF00-FF60 and U+FFE0-FFE6,
//         symbols and emoji U+2600-27BF and U+1F000-1FAFF, planes 2 and 3;
//     0.5 everything else (ASCII, Latin, Greek, Cyrillic, punctuation, the ellipsis).
//   The zero-width class takes no room with a font either. Characters are Unicode scalar values
//   (a surrogate pair, an emoji, is one character). Widths scale linearly with the font size.
// - The width of a line is the sum of its advances; sizes handed out are rounded up to whole
//   points. A bold font measures like the regular one.
// - Line height: ceil(1.2 x font size) (17 for 14 pt, 21 for 17 pt), with or without a font.
// - Line breaks: "\n", "\r", "\r\n", U+0085, U+2028 and U+2029 always end a line.
// - Word wrapping breaks after spaces (U+0020, tab, U+3000) and before and after every wide
//   character (the wide class above); a word wider than the line is broken between characters.
//   Spaces at the end of a line hang (take no width); spaces at the start of a wrapped line are
//   dropped. Character wrapping breaks between any two characters. Either way a closing mark
//   never starts a line and an opening one never ends it, even with spaces between: the closing
//   brackets and quotes ) ] } ’ ” ）］｝〉》」』】〕〗〙〛 and the punctuation , . ; : ! ? % …
//   、。，．：；！？％ stay with the character before them, and the opening brackets and quotes
//   ( [ { ‘ “ （［｛〈《「『【〔〖〘〚 with the one after; where a word wider than the line
//   is broken, the break moves back to where a line may end (only a run with no such place breaks
//   against the rule). Truncation modes and Clip wrap like WordWrap when measuring several lines;
//   they matter where a line is cut (truncateLine).
class TextMetrics {
 public:
  // The font that measures (and Snapshot draws with): the one given to setFont, else, from the
  // first measurement on, GlyphRenderer::systemFont(); nullptr: the fixed metric.
  static const std::shared_ptr<GlyphRenderer>& font();
  // Another font for every later measurement and picture; nullptr: the fixed metric (and glyph
  // boxes in pictures). Main thread, between layouts.
  static void setFont(std::shared_ptr<GlyphRenderer> font);

  // The fixed metric's advance in ems (0, 0.5 or 1), which is also the character's class.
  static double advanceFactor(char32_t c);
  // The advance in points in the font in use.
  static double advance(char32_t c, double fontSize);
  static double lineHeight(double fontSize);
  static double lineHeight(const Font& font) { return lineHeight(font.pointSize()); }

  // Unrounded width of the text as one line (line breaks measure nothing).
  static double widthOfText(std::string_view text, const Font& font);

  // The lines of text wrapped at maxWidth (maxWidth <= 0: no wrapping, only line breaks), at most
  // maxLines of them (0: all). Trailing spaces of a wrapped line are kept out of the line.
  static std::vector<std::string> linesForText(std::string_view text, const Font& font, double maxWidth,
                                               LineBreakMode mode, std::size_t maxLines = 0);

  // sizeWithFont: the text on one line; empty text: zero size.
  static Size sizeWithFont(std::string_view text, const Font& font);
  // sizeWithFont:constrainedToSize:lineBreakMode: the text wrapped at the width (0: unlimited)
  // and cut to the whole lines that fit the height (0: unlimited; at least one line). The width
  // is that of the widest line, never above the constraint.
  static Size sizeWithFont(std::string_view text, const Font& font, Size constrainedToSize,
                           LineBreakMode mode);
  // sizeWithFont:forWidth:lineBreakMode: one line, at most width wide.
  static Size sizeWithFont(std::string_view text, const Font& font, double forWidth, LineBreakMode mode);
  // sizeWithFont:minFontSize:actualFontSize:forWidth:lineBreakMode: one line; the font shrinks,
  // down to minFontSize, so that the text fits the width; actualFontSize (when given) receives the
  // size used. Widths are linear in the size, so the size used is exactly the one that fits.
  static Size sizeWithFont(std::string_view text, const Font& font, double minFontSize,
                           double* actualFontSize, double forWidth, LineBreakMode mode);

  // One line cut to the width: an ellipsis "…" at the tail, head or middle for the truncation
  // modes, a plain cut otherwise. A line that fits comes back unchanged.
  static std::string truncateLine(std::string_view line, const Font& font, double width, LineBreakMode mode);
};

}  // namespace platform
