#include <gtest/gtest.h>

#include "kit/skin/AppSkinTargets.h"
#include "kit/ui/ClearTableCell.h"
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

}  // namespace
}  // namespace kavro
