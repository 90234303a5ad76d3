#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace mapsdk {

enum class LocationSource : std::int32_t { None = 1, Network = 3, Satellite = 5 };
enum class LocationState : std::int32_t { NotLocated = 1, Searching = 2, Valid = 3 };
enum class FixState : std::int32_t { NoFix = 1, Fix = 3 };

// The engine's current location.
struct LocationRecord {
  LocationSource source = LocationSource::None;
  LocationState state = LocationState::NotLocated;
  std::int32_t c0 = 0;
  std::int32_t c1 = 0;
  std::int32_t c2 = 0;
  std::int32_t c3 = 0;
  double mapX = 0;  // engine Mercator map units
  double mapY = 0;
  double longitude = 0;  // the map service's system
  double latitude = 0;
  std::int32_t radius = 0;  // metres
  float course = 0;
  float speed = 0;
  float height = 0;
  std::int32_t reserved = 0;
};

// A satellite fix as the receiver hands it to the engine.
struct GpsFix {
  FixState state = FixState::NoFix;
  float longitude = 0;
  float latitude = 0;
  float course = 0;
  float speed = 0;
  float height = 0;
  float accuracy = 0;  // metres, at most 2000
  std::int32_t valid = 0;
};

// A cell observation: four identifiers are used; c3 = 0 means no cell.
struct CellRecord {
  std::int32_t c0 = 0;
  std::int32_t c1 = 0;
  std::int32_t c2 = 0;
  std::int32_t c3 = 0;
  std::array<std::int32_t, 16> rest{};
  bool HasCell() const { return c3 != 0; }
};

// A Wi-Fi scan (132 bytes) and the texts the Wi-Fi source derives from it.
struct WifiScan {
  std::array<std::uint8_t, 132> record{};
  std::string requestText;  // sent after "&wf="
  std::string keyText;      // compared from tick to tick
  std::string uploadText;   // for observation uploads
};

}  // namespace mapsdk
