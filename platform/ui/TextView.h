#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Text.h"
#include "platform/graphics/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextInputTraits.h"
#include "platform/ui/TextMetrics.h"

namespace platform {

class TextView;

// Posted with the text view as object.
inline constexpr std::string_view TextViewTextDidBeginEditingNotification =
    "UITextViewTextDidBeginEditingNotification";
inline constexpr std::string_view TextViewTextDidChangeNotification = "UITextViewTextDidChangeNotification";
inline constexpr std::string_view TextViewTextDidEndEditingNotification =
    "UITextViewTextDidEndEditingNotification";

// Asked and told about editing; every method optional (empty: not implemented, which allows).
class TextViewDelegate : public ScrollViewDelegate {
 public:
  virtual std::optional<bool> textViewShouldBeginEditing(TextView& tv) { return std::nullopt; }
  virtual void textViewDidBeginEditing(TextView& tv) {}
  virtual std::optional<bool> textViewShouldEndEditing(TextView& tv) { return std::nullopt; }
  virtual void textViewDidEndEditing(TextView& tv) {}
  // range counts UTF-16 units of the current text.
  virtual std::optional<bool> shouldChangeTextInRange(TextView& tv, Range range,
                                                      std::string_view replacement) {
    return std::nullopt;
  }
  virtual void textViewDidChange(TextView& tv) {}
  virtual void textViewDidChangeSelection(TextView& tv) {}
};

// A scrolling multi-line text input. Editing works as in TextField (UTF-16 ranges, the delegate's
// shouldChangeTextInRange, then textViewDidChange and TextViewTextDidChangeNotification); the
// return key types a line break. The content size follows the text wrapped at the width less 16
// points, plus 16 points of room. A text view that is not editable does not become first
// responder.
class TextView : public ScrollView {
 public:
  explicit TextView(Rect frame = {});

  const std::string& text() const { return text_; }
  void setText(std::string text);
  const Font& font() const { return font_; }
  void setFont(const Font& f);
  const Color& textColor() const { return textColor_; }
  void setTextColor(const Color& c) { textColor_ = c; }
  TextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(TextAlignment a) { alignment_ = a; }
  bool isEditable() const { return editable_; }
  void setEditable(bool e) { editable_ = e; }

  const TextInputTraits& traits() const { return traits_; }
  KeyboardType keyboardType() const { return traits_.keyboardType; }
  void setKeyboardType(KeyboardType t) { traits_.keyboardType = t; }
  ReturnKeyType returnKeyType() const { return traits_.returnKeyType; }
  void setReturnKeyType(ReturnKeyType t) { traits_.returnKeyType = t; }
  TextAutocorrectionType autocorrectionType() const { return traits_.autocorrectionType; }
  void setAutocorrectionType(TextAutocorrectionType t) { traits_.autocorrectionType = t; }
  TextAutocapitalizationType autocapitalizationType() const { return traits_.autocapitalizationType; }
  void setAutocapitalizationType(TextAutocapitalizationType t) { traits_.autocapitalizationType = t; }
  bool isSecureTextEntry() const { return traits_.secureTextEntry; }
  void setSecureTextEntry(bool s) { traits_.secureTextEntry = s; }

  const std::weak_ptr<TextViewDelegate>& delegate() const { return textDelegate_; }
  void setDelegate(std::weak_ptr<TextViewDelegate> d);
  bool isEditing() const { return editing_; }

  Range selectedRange() const { return selection_; }
  void setSelectedRange(Range r);
  bool hasText() const { return !text_.empty(); }

  bool insertText(std::string_view text);
  bool deleteBackward();
  // Types a line break.
  bool returnKey() { return insertText("\n"); }

  bool canBecomeFirstResponder() const override { return editable_; }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;
  void touchesEnded(const Touch& t) override;

  std::string displayedText() const override { return text_; }
  void describeProperties(std::vector<std::string>& out) const override;

 protected:
  void boundsDidChange(const Rect& oldBounds) override;

 private:
  bool replace(Range range, std::string_view with);
  void updateContentSize();

  std::string text_;
  Font font_ = Font::systemFontOfSize(17);
  Color textColor_ = Color::black();
  TextAlignment alignment_ = TextAlignment::Left;
  bool editable_ = true;
  TextInputTraits traits_;
  std::weak_ptr<TextViewDelegate> textDelegate_;
  bool editing_ = false;
  Range selection_;
};

}  // namespace platform
