#include "mapsdk/display/GMKUserLocation.h"

#include <future>

#include "mapsdk/engine/VCoordShift.h"
#include "mapsdk/engine/VGeoMath.h"
#include "mapsdk/raster/CVWnd.h"
#include "platform/foundation/RunLoop.h"

namespace mapsdk {

LocationRecord GMKEngineUserLocationSource::GetLocation() {
  std::shared_ptr<CAppLocation> location = location_.lock();
  return location ? location->GetLocation() : LocationRecord{};
}

LocMode GMKEngineUserLocationSource::GetLocMode() {
  std::shared_ptr<CAppLocation> location = location_.lock();
  return location ? location->GetLocMode() : LocMode::Off;
}

std::optional<platform::Location> GMKEngineUserLocationSource::bestEffortAtLocation() {
  auto gps = IphoneGPSMan::getInstance();
  GpsFix fix;
  if (!gps || !gps->getLastLocation(fix) || fix.state != FixState::Fix) return std::nullopt;
  platform::Location best;
  best.longitude = fix.longitude;
  best.latitude = fix.latitude;
  best.horizontalAccuracy = fix.accuracy;
  // What the receiver's fix does not keep comes from the platform's last report.
  if (const auto& manager = gps->locationManager(); manager && manager->location()) {
    const platform::Location& reported = *manager->location();
    best.timestamp = reported.timestamp;
    best.altitude = reported.altitude;
    best.verticalAccuracy = reported.verticalAccuracy;
    best.course = reported.course;
    best.speed = reported.speed;
  }
  return best;
}

std::shared_ptr<GMKUserLocationInternal> GMKUserLocationInternal::create(
    GMKUserLocation* owner, std::shared_ptr<GMKUserLocationSource> source) {
  std::shared_ptr<GMKUserLocationInternal> internal(new GMKUserLocationInternal());
  internal->userLocation = owner;
  internal->source_ = std::move(source);
  std::weak_ptr<GMKUserLocationInternal> weak = internal;
  internal->token_ = platform::NotificationCenter::defaultCenter().addObserver(
      NotificationLocationUpdate, nullptr, [weak](const platform::Notification&) {
        if (auto self = weak.lock()) self->onNotificationLocationUpdate();
      });
  return internal;
}

GMKUserLocationInternal::~GMKUserLocationInternal() {
  platform::NotificationCenter::defaultCenter().removeObserver(token_);
}

void GMKUserLocationInternal::onNotificationLocationUpdate() {
  platform::RunLoop& main = platform::RunLoop::main();
  if (main.isCurrentThread()) {
    updateLocationInfo();
    return;
  }
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  std::weak_ptr<GMKUserLocationInternal> weak = weak_from_this();
  main.performOnMain([weak, done] {
    if (auto self = weak.lock()) self->updateLocationInfo();
    done->set_value();
  });
  finished.wait();
}

void GMKUserLocationInternal::updateLocationInfo() {
  if (!source_) return;
  LocationRecord record = source_->GetLocation();
  if (record.state != LocationState::Valid) {
    updating = source_->GetLocMode() != LocMode::Off;
    return;
  }
  updating = false;
  std::optional<platform::Location> best = source_->bestEffortAtLocation();
  if (!best) return;
  location.reset();
  gmengine::ShiftedPoint shifted =
      gmengine::ShiftGpsPoint(static_cast<float>(best->longitude), static_cast<float>(best->latitude), 0.0f);
  double longitude = shifted.longitude, latitude = shifted.latitude;
  gmengine::CoordShiftToMapSystem(shifted.longitude, shifted.latitude, &longitude, &latitude);
  GMKLocation converted;
  converted.coordinate = {latitude, longitude};
  converted.altitude = best->altitude;
  converted.horizontalAccuracy = best->horizontalAccuracy;
  converted.verticalAccuracy = best->verticalAccuracy;
  converted.timestamp = best->timestamp;
  converted.course = best->course;
  converted.speed = best->speed;
  location = converted;
  coordinate = converted.coordinate;
  auto& center = platform::NotificationCenter::defaultCenter();
  center.post(gmengine::kNotificationMainMapPaint);
  center.post(NotificationLocationDidUpdate, userLocation);
}

GMKUserLocation::GMKUserLocation(std::shared_ptr<GMKUserLocationSource> source)
    : internal_(GMKUserLocationInternal::create(this, std::move(source))) {
  internal_->title = "我的位置";
}

GMKUserLocation::~GMKUserLocation() { internal_->userLocation = nullptr; }

}  // namespace mapsdk
