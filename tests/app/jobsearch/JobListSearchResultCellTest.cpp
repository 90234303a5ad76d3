// The job rows: summaries, badges and heights, and the detail form only on result screens.

#include <gtest/gtest.h>

#include "app/jobsearch/JobListApplyCell.h"
#include "app/jobsearch/JobListFavoriteCell.h"
#include "app/jobsearch/JobListSearchResultCell.h"
#include "kit/ui/ListView.h"
#include "platform/ui/TextMetrics.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro::test {
namespace {

using platform::IndexPath;

std::shared_ptr<DataItemDetail> job(std::string_view degree, std::string_view workyear,
                                    std::string_view cotype) {
  auto r = DataItemDetail::newDetail();
  r->set_degree(degree);
  r->setString(workyear, "workyear");
  r->set_cotype(cotype);
  return r;
}

TEST(JobListSearchResultCellSummaryTest, JoinsOnlyTheNonEmptyParts) {
  EXPECT_EQ(JobListSearchResultCell::getJobSummaryFromDetail(*job("", "", "")), "");
  EXPECT_EQ(JobListSearchResultCell::getJobSummaryFromDetail(*job("", "3-5年", "")), "3-5年");
  EXPECT_EQ(JobListSearchResultCell::getJobSummaryFromDetail(*job("本科", "", "外资")), "本科  |  外资");
}

class JobListCellsTest : public KitUITest {
 protected:
  std::shared_ptr<DataTableCell> shownRow(platform::ClassPtr cls, std::shared_ptr<DataItemDetail> record) {
    list = ListView::plainListViewForDelegate(ctrl);
    list->setFrame(platform::Rect(0, 0, 320, 400));
    auto section = ListViewData::newDataOnListView(*list, std::move(cls));
    section->listData()->addItem(std::move(record));
    list->reloadData();
    list->layoutSubviews();
    return std::dynamic_pointer_cast<DataTableCell>(list->cellForRowAtIndexPath(IndexPath::forRow(0, 0)));
  }
  double height(int row) { return *list->heightForRowAtIndexPath(*list, IndexPath::forRow(row, 0)); }

  std::shared_ptr<ListViewDelegate> ctrl = std::make_shared<ListViewDelegate>();
  std::shared_ptr<ListView> list;
};

TEST_F(JobListCellsTest, BadgesFollowTheRecordAndRowsPastTheDataHaveNoHeight) {
  auto plain = job("", "", "");
  plain->set_jobname("工程师");
  auto cell = std::dynamic_pointer_cast<JobListFavoriteCell>(
      shownRow(platform::classFor<JobListFavoriteCell>(), plain));
  ASSERT_TRUE(cell);
  EXPECT_TRUE(cell->internImgView()->isHidden());
  EXPECT_TRUE(cell->appliedImgView()->isHidden());
  EXPECT_EQ(cell->jobname()->text(), "工程师");
  EXPECT_EQ(height(0), 55);
  EXPECT_EQ(JobListFavoriteCell::heightForCell(*list, IndexPath::forRow(1, 0)), 0);

  auto badged = job("", "", "");
  badged->setBool(true, "isintern");
  badged->setBool(true, "isapply");
  cell = std::dynamic_pointer_cast<JobListFavoriteCell>(
      shownRow(platform::classFor<JobListFavoriteCell>(), badged));
  ASSERT_TRUE(cell);
  EXPECT_FALSE(cell->internImgView()->isHidden());
  EXPECT_FALSE(cell->appliedImgView()->isHidden());

  ASSERT_TRUE(shownRow(platform::classFor<JobListApplyCell>(), job("", "", "")));
  EXPECT_EQ(height(0), 71);
  EXPECT_EQ(JobListApplyCell::heightForCell(*list, IndexPath::forRow(1, 0)), 0);
}

TEST_F(JobListCellsTest, AResultRowShowsADistrictAndItsDateWhole) {
  auto record = job("", "", "");
  record->set_jobname("Java开发工程师");
  record->setString("上海-浦东新区", "jobarea");
  record->setString("2013-06-04", "issuedate");
  auto cell = std::dynamic_pointer_cast<JobListSearchResultCell>(
      shownRow(platform::classFor<JobListSearchResultCell>(), record));
  ASSERT_TRUE(cell);
  for (const auto& label : {cell->jobarea(), cell->issuedate()}) {
    EXPECT_LE(platform::TextMetrics::widthOfText(label->text(), label->font()), label->frame().width())
        << label->text();
  }
}

TEST_F(JobListCellsTest, AResultRowOutsideAResultScreenStaysShort) {
  auto record = job("本科", "3-5年", "外资");
  record->set_jobinfo(std::string(300, 'x'));
  auto cell = std::dynamic_pointer_cast<JobListSearchResultCell>(
      shownRow(platform::classFor<JobListSearchResultCell>(), record));
  ASSERT_TRUE(cell);
  EXPECT_FALSE(JobListSearchResultCell::getNeedShowDetail(*list));
  EXPECT_EQ(height(0), 55);
  EXPECT_TRUE(cell->jobsummary()->isHidden());
  EXPECT_TRUE(cell->readMark()->isHidden());
  EXPECT_EQ(JobListSearchResultCell::heightForCell(*list, IndexPath::forRow(1, 0)), 0);
}

}  // namespace
}  // namespace kavro::test
