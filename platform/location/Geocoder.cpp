#include "platform/location/Geocoder.h"

#include <vector>

#include "platform/foundation/RunLoop.h"

namespace platform {

namespace {
struct Place {
  Placemark placemark;
  double radius;
};
struct Feed {
  std::vector<Place> places;
  bool offline = false;
  int requests = 0;
};
Feed& feed() {
  static Feed f;
  return f;
}
constexpr std::size_t MaxPlaces = 1024;
}  // namespace

void Geocoder::addPlace(const Placemark& place, double radius) {
  auto& places = feed().places;
  if (places.size() >= MaxPlaces) places.erase(places.begin());
  places.push_back({place, radius});
}

void Geocoder::setOffline(bool offline) { feed().offline = offline; }

std::optional<Placemark> Geocoder::placemarkAt(const Coordinate& c) {
  const Place* best = nullptr;
  double bestDistance = 0;
  for (const auto& p : feed().places) {
    double d = distanceBetween(c, p.placemark.coordinate);
    if (d <= p.radius && (!best || d < bestDistance)) best = &p, bestDistance = d;
  }
  if (!best) return std::nullopt;
  Placemark found = best->placemark;
  found.coordinate = c;
  return found;
}

int Geocoder::requestCount() { return feed().requests; }

void Geocoder::reset() { feed() = Feed{}; }

ReverseGeocoder::~ReverseGeocoder() { RunLoop::main().cancelPerforms(this); }

void ReverseGeocoder::start() {
  if (querying_) return;
  querying_ = true;
  ++feed().requests;
  std::weak_ptr<ReverseGeocoder> weak = shared_from_this();
  RunLoop::main().performAfter(0, this, [weak] {
    auto self = weak.lock();
    if (!self || !self->querying_) return;
    self->querying_ = false;
    auto d = self->delegate_.lock();
    if (!d) return;
    if (feed().offline) {
      d->reverseGeocoderDidFailWithError(*self, Error{std::string(GeocoderErrorDomain),
                                                      GeocoderErrorUnknown,
                                                      "The geocoding service is not reachable.",
                                                      {},
                                                      {}});
      return;
    }
    if (auto place = Geocoder::placemarkAt(self->coordinate_))
      d->reverseGeocoderDidFindPlacemark(*self, *place);
    else
      d->reverseGeocoderDidFailWithError(
          *self,
          Error{std::string(GeocoderErrorDomain), GeocoderErrorPlacemarkNotFound, "No place found.", {}, {}});
  });
}

void ReverseGeocoder::cancel() {
  querying_ = false;
  RunLoop::main().cancelPerforms(this);
}

}  // namespace platform
