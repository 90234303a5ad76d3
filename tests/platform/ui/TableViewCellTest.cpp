// Cells as a person sees them: what their accessories draw.
#include <gtest/gtest.h>

#include "platform/graphics/Bitmap.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TableViewCell.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

using TableViewCellTest = UITest;

// The leftmost column, in points, where the picture differs from its first pixel; -1 when none.
double leftmostInk(const Image& image) {
  const Bitmap& b = *image.bitmap();
  Pixel ground = b.pixelAt(0, 0);
  for (int x = 0; x < b.width(); ++x) {
    for (int y = 0; y < b.height(); ++y) {
      Pixel p = b.pixelAt(x, y);
      if (p.r != ground.r || p.g != ground.g || p.b != ground.b || p.a != ground.a) return x / image.scale();
    }
  }
  return -1;
}

TEST_F(TableViewCellTest, TheDisclosureMarkKeepsClearOfATextEndingTwentyFivePointsFromTheEdge) {
  // Job rows end their right-hand texts 25 points before the row's edge; a taller row puts its
  // mark on one of those lines.
  for (double height : {44.0, 90.0}) {
    auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "c");
    cell->setFrame(Rect(0, 0, 320, height));
    cell->setBackgroundColor(Color::white());
    cell->setAccessoryType(TableViewCellAccessoryType::DisclosureIndicator);
    cell->layoutIfNeeded();
    auto image = Snapshot::imageOfView(*cell, 2);
    ASSERT_TRUE(image);
    double ink = leftmostInk(*image);
    EXPECT_GE(ink, 320 - 25 + 1) << "row " << height;
    EXPECT_LT(ink, 320 - 5) << "row " << height;
  }
}

// A row that asks for its labels late gets them as a row that made them at once would.
TEST_F(TableViewCellTest, LabelsMadeOnFirstUseTakeTheSetBackgroundAndLieBelowTheRowsContent) {
  auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Subtitle, "late");
  cell->setLabelsBackgroundColor(Color::clear());
  auto badge = std::make_shared<Label>();
  badge->setText("new");
  cell->contentView()->addSubview(badge);
  auto image = cell->imageView();
  const auto& detail = cell->detailTextLabel();
  const auto& text = cell->textLabel();
  text->setText("Title");
  detail->setText("Subtitle");
  EXPECT_EQ(text->backgroundColor(), Color::clear());
  EXPECT_EQ(detail->backgroundColor(), Color::clear());
  EXPECT_EQ(cell->contentView()->subviews(),
            (std::vector<std::shared_ptr<View>>{image, text, detail, badge}));
  cell->setFrame(Rect(0, 0, 320, 44));
  cell->layoutIfNeeded();
  EXPECT_GT(text->frame().width(), 0);
  EXPECT_GT(detail->frame().y(), text->frame().y()) << "the subtitle under the title";

  cell->setLabelsBackgroundColor(Color::white());
  EXPECT_EQ(text->backgroundColor(), Color::white()) << "labels already made follow too";
  EXPECT_EQ(detail->backgroundColor(), Color::white());
}

// The text starts 10 points in, past the image and 10 more when there is one: an image view with
// no picture (or an empty one) takes no room.
TEST_F(TableViewCellTest, TheTextStartsPastAnImageOnlyWhenOneIsShown) {
  for (const TableViewCellStyle style : {TableViewCellStyle::Default, TableViewCellStyle::Subtitle}) {
    auto cell = std::make_shared<TableViewCell>(style, "c");
    cell->setFrame(Rect(0, 0, 320, 44));
    cell->textLabel()->setText("Title");
    cell->imageView();
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->textLabel()->frame().x(), 10);
    cell->imageView()->setImage(Image::imageWithBitmap(Bitmap(), 1.0));
    cell->setNeedsLayout();
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->textLabel()->frame().x(), 10);
    cell->imageView()->setImage(Image::imageWithBitmap(*Bitmap::create(24, 24), 1.0));
    cell->setNeedsLayout();
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->textLabel()->frame().x(), 10 + 24 + 10);
    EXPECT_EQ(cell->imageView()->frame(), Rect(10, 10, 24, 24));
  }
}

}  // namespace
}  // namespace kavro::test
