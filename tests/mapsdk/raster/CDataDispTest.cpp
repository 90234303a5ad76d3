#include <gtest/gtest.h>

#include <memory>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/raster/CDataDisp.h"
#include "mapsdk/raster/CVBitmap.h"
#include "tests/mapsdk/raster/RasterTestUtil.h"
#include "tests/support/VirtualRunLoop.h"

using namespace gmengine;

namespace {

class CDataDispTest : public kavro::test::VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    ASSERT_EQ(InitMapEngine(), 1);
    disp.SetIcons(GetGlobalMan());
    dc.CreateCompatibleDC();
    ASSERT_EQ(buffer.CreateBitmap(_VSize{40, 120}), 1);
    FreeBitmapData(dc.SelectObject(&buffer));
    dc.FillSolidRect(_VRect(0, 0, 40, 120), kBackground);
  }
  void TearDown() override {
    dc.DeleteDC();
    UnInitMapEngine();
    VirtualRunLoopTest::TearDown();
  }

  std::uint32_t At(int x, int y) const {
    const VBitmap* b = dc.GetCurrentBitmap();
    return reinterpret_cast<const std::uint32_t*>(b->pixels + static_cast<std::size_t>(y) * b->stride)[x];
  }
  // The first row holding a pixel of colour in column x, -1 when none.
  int TopOf(int x, std::uint32_t colour) const {
    for (int y = 0; y < 120; ++y)
      if (At(x, y) == colour) return y;
    return -1;
  }
  int Changed() const {
    int n = 0;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 40; ++x) n += At(x, y) != kBackground;
    return n;
  }
  // A kept-loaded icon of one colour in the engine's icon table.
  void AddIcon(std::uint16_t id, int width, int height, std::uint32_t colour) {
    auto* entry = new tag_IconImage;
    entry->width = width;
    entry->height = height;
    entry->keepLoaded = 1;
    entry->bitmap = std::make_shared<CVBitmap>();
    std::vector<std::uint32_t> px(static_cast<std::size_t>(width) * height, colour);
    entry->bitmap->CreateBitmap(width, height, 1, 32, px.data());
    GetGlobalMan()->iconTable.SetAt(id, entry);
  }
  static CGeoElement Element(int kind, int style, std::initializer_list<_VPoint> points) {
    CGeoElement e;
    e.geometryKind = kind;
    e.styleId = style;
    for (const _VPoint& p : points) e.shape.AddPoint(p);
    return e;
  }

  static constexpr std::uint32_t kBackground = 0xFF000000u;
  CVDC dc;
  CVBitmap buffer;
  CDataDisp disp;
};

TEST_F(CDataDispTest, EmptyTablesAndIdsBelowTheirOffsetsDrawNothing) {
  CGeoElement line = Element(CGeoElement::kLine, 59, {{0, 0}, {30, 30}});
  disp.Draw(&dc, &line);
  disp.param.lines.Add(LineStyle{PenStyle::Solid, 0xFFFFFFFFu, 2, 1.0f});
  disp.Draw(&dc, &line);
  CGeoElement point = Element(CGeoElement::kPoint, 0, {{10, 10}});
  disp.param.points.Add(PointStyle{7, 4, 4});
  AddIcon(7, 4, 4, 0xFFFF0000u);
  disp.Draw(&dc, &point);
  disp.Draw(nullptr, &point);
  disp.Draw(&dc, nullptr);
  EXPECT_EQ(Changed(), 0);
  line.styleId = 60;
  disp.Draw(&dc, &line);
  EXPECT_GT(Changed(), 0);
}

TEST_F(CDataDispTest, PinIconsStandOnTheirPointOthersAreCentred) {
  AddIcon(3, 8, 32, 0xFFFF0000u);
  for (int i = 0; i < 11; ++i) disp.param.points.Add(PointStyle{3, 8, 32});
  CGeoElement pin = Element(CGeoElement::kPoint, 5, {{10, 100}});
  disp.Draw(&dc, &pin);
  EXPECT_EQ(TopOf(10, 0xFFFF0000u), 68);
  CGeoElement centred = Element(CGeoElement::kPoint, 11, {{30, 100}});
  disp.Draw(&dc, &centred);
  EXPECT_EQ(TopOf(30, 0xFFFF0000u), 84);
}

TEST_F(CDataDispTest, DirectionMarkerPointsItsChevronUpAtAngleZero) {
  for (int i = 0; i < 20; ++i) disp.param.points.Add(PointStyle{0, 10, 10});
  disp.pen.CreatePen(PenStyle::Solid, 1, 0xFFFFFFFFu);
  disp.brush.CreateSolidBrush(0xFF0000FFu);
  CGeoElement marker = Element(CGeoElement::kPoint, CDataDisp::kDirectionStyle, {{20, 40}});
  disp.Draw(&dc, &marker);
  // The chevron's tip is at radius 6 straight above the centre; the ring at radius 10.
  EXPECT_EQ(At(20, 34), 0xFFFFFFFFu);
  EXPECT_EQ(At(20, 46), 0xFF0000FFu);
  // What the marker selected was put back.
  EXPECT_NE(dc.GetSafeHdc()->pen, disp.pen.GetHandle());
  EXPECT_NE(dc.GetSafeHdc()->brush, disp.brush.GetHandle());
  disp.Release();
  EXPECT_EQ(disp.pen.GetHandle(), nullptr);
  EXPECT_EQ(disp.param.GetPointStyle(1), nullptr);
}

TEST_F(CDataDispTest, SurfacesNeedTheirBorderStyleAndTextsDrawNothing) {
  disp.param.surfaces.Add(SurfaceStyle{61, 0xFF00FF00u});
  CGeoElement surface = Element(CGeoElement::kSurface, 60, {{2, 2}, {30, 2}, {30, 30}, {2, 30}});
  disp.Draw(&dc, &surface);
  EXPECT_EQ(Changed(), 0);  // border style 61 missing: no fill either
  disp.param.lines.Add(LineStyle{PenStyle::None, 0, 1, 1.0f});
  disp.param.lines.Add(LineStyle{PenStyle::None, 0, 1, 1.0f});
  disp.Draw(&dc, &surface);
  EXPECT_EQ(At(15, 15), 0xFF00FF00u);

  disp.param.texts.Add(TextStyle{14, 0xFFFFFFFFu});
  CGeoElement text = Element(CGeoElement::kText, 30, {{5, 80}});
  text.label = CVString("label");
  std::uint32_t colour = dc.GetTextColor();
  int before = Changed();
  disp.Draw(&dc, &text);
  EXPECT_EQ(Changed(), before);
  EXPECT_EQ(dc.GetTextColor(), colour);
}

}  // namespace
