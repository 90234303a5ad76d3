#pragma once
#include <memory>

#include "mapsdk/display/GMKOverlayPathView.h"
#include "mapsdk/display/GMKPolyline.h"

namespace mapsdk {

// Strokes a polyline; nothing is filled. initWithOverlay gives null for another overlay.
class GMKPolylineView : public GMKOverlayPathView {
 public:
  GMKPolylineView(Token, std::shared_ptr<GMKPolyline> polyline) : GMKOverlayPathView(std::move(polyline)) {}
  static std::shared_ptr<GMKPolylineView> initWithOverlay(const std::shared_ptr<GMKOverlay>& overlay) {
    return viewForShape<GMKPolylineView, GMKPolyline>(overlay);
  }
  std::shared_ptr<GMKPolyline> polyline() const { return std::dynamic_pointer_cast<GMKPolyline>(overlay()); }
  void createPath() override;

 protected:
  void drawBuiltPath(const platform::Path& path, platform::BitmapContext& context) const override;
};

}  // namespace mapsdk
