// The tip row: its fallback text, its height growing with a long tip, and no touches.

#include <gtest/gtest.h>

#include "app/jobsearch/EmptyTipsCell.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"
#include "kit/ui/TitleCell.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro::test {
namespace {

using platform::IndexPath;

struct Picks : ListViewDelegate {
  int picked = 0;
  bool listViewSelectedIndexPath(ListView&, const IndexPath&) override {
    ++picked;
    return true;
  }
};

class EmptyTipsCellTest : public KitUITest {
 protected:
  void SetUp() override {
    KitUITest::SetUp();
    ctrl = std::make_shared<Picks>();
  }
  std::shared_ptr<EmptyTipsCell> tipRow(bool grouped, const std::string& title) {
    list = grouped ? ListView::groupedListViewForDelegate(ctrl) : ListView::plainListViewForDelegate(ctrl);
    list->setFrame(platform::Rect(0, 0, 320, 400));
    auto section = ListViewData::newDataOnListView(*list, platform::classFor<TitleCell>());
    auto row = DataItemDetail::newDetail();
    row->setItemTitle(title);
    row->setString("EmptyTipsCell", DataItemDetail::keyCellClass());
    row->setTableCellIsEmpty(true);
    section->listData()->addItem(row);
    window->addSubview(list);
    list->reloadData();
    list->layoutSubviews();
    return std::dynamic_pointer_cast<EmptyTipsCell>(list->cellForRowAtIndexPath(IndexPath::forRow(0, 0)));
  }
  double rowHeight() { return *list->heightForRowAtIndexPath(*list, IndexPath::forRow(0, 0)); }

  std::shared_ptr<Picks> ctrl;
  std::shared_ptr<ListView> list;
};

TEST_F(EmptyTipsCellTest, AnUntitledTipShowsTheFallbackInAFortyFourPointRow) {
  auto cell = tipRow(true, "");
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->label()->text(), AppCoreInfo::getLocalizedString("jobsearch_empty_search_hsitory"));
  EXPECT_EQ(rowHeight(), 44);
  EXPECT_EQ(cell->label()->frame().origin.x, 20) << "grouped inset";
  EXPECT_EQ(EmptyTipsCell::heightForCell(*list, IndexPath::forRow(1, 0)), 0) << "no record, no row";
}

TEST_F(EmptyTipsCellTest, ALongTipWrapsAndTheRowGrowsWithIt) {
  std::string tip(240, 'x');
  auto cell = tipRow(false, tip);
  ASSERT_TRUE(cell);
  double text = AppSkin::sizeForText(tip, "jobsearch_history_cell_empty", "job_related", 300).height;
  ASSERT_GT(text + 20, 44);
  EXPECT_EQ(rowHeight(), text + 20);
  EXPECT_EQ(cell->label()->frame().size.height, rowHeight()) << "label and row agree";
  EXPECT_EQ(cell->label()->frame().origin.x, 10) << "plain inset";
}

TEST_F(EmptyTipsCellTest, TappingTheTipDoesNothing) {
  auto cell = tipRow(false, "nothing here");
  ASSERT_TRUE(cell);
  EXPECT_FALSE(cell->isUserInteractionEnabled());
  platform::UIDriver::tap(*cell);
  EXPECT_EQ(ctrl->picked, 0);
}

}  // namespace
}  // namespace kavro::test
