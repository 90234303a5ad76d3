#pragma once
#include <memory>

#include "mapsdk/display/GMKAnnotationView.h"
#include "platform/graphics/Path.h"

namespace mapsdk {

// The view of the user location: the bundle's centre-point picture, and around it, when the
// fix's accuracy circle is wider than the picture, the translucent circle in true metres at the
// fix's latitude. Only a tap on the picture selects it. The map view calls needRect whenever the
// location or the zoom changes. Main thread only.
class LocationView : public GMKAnnotationView {
 public:
  LocationView(std::shared_ptr<GMKAnnotation> annotation, std::string reuseIdentifier);

  // Sizes the view to the accuracy circle (never below the picture) and moves the bubble's anchor
  // to the picture's top edge.
  void needRect();
  // The accuracy circle's path (null while the view is the picture's size).
  const std::shared_ptr<platform::Path>& path() const { return path_; }

  void drawRect(platform::BitmapContext& context, const platform::Rect& rect) override;
  void touchesBegan(const platform::Touch& touch) override;
  void touchesEnded(const platform::Touch& touch) override;

 private:
  double imageWidth() const;
  void buildPath(double diameter);
  std::shared_ptr<platform::Path> path_;
};

}  // namespace mapsdk
