#pragma once
#include <memory>

#include "mapsdk/display/GMKOverlayPathView.h"
#include "mapsdk/display/GMKPolygon.h"

namespace mapsdk {

// Fills a polygon even-odd, so its interior polygons are holes, then strokes it. initWithOverlay
// gives null for another overlay.
class GMKPolygonView : public GMKOverlayPathView {
 public:
  GMKPolygonView(Token, std::shared_ptr<GMKPolygon> polygon) : GMKOverlayPathView(std::move(polygon)) {}
  static std::shared_ptr<GMKPolygonView> initWithOverlay(const std::shared_ptr<GMKOverlay>& overlay) {
    return viewForShape<GMKPolygonView, GMKPolygon>(overlay);
  }
  std::shared_ptr<GMKPolygon> polygon() const { return std::dynamic_pointer_cast<GMKPolygon>(overlay()); }
  void createPath() override;

 protected:
  void drawBuiltPath(const platform::Path& path, platform::BitmapContext& context) const override;
};

}  // namespace mapsdk
