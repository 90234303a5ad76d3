#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kit/core/DataItemDetail.h"
#include "kit/core/DataItemResult.h"
#include "kit/core/DataLoadAndParser.h"
#include "platform/location/LocationManager.h"

namespace kavro {

class LocationUtil;

// Told once how a lookup ended. Main thread.
class LocationUtilDelegate {
 public:
  virtual ~LocationUtilDelegate() = default;
  virtual void locationUtil(LocationUtil& util, bool isSucceed) = 0;
};

// The user's current area for the location types "job", "campus" and "salary": one fix from the
// device, then the server's answer which areas it lies in, kept for the rest of the run (a later
// lookup of a type the answer covers succeeds at once). Per type it also keeps the area the user
// chose by hand (core store) and gives a localised default area.
//
// A process-wide instance. Each lookup ends in exactly one callback to its delegate (held weakly),
// unless stopLocation() or a new lookup cuts it off first; the callback may come before
// getLocationForType() returns when the answer is known at once. Main thread.
class LocationUtil : public DataLoadAndParserDelegate,
                     public platform::LocationManagerDelegate,
                     public std::enable_shared_from_this<LocationUtil> {
 public:
  static constexpr std::string_view TypeJob = "job";
  static constexpr std::string_view TypeCampus = "campus";
  static constexpr std::string_view TypeSalary = "salary";

  static LocationUtil& sharedLocationUtil();
  // Forgets the instance and what it knew (tests); a lookup in flight tells nobody.
  static void destroyLocationUtil();

  // Cuts off the running lookup and starts one for the type.
  static void getLocationForType(std::string_view type, std::weak_ptr<LocationUtilDelegate> delegate);
  // Cuts off the running lookup: no callback follows.
  static void stopLocation();

  // "CachedLocation-<type>": where the chosen area of the type is stored.
  static std::string getCachedLocationKeyForType(std::string_view type);
  // The area the user chose for the type; else the located one; else the type's default area
  // ("value", "code", "locationtype" 1).
  static std::shared_ptr<DataItemDetail> defaultLocationForType(std::string_view type);
  static bool hasCachedLocationForType(std::string_view type);
  // Stores the user's choice for the type; answers whether the record was stored.
  static bool setDefaultLocationForType(std::string_view type, const DataItemDetail& locationInfo);
  // Location services are on and this application may use them.
  static bool getGPSEnabledStatus();

  // The kept answer's record of the type; nullptr when none.
  std::shared_ptr<DataItemDetail> lastLocationForType(std::string_view type) const;
  // Why the last lookup failed, for the user; "" when it did not fail on the device side and no
  // message was kept.
  std::string getErrorMessage() const;

  const std::shared_ptr<DataItemResult>& lastLocationInfo() const { return lastLocationInfo_; }
  const std::optional<platform::Location>& lastGPSLocation() const { return lastGPSLocation_; }
  const std::string& locationErrorMessage() const { return locationErrorMessage_; }
  const std::string& currentLocationType() const { return currentLocationType_; }
  const std::weak_ptr<LocationUtilDelegate>& delegate() const { return delegate_; }
  bool isGPSEnabled() const { return isGPSEnabled_; }
  bool isGPSAuthorized() const { return isGPSAuthorized_; }
  bool isGPSError() const { return isGPSError_; }

  ~LocationUtil() override;
  LocationUtil(const LocationUtil&) = delete;
  LocationUtil& operator=(const LocationUtil&) = delete;

 private:
  struct Token {};

 public:
  explicit LocationUtil(Token);

 private:
  void cutOff();
  void startGetLocationInfoForType(std::string_view type);
  void askServer(const platform::Location& fix);
  void report(bool isSucceed);

  // DataLoadAndParserDelegate
  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;
  // LocationManagerDelegate
  void locationManagerDidUpdateToLocation(platform::LocationManager& manager,
                                          const platform::Location& newLocation,
                                          const std::optional<platform::Location>& oldLocation) override;
  void locationManagerDidFailWithError(platform::LocationManager& manager,
                                       const platform::Error& error) override;

  std::shared_ptr<platform::LocationManager> mGPSLocationManager;
  std::shared_ptr<DataItemResult> lastLocationInfo_;
  std::shared_ptr<DataLoadAndParser> locationLoader_;
  std::optional<platform::Location> lastGPSLocation_;
  std::string locationErrorMessage_;
  std::string currentLocationType_;
  std::weak_ptr<LocationUtilDelegate> delegate_;
  bool isGPSEnabled_ = true;
  bool isGPSAuthorized_ = true;
  bool isGPSError_ = false;
};

}  // namespace kavro
