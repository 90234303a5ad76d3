#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kit/ui/UIGifImageView.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro {
namespace {

// An animated 1 x 1 GIF whose frames are the given colours, each with its own colour table and a
// delay of 1 s (which the view does not follow).
platform::Data gifOf(const std::vector<std::uint32_t>& colours) {
  std::vector<std::uint8_t> g = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x00, 0, 0};
  for (std::uint32_t rgb : colours) {
    // Graphic control: delay 100 hundredths.
    g.insert(g.end(), {0x21, 0xF9, 0x04, 0x00, 100, 0, 0, 0});
    // Image descriptor with a local table of two colours; index 0 is the frame's colour.
    g.insert(g.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x80});
    g.insert(g.end(), {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                       static_cast<std::uint8_t>(rgb), 0, 0, 0});
    // LZW, minimum code size 2: clear, index 0, end.
    g.insert(g.end(), {0x02, 0x02, 0x44, 0x01, 0x00});
  }
  g.push_back(0x3B);
  return platform::Data(g.begin(), g.end());
}

std::uint32_t colourOf(const UIGifImageView& view) {
  if (!view.contents() || !view.contents()->bitmap()) return 0xFFFFFFFFu;
  platform::Pixel p = view.contents()->bitmap()->pixelAt(0, 0);
  return (std::uint32_t{p.r} << 16) | (std::uint32_t{p.g} << 8) | p.b;
}

class UIGifImageViewTest : public test::KitUITest {};

TEST_F(UIGifImageViewTest, ShowsFrameOneFirstThenAFrameEveryTwelfthOfASecondAndLoops) {
  auto view = UIGifImageView::create(platform::Rect(0, 0, 10, 10), gifOf({0xFF0000, 0x00FF00, 0x0000FF}));
  window->addSubview(view);
  ASSERT_EQ(view->count(), 3u);
  EXPECT_EQ(colourOf(*view), 0x00FF00u) << "frame 1 first";
  runFor(0.13);
  EXPECT_EQ(colourOf(*view), 0x0000FFu);
  runFor(0.12);
  EXPECT_EQ(colourOf(*view), 0xFF0000u) << "loops, and a file's own delay of 1 s is not followed";
  runFor(0.12);
  EXPECT_EQ(colourOf(*view), 0x00FF00u);
}

TEST_F(UIGifImageViewTest, LeavingItsSuperviewStopsThePlayAndLetsTheViewGo) {
  auto view = UIGifImageView::create(platform::Rect(0, 0, 10, 10), gifOf({0xFF0000, 0x00FF00}));
  window->addSubview(view);
  runFor(0.13);
  std::size_t shown = view->index();
  view->removeFromSuperview();
  runFor(1);
  EXPECT_EQ(view->index(), shown);
  std::weak_ptr<UIGifImageView> weak = view;
  view.reset();
  EXPECT_TRUE(weak.expired()) << "the stopped timer keeps nothing alive";
}

TEST_F(UIGifImageViewTest, OneFrameStaysOnFrameZeroAndNoImageShowsNothing) {
  auto single = UIGifImageView::create(platform::Rect(0, 0, 10, 10), gifOf({0x123456}));
  window->addSubview(single);
  runFor(0.5);
  EXPECT_EQ(single->index(), 0u);
  EXPECT_EQ(colourOf(*single), 0x123456u);

  auto junk = UIGifImageView::create(platform::Rect(0, 0, 10, 10), platform::Data{'n', 'o', 't'});
  window->addSubview(junk);
  runFor(0.5);
  EXPECT_EQ(junk->count(), 0u);
  EXPECT_FALSE(junk->contents());
}

}  // namespace
}  // namespace kavro
