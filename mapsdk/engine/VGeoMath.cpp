#include "mapsdk/engine/VGeoMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gmengine {

namespace {
constexpr double kRadius = 6378137.0;
constexpr double kMaxLatitude = 85.0511287798;
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kMinorAxis = kRadius * (1.0 - kFlattening);
constexpr double kMeanRadius = 6371008.8;
constexpr double kDegree = std::numbers::pi / 180.0;

double greatCircle(double lon1, double lat1, double lon2, double lat2) {
  double dLat = (lat2 - lat1) * kDegree;
  double dLon = (lon2 - lon1) * kDegree;
  double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
             std::cos(lat1 * kDegree) * std::cos(lat2 * kDegree) * std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2 * kMeanRadius * std::atan2(std::sqrt(a), std::sqrt(std::max(0.0, 1 - a)));
}
}  // namespace

void GeoToMercator(double longitude, double latitude, double* x, double* y) {
  double lat = std::clamp(latitude, -kMaxLatitude, kMaxLatitude);
  if (x) *x = kRadius * longitude * kDegree;
  if (y) *y = kRadius * std::log(std::tan(std::numbers::pi / 4 + lat * kDegree / 2));
}

void MercatorToGeo(double x, double y, double* longitude, double* latitude) {
  if (longitude) *longitude = x / kRadius / kDegree;
  if (latitude) *latitude = (2 * std::atan(std::exp(y / kRadius)) - std::numbers::pi / 2) / kDegree;
}

double GeoDistance(double longitude1, double latitude1, double longitude2, double latitude2) {
  if (!std::isfinite(longitude1) || !std::isfinite(latitude1) || !std::isfinite(longitude2) ||
      !std::isfinite(latitude2)) {
    return 0;
  }
  const double a = kRadius, b = kMinorAxis, f = kFlattening;
  double L = (longitude2 - longitude1) * kDegree;
  double U1 = std::atan((1 - f) * std::tan(latitude1 * kDegree));
  double U2 = std::atan((1 - f) * std::tan(latitude2 * kDegree));
  double sinU1 = std::sin(U1), cosU1 = std::cos(U1), sinU2 = std::sin(U2), cosU2 = std::cos(U2);
  double lambda = L;
  double sinSigma = 0, cosSigma = 0, sigma = 0, cosSqAlpha = 0, cos2SigmaM = 0;
  for (int iteration = 0; iteration < 200; ++iteration) {
    double sinLambda = std::sin(lambda), cosLambda = std::cos(lambda);
    double t1 = cosU2 * sinLambda;
    double t2 = cosU1 * sinU2 - sinU1 * cosU2 * cosLambda;
    sinSigma = std::sqrt(t1 * t1 + t2 * t2);
    if (sinSigma == 0) return 0;  // the same point
    cosSigma = sinU1 * sinU2 + cosU1 * cosU2 * cosLambda;
    sigma = std::atan2(sinSigma, cosSigma);
    double sinAlpha = cosU1 * cosU2 * sinLambda / sinSigma;
    cosSqAlpha = 1 - sinAlpha * sinAlpha;
    cos2SigmaM = cosSqAlpha != 0 ? cosSigma - 2 * sinU1 * sinU2 / cosSqAlpha : 0;  // equatorial line
    double C = f / 16 * cosSqAlpha * (4 + f * (4 - 3 * cosSqAlpha));
    double previous = lambda;
    lambda =
        L + (1 - C) * f * sinAlpha *
                (sigma + C * sinSigma * (cos2SigmaM + C * cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM)));
    if (std::fabs(lambda - previous) < 1e-12) {
      double uSq = cosSqAlpha * (a * a - b * b) / (b * b);
      double A = 1 + uSq / 16384 * (4096 + uSq * (-768 + uSq * (320 - 175 * uSq)));
      double B = uSq / 1024 * (256 + uSq * (-128 + uSq * (74 - 47 * uSq)));
      double deltaSigma = B * sinSigma *
                          (cos2SigmaM + B / 4 *
                                            (cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM) -
                                             B / 6 * cos2SigmaM * (-3 + 4 * sinSigma * sinSigma) *
                                                 (-3 + 4 * cos2SigmaM * cos2SigmaM)));
      return b * A * (sigma - deltaSigma);
    }
  }
  return greatCircle(longitude1, latitude1, longitude2, latitude2);
}

int CoordShiftToMapSystem(double longitude, double latitude, double* outLongitude, double* outLatitude) {
  if (!std::isfinite(longitude) || !std::isfinite(latitude) || std::fabs(longitude) > 180 ||
      std::fabs(latitude) > 90) {
    return 0;
  }
  double lon = longitude + 0.0065 + 0.00001 * std::sin(40 * latitude * kDegree);
  double lat = latitude + 0.0060 + 0.00001 * std::cos(40 * longitude * kDegree);
  if (outLongitude) *outLongitude = lon;
  if (outLatitude) *outLatitude = lat;
  return 1;
}

}  // namespace gmengine
