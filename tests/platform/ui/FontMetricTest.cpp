#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/graphics/BitmapContext.h"
#include "platform/ui/Font.h"
#include "platform/ui/GlyphRenderer.h"
#include "platform/ui/Label.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextMetrics.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

// A skin names fonts by family and weight; a name outside the known families and weights is no font,
// whatever its length, so the skin keeps its own default.
TEST(FontTest, NamedFontsAreTheKnownFamiliesAndWeightsOnly) {
  for (std::string family : {"Helvetica", "Arial", "Courier", "Georgia", "STHeitiSC"})
    for (auto [suffix, bold] : std::vector<std::pair<std::string, bool>>{
             {"", false}, {"-Bold", true}, {"-Light", false}, {"-Medium", true}}) {
      auto font = Font::fontWithName(family + suffix, 15.5);
      ASSERT_TRUE(font) << family + suffix;
      EXPECT_EQ(font->fontName(), family + suffix);
      EXPECT_EQ(font->pointSize(), 15.5);
      EXPECT_EQ(font->isBold(), bold) << family + suffix;
    }
  EXPECT_EQ(Font::fontWithName("System", 11), Font::systemFontOfSize(11));
  EXPECT_EQ(Font::fontWithName("System-Bold", 11), Font::boldSystemFontOfSize(11));
  // Shorter than, as long as, and longer than the family names; a family with an unknown weight,
  // in other case, or as a prefix of something else.
  for (std::string_view unknown :
       {"", "Times", "Arial-", "Verdana99", "123456789", "Helvetica-Oblique", "helvetica", "ArialBold",
        "Courier-Bold-Bold", "STHeitiSC-Black", "system"})
    EXPECT_FALSE(Font::fontWithName(unknown, 12)) << unknown;
}

// Text measured and drawn with the installed font (tools/deps.sh installs one).
class FontMetricTest : public UITest {
 protected:
  void SetUp() override {
    UITest::SetUp();
    font = GlyphRenderer::systemFont();
    if (!font) GTEST_SKIP() << "no font installed (fonts-wqy-microhei)";
    TextMetrics::setFont(font);
  }
  void TearDown() override {
    TextMetrics::setFont(GlyphRenderer::systemFont());
    UITest::TearDown();
  }

  // The bounding box, in points, of the pixels drawn in pure red (the text) in the picture.
  static Rect inkBox(const Image& image) {
    const Bitmap& bm = *image.bitmap();
    int x0 = bm.width(), y0 = bm.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < bm.height(); ++y)
      for (int x = 0; x < bm.width(); ++x) {
        Pixel p = bm.pixelAt(x, y);
        if (p.r - p.g < 40 || p.r - p.b < 40) continue;
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
      }
    if (x1 < 0) return Rect();
    double s = image.scale();
    return Rect(x0 / s, y0 / s, (x1 + 1 - x0) / s, (y1 + 1 - y0) / s);
  }

  std::shared_ptr<GlyphRenderer> font;
};

TEST_F(FontMetricTest, AdvancesAreTheFontsOwnAndScaleWithTheSize) {
  EXPECT_EQ(TextMetrics::font(), font);
  EXPECT_EQ(GlyphRenderer::systemFont(), font) << "looked up once, then shared";
  Font f14 = Font::systemFontOfSize(14), f28 = Font::systemFontOfSize(28);
  // Proportional: the fixed metric would give "i" and "W" the same half em.
  EXPECT_LT(TextMetrics::advance(U'i', 14), TextMetrics::advance(U'W', 14));
  EXPECT_GT(TextMetrics::advance(U'中', 14), 0);
  EXPECT_EQ(TextMetrics::advance(0x301, 14), 0) << "a combining accent takes no room";
  EXPECT_EQ(TextMetrics::advance(U'\t', 14), TextMetrics::advance(U' ', 14));
  const std::string text = "上海浦江 2013-05-20 Marketing";
  double w14 = TextMetrics::widthOfText(text, f14);
  EXPECT_DOUBLE_EQ(TextMetrics::widthOfText(text, f28), 2 * w14);
  EXPECT_DOUBLE_EQ(font->widthOfLine(text, 14), w14) << "pictures measure as layout does";
  EXPECT_EQ(TextMetrics::sizeWithFont(text, f14), (Size{std::ceil(w14), 17}));
  EXPECT_DOUBLE_EQ(TextMetrics::widthOfText("e\u0301", f14), TextMetrics::widthOfText("e", f14));

  // Wrapping and cutting follow the same advances.
  double wide = TextMetrics::widthOfText("上海浦江", f14);
  EXPECT_EQ(TextMetrics::linesForText("上海浦江上海浦江", f14, wide, LineBreakMode::WordWrap),
            (std::vector<std::string>{"上海浦江", "上海浦江"}));
  EXPECT_EQ(TextMetrics::truncateLine("上海浦江", f14, wide, LineBreakMode::TailTruncation), "上海浦江");
  EXPECT_NE(TextMetrics::truncateLine("上海浦江", f14, wide - 1, LineBreakMode::TailTruncation), "上海浦江");
  // Shrinking to fit lands on the size whose width is the room given.
  double actual = 0;
  TextMetrics::sizeWithFont(text, f28, 1, &actual, w14, LineBreakMode::TailTruncation);
  EXPECT_DOUBLE_EQ(actual, 14);
}

// A constrained size is the widest of the lines wrapping gives, whether the text is one line that
// fits (measured in one pass) or has to be wrapped.
TEST_F(FontMetricTest, AConstrainedSizeIsTheWidestOfTheWrappedLines) {
  const Font f = Font::systemFontOfSize(14);
  auto wrapped = [&](const std::string& text, double width) {
    auto lines = TextMetrics::linesForText(text, f, width, LineBreakMode::WordWrap);
    double w = 0;
    for (const auto& l : lines) w = std::max(w, TextMetrics::widthOfText(l, f));
    w = std::ceil(w - 1e-9);
    if (width > 0) w = std::min(w, width);
    return Size{w, TextMetrics::lineHeight(f) * double(lines.size())};
  };
  const double fits = TextMetrics::widthOfText("上海 Marketing", f);
  for (const std::string text : {"上海 Marketing", "上海 Marketing   ", "  上海 Marketing", "上海\nMarketing",
                                 "上海\u2028Marketing", "e\u0301 \t", "   ", "\xff\xfe 上海"}) {
    for (double width : {0.0, fits, std::floor(fits), fits + 40, 20.0}) {
      SCOPED_TRACE(text + " in " + std::to_string(width));
      EXPECT_EQ(TextMetrics::sizeWithFont(text, f, Size{width, 0}, LineBreakMode::WordWrap),
                wrapped(text, width));
    }
  }
}

TEST_F(FontMetricTest, ATextThatFitsItsLabelIsShownWholeAndDrawnInsideIt) {
  for (const std::string text :
       {"上海-浦东新区", "2013-05-20", "Marketing Assistant", "MAX WEBMEDIA", "广州 \"星河\" 贸易有限公司"}) {
    for (double size : {12.0, 14.0, 15.0, 17.0}) {
      Font f = Font::systemFontOfSize(size);
      auto row = std::make_shared<View>(Rect(0, 0, 320, 44));
      row->setBackgroundColor(Color::white());
      Size fit = TextMetrics::sizeWithFont(text, f);
      auto label = std::make_shared<Label>(Rect(300 - fit.width, 10, fit.width, fit.height));
      label->setFont(f);
      label->setText(text);
      label->setTextColor(Color::red());
      label->setBackgroundColor(std::nullopt);
      row->addSubview(label);
      EXPECT_EQ(label->displayLines(), (std::vector<std::string>{text})) << text << " at " << size;

      auto picture = Snapshot::imageOfView(*row, 2);
      ASSERT_TRUE(picture);
      Rect ink = inkBox(*picture);
      EXPECT_GT(ink.size.width, fit.width / 2) << text << " at " << size << " is drawn";
      EXPECT_GE(ink.minX(), label->frame().minX()) << text << " at " << size;
      EXPECT_LE(ink.maxX(), label->frame().maxX()) << text << " at " << size;
      EXPECT_GE(ink.minY(), label->frame().minY()) << text << " at " << size;
      EXPECT_LE(ink.maxY(), label->frame().maxY()) << text << " at " << size;

      // A point less and the text is cut, with the ellipsis.
      label->setFrame(Rect(300 - fit.width + 1, 10, fit.width - 1, fit.height));
      ASSERT_EQ(label->displayLines().size(), 1u);
      EXPECT_TRUE(label->displayLines()[0].ends_with("\u2026")) << text << " at " << size;
    }
  }
}

// Advances are read from the font as characters are first measured, possibly by several threads
// at once: each thread of a freshly loaded font sees what one thread measuring alone sees.
TEST_F(FontMetricTest, CombiningMarksShowOverTheirLetterAndFormatCharactersShowNothing) {
  // The red pixels of a label drawing the text.
  auto inkOf = [](const std::string& text) {
    auto row = std::make_shared<View>(Rect(0, 0, 80, 40));
    row->setBackgroundColor(Color::white());
    auto label = std::make_shared<Label>(Rect(10, 5, 60, 30));
    label->setFont(Font::systemFontOfSize(20));
    label->setText(text);
    label->setTextColor(Color::red());
    label->setBackgroundColor(std::nullopt);
    row->addSubview(label);
    auto picture = Snapshot::imageOfView(*row, 2);
    int count = 0;
    const Bitmap& bm = *picture->bitmap();
    for (int y = 0; y < bm.height(); ++y)
      for (int x = 0; x < bm.width(); ++x) {
        Pixel p = bm.pixelAt(x, y);
        if (p.r - p.g >= 40 && p.r - p.b >= 40) ++count;
      }
    return count;
  };
  const int letter = inkOf("e");
  ASSERT_GT(letter, 0);
  // The first of the combining marks and the next (the installed font draws few of the others).
  EXPECT_GT(inkOf("e\u0300"), letter) << "grave accent";
  EXPECT_GT(inkOf("e\u0301"), letter) << "acute accent";
  // Zero-width space, joiner, word joiner, byte order mark, variation selector: nothing is seen.
  for (const char* format : {"\u200B", "\u200D", "\u2060", "\uFEFF", "\uFE0F"})
    EXPECT_EQ(inkOf(std::string("e") + format), letter) << format;
}

TEST_F(FontMetricTest, AdvancesMeasuredFromSeveralThreadsAtOnceAgree) {
  const std::vector<char32_t> chars = {U'a',   U'W',    U' ',    U'\t',  U'中',    U'，',    0x301,
                                       0x200B, 0x1F600, 0x20000, 0xE123, 0x10FFFF, 0x110000, 0};
  auto alone = GlyphRenderer::fromFile(font->path());
  ASSERT_TRUE(alone);
  std::vector<double> expected;
  for (char32_t c : chars) expected.push_back(alone->advance(c));
  EXPECT_EQ(alone->advance(U'\t'), alone->advance(U' '));
  EXPECT_EQ(alone->advance(0x301), 0);
  EXPECT_EQ(alone->advance(0x200B), 0);
  // Characters the font does not map take its placeholder's advance, in either plane.
  EXPECT_EQ(alone->advance(0xE123), alone->advance(0x10FFFF));
  EXPECT_GT(alone->advance(0xE123), 0);
  // Asked again, the kept advances are the ones read.
  for (std::size_t i = 0; i < chars.size(); ++i) EXPECT_EQ(alone->advance(chars[i]), expected[i]);

  auto shared = GlyphRenderer::fromFile(font->path());
  ASSERT_TRUE(shared);
  std::vector<std::vector<double>> seen(4);
  std::vector<std::thread> threads;
  for (auto& out : seen)
    threads.emplace_back([&, out = &out] {
      for (int round = 0; round < 50; ++round)
        for (char32_t c : chars) out->push_back(shared->advance(c));
    });
  for (auto& t : threads) t.join();
  for (const auto& out : seen)
    for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], expected[i % chars.size()]) << i;
}

TEST_F(FontMetricTest, AFontFileThatCannotBeReadGivesNoFont) {
  EXPECT_EQ(GlyphRenderer::fromFile("/nonexistent/font.ttc"), nullptr);
  EXPECT_EQ(GlyphRenderer::fromFile("/etc/hostname"), nullptr);
  // A $KAVRO_FONT that cannot be loaded leaves the installed font in use.
  const char* before = std::getenv("KAVRO_FONT");
  std::string saved = before ? before : "";
  setenv("KAVRO_FONT", "/nonexistent/font.ttc", 1);
  auto fallback = GlyphRenderer::systemFont();
  ASSERT_TRUE(fallback);
  EXPECT_NE(fallback->path(), "/nonexistent/font.ttc");
  setenv("KAVRO_FONT", fallback->path().c_str(), 1);
  EXPECT_EQ(GlyphRenderer::systemFont()->path(), fallback->path());
  if (before)
    setenv("KAVRO_FONT", saved.c_str(), 1);
  else
    unsetenv("KAVRO_FONT");

  // Without a font: the fixed metric, and glyph boxes in pictures.
  TextMetrics::setFont(nullptr);
  EXPECT_EQ(Snapshot::glyphRenderer(), nullptr);
  EXPECT_EQ(TextMetrics::advance(U'i', 10), 5);
  EXPECT_EQ(TextMetrics::advance(U'中', 10), 10);
  Snapshot::setGlyphRenderer(nullptr);
  ASSERT_TRUE(TextMetrics::font());
  EXPECT_EQ(TextMetrics::font()->path(), font->path()) << "back to the installed font";
  Snapshot::setGlyphRenderer(font);
  EXPECT_EQ(TextMetrics::font(), font) << "one font for pictures and layout";
}

}  // namespace
}  // namespace kavro::test
