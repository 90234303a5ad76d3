#pragma once
#include <string>
#include <vector>

#include "platform/location/MapGeometry.h"

namespace platform {

// A place handed to the platform's own maps application: the device's current position, or a
// coordinate with a name.
struct MapItem {
  bool isCurrentLocation = false;
  Coordinate coordinate;
  std::string name;

  static MapItem mapItemForCurrentLocation() { return {true, {}, ""}; }
  static MapItem forPlace(Coordinate c, std::string name) { return {false, c, std::move(name)}; }
  bool operator==(const MapItem&) const = default;

  // Launch options of the maps application.
  struct LaunchOptions {
    std::string directionsMode;  // "" none, or MapDirectionsModeDriving / MapDirectionsModeWalking
    bool showsTraffic = false;
    bool operator==(const LaunchOptions&) const = default;
  };
  static constexpr std::string_view DirectionsModeDriving = "MKLaunchOptionsDirectionsModeDriving";
  static constexpr std::string_view DirectionsModeWalking = "MKLaunchOptionsDirectionsModeWalking";

  // Nothing is launched: the request is recorded. True for one or two items.
  static bool openMapsWithItems(const std::vector<MapItem>& items, const LaunchOptions& options);
  struct OpenedMaps {
    std::vector<MapItem> items;
    LaunchOptions options;
  };
  static std::vector<OpenedMaps> openedMaps();
  static void reset();
};

}  // namespace platform
