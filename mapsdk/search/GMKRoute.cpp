#include "mapsdk/search/GMKRoute.h"

namespace mapsdk {

void GMKRoute::setPointsCount(int n) {
  if (n < 1) return;
  parts_.clear();
  parts_.resize(static_cast<std::size_t>(n));
  counts_.assign(static_cast<std::size_t>(n), 0);
}

void GMKRoute::setPointsNum(int count, int index) {
  if (count < 0 || index < 0 || index >= pointsCount()) return;
  counts_[static_cast<std::size_t>(index)] = count;
}

void GMKRoute::setPoints(std::vector<GMKMapPoint> points, int index) {
  if (index < 0 || index >= pointsCount()) return;
  parts_[static_cast<std::size_t>(index)] = std::make_unique<std::vector<GMKMapPoint>>(std::move(points));
}

int GMKRoute::getPointsNum(int index) const {
  if (index < 0 || index >= pointsCount()) return 0;
  return counts_[static_cast<std::size_t>(index)];
}

const std::vector<GMKMapPoint>* GMKRoute::getPoints(int index) const {
  if (index < 0 || index >= pointsCount()) return nullptr;
  return parts_[static_cast<std::size_t>(index)].get();
}

void GMKRoute::setPoints(std::vector<std::unique_ptr<std::vector<GMKMapPoint>>> table) {
  parts_ = std::move(table);
  counts_.resize(parts_.size(), 0);
}

}  // namespace mapsdk
