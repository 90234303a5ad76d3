#pragma once
#include <memory>
#include <vector>

#include "mapsdk/display/GMKMultiPoint.h"

namespace mapsdk {

// A closed ring of map points with holes (the interior polygons), drawn by a GMKPolygonView.
class GMKPolygon : public GMKMultiPoint, public GMKOverlay {
  // Only the class names it, so its factories are the only way in.
  struct Token {
    explicit Token() = default;
  };

 public:
  GMKPolygon(Token, const GMKMapPoint* points, std::size_t count,
             std::vector<std::shared_ptr<GMKPolygon>> interiorPolygons = {})
      : GMKMultiPoint(points, count), interiorPolygons_(std::move(interiorPolygons)) {}
  GMKPolygon(Token, const CLLocationCoordinate2D* coords, std::size_t count,
             std::vector<std::shared_ptr<GMKPolygon>> interiorPolygons = {})
      : GMKMultiPoint(coords, count), interiorPolygons_(std::move(interiorPolygons)) {}
  static std::shared_ptr<GMKPolygon> polygonWithPoints(
      const GMKMapPoint* points, std::size_t count, std::vector<std::shared_ptr<GMKPolygon>> interior = {}) {
    return std::make_shared<GMKPolygon>(Token(), points, count, std::move(interior));
  }
  static std::shared_ptr<GMKPolygon> polygonWithCoordinates(
      const CLLocationCoordinate2D* coords, std::size_t count,
      std::vector<std::shared_ptr<GMKPolygon>> interior = {}) {
    return std::make_shared<GMKPolygon>(Token(), coords, count, std::move(interior));
  }

  const std::vector<std::shared_ptr<GMKPolygon>>& interiorPolygons() const { return interiorPolygons_; }
  GMKMapRect boundingMapRect() const override { return pointsBoundingRect(); }

 private:
  std::vector<std::shared_ptr<GMKPolygon>> interiorPolygons_;
};

}  // namespace mapsdk
