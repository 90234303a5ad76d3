#pragma once
#include <memory>
#include <optional>
#include <string>

#include "mapsdk/display/PaopaoButton.h"
#include "platform/ui/View.h"

namespace mapsdk {

// Told when the body of a bubble is tapped.
class PaopaoBaseViewDelegate {
 public:
  virtual ~PaopaoBaseViewDelegate() = default;
  virtual void onMoreButtonClicked() = 0;
};

// The call-out ("paopao") that the map shows above a selected annotation view: a body with a
// title and an optional detail line over a stretchable two-half background. The map view places
// it with showAtPoint and is its delegate (not owned). Make with create(). Main thread only.
class PaopaoBaseView : public platform::View {
 public:
  static std::shared_ptr<PaopaoBaseView> create();
  static std::shared_ptr<PaopaoBaseView> create(const std::optional<std::string>& text,
                                                const std::optional<std::string>& detailText);

  const std::shared_ptr<PaopaoButton>& paopaoButton() const { return paopaoButton_; }
  const std::weak_ptr<PaopaoBaseViewDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<PaopaoBaseViewDelegate> delegate) { delegate_ = std::move(delegate); }

  // Texts on the body; the bubble keeps its origin and takes the body's size.
  virtual void setText(const std::optional<std::string>& text, const std::optional<std::string>& detailText);
  // The middle of the bottom edge onto the point (x less floor(width / 2)).
  void showAtPoint(platform::Point point);
  void onClickContentButton();

  // The pictures a subclass gives its body through initPaopaoButton.
  virtual std::string middlePaopaoLeftImage() const { return "icon_paopao_middle_left"; }
  virtual std::string middlePaopaoLeftHighlightedImage() const {
    return "icon_paopao_middle_left_highlighted";
  }
  virtual platform::Rect middlePaopaoLeftImageStretchRect() const { return {10, 0, 0, 0}; }
  virtual std::string middlePaopaoRightImage() const { return "icon_paopao_middle_right"; }
  virtual std::string middlePaopaoRightHighlightedImage() const {
    return "icon_paopao_middle_right_highlighted";
  }
  virtual platform::Rect middlePaopaoRightImageStretchRect() const { return {9, 0, 0, 0}; }
  // Replaces the body by one built from the hooks above.
  void initPaopaoButton();

 protected:
  PaopaoBaseView();

  void attachBody(std::shared_ptr<PaopaoButton> body);
  void wireBody();

 private:
  std::shared_ptr<PaopaoButton> paopaoButton_;
  std::weak_ptr<PaopaoBaseViewDelegate> delegate_;
};

}  // namespace mapsdk
