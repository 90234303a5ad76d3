#include <gtest/gtest.h>

#include "platform/foundation/Error.h"
#include "platform/ui/SwipeGestureRecognizer.h"
#include "platform/ui/TableView.h"
#include "platform/ui/UIDriver.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

// Rows "s.r" of sections whose counts are given; tall rows where asked; deletes remove rows.
class Rows : public TableViewDataSource, public TableViewDelegate {
 public:
  std::vector<int> counts{3};
  std::map<IndexPath, double> heights;
  int made = 0, reused = 0;
  std::vector<IndexPath> selected, deselected;

  int numberOfRowsInSection(TableView&, int s) override { return counts[std::size_t(s)]; }
  std::optional<int> numberOfSectionsInTableView(TableView&) override { return int(counts.size()); }
  std::optional<std::string> titleForHeaderInSection(TableView&, int s) override {
    return s == 1 ? std::optional<std::string>("Second") : std::nullopt;
  }
  std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& tv, const IndexPath& ip) override {
    auto cell = tv.dequeueReusableCellWithIdentifier("row");
    if (cell) {
      ++reused;
    } else {
      ++made;
      cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "row");
    }
    cell->textLabel()->setText(std::to_string(ip.section) + "." + std::to_string(ip.row));
    return cell;
  }
  bool commitEditingStyle(TableView& tv, TableViewCellEditingStyle, const IndexPath& ip) override {
    --counts[std::size_t(ip.section)];
    tv.deleteRowsAtIndexPaths({ip});
    return true;
  }
  int heightAsks = 0;
  std::optional<double> heightForRowAtIndexPath(TableView&, const IndexPath& ip) override {
    ++heightAsks;
    auto it = heights.find(ip);
    return it == heights.end() ? std::nullopt : std::optional<double>(it->second);
  }
  void didSelectRowAtIndexPath(TableView&, const IndexPath& ip) override { selected.push_back(ip); }
  void didDeselectRowAtIndexPath(TableView&, const IndexPath& ip) override { deselected.push_back(ip); }
};

class TableViewTest : public UITest {
 protected:
  std::shared_ptr<Rows> rows = std::make_shared<Rows>();
  std::shared_ptr<TableView> table = std::make_shared<TableView>(Rect(0, 0, 320, 200));
  void SetUp() override {
    UITest::SetUp();
    table->setDataSource(rows);
    table->setDelegate(rows);
    window->addSubview(table);
  }
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (auto& c : table->visibleCells()) out.push_back(c->textLabel()->text());
    return out;
  }
};

TEST_F(TableViewTest, ACellMadeOutsideATableIsAFullRowWhoseContentFillsIt) {
  // Cells size what they hold from their own bounds before a table ever places them.
  auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "row");
  EXPECT_EQ(cell->frame(), Rect(0, 0, 320, 44));
  EXPECT_EQ(cell->contentView()->frame(), Rect(0, 0, 320, 44));
}

TEST_F(TableViewTest, LaysOutSectionsAndMakesCellsOnlyForVisibleRows) {
  rows->counts = {3, 10};
  rows->heights[{0, 1}] = 100;
  table->reloadData();
  // 44 + 100 + 44, a titled plain header of 22, ten rows of 44.
  EXPECT_EQ(table->contentSize(), (Size{320, 188 + 22 + 440}));
  EXPECT_EQ(table->rectForRowAtIndexPath({1, 0}), Rect(0, 210, 320, 44));
  EXPECT_EQ(texts(), (std::vector<std::string>{"0.0", "0.1", "0.2"}));
  EXPECT_EQ(table->indexPathForRowAtPoint({5, 100}), (IndexPath{0, 1}));
  EXPECT_TRUE(table->headerViewForSection(1));

  table->setContentOffset({0, 200});
  EXPECT_EQ(texts(), (std::vector<std::string>{"1.0", "1.1", "1.2", "1.3", "1.4"}));
  // Cells that left the view came back for the new rows.
  EXPECT_EQ(rows->made, 5);
  EXPECT_EQ(rows->reused, 3);
  table->scrollToRowAtIndexPath({1, 9}, TableViewScrollPosition::Bottom, false);
  EXPECT_EQ(table->contentOffset().y, 650 - 200);
  EXPECT_FALSE(table->headerViewForSection(1));
  EXPECT_THROW(table->scrollToRowAtIndexPath({1, 10}, TableViewScrollPosition::Top, false), RangeException);
}

TEST_F(TableViewTest, ScrollingInAnyStepShowsExactlyTheRowsInView) {
  rows->counts = {60, 5};
  for (int r = 0; r < 60; ++r) rows->heights[IndexPath{0, r}] = r % 7 == 3 ? 0 : 20 + (r * 13) % 50;
  table->reloadData();
  // Rows (sorted) that reach into the bounds, from the heights alone.
  auto expected = [&] {
    std::vector<std::string> out;
    Rect vis = table->bounds();
    for (int s = 0; s < table->numberOfSections(); ++s) {
      for (int r = 0; r < table->numberOfRowsInSection(s); ++r) {
        Rect f = table->rectForRowAtIndexPath(IndexPath{s, r});
        bool in = f.height() > 0 ? f.y() < vis.maxY() && f.y() + f.height() > vis.minY()
                                 : f.y() >= vis.minY() && f.y() < vis.maxY();
        if (in) out.push_back(std::to_string(s) + "." + std::to_string(r));
      }
    }
    return out;
  };
  double bottom = table->contentSize().height - table->bounds().size.height;
  std::vector<double> offsets;
  for (double y = 0; y <= bottom; y += 7) offsets.push_back(y);   // down in small steps
  for (double y = bottom; y >= 0; y -= 45) offsets.push_back(y);  // back up in larger ones
  for (double y : {bottom, 0.0, bottom / 2, bottom / 2 + 1, bottom / 3, bottom}) offsets.push_back(y);
  for (double y : offsets) {
    table->setContentOffset({0, y});
    table->layoutSubviews();
    EXPECT_EQ(texts(), expected()) << "at " << y;
    for (const auto& ip : table->indexPathsForVisibleRows())
      EXPECT_EQ(table->cellForRowAtIndexPath(ip)->frame(), table->rectForRowAtIndexPath(ip)) << "at " << y;
  }
}

TEST_F(TableViewTest, TapsSelectRowsAndUpdatesMoveTheSelection) {
  ASSERT_TRUE(UIDriver::tap("0.1"));
  ASSERT_TRUE(UIDriver::tap("0.2"));
  EXPECT_EQ(rows->selected, (std::vector<IndexPath>{{0, 1}, {0, 2}}));
  EXPECT_EQ(rows->deselected, (std::vector<IndexPath>{{0, 1}}));
  EXPECT_TRUE(table->cellForRowAtIndexPath({0, 2})->isSelected());

  rows->counts = {4};
  table->insertRowsAtIndexPaths({{0, 0}});
  EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 3}));
  // The cells of untouched rows stay; only the new row is asked for.
  EXPECT_EQ(rows->made, 4);

  // A data source that does not match the update is caught.
  EXPECT_THROW(table->deleteRowsAtIndexPaths({{0, 0}}), InternalInconsistencyException);

  // Rows inserted in the middle and at the end and one reloaded taller, above a second section:
  // only those rows are asked for their heights (the rest keep theirs), and every row, the second
  // section and the content lie as a reload of everything lays them out.
  rows->counts = {4, 2};
  table->reloadData();
  rows->counts = {6, 2};
  rows->heights = {{{0, 1}, 30}, {{0, 3}, 70}, {{0, 5}, 20}};
  rows->heightAsks = 0;
  table->beginUpdates();
  table->insertRowsAtIndexPaths({{0, 1}, {0, 5}});
  table->reloadRowsAtIndexPaths({{0, 2}});
  table->endUpdates();
  EXPECT_EQ(rows->heightAsks, 3);
  auto layout = [&] {
    std::vector<Rect> out{table->rectForHeaderInSection(1), Rect({}, table->contentSize())};
    for (int s = 0; s < 2; ++s)
      for (int r = 0; r < rows->counts[std::size_t(s)]; ++r)
        out.push_back(table->rectForRowAtIndexPath({s, r}));
    return out;
  };
  const std::vector<Rect> updated = layout();
  EXPECT_EQ(updated[2 + 3], Rect(0, 44 + 30 + 44, 320, 70));
  table->reloadData();
  EXPECT_EQ(layout(), updated);
}

TEST_F(TableViewTest, SwipeShowsTheDeleteButtonWhichCommits) {
  auto cell = table->cellForRowAtIndexPath({0, 1});
  ASSERT_TRUE(UIDriver::swipe(*cell, SwipeDirection::Left));
  EXPECT_EQ(table->deleteConfirmationIndexPath(), (IndexPath{0, 1}));
  EXPECT_TRUE(cell->showingDeleteConfirmation());
  ASSERT_TRUE(UIDriver::tap("Delete"));
  EXPECT_EQ(texts(), (std::vector<std::string>{"0.0", "0.2"}));
  EXPECT_FALSE(table->deleteConfirmationIndexPath());

  // In editing mode the edit control leads to the same button.
  table->setEditing(true);
  ASSERT_TRUE(UIDriver::tap(*UIDriver::findViews("Delete control").at(0)));
  EXPECT_EQ(table->deleteConfirmationIndexPath(), (IndexPath{0, 0}));
}

TEST_F(TableViewTest, GroupedTablesSectionUpdatesAndEmptyRows) {
  auto grouped = std::make_shared<TableView>(Rect(0, 0, 320, 480), TableViewStyle::Grouped);
  grouped->setDataSource(rows);
  grouped->setDelegate(rows);
  rows->counts = {1, 2};
  rows->heights[{1, 0}] = 0;
  auto header = std::make_shared<View>(Rect(0, 0, 10, 30));
  grouped->setTableHeaderView(header);
  window->addSubview(grouped);
  grouped->layoutIfNeeded();
  // 30 + (10 + 44 + 10) + (46 + 0 + 44 + 10): grouped sections keep a gap, a titled header more.
  EXPECT_EQ(grouped->contentSize().height, 194);
  EXPECT_EQ(header->frame(), Rect(0, 0, 320, 30));
  // A row of height 0 still has its cell.
  EXPECT_TRUE(grouped->cellForRowAtIndexPath({1, 0}));
  EXPECT_EQ(grouped->cellForRowAtIndexPath({1, 0})->contentView()->frame(), Rect(10, 0, 300, 0));

  auto kept = grouped->cellForRowAtIndexPath({1, 1});
  rows->counts = {4, 1, 2};
  grouped->beginUpdates();
  grouped->insertSections({0});
  grouped->reloadRowsAtIndexPaths({{0, 0}});
  grouped->endUpdates();
  EXPECT_EQ(grouped->numberOfSections(), 3);
  // Rows of the moved sections keep their cells; the reloaded row is asked again.
  EXPECT_EQ(grouped->cellForRowAtIndexPath({2, 1}), kept);
  EXPECT_EQ(grouped->cellForRowAtIndexPath({1, 0})->textLabel()->text(), "1.0");

  // The first section taken out again: the table is as before, the moved rows keep their cells. A
  // section that is not there cannot go, and the table stays as it was.
  rows->counts = {1, 2};
  grouped->deleteSections({0});
  EXPECT_EQ(grouped->numberOfSections(), 2);
  EXPECT_EQ(grouped->cellForRowAtIndexPath({1, 1}), kept);
  EXPECT_EQ(grouped->contentSize().height, 194);
  for (int gone : {-1, 2}) {
    EXPECT_THROW(grouped->deleteSections({gone}), InternalInconsistencyException) << gone;
    EXPECT_EQ(grouped->numberOfSections(), 2);
    EXPECT_EQ(grouped->contentSize().height, 194);
  }
}

TEST_F(TableViewTest, DelegatesShapeHeadersSelectionAndAccessories) {
  struct Picky : Rows {
    std::vector<IndexPath> accessories;
    std::optional<IndexPath> willSelectRowAtIndexPath(TableView&, const IndexPath& ip) override {
      if (ip.row == 0) return std::nullopt;  // the first row cannot be chosen
      return ip.row == 1 ? IndexPath{0, 2} : ip;
    }
    std::optional<double> heightForHeaderInSection(TableView&, int) override { return 30; }
    std::shared_ptr<View> viewForHeaderInSection(TableView&, int) override {
      auto v = std::make_shared<View>();
      v->setAccessibilityLabel("header");
      return v;
    }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& tv, const IndexPath& ip) override {
      auto cell = Rows::cellForRowAtIndexPath(tv, ip);
      cell->setAccessoryType(TableViewCellAccessoryType::DetailDisclosureButton);
      return cell;
    }
    void accessoryButtonTappedForRowWithIndexPath(TableView&, const IndexPath& ip) override {
      accessories.push_back(ip);
    }
  };
  auto picky = std::make_shared<Picky>();
  table->setDataSource(picky);
  table->setDelegate(picky);
  table->reloadData();
  EXPECT_EQ(table->rectForHeaderInSection(0), Rect(0, 0, 320, 30));
  EXPECT_EQ(UIDriver::findView("header")->frame(), Rect(0, 0, 320, 30));
  EXPECT_FALSE(table->tapRowAtIndexPath({0, 0}));
  EXPECT_TRUE(table->tapRowAtIndexPath({0, 1}));
  EXPECT_EQ(picky->selected, (std::vector<IndexPath>{{0, 2}}));
  table->layoutIfNeeded();
  auto more = UIDriver::findViews("更多信息");  // the toolkit speaks the user's language
  ASSERT_EQ(more.size(), 3u);
  ASSERT_TRUE(UIDriver::tap(*more[1]));
  EXPECT_EQ(picky->accessories, (std::vector<IndexPath>{{0, 1}}));
  EXPECT_EQ(picky->selected.size(), 1u);  // the accessory is not a selection
  table->setAllowsSelection(false);
  EXPECT_FALSE(table->tapRowAtIndexPath({0, 2}));
}

TEST_F(TableViewTest, ScrollPositionsResizingAndConfirmationDismissal) {
  rows->counts = {20};
  table->reloadData();
  table->scrollToRowAtIndexPath({0, 10}, TableViewScrollPosition::Middle, false);
  EXPECT_EQ(table->contentOffset().y, 440 + 22 - 100);
  table->scrollToRowAtIndexPath({0, 19}, TableViewScrollPosition::Top, false);
  EXPECT_EQ(table->contentOffset().y, 880 - 200);  // no further than the end
  table->scrollToRowAtIndexPath({0, 2}, TableViewScrollPosition::None, false);
  EXPECT_EQ(table->contentOffset().y, 88);
  EXPECT_EQ(table->indexPathsForVisibleRows().size(), 5u);
  table->setFrame(Rect(0, 0, 320, 400));
  EXPECT_EQ(table->indexPathsForVisibleRows().size(), 10u);
  EXPECT_EQ(table->indexPathsForRowsInRect(Rect(0, 0, 10, 45)).size(), 2u);

  ASSERT_TRUE(table->showDeleteConfirmation({0, 3}));
  ASSERT_TRUE(UIDriver::tap(*table->cellForRowAtIndexPath({0, 5})));  // a tap elsewhere only hides it
  EXPECT_FALSE(table->deleteConfirmationIndexPath());
  EXPECT_TRUE(rows->selected.empty());
}

// Section titles are asked for again on every reload and row update: the screen shows the titles
// the data source gives now, never ones kept from before.
TEST_F(TableViewTest, HeaderAndFooterTitlesFollowTheDataOnReloadAndRowUpdates) {
  struct Titled : Rows {
    std::string header = "头一", footer = "尾一";
    std::optional<std::string> titleForHeaderInSection(TableView&, int) override { return header; }
    std::optional<std::string> titleForFooterInSection(TableView&, int) override { return footer; }
  };
  auto titled = std::make_shared<Titled>();
  titled->counts = {2};
  table->setDataSource(titled);
  table->setDelegate(titled);
  table->reloadData();
  table->layoutIfNeeded();
  EXPECT_TRUE(UIDriver::findView("头一"));
  EXPECT_TRUE(UIDriver::findView("尾一"));

  titled->header = "头二";
  titled->footer = "尾二";
  table->reloadData();
  table->layoutIfNeeded();
  EXPECT_TRUE(UIDriver::findView("头二"));
  EXPECT_TRUE(UIDriver::findView("尾二"));
  EXPECT_FALSE(UIDriver::findView("头一"));
  EXPECT_FALSE(UIDriver::findView("尾一"));

  titled->header = "头三";
  titled->footer = "尾三";
  titled->counts = {3};
  table->insertRowsAtIndexPaths({{0, 2}});
  table->layoutIfNeeded();
  EXPECT_TRUE(UIDriver::findView("头三"));
  EXPECT_TRUE(UIDriver::findView("尾三"));
  EXPECT_FALSE(UIDriver::findView("尾二"));
  EXPECT_EQ(table->numberOfRowsInSection(0), 3);
}

}  // namespace
}  // namespace kavro::test
