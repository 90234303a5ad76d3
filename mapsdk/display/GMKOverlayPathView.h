#pragma once
#include <memory>
#include <optional>
#include <vector>

#include "mapsdk/display/GMKOverlayView.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Path.h"

namespace mapsdk {

// An overlay view that draws its overlay as a path in its own coordinates with stroke and fill
// properties; subclasses build the path (createPath). The line width, dash pattern and phase
// are points on screen, whatever the zoom. Drawing fills and strokes whatever colours are set: an
// unset one leaves the drawing context's own colour in force (the caller may have chosen it).
class GMKOverlayPathView : public GMKOverlayView {
 public:
  using GMKOverlayView::GMKOverlayView;

  std::optional<platform::Color> fillColor() const { return fillColor_; }
  void setFillColor(std::optional<platform::Color> color) { fillColor_ = std::move(color); }
  std::optional<platform::Color> strokeColor() const { return strokeColor_; }
  void setStrokeColor(std::optional<platform::Color> color) { strokeColor_ = std::move(color); }
  double lineWidth() const { return lineWidth_; }
  void setLineWidth(double width) { lineWidth_ = width; }
  platform::LineJoin lineJoin() const { return lineJoin_; }
  void setLineJoin(platform::LineJoin join) { lineJoin_ = join; }
  platform::LineCap lineCap() const { return lineCap_; }
  void setLineCap(platform::LineCap cap) { lineCap_ = cap; }
  double miterLimit() const { return miterLimit_; }
  void setMiterLimit(double limit) { miterLimit_ = limit; }
  double lineDashPhase() const { return lineDashPhase_; }
  void setLineDashPhase(double phase) { lineDashPhase_ = phase; }
  // Empty: solid.
  const std::optional<std::vector<double>>& lineDashPattern() const { return lineDashPattern_; }
  void setLineDashPattern(std::optional<std::vector<double>> pattern) {
    lineDashPattern_ = std::move(pattern);
  }

  const std::shared_ptr<platform::Path>& path() const { return path_; }
  void setPath(std::shared_ptr<platform::Path> path) { path_ = std::move(path); }
  // Builds the path and stores it with setPath; the base builds none.
  virtual void createPath() {}
  void invalidatePath() { path_.reset(); }

  void applyStrokePropertiesToContext(platform::BitmapContext& context, double zoomScale) const;
  void applyFillPropertiesToContext(platform::BitmapContext& context, double zoomScale) const;
  // Draw only when their colour is set.
  void strokePath(const platform::Path& path, platform::BitmapContext& context) const;
  void fillPath(const platform::Path& path, platform::BitmapContext& context,
                platform::PathFillRule rule = platform::PathFillRule::NonZero) const;

  // The frame, then bounds grown by the line width on every side.
  void setFrame(platform::Rect frame) override;
  void setNeedsDisplayInMapRect(const GMKMapRect& mapRect) override;
  void drawMapRect(const GMKMapRect& mapRect, double zoomScale, platform::BitmapContext& context) override;

 protected:
  // Only path views name it: each is made by its initWithOverlay, which checks the shape.
  struct Token {
    explicit Token() = default;
  };

  // Fills, then strokes; polygons fill even-odd, polylines only stroke.
  virtual void drawBuiltPath(const platform::Path& path, platform::BitmapContext& context) const;
  // The points' view positions as a sub-path: open for a line, closed for a polygon's ring.
  void addPointsToPath(platform::Path& path, const std::vector<GMKMapPoint>& points, bool close) const;
  // A view of the shape's class for an overlay that is one; null otherwise.
  template <class View, class Shape>
  static std::shared_ptr<View> viewForShape(const std::shared_ptr<GMKOverlay>& overlay) {
    auto shape = std::dynamic_pointer_cast<Shape>(overlay);
    return shape ? std::make_shared<View>(Token(), shape) : nullptr;
  }

 private:
  std::optional<platform::Color> fillColor_;
  std::optional<platform::Color> strokeColor_;
  double lineWidth_ = 0;
  platform::LineJoin lineJoin_ = platform::LineJoin::Round;
  platform::LineCap lineCap_ = platform::LineCap::Round;
  double miterLimit_ = 10;
  double lineDashPhase_ = 0;
  std::optional<std::vector<double>> lineDashPattern_;
  std::shared_ptr<platform::Path> path_;
};

}  // namespace mapsdk
