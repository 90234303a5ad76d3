#include <gtest/gtest.h>

#include <cmath>

#include "platform/graphics/BitmapContext.h"
#include "tests/support/Pixels.h"

namespace {

using kavro::test::at;
using kavro::test::kBlue;
using kavro::test::kClear;
using kavro::test::kGreen;
using kavro::test::kRed;
using platform::Bitmap;
using platform::BitmapContext;
using platform::Color;
using platform::Image;
using platform::Pixel;
using platform::Point;
using platform::Rect;
using platform::Size;

const Pixel kWhite{255, 255, 255, 255};
const Pixel kBlack{0, 0, 0, 255};

TEST(BitmapContext, FillsInPointsAtTheContextScale) {
  BitmapContext c(Size{10, 5}, false, 2.0);
  ASSERT_TRUE(c.isValid());
  EXPECT_EQ(c.bitmap().width(), 20);
  EXPECT_EQ(c.bitmap().height(), 10);
  EXPECT_EQ(at(c, 0, 0), kClear);
  c.setFillColor(Color::red());
  c.fillRect(Rect(1, 1, 2.5, 1));  // pixels 2..6 × 2..3
  EXPECT_EQ(at(c, 2, 2), kRed);
  EXPECT_EQ(at(c, 6, 3), kRed);
  EXPECT_EQ(at(c, 7, 2), kClear);
  EXPECT_EQ(at(c, 1, 2), kClear);
  EXPECT_EQ(at(c, 2, 4), kClear);

  auto image = c.makeImage();
  ASSERT_TRUE(image);
  EXPECT_EQ(image->scale(), 2.0);
  EXPECT_EQ(image->size(), (Size{10, 5}));
  // Absurd coordinates draw what falls inside and nothing else.
  c.fillRect(Rect(-1e300, 0, 2e300, 0.5));
  EXPECT_EQ(at(c, 19, 0), kRed);
  EXPECT_EQ(at(c, 19, 1), kClear);
  c.fillRect(Rect(NAN, 0, 1, 1));
  c.clipToRect(Rect(0, 0, INFINITY, NAN));
  c.fillRect(Rect(0, 0, 10, 5));
  EXPECT_EQ(at(c, 0, 9), kClear);
  EXPECT_FALSE(BitmapContext(Size{0, 5}, false, 1).makeImage());
  EXPECT_FALSE(BitmapContext(Size{1e9, 1}, false, 1).isValid());
}

TEST(BitmapContext, BlendsWithAlpha) {
  BitmapContext c(Size{4, 1}, false, 1.0);
  c.setFillColor(Color::white());
  c.fillRect(Rect(0, 0, 2, 1));
  c.setFillColor(Color::red().withAlpha(0.5));
  c.fillRect(Rect(1, 0, 2, 1));
  EXPECT_EQ(at(c, 0, 0), kWhite);
  EXPECT_EQ(at(c, 1, 0), (Pixel{255, 128, 128, 255}));
  EXPECT_EQ(at(c, 2, 0), (Pixel{255, 0, 0, 128}));  // over nothing: red kept, half covering
  c.setAlpha(0.5);
  c.setFillColor(Color::blue());
  c.fillRect(Rect(3, 0, 1, 1));
  EXPECT_EQ(at(c, 3, 0), (Pixel{0, 0, 255, 128}));
  c.clearRect(Rect(0, 0, 1, 1));
  EXPECT_EQ(at(c, 0, 0), kClear);

  BitmapContext opaque(Size{2, 1}, true, 1.0);
  EXPECT_EQ(at(opaque, 0, 0), kBlack);
  opaque.setFillColor(Color::white().withAlpha(0.5));
  opaque.fillRect(Rect(0, 0, 1, 1));
  opaque.clearRect(Rect(1, 0, 1, 1));
  EXPECT_EQ(at(opaque, 0, 0), (Pixel{128, 128, 128, 255}));
  EXPECT_EQ(at(opaque, 1, 0), kBlack);
}

TEST(BitmapContext, ClipAndTransformAreSavedAndRestored) {
  BitmapContext c(Size{10, 10}, false, 1.0);
  c.saveGState();
  c.clipToRect(Rect(2, 2, 3, 3));
  c.translateCTM(1, 0);
  c.setFillColor(Color::green());
  c.fillRect(Rect(0, 0, 10, 10));
  c.restoreGState();
  EXPECT_EQ(at(c, 2, 2), kGreen);
  EXPECT_EQ(at(c, 4, 4), kGreen);
  EXPECT_EQ(at(c, 5, 4), kClear);
  EXPECT_EQ(at(c, 1, 2), kClear);
  c.fillRect(Rect(0, 9, 1, 1));  // the colour and the clip are back to what they were
  EXPECT_EQ(at(c, 0, 9), kBlack);
  c.restoreGState();  // without a save: nothing

  // Half a turn about the centre of a 10 × 10 context puts (0, 0, 2, 1) at the bottom right.
  c.translateCTM(5, 5);
  c.rotateCTM(M_PI);
  c.translateCTM(-5, -5);
  c.setFillColor(Color::blue());
  c.fillRect(Rect(0, 0, 2, 1));
  EXPECT_EQ(at(c, 9, 9), kBlue);
  EXPECT_EQ(at(c, 8, 9), kBlue);
  EXPECT_EQ(at(c, 9, 8), kClear);
}

TEST(BitmapContext, StrokesLinesAndRoundedRects) {
  BitmapContext c(Size{20, 20}, false, 1.0);
  c.setStrokeColor(Color::red());
  c.strokeLine(Point{2, 10}, Point{12, 10});  // width 1 centred on y = 10: row 9
  EXPECT_EQ(at(c, 2, 9), kRed);
  EXPECT_EQ(at(c, 11, 9), kRed);
  EXPECT_EQ(at(c, 12, 9), kClear);
  EXPECT_EQ(at(c, 5, 10), kClear);
  c.setLineWidth(2);
  c.strokeLine(Point{15, 0}, Point{15, 4});
  EXPECT_EQ(at(c, 14, 0), kRed);
  EXPECT_EQ(at(c, 15, 3), kRed);
  EXPECT_EQ(at(c, 16, 0), kClear);
  c.strokeLine(Point{0, 0}, Point{8, 8});
  EXPECT_EQ(at(c, 4, 4), kRed);
  EXPECT_EQ(at(c, 7, 1), kClear);

  BitmapContext r(Size{20, 20}, false, 1.0);
  r.setFillColor(Color::green());
  r.fillRoundedRect(Rect(0, 0, 20, 20), 6);
  EXPECT_EQ(at(r, 0, 0), kClear);
  EXPECT_EQ(at(r, 1, 1), kClear);
  EXPECT_EQ(at(r, 10, 0), kGreen);
  EXPECT_EQ(at(r, 3, 3), kGreen);
  r.setStrokeColor(Color::blue());
  r.setLineWidth(2);
  r.strokeRect(Rect(5, 5, 10, 10));
  EXPECT_EQ(at(r, 4, 10), kBlue);
  EXPECT_EQ(at(r, 5, 10), kBlue);
  EXPECT_EQ(at(r, 6, 10), kGreen);
  EXPECT_EQ(at(r, 10, 15), kBlue);
}

TEST(BitmapContext, DrawsImagesScaledClippedAndUpright) {
  Bitmap quad = *Bitmap::create(2, 2);
  quad.setPixel(0, 0, kRed);
  quad.setPixel(1, 0, kGreen);
  quad.setPixel(0, 1, kBlue);
  quad.setPixel(1, 1, kWhite);
  auto image = Image::imageWithBitmap(quad, 2.0);  // 1 × 1 point

  // 1:1 at scale 2: an exact copy.
  BitmapContext c(Size{3, 3}, false, 2.0);
  c.drawImage(*image, Rect(1, 1, 1, 1));
  EXPECT_EQ(at(c, 2, 2), kRed);
  EXPECT_EQ(at(c, 3, 3), kWhite);
  EXPECT_EQ(at(c, 1, 1), kClear);
  // Shrunk to one pixel: the average.
  BitmapContext one(Size{1, 1}, false, 1.0);
  one.drawImage(*image, Rect(0, 0, 1, 1));
  EXPECT_EQ(at(one, 0, 0), (Pixel{128, 128, 128, 255}));
  // Enlarged and cut by the context: beyond the last pixel centre the colour is pure.
  BitmapContext big(Size{4, 4}, false, 1.0);
  big.drawImage(*image, Rect(-4, -4, 8, 8));
  EXPECT_EQ(at(big, 3, 3), kWhite);
  EXPECT_NE(at(big, 0, 0), kWhite);  // between the centres: blended
  big.drawImage(*image, Rect(0, 0, 8, 8));
  EXPECT_EQ(at(big, 1, 1), kRed);
  // Drawn with half alpha.
  BitmapContext half(Size{2, 2}, false, 1.0);
  half.setAlpha(0.5);
  half.drawImage(*image, Rect(0, 0, 2, 2));
  EXPECT_EQ(at(half, 1, 0), (Pixel{0, 255, 0, 128}));

  // Orientation applied: turned clockwise, the red top-left pixel is seen at the top right.
  auto turned = Image::imageWithImage(*image, 1.0, platform::ImageOrientation::Right);
  BitmapContext t(Size{2, 2}, false, 1.0);
  t.drawImage(*turned, Rect(0, 0, 2, 2));
  EXPECT_EQ(at(t, 1, 0), kRed);
  EXPECT_EQ(at(t, 0, 0), kBlue);
}

TEST(BitmapContext, StretchableImagesKeepTheirCaps) {
  // 3 × 3: red corners, green edges, blue middle; caps of one point.
  Bitmap b = *Bitmap::create(3, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      b.setPixel(x, y, x == 1 && y == 1 ? kBlue : (x == 1 || y == 1) ? kGreen : kRed);
  auto stretchable = Image::imageWithBitmap(b)->stretchableImageWithLeftCapWidth(1, 1);
  BitmapContext c(Size{10, 6}, false, 1.0);
  c.drawImage(*stretchable, Rect(0, 0, 10, 6));
  EXPECT_EQ(at(c, 0, 0), kRed);
  EXPECT_EQ(at(c, 9, 5), kRed);
  EXPECT_EQ(at(c, 5, 0), kGreen);
  EXPECT_EQ(at(c, 0, 3), kGreen);
  EXPECT_EQ(at(c, 1, 1), kBlue);
  EXPECT_EQ(at(c, 8, 4), kBlue);
}

TEST(BitmapContext, TextIsDrawnAsGlyphBoxes) {
  BitmapContext c(Size{40, 30}, false, 1.0);
  c.setFillColor(Color::black());
  auto advance = [](char32_t ch) { return ch == U'中' ? 20.0 : 10.0; };
  EXPECT_EQ(c.drawText("a b", Point{0, 0}, 10, advance), 30);
  EXPECT_EQ(at(c, 1, 2), kBlack);  // box of "a": x 1..9, y 2..9
  EXPECT_EQ(at(c, 8, 8), kBlack);
  EXPECT_EQ(at(c, 0, 2), kClear);
  EXPECT_EQ(at(c, 1, 1), kClear);
  EXPECT_EQ(at(c, 15, 5), kClear);  // the space
  EXPECT_EQ(at(c, 25, 5), kBlack);
  EXPECT_EQ(c.drawText("x\n中", Point{0, 10}, 10, advance), 20);
  EXPECT_EQ(at(c, 15, 25), kBlack);  // second line, wide character
}

}  // namespace
