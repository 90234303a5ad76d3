#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/ui/GlyphRenderer.h"
#include "platform/ui/Label.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextEditing.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/TextView.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

// The fixed metric, which measures when no font file is found: exact numbers and glyph boxes.
class TextAndDrawingTest : public UITest {
 protected:
  void SetUp() override {
    UITest::SetUp();
    TextMetrics::setFont(nullptr);
  }
  void TearDown() override {
    TextMetrics::setFont(GlyphRenderer::systemFont());
    UITest::TearDown();
  }
};

TEST_F(TextAndDrawingTest, MetricEdgesBreaksMarksAndShrinking) {
  Font f = Font::systemFontOfSize(10);
  EXPECT_EQ(TextMetrics::advanceFactor(U'e'), 0.5);
  EXPECT_EQ(TextMetrics::advanceFactor(0x301), 0);   // a combining accent
  EXPECT_EQ(TextMetrics::advanceFactor(0xFF01), 1);  // full-width "!"
  EXPECT_EQ(TextMetrics::sizeWithFont("e\u0301", f), (Size{5, 12}));
  EXPECT_EQ(TextMetrics::linesForText("ab\r\ncd\n", f, 0, LineBreakMode::WordWrap),
            (std::vector<std::string>{"ab", "cd", ""}));
  // Spaces hang at a wrapped line's end and are dropped at the next line's start.
  EXPECT_EQ(TextMetrics::linesForText("abc    def", f, 20, LineBreakMode::WordWrap),
            (std::vector<std::string>{"abc", "def"}));
  EXPECT_EQ(TextMetrics::linesForText("abcdef", f, 15, LineBreakMode::CharacterWrap),
            (std::vector<std::string>{"abc", "def"}));
  EXPECT_EQ(TextMetrics::truncateLine("abcdefgh", f, 20, LineBreakMode::HeadTruncation), "\u2026fgh");
  EXPECT_EQ(TextMetrics::truncateLine("abcdefgh", f, 20, LineBreakMode::MiddleTruncation), "a\u2026gh");
  EXPECT_EQ(TextMetrics::truncateLine("abcdefgh", f, 20, LineBreakMode::Clip), "abcd");
  double actual = 0;
  EXPECT_EQ(TextMetrics::sizeWithFont("abcdefgh", f, 5, &actual, 20, LineBreakMode::TailTruncation),
            (Size{20, 6}));
  EXPECT_EQ(actual, 5);
  EXPECT_EQ(TextMetrics::sizeWithFont("", f), (Size{0, 0}));

  auto label = std::make_shared<Label>(Rect(0, 0, 20, 30));
  label->setFont(f);
  label->setText("abcdefgh");
  label->setAdjustsFontSizeToFitWidth(true);
  label->setMinimumFontSize(8);
  EXPECT_EQ(label->displayFont().pointSize(), 8);
  EXPECT_EQ(label->displayLines(), (std::vector<std::string>{"abcd\u2026"}));
  EXPECT_EQ(textediting::masked("a中😀"), "\u25CF\u25CF\u25CF");
}

// Closing brackets, quotes and punctuation stay with what they close, opening ones with what they
// open: no line starts with the one or ends with the other (widths: 5 a narrow character, 10 a wide
// one, at 10 pt).
TEST_F(TextAndDrawingTest, BracketsAndPunctuationNeverStartOrEndTheWrongLine) {
  Font f = Font::systemFontOfSize(10);
  using Lines = std::vector<std::string>;
  auto lines = [&](std::string_view text, double width, LineBreakMode mode = LineBreakMode::WordWrap) {
    return TextMetrics::linesForText(text, f, width, mode);
  };
  // Job titles as the demo data has them.
  EXPECT_EQ(lines("Web前端工程师（JavaScript）", 75), (Lines{"Web前端工程师", "（JavaScript）"}));
  EXPECT_EQ(lines("高级软件工程师（C++）", 95), (Lines{"高级软件工程师", "（C++）"}));
  EXPECT_EQ(lines("你好，世界。再见", 50), (Lines{"你好，世", "界。再见"}));
  EXPECT_EQ(lines("他说：「好」。", 40), (Lines{"他说：", "「好」。"}));
  // ASCII, across the spaces between.
  EXPECT_EQ(lines("abc ( def", 30), (Lines{"abc", "( def"}));
  EXPECT_EQ(lines("abc def )", 40), (Lines{"abc", "def )"}));
  // A word broken for its width breaks where a line may end.
  EXPECT_EQ(lines("abcdefgh(ij)", 45), (Lines{"abcdefgh", "(ij)"}));
  EXPECT_EQ(lines("abcdefgh)ij", 40), (Lines{"abcdefg", "h)ij"}));
  // Only a run with no place to end a line within the width breaks against the rule.
  EXPECT_EQ(lines("（笑）", 20), (Lines{"（笑", "）"}));
  // Character wrapping keeps the rule too.
  EXPECT_EQ(lines("abc(def)", 20, LineBreakMode::CharacterWrap), (Lines{"abc", "(de", "f)"}));
  EXPECT_EQ(lines("一二三。四", 30, LineBreakMode::CharacterWrap), (Lines{"一二", "三。四"}));

  // Every width that holds the longest run a line may not split, every mode: no line but the first starts
  // with a closing mark, none but the last ends with an opening one, and nothing but spaces is lost.
  const std::string_view closing[] = {")",  "]",  "}",  ",",  ".",  ";",  ":",  "!",  "?",  "’",
                                      "”",  "、", "。", "，", "．", "：", "；", "！", "？", "）",
                                      "］", "｝", "〉", "》", "」", "』", "】", "〕"};
  const std::string_view opening[] = {"(",  "[",  "{",  "‘",  "“",  "（", "［",
                                      "｛", "〈", "《", "「", "『", "【", "〔"};
  auto startsWithAny = [](const std::string& line, const auto& marks) {
    return std::any_of(std::begin(marks), std::end(marks),
                       [&](std::string_view m) { return line.starts_with(m); });
  };
  auto endsWithAny = [](const std::string& line, const auto& marks) {
    return std::any_of(std::begin(marks), std::end(marks),
                       [&](std::string_view m) { return line.ends_with(m); });
  };
  auto withoutSpaces = [](std::string text) {
    std::erase(text, ' ');
    return text;
  };
  for (std::string_view text : {"他说：“好的”。然后（笑）走了，《书》【注】「引」『号』。",
                                "Web前端工程师（JavaScript）、iOS开发工程师（Swift）；Go后端工程师！",
                                "see (the note) [here], {and} \"there\"; then: done! ok? yes.",
                                "a (b) c [d] e {f} g, h. i; j: k! l? m ( n ) o"}) {
    for (LineBreakMode mode : {LineBreakMode::WordWrap, LineBreakMode::CharacterWrap}) {
      for (double width = 85; width <= 250; width += 5) {
        Lines got = lines(text, width, mode);
        std::string all;
        for (std::size_t i = 0; i < got.size(); ++i) {
          all += got[i];
          const bool first = i == 0, last = i + 1 == got.size();
          EXPECT_TRUE(first || !startsWithAny(got[i], closing)) << text << " at " << width << ": " << got[i];
          EXPECT_TRUE(last || !endsWithAny(got[i], opening)) << text << " at " << width << ": " << got[i];
        }
        EXPECT_EQ(withoutSpaces(all), withoutSpaces(std::string(text))) << text << " at " << width;
      }
    }
  }

  // A label lays out and draws those lines, and sizes itself for them.
  auto label = std::make_shared<Label>(Rect(0, 0, 95, 40));
  label->setFont(f);
  label->setNumberOfLines(0);
  label->setText("高级软件工程师（C++）");
  EXPECT_EQ(label->displayLines(), (Lines{"高级软件工程师", "（C++）"}));
  EXPECT_EQ(TextMetrics::sizeWithFont(label->text(), f, Size{95, 0}, LineBreakMode::WordWrap),
            (Size{70, 24}));
}

TEST_F(TextAndDrawingTest, FieldsClearRefuseAndViewsGrowWithText) {
  struct Gate : TextFieldDelegate {
    bool open = false;
    std::optional<bool> textFieldShouldBeginEditing(TextField&) override { return open; }
  };
  auto gate = std::make_shared<Gate>();
  auto field = std::make_shared<TextField>(Rect(0, 100, 200, 30));
  field->setDelegate(gate);
  field->setText("old");
  field->setClearsOnBeginEditing(true);
  window->addSubview(field);
  EXPECT_FALSE(field->becomeFirstResponder());
  gate->open = true;
  ASSERT_TRUE(field->becomeFirstResponder());
  EXPECT_EQ(field->text(), "");
  field->insertText("secret");
  field->setSecureTextEntry(true);
  EXPECT_EQ(field->displayedText(), "\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF");
  EXPECT_TRUE(field->clear());
  EXPECT_EQ(field->text(), "");
  // With a target for the return key the field resigns by itself.
  field->addTarget(this, ControlEvent::EditingDidEndOnExit, [](Control&) {});
  EXPECT_TRUE(field->returnKey());
  EXPECT_FALSE(field->isEditing());

  int changes = 0;
  NotificationCenter::defaultCenter().addObserver(
      TextViewTextDidChangeNotification, nullptr, [&](const Notification&) { ++changes; }, this);
  auto tv = std::make_shared<TextView>(Rect(0, 200, 116, 100));
  tv->setFont(Font::systemFontOfSize(10));
  window->addSubview(tv);
  ASSERT_TRUE(tv->becomeFirstResponder());
  tv->insertText("aaaaaaaaaaaaaaaaaaaaa");  // 21 characters: two lines of 100 points
  tv->returnKey();
  EXPECT_EQ(tv->contentSize().height, 3 * 12 + 16);
  EXPECT_TRUE(tv->deleteBackward());
  EXPECT_EQ(changes, 3);
  NotificationCenter::defaultCenter().removeObserversOwnedBy(this);
  tv->setEditable(false);
  window->endEditing(true);
  EXPECT_FALSE(tv->becomeFirstResponder());
}

TEST_F(TextAndDrawingTest, ATextViewsListenerHearsBothItsEditingAndItsScrolling) {
  struct Listener : TextViewDelegate {
    std::vector<double> scrolled;
    int selections = 0;
    int animationsEnded = 0;
    void scrollViewDidScroll(ScrollView& sv) override { scrolled.push_back(sv.contentOffset().y); }
    void scrollViewDidEndScrollingAnimation(ScrollView&) override { ++animationsEnded; }
    void textViewDidChangeSelection(TextView&) override { ++selections; }
  };
  auto listener = std::make_shared<Listener>();
  auto tv = std::make_shared<TextView>(Rect(0, 0, 116, 40));
  tv->setDelegate(listener);
  tv->setFont(Font::systemFontOfSize(10));
  tv->setText("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
  window->addSubview(tv);
  tv->setContentOffset(Point{0, 20});
  EXPECT_EQ(listener->scrolled, (std::vector<double>{20}));
  // Asked for where it already is, it does not scroll: nobody hears of it, now or after an animation.
  tv->setContentOffset(Point{0, 20}, true);
  runFor(ScrollView::ScrollAnimationDuration * 2);
  EXPECT_EQ(listener->scrolled, (std::vector<double>{20}));
  EXPECT_EQ(listener->animationsEnded, 0);
  tv->setContentOffset(Point{0, 10}, true);
  EXPECT_EQ(listener->scrolled, (std::vector<double>{20, 10}));
  EXPECT_EQ(listener->animationsEnded, 0) << "not before the animation's time";
  runFor(ScrollView::ScrollAnimationDuration);
  EXPECT_EQ(listener->animationsEnded, 1);
  tv->setSelectedRange(Range{2, 3});
  EXPECT_EQ(listener->selections, 1);
}

TEST_F(TextAndDrawingTest, ALabelAsksToBeDrawnAgainOnlyWhenItsTextOrFontChanges) {
  auto label = std::make_shared<Label>(Rect(0, 0, 100, 20));
  const int first = label->displayRequests();
  label->setText("上海");
  EXPECT_EQ(label->displayRequests(), first + 1);
  label->setText("上海");
  EXPECT_EQ(label->displayRequests(), first + 1) << "the same text again";
  label->setText("上海市");
  EXPECT_EQ(label->displayRequests(), first + 2);
  label->setFont(Font::systemFontOfSize(11));
  EXPECT_EQ(label->displayRequests(), first + 3);
  label->setText("");
  EXPECT_EQ(label->displayRequests(), first + 4);
  EXPECT_EQ(label->text(), "");
}

TEST_F(TextAndDrawingTest, RendererDrawsColoursBordersTextAndTransforms) {
  auto root = std::make_shared<View>(Rect(50, 50, 40, 40));
  root->setBackgroundColor(Color::white());
  root->setBorderWidth(2);
  root->setBorderColor(Color::blue());
  auto half = std::make_shared<View>(Rect(10, 10, 10, 10));
  half->setBackgroundColor(Color::red());
  half->setAlpha(0.5);
  root->addSubview(half);
  auto label = std::make_shared<Label>(Rect(0, 20, 40, 20));
  label->setFont(Font::systemFontOfSize(10));
  label->setText("W");
  label->setTextColor(Color::green());
  label->setTextAlignment(TextAlignment::Center);
  label->setBackgroundColor(std::nullopt);
  root->addSubview(label);

  BitmapContext ctx(Size{40, 40}, false, 1);
  Snapshot::renderInContext(*root, ctx);  // its own coordinates: the frame's origin plays no part
  const Bitmap& bm = ctx.bitmap();
  EXPECT_EQ(bm.pixelAt(0, 0), (Pixel{0, 0, 255, 255}));      // border inside the bounds
  EXPECT_EQ(bm.pixelAt(5, 5), (Pixel{255, 255, 255, 255}));  // background
  EXPECT_EQ(bm.pixelAt(15, 15).r, 255);                      // red at half over white
  EXPECT_EQ(bm.pixelAt(15, 15).g, 128);
  // The one glyph box: centred in the 40-point row, within its 5-point advance.
  EXPECT_EQ(bm.pixelAt(20, 30), (Pixel{0, 255, 0, 255}));
  EXPECT_EQ(bm.pixelAt(10, 30), (Pixel{255, 255, 255, 255}));

  half->setTransform(AffineTransform::makeScale(2, 2));  // now 5...25 around its centre
  auto image = Snapshot::imageOfView(*root, 1);
  EXPECT_EQ(image->bitmap()->pixelAt(6, 6).g, 128);
  root->setClipsToBounds(true);
  half->setFrame(Rect(30, 30, 20, 20));
  image = Snapshot::imageOfView(*root, 1);
  EXPECT_EQ(image->bitmap()->width(), 40);
}

}  // namespace
}  // namespace kavro::test
