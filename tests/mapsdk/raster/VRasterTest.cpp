#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "mapsdk/engine/VMemory.h"
#include "mapsdk/raster/VRaster.h"
#include "tests/mapsdk/raster/RasterTestUtil.h"

using namespace gmengine;
using gmengine::test::Canvas;

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

std::uint32_t Grey(unsigned v) { return 0xFF000000u | v << 16 | v << 8 | v; }

TEST(VRasterFillTest, SquareFillsWholePixelsWithTheColourWordAsGiven) {
  Canvas c(5, 5);
  c.UseFill(0x12345678u);
  _VPoint square[4] = {{1, 1}, {3, 1}, {3, 3}, {1, 3}};
  EXPECT_EQ(VPolygon(c.dc, square, 4, 255), 1);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
      EXPECT_EQ(c.At(x, y), inside ? 0x12345678u : kBlack) << x << "," << y;
    }
}

TEST(VRasterFillTest, DiagonalEdgeCoversHalfPixelsAndOpacityScalesCoverage) {
  Canvas c(4, 4);
  c.UseFill(kWhite);
  _VPoint triangle[3] = {{0, 0}, {2, 0}, {0, 2}};
  ASSERT_EQ(VPolygon(c.dc, triangle, 3, 255), 1);
  EXPECT_EQ(c.At(0, 0), kWhite);
  // Half covered: coverage 128 -> (255 x 128) >> 8.
  EXPECT_EQ(c.At(1, 0), Grey(127));
  EXPECT_EQ(c.At(0, 1), Grey(127));
  EXPECT_EQ(c.At(1, 1), kBlack);

  Canvas half(4, 4);
  half.UseFill(kWhite);
  _VPoint square[4] = {{0, 0}, {2, 0}, {2, 2}, {0, 2}};
  ASSERT_EQ(VPolygon(half.dc, square, 4, 128), 1);
  // 255 x (128 / 255) truncated to 128, then (255 x 128) >> 8.
  EXPECT_EQ(half.At(0, 0), Grey(127));
}

TEST(VRasterFillTest, OpacityZeroDrawsNothing) {
  Canvas c(4, 4);
  c.UseFill(kWhite);
  _VPoint square[4] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  VPolygon(c.dc, square, 4, 0);
  EXPECT_EQ(c.Changed(), 0);
}

TEST(VRasterFillTest, ClipEdgesCutExactlyWithoutSmearAndOutsideFails) {
  Canvas c(5, 5);
  c.UseFill(kWhite);
  _VPoint partly[4] = {{-5, -5}, {3, -5}, {3, 3}, {-5, 3}};
  ASSERT_EQ(VPolygon(c.dc, partly, 4, 255), 1);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(c.At(x, y), x < 3 && y < 3 ? kWhite : kBlack) << x << "," << y;

  Canvas right(5, 5);
  right.UseFill(kWhite);
  _VPoint beyond[4] = {{2, 2}, {900, 2}, {900, 900}, {2, 900}};
  ASSERT_EQ(VPolygon(right.dc, beyond, 4, 255), 1);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(right.At(x, y), x >= 2 && y >= 2 ? kWhite : kBlack) << x << "," << y;

  Canvas outside(5, 5);
  outside.UseFill(kWhite);
  _VPoint away[3] = {{10, 10}, {20, 10}, {10, 20}};
  EXPECT_EQ(VPolygon(outside.dc, away, 3, 255), 0);
  _VPoint left[3] = {{-20, 0}, {-1, 0}, {-20, 5}};
  EXPECT_EQ(VPolygon(outside.dc, left, 3, 255), 0);
  EXPECT_EQ(outside.Changed(), 0);
}

TEST(VRasterFillTest, FlatPolygonAndHorizontalEdgesGiveNoCells) {
  Canvas c(6, 6);
  c.UseFill(kWhite);
  _VPoint flat[3] = {{0, 2}, {5, 2}, {3, 2}};
  VPolygon(c.dc, flat, 3, 255);
  EXPECT_EQ(c.Changed(), 0);
}

TEST(VRasterFillTest, SelfOverlapFillsOnceAndHugeCoordinatesDoNotWrap) {
  Canvas once(6, 6), twice(6, 6);
  for (Canvas* c : {&once, &twice}) {
    c->UseFill(kWhite);
  }
  _VPoint square[4] = {{1, 1}, {5, 1}, {5, 5}, {1, 5}};
  _VPoint doubled[8] = {{1, 1}, {5, 1}, {5, 5}, {1, 5}, {1, 1}, {5, 1}, {5, 5}, {1, 5}};
  VPolygon(once.dc, square, 4, 100);
  VPolygon(twice.dc, doubled, 8, 100);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(once.At(x, y), twice.At(x, y));

  Canvas huge(4, 4);
  huge.UseFill(kWhite);
  // Shifted into 24.8 these leave 32 bits far behind; the polygon still covers the bitmap.
  _VPoint big[4] = {{-2000000000, -2000000000},
                    {2000000000, -2000000000},
                    {2000000000, 2000000000},
                    {-2000000000, 2000000000}};
  ASSERT_EQ(VPolygon(huge.dc, big, 4, 255), 1);
  EXPECT_EQ(huge.Changed(kWhite), 0);
}

TEST(VRasterFillTest, HollowBrushWithNoPenDrawsNothingAndFewPointsAreRefused) {
  Canvas c(4, 4);
  c.SetPen(PenStyle::None, 1, 0);
  c.SetBrush(BrushStyle::Hollow, kWhite);
  _VPoint tri[3] = {{0, 0}, {3, 0}, {0, 3}};
  EXPECT_EQ(VPolygon(c.dc, tri, 3, 255), 0);
  c.SetBrush(BrushStyle::Solid, kWhite);
  EXPECT_EQ(VPolygon(c.dc, tri, 2, 255), 0);
  EXPECT_EQ(VPolyline(c.dc, tri, 1, 255), 0);
  EXPECT_EQ(VPolygon(nullptr, tri, 3, 255), 0);
  EXPECT_EQ(c.Changed(), 0);
}

TEST(VRasterLineTest, ThinLinesHitWholePixelsOnTheAxesAndDiagonals) {
  Canvas c(5, 5);
  c.SetPen(PenStyle::Solid, 1, kWhite);
  VMoveTo(c.dc, 0, 2);
  ASSERT_EQ(VLineTo(c.dc, 4, 2), 1);
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(c.At(x, 2), kWhite);
    EXPECT_EQ(c.At(x, 1), kBlack);
    EXPECT_EQ(c.At(x, 3), kBlack);
  }
  EXPECT_EQ(VMoveTo(c.dc, 0, 0), _VPoint(4, 2));

  Canvas d(5, 5);
  d.SetPen(PenStyle::Solid, 1, kWhite);
  _VPoint diagonal[2] = {{4, 4}, {0, 0}};
  ASSERT_EQ(VPolyline(d.dc, diagonal, 2, 255), 1);
  EXPECT_EQ(d.Changed(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(d.At(i, i), kWhite);
}

TEST(VRasterLineTest, ThinLineBetweenPixelsSharesItsWeight) {
  Canvas c(5, 3);
  c.SetPen(PenStyle::Solid, 1, kWhite);
  _VPoint shallow[2] = {{0, 0}, {4, 2}};
  ASSERT_EQ(VPolyline(c.dc, shallow, 2, 255), 1);
  // Slope 512: the second step sits half way between rows 0 and 1.
  EXPECT_EQ(c.At(0, 0), kWhite);
  EXPECT_EQ(c.At(1, 0), Grey(127));
  EXPECT_EQ(c.At(1, 1), Grey(127));
  EXPECT_EQ(c.At(2, 1), kWhite);
  EXPECT_EQ(c.At(4, 2), kWhite);
}

TEST(VRasterLineTest, ClippedAndDottedLinesWriteOnlyInside) {
  Canvas c(5, 5);
  c.SetPen(PenStyle::Solid, 1, kWhite);
  VMoveTo(c.dc, -1000000, 2);
  ASSERT_EQ(VLineTo(c.dc, 1000000, 2), 1);
  EXPECT_EQ(c.Changed(), 5);
  VMoveTo(c.dc, -10, -10);
  EXPECT_EQ(VLineTo(c.dc, -1, 20), 0);  // wholly outside: dropped, position kept
  EXPECT_EQ(VMoveTo(c.dc, 0, 0), _VPoint(-10, -10));

  // Ends at the far corners of the 32-bit plane: the diagonal still crosses the bitmap exactly.
  Canvas far(5, 5);
  far.SetPen(PenStyle::Solid, 1, kWhite);
  VMoveTo(far.dc, -2000000000, -2000000000);
  ASSERT_EQ(VLineTo(far.dc, 2000000000, 2000000000), 1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(far.At(i, i), kWhite) << i;

  Canvas d(10, 1);
  d.SetPen(PenStyle::Dotted, 1, kWhite);
  VMoveTo(d.dc, 0, 0);
  VLineTo(d.dc, 9, 0);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(d.At(x, 0), x % 3 == 0 ? kWhite : kBlack) << x;
  // A polyline draws its thin segments solid, whatever the pen's style.
  Canvas p(10, 1);
  p.SetPen(PenStyle::Dotted, 1, kWhite);
  _VPoint row[2] = {{0, 0}, {9, 0}};
  ASSERT_EQ(VPolyline(p.dc, row, 2, 255), 1);
  EXPECT_EQ(p.Changed(), 10);
}

TEST(VRasterLineTest, WideLinesCoverTheirWidthAndADegeneratePolylineDrawsNothing) {
  Canvas c(10, 6);
  c.SetPen(PenStyle::Solid, 2, kWhite);
  _VPoint line[2] = {{2, 3}, {7, 3}};
  ASSERT_EQ(VPolyline(c.dc, line, 2, 255), 1);
  for (int x = 2; x < 7; ++x) {
    EXPECT_EQ(c.At(x, 2), kWhite) << x;
    EXPECT_EQ(c.At(x, 3), kWhite) << x;
    EXPECT_EQ(c.At(x, 1), kBlack) << x;
    EXPECT_EQ(c.At(x, 4), kBlack) << x;
  }
  EXPECT_EQ(c.At(0, 3), kBlack);
  EXPECT_EQ(c.At(9, 3), kBlack);

  Canvas d(6, 6);
  d.SetPen(PenStyle::Solid, 6, kWhite);
  _VPoint same[3] = {{3, 3}, {3, 3}, {3, 3}};
  EXPECT_EQ(VPolyline(d.dc, same, 3, 255), 0);
  EXPECT_EQ(d.Changed(), 0);
}

TEST(VRasterLineTest, OverlappingWideStrokeFillsOnce) {
  Canvas once(20, 20), back(20, 20);
  for (Canvas* c : {&once, &back}) c->SetPen(PenStyle::Solid, 4, kWhite);
  _VPoint there[2] = {{3, 10}, {16, 10}};
  _VPoint thereAndBack[3] = {{3, 10}, {16, 10}, {3, 10}};
  VPolyline(once.dc, there, 2, 100);
  VPolyline(back.dc, thereAndBack, 3, 100);
  for (int x = 4; x < 16; ++x) EXPECT_EQ(once.At(x, 10), back.At(x, 10)) << x;
}

TEST(VRasterEllipseTest, FillsWithTheBrushAndRefusesHalfAxesBelowOne) {
  Canvas c(12, 12);
  c.SetPen(PenStyle::None, 1, 0);
  c.SetBrush(BrushStyle::Hollow, 0xFF00FF00u);  // the ellipse does not consult the brush style
  ASSERT_EQ(VEllipse(c.dc, 1, 1, 11, 11, 255), 1);
  EXPECT_EQ(c.At(6, 6), 0xFF00FF00u);
  EXPECT_EQ(c.At(1, 1), kBlack);
  EXPECT_EQ(c.At(11, 11), kBlack);

  Canvas tiny(4, 4);
  EXPECT_EQ(VEllipse(tiny.dc, 1, 1, 2, 2, 255), 0);
  EXPECT_EQ(VEllipse(tiny.dc, 0, 0, 10, 1, 255), 0);
  EXPECT_EQ(tiny.Changed(), 0);
  // A huge box stays bounded (at most 500 points) and fills the bitmap it covers.
  tiny.SetPen(PenStyle::None, 1, 0);
  EXPECT_EQ(VEllipse(tiny.dc, -1000000000, -1000000000, 1000000000, 1000000000, 255), 1);
  EXPECT_EQ(tiny.Changed(kWhite), 0);
}

// A bitmap of one colour per column: 0xFF000000 | x.
VBitmap* Columns(int width, int height) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) px[static_cast<std::size_t>(y) * width + x] = 0xFF000000u | (x + 1);
  return VCreateBitmap(width, height, 32, px.data());
}

TEST(VRasterCopyTest, BitBltClipsBothRectanglesAndRefusesOtherDepths) {
  Canvas c(4, 4);
  VBitmap* src = Columns(3, 3);
  ASSERT_EQ(VBitBlt(c.dc, -1, 2, 3, 3, src, 0, 0, SRCCOPY), 1);
  EXPECT_EQ(c.At(0, 2), 0xFF000002u);
  EXPECT_EQ(c.At(1, 3), 0xFF000003u);
  EXPECT_EQ(c.At(2, 2), kBlack);
  EXPECT_EQ(c.At(0, 1), kBlack);
  EXPECT_EQ(VBitBlt(c.dc, 0, 0, 3, 3, src, 0, 0, 0x00EE0086), 0);
  EXPECT_EQ(VBitBlt(c.dc, 4, 4, 3, 3, src, 0, 0, SRCCOPY), 0);
  EXPECT_EQ(VBitBlt(c.dc, 0, 0, 3, 3, src, 3, 0, SRCCOPY), 0);

  // A 16-bit DIB makes a 16-bit bitmap, which neither copies nor selects into a 32-bit context.
  std::vector<std::uint8_t> dib(sizeof(BITMAPINFOHEADER) + 4 * 2, 0);
  BITMAPINFOHEADER info;
  info.biWidth = 2;
  info.biHeight = 2;
  info.biBitCount = 16;
  std::memcpy(dib.data(), &info, sizeof info);
  VBitmap* sixteen = VCreateBitmapFromDIB(dib.data(), dib.size());
  ASSERT_NE(sixteen, nullptr);
  EXPECT_EQ(sixteen->bitsPerPixel, 16);
  EXPECT_EQ(VBitBlt(c.dc, 0, 0, 2, 2, sixteen, 0, 0, SRCCOPY), 0);
  EXPECT_EQ(VStretchBlt(c.dc, 0, 0, 4, 4, sixteen, 0, 0, 2, 2, SRCCOPY), 0);
  EXPECT_EQ(VSelectBitmap(c.dc, sixteen), nullptr);
  EXPECT_EQ(FreeBitmapData(sixteen), 1);
  EXPECT_EQ(FreeBitmapData(src), 1);
}

TEST(VRasterCopyTest, AlphaPlaneBlendsSkipsZeroAndKeepsOpaqueExact) {
  Canvas c(3, 1, Grey(100));
  std::uint32_t px[3] = {kWhite, kWhite, kWhite};
  std::uint8_t alpha[3] = {0, 128, 255};
  VBitmap* src = VCreateBitmapWithAlpha(3, 1, px, alpha);
  ASSERT_EQ(VBitBlt(c.dc, 0, 0, 3, 1, src, 0, 0, SRCCOPY), 1);
  EXPECT_EQ(c.At(0, 0), Grey(100));
  EXPECT_EQ(c.At(1, 0), Grey((100 * 127 + 255 * 128) >> 8));
  EXPECT_EQ(c.At(2, 0), kWhite);
  FreeBitmapData(src);
}

TEST(VRasterCopyTest, LongRowsBlendExactlyAsSinglePixelsDo) {
  constexpr int kWidth = 37;
  Canvas c(kWidth, 1, 0xFF4080C0u);
  std::vector<std::uint32_t> px;
  std::vector<std::uint8_t> alpha;
  for (int x = 0; x < kWidth; ++x) {
    px.push_back(0x00000000u | static_cast<std::uint32_t>(x * 7) << 16 | 0x00FF00u |
                 static_cast<std::uint32_t>(x));
    alpha.push_back(static_cast<std::uint8_t>(x % 5 == 0 ? 0 : x % 7 == 0 ? 255 : x * 6));
  }
  VBitmap* src = VCreateBitmapWithAlpha(kWidth, 1, px.data(), alpha.data());
  ASSERT_EQ(VBitBlt(c.dc, 0, 0, kWidth, 1, src, 0, 0, SRCCOPY), 1);
  for (int x = 0; x < kWidth; ++x) {
    unsigned a = alpha[static_cast<std::size_t>(x)];
    std::uint32_t s = px[static_cast<std::size_t>(x)], d = 0xFF4080C0u, want;
    if (a == 0) {
      want = d;
    } else if (a == 255) {
      want = s | 0xFF000000u;
    } else {
      auto ch = [&](int shift) {
        return ((((d >> shift) & 0xFF) * (255 - a) + ((s >> shift) & 0xFF) * a) >> 8) << shift;
      };
      want = 0xFF000000u | ch(16) | ch(8) | ch(0);
    }
    EXPECT_EQ(c.At(x, 0), want) << x;
  }
  FreeBitmapData(src);
}

TEST(VRasterCopyTest, StretchedCopyFillsSymmetricallyFromBothEnds) {
  Canvas c(8, 1);
  VBitmap* src = Columns(3, 1);
  ASSERT_EQ(VStretchBlt(c.dc, 0, 0, 8, 1, src, 0, 0, 3, 1, SRCCOPY), 1);
  const unsigned expected[8] = {1, 1, 1, 2, 2, 3, 3, 3};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(c.At(x, 0), 0xFF000000u | expected[x]) << x;

  Canvas shrink(3, 1);
  VBitmap* wide = Columns(7, 1);
  ASSERT_EQ(VStretchBlt(shrink.dc, 0, 0, 3, 1, wide, 0, 0, 7, 1, SRCCOPY), 1);
  EXPECT_EQ(shrink.At(0, 0), 0xFF000001u);
  EXPECT_EQ(shrink.At(2, 0), 0xFF000007u);
  EXPECT_EQ(VStretchBlt(shrink.dc, 0, 0, 0, 1, wide, 0, 0, 7, 1, SRCCOPY), 0);
  EXPECT_EQ(VStretchBlt(shrink.dc, -1000000000, 0, 2000000000, 1, wide, 0, 0, 7, 1, SRCCOPY), 1);
  FreeBitmapData(src);
  FreeBitmapData(wide);
}

TEST(VRasterCopyTest, DibCopyTakesAnAlphaPlaneFromTheImageSize) {
  Canvas c(2, 1, Grey(100));
  struct {
    std::uint32_t px[2] = {kWhite, kWhite};
    std::uint8_t alpha[2] = {255, 0};
  } dib;
  BITMAPINFOHEADER info;
  info.biWidth = 2;
  info.biHeight = 1;
  info.biBitCount = 32;
  info.biSizeImage = 10;
  ASSERT_EQ(VSetDIBitsToDevice(c.dc, 0, 0, 2, 1, 0, 0, &dib, &info), 1);
  EXPECT_EQ(c.At(0, 0), kWhite);
  EXPECT_EQ(c.At(1, 0), Grey(100));
  info.biSizeImage = 9;  // an alpha plane too short for the image
  EXPECT_EQ(VSetDIBitsToDevice(c.dc, 0, 0, 2, 1, 0, 0, &dib, &info), 0);
  info.biSizeImage = 8;
  info.biWidth = -2;
  EXPECT_EQ(VSetDIBitsToDevice(c.dc, 0, 0, 2, 1, 0, 0, &dib, &info), 0);
  info.biWidth = 2;
  info.biBitCount = 16;
  EXPECT_EQ(VSetDIBitsToDevice(c.dc, 0, 0, 2, 1, 0, 0, &dib, &info), 0);
}

TEST(VRasterObjectsTest, SizesFromOutsideAreCheckedBeforeAllocation) {
  EXPECT_EQ(VCreateBitmap(0, 10, 32, nullptr), nullptr);
  EXPECT_EQ(VCreateBitmap(-5, 10, 32, nullptr), nullptr);
  EXPECT_EQ(VCreateBitmap(70000, 1, 32, nullptr), nullptr);
  EXPECT_EQ(VCreateBitmap(16000, 16000, 32, nullptr), nullptr);
  // Each limit at and one past it, on each way a size comes in: a side of 16383 and 2^25 pixels.
  struct Size {
    int width, height;
    bool fits;
  };
  for (Size size : {Size{16383, 1, true}, Size{16384, 1, false}, Size{1, 16383, true}, Size{1, 16384, false},
                    Size{8192, 4096, true}, Size{8192, 4097, false}}) {
    VBitmap* made = VCreateBitmap(size.width, size.height, 16, nullptr);
    EXPECT_EQ(made != nullptr, size.fits) << size.width << "x" << size.height;
    if (made) FreeBitmapData(made);
    if (size.height != 1) continue;
    BITMAPINFOHEADER header;
    header.biWidth = size.width;
    header.biHeight = 1;
    header.biBitCount = 16;
    std::vector<std::uint8_t> whole(sizeof header + VBitmapStride(16, size.width));
    std::memcpy(whole.data(), &header, sizeof header);
    VBitmap* fromDib = VCreateBitmapFromDIB(whole.data(), whole.size());
    EXPECT_EQ(fromDib != nullptr, size.fits) << size.width;
    if (fromDib) FreeBitmapData(fromDib);
    header.biBitCount = 32;
    std::vector<std::uint32_t> row(static_cast<std::size_t>(size.width), kWhite);
    Canvas c(1, 1);
    EXPECT_EQ(VSetDIBitsToDevice(c.dc, 0, 0, 1, 1, 0, 0, row.data(), &header), size.fits ? 1 : 0)
        << size.width;
  }
  BITMAPINFOHEADER info;
  info.biBitCount = 32;
  for (auto [w, h] :
       {std::pair{0x7FFFFFFF, 1}, std::pair{1, -0x7FFFFFFF}, std::pair{-4, 4}, std::pair{4, 4}}) {
    info.biWidth = w;
    info.biHeight = h;
    // Header only: even a plausible size is refused when its pixels are missing.
    EXPECT_EQ(VCreateBitmapFromDIB(&info, sizeof info), nullptr) << w << "x" << h;
  }
  info.biBitCount = 8;
  info.biWidth = info.biHeight = 1;
  std::vector<std::uint8_t> dib(sizeof info + 4);
  std::memcpy(dib.data(), &info, sizeof info);
  EXPECT_EQ(VCreateBitmapFromDIB(dib.data(), dib.size()), nullptr);
}

TEST(VRasterObjectsTest, FillRectClipsAndLeavesSixteenBitBitmapsAlone) {
  Canvas c(4, 4);
  EXPECT_EQ(VFillRect(c.dc, _VRect(2, -5, 100, 2), 0x00ABCDEFu), 1);
  EXPECT_EQ(c.At(3, 0), 0x00ABCDEFu);
  EXPECT_EQ(c.At(1, 0), kBlack);
  EXPECT_EQ(c.At(3, 2), kBlack);
  EXPECT_EQ(c.dc->bkColor, kWhite);
  EXPECT_EQ(c.Changed(), 4);
}

TEST(VRasterObjectsTest, TextDrawsNothingAndMeasuresEmpty) {
  Canvas c(4, 4);
  EXPECT_EQ(VTextOut(c.dc, 0, 0, u"abc", 3), 1);
  EXPECT_EQ(VGetTextExtent(c.dc, u"abc", 3), _VPoint(0, 0));
  EXPECT_EQ(c.Changed(), 0);
  EXPECT_EQ(VSetTextColor(c.dc, 0xFF112233u), 0xFF000000u);
  EXPECT_EQ(VGetTextColor(c.dc), 0xFF112233u);
  EXPECT_EQ(VGetTextColor(nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(VMoveTo(nullptr, 1, 1), _VPoint(-1, -1));
}

TEST(VRasterObjectsTest, ReferenceCountsGuardSelectedObjects) {
  VDC* dc = VCreateDC();
  VPen* pen = VCreatePen(PenStyle::Solid, 0, kWhite);
  EXPECT_EQ(pen->width, 1);
  VPen* old = VSelectPen(dc, pen);
  EXPECT_EQ(pen->refCount, 2);
  EXPECT_EQ(VFreePen(pen), 0);
  EXPECT_EQ(VSelectPen(dc, old), pen);
  EXPECT_EQ(VFreePen(pen), 1);
  // A bitmap in two contexts survives the first context and goes with the second.
  VDC* other = VCreateDC();
  VBitmap* shared = VCreateBitmap(2, 2, 32, nullptr);
  FreeBitmapData(VSelectBitmap(dc, shared));
  FreeBitmapData(VSelectBitmap(other, shared));
  EXPECT_EQ(shared->refCount, 3);
  EXPECT_EQ(VFreeDC(dc), 1);
  EXPECT_EQ(shared->refCount, 2);
  EXPECT_EQ(VFreeDC(other), 1);  // ASan: freed once, nothing left
}

}  // namespace
