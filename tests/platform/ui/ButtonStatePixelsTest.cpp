#include <gtest/gtest.h>

#include "platform/graphics/Bitmap.h"
#include "platform/ui/Button.h"
#include "platform/ui/Snapshot.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

using ButtonStatePixelsTest = UITest;

constexpr Pixel kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255},
    kGrey{128, 128, 128, 255}, kYellow{255, 255, 0, 255}, kCyan{0, 255, 255, 255}, kMagenta{255, 0, 255, 255};
// A disabled button is drawn at 0.4 of its opacity: grey over nothing, and yellow over that grey.
constexpr Pixel kDimGrey{128, 128, 128, 102}, kDimYellowOnGrey{207, 207, 48, 163};

std::shared_ptr<Image> solid(int w, int h, Pixel p) {
  auto bitmap = Bitmap::create(w, h);
  bitmap->fill(p);
  return Image::imageWithBitmap(*bitmap, 1.0);
}

// What a person sees of the button: a corner of its background and the middle, where its image is.
struct Seen {
  Pixel corner, middle;
};

Seen look(Button& b) {
  b.layoutIfNeeded();
  auto image = Snapshot::imageOfView(b, 1);
  return {image->bitmap()->pixelAt(2, 2), image->bitmap()->pixelAt(20, 20)};
}

// A background and an image for each state the button is given, each a colour of its own: the one
// drawn is the exact state's, else disabled, then selected, then highlighted, then normal.
TEST_F(ButtonStatePixelsTest, EachStateDrawsItsOwnBackgroundAndImage) {
  auto b = Button::buttonWithType(ButtonType::Custom, Rect(0, 0, 40, 40));
  b->setBackgroundImage(solid(40, 40, kRed), ControlState::Normal);
  b->setBackgroundImage(solid(40, 40, kGreen), ControlState::Highlighted);
  b->setBackgroundImage(solid(40, 40, kBlue), ControlState::Selected);
  b->setBackgroundImage(solid(40, 40, kGrey), ControlState::Disabled);
  b->setImage(solid(10, 10, kYellow), ControlState::Normal);
  b->setImage(solid(10, 10, kCyan), ControlState::Highlighted);
  b->setImage(solid(10, 10, kMagenta), ControlState::Selected | ControlState::Highlighted);

  auto expect = [&](Pixel corner, Pixel middle, const char* what) {
    const Seen seen = look(*b);
    EXPECT_EQ(seen.corner, corner) << what;
    EXPECT_EQ(seen.middle, middle) << what;
  };
  expect(kRed, kYellow, "normal");
  b->setHighlighted(true);
  expect(kGreen, kCyan, "pressed");
  b->setHighlighted(false);
  expect(kRed, kYellow, "let go");
  b->setSelected(true);
  expect(kBlue, kYellow, "selected: no image of its own");
  b->setHighlighted(true);
  expect(kBlue, kMagenta, "selected and pressed: the background of selected, the image of both");
  b->setHighlighted(false);
  b->setEnabled(false);
  expect(kDimGrey, kDimYellowOnGrey, "selected but disabled");
  b->setSelected(false);
  expect(kDimGrey, kDimYellowOnGrey, "disabled");
  b->setAdjustsImageWhenDisabled(false);
  expect(kGrey, kYellow, "disabled, not dimmed");
  b->setAdjustsImageWhenDisabled(true);
  b->setEnabled(true);
  expect(kRed, kYellow, "enabled again");

  // A state's picture taken away: that state draws the next one in line.
  b->setBackgroundImage(nullptr, ControlState::Highlighted);
  b->setImage(nullptr, ControlState::Highlighted);
  b->setHighlighted(true);
  expect(kRed, kYellow, "pressed, with nothing of its own");
  b->setImage(nullptr, ControlState::Normal);
  b->setHighlighted(false);
  EXPECT_EQ(look(*b).middle, kRed) << "no image at all: the background shows through";
}

// The state a control is in moves with the touches on it; what is drawn follows it there and back.
TEST_F(ButtonStatePixelsTest, AStateSetBeforeThePicturesStillDrawsThem) {
  auto b = Button::buttonWithType(ButtonType::Custom, Rect(0, 0, 40, 40));
  b->setSelected(true);
  b->setEnabled(false);
  b->setBackgroundImage(solid(40, 40, kGrey), ControlState::Disabled);
  b->setImage(solid(10, 10, kCyan), ControlState::Disabled);
  b->setImage(solid(10, 10, kYellow), ControlState::Normal);
  b->setAdjustsImageWhenDisabled(false);
  Seen seen = look(*b);
  EXPECT_EQ(seen.corner, kGrey);
  EXPECT_EQ(seen.middle, kCyan);
  b->setEnabled(true);
  seen = look(*b);
  EXPECT_EQ(seen.middle, kYellow);
  EXPECT_NE(seen.corner, kGrey);
}

}  // namespace
}  // namespace kavro::test
