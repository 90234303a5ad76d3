#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/jobmap/CustomMapCompanyBubbleView.h"
#include "kit/core/DataHttpConnection.h"
#include "kit/core/DataItemDetail.h"
#include "kit/core/DataLoadAndParser.h"
#include "kit/ui/UIBasicController.h"
#include "platform/location/MapGeometry.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace kavro {

// Where a company (of a job or of the company page) is, and the route to it in an outside map
// application. It takes the coordinate from the record or asks the server (which may ask the
// client to fetch a page and post it back), shows a pin with the company bubble, and on the route
// button offers the map applications installed, converting the coordinate into the system each
// expects. A map back end derives from it and adds the map view (buildMapView, showLocation,
// hideBubbleView). Main thread only.
class JobMapController : public UIBasicController,
                         public DataLoadAndParserDelegate,
                         public DataHttpConnectionDelegate,
                         public platform::ActionSheetDelegate {
 public:
  static constexpr std::string_view mapButtonTitleKey = "<&mapButtonTitleKey&>";
  static constexpr std::string_view mapButtonTagKey = "<&mapButtonTagKey&>";
  // The outside applications, by tag.
  enum MapApplication : std::int32_t { GeoMapApp = 0, GoogleMapApp = 1, AutonaviApp = 2, PlatformMapApp = 3 };
  static constexpr std::string_view GeoMapURL = "geomap://map/marker";
  static constexpr std::string_view GoogleMapURL = "comgooglemaps://";
  static constexpr std::string_view AutonaviURL = "iosamap://";
  // The route pages of the platform's maps and of the web map.
  static constexpr std::string_view PlatformMapWebURL = "https://maps.platform.kavro.local/maps";
  static constexpr std::string_view WebMapURL = "https://webmap.kavro.local/maps";
  static constexpr std::string_view BrowserUserAgent =
      "Mozilla/5.0 (iPhone; CPU iPhone OS 5_1_1 like Mac OS X) AppleWebKit/534.46 (KHTML, like Gecko) "
      "Mobile/9B206";
  static constexpr double RouteRadius = 1000;
  // How many pages the server may have the client fetch and post back for one screen.
  static constexpr int MaxPageFetches = 5;

  // Opens the location map of the job or company record from the most recent screen, on the back
  // end the user's map type names (the platform map while the SDK's back end is not there).
  static std::shared_ptr<JobMapController> openWithDetail(std::shared_ptr<DataItemDetail> detail);
  template <class T>
  static std::shared_ptr<T> initWithDetail(std::shared_ptr<DataItemDetail> detail) {
    auto screen = UIBasicController::create<T>();
    screen->detail_ = detail ? std::move(detail) : DataItemDetail::newDetail();
    return screen;
  }
  ~JobMapController() override;

  void customView() override;
  // The map view of the back end, below a 44-point band, behind the bubble.
  virtual void buildMapView() {}
  // The base tells the user that there is no coordinate (and answers false); a back end shows the
  // coordinate when there is one.
  virtual bool showLocation();
  virtual void hideBubbleView() {}
  void route();
  void initOpenMapDirection();
  void useMapRouteWithCoorType(std::string_view coorType);
  void convertCoor();
  void beginMapRoute();
  // The application's route URL for a tag (0 to 2, and 3 on an old system); empty for others.
  std::string routeURL(std::int32_t tag) const;

  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;
  void connectionOnReceived(DataHttpConnection& connection, const platform::Data& data) override;
  void connectionOnError(DataHttpConnection& connection, const platform::Error& error) override;
  void clickedButtonAtIndex(platform::ActionSheet& sheet, int buttonIndex) override;

  const std::shared_ptr<DataItemDetail>& detail() const { return detail_; }
  const platform::Coordinate& coordinate() const { return coordinate_; }
  const platform::Coordinate& routeCoor() const { return routeCoor_; }
  std::int32_t actionButtonType() const { return actionButtonType_; }
  const std::vector<std::shared_ptr<DataItemDetail>>& mapButtonArray() const { return mapButtonArray_; }
  const std::string& message() const { return message_; }
  const std::shared_ptr<CustomMapCompanyBubbleView>& bubbleView() const { return bubbleView_; }
  const std::shared_ptr<DataLoadAndParser>& mapDataLoader() const { return mapDataLoader_; }
  const std::shared_ptr<DataLoadAndParser>& mapDataConvert() const { return mapDataConvert_; }
  const std::shared_ptr<DataHttpConnection>& mapDataConn() const { return mapDataConn_; }

 protected:
  void coordinateAnswer(const DataItemResult& result);
  void conversionAnswer(const DataItemResult& result);
  // The map SDK's system, or nothing outside the converter's bounds.
  static std::optional<platform::Coordinate> toGeoMapSystem(const platform::Coordinate& c);
  void installTapToHide(platform::View& map);
  void removeTapToHide(platform::View& map);

  std::shared_ptr<DataItemDetail> detail_;
  platform::Coordinate coordinate_ = platform::InvalidCoordinate;
  platform::Coordinate routeCoor_;
  std::int32_t actionButtonType_ = -1;
  std::vector<std::shared_ptr<DataItemDetail>> mapButtonArray_;
  std::string mapType_;
  std::string message_;
  std::shared_ptr<DataLoadAndParser> mapDataLoader_;
  std::shared_ptr<DataLoadAndParser> mapDataConvert_;
  std::shared_ptr<DataHttpConnection> mapDataConn_;
  std::shared_ptr<CustomMapCompanyBubbleView> bubbleView_;
  std::shared_ptr<platform::TapGestureRecognizer> tapMapGesture_;
  int pageFetches_ = 0;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  JobMapController() = default;
};

KAVRO_CLASS(JobMapController, UIBasicController);

}  // namespace kavro
