#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "mapsdk/display/CAppLocation.h"
#include "mapsdk/display/GMKAnnotation.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Object.h"
#include "platform/location/LocationManager.h"

namespace mapsdk {

inline constexpr const char* NotificationLocationDidUpdate = "NotificationLocationDidUpdate";

// A position of the user in the map service's coordinate system, with the platform fix's altitude,
// accuracies, course and speed. What the platform does not know reads -1 (vertical accuracy,
// course, speed) or 0 (altitude).
struct GMKLocation {
  CLLocationCoordinate2D coordinate;
  double altitude = 0;
  double horizontalAccuracy = 0;  // metres
  double verticalAccuracy = -1;
  double timestamp = 0;  // seconds since 1970
  double course = -1;
  double speed = -1;
};

// Where the user location reads the engine's current location and mode and the platform's best
// fix. The map view hands one over the engine's CAppLocation and IphoneGPSMan (see
// GMKEngineUserLocationSource).
class GMKUserLocationSource {
 public:
  virtual ~GMKUserLocationSource() = default;
  virtual LocationRecord GetLocation() = 0;
  virtual LocMode GetLocMode() = 0;
  // The platform's best fix so far (raw satellite coordinates); empty when there is none.
  virtual std::optional<platform::Location> bestEffortAtLocation() = 0;
};

// The engine's location object and the platform bridge's best fix. Once the engine has torn the
// location object down, it reads as no location, locating off.
class GMKEngineUserLocationSource : public GMKUserLocationSource {
 public:
  explicit GMKEngineUserLocationSource(std::weak_ptr<CAppLocation> location)
      : location_(std::move(location)) {}
  LocationRecord GetLocation() override;
  LocMode GetLocMode() override;
  std::optional<platform::Location> bestEffortAtLocation() override;

 private:
  std::weak_ptr<CAppLocation> location_;
};

class GMKUserLocation;

// The user location's state (its companion): refreshed on every "NotificationLocationUpdate",
// which it observes from creation to destruction; the refresh runs on the main thread, and a
// notification from another thread waits for it.
class GMKUserLocationInternal : public std::enable_shared_from_this<GMKUserLocationInternal> {
 public:
  static std::shared_ptr<GMKUserLocationInternal> create(GMKUserLocation* owner,
                                                         std::shared_ptr<GMKUserLocationSource> source);
  ~GMKUserLocationInternal();

  void onNotificationLocationUpdate();
  // Reads the engine's location; with a valid one, takes the platform's best fix converted into
  // the map service's system, then posts "NotificationMainMapPaint" and
  // "NotificationLocationDidUpdate" (object: the user location).
  void updateLocationInfo();

  bool updating = false;
  std::optional<GMKLocation> location;
  std::optional<std::string> title;
  std::optional<std::string> subtitle;
  CLLocationCoordinate2D coordinate{-180, -180};
  GMKUserLocation* userLocation = nullptr;  // the owner, which outlives its companion

 private:
  GMKUserLocationInternal() = default;
  std::shared_ptr<GMKUserLocationSource> source_;
  platform::NotificationCenter::Token token_ = 0;
};

// The annotation of the user's own position, which the map view owns and shows with a
// LocationView. Title "我的位置" to start with. Main thread.
class GMKUserLocation : public platform::Object, public GMKAnnotation {
 public:
  // Without a source nothing is ever located.
  explicit GMKUserLocation(std::shared_ptr<GMKUserLocationSource> source = nullptr);
  ~GMKUserLocation() override;

  const GMKUserLocationInternal& internal() const { return *internal_; }
  bool isUpdating() const { return internal_->updating; }
  const std::optional<GMKLocation>& location() const { return internal_->location; }
  std::optional<std::string> title() const override { return internal_->title; }
  void setTitle(std::optional<std::string> title) { internal_->title = std::move(title); }
  std::optional<std::string> subtitle() const override { return internal_->subtitle; }
  void setSubtitle(std::optional<std::string> subtitle) { internal_->subtitle = std::move(subtitle); }
  CLLocationCoordinate2D coordinate() const override { return internal_->coordinate; }

 private:
  std::shared_ptr<GMKUserLocationInternal> internal_;
};

}  // namespace mapsdk
