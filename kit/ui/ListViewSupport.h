#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/graphics/Geometry.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

// What the list framework needs from the skin engine and the view helpers, in one place, so the
// lists stay usable before (and independent of how) those are wired in. The skin hooks default to
// the plain text metric and to "no skin".
namespace kavro::listsupport {

struct SkinHooks {
  // apply:withSkinType:withSkinGroup: (empty type and group stand for nil).
  std::function<bool(platform::View&, std::string_view type, std::string_view group)> applyType;
  // apply:withSkinKey:
  std::function<bool(platform::View&, std::string_view key)> applyKey;
  // sizeForText:withSkinType:withSkinGroup:withMaxWidth: (maxWidth 0: unlimited).
  std::function<platform::Size(std::string_view text, std::string_view type, std::string_view group,
                               double maxWidth)>
      sizeForTextType;
  // sizeForText:withSkinKey:withMaxWidth:
  std::function<platform::Size(std::string_view text, std::string_view key, double maxWidth)> sizeForTextKey;
};
// The process's hooks; a skin engine installs its own.
SkinHooks& skinHooks();

bool applySkin(platform::View& view, std::string_view type, std::string_view group = {});
bool applySkinKey(platform::View& view, std::string_view key);
platform::Size sizeForText(std::string_view text, std::string_view type, std::string_view group,
                           double maxWidth);
platform::Size sizeForTextKey(std::string_view text, std::string_view key, double maxWidth);

// Any number of lines; the label keeps x, y and width and takes the height of its wrapped text.
void autoFitHeight(platform::Label& label);
// Both views take the smaller top and the larger height of the two.
void sameTopAndHeight(platform::View& a, platform::View& b);
// a's top goes margin below b's bottom edge.
void bottomOfView(platform::View& a, const platform::View& b, double margin);
// The view's height becomes the bottom of its lowest subview plus the margin.
void heightFromSubViewsWithBottomMargin(platform::View& view, double margin);
void setTop(platform::View& view, double y);
// The form input of the kit: a field with the frame, no autocorrection or capitalisation, "Done"
// return key, a clear button while editing, the ASCII keyboard and the common input skin.
std::shared_ptr<platform::TextField> initCommonInput(platform::Rect frame);
// Secure entry on / off, when not already so.
void convertToPasswordInput(platform::TextField& field);
void convertToCommonInput(platform::TextField& field);
// Moves the focus to the text input of the row at the path; whether one took it.
bool focusInputBoxAtIndexPath(platform::TableView& table, const platform::IndexPath& ip);
void setHeight(platform::View& view, double h);

}  // namespace kavro::listsupport

namespace kavro {

// An activity indicator with a text beside it, the pair centred in the view. setText() shows the
// view.
class ListLoadingView : public platform::View {
 public:
  explicit ListLoadingView(platform::Rect frame = {});
  const std::shared_ptr<platform::ActivityIndicatorView>& activityView() const { return activity_; }
  const std::shared_ptr<platform::Label>& label() const { return label_; }
  const std::string& text() const { return label_->text(); }
  void setText(std::string text);
  void autoResizing();
  void layoutSubviews() override;

 private:
  std::shared_ptr<platform::ActivityIndicatorView> activity_;
  std::shared_ptr<platform::Label> label_;
};

}  // namespace kavro

namespace kavro {

// The base of the list framework's screens. It becomes the kit's screen base once that is wired
// in; the screens build their views in customView(), called once when the view has loaded.
using ListScreenBase = platform::ViewController;

}  // namespace kavro
