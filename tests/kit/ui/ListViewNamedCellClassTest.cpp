// Rows that name their own cell class, as a class or by its registered name (the form stored
// records keep), draw with it; an unknown name is reported and falls back to the section's class.

#include <gtest/gtest.h>

#include "kit/ui/EmptyTableCell.h"
#include "kit/ui/ListView.h"
#include "kit/ui/TitleCell.h"
#include "kit/ui/TitleValueCell.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {
namespace {

using platform::IndexPath;

class ListViewNamedCellClassTest : public VirtualRunLoopTest {
 protected:
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    list = ListView::plainListViewForDelegate(ctrl);
    list->setFrame(platform::Rect(0, 0, 320, 480));
    section = ListViewData::newDataOnListView(*list, platform::classFor<TitleCell>());
  }
  void TearDown() override {
    list->stopLoading();
    VirtualRunLoopTest::TearDown();
  }
  void addRow(const std::function<void(DataItemDetail&)>& dress) {
    auto row = DataItemDetail::newDetail();
    row->setItemTitle("row");
    dress(*row);
    section->listData()->addItem(row);
  }
  std::string shownClass(int row) {
    list->reloadData();
    list->layoutSubviews();
    auto cell = list->cellForRowAtIndexPath(IndexPath::forRow(row, 0));
    return cell ? platform::classOf(*cell)->name() : "(none)";
  }

  std::shared_ptr<ListViewDelegate> ctrl = std::make_shared<ListViewDelegate>();
  std::shared_ptr<ListView> list;
  std::shared_ptr<ListViewData> section;
};

TEST_F(ListViewNamedCellClassTest, ARowDrawsWithTheClassItNamesByObjectOrByName) {
  addRow([](DataItemDetail&) {});
  addRow([](DataItemDetail& r) { r.setCellClass(platform::classFor<TitleValueCell>()); });
  addRow([](DataItemDetail& r) { r.setString("EmptyTableCell", DataItemDetail::keyCellClass()); });
  EXPECT_EQ(shownClass(0), "TitleCell");
  EXPECT_EQ(shownClass(1), "TitleValueCell");
  EXPECT_EQ(shownClass(2), "EmptyTableCell");
  EXPECT_EQ(list->cellClassAtIndexPath(IndexPath::forRow(2, 0))->name(), "EmptyTableCell");
  // The named class also gives the row its height.
  auto height = list->heightForRowAtIndexPath(*list, IndexPath::forRow(2, 0));
  auto expected = platform::classFor<EmptyTableCell>()->callClassFunction(&CellClassFunctions::heightForCell,
                                                                          *list, IndexPath::forRow(2, 0));
  ASSERT_TRUE(height && expected);
  EXPECT_EQ(*height, *expected);
}

// A title row drawn in the skin its row names, or in the list's usual one when it names none.
TEST_F(ListViewNamedCellClassTest, ATitleRowWearsTheSkinItNames) {
  addRow([](DataItemDetail& r) {
    r.setItemTitle("最近搜索");
    r.setTitleSkin("@job_related@jobsearch_history_cell_title");
  });
  addRow([](DataItemDetail& r) { r.setItemTitle("普通"); });
  ASSERT_EQ(shownClass(0), "TitleCell");
  auto named = std::dynamic_pointer_cast<TitleCell>(list->cellForRowAtIndexPath(IndexPath::forRow(0, 0)));
  auto plain = std::dynamic_pointer_cast<TitleCell>(list->cellForRowAtIndexPath(IndexPath::forRow(1, 0)));
  ASSERT_TRUE(named && plain);
  EXPECT_EQ(named->label()->text(), "最近搜索");
  EXPECT_EQ(named->label()->font().pointSize(), 15);
  EXPECT_FALSE(named->label()->font().isBold());
  EXPECT_EQ(plain->label()->text(), "普通");
  EXPECT_EQ(plain->label()->font().pointSize(), 16);
  EXPECT_TRUE(plain->label()->font().isBold());
}

TEST_F(ListViewNamedCellClassTest, AnUnknownOrNonRowNameIsReportedAndFallsBackToTheSectionsClass) {
  addRow([](DataItemDetail& r) { r.setString("NoSuchCellClass", DataItemDetail::keyCellClass()); });
  addRow([](DataItemDetail& r) { r.setString("ListView", DataItemDetail::keyCellClass()); });
  testing::internal::CaptureStderr();
  EXPECT_EQ(shownClass(0), "TitleCell");
  EXPECT_EQ(shownClass(1), "TitleCell");
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("NoSuchCellClass"), std::string::npos) << log;
  EXPECT_NE(log.find("\"ListView\""), std::string::npos) << log;
}

}  // namespace
}  // namespace kavro::test
