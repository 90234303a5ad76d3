#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Control.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace platform {

// The platform's values.
enum class ButtonType {
  Custom = 0,
  RoundedRect = 1,
  DetailDisclosure = 2,
  InfoLight = 3,
  InfoDark = 4,
  ContactAdd = 5
};

// A push button: a title, an image and a background image per control state, laid out by fixed
// rules (the state asked for, else the normal state's value, is shown):
//   content rectangle  = the bounds less contentEdgeInsets;
//   the image (its size in points) and the title (one line in the title label's font, at most as
//   wide as the content rectangle less the image) stand side by side, image first, as a pair
//   aligned by contentHorizontalAlignment, each vertically by contentVerticalAlignment;
//   imageRectForContentRect places the image within the content rectangle less imageEdgeInsets,
//   titleRectForContentRect the title within the content rectangle less titleEdgeInsets, each
//   as if the other stood beside it (so equal and opposite insets move an element by their size);
//   Fill alignment: the title takes the room right of the image, and the height.
// Titles use the bold system font of 15 points; a custom button's titles are white, a rounded
// one's blue-grey, unless set.
class Button : public Control {
 public:
  static std::shared_ptr<Button> buttonWithType(ButtonType type = ButtonType::Custom, Rect frame = {});

  ButtonType buttonType() const { return type_; }

  void setTitle(std::optional<std::string> title, unsigned state = ControlState::Normal);
  std::optional<std::string> titleForState(unsigned state) const;
  std::string currentTitle() const;
  void setTitleColor(std::optional<Color> color, unsigned state = ControlState::Normal);
  std::optional<Color> titleColorForState(unsigned state) const;
  Color currentTitleColor() const;
  void setTitleShadowColor(std::optional<Color> color, unsigned state = ControlState::Normal);
  std::optional<Color> titleShadowColorForState(unsigned state) const;
  void setImage(std::shared_ptr<Image> image, unsigned state = ControlState::Normal);
  std::shared_ptr<Image> imageForState(unsigned state) const;
  std::shared_ptr<Image> currentImage() const;
  void setBackgroundImage(std::shared_ptr<Image> image, unsigned state = ControlState::Normal);
  std::shared_ptr<Image> backgroundImageForState(unsigned state) const;
  std::shared_ptr<Image> currentBackgroundImage() const;

  // The views that show the title and the image (laid out by layoutSubviews).
  const std::shared_ptr<Label>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<ImageView>& imageView() const;

  EdgeInsets contentEdgeInsets() const { return contentInsets_; }
  void setContentEdgeInsets(EdgeInsets e);
  EdgeInsets titleEdgeInsets() const { return titleInsets_; }
  void setTitleEdgeInsets(EdgeInsets e);
  EdgeInsets imageEdgeInsets() const { return imageInsets_; }
  void setImageEdgeInsets(EdgeInsets e);
  bool showsTouchWhenHighlighted() const { return showsTouch_; }
  void setShowsTouchWhenHighlighted(bool v) { showsTouch_ = v; }
  bool adjustsImageWhenHighlighted() const { return adjustsImageHighlighted_; }
  void setAdjustsImageWhenHighlighted(bool v) { adjustsImageHighlighted_ = v; }
  bool adjustsImageWhenDisabled() const { return adjustsImageDisabled_; }
  void setAdjustsImageWhenDisabled(bool v) { adjustsImageDisabled_ = v; }

  Rect backgroundRectForBounds(const Rect& bounds) const { return bounds; }
  Rect contentRectForBounds(const Rect& bounds) const;
  Rect titleRectForContentRect(const Rect& contentRect) const;
  Rect imageRectForContentRect(const Rect& contentRect) const;

  void setEnabled(bool e) override;
  void setSelected(bool s) override;
  void setHighlighted(bool h) override;
  void layoutSubviews() override;
  // Title (on one line) and image side by side, plus the content insets.
  Size sizeThatFits(Size size) const override;
  std::string displayedText() const override { return currentTitle(); }
  void describeProperties(std::vector<std::string>& out) const override;

 protected:
  explicit Button(ButtonType type = ButtonType::Custom, Rect frame = {});

 private:
  template <class T>
  static T lookup(const std::map<unsigned, T>& m, unsigned state, T fallback);
  // What lookup would answer, in place; null for the fallback.
  template <class T>
  static const T* find(const std::map<unsigned, T>& m, unsigned state);
  // Unlimited without a width.
  Size titleSize(std::optional<double> maxWidth) const;
  Size imageSize() const;
  void refresh();

  ButtonType type_;
  std::map<unsigned, std::string> titles_;
  std::map<unsigned, Color> titleColors_;
  std::map<unsigned, Color> titleShadowColors_;
  std::map<unsigned, std::shared_ptr<Image>> images_;
  std::map<unsigned, std::shared_ptr<Image>> backgroundImages_;
  std::shared_ptr<Label> titleLabel_;
  // Made when first wanted: most buttons show a title alone.
  mutable std::shared_ptr<ImageView> imageView_;
  EdgeInsets contentInsets_, titleInsets_, imageInsets_;
  bool showsTouch_ = false;
  bool adjustsImageHighlighted_ = true;
  bool adjustsImageDisabled_ = true;
};

}  // namespace platform
