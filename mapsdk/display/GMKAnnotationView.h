#pragma once
#include <memory>
#include <string>

#include "mapsdk/display/GMKAnnotation.h"
#include "mapsdk/display/GMKAnnotationHost.h"
#include "platform/graphics/Image.h"
#include "platform/ui/DrawingView.h"

namespace platform {
class GestureRecognizer;
class PanGestureRecognizer;
}  // namespace platform

namespace mapsdk {

// The platform's values.
enum class GMKAnnotationViewDragState : unsigned {
  None = 0,
  Starting = 1,
  Dragging = 2,
  Canceling = 3,
  Ending = 4
};

// The state of an annotation view, kept apart from the view (its companion).
struct GMKAnnotationViewInternal {
  std::shared_ptr<GMKAnnotation> annotation;
  std::string reuseIdentifier;  // "" when there is none
  std::shared_ptr<platform::Image> image;
  std::shared_ptr<platform::View> leftCalloutAccessoryView;
  std::shared_ptr<platform::View> rightCalloutAccessoryView;
  std::shared_ptr<platform::View> paopaoView;  // the bubble shown while selected
  std::weak_ptr<GMKAnnotationHost> mapView;
  bool enabled = true;
  bool highlighted = false;
  bool selected = false;
  bool canShowCallout = true;
  bool singleTap = false;  // a touch began and has not ended yet
  bool draggable = false;
  GMKAnnotationViewDragState dragState = GMKAnnotationViewDragState::None;
  platform::Point centerOffset;
  platform::Point calloutOffset;
};

// The view that stands on the map for one annotation: its image, where it stands relative to its
// coordinate (centre offset) and where its bubble opens (call-out offset), selection, taps and the
// drag gesture. It tells the map view what the user did by notifications (user info {"view": the
// view}): a tap on an enabled, unselected view asks for selection
// ("NotificationSelectAnnotationView"; the map view opens the bubble while handling it, and the
// view then plays the bubble's pop animation); a drag hides the bubble when it begins
// ("NotificationClearPaopao") and asks for the new coordinate when it ends
// ("NotificationUptateAnnotationCoordinate"). Make with std::make_shared. Main thread only.
class GMKAnnotationView : public platform::DrawingView {
 public:
  GMKAnnotationView(std::shared_ptr<GMKAnnotation> annotation, std::string reuseIdentifier);
  ~GMKAnnotationView() override;

  const GMKAnnotationViewInternal& internal() const { return internal_; }

  const std::string& reuseIdentifier() const { return internal_.reuseIdentifier; }
  const std::shared_ptr<GMKAnnotation>& annotation() const { return internal_.annotation; }
  void setAnnotation(std::shared_ptr<GMKAnnotation> annotation) {
    internal_.annotation = std::move(annotation);
  }
  const std::shared_ptr<platform::Image>& image() const { return internal_.image; }
  // Sizes the view to the picture: its pixels, halved on a retina screen; a zero frame without one.
  virtual void setImage(std::shared_ptr<platform::Image> image);
  platform::Point centerOffset() const { return internal_.centerOffset; }
  void setCenterOffset(platform::Point offset) { internal_.centerOffset = offset; }
  platform::Point calloutOffset() const { return internal_.calloutOffset; }
  void setCalloutOffset(platform::Point offset) { internal_.calloutOffset = offset; }
  bool isEnabled() const { return internal_.enabled; }
  void setEnabled(bool enabled) { internal_.enabled = enabled; }
  bool isHighlighted() const { return internal_.highlighted; }
  void setHighlighted(bool highlighted) { internal_.highlighted = highlighted; }
  bool isSelected() const { return internal_.selected; }
  void setSelected(bool selected, bool animated = false) { internal_.selected = selected; }
  bool canShowCallout() const { return internal_.canShowCallout; }
  void setCanShowCallout(bool can) { internal_.canShowCallout = can; }
  const std::shared_ptr<platform::View>& leftCalloutAccessoryView() const {
    return internal_.leftCalloutAccessoryView;
  }
  void setLeftCalloutAccessoryView(std::shared_ptr<platform::View> view) {
    internal_.leftCalloutAccessoryView = std::move(view);
  }
  const std::shared_ptr<platform::View>& rightCalloutAccessoryView() const {
    return internal_.rightCalloutAccessoryView;
  }
  void setRightCalloutAccessoryView(std::shared_ptr<platform::View> view) {
    internal_.rightCalloutAccessoryView = std::move(view);
  }
  bool isDraggable() const { return internal_.draggable; }
  // On: a one-finger pan recognizer drives handleSingleDrag; off: it goes.
  void setDraggable(bool draggable);
  GMKAnnotationViewDragState dragState() const { return internal_.dragState; }
  void setDragState(GMKAnnotationViewDragState state, bool animated = false) { internal_.dragState = state; }
  const std::shared_ptr<platform::View>& paopaoView() const { return internal_.paopaoView; }
  void setPaopaoView(std::shared_ptr<platform::View> bubble) { internal_.paopaoView = std::move(bubble); }
  // The map view that placed the view (not owned).
  std::shared_ptr<GMKAnnotationHost> mapView() const { return internal_.mapView.lock(); }
  void setMapView(std::weak_ptr<GMKAnnotationHost> host) { internal_.mapView = std::move(host); }

  // Clears the annotation, the selection and the bubble of a view taken from the reuse queue.
  virtual void prepareForReuse();

  // Where the view stands when its annotation's coordinate is at point c (unrounded): centred on
  // c, moved by the centre offset, its size kept.
  platform::Rect frameForCenter(platform::Point c) const;
  // Where its bubble's bottom centre goes: the top centre moved by the call-out offset.
  platform::Point calloutAnchor() const;
  // Stands at its annotation's coordinate as the host converts it into container's coordinates,
  // and brings its bubble along while selected. Nothing without an annotation.
  void layoutInHost(const GMKAnnotationHost& host, const platform::View* container);

  void touchesBegan(const platform::Touch& touch) override;
  void touchesEnded(const platform::Touch& touch) override;
  void touchesCancelled(const platform::Touch& touch) override;
  // Asks to be selected and pops the bubble; only for an enabled, unselected view.
  virtual void handleSingleTap();
  void handleSingleDrag(platform::PanGestureRecognizer& recognizer);

  void drawRect(platform::BitmapContext& context, const platform::Rect& rect) override;
  void describeProperties(std::vector<std::string>& out) const override;

 protected:
  GMKAnnotationViewInternal& mutableInternal() { return internal_; }
  void postWithView(const char* name);

 private:
  // Held in the view itself, next to what a view's going reads of the view: one allocation a pin,
  // and a pin taken off touches few lines of it.
  std::shared_ptr<platform::GestureRecognizer> drag_;
  GMKAnnotationViewInternal internal_;
};

// Gives the bubble the pop animation: a 0.6 s key-frame "transform.scale" under "paopaoAnimation"
// that grows from nothing, overshoots and settles.
void GMKAddPaopaoAnimation(platform::View& bubble);

}  // namespace mapsdk
