#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Text.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Control.h"
#include "platform/ui/Font.h"
#include "platform/ui/TextInputTraits.h"
#include "platform/ui/TextMetrics.h"

namespace platform {

class TextField;

// The platform's values.
enum class TextBorderStyle { None = 0, Line = 1, Bezel = 2, RoundedRect = 3 };
enum class TextFieldViewMode { Never = 0, WhileEditing = 1, UnlessEditing = 2, Always = 3 };

// Posted with the field as object.
inline constexpr std::string_view TextFieldTextDidBeginEditingNotification =
    "UITextFieldTextDidBeginEditingNotification";
inline constexpr std::string_view TextFieldTextDidChangeNotification = "UITextFieldTextDidChangeNotification";
inline constexpr std::string_view TextFieldTextDidEndEditingNotification =
    "UITextFieldTextDidEndEditingNotification";

// Asked and told about editing; every method optional (empty: not implemented, which allows).
class TextFieldDelegate {
 public:
  virtual ~TextFieldDelegate() = default;
  virtual std::optional<bool> textFieldShouldBeginEditing(TextField& tf) { return std::nullopt; }
  virtual void textFieldDidBeginEditing(TextField& tf) {}
  virtual std::optional<bool> textFieldShouldEndEditing(TextField& tf) { return std::nullopt; }
  virtual void textFieldDidEndEditing(TextField& tf) {}
  // range counts UTF-16 units of the current text.
  virtual std::optional<bool> shouldChangeCharactersInRange(TextField& tf, Range range,
                                                            std::string_view replacement) {
    return std::nullopt;
  }
  virtual std::optional<bool> textFieldShouldClear(TextField& tf) { return std::nullopt; }
  virtual std::optional<bool> textFieldShouldReturn(TextField& tf) { return std::nullopt; }
};

// A one-line text input. Typed text (insertText, deleteBackward: what the keyboard sends while
// the field is first responder) replaces the selection, a UTF-16 range, after the delegate's
// shouldChangeCharactersInRange agreed; then EditingChanged is sent and
// TextFieldTextDidChangeNotification posted, and the caret stands after the new text. setText
// changes the text without any of that. Becoming first responder (allowed by
// textFieldShouldBeginEditing) begins editing: didBeginEditing, EditingDidBegin, the notification,
// and the keyboard comes up; resigning (allowed by textFieldShouldEndEditing unless forced) ends
// it the same way. The return key asks textFieldShouldReturn and then sends EditingDidEndOnExit;
// when some target listens for that event the field resigns.
class TextField : public Control {
 public:
  explicit TextField(Rect frame = {});

  const std::string& text() const { return text_; }
  void setText(std::string text);
  const std::string& placeholder() const { return placeholder_; }
  void setPlaceholder(std::string p) { placeholder_ = std::move(p); }
  const Font& font() const { return font_; }
  void setFont(const Font& f) { font_ = f; }
  const Color& textColor() const { return textColor_; }
  void setTextColor(const Color& c) { textColor_ = c; }
  TextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(TextAlignment a) { alignment_ = a; }
  TextBorderStyle borderStyle() const { return borderStyle_; }
  void setBorderStyle(TextBorderStyle s) { borderStyle_ = s; }
  TextFieldViewMode clearButtonMode() const { return clearButtonMode_; }
  void setClearButtonMode(TextFieldViewMode m) { clearButtonMode_ = m; }
  bool clearsOnBeginEditing() const { return clearsOnBeginEditing_; }
  void setClearsOnBeginEditing(bool c) { clearsOnBeginEditing_ = c; }
  bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
  void setAdjustsFontSizeToFitWidth(bool a) { adjustsFontSize_ = a; }
  double minimumFontSize() const { return minimumFontSize_; }
  void setMinimumFontSize(double s) { minimumFontSize_ = s; }
  const std::shared_ptr<Image>& background() const { return background_; }
  void setBackground(std::shared_ptr<Image> img) { background_ = std::move(img); }
  const std::shared_ptr<View>& leftView() const { return leftView_; }
  void setLeftView(std::shared_ptr<View> v);
  TextFieldViewMode leftViewMode() const { return leftViewMode_; }
  void setLeftViewMode(TextFieldViewMode m);
  const std::shared_ptr<View>& rightView() const { return rightView_; }
  void setRightView(std::shared_ptr<View> v);
  TextFieldViewMode rightViewMode() const { return rightViewMode_; }
  void setRightViewMode(TextFieldViewMode m);

  const TextInputTraits& traits() const { return traits_; }
  KeyboardType keyboardType() const { return traits_.keyboardType; }
  void setKeyboardType(KeyboardType t) { traits_.keyboardType = t; }
  ReturnKeyType returnKeyType() const { return traits_.returnKeyType; }
  void setReturnKeyType(ReturnKeyType t) { traits_.returnKeyType = t; }
  TextAutocorrectionType autocorrectionType() const { return traits_.autocorrectionType; }
  void setAutocorrectionType(TextAutocorrectionType t) { traits_.autocorrectionType = t; }
  TextAutocapitalizationType autocapitalizationType() const { return traits_.autocapitalizationType; }
  void setAutocapitalizationType(TextAutocapitalizationType t) { traits_.autocapitalizationType = t; }
  bool enablesReturnKeyAutomatically() const { return traits_.enablesReturnKeyAutomatically; }
  void setEnablesReturnKeyAutomatically(bool e) { traits_.enablesReturnKeyAutomatically = e; }
  bool isSecureTextEntry() const { return traits_.secureTextEntry; }
  void setSecureTextEntry(bool s) { traits_.secureTextEntry = s; }

  const std::weak_ptr<TextFieldDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<TextFieldDelegate> d) { delegate_ = std::move(d); }
  bool isEditing() const { return editing_; }

  // In UTF-16 units; kept within the text.
  Range selectedRange() const { return selection_; }
  void setSelectedRange(Range r);

  // --- The keyboard (while editing; false otherwise or when refused) --------------------------
  bool insertText(std::string_view text);
  bool deleteBackward();
  bool returnKey();
  // The clear button.
  bool clear();

  bool canBecomeFirstResponder() const override;
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;

  Rect textRectForBounds(const Rect& bounds) const;
  Rect editingRectForBounds(const Rect& bounds) const { return textRectForBounds(bounds); }
  Rect placeholderRectForBounds(const Rect& bounds) const { return textRectForBounds(bounds); }
  // The text as shown: bullets for secure entry.
  std::string displayText() const;
  // The text (as shown), else the placeholder.
  std::string displayedText() const override;
  void layoutSubviews() override;
  void describeProperties(std::vector<std::string>& out) const override;

 protected:
  void touchUpInside(const Touch& t) override { becomeFirstResponder(); }

 private:
  bool replace(Range range, std::string_view with);
  bool sideViewShown(TextFieldViewMode mode) const;

  std::string text_;
  std::string placeholder_;
  Font font_ = Font::systemFontOfSize(17);
  Color textColor_ = Color::black();
  TextAlignment alignment_ = TextAlignment::Left;
  TextBorderStyle borderStyle_ = TextBorderStyle::None;
  TextFieldViewMode clearButtonMode_ = TextFieldViewMode::Never;
  bool clearsOnBeginEditing_ = false;
  bool adjustsFontSize_ = false;
  double minimumFontSize_ = 0;
  std::shared_ptr<Image> background_;
  std::shared_ptr<View> leftView_, rightView_;
  TextFieldViewMode leftViewMode_ = TextFieldViewMode::Never, rightViewMode_ = TextFieldViewMode::Never;
  TextInputTraits traits_;
  std::weak_ptr<TextFieldDelegate> delegate_;
  bool editing_ = false;
  Range selection_;
};

}  // namespace platform
