// The job query names the row classes of its history rows (the form stored records keep); the
// program that shows them must have every one registered as a row class, or the rows would fall
// back to the section's class with only a log line to tell.

#include <gtest/gtest.h>

#include "app/jobquery/JobSearchParam.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/ui/ListView.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro {
namespace {

class RowClassNamesTest : public test::VirtualRunLoopTest {
 protected:
  void TearDown() override {
    AppCoreInfo::destroyAppCoreInfo();
    test::VirtualRunLoopTest::TearDown();
  }
  static std::string rowClassOf(const DataItemDetail& row) {
    auto cls = ListView::recordCellClass(row);
    return cls ? cls->name() : "(unknown: " + row.getString(DataItemDetail::keyCellClass()) + ")";
  }
  test::TempHome home_;
};

TEST_F(RowClassNamesTest, EveryHistoryRowNamesARegisteredRowClass) {
  auto empty = JobSearchParam::create()->getSearchHistory();
  ASSERT_EQ(empty->count(), 1u);
  EXPECT_EQ(rowClassOf(*empty->getItem(0)), "EmptyTipsCell");

  auto search = JobSearchParam::create();
  search->setKeywords("java");
  ASSERT_TRUE(search->saveToSearchHistory(3));
  auto searches = JobSearchParam::create()->getSearchHistory();
  ASSERT_EQ(searches->count(), 1u);
  EXPECT_EQ(rowClassOf(*searches->getItem(0)), "TitleFullValueCell");

  auto keywords = JobSearchParam::getKeywordsHistory();
  ASSERT_EQ(keywords->count(), 1u);
  EXPECT_EQ(rowClassOf(*keywords->getItem(0)), "TitleValueCell");
}

}  // namespace
}  // namespace kavro
