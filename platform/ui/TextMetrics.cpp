#include "platform/ui/TextMetrics.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <optional>
#include <string_view>

#include "platform/foundation/Text.h"
#include "platform/ui/GlyphRenderer.h"

namespace platform {

namespace {

struct FontChoice {
  bool chosen = false;
  std::shared_ptr<GlyphRenderer> font;
};

FontChoice& choice() {
  static FontChoice c;
  return c;
}

// Advances in points at one size, in the font in use.
struct Measure {
  const GlyphRenderer* font;
  double size;
  double operator()(char32_t c) const {
    return (font ? font->advance(c) : TextMetrics::advanceFactor(c)) * size;
  }
};

Measure measureAt(double size) { return Measure{TextMetrics::font().get(), size}; }

std::u32string decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  forEachCodePoint(text, [&](char32_t c) { out += c; });
  return out;
}

std::string encode(std::u32string_view s) {
  std::string out;
  for (char32_t c : s) out += toUtf8(c);
  return out;
}

bool isBreak(char32_t c) { return c == U'\n' || c == U'\r' || c == 0x85 || c == 0x2028 || c == 0x2029; }
bool isSpace(char32_t c) { return c == U' ' || c == U'\t' || c == 0x3000; }
bool isWide(char32_t c) { return TextMetrics::advanceFactor(c) == 1.0; }

double widthOf(std::u32string_view s, const Measure& m) {
  double w = 0;
  for (char32_t c : s) w += m(c);
  return w;
}

// Width without the trailing spaces, which hang past the line's end.
double visibleWidth(std::u32string_view s, const Measure& m) {
  std::size_t n = s.size();
  while (n > 0 && isSpace(s[n - 1])) --n;
  return widthOf(s.substr(0, n), m);
}

// The width of text that wrapping would leave on one line: text without line breaks whose width
// (less its trailing spaces, which hang past the end) fits maxWidth, or any such text when there is
// no maxWidth. Nothing when wrapping has to do the work.
std::optional<double> fittingLineWidth(std::string_view text, const Measure& m, double maxWidth) {
  double width = 0, visible = 0;
  bool broken = false;
  forEachCodePoint(text, [&](char32_t c) {
    if (isBreak(c)) broken = true;
    width += m(c);
    if (!isSpace(c)) visible = width;
  });
  if (broken) return std::nullopt;
  if (maxWidth <= 0) return width;
  if (visible <= maxWidth + 1e-9) return visible;
  return std::nullopt;
}

std::vector<std::u32string> paragraphs(const std::u32string& text) {
  std::vector<std::u32string> out(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (isBreak(c)) {
      if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

// Marks that never start a line: closing brackets and quotes, and the punctuation that follows
// what it marks (ASCII, full-width and CJK).
constexpr std::u32string_view ClosingMarks =
    U")]},.;:!?%\u2019\u201D\u2026、。〉》」』】〕〗〙〛〞〟！％），．：；？］｝｠｡｣､";
// Marks that never end a line: opening brackets and quotes.
constexpr std::u32string_view OpeningMarks = U"([{\u2018\u201C〈《「『【〔〖〘〚〝（［｛｟｢";

bool closes(char32_t c) { return ClosingMarks.find(c) != std::u32string_view::npos; }
bool opens(char32_t c) { return OpeningMarks.find(c) != std::u32string_view::npos; }

// Whether a line may end between a and b: not before a closing mark, not after an opening one.
bool mayBreakBetween(char32_t a, char32_t b) { return !closes(b) && !opens(a); }

// Units that a line may not split: a run of spaces, a wide character, or a word of narrow
// characters (a single character with character wrapping); then closing marks join what they
// close and opening marks what they open, across the spaces between.
std::vector<std::u32string> units(const std::u32string& para, bool byCharacter) {
  std::vector<std::u32string> out;
  for (char32_t c : para) {
    bool space = isSpace(c);
    bool wide = !space && isWide(c);
    bool joins = !out.empty() && !byCharacter && !wide && !isWide(out.back().back()) &&
                 space == isSpace(out.back().back());
    // A zero-width mark always stays with the character before it.
    if (!out.empty() && TextMetrics::advanceFactor(c) == 0.0 && !space) joins = true;
    if (joins)
      out.back() += c;
    else
      out.emplace_back(1, c);
  }
  std::vector<std::u32string> joined;
  for (std::u32string& u : out) {
    if (!joined.empty() && !isSpace(u.front())) {
      // The unit before, past a run of spaces.
      std::size_t before = joined.size() - 1;
      if (isSpace(joined[before].front()) && before > 0) --before;
      if (!isSpace(joined[before].front()) && !mayBreakBetween(joined[before].back(), u.front())) {
        for (std::size_t i = before + 1; i < joined.size(); ++i) joined[before] += joined[i];
        joined.resize(before + 1);
        joined[before] += u;
        continue;
      }
    }
    joined.push_back(std::move(u));
  }
  return joined;
}

void wrapParagraph(const std::u32string& para, const Measure& m, double maxWidth, bool byCharacter,
                   std::vector<std::u32string>& lines) {
  if (maxWidth <= 0) {
    lines.push_back(para);
    return;
  }
  std::u32string line;
  bool any = false;
  auto flush = [&] {
    std::size_t n = line.size();
    while (n > 0 && isSpace(line[n - 1])) --n;
    lines.push_back(line.substr(0, n));
    line.clear();
    any = true;
  };
  for (const std::u32string& u : units(para, byCharacter)) {
    bool space = isSpace(u.front());
    if (space) {
      if (!line.empty() || !any) line += u;  // spaces hang at a line's end; dropped at a wrapped start
      continue;
    }
    if (visibleWidth(line + u, m) <= maxWidth + 1e-9) {
      line += u;
      continue;
    }
    if (visibleWidth(line, m) > 0) flush();
    if (widthOf(u, m) <= maxWidth + 1e-9) {
      line = u;
      continue;
    }
    // A word wider than the line: broken between characters, where a line may end; else a
    // character or more earlier, so that no closing mark starts a line and no opening one ends it.
    for (std::size_t i = 0; i < u.size(); ++i) {
      std::u32string next = line + u[i];
      if (!line.empty() && widthOf(next, m) > maxWidth + 1e-9 && TextMetrics::advanceFactor(u[i]) > 0) {
        std::size_t at = line.size();
        auto mayEndAt = [&](std::size_t k) {
          char32_t after = k < line.size() ? line[k] : u[i];
          return mayBreakBetween(line[k - 1], after) && TextMetrics::advanceFactor(after) > 0;
        };
        while (at > 0 && !mayEndAt(at)) --at;
        if (at == 0) {
          // Nowhere to end the line within it: the rule gives way to the width.
          flush();
          line = std::u32string(1, u[i]);
        } else {
          std::u32string carried = line.substr(at);
          line.resize(at);
          flush();
          line = carried + u[i];
        }
      } else {
        line = std::move(next);
      }
    }
  }
  if (!line.empty() || !any) {
    std::size_t n = line.size();
    while (n > 0 && isSpace(line[n - 1])) --n;
    lines.push_back(line.substr(0, n));
  }
}

}  // namespace

const std::shared_ptr<GlyphRenderer>& TextMetrics::font() {
  FontChoice& c = choice();
  if (!c.chosen) {
    c.chosen = true;
    c.font = GlyphRenderer::systemFont();
    if (!c.font)
      std::cerr
          << "kavro: no font file found (Debian's fonts-wqy-microhei, or $KAVRO_FONT naming one): "
             "text is measured with a fixed advance per character class and pictures show it as boxes\n";
  }
  return c.font;
}

void TextMetrics::setFont(std::shared_ptr<GlyphRenderer> font) {
  choice().chosen = true;
  choice().font = std::move(font);
}

double TextMetrics::advance(char32_t c, double fontSize) { return measureAt(fontSize)(c); }

double TextMetrics::advanceFactor(char32_t c) {
  if (c == U'\t') return 0.5;
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return 0;
  if (c < 0x7F) return 0.5;
  if ((c >= 0x300 && c <= 0x36F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x2060 && c <= 0x2064) ||
      (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF) || c == 0xFEFF)
    return 0;
  if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x2600 && c <= 0x27BF) || (c >= 0x1F000 && c <= 0x1FAFF) ||
      (c >= 0x20000 && c <= 0x3FFFD))
    return 1;
  return 0.5;
}

double TextMetrics::lineHeight(double fontSize) { return std::ceil(fontSize * 1.2 - 1e-9); }

double TextMetrics::widthOfText(std::string_view text, const Font& font) {
  const Measure m = measureAt(font.pointSize());
  double w = 0;
  forEachCodePoint(text, [&](char32_t c) { w += m(c); });
  return w;
}

std::vector<std::string> TextMetrics::linesForText(std::string_view text, const Font& font, double maxWidth,
                                                   LineBreakMode mode, std::size_t maxLines) {
  std::vector<std::u32string> lines;
  const Measure m = measureAt(font.pointSize());
  for (const std::u32string& para : paragraphs(decode(text)))
    wrapParagraph(para, m, maxWidth, mode == LineBreakMode::CharacterWrap, lines);
  if (maxLines > 0 && lines.size() > maxLines) lines.resize(maxLines);
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (const auto& l : lines) out.push_back(encode(l));
  return out;
}

Size TextMetrics::sizeWithFont(std::string_view text, const Font& font) {
  if (text.empty()) return Size{0, 0};
  return Size{std::ceil(widthOfText(text, font) - 1e-9), lineHeight(font)};
}

Size TextMetrics::sizeWithFont(std::string_view text, const Font& font, Size constrained,
                               LineBreakMode mode) {
  if (text.empty()) return Size{0, 0};
  double lh = lineHeight(font);
  // Most labels are one line that fits: measured in one pass, as wrapping would measure it.
  if (auto fit = fittingLineWidth(text, measureAt(font.pointSize()), constrained.width)) {
    double w = std::ceil(*fit - 1e-9);
    if (constrained.width > 0) w = std::min(w, constrained.width);
    return Size{w, lh};
  }
  std::size_t maxLines = 0;
  if (constrained.height > 0)
    maxLines = std::max<std::size_t>(1, std::size_t(std::floor(constrained.height / lh + 1e-9)));
  std::vector<std::string> lines = linesForText(text, font, constrained.width, mode, maxLines);
  double w = 0;
  for (const auto& l : lines) w = std::max(w, widthOfText(l, font));
  w = std::ceil(w - 1e-9);
  if (constrained.width > 0) w = std::min(w, constrained.width);
  return Size{w, lh * double(lines.size())};
}

Size TextMetrics::sizeWithFont(std::string_view text, const Font& font, double forWidth, LineBreakMode mode) {
  if (text.empty()) return Size{0, 0};
  double w = std::ceil(widthOfText(text, font) - 1e-9);
  if (forWidth > 0) w = std::min(w, forWidth);
  return Size{w, lineHeight(font)};
}

Size TextMetrics::sizeWithFont(std::string_view text, const Font& font, double minFontSize,
                               double* actualFontSize, double forWidth, LineBreakMode mode) {
  double size = font.pointSize();
  if (!text.empty() && forWidth > 0) {
    double w = widthOfText(text, font);
    if (w > forWidth) size = std::max(minFontSize, size * forWidth / w);
  }
  if (actualFontSize) *actualFontSize = size;
  return sizeWithFont(text, font.fontWithSize(size), forWidth, mode);
}

std::string TextMetrics::truncateLine(std::string_view line, const Font& font, double width,
                                      LineBreakMode mode) {
  std::u32string s = decode(line);
  const Measure m = measureAt(font.pointSize());
  if (widthOf(s, m) <= width + 1e-9) return std::string(line);
  const std::u32string ellipsis = U"\u2026";
  double room = width - widthOf(ellipsis, m);
  auto fitPrefix = [&](double w) {
    std::size_t n = 0;
    double acc = 0;
    while (n < s.size() && acc + m(s[n]) <= w + 1e-9) acc += m(s[n++]);
    return n;
  };
  auto fitSuffix = [&](double w) {
    std::size_t n = 0;
    double acc = 0;
    while (n < s.size() && acc + m(s[s.size() - 1 - n]) <= w + 1e-9) acc += m(s[s.size() - 1 - n++]);
    return n;
  };
  switch (mode) {
    case LineBreakMode::TailTruncation:
      if (room < 0) return "";
      return encode(s.substr(0, fitPrefix(room)) + ellipsis);
    case LineBreakMode::HeadTruncation:
      if (room < 0) return "";
      return encode(ellipsis + s.substr(s.size() - fitSuffix(room)));
    case LineBreakMode::MiddleTruncation: {
      if (room < 0) return "";
      std::size_t head = fitPrefix(room / 2);
      double used = widthOf(s.substr(0, head), m);
      std::size_t tail = std::min(fitSuffix(room - used), s.size() - head);
      return encode(s.substr(0, head) + ellipsis + s.substr(s.size() - tail));
    }
    default:
      return encode(s.substr(0, fitPrefix(width)));
  }
}

}  // namespace platform
