#pragma once
#include <memory>

#include "mapsdk/display/GMKCircle.h"
#include "mapsdk/display/GMKOverlayPathView.h"

namespace mapsdk {

// Draws a circle as the circle inscribed in the view rectangle of its bounding map rect.
// initWithOverlay gives null for another overlay.
class GMKCircleView : public GMKOverlayPathView {
 public:
  GMKCircleView(Token, std::shared_ptr<GMKCircle> circle) : GMKOverlayPathView(std::move(circle)) {}
  static std::shared_ptr<GMKCircleView> initWithOverlay(const std::shared_ptr<GMKOverlay>& overlay) {
    return viewForShape<GMKCircleView, GMKCircle>(overlay);
  }
  std::shared_ptr<GMKCircle> circle() const { return std::dynamic_pointer_cast<GMKCircle>(overlay()); }
  void createPath() override;
};

}  // namespace mapsdk
