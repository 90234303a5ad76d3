#include <gtest/gtest.h>

#include "kit/skin/AppSkinTargets.h"
#include "kit/ui/DataTableCell.h"
#include "kit/ui/ListView.h"
#include "tests/kit/ui/KitUITest.h"

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

}  // namespace
}  // namespace kavro
