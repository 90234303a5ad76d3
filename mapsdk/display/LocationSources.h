#pragma once
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mapsdk/display/LocationTypes.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/Object.h"
#include "platform/location/LocationManager.h"

namespace mapsdk {

inline constexpr const char* NotificationLocationUpdate = "NotificationLocationUpdate";
inline constexpr const char* NotificationLocationFail = "NotificationLocationFail";
inline constexpr float kMaxFixAccuracy = 2000;

// The three sources the location combiner reads, from the engine's timer thread.
class GpsSource {
 public:
  virtual ~GpsSource() = default;
  virtual int Start() = 0;
  virtual int Stop() = 0;
  virtual GpsFix GetFix() = 0;
};

class CellSource {
 public:
  virtual ~CellSource() = default;
  virtual int Init() = 0;
  virtual int Start() = 0;
  virtual int Stop() = 0;
  virtual CellRecord GetCell() = 0;
};

class WifiSource {
 public:
  virtual ~WifiSource() = default;
  virtual int Start() = 0;
  virtual void Stop() = 0;
  virtual WifiScan Scan() = 0;
};

// The error object of "NotificationLocationFail" (user info "error").
class LocationFailure : public platform::Object {
 public:
  explicit LocationFailure(platform::Error error) : error_(std::move(error)) {}
  const platform::Error& error() const { return error_; }
  std::string description() const override { return error_.description(); }

 private:
  platform::Error error_;
};

// Told of the device's heading.
class LocationHeadingObserver {
 public:
  virtual ~LocationHeadingObserver() = default;
  virtual void onHeadingValueUpdate(float heading) = 0;
};

// The bridge to the platform's location service: keeps the best fix so far and tells the UI side
// of changes ("NotificationLocationUpdate") and failures ("NotificationLocationFail", user info
// "error"), each failure as the service reports it. A refusal drops the fix and is announced as a
// change too, first; any other failure keeps the last good fix.
// Singleton; start and stop on the main thread; getLastLocation from any thread.
class IphoneGPSMan : public platform::LocationManagerDelegate,
                     public std::enable_shared_from_this<IphoneGPSMan> {
 public:
  static std::shared_ptr<IphoneGPSMan> getInstance();
  static int destroyInstance();

  int initialize();
  int unInitialize();
  int getLastLocation(GpsFix& fix) const;
  void startUpdatingLocation();
  void stopUpdatingLocation();
  bool compassAvailable() const { return false; }  // the platform reports no heading
  void startUpdatingHeading() {}
  void stopUpdatingHeading() {}
  int registerHeadingObserver(const std::shared_ptr<LocationHeadingObserver>& observer);
  int removeHeadingObserver(const std::shared_ptr<LocationHeadingObserver>& observer);
  const std::shared_ptr<platform::LocationManager>& locationManager() const { return manager_; }

  void locationManagerDidUpdateToLocation(platform::LocationManager& manager,
                                          const platform::Location& newLocation,
                                          const std::optional<platform::Location>& oldLocation) override;
  void locationManagerDidFailWithError(platform::LocationManager& manager,
                                       const platform::Error& error) override;

 private:
  std::shared_ptr<platform::LocationManager> manager_;
  mutable platform::Mutex mutex_;  // the best fix, read from the timer thread
  std::optional<platform::Location> best_ GUARDED_BY(mutex_);
  bool gotLocation_ GUARDED_BY(mutex_) = false;
  std::vector<std::weak_ptr<LocationHeadingObserver>> observers_;  // main thread
};

// The satellite source over IphoneGPSMan: start and stop go to the main thread without waiting.
class CGPSMan : public GpsSource {
 public:
  int Start() override;
  int Stop() override;
  GpsFix GetFix() override;
};

// No cell observations on this platform.
class CCellMan : public CellSource {
 public:
  int Init() override { return 1; }
  int Start() override { return 1; }
  int Stop() override { return 1; }
  CellRecord GetCell() override { return {}; }
};

// No Wi-Fi scans on this platform: starting fails, scans are empty.
class CWifiMan : public WifiSource {
 public:
  int Start() override { return 0; }
  void Stop() override {}
  WifiScan Scan() override { return {}; }
};

}  // namespace mapsdk
