#include "app/jobmap/JobMapController.h"

#include "app/api/ApiJob.h"
#include "app/api/ApiUtil.h"
#include "app/jobmap/CoordinateText.h"
#include "app/jobmap/JobAppleRouteController.h"
#include "app/jobmap/JobGeoMapController.h"
#include "app/jobsearch/JobText.h"
#include "app/shell/AppTracking.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/DeviceSystemVersionCompare.h"
#include "kit/core/StringError.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/AppControllers.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "mapsdk/display/GMKGeometry.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/location/MapItem.h"
#include "platform/system/OutsideApplications.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"

namespace kavro {

namespace {
constexpr double ShowDelay = 0.1;
constexpr double ConvertDelay = 0.25;

using jobtext::text;

// Escapes what may not stand in a URL (blanks, "|", non-ASCII as UTF-8), keeping its structure.
std::string escapeWholeURL(std::string_view url) {
  static constexpr std::string_view Kept = "-._~!$&'()*+,;=:@/?#[]";
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : url) {
    if (std::isalnum(c) || Kept.find(static_cast<char>(c)) != std::string_view::npos) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(Hex[c >> 4]);
      out.push_back(Hex[c & 15]);
    }
  }
  return out;
}

std::string displayName() { return platform::Environment::bundleName(); }
std::string ownScheme() {
  auto schemes = platform::Environment::urlSchemes();
  return schemes.empty() ? std::string() : schemes.front();
}
}  // namespace

std::shared_ptr<JobMapController> JobMapController::openWithDetail(std::shared_ptr<DataItemDetail> detail) {
  // The opener is taken first: a new screen is the most recent one from its creation on.
  auto parent = AppControllers::mostRecentController();
  std::shared_ptr<JobMapController> screen;
  if (UserCoreInfo::sharedUserCoreInfo().appMapType() == UserCoreInfo::MapTypeGeoMap)
    screen = UIBasicController::create<JobGeoRouteController>();
  else
    screen = UIBasicController::create<JobAppleRouteController>();
  screen->detail_ = detail ? std::move(detail) : DataItemDetail::newDetail();
  if (parent) screen->ShowUIBasicController(parent);
  return screen;
}

JobMapController::~JobMapController() {
  platform::RunLoop::main().cancelPerforms(this);
  if (mapDataConn_) mapDataConn_->stopLoading();
  if (mapDataLoader_) mapDataLoader_->stopLoading();
  if (mapDataConvert_) mapDataConvert_->stopLoading();
}

void JobMapController::customView() {
  UIBasicController::customView();
  std::weak_ptr<JobMapController> weak = sharedAs<JobMapController>();
  setTitle(AppCoreInfo::getLocalizedString("jobmap_title"));
  navigationItem()->setRightBarButtonItem(std::make_shared<platform::BarButtonItem>(
      AppCoreInfo::getLocalizedString("jobmap_route_button"), platform::BarButtonItemStyle::Bordered,
      [weak](platform::BarButtonItem&) {
        if (auto self = weak.lock()) self->route();
      }));

  auto root = view();
  double centreY = root->bounds().size.height / 2;
  bubbleView_ = std::make_shared<CustomMapCompanyBubbleView>(platform::Rect(0, centreY - 17 - 75, 320, 75));
  view::horizontalCenterInView(*bubbleView_, root.get());
  bubbleView_->setHidden(true);
  bubbleView_->showJobInfo(*detail_);
  root->addSubview(bubbleView_);

  if (!detail_->get_latitude().empty() && !detail_->get_longitude().empty()) {
    coordinate_ = coordtext::ofRecord(*detail_);
    platform::RunLoop::main().performAfter(ShowDelay, this, [weak] {
      if (auto self = weak.lock()) self->showLocation();
    });
  } else {
    mapDataLoader_ = ApiJob::get_co_lonlat(detail_->get_coid(), UserCoreInfo::getAppMapType(), "", weak);
  }
  buildMapView();
}

bool JobMapController::showLocation() {
  if (platform::isValidCoordinate(coordinate_)) return true;
  alert::showAlert(message_.empty() ? AppCoreInfo::getLocalizedString("jobmap_get_coordinate_failed")
                                    : message_);
  return false;
}

// --- The coordinate -----------------------------------------------------------------------------

std::optional<platform::Coordinate> JobMapController::toGeoMapSystem(const platform::Coordinate& c) {
  const std::optional<mapsdk::CLLocationCoordinate2D> shifted =
      mapsdk::GMKCoordinateToMapSystem({c.latitude, c.longitude});
  if (!shifted) return std::nullopt;
  platform::Coordinate out;
  out.latitude = shifted->latitude;
  out.longitude = shifted->longitude;
  return out;
}

void JobMapController::dataLoader(DataLoadAndParser& loader, const DataItemResult& result) {
  if (&loader == mapDataLoader_.get())
    coordinateAnswer(result);
  else if (&loader == mapDataConvert_.get())
    conversionAnswer(result);
}

void JobMapController::coordinateAnswer(const DataItemResult& result) {
  if (!result.message().empty()) message_ = result.message();
  if (result.hasError()) {
    showLocation();
    return;
  }
  const auto& info = *result.detailInfo();
  auto lat = coordtext::scanDouble(info.get_latitude());
  auto lon = coordtext::scanDouble(info.get_longitude());
  if (lat && lon) {
    coordinate_ = {*lat, *lon};
    if (UserCoreInfo::getAppMapType() == "geomap")
      coordinate_ = toGeoMapSystem(coordinate_).value_or(platform::InvalidCoordinate);
  }
  switch (result.statusCode()) {
    case 1:
      showLocation();
      break;
    case 2: {
      // The server wants a page fetched for it; a server that keeps asking is not followed for ever.
      if (++pageFetches_ > MaxPageFetches) {
        showLocation();
        break;
      }
      std::string agent = info.get_useragent();
      if (agent.empty()) agent = BrowserUserAgent;
      mapType_ = info.get_maptype();
      if (mapDataConn_) mapDataConn_->stopLoading();
      mapDataConn_ = DataHttpConnection::GetUrl(info.get_url(), sharedAs<JobMapController>(), agent);
      break;
    }
    default:
      break;
  }
}

void JobMapController::connectionOnReceived(DataHttpConnection&, const platform::Data& data) {
  if (mapDataLoader_) mapDataLoader_->stopLoading();
  std::string body = platform::stringFromData(data);
  if (!platform::isValidUtf8(body)) body.clear();
  mapDataLoader_ = ApiJob::get_co_lonlat(detail_->get_coid(), mapType_, body, sharedAs<JobMapController>());
}

void JobMapController::connectionOnError(DataHttpConnection&, const platform::Error& error) {
  std::string reason = str::fromError(&error);
  if (!reason.empty()) message_ = reason;
  showLocation();
}

// --- The route ----------------------------------------------------------------------------------

void JobMapController::initOpenMapDirection() {
  mapButtonArray_.clear();
  bool modern = !device::systemVersionLessThan("6.0");
  const struct {
    std::string_view url;
    std::string_view title;
    std::int32_t tag;
  } apps[] = {{GeoMapURL, "jobmap_route_geo", GeoMapApp},
              {GoogleMapURL, "jobmap_route_google", GoogleMapApp},
              {AutonaviURL, "jobmap_route_autonavi", AutonaviApp},
              {modern ? PlatformMapWebURL : WebMapURL, "jobmap_route_apple", PlatformMapApp}};
  for (const auto& app : apps) {
    if (!platform::OutsideApplications::canOpenURL(app.url)) continue;
    auto entry = DataItemDetail::newDetail();
    entry->setString(text(app.title), mapButtonTitleKey);
    entry->setInt(app.tag, mapButtonTagKey);
    mapButtonArray_.push_back(entry);
  }
}

void JobMapController::route() {
  AppTracking::record("TRACKING_JOBSEARCH_JOBMAP_ROUTE");
  if (!platform::isValidCoordinate(coordinate_)) {
    alert::showAlert(AppCoreInfo::getLocalizedString("jobmap_get_route_failed"));
    return;
  }
  initOpenMapDirection();
  std::vector<std::string> titles;
  for (const auto& entry : mapButtonArray_) titles.push_back(entry->getString(mapButtonTitleKey));
  auto sheet = std::make_shared<platform::ActionSheet>("", sharedAs<JobMapController>(),
                                                       AppCoreInfo::getLocalizedString("common_text_cancel"),
                                                       std::nullopt, std::move(titles));
  sheet->showInView(*view());
}

void JobMapController::clickedButtonAtIndex(platform::ActionSheet&, int buttonIndex) {
  if (buttonIndex < 0 || static_cast<std::size_t>(buttonIndex) >= mapButtonArray_.size()) return;
  actionButtonType_ = static_cast<std::int32_t>(
      mapButtonArray_[static_cast<std::size_t>(buttonIndex)]->getInt(mapButtonTagKey));
  useMapRouteWithCoorType(actionButtonType_ == GeoMapApp ? "geomap" : "googlemap");
}

void JobMapController::useMapRouteWithCoorType(std::string_view coorType) {
  std::string appType = UserCoreInfo::getAppMapType();
  if (appType == "geomap") {
    if (coorType == "geomap") {
      routeCoor_ = coordinate_;
      beginMapRoute();
      return;
    }
    std::weak_ptr<JobMapController> weak = sharedAs<JobMapController>();
    platform::RunLoop::main().performAfter(ConvertDelay, this, [weak] {
      if (auto self = weak.lock()) self->convertCoor();
    });
    return;
  }
  // The platform map, and no map at all, hold the server's own system: only the SDK's application
  // wants it shifted.
  if (coorType == "geomap") {
    auto shifted = toGeoMapSystem(coordinate_);
    if (!shifted) {
      alert::showAlert(AppCoreInfo::getLocalizedString("jobmap_route_coordinate_invalid"));
      return;
    }
    routeCoor_ = *shifted;
  } else {
    routeCoor_ = coordinate_;
  }
  beginMapRoute();
}

void JobMapController::convertCoor() {
  alert::showTips(AppCoreInfo::getLocalizedString("common_text_loading"));
  if (mapDataConvert_) mapDataConvert_->stopLoading();
  std::string lonlat =
      coordtext::sixDecimals(coordinate_.longitude) + "," + coordtext::sixDecimals(coordinate_.latitude);
  mapDataConvert_ = ApiUtil::convert_lonlat(lonlat, "geomap", "googlemap", sharedAs<JobMapController>());
}

void JobMapController::conversionAnswer(const DataItemResult& result) {
  alert::hiddenTips();
  if (result.hasError()) {
    if (!result.message().empty()) {
      message_ = result.message();
      alert::showAlert(message_);
    }
    return;
  }
  const auto& info = *result.detailInfo();
  auto lat = coordtext::scanDouble(info.get_latitude());
  auto lon = coordtext::scanDouble(info.get_longitude());
  if (!lat || !lon) return;
  routeCoor_ = {*lat, *lon};
  beginMapRoute();
}

std::string JobMapController::routeURL(std::int32_t tag) const {
  using coordtext::sixDecimals;
  std::string coname = detail_->get_coname();
  std::string lat = sixDecimals(routeCoor_.latitude), lon = sixDecimals(routeCoor_.longitude);
  switch (tag) {
    case GeoMapApp:
      return std::string(GeoMapURL) + "?location=" + lat + "," + lon + "&title=" + coname +
             "&content=" + detail_->get_caddr() + "&referer=" + displayName() + "|" + displayName();
    case GoogleMapApp:
      return std::string(GoogleMapURL) + "?saddr=&daddr=" + lat + "," + lon + "(" + coname +
             ")&directionsmode=driving";
    case AutonaviApp:
      return std::string(AutonaviURL) + "navi?sourceApplication=" + displayName() +
             "&backScheme=" + ownScheme() + "&poiname=" + coname + "&lat=" + lat + "&lon=" + lon +
             "&dev=0&style=2";
    case PlatformMapApp:
      return std::string(WebMapURL) + "?saddr=&daddr=" + lat + "," + lon + "&dirfl=d";
    default:
      return "";
  }
}

void JobMapController::beginMapRoute() {
  if (!platform::isValidCoordinate(routeCoor_)) {
    alert::showAlert(AppCoreInfo::getLocalizedString("jobmap_route_coordinate_invalid"));
    return;
  }
  std::string url;
  switch (actionButtonType_) {
    case GeoMapApp:
    case GoogleMapApp:
    case AutonaviApp:
      url = escapeWholeURL(routeURL(actionButtonType_));
      break;
    case PlatformMapApp:
      if (!device::systemVersionLessThan("6.0")) {
        platform::MapItem::openMapsWithItems({platform::MapItem::mapItemForCurrentLocation(),
                                              platform::MapItem::forPlace(routeCoor_, detail_->get_coname())},
                                             {std::string(platform::MapItem::DirectionsModeDriving), true});
        return;
      }
      url = routeURL(actionButtonType_);
      break;
    default:
      return;
  }
  // Only an application that is installed now is opened; one that went since the sheet is not.
  if (!platform::OutsideApplications::canOpenURL(url)) {
    alert::showAlert(AppCoreInfo::getLocalizedString("jobmap_route_app_missing"));
    return;
  }
  platform::OutsideApplications::openURL(url);
}

// --- The tap that closes the bubble -------------------------------------------------------------

void JobMapController::installTapToHide(platform::View& map) {
  removeTapToHide(map);
  std::weak_ptr<JobMapController> weak = sharedAs<JobMapController>();
  tapMapGesture_ = std::make_shared<platform::TapGestureRecognizer>([weak](platform::GestureRecognizer&) {
    if (auto self = weak.lock()) self->hideBubbleView();
  });
  map.addGestureRecognizer(tapMapGesture_);
}

void JobMapController::removeTapToHide(platform::View& map) {
  if (tapMapGesture_) map.removeGestureRecognizer(tapMapGesture_.get());
}

}  // namespace kavro
