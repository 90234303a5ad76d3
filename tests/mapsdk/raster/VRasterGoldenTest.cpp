#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "mapsdk/raster/VBitmapPng.h"
#include "mapsdk/raster/VRaster.h"
#include "platform/foundation/FileManager.h"
#include "platform/graphics/ImageCodec.h"
#include "tests/mapsdk/raster/RasterTestUtil.h"

using namespace gmengine;
using gmengine::test::Canvas;

namespace {

// Scenes compared pixel for pixel with the reference renderings in tests/fixtures/raster.
// KAVRO_UPDATE_RASTER_FIXTURES=1 rewrites the references (look at them before committing).
void ExpectMatchesFixture(const Canvas& canvas, const std::string& name) {
  std::string path = std::string(KAVRO_SOURCE_DIR) + "/tests/fixtures/raster/" + name + ".png";
  if (std::getenv("KAVRO_UPDATE_RASTER_FIXTURES")) {
    ASSERT_TRUE(WriteBitmapPNG(canvas.bitmap, path));
    return;
  }
  std::optional<platform::Data> file = platform::FileManager::contentsAtPath(path);
  ASSERT_TRUE(file) << path;
  std::optional<platform::Bitmap> expected = platform::ImageCodec::decodePNG(file->data(), file->size());
  ASSERT_TRUE(expected);
  std::optional<platform::Bitmap> actual = BitmapToImage(canvas.bitmap);
  ASSERT_TRUE(actual);
  ASSERT_EQ(actual->width(), expected->width());
  ASSERT_EQ(actual->height(), expected->height());
  int differing = 0;
  for (int y = 0; y < actual->height(); ++y)
    for (int x = 0; x < actual->width(); ++x) {
      platform::Pixel a = actual->pixelAt(x, y), e = expected->pixelAt(x, y);
      if (a.r != e.r || a.g != e.g || a.b != e.b) ++differing;
    }
  EXPECT_EQ(differing, 0) << name;
}

std::vector<_VPoint> Star(int cx, int cy, int r) {
  std::vector<_VPoint> pts;
  for (int i = 0; i < 5; ++i) {
    double a = i * 4 * 3.14159265358979 / 5 - 3.14159265358979 / 2;
    pts.emplace_back(cx + static_cast<int>(r * std::cos(a)), cy + static_cast<int>(r * std::sin(a)));
  }
  return pts;
}

TEST(VRasterGoldenTest, PolygonsWithClippingSelfOverlapAndOpacity) {
  Canvas c(96, 64, 0xFF203040u);
  c.UseFill(0xFFFFCC00u);
  std::vector<_VPoint> star = Star(30, 32, 28);
  VPolygon(c.dc, star.data(), 5, 255);
  c.SetBrush(BrushStyle::Solid, 0xFF40C0FFu);
  _VPoint clipped[4] = {{70, -20}, {120, 30}, {70, 80}, {55, 30}};
  VPolygon(c.dc, clipped, 4, 160);
  c.SetPen(PenStyle::Solid, 1, 0xFFFFFFFFu);
  c.SetBrush(BrushStyle::Solid, 0xFFE04060u);
  _VPoint tri[3] = {{8, 60}, {40, 50}, {20, 40}};
  VPolygon(c.dc, tri, 3, 200);
  ExpectMatchesFixture(c, "polygons");
}

TEST(VRasterGoldenTest, ThinDottedAndWideLinesWithJoinsAndCaps) {
  Canvas c(96, 64, 0xFFF0F0F0u);
  c.SetPen(PenStyle::Solid, 1, 0xFF000080u);
  for (int i = 0; i < 8; ++i) {
    VMoveTo(c.dc, 4, 4);
    VLineTo(c.dc, 4 + i * 5, 40 - i * 5);
  }
  c.SetPen(PenStyle::Dotted, 1, 0xFF800000u);
  VMoveTo(c.dc, 0, 60);
  VLineTo(c.dc, 95, 46);
  c.SetPen(PenStyle::Solid, 6, 0xFF008040u);
  _VPoint zigzag[5] = {{48, 8}, {60, 40}, {70, 10}, {90, 36}, {52, 52}};
  VPolyline(c.dc, zigzag, 5, 255);
  c.SetPen(PenStyle::Solid, 3, 0xFFC02020u);
  _VPoint sharp[3] = {{44, 58}, {92, 56}, {46, 48}};
  VPolyline(c.dc, sharp, 3, 180);
  ExpectMatchesFixture(c, "lines");
}

// A crowded scene of the kind a map draws: wandering wide lines of every width crossing each other
// and themselves, self-overlapping polygons, parts far outside the bitmap and a clip inside it.
// The points come from a fixed generator, so the scene never changes.
TEST(VRasterGoldenTest, CrowdedWideLinesAndPolygonsAcrossTheClip) {
  Canvas c(160, 120, 0xFFF4F0E8u);
  std::uint32_t state = 12345;
  auto next = [&](int lo, int hi) {
    state = state * 1664525u + 1013904223u;
    return lo + static_cast<int>((state >> 8) % static_cast<std::uint32_t>(hi - lo + 1));
  };
  auto wander = [&](int points, int step) {
    std::vector<_VPoint> p{{next(-30, 190), next(-30, 150)}};
    for (int k = 1; k < points; ++k)
      p.emplace_back(std::clamp(p.back().x + next(-step, step), -60, 220),
                     std::clamp(p.back().y + next(-step, step), -60, 180));
    return p;
  };
  for (int i = 0; i < 24; ++i) {
    c.SetPen(PenStyle::Solid, 2 + i % 9, 0xFF000000u | static_cast<std::uint32_t>(next(0, 0xFFFFFF)));
    std::vector<_VPoint> line = wander(next(2, 40), 2 + i);
    VPolyline(c.dc, line.data(), static_cast<int>(line.size()), next(60, 255));
  }
  c.dc->clip = _VRect(12, 9, 141, 107);
  for (int i = 0; i < 10; ++i) {
    c.UseFill(0xFF000000u | static_cast<std::uint32_t>(next(0, 0xFFFFFF)));
    std::vector<_VPoint> shape = wander(next(3, 30), 60);
    VPolygon(c.dc, shape.data(), static_cast<int>(shape.size()), next(40, 255));
  }
  for (int i = 0; i < 12; ++i) {
    c.SetPen(PenStyle::Solid, 3 + i % 6, 0xFF000000u | static_cast<std::uint32_t>(next(0, 0xFFFFFF)));
    std::vector<_VPoint> line = wander(next(2, 60), 25);
    VPolyline(c.dc, line.data(), static_cast<int>(line.size()), 255);
  }
  ExpectMatchesFixture(c, "crowded");
}

TEST(VRasterGoldenTest, EllipsesFilledAndOutlined) {
  Canvas c(96, 64, 0xFF000000u);
  c.UseFill(0xFF3080FFu);
  VEllipse(c.dc, 4, 4, 44, 30, 255);
  c.SetPen(PenStyle::Solid, 4, 0xFFFFFFFFu);
  c.SetBrush(BrushStyle::Solid, 0xFFFF8000u);
  VEllipse(c.dc, 50, 8, 90, 58, 200);
  c.SetPen(PenStyle::Solid, 1, 0xFF00FF00u);
  VEllipse(c.dc, 10, 36, 40, 60, 128);
  ExpectMatchesFixture(c, "ellipses");
}

TEST(VRasterGoldenTest, StretchedAndBlendedCopies) {
  Canvas c(64, 48, 0xFF808080u);
  std::vector<std::uint32_t> px(8 * 8);
  std::vector<std::uint8_t> alpha(8 * 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      px[y * 8 + x] =
          0xFF000000u | static_cast<std::uint32_t>(x * 32) << 16 | static_cast<std::uint32_t>(y * 32);
      alpha[y * 8 + x] = static_cast<std::uint8_t>(std::min(255, (x + y) * 20));
    }
  VBitmap* icon = VCreateBitmapWithAlpha(8, 8, px.data(), alpha.data());
  VBitmap* plain = VCreateBitmap(8, 8, 32, px.data());
  VStretchBlt(c.dc, 2, 2, 30, 20, plain, 0, 0, 8, 8, SRCCOPY);
  VStretchBlt(c.dc, 34, 2, 27, 27, icon, 0, 0, 8, 8, SRCCOPY);
  VBitBlt(c.dc, 4, 30, 8, 8, icon, 0, 0, SRCCOPY);
  VBitBlt(c.dc, 60, 40, 8, 8, plain, 0, 0, SRCCOPY);
  VStretchBlt(c.dc, 20, 30, 5, 15, plain, 1, 1, 6, 6, SRCCOPY);
  FreeBitmapData(icon);
  FreeBitmapData(plain);
  ExpectMatchesFixture(c, "copies");
}

}  // namespace
