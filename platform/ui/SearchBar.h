#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Text.h"
#include "platform/graphics/Color.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"

namespace platform {

class Button;
class SearchBar;

// Asked and told about the search field; every method optional (empty: not implemented, which
// allows).
class SearchBarDelegate {
 public:
  virtual ~SearchBarDelegate() = default;
  virtual std::optional<bool> searchBarShouldBeginEditing(SearchBar& sb) { return std::nullopt; }
  virtual void searchBarTextDidBeginEditing(SearchBar& sb) {}
  virtual std::optional<bool> searchBarShouldEndEditing(SearchBar& sb) { return std::nullopt; }
  virtual void searchBarTextDidEndEditing(SearchBar& sb) {}
  virtual void textDidChange(SearchBar& sb, std::string_view text) {}
  virtual std::optional<bool> shouldChangeTextInRange(SearchBar& sb, Range range,
                                                      std::string_view replacement) {
    return std::nullopt;
  }
  virtual void searchButtonClicked(SearchBar& sb) {}
  virtual void cancelButtonClicked(SearchBar& sb) {}
};

// A search field in a 44-point bar, with an optional "Cancel" button at its right. The field is a
// TextField (searchField()) whose editing the bar reports to its delegate; the return key is the
// search button. setText, like typing, tells textDidChange when the text changes. The bar is
// first responder while its field is.
class SearchBar : public View {
 public:
  static constexpr double Height = 44;

  explicit SearchBar(Rect frame = {});
  ~SearchBar() override;

  std::string text() const;
  void setText(std::string text);
  std::string placeholder() const;
  void setPlaceholder(std::string p);
  const std::string& prompt() const { return prompt_; }
  void setPrompt(std::string p) { prompt_ = std::move(p); }
  bool showsCancelButton() const { return showsCancel_; }
  void setShowsCancelButton(bool shows, bool animated = false);
  BarStyle barStyle() const { return barStyle_; }
  void setBarStyle(BarStyle s) { barStyle_ = s; }
  const std::optional<Color>& tintColor() const { return tint_; }
  void setTintColor(std::optional<Color> c) { tint_ = std::move(c); }
  bool isTranslucent() const { return translucent_; }
  void setTranslucent(bool t) { translucent_ = t; }
  KeyboardType keyboardType() const { return field_->keyboardType(); }
  void setKeyboardType(KeyboardType t) { field_->setKeyboardType(t); }
  TextAutocorrectionType autocorrectionType() const { return field_->autocorrectionType(); }
  void setAutocorrectionType(TextAutocorrectionType t) { field_->setAutocorrectionType(t); }
  TextAutocapitalizationType autocapitalizationType() const { return field_->autocapitalizationType(); }
  void setAutocapitalizationType(TextAutocapitalizationType t) { field_->setAutocapitalizationType(t); }

  const std::weak_ptr<SearchBarDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<SearchBarDelegate> d) { delegate_ = std::move(d); }
  const std::shared_ptr<TextField>& searchField() const { return field_; }
  // Null while not shown.
  const std::shared_ptr<Button>& cancelButton() const { return cancel_; }

  bool canBecomeFirstResponder() const override { return true; }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;
  bool isFirstResponder() const override;

  void layoutSubviews() override;
  Size sizeThatFits(Size size) const override { return Size{size.width, Height}; }
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  class FieldDelegate;
  friend class FieldDelegate;

  std::shared_ptr<TextField> field_;
  std::shared_ptr<FieldDelegate> fieldDelegate_;
  std::shared_ptr<Button> cancel_;
  std::string prompt_;
  bool showsCancel_ = false;
  BarStyle barStyle_ = BarStyle::Default;
  std::optional<Color> tint_;
  bool translucent_ = false;
  std::weak_ptr<SearchBarDelegate> delegate_;
};

}  // namespace platform
