#pragma once
#include <memory>

#include "app/jobmap/JobMapController.h"
#include "platform/mapview/MapView.h"

namespace kavro {

// The location map on the platform's map view: one pin at the company, the bubble while the pin
// is selected. Main thread only.
class JobAppleRouteController : public JobMapController, public platform::MapViewDelegate {
 public:
  static std::shared_ptr<JobAppleRouteController> initWithDetail(std::shared_ptr<DataItemDetail> detail) {
    return JobMapController::initWithDetail<JobAppleRouteController>(std::move(detail));
  }
  ~JobAppleRouteController() override;

  void buildMapView() override;
  bool showLocation() override;
  void hideBubbleView() override;

  std::optional<std::shared_ptr<platform::AnnotationView>> viewForAnnotation(
      platform::MapView& map, const std::shared_ptr<platform::Annotation>& annotation) override;
  void didSelectAnnotationView(platform::MapView& map, platform::AnnotationView& view) override;
  void didDeselectAnnotationView(platform::MapView& map, platform::AnnotationView& view) override;
  void regionWillChangeAnimated(platform::MapView& map, bool animated) override;

  const std::shared_ptr<platform::MapView>& aMapView() const { return aMapView_; }

 private:
  std::shared_ptr<platform::MapView> aMapView_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  JobAppleRouteController() = default;
};

KAVRO_CLASS(JobAppleRouteController, UIBasicController);

}  // namespace kavro
