#include <gtest/gtest.h>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/RectValue.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/UIDriver.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

// Keeps at most `limit` UTF-16 units, as form fields do, and writes down every question.
class LimitDelegate : public TextFieldDelegate {
 public:
  std::size_t limit = 4;
  std::vector<std::pair<Range, std::string>> asked;
  int returns = 0;
  std::optional<bool> shouldChangeCharactersInRange(TextField& tf, Range r, std::string_view with) override {
    asked.emplace_back(r, std::string(with));
    return utf16Length(tf.text()) - r.length + utf16Length(with) <= limit;
  }
  std::optional<bool> textFieldShouldReturn(TextField& tf) override {
    ++returns;
    tf.resignFirstResponder();
    return false;
  }
};

class TextInputTest : public UITest {
 protected:
  std::vector<std::string> posted;
  void SetUp() override {
    UITest::SetUp();
    for (auto name : {KeyboardWillShowNotification, KeyboardDidShowNotification, KeyboardWillHideNotification,
                      KeyboardDidHideNotification, TextFieldTextDidChangeNotification})
      NotificationCenter::defaultCenter().addObserver(
          name, nullptr, [this](const Notification& n) { posted.push_back(n.name); }, this);
  }
  void TearDown() override {
    NotificationCenter::defaultCenter().removeObserversOwnedBy(this);
    UITest::TearDown();
  }
};

TEST_F(TextInputTest, EditsCountUtf16UnitsWithCjkAndEmoji) {
  auto field = std::make_shared<TextField>(Rect(10, 100, 200, 30));
  auto delegate = std::make_shared<LimitDelegate>();
  field->setDelegate(delegate);
  int changed = 0;
  field->addTarget(this, ControlEvent::EditingChanged, [&](Control&) { ++changed; });
  window->addSubview(field);

  EXPECT_FALSE(field->insertText("x"));  // not editing yet
  ASSERT_TRUE(UIDriver::tap(*field));
  EXPECT_TRUE(field->isFirstResponder());
  ASSERT_TRUE(UIDriver::type("中文😀a"));
  // 中, 文 and the emoji (two units) fit; "a" would make five.
  EXPECT_EQ(field->text(), "中文😀");
  ASSERT_EQ(delegate->asked.size(), 4u);
  EXPECT_EQ(delegate->asked[2].first, (Range{2, 0}));
  EXPECT_EQ(delegate->asked[3].first, (Range{4, 0}));
  EXPECT_EQ(changed, 3);

  // The delete key takes the whole emoji.
  ASSERT_TRUE(UIDriver::deleteBackward());
  EXPECT_EQ(delegate->asked.back().first, (Range{2, 2}));
  EXPECT_EQ(field->text(), "中文");
  field->setSelectedRange(Range{0, 1});
  field->insertText("ab");
  EXPECT_EQ(field->text(), "ab文");
  EXPECT_EQ(field->selectedRange(), (Range{2, 0}));

  ASSERT_TRUE(UIDriver::pressReturn());
  EXPECT_EQ(delegate->returns, 1);
  EXPECT_FALSE(field->isFirstResponder());
}

// What one press of the delete key takes in either input: the whole character a person sees,
// with the marks, selectors, skin tones and zero-width-joined characters that make it up.
TEST_F(TextInputTest, TheDeleteKeyTakesTheWholeCharacterBeforeTheCaret) {
  struct Case {
    const char* typed;
    const char* left;
  };
  const std::vector<Case> cases = {
      {"ab", "a"},
      {"a中", "a"},
      {"a😀", "a"},
      {"ae\u0301", "a"},                                                       // e with a combining accent
      {"a\u2764\uFE0F", "a"},                                                  // a heart as an emoji
      {"a\U0001F44D\U0001F3FD", "a"},                                          // a thumb with a skin tone
      {"a1\uFE0F\u20E3", "a"},                                                 // a keycap
      {"a\U0001F468\u200D\U0001F469\u200D\U0001F467", "a"},                    // a family of three joined
      {"a\U0001F3F3\uFE0F\u200D\U0001F308", "a"},                              // a rainbow flag
      {"\U0001F468\u200D\U0001F469\U0001F467", "\U0001F468\u200D\U0001F469"},  // the last one is not joined
  };
  auto field = std::make_shared<TextField>(Rect(10, 100, 200, 30));
  auto view = std::make_shared<TextView>(Rect(10, 200, 200, 100));
  window->addSubview(field);
  window->addSubview(view);
  for (const Case& c : cases) {
    ASSERT_TRUE(UIDriver::tap(*field));
    field->setText("");
    ASSERT_TRUE(UIDriver::type(c.typed));
    ASSERT_TRUE(UIDriver::deleteBackward());
    EXPECT_EQ(field->text(), c.left) << "field: " << c.typed;

    ASSERT_TRUE(UIDriver::tap(*view));
    view->setText("");
    ASSERT_TRUE(UIDriver::type(c.typed));
    ASSERT_TRUE(UIDriver::deleteBackward());
    EXPECT_EQ(view->text(), c.left) << "text view: " << c.typed;
  }
}

TEST_F(TextInputTest, KeyboardComesAndGoesWithEditingAndStaysAcrossFocusMoves) {
  auto a = std::make_shared<TextField>(Rect(0, 100, 100, 30));
  auto b = std::make_shared<TextView>(Rect(0, 200, 100, 60));
  window->addSubview(a);
  window->addSubview(b);
  std::optional<Rect> endFrame;
  NotificationCenter::defaultCenter().addObserver(
      KeyboardWillShowNotification, nullptr,
      [&](const Notification& n) {
        endFrame = RectValue::rectFromValue(n.userInfo->valueForKey(KeyboardFrameEndUserInfoKey));
      },
      this);

  ASSERT_TRUE(a->becomeFirstResponder());
  EXPECT_EQ(posted, (std::vector<std::string>{std::string(KeyboardWillShowNotification)}));
  EXPECT_EQ(endFrame, Rect(0, 264, 320, 216));
  runFor(Keyboard::AnimationDuration);
  EXPECT_EQ(posted.back(), KeyboardDidShowNotification);

  posted.clear();
  ASSERT_TRUE(b->becomeFirstResponder());  // the focus moves: no hide
  EXPECT_FALSE(a->isEditing());
  EXPECT_TRUE(posted.empty());
  EXPECT_TRUE(Keyboard::shared().isVisible());

  window->endEditing(true);
  runFor(Keyboard::AnimationDuration);
  EXPECT_EQ(posted, (std::vector<std::string>{std::string(KeyboardWillHideNotification),
                                              std::string(KeyboardDidHideNotification)}));
  EXPECT_FALSE(Keyboard::shared().isVisible());

  // Ending again what has ended tells nobody: no end of editing, no keyboard.
  posted.clear();
  int ended = 0;
  NotificationCenter::defaultCenter().addObserver(
      TextViewTextDidEndEditingNotification, nullptr, [&](const Notification&) { ++ended; }, this);
  EXPECT_TRUE(b->resignFirstResponder());
  EXPECT_TRUE(window->endEditing(true));
  runFor(Keyboard::AnimationDuration);
  EXPECT_EQ(ended, 0);
  EXPECT_TRUE(posted.empty());
  EXPECT_FALSE(Keyboard::shared().isVisible());
}

TEST_F(TextInputTest, RefusingToEndKeepsTheFocusUnlessForced) {
  struct Stubborn : TextFieldDelegate {
    std::optional<bool> textFieldShouldEndEditing(TextField&) override { return false; }
  };
  auto stubborn = std::make_shared<Stubborn>();
  auto a = std::make_shared<TextField>(Rect(0, 100, 100, 30));
  auto b = std::make_shared<TextField>(Rect(0, 200, 100, 30));
  a->setDelegate(stubborn);
  window->addSubview(a);
  window->addSubview(b);
  a->becomeFirstResponder();
  EXPECT_FALSE(b->becomeFirstResponder());
  EXPECT_TRUE(a->isFirstResponder());
  EXPECT_TRUE(window->endEditing(true));
  EXPECT_FALSE(a->isEditing());
  // Leaving the window ends editing too.
  b->becomeFirstResponder();
  b->removeFromSuperview();
  EXPECT_FALSE(b->isEditing());
  EXPECT_EQ(window->firstResponder(), nullptr);
}

TEST_F(TextInputTest, ANewApplicationStartsWithTheKeyboardDownAndNothingPending) {
  // The keyboard is process-wide: an application ended while it was up must not hand the next one
  // a keyboard that claims to be up, nor a late "did show" from the old one.
  std::vector<std::string> posted;
  for (auto name : {KeyboardWillShowNotification, KeyboardDidShowNotification, KeyboardWillHideNotification,
                    KeyboardDidHideNotification})
    NotificationCenter::defaultCenter().addObserver(
        name, nullptr, [&](const Notification& n) { posted.push_back(n.name); }, this);
  auto a = std::make_shared<TextField>(Rect(0, 100, 100, 30));
  window->addSubview(a);
  ASSERT_TRUE(a->becomeFirstResponder());
  ASSERT_TRUE(Keyboard::shared().isVisible());

  Application::destroySharedApplication();
  EXPECT_FALSE(Keyboard::shared().isVisible());
  EXPECT_EQ(Keyboard::shared().frame(), Rect(0, 480, 320, 216));
  runFor(Keyboard::AnimationDuration * 2);
  EXPECT_EQ(posted, (std::vector<std::string>{std::string(KeyboardWillShowNotification)}));

  // The next editing shows it again, as on a fresh start.
  posted.clear();
  auto fresh = std::make_shared<Window>();
  fresh->makeKeyAndVisible();
  auto b = std::make_shared<TextField>(Rect(0, 100, 100, 30));
  fresh->addSubview(b);
  ASSERT_TRUE(b->becomeFirstResponder());
  EXPECT_TRUE(Keyboard::shared().isVisible());
  EXPECT_EQ(Keyboard::shared().frame(), Rect(0, 264, 320, 216));
  runFor(Keyboard::AnimationDuration);
  EXPECT_EQ(posted, (std::vector<std::string>{std::string(KeyboardWillShowNotification),
                                              std::string(KeyboardDidShowNotification)}));
  NotificationCenter::defaultCenter().removeObserversOwnedBy(this);
}

}  // namespace
}  // namespace kavro::test
