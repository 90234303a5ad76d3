#include <gtest/gtest.h>

#include "kit/skin/AppSkinTargets.h"
#include "kit/ui/ClearTableCell.h"
#include "kit/ui/DataTableCell.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ResumeListEmptyCell.h"
#include "platform/ui/Snapshot.h"
#include "tests/kit/ui/KitUITest.h"
#include "tests/support/Pixels.h"

namespace kavro {
namespace {

class DataTableCellSkinTest : public test::KitUITest {};

// The built-in skin gives every row the "cell_bg" pattern: a plain list's row shows it in its
// background view, a grouped list's row on itself.
TEST_F(DataTableCellSkinTest, BuiltInSkinReachesTheRowsBackground) {
  auto plain = ListView::create(false);
  auto plainCell = DataTableCell::cellWithCellID<DataTableCell>("plain", *plain, platform::IndexPath{0, 0});
  ASSERT_TRUE(plainCell->backgroundView());
  EXPECT_TRUE(plainCell->backgroundView()->backgroundPatternImage());
  EXPECT_FALSE(plainCell->backgroundPatternImage());

  auto grouped = ListView::create(true);
  auto groupedCell =
      DataTableCell::cellWithCellID<DataTableCell>("grouped", *grouped, platform::IndexPath{0, 0});
  EXPECT_TRUE(groupedCell->backgroundPatternImage());

  // A colour replaces the pattern.
  AppSkinTableCell& target = *plainCell;
  target.setBgColor(platform::Color::white(), nullptr);
  EXPECT_EQ(plainCell->bgColor(), platform::Color::white());
  EXPECT_EQ(plainCell->backgroundView()->backgroundColor(), platform::Color::white());
  EXPECT_FALSE(plainCell->backgroundView()->backgroundPatternImage());
}

// A spacer row: no height, nothing seen, no touches, no selection.
TEST_F(DataTableCellSkinTest, ASpacerRowIsUnseenAndTakesNoTouches) {
  auto list = ListView::create(false);
  const platform::IndexPath ip{0, 0};
  auto spacer = DataTableCell::cellWithCellID<ClearTableCell>("spacer", *list, ip);
  EXPECT_EQ(spacer->alpha(), 0);
  EXPECT_FALSE(spacer->isUserInteractionEnabled());
  EXPECT_EQ(spacer->selectionStyle(), platform::TableViewCellSelectionStyle::None);
  EXPECT_EQ(
      platform::classFor<ClearTableCell>()->callClassFunction(&CellClassFunctions::heightForCell, *list, ip),
      0.0);
  // An ordinary row beside it is seen and touched.
  auto row = DataTableCell::cellWithCellID<DataTableCell>("row", *list, ip);
  EXPECT_EQ(row->alpha(), 1);
  EXPECT_TRUE(row->isUserInteractionEnabled());
}

// The empty row of the resume lists: no touches, and what is put into it stays within the row
// on screen, so a tall child never paints over the rows below; an ordinary row does not cut it.
TEST_F(DataTableCellSkinTest, AnEmptyRowTakesNoTouchesAndKeepsItsContentInsideIt) {
  auto list = ListView::create(false);
  const platform::IndexPath ip{0, 0};
  // The row 10 points high at the top of a 40-point square, holding a red child 30 points high.
  auto picture = [](const std::shared_ptr<DataTableCell>& cell) {
    auto holder = std::make_shared<platform::View>(platform::Rect(0, 0, 40, 40));
    cell->setFrame(platform::Rect(0, 0, 40, 10));
    cell->setBackgroundColor(platform::Color::clear());
    if (cell->backgroundView()) cell->backgroundView()->setHidden(true);
    auto tall = std::make_shared<platform::View>(platform::Rect(5, 2, 20, 30));
    tall->setBackgroundColor(platform::Color::red());
    cell->contentView()->addSubview(tall);
    holder->addSubview(cell);
    return platform::Snapshot::imageOfView(*holder, 1);
  };

  auto empty = DataTableCell::cellWithCellID<ResumeListEmptyCell>("empty", *list, ip);
  EXPECT_FALSE(empty->isUserInteractionEnabled());
  auto clipped = picture(empty);
  ASSERT_TRUE(clipped);
  EXPECT_EQ(clipped->bitmap()->pixelAt(10, 5), test::kRed) << "inside the row";
  EXPECT_EQ(clipped->bitmap()->pixelAt(10, 20), test::kClear) << "below the row";
  EXPECT_EQ(clipped->bitmap()->pixelAt(10, 30), test::kClear) << "below the row";

  auto row = DataTableCell::cellWithCellID<DataTableCell>("row", *list, ip);
  EXPECT_TRUE(row->isUserInteractionEnabled());
  auto whole = picture(row);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->bitmap()->pixelAt(10, 5), test::kRed);
  EXPECT_EQ(whole->bitmap()->pixelAt(10, 20), test::kRed);
  EXPECT_EQ(whole->bitmap()->pixelAt(10, 35), test::kClear) << "below the child";
}

}  // namespace
}  // namespace kavro
