#pragma once
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/location/MapGeometry.h"

namespace platform {

// What reverse geocoding finds at a place. Empty parts are unknown.
struct Placemark {
  Coordinate coordinate;
  std::string administrativeArea;
  std::string subAdministrativeArea;
  std::string locality;
  std::string subLocality;
  std::string thoroughfare;
  std::string subThoroughfare;
  std::string name;
};

inline constexpr std::string_view GeocoderErrorDomain = "MKErrorDomain";
// Codes of GeocoderErrorDomain.
enum GeocoderErrorCode : std::int64_t { GeocoderErrorUnknown = 1, GeocoderErrorPlacemarkNotFound = 4 };

class ReverseGeocoder;

// Told once what a reverse geocoding found. Main thread.
class ReverseGeocoderDelegate {
 public:
  virtual ~ReverseGeocoderDelegate() = default;
  virtual void reverseGeocoderDidFindPlacemark(ReverseGeocoder& geocoder, const Placemark& placemark) = 0;
  virtual void reverseGeocoderDidFailWithError(ReverseGeocoder& geocoder, const Error& error) = 0;
};

// The places the geocoding service knows: there is no service behind it, tests and the runner
// feed it. A place answers for every coordinate within its radius (metres); the nearest centre
// wins. Nothing known: the geocoding fails with GeocoderErrorPlacemarkNotFound. Main thread.
class Geocoder {
 public:
  static void addPlace(const Placemark& place, double radius);
  // Every geocoding fails with GeocoderErrorUnknown while on (no service).
  static void setOffline(bool offline);
  static std::optional<Placemark> placemarkAt(const Coordinate& c);
  // How many reverse geocodings were started (tests).
  static int requestCount();
  // No places, online, no count.
  static void reset();
};

// One reverse geocoding of a coordinate: start() reports to the delegate (held weakly) on a later
// turn of the main run loop, unless cancelled first. Main thread.
class ReverseGeocoder : public std::enable_shared_from_this<ReverseGeocoder> {
 public:
  static std::shared_ptr<ReverseGeocoder> create(Coordinate c) {
    return std::shared_ptr<ReverseGeocoder>(new ReverseGeocoder(c));
  }
  ~ReverseGeocoder();

  const Coordinate& coordinate() const { return coordinate_; }
  void setDelegate(std::weak_ptr<ReverseGeocoderDelegate> d) { delegate_ = std::move(d); }
  void start();
  void cancel();
  bool isQuerying() const { return querying_; }

 private:
  Coordinate coordinate_;
  std::weak_ptr<ReverseGeocoderDelegate> delegate_;
  bool querying_ = false;

 protected:
  explicit ReverseGeocoder(Coordinate c) : coordinate_(c) {}
};

}  // namespace platform
