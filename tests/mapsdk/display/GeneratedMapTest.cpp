#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "demo/MapFixtureServer.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ImageCodec.h"

namespace kavro::test {
namespace {

struct SeenKinds {
  int street = 0;  // streets, lanes and arterials
  int water = 0;
  int park = 0;
};

bool Near(const platform::Pixel& p, std::uint32_t rgb, int slack) {
  return std::abs(p.r - static_cast<int>(rgb >> 16 & 0xFF)) <= slack &&
         std::abs(p.g - static_cast<int>(rgb >> 8 & 0xFF)) <= slack &&
         std::abs(p.b - static_cast<int>(rgb & 0xFF)) <= slack;
}

void Look(const platform::Bitmap& bitmap, SeenKinds& seen) {
  for (int y = 0; y < bitmap.height(); ++y) {
    for (int x = 0; x < bitmap.width(); ++x) {
      const platform::Pixel p = bitmap.pixelAt(x, y);
      if (Near(p, 0xFFFFFF, 6) || Near(p, 0xFCD27A, 2) || Near(p, 0xF3A35C, 2)) {
        ++seen.street;
      } else if (Near(p, 0xAAD3DF, 0)) {
        ++seen.water;
      } else if (Near(p, 0xC8E6B0, 2)) {
        ++seen.park;
      }
    }
  }
}

// A tile of the service anywhere: it decodes to 256 x 256 and weighs what real tiles weigh.
platform::Bitmap Tile(MapFixtureServer& server, int level, int column, int row) {
  const std::string bytes = server.tile("map", level, column, row);
  EXPECT_GE(bytes.size(), 10u * 1024) << level << "/" << column << "/" << row;
  EXPECT_LE(bytes.size(), 100u * 1024) << level << "/" << column << "/" << row;
  auto bitmap =
      platform::ImageCodec::decodePNG(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  EXPECT_TRUE(bitmap);
  if (!bitmap) return {};
  EXPECT_EQ(bitmap->width(), 256);
  EXPECT_EQ(bitmap->height(), 256);
  return *bitmap;
}

// What the 3 x 3 tiles around the point (map units) show at a level.
SeenKinds LookAround(MapFixtureServer& server, int level, double x, double y) {
  const double side = 256.0 * (1 << (18 - level));
  const int column = static_cast<int>(std::floor(x / side));
  const int row = static_cast<int>(std::floor(y / side));
  SeenKinds seen;
  for (int dc = -1; dc <= 1; ++dc) {
    for (int dr = -1; dr <= 1; ++dr) Look(Tile(server, level, column + dc, row + dr), seen);
  }
  return seen;
}

TEST(GeneratedMapTest, EveryPlaceAndLevelHasStreetsAtTheSizeOfRealTiles) {
  MapFixtureServer server;
  // The default centre, far east and south-west of the origin: at each level a block
  // of 3 x 3 tiles (less than a screen) shows streets.
  const std::pair<double, double> places[] = {{12958162, 4825907}, {18000000, 2100000}, {-7400000, -3900000}};
  for (const auto& [x, y] : places) {
    for (int level : {11, 13, 16, 18}) {
      SeenKinds seen = LookAround(server, level, x, y);
      EXPECT_GT(seen.street, 500) << "level " << level << " at " << x << "," << y;
    }
  }
}

// Zoomed out (levels 3 to 10), a block of 3 x 3 tiles still shows where one is: main roads and
// water on the land, never one colour alone.
TEST(GeneratedMapTest, SmallLevelsShowMainRoadsAndWater) {
  MapFixtureServer server;
  const double x = 12958162, y = 4825907;
  for (int level = 3; level <= 10; ++level) {
    SeenKinds seen = LookAround(server, level, x, y);
    EXPECT_GT(seen.street, 2000) << "level " << level;
    EXPECT_GT(seen.water, 300) << "level " << level;
    // Neither roads nor water cover the map.
    EXPECT_LT(seen.street + seen.water, 9 * 256 * 256 / 4) << "level " << level;
  }
}

TEST(GeneratedMapTest, TheSameTileIsTheSameBytesAndNeighboursDiffer) {
  MapFixtureServer one, other;
  EXPECT_EQ(one.tile("map", 15, 12345, 5678), other.tile("map", 15, 12345, 5678));
  EXPECT_NE(one.tile("map", 15, 12345, 5678), one.tile("map", 15, 12346, 5678));
  EXPECT_EQ(one.tile("tra", 14, 6000, 2000), other.tile("tra", 14, 6000, 2000));
}

TEST(GeneratedMapTest, AnAreaOfTheMapHoldsWaterAndParks) {
  MapFixtureServer server;
  SeenKinds all;
  // A 8 x 8 block of level-12 tiles: about 65 km a side.
  for (int column = 3000; column < 3008; ++column) {
    for (int row = 1100; row < 1108; ++row) {
      const std::string bytes = server.tile("map", 12, column, row);
      auto bitmap =
          platform::ImageCodec::decodePNG(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ASSERT_TRUE(bitmap);
      Look(*bitmap, all);
    }
  }
  EXPECT_GT(all.water, 1000);
  EXPECT_GT(all.park, 1000);
}

}  // namespace
}  // namespace kavro::test
