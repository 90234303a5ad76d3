#include <gtest/gtest.h>

#include "app/jobsearch/JobSearchResultController.h"
#include "tests/app/jobsearch/JobSearchScreenTest.h"

namespace kavro::test {
namespace {

using JobSearchResultToolbarTest = JobSearchScreenTest;

// The toolbar is filled when the screen's view is made: asked for before that, each of its buttons
// is none (not a read past the end of an empty bar); after, each is the bar's own.
TEST_F(JobSearchResultToolbarTest, ButtonsAreNoneUntilTheBarIsFilled) {
  auto query = JobSearchParam::create();
  query->setKeywords("java");
  auto results = JobSearchResultController::initWithParam(query);
  for (auto item : {JobSearchResultController::FavoriteItem, JobSearchResultController::ApplyItem,
                    JobSearchResultController::DetailItem})
    EXPECT_EQ(results->toolbarButton(item), nullptr) << item;
  results->view();
  const auto& items = results->bottomToolBar()->items();
  ASSERT_EQ(items.size(), 5u);
  for (auto item : {JobSearchResultController::FavoriteItem, JobSearchResultController::ApplyItem,
                    JobSearchResultController::DetailItem}) {
    ASSERT_NE(results->toolbarButton(item), nullptr) << item;
    EXPECT_EQ(results->toolbarButton(item), items[static_cast<std::size_t>(item)]) << item;
  }
}

}  // namespace
}  // namespace kavro::test
