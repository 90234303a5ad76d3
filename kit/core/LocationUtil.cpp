#include "kit/core/LocationUtil.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/core/StringError.h"
#include "kit/http/Reachability.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

namespace {

platform::Mutex& locationMutex() {
  static platform::Mutex* m = new platform::Mutex();
  return *m;
}

std::shared_ptr<LocationUtil>& instance() REQUIRES(locationMutex()) {
  static auto* p = new std::shared_ptr<LocationUtil>();
  return *p;
}

bool knownType(std::string_view type) {
  return type == LocationUtil::TypeCampus || type == LocationUtil::TypeJob ||
         type == LocationUtil::TypeSalary;
}

// A record that names a located area of a known type.
bool isLocatedArea(const DataItemDetail& row) {
  return !row.getDictValue().empty() && !row.getDictCode().empty() && row.getInt("locationtype") >= 1 &&
         knownType(row.getString("type"));
}

bool isUsableAnswer(const DataItemResult& result) {
  if (!result.isValidListData()) return false;
  for (const auto& row : result.dataList())
    if (row && isLocatedArea(*row)) return true;
  return false;
}

bool useRefused(platform::AuthorizationStatus status) {
  return status == platform::AuthorizationStatus::Restricted ||
         status == platform::AuthorizationStatus::Denied;
}

}  // namespace

LocationUtil::LocationUtil(Token) : mGPSLocationManager(platform::LocationManager::create()) {
  mGPSLocationManager->setDesiredAccuracy(platform::LocationManager::AccuracyHundredMeters);
  mGPSLocationManager->setDistanceFilter(1000.0);
}

LocationUtil::~LocationUtil() {
  if (locationLoader_) locationLoader_->stopLoading();
  mGPSLocationManager->setDelegate({});
  mGPSLocationManager->stopUpdatingLocation();
}

LocationUtil& LocationUtil::sharedLocationUtil() {
  platform::MutexLock lock(locationMutex());
  auto& p = instance();
  if (!p) p = std::make_shared<LocationUtil>(Token{});
  return *p;
}

void LocationUtil::destroyLocationUtil() {
  std::shared_ptr<LocationUtil> gone;
  {
    platform::MutexLock lock(locationMutex());
    gone = std::move(instance());
  }
  if (gone) gone->cutOff();
}

void LocationUtil::getLocationForType(std::string_view type, std::weak_ptr<LocationUtilDelegate> delegate) {
  auto& util = sharedLocationUtil();
  auto keep = util.shared_from_this();
  util.cutOff();
  util.delegate_ = std::move(delegate);
  util.startGetLocationInfoForType(type);
}

void LocationUtil::stopLocation() { sharedLocationUtil().cutOff(); }

void LocationUtil::cutOff() {
  delegate_.reset();
  mGPSLocationManager->setDelegate({});
  if (locationLoader_) {
    locationLoader_->stopLoading();
    locationLoader_.reset();
  }
  mGPSLocationManager->stopUpdatingLocation();
}

std::string LocationUtil::getCachedLocationKeyForType(std::string_view type) {
  return "CachedLocation-" + std::string(type);
}

std::shared_ptr<DataItemDetail> LocationUtil::defaultLocationForType(std::string_view type) {
  if (hasCachedLocationForType(type)) {
    if (auto chosen =
            AppCoreInfo::getCoreDB()->getItemCache(STORE_CORE_LOCATION, getCachedLocationKeyForType(type)))
      return chosen;
  }
  if (auto located = sharedLocationUtil().lastLocationForType(type)) return located;
  std::string_view nameKey = "location_default_salary_areaname";
  std::string_view codeKey = "location_default_salary_areacode";
  if (type == TypeJob) {
    nameKey = "location_default_job_areaname";
    codeKey = "location_default_job_areacode";
  } else if (type == TypeCampus) {
    nameKey = "location_default_campus_areaname";
    codeKey = "location_default_campus_areacode";
  }
  auto fallback = DataItemDetail::newDetail();
  fallback->setDictValue(AppCoreInfo::getLocalizedString(nameKey));
  fallback->setDictCode(AppCoreInfo::getLocalizedString(codeKey));
  fallback->setInt(1, "locationtype");
  return fallback;
}

bool LocationUtil::hasCachedLocationForType(std::string_view type) {
  return AppCoreInfo::getCoreDB()->getIntValue(STORE_CORE_LOCATION, getCachedLocationKeyForType(type)) == 1;
}

bool LocationUtil::setDefaultLocationForType(std::string_view type, const DataItemDetail& locationInfo) {
  auto db = AppCoreInfo::getCoreDB();
  std::string key = getCachedLocationKeyForType(type);
  db->setIntValue(STORE_CORE_LOCATION, key, 1);
  return db->saveItemCache(STORE_CORE_LOCATION, key, locationInfo);
}

bool LocationUtil::getGPSEnabledStatus() {
  return platform::LocationManager::locationServicesEnabled() &&
         platform::LocationManager::authorizationStatus() == platform::AuthorizationStatus::Authorized;
}

std::shared_ptr<DataItemDetail> LocationUtil::lastLocationForType(std::string_view type) const {
  if (!lastLocationInfo_ || !lastLocationInfo_->isValidListData()) return nullptr;
  for (const auto& row : lastLocationInfo_->dataList())
    if (row && row->hasKey("type", type)) return row;
  return nullptr;
}

std::string LocationUtil::getErrorMessage() const {
  if (!locationErrorMessage_.empty()) return locationErrorMessage_;
  if (!isGPSError_) return "";
  if (!platform::LocationManager::locationServicesEnabled())
    return AppCoreInfo::getLocalizedString("location_error_msg_service_disabled");
  if (!isGPSAuthorized_ || useRefused(platform::LocationManager::authorizationStatus()))
    return AppCoreInfo::getLocalizedString("location_error_msg_authorized");
  return AppCoreInfo::getLocalizedString("location_gps_location_failed");
}

void LocationUtil::startGetLocationInfoForType(std::string_view type) {
  if (locationLoader_) {
    locationLoader_->stopLoading();
    locationLoader_.reset();
  }
  locationErrorMessage_.clear();
  currentLocationType_ = type;

  if (lastLocationForType(type)) {
    report(true);
    return;
  }
  if (!platform::LocationManager::locationServicesEnabled()) {
    isGPSEnabled_ = false;
    isGPSError_ = true;
    report(false);
    return;
  }
  isGPSEnabled_ = true;
  isGPSAuthorized_ = true;
  isGPSError_ = false;
  if (useRefused(platform::LocationManager::authorizationStatus())) {
    isGPSAuthorized_ = false;
    isGPSError_ = true;
    report(false);
    return;
  }
  if (lastGPSLocation_) {
    askServer(*lastGPSLocation_);
  } else {
    mGPSLocationManager->setDelegate(weak_from_this());
    mGPSLocationManager->startUpdatingLocation();
  }
}

void LocationUtil::askServer(const platform::Location& fix) {
  // The same call as ApiUtil's get_location, which lives above this library.
  locationLoader_ = DataLoadAndParser::GetUrl(
      platform::format("util/get_location.php?longitude=%f&latitude=%f", fix.longitude, fix.latitude),
      weak_from_this());
}

void LocationUtil::report(bool isSucceed) {
  auto keep = shared_from_this();
  if (auto d = delegate_.lock()) d->locationUtil(*this, isSucceed);
}

void LocationUtil::locationManagerDidUpdateToLocation(platform::LocationManager& manager,
                                                      const platform::Location& newLocation,
                                                      const std::optional<platform::Location>&) {
  manager.stopUpdatingLocation();
  lastGPSLocation_ = newLocation;
  askServer(newLocation);
}

void LocationUtil::locationManagerDidFailWithError(platform::LocationManager& manager,
                                                   const platform::Error& error) {
  manager.stopUpdatingLocation();
  isGPSError_ = true;
  locationErrorMessage_ = str::fromError(&error);
  if (locationErrorMessage_.empty())
    locationErrorMessage_ = AppCoreInfo::getLocalizedString("location_error_msg_unavailable");
  report(false);
}

void LocationUtil::dataLoader(DataLoadAndParser& loader, const DataItemResult& result) {
  if (&loader != locationLoader_.get()) return;
  auto keep = shared_from_this();
  auto done = std::move(locationLoader_);
  if (isUsableAnswer(result)) {
    lastLocationInfo_ = loader.getResult();
    if (currentLocationType_.empty() || lastLocationForType(currentLocationType_)) {
      report(true);
    } else {
      locationErrorMessage_ = AppCoreInfo::getLocalizedString("location_gps_location_failed");
      report(false);
    }
    return;
  }
  if (result.message().empty()) {
    locationErrorMessage_ = AppCoreInfo::getLocalizedString("location_gps_location_failed");
  } else if (!Reachability::connectedToNetWork()) {
    locationErrorMessage_ = AppCoreInfo::getLocalizedString("location_error_msg_no_network");
  } else {
    locationErrorMessage_ = result.message();
  }
  report(false);
}

}  // namespace kavro
