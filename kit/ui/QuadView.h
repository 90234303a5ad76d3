#pragma once
#include "platform/ui/IndexPath.h"
#include "platform/ui/View.h"

namespace kavro {

// One cell of a UIQuadrantView: indexLocation.row is its column, .section its row, from 0.
class QuadView : public platform::View {
 public:
  using platform::View::View;
  const platform::IndexPath& indexLocation() const { return indexLocation_; }
  void setIndexLocation(platform::IndexPath p) { indexLocation_ = p; }

 private:
  platform::IndexPath indexLocation_;
};

}  // namespace kavro
