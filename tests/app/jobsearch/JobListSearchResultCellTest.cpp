// The job rows: summaries, badges and heights, and the detail form only on result screens.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>

#include "app/jobsearch/JobListApplyCell.h"
#include "app/jobsearch/JobListFavoriteCell.h"
#include "app/jobsearch/JobListSearchResultCell.h"
#include "app/jobsearch/JobOperateUtil.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ListView.h"
#include "platform/graphics/Bitmap.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/skin/SkinTestSupport.h"
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
  int flipped = -1;  // a row whose tick was tapped
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
  // The badges follow the name in a row, four points apart, whichever of them shows.
  EXPECT_EQ(cell->internImgView()->frame().x(), cell->jobname()->frame().maxX() + 4);
  EXPECT_EQ(cell->appliedImgView()->frame().x(), cell->internImgView()->frame().maxX() + 4);
  auto appliedOnly = job("", "", "");
  appliedOnly->set_jobname("工程师");
  appliedOnly->setBool(true, "isapply");
  cell = std::dynamic_pointer_cast<JobListFavoriteCell>(
      shownRow(platform::classFor<JobListFavoriteCell>(), appliedOnly));
  ASSERT_TRUE(cell);
  EXPECT_TRUE(cell->internImgView()->isHidden());
  EXPECT_EQ(cell->appliedImgView()->frame().x(), cell->jobname()->frame().maxX() + 4);
  auto internOnly = job("", "", "");
  internOnly->set_jobname("实习生");
  internOnly->setBool(true, "isintern");
  cell = std::dynamic_pointer_cast<JobListFavoriteCell>(
      shownRow(platform::classFor<JobListFavoriteCell>(), internOnly));
  ASSERT_TRUE(cell);
  EXPECT_TRUE(cell->appliedImgView()->isHidden());
  EXPECT_EQ(cell->internImgView()->frame().x(), cell->jobname()->frame().maxX() + 4);

  ASSERT_TRUE(shownRow(platform::classFor<JobListApplyCell>(), job("", "", "")));
  EXPECT_EQ(height(0), 71);
  EXPECT_EQ(JobListApplyCell::heightForCell(*list, IndexPath::forRow(1, 0)), 0);
}

// A favourite row: the area on the name's line and the date on the company's, each whole in the
// right column, which ends 30 points before the row's edge (10 while the list is being edited).
TEST_F(JobListCellsTest, AFavoriteRowShowsItsAreaAndDateWholeOnTheirLines) {
  for (bool editing : {false, true}) {
    SCOPED_TRACE(editing ? "editing" : "not editing");
    auto record = job("", "", "");
    record->set_jobname("Java开发工程师");
    record->set_coname("上海浦江数据科技有限公司");
    record->setString("上海-浦东新区", "jobarea");
    record->setString("2013-06-04", "issuedate");
    ASSERT_TRUE(shownRow(platform::classFor<JobListFavoriteCell>(), record));
    list->setEditing(editing);
    list->reloadData();
    list->layoutSubviews();
    auto cell =
        std::dynamic_pointer_cast<JobListFavoriteCell>(list->cellForRowAtIndexPath(IndexPath::forRow(0, 0)));
    ASSERT_TRUE(cell);
    const double right = 320 - (editing ? 10 : 30);
    const platform::Rect name = cell->jobname()->frame(), company = cell->coname()->frame();
    for (const auto& [label, line] :
         {std::pair{cell->jobarea(), name}, std::pair{cell->issuedate(), company}}) {
      SCOPED_TRACE(label->text());
      const platform::Rect r = label->frame();
      EXPECT_EQ(r.maxX(), right);
      EXPECT_LE(platform::TextMetrics::widthOfText(label->text(), label->font()), r.width()) << "whole";
      EXPECT_EQ(r.midY(), line.midY()) << "on its line";
      EXPECT_LE(r.height(), line.height() + 2) << "one line high";
    }
    EXPECT_LE(name.maxX(), cell->jobarea()->frame().x()) << "the name stops short of the area";

    // The picture: the area's red stays in the name's line and the date's blue in the company's.
    cell->jobarea()->setTextColor(platform::Color::red());
    cell->issuedate()->setTextColor(platform::Color::blue());
    cell->setBackgroundColor(platform::Color::white());
    auto picture = platform::Snapshot::imageOfView(*cell, 1);
    ASSERT_TRUE(picture);
    const platform::Bitmap& b = *picture->bitmap();
    // Right of the name (the editing mark left of the row is red too).
    const int column =
        static_cast<int>(cell->jobname()->convertRectToView(cell->jobname()->bounds(), cell.get()).maxX());
    int redRows = 0, blueRows = 0;
    for (int y = 0; y < b.height(); ++y) {
      bool red = false, blue = false;
      for (int x = column; x < b.width(); ++x) {
        platform::Pixel p = b.pixelAt(x, y);
        red = red || (p.r > p.g + 60 && p.r > p.b + 60);
        blue = blue || (p.b > p.r + 60 && p.b > p.g + 60);
      }
      if (red) {
        ++redRows;
        EXPECT_TRUE(y >= name.minY() - 1 && y <= name.maxY()) << "red at row " << y;
      }
      if (blue) {
        ++blueRows;
        EXPECT_TRUE(y >= company.minY() - 1 && y <= company.maxY()) << "blue at row " << y;
      }
    }
    EXPECT_GT(redRows, 4) << "the area is drawn";
    EXPECT_GT(blueRows, 4) << "the date is drawn";
  }
}

// A row of the applications list: the job in the left column, what the service says of the
// application in the right one, each text under the one above it; the badge only for internships.
TEST_F(JobListCellsTest, AnApplicationRowStacksItsTextsInTwoColumns) {
  // Each format names its key, so a text shows which format and which field made it.
  struct KeyNamingStrings {
    KeyNamingStrings() {
      AppCoreInfo::setLocalizedString([](std::string_view key) { return std::string(key) + " %@"; });
    }
    ~KeyNamingStrings() { AppCoreInfo::setLocalizedString({}); }
  } strings;
  for (bool intern : {true, false}) {
    auto record = job("", "", "");
    record->set_jobname("实习生");
    record->set_coname("鑫达公司");
    record->setString("上海", "jobarea");
    record->setString("2013-06-04", "issuedate");
    record->setString("2013-06-10", "senddate");
    record->setString("85%", "match");
    record->setString("12", "applynum");
    record->setBool(intern, "isintern");
    auto cell =
        std::dynamic_pointer_cast<JobListApplyCell>(shownRow(platform::classFor<JobListApplyCell>(), record));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->senddate()->text(), "jobapply_senddate_format__ 2013-06-10");
    EXPECT_EQ(cell->match()->text(), "jobapply_jobmatch_format__ 85%");
    EXPECT_EQ(cell->applynum()->text(), "jobapply_applynum_format__ 12");
    EXPECT_EQ(cell->internImgView()->isHidden(), !intern) << intern;
    if (intern) {
      EXPECT_EQ(cell->internImgView()->frame().x(), cell->jobname()->frame().maxX() + 4);
    }
    const platform::Rect name = cell->jobname()->frame(), company = cell->coname()->frame(),
                         sent = cell->senddate()->frame(), match = cell->match()->frame(),
                         area = cell->jobarea()->frame(), date = cell->issuedate()->frame(),
                         count = cell->applynum()->frame();
    EXPECT_EQ(name.origin, (platform::Point{10, 10}));
    EXPECT_EQ(company.x(), 10);
    EXPECT_EQ(company.y(), name.maxY() + 5);
    EXPECT_EQ(sent.x(), 10);
    EXPECT_EQ(sent.y(), company.maxY());
    EXPECT_EQ(area.x(), 210);
    EXPECT_EQ(area.y(), match.maxY());
    EXPECT_EQ(date.x(), 210);
    EXPECT_EQ(date.y(), area.maxY());
    EXPECT_EQ(count.y(), sent.y());
    EXPECT_EQ(count.maxX(), 320 - 25);
    EXPECT_EQ(cell->applynum()->textAlignment(), platform::TextAlignment::Right);
    EXPECT_LE(sent.maxX(), count.x()) << "the two texts of the bottom line stay apart";
    for (const auto& label : {cell->jobname(), cell->coname(), cell->senddate(), cell->match(),
                              cell->jobarea(), cell->issuedate(), cell->applynum()}) {
      EXPECT_LE(label->frame().maxY(), 71) << label->text() << " inside the row";
    }
  }
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

// The disclosure mark of a result row stands a clear gap right of the area and the date, whose texts
// end 25 points before the row's edge; the row's texts drawn red, the mark keeps its own grey.
TEST_F(JobListCellsTest, TheMarkKeepsItsGapFromTheAreaAndTheDate) {
  auto record = job("", "", "");
  record->set_jobname("Java开发工程师");
  record->setString("上海-浦东新区", "jobarea");
  record->setString("2013-06-04", "issuedate");
  auto cell = std::dynamic_pointer_cast<JobListSearchResultCell>(
      shownRow(platform::classFor<JobListSearchResultCell>(), record));
  ASSERT_TRUE(cell);
  for (const auto& label : {cell->jobarea(), cell->issuedate()}) label->setTextColor(platform::Color::red());
  cell->setBackgroundColor(platform::Color::white());
  auto picture = platform::Snapshot::imageOfView(*cell, 2);
  ASSERT_TRUE(picture);
  const platform::Bitmap& b = *picture->bitmap();
  int textRight = -1, markLeft = b.width();
  for (int y = 0; y < b.height(); ++y)
    for (int x = b.width() / 2; x < b.width(); ++x) {
      platform::Pixel p = b.pixelAt(x, y);
      const bool red = p.r > p.g + 60 && p.r > p.b + 60;
      const bool grey = !red && p.r < 200 && std::abs(p.r - p.g) < 20 && std::abs(p.g - p.b) < 20;
      if (red) textRight = std::max(textRight, x);
      // The read mark's corner picture and the separator lie at the row's top and bottom edges.
      if (grey && y > 4 && y < b.height() - 4 && x > 2 * (320 - 25)) markLeft = std::min(markLeft, x);
    }
  ASSERT_GE(textRight, 0) << "the texts are drawn";
  ASSERT_LT(markLeft, b.width()) << "the mark is drawn";
  EXPECT_LE(textRight / 2.0, 320 - 25) << "the texts end where the row says";
  EXPECT_GE((markLeft - textRight) / 2.0, 6) << "the mark keeps its gap";
}

TEST_F(JobListCellsTest, TheTickBoxIsEightyWideAndItsPictureStaysLeftOfTheName) {
  auto record = job("", "", "");
  record->set_jobname("Java开发工程师");
  auto cell = std::dynamic_pointer_cast<JobListSearchResultCell>(
      shownRow(platform::classFor<JobListSearchResultCell>(), record));
  ASSERT_TRUE(cell);
  auto& box = *cell->checkView();
  EXPECT_EQ(box.frame().x(), 0);
  EXPECT_EQ(box.frame().width(), 80);
  auto image = box.imageView()->image();
  ASSERT_TRUE(image);
  EXPECT_EQ(box.imageView()->frame().size, image->size()) << "drawn at its own size";
  EXPECT_LE(box.imageView()->frame().maxX(), cell->jobname()->frame().x()) << "clear of the job name";
}

// A badge says what it is: its white word covers much of its height, where a bare tag would show
// at most a stroke across its middle.
TEST_F(JobListCellsTest, TheBadgesCarryTheirWord) {
  auto wordRows = [](const platform::Image& image) {
    const auto& bitmap = *image.bitmap();
    int rows = 0;
    for (int y = 0; y < bitmap.height(); ++y) {
      const std::uint8_t* row = bitmap.data() + static_cast<std::size_t>(y) * bitmap.bytesPerRow();
      bool white = false;
      for (int x = 0; x < bitmap.width() && !white; ++x) {
        const std::uint8_t* p = row + 4 * x;
        white = p[0] > 200 && p[1] > 200 && p[2] > 200 && p[3] > 200;
      }
      rows += white ? 1 : 0;
    }
    return static_cast<double>(rows) / bitmap.height();
  };
  for (const char* type : {"jobslist_result_internship", "jobslist_result_campus"}) {
    auto image = AppSkin::imageWithSkinType(type, "job_related");
    ASSERT_TRUE(image) << type;
    EXPECT_GT(wordRows(*image), 0.4) << type;
  }
  auto applied = std::make_shared<platform::ImageView>(platform::Rect{});
  AppSkin::apply(applied, "jobsearch_result_applied", "job_related");
  ASSERT_TRUE(applied->image());
  EXPECT_GT(wordRows(*applied->image()), 0.4);
}

TEST_F(JobListCellsTest, AResultRowShowsTheInternshipBadgeButNeverTheAppliedOne) {
  auto record = job("", "", "");
  record->set_jobname("实习生");
  record->setBool(true, "isintern");
  record->setBool(true, "isapply");
  auto favorite = std::dynamic_pointer_cast<JobListFavoriteCell>(
      shownRow(platform::classFor<JobListFavoriteCell>(), record));
  ASSERT_TRUE(favorite);
  auto applied = favorite->appliedImgView()->image();
  ASSERT_TRUE(applied) << "the favorites list shows the badge";
  auto cell = std::dynamic_pointer_cast<JobListSearchResultCell>(
      shownRow(platform::classFor<JobListSearchResultCell>(), record));
  ASSERT_TRUE(cell);
  EXPECT_FALSE(cell->internImgView()->isHidden());
  std::function<int(const platform::View&)> shownApplied = [&](const platform::View& v) {
    if (v.isHidden()) return 0;
    auto* image = dynamic_cast<const platform::ImageView*>(&v);
    int n = image && image->image() == applied ? 1 : 0;
    for (const auto& sub : v.subviews()) n += shownApplied(*sub);
    return n;
  };
  EXPECT_EQ(shownApplied(*cell), 0);
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

// Scrolling hands a row's cell over to rows further on: each must show its own record, whatever
// the cell showed before (texts, badge, tick, read state and the colour that goes with it).
class ReusedResultRowsTest : public JobListCellsTest {
 protected:
  static constexpr int Rows = 40;
  static bool intern(int i) { return i % 3 == 0; }
  bool ticked(int i) const { return (i % 4 == 1) != (i == flipped); }
  static bool read(int i) { return i % 5 == 2; }

  void SetUp() override {
    JobListCellsTest::SetUp();
    list = ListView::plainListViewForDelegate(ctrl);
    list->setFrame(platform::Rect(0, 0, 320, 400));
    window->rootViewController()->view()->addSubview(list);
    auto section = ListViewData::newDataOnListView(*list, platform::classFor<JobListSearchResultCell>());
    for (int i = 0; i < Rows; ++i) {
      auto r = DataItemDetail::newDetail();
      r->set_jobid(std::to_string(5000 + i));
      // Names of different widths, so that the badge after them moves.
      r->set_jobname(std::string(std::size_t(4 + i % 7), 'J') + std::to_string(i));
      r->set_coname("公司" + std::to_string(i));
      r->set_jobarea("上海");
      r->set_issuedate("2013-05-" + std::to_string(10 + i % 20));
      r->setBool(intern(i), "isintern");
      r->setTableCellIsSelected(i % 4 == 1);
      if (read(i)) JobOperateUtil::setJobHasRead(r->get_jobid());
      section->listData()->addItem(r);
    }
    list->reloadData();
    list->layoutSubviews();
  }

  // The colour the skin gives a job name in that state, from a label of its own.
  static platform::Color nameColour(bool read) {
    auto label = std::make_shared<platform::Label>();
    AppSkin::apply(label, read ? "skin_cell_display_jobname_readed" : "skin_cell_display_jobname");
    return label->textColor();
  }

  void scrollTo(double y) {
    list->setContentOffset({0, y});
    list->layoutSubviews();
  }

  // Every row on screen shows its record.
  void expectRowsShowTheirRecords(double y) {
    for (const auto& ip : list->indexPathsForVisibleRows()) {
      int i = ip.row;
      auto cell = std::dynamic_pointer_cast<JobListSearchResultCell>(list->cellForRowAtIndexPath(ip));
      ASSERT_TRUE(cell) << "row " << i;
      SCOPED_TRACE("row " + std::to_string(i) + " at offset " + std::to_string(y));
      EXPECT_EQ(cell->jobname()->text(), std::string(std::size_t(4 + i % 7), 'J') + std::to_string(i));
      EXPECT_EQ(cell->coname()->text(), "公司" + std::to_string(i));
      EXPECT_EQ(cell->issuedate()->text(), "2013-05-" + std::to_string(10 + i % 20));
      platform::Rect name = cell->jobname()->frame();
      EXPECT_EQ(
          name.width(),
          std::min(
              platform::TextMetrics::sizeWithFont(cell->jobname()->text(), cell->jobname()->font()).width,
              intern(i) ? 160.0 : 178.0));
      EXPECT_EQ(cell->internImgView()->isHidden(), !intern(i));
      if (intern(i)) {
        EXPECT_EQ(cell->internImgView()->frame().x(), name.x() + name.width() + 4);
      }
      EXPECT_EQ(cell->coname()->frame().y(), name.y() + name.height() + 5);
      EXPECT_EQ(cell->checkView()->checked(), ticked(i));
      EXPECT_EQ(cell->checkView()->imageView()->image(),
                ticked(i) ? cell->checkView()->imageChecked() : cell->checkView()->imageNotChecked());
      EXPECT_EQ(cell->readMark()->isHidden(), !read(i));
      EXPECT_EQ(cell->jobname()->textColor(), nameColour(read(i)));
    }
  }
};

TEST_F(ReusedResultRowsTest, RowsScrolledDownAndBackShowTheirOwnRecords) {
  const double bottom = list->contentSize().height - list->bounds().size.height;
  std::set<platform::TableViewCell*> cells;
  for (double y = 0; y <= bottom; y += 23) {
    scrollTo(y);
    expectRowsShowTheirRecords(y);
    for (const auto& c : list->visibleCells()) cells.insert(c.get());
  }
  // A jump back to the top, then up from the bottom in other steps.
  scrollTo(0);
  expectRowsShowTheirRecords(0);
  for (double y = bottom; y >= 0; y -= 61) {
    scrollTo(y);
    expectRowsShowTheirRecords(y);
  }
  EXPECT_LT(cells.size(), std::size_t(Rows) / 2) << "the rows were shown by reused cells";
}

TEST_F(ReusedResultRowsTest, ATickSetOnAReusedRowAndASkinChangeReachTheCellsAlreadyMade) {
  scrollTo(300);
  auto first = list->indexPathsForVisibleRows().front();
  auto cell = std::dynamic_pointer_cast<JobListSearchResultCell>(list->cellForRowAtIndexPath(first));
  ASSERT_TRUE(cell);
  bool was = cell->checkView()->checked();
  ASSERT_TRUE(platform::UIDriver::tap(*cell->checkView()));
  flipped = first.row;
  EXPECT_EQ(list->dataOfIndexPath(first)->getTableCellIsSelected(), !was);
  EXPECT_EQ(cell->checkView()->imageView()->image(),
            was ? cell->checkView()->imageNotChecked() : cell->checkView()->imageChecked());

  scrollTo(0);
  scrollTo(1200);
  scrollTo(300);
  expectRowsShowTheirRecords(300);

  // Another skin colours job names anew; the list shows it with the cells it already has.
  ASSERT_TRUE(installSkin(
      "names",
      zipOf({{"skin.xml",
              bytesOf(skinXml(requiredItems() +
                              "<item skinTarget=\"UILabel\" skinType=\"skin_cell_display_jobname\">"
                              "<textColor>#123456</textColor></item>"
                              "<item skinTarget=\"UILabel\" skinType=\"skin_cell_display_jobname_readed\">"
                              "<textColor>#654321</textColor></item>"))}})));
  ASSERT_TRUE(AppSkin::sharedAppSkin().loadPackage("names"));
  ASSERT_NE(nameColour(false), nameColour(true));
  std::set<platform::TableViewCell*> before;
  for (const auto& c : list->visibleCells()) before.insert(c.get());
  list->reloadData();
  list->layoutSubviews();
  for (const auto& c : list->visibleCells()) EXPECT_TRUE(before.count(c.get())) << "a cell made anew";
  expectRowsShowTheirRecords(300);
  EXPECT_EQ(list->dataOfIndexPath(first)->getTableCellIsSelected(), !was);
}

}  // namespace
}  // namespace kavro::test
