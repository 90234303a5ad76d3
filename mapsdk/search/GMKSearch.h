#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKPlanNode.h"
#include "mapsdk/search/GMKSearchDelegate.h"
#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// Route preferences, as the server numbers them in its requests.
enum class GMKTransitPolicy : int { LeastTime = 3, LeastTransfer = 4, LeastWalking = 5, NoSubway = 6 };
enum class GMKDrivingPolicy : int { LeastTime = 0, ShortestDistance = 1, LeastFee = 2 };

// The map SDK's search: places in a city, in a rectangle, around a point and for several
// keywords, transit, driving and walking routes, bus lines, geocoding, reverse geocoding and
// keyword suggestions. Each method checks its arguments (lengths in UTF-16 units), hands one
// request to the engine's search and returns at once; the answer reaches the delegate later on the
// main thread. The engine (InitMapEngine) must exist before the first search is made. Main thread.
class GMKSearch {
 public:
  using Text = std::optional<std::string>;  // nullopt is nil
  using Node = std::shared_ptr<GMKPlanNode>;

  // Builds the engine's search object when the engine has none; resets the page capacity to 10.
  GMKSearch();
  // Clears the notifier's search delegate.
  ~GMKSearch();
  GMKSearch(const GMKSearch&) = delete;
  GMKSearch& operator=(const GMKSearch&) = delete;

  std::shared_ptr<GMKSearchDelegate> delegate() const { return delegate_.lock(); }
  // Also makes it the notifier's search delegate (one for the process).
  void setDelegate(std::weak_ptr<GMKSearchDelegate> delegate);

  GMKTransitPolicy transitPolicy() const { return transitPolicy_; }
  void setTransitPolicy(GMKTransitPolicy policy);  // a value outside the enumeration is ignored
  GMKDrivingPolicy drivingPolicy() const { return drivingPolicy_; }
  void setDrivingPolicy(GMKDrivingPolicy policy);  // a value outside the enumeration is ignored
  static int getPageCapacity();
  static void setPageCapacity(int capacity);  // 1..50, others ignored

  bool poiSearchInCity(const Text& city, const Text& key, int pageIndex);
  bool poiSearchInbounds(const Text& key, CLLocationCoordinate2D leftBottom, CLLocationCoordinate2D rightTop,
                         int pageIndex);
  bool poiMultiSearchInbounds(const std::optional<std::vector<Text>>& keys, CLLocationCoordinate2D leftBottom,
                              CLLocationCoordinate2D rightTop, int pageIndex);
  // The square of side 2 × radius map units around the centre.
  bool poiSearchNearBy(const Text& key, CLLocationCoordinate2D center, int radius, int pageIndex);
  bool poiMultiSearchNearBy(const std::optional<std::vector<Text>>& keys, CLLocationCoordinate2D center,
                            int radius, int pageIndex);
  bool transitSearch(const Text& city, const Node& startNode, const Node& endNode);
  bool drivingSearch(const Text& startCity, const Node& startNode, const Text& endCity, const Node& endNode);
  bool walkingSearch(const Text& startCity, const Node& startNode, const Text& endCity, const Node& endNode);
  bool reverseGeocode(CLLocationCoordinate2D coordinate);
  bool geocode(const Text& address, const Text& city);
  bool suggestionSearch(const Text& key);
  bool busLineSearch(const Text& city, const Text& key);

 private:
  bool multiSearch(const std::optional<std::vector<Text>>& keys, double x1, double y1, double x2, double y2,
                   int pageIndex);
  bool carRoute(bool driving, const Text& startCity, const Node& startNode, const Text& endCity,
                const Node& endNode);

  std::weak_ptr<GMKSearchDelegate> delegate_;
  GMKTransitPolicy transitPolicy_ = GMKTransitPolicy::LeastTime;
  GMKDrivingPolicy drivingPolicy_ = GMKDrivingPolicy::LeastTime;
};

}  // namespace mapsdk
