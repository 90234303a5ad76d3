#include <gtest/gtest.h>

#include "kit/ui/ButtonExt.h"
#include "kit/ui/DeviceHardware.h"
#include "kit/ui/FansBadge.h"
#include "kit/ui/ImageExt.h"
#include "kit/ui/ImageViewExt.h"
#include "kit/ui/SmallerBadge.h"
#include "kit/ui/UICheckBoxView.h"
#include "kit/ui/UILoadingView.h"
#include "platform/graphics/Bitmap.h"
#include "platform/ui/Device.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro {
namespace {

using platform::Rect;

class BadgeTest : public test::KitUITest {};
class LoadingAndCheckBoxTest : public test::KitUITest {};
class ImageExtTest : public test::KitUITest {};
class ButtonTest : public test::KitUITest {};

std::shared_ptr<platform::Image> picture(int w, int h) {
  return platform::Image::imageWithBitmap(*platform::Bitmap::create(w, h));
}

TEST_F(BadgeTest, WidthFollowsTheNumberOfCharacters) {
  auto badge = std::make_shared<FansBadge>();
  EXPECT_EQ(badge->frame(), Rect(0, 0, 31, 27));
  badge->setBadgeValue("7");
  EXPECT_DOUBLE_EQ(badge->frame().width(), 26);
  EXPECT_EQ(badge->numberLabel()->text(), "7");
  badge->setBadgeValue("42");
  EXPECT_DOUBLE_EQ(badge->frame().width(), 31);
  EXPECT_DOUBLE_EQ(badge->numberLabel()->frame().width(), 31);
  badge->setBadgeValue("100");
  EXPECT_DOUBLE_EQ(badge->frame().width(), 26);
  EXPECT_EQ(badge->numberLabel()->text(), "N");
  EXPECT_EQ(badge->badgeValue(), "100");
  badge->setBadgeValue(" 5 ");
  EXPECT_EQ(badge->badgeValue(), "5");
  for (const char* nothing : {"0", "", "  "}) {
    badge->setBadgeValue(nothing);
    EXPECT_DOUBLE_EQ(badge->frame().width(), 0) << nothing;
  }

  auto small = std::make_shared<SmallerBadge>();
  EXPECT_EQ(small->frame(), Rect(0, 0, 24, 20));
  small->setBadgeValue("12");
  EXPECT_DOUBLE_EQ(small->frame().width(), 24);
  // The label is centred vertically in the badge.
  Rect label = small->numberLabel()->frame();
  EXPECT_DOUBLE_EQ(label.y(), (20 - label.height()) / 2);
}

TEST_F(BadgeTest, BothBadgesWearTheSkinsBadgeAndACentredWhiteNumber) {
  auto fans = std::make_shared<FansBadge>();
  auto small = std::make_shared<SmallerBadge>();
  for (FansBadge* badge : {fans.get(), static_cast<FansBadge*>(small.get())}) {
    ASSERT_TRUE(badge->image()) << "the skin's badge picture";
    badge->setBadgeValue("8");
    const auto& label = badge->numberLabel();
    EXPECT_EQ(label->textAlignment(), platform::TextAlignment::Center);
    EXPECT_EQ(label->textColor(), platform::Color::rgba(1, 1, 1));
    EXPECT_DOUBLE_EQ(label->frame().width(), badge->frame().width());
    EXPECT_GT(label->frame().height(), 0);
    EXPECT_LE(label->frame().height(), badge->frame().height());
  }
  // A badge that went away comes back at its size when there is something to show again.
  small->setBadgeValue("0");
  EXPECT_DOUBLE_EQ(small->frame().width(), 0);
  small->setBadgeValue("3");
  EXPECT_DOUBLE_EQ(small->frame().width(), 20);
}

TEST_F(BadgeTest, AButtonShowsOneBadge) {
  auto inbox = platform::Button::buttonWithType(platform::ButtonType::Custom, Rect(0, 0, 80, 40));
  inbox->setTitle(std::string("Inbox"));
  button::fansBadge(*inbox, "3");
  button::fansBadge(*inbox, "12");
  int badges = 0;
  for (const auto& sub : inbox->subviews()) badges += sub->tag() == button::BadgeTag;
  EXPECT_EQ(badges, 1);
  auto shown = std::dynamic_pointer_cast<FansBadge>(inbox->viewWithTag(button::BadgeTag));
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->badgeValue(), "12");
  EXPECT_EQ(inbox->subviews().back(), shown);
}

TEST_F(ButtonTest, TheNavigationBarButtonIsAWideBarTallTarget) {
  auto b = button::buttonForNavigationBar();
  EXPECT_EQ(b->frame(), Rect(0, 0, 180, 44));
  b->setTitle("筛选");
  int taps = 0;
  b->addTarget(this, platform::ControlEvent::TouchUpInside, [&](platform::Control&) { ++taps; });
  b->setFrame(b->frame().offsetBy(70, 100));
  window->addSubview(b);
  b->layoutIfNeeded();
  // The title in the middle; a tap anywhere on the 180 x 44 target is the button's, none beside it.
  EXPECT_EQ(b->titleLabel()->frame().midX(), 90);
  EXPECT_EQ(b->titleLabel()->frame().midY(), 22);
  for (platform::Point p : {platform::Point{72, 102}, platform::Point{248, 142}, platform::Point{160, 122}})
    EXPECT_TRUE(platform::UIDriver::tapAt(p)) << p.x << "," << p.y;
  EXPECT_EQ(taps, 3);
  platform::UIDriver::tapAt({252, 122});
  platform::UIDriver::tapAt({160, 146});
  EXPECT_EQ(taps, 3);
}

TEST_F(LoadingAndCheckBoxTest, LayOutTheirParts) {
  // The loading view's own layout is the widget's (ControlsTest); here only what screens rely on.
  UILoadingView loading(Rect(0, 0, 200, 40));
  loading.setHidden(true);
  loading.setText("Wait");
  EXPECT_FALSE(loading.isHidden());
  loading.setHiddenActivity(true);
  EXPECT_TRUE(loading.activityView()->isHidden());
  // The text shows in the colour last given, again after the same one twice; none is black.
  auto& label = dynamic_cast<platform::Label&>(*loading.subviews().at(0));
  EXPECT_EQ(label.text(), "Wait");
  for (auto colour : {platform::Color::red(), platform::Color::red(), platform::Color::blue()}) {
    loading.setTextColor(colour);
    EXPECT_EQ(label.textColor(), colour);
    EXPECT_EQ(loading.getTextColor(), colour);
  }
  loading.setTextColor(std::nullopt);
  EXPECT_EQ(label.textColor(), platform::Color::black());

  auto box = UICheckBoxView::create(Rect(0, 0, 100, 20));
  box->setImageChecked(picture(40, 40));
  box->setImageNotChecked(picture(10, 10));
  box->refreshUI();
  EXPECT_EQ(box->imageView()->image(), box->imageNotChecked());
  EXPECT_EQ(box->imageView()->frame(), Rect(0, 5, 10, 10));
  box->setChecked(true);
  box->refreshUI();
  EXPECT_EQ(box->imageView()->frame(), Rect(0, 0, 20, 20));  // scaled down to the height
  EXPECT_DOUBLE_EQ(box->textLabel()->frame().x(), 25);
}

TEST_F(LoadingAndCheckBoxTest, ABoxShowsTheStateAndSizeItWasGivenWhileHidden) {
  auto box = UICheckBoxView::create(Rect(0, 0, 100, 20));
  ASSERT_TRUE(AppSkin::apply(box.get()));
  box->setHidden(true);
  box->setChecked(true);
  box->setFrame(Rect(0, 0, 32, 55));
  box->setHidden(false);
  EXPECT_EQ(box->imageView()->image(), box->imageChecked());
  EXPECT_EQ(box->clickButton()->frame(), Rect(0, 0, 32, 55));
  // The same state and size again, then other pictures for it: the new ones show.
  box->setChecked(true);
  box->setFrame(Rect(0, 0, 32, 55));
  box->setImageChecked(picture(8, 6));
  box->refreshUI();
  EXPECT_EQ(box->imageView()->frame(), Rect(0, 24.5, 8, 6));
  box->setChecked(false);
  EXPECT_EQ(box->imageView()->image(), box->imageNotChecked());
}

TEST_F(LoadingAndCheckBoxTest, TakeTheBuiltInSkin) {
  auto box = UICheckBoxView::create(Rect(0, 0, 100, 20));
  EXPECT_TRUE(AppSkin::apply(box.get()));
  ASSERT_TRUE(box->imageNotChecked());
  ASSERT_TRUE(box->imageChecked());
  EXPECT_EQ(box->imageView()->image(), box->imageNotChecked());

  auto loading = std::make_shared<UILoadingView>(Rect(0, 0, 200, 40));
  loading->setText("Wait");
  EXPECT_TRUE(AppSkin::apply(loading.get()));
  EXPECT_FALSE(loading->activityView()->isHidden());
  EXPECT_EQ(loading->activityView()->activityIndicatorViewStyle(),
            platform::ActivityIndicatorViewStyle::Gray);
}

TEST_F(ImageExtTest, StretchableCapsAndScalingGeometry) {
  auto image = picture(21, 30);
  auto stretched = image::customStretchableImageWithLeftCapWidth(*image, 10, 14);
  EXPECT_EQ(stretched->capInsets(), (platform::EdgeInsets{14, 10, 15, 10}));

  platform::Device::currentDevice().setSystemVersion("4.3");
  auto old = image::customStretchableImageWithLeftCapWidth(*image, 10, 14);
  EXPECT_EQ(old->leftCapWidth(), 10);
  EXPECT_EQ(old->topCapHeight(), 14);
  platform::Device::currentDevice().reset();

  EXPECT_EQ(image::scaledAndCroppedRect({200, 100}, {100, 100}), Rect(-50, 0, 200, 100));
  EXPECT_EQ(image::scaledAndCroppedRect({100, 200}, {100, 100}), Rect(0, -50, 100, 200));
  auto cropped = image::imageByScalingAndCroppingForSize(*picture(200, 100), {100, 100});
  ASSERT_TRUE(cropped);
  EXPECT_EQ(cropped->size(), (platform::Size{100, 100}));
  auto small = picture(8, 8);
  EXPECT_EQ(image::getNetworkPostImageData(small), small);
}

TEST_F(ImageExtTest, TheArrowViewShowsARightPointingChevron) {
  auto arrow = imageview::arrowView();
  EXPECT_EQ(arrow->frame(), Rect(0, 0, 9, 13));
  ASSERT_TRUE(arrow->image());
  EXPECT_EQ(arrow->image()->size(), (platform::Size{9, 13}));
  // Ink at the tip (right, middle) and at both ends of the left side, none at the right corners.
  const auto& bitmap = *arrow->image()->bitmap();
  double s = arrow->image()->scale();
  auto ink = [&](double x, double y) { return bitmap.pixelAt(int(x * s), int(y * s)).a > 0; };
  EXPECT_TRUE(ink(6.5, 6.5));
  EXPECT_TRUE(ink(2, 2));
  EXPECT_TRUE(ink(2, 11));
  EXPECT_FALSE(ink(8.5, 0.5));
  EXPECT_FALSE(ink(8.5, 12.5));
  // Every call makes a view of its own.
  EXPECT_NE(imageview::arrowView(), arrow);
}

// "5" is a shorter text than "5.0" and so below it, as every version comparison of the client reads
// it: such a system still gets the older stretch form.
TEST_F(ImageExtTest, AVersionWithoutItsMinorNumberIsBelowTheOneWithIt) {
  auto image = picture(21, 30);
  platform::Device::currentDevice().setSystemVersion("5");
  auto stretched = image::customStretchableImageWithLeftCapWidth(*image, 10, 14);
  EXPECT_EQ(stretched->leftCapWidth(), 10);
  EXPECT_EQ(stretched->topCapHeight(), 14);
  platform::Device::currentDevice().setSystemVersion("5.0");
  stretched = image::customStretchableImageWithLeftCapWidth(*image, 10, 14);
  EXPECT_EQ(stretched->leftCapWidth(), 0);
  EXPECT_EQ(stretched->capInsets(), (platform::EdgeInsets{14, 10, 15, 10}));
  platform::Device::currentDevice().reset();
}

TEST(DeviceHardwareTest, FormatsItsFacts) {
  platform::Device::currentDevice().setSystemName("iPhone OS");
  platform::Device::currentDevice().setSystemVersion("6.1");
  EXPECT_EQ(device::getOS(), "iPhone OS 6.1");
  platform::Device::currentDevice().reset();
  EXPECT_FALSE(device::getDeviceType().empty());
  EXPECT_EQ(device::formatMacAddress({0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f}), "0A:1B:2C:3D:4E:5F");
  EXPECT_EQ(device::getMacAddress("no-such-interface0"), std::nullopt);
  EXPECT_EQ(device::getNetworkOperators(), "");
  EXPECT_EQ(device::getNetworkOperators(std::string("CTCarrier [Carrier name: [Alpha]]\nMobile")), "Alpha]");
  EXPECT_EQ(device::getNetworkOperators(std::string("Carrier name: [Alpha]")), "Alpha");
  EXPECT_EQ(device::getNetworkOperators(std::string("Carrier name: []")), std::nullopt);
}

}  // namespace
}  // namespace kavro
