#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/foundation/Error.h"

namespace platform {

// One position fix of the device.
struct Location {
  double latitude = 0;            // degrees
  double longitude = 0;           // degrees
  double horizontalAccuracy = 0;  // metres; negative: the fix is not valid
  double timestamp = 0;           // seconds since 1970
  double altitude = 0;            // metres above sea level
  double verticalAccuracy = -1;   // metres; negative: the altitude is not known
  double course = -1;             // degrees clockwise from north; negative: not known
  double speed = -1;              // metres a second; negative: not known
};

enum class AuthorizationStatus : std::int32_t {
  NotDetermined = 0,
  Restricted = 1,
  Denied = 2,
  Authorized = 3
};

inline constexpr std::string_view LocationErrorDomain = "kCLErrorDomain";
// Codes of LocationErrorDomain.
enum LocationErrorCode : std::int64_t { LocationErrorLocationUnknown = 0, LocationErrorDenied = 1 };

class LocationManager;

// Told about fixes and failures of a manager that is updating. Main thread.
class LocationManagerDelegate {
 public:
  virtual ~LocationManagerDelegate() = default;
  // oldLocation: the fix this manager reported before, if any.
  virtual void locationManagerDidUpdateToLocation(LocationManager& manager, const Location& newLocation,
                                                  const std::optional<Location>& oldLocation) = 0;
  virtual void locationManagerDidFailWithError(LocationManager& manager, const Error& error) = 0;
  // Optional.
  virtual void locationManagerDidChangeAuthorizationStatus(LocationManager& manager,
                                                           AuthorizationStatus status) {}
};

// The device's location service, as an application sees it: a manager reports the device's fixes
// while it is updating. There is no hardware behind it: LocationDevice below is what tests and the
// runner use to switch the service on and off, grant or deny its use, move the device and make it
// fail. Every report reaches the delegate (held weakly) on a later turn of the main run loop, and
// only while the manager is still updating in the same session (start to stop) it was meant for.
// Main thread.
class LocationManager : public std::enable_shared_from_this<LocationManager> {
 public:
  static constexpr double AccuracyBest = -1.0;
  static constexpr double AccuracyNearestTenMeters = 10.0;
  static constexpr double AccuracyHundredMeters = 100.0;
  static constexpr double AccuracyKilometer = 1000.0;
  static constexpr double DistanceFilterNone = -1.0;

  static std::shared_ptr<LocationManager> create();
  ~LocationManager();
  LocationManager(const LocationManager&) = delete;
  LocationManager& operator=(const LocationManager&) = delete;

  // Whether the user has location services switched on, and whether this application may use them.
  static bool locationServicesEnabled();
  static AuthorizationStatus authorizationStatus();

  // Kept as settings; the stand-in reports every fix whatever they say.
  double desiredAccuracy() const { return desiredAccuracy_; }
  void setDesiredAccuracy(double metres) { desiredAccuracy_ = metres; }
  double distanceFilter() const { return distanceFilter_; }
  void setDistanceFilter(double metres) { distanceFilter_ = metres; }

  const std::weak_ptr<LocationManagerDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<LocationManagerDelegate> delegate) { delegate_ = std::move(delegate); }

  // Starts a session: the device's current position, when it has one, is reported next as a fix
  // of that moment (the device is still there); later fixes follow as they come, stamped as given. With the
  // service off or its use refused the session fails with LocationErrorDenied instead. Starting while
  // updating changes nothing.
  void startUpdatingLocation();
  // Ends the session; nothing meant for it is reported any more.
  void stopUpdatingLocation();
  bool isUpdatingLocation() const { return updating_; }

  // The last fix this manager reported.
  const std::optional<Location>& location() const { return location_; }

 private:
  friend class LocationDevice;
  struct Token {};

 public:
  explicit LocationManager(Token) {}

 private:
  void post(std::function<void(LocationManager&)> report);
  // fresh: stamped with the time of the report (never earlier than its own stamp).
  void deliverLocation(const Location& fix, bool fresh = false);
  void deliverError(const Error& error);
  void deliverAuthorization(AuthorizationStatus status);

  double desiredAccuracy_ = AccuracyBest;
  double distanceFilter_ = DistanceFilterNone;
  std::weak_ptr<LocationManagerDelegate> delegate_;
  bool updating_ = false;
  std::uint64_t session_ = 0;
  std::optional<Location> location_;
};

// The device behind every LocationManager of the process: what tests and the runner feed. Starts
// with the service on, its use authorised and no fix. Main thread.
class LocationDevice {
 public:
  static void setLocationServicesEnabled(bool enabled);
  // Refusing the use (Restricted, Denied) fails the sessions that are running; every manager with
  // a delegate is told of the new status.
  static void setAuthorizationStatus(AuthorizationStatus status);
  // The device is here now: every updating manager reports the fix. It stays the current fix for
  // sessions started later.
  static void setCurrentLocation(const Location& fix);
  // Forgets the current fix: sessions started later wait for the next one.
  static void clearCurrentLocation();
  static std::optional<Location> currentLocation();
  // Every updating manager reports the failure (and keeps updating, as the platform does).
  static void failWithError(const Error& error);
  // Back to the initial state (tests). Managers keep their sessions.
  static void reset();
};

}  // namespace platform
