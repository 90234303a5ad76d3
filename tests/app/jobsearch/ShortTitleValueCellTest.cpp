// The detail rows: heights computed from the record alone agree with what binding lays out.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/jobsearch/FullTitleCell.h"
#include "app/jobsearch/JobDetailCellUtil.h"
#include "app/jobsearch/ShortTitleValueAddressCell.h"
#include "app/jobsearch/ShortTitleValueCell.h"
#include "app/jobsearch/ShortTitleValueClickAbleCell.h"
#include "app/jobsearch/TextViewInputCell.h"
#include "app/jobsearch/TitleDescriptionCell.h"
#include "app/jobsearch/TwoColumnTitleValueCell.h"
#include "kit/ui/ListView.h"
#include "tests/app/jobsearch/JobDetailViewTestSupport.h"

namespace kavro::test {
namespace {

// A form screen that hears the multi-line input.
struct Form : ListViewDelegate, TextViewInputDelegate {
  std::vector<std::string> seen;
  bool onEditingChanged(platform::TextView& tv) override {
    seen.push_back(tv.text());
    return true;
  }
};

class ShortTitleValueCellTest : public KitUITest {
 protected:
  std::shared_ptr<ListView> makeList(bool grouped) {
    auto list =
        grouped ? ListView::groupedListViewForDelegate(form) : ListView::plainListViewForDelegate(form);
    list->setFrame(platform::Rect(0, 0, 320, 480));
    window->addSubview(list);
    section = ListViewData::newDataOnListView(*list, platform::classFor<ShortTitleValueCell>());
    return list;
  }
  double height(ListView& list, int row) {
    auto cls = list.cellClassAtIndexPath(platform::IndexPath::forRow(row, 0));
    return *cls->callClassFunction(&CellClassFunctions::heightForCell, list,
                                   platform::IndexPath::forRow(row, 0));
  }
  template <class T>
  std::shared_ptr<T> cell(ListView& list, int row) {
    list.reloadData();
    return std::dynamic_pointer_cast<T>(list.cellForRowAtIndexPath(platform::IndexPath::forRow(row, 0)));
  }

  std::shared_ptr<Form> form = std::make_shared<Form>();
  std::shared_ptr<ListViewData> section;
};

TEST_F(ShortTitleValueCellTest, AOneLineValueIsFortyFourHighAndALongOneGrows) {
  auto list = makeList(false);
  JobDetailCellUtil::addNormalRow(*section, "人数", "2", 7);
  JobDetailCellUtil::addNormalRow(*section, "职位", std::string(300, 'x'), 8);
  JobDetailCellUtil::addNormalRow(*section, "空", "", 9);
  ASSERT_EQ(section->count(), 2u) << "an empty value gives no row";
  EXPECT_EQ(height(*list, 0), 44);
  double tall = height(*list, 1);
  EXPECT_GT(tall, 44);
  auto c = cell<ShortTitleValueCell>(*list, 1);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->value()->frame().height() + 20, tall) << "measured and laid out alike";
  EXPECT_EQ(c->title()->frame().origin.x, 10);
  EXPECT_FALSE(c->isUserInteractionEnabled());
}

TEST_F(ShortTitleValueCellTest, AGroupedListMovesTheTitleAndNarrowsTheValue) {
  auto plain = makeList(false);
  JobDetailCellUtil::addNormalRow(*section, "人数", "2", 7);
  auto plainCell = cell<ShortTitleValueCell>(*plain, 0);
  auto grouped = makeList(true);
  JobDetailCellUtil::addNormalRow(*section, "人数", "2", 7);
  auto groupedCell = cell<ShortTitleValueCell>(*grouped, 0);
  EXPECT_EQ(groupedCell->title()->frame().origin.x, 20);
  EXPECT_EQ(plainCell->value()->frame().width() - groupedCell->value()->frame().width(), 20);
}

TEST_F(ShortTitleValueCellTest, TheAddressRowLeavesRoomForItsIcon) {
  auto list = makeList(false);
  JobDetailCellUtil::addNormalRow(*section, "地址", "上海", 9);
  JobDetailCellUtil::addAddressRow(*section, "地址", "上海", 9);
  auto normal = cell<ShortTitleValueCell>(*list, 0);
  auto address = cell<ShortTitleValueAddressCell>(*list, 1);
  ASSERT_TRUE(address);
  EXPECT_EQ(normal->value()->frame().width() - address->value()->frame().width(),
            ShortTitleValueAddressCell::ValueReduction);
  EXPECT_EQ(address->icon()->frame().maxX(), 320 - 15 - 10);
  ASSERT_TRUE(address->icon()->image()) << "the map pin is drawn";
  EXPECT_EQ(address->icon()->image()->size(), (platform::Size{16, 22}));
  // The pin stands where the disclosure mark would be drawn: one mark, not two over each other.
  EXPECT_EQ(address->accessoryType(), platform::TableViewCellAccessoryType::None);
  EXPECT_TRUE(address->isUserInteractionEnabled());
}

TEST_F(ShortTitleValueCellTest, TwoColumnsFallBackToNormalRowsWhenAValueIsMissing) {
  auto list = makeList(false);
  JobDetailCellUtil::addTwoColumnRow(*section, "性质", "民营", "规模", "50人", 3);
  JobDetailCellUtil::addTwoColumnRow(*section, "性质", "民营", "规模", "", 3);
  JobDetailCellUtil::addTwoColumnRow(*section, "性质", "", "规模", "80人", 5);
  ASSERT_EQ(section->count(), 3u);
  EXPECT_EQ(section->listData()->getItem(2)->getItemTitle(), "规模");
  EXPECT_EQ(section->listData()->getItem(2)->getItemValue(), "80人");
  EXPECT_EQ(list->tagOfIndexPath(platform::IndexPath::forRow(2, 0)), 5);
  EXPECT_EQ(list->cellClassAtIndexPath(platform::IndexPath::forRow(0, 0))->name(), "TwoColumnTitleValueCell");
  EXPECT_EQ(list->cellClassAtIndexPath(platform::IndexPath::forRow(1, 0))->name(), "ShortTitleValueCell");
  EXPECT_EQ(list->tagOfIndexPath(platform::IndexPath::forRow(1, 0)), 3);
  auto two = cell<TwoColumnTitleValueCell>(*list, 0);
  EXPECT_EQ(two->title2()->frame().origin.x, 10 + (320 - 20 - 10) / 2.0 + 10);
  EXPECT_EQ(height(*list, 0), 44);
}

TEST_F(ShortTitleValueCellTest, TwoColumnsShowAllFourTextsSideBySideAndTheTallestSetsTheHeight) {
  auto list = makeList(false);
  JobDetailCellUtil::addTwoColumnRow(*section, "性质", "民营", "规模", "50人", 3);
  JobDetailCellUtil::addTwoColumnRow(*section, "性质", "民营", "规模", std::string(200, 'y'), 4);
  JobDetailCellUtil::addTwoColumnRow(*section, "性质", std::string(200, 'x'), "规模", "80人", 5);
  auto two = cell<TwoColumnTitleValueCell>(*list, 0);
  ASSERT_TRUE(two);
  const double half = (320 - 20 - 10) / 2.0;
  const std::vector<std::pair<std::shared_ptr<platform::Label>, std::string>> shown = {
      {two->title1(), "性质"}, {two->value1(), "民营"}, {two->title2(), "规模"}, {two->value2(), "50人"}};
  const std::vector<double> lefts = {10, 10 + 45, 10 + half + 10, 10 + half + 10 + 45};
  for (std::size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(shown[i].first->text(), shown[i].second) << i;
    EXPECT_EQ(shown[i].first->frame().origin.x, lefts[i]) << i;
    EXPECT_EQ(shown[i].first->frame().origin.y, 10) << i;
    EXPECT_GT(shown[i].first->frame().height(), 0) << i;
  }
  EXPECT_EQ(two->value1()->frame().width(), half - 45);
  EXPECT_EQ(two->value2()->frame().width(), half - 45);
  // A long value in either column grows the row to hold it, measured as it is laid out.
  for (int row : {1, 2}) {
    auto tall = cell<TwoColumnTitleValueCell>(*list, row);
    ASSERT_TRUE(tall) << row;
    const auto& value = row == 1 ? tall->value2() : tall->value1();
    EXPECT_GT(value->frame().height(), 44) << row;
    EXPECT_EQ(height(*list, row), value->frame().height() + 20) << row;
  }
}

TEST_F(ShortTitleValueCellTest, AFullTitleUsesTheRecordsTitleSkinForMeasureAndShow) {
  auto list = makeList(false);
  JobDetailCellUtil::addTitleRow(*section, "全部职位", 15);
  JobDetailCellUtil::addTitleRow(*section, "", 16);
  ASSERT_EQ(section->count(), 1u);
  section->listData()->getItem(0)->setTitleSkin("title");
  auto c = cell<FullTitleCell>(*list, 0);
  double expected = AppSkin::sizeForTextWithSkinKey("全部职位", "title", 300).height;
  EXPECT_EQ(c->title()->frame().height(), expected);
  EXPECT_EQ(c->title()->font().pointSize(), 17) << "the skin's title font";
  EXPECT_EQ(height(*list, 0), std::max(44.0, expected + 20));

  // A title longer than the row is wide wraps onto as many lines as it needs, all of them shown.
  const std::string longTitle = "上海浦江数据科技有限公司的全部职位，按发布日期排列，每页十个";
  section->listData()->getItem(0)->setItemTitle(longTitle);
  c = cell<FullTitleCell>(*list, 0);
  const double tall = AppSkin::sizeForTextWithSkinKey(longTitle, "title", 300).height;
  ASSERT_GE(tall, 2 * expected) << "the long title takes two lines or more";
  EXPECT_EQ(c->title()->frame().height(), tall);
  EXPECT_EQ(c->title()->textRectForBounds(c->title()->bounds(), c->title()->numberOfLines()).height(), tall);
  EXPECT_EQ(height(*list, 0), tall + 20);
}

// A row that opens something shows the arrow and highlights when touched; a row that only says
// something shows neither.
TEST_F(ShortTitleValueCellTest, OnlyRowsThatOpenSomethingShowTheArrow) {
  auto list = makeList(false);
  JobDetailCellUtil::addNormalClickRow(*section, "公司", "上海浦江数据科技有限公司", 1);
  JobDetailCellUtil::addNormalRow(*section, "人数", "2", 2);
  JobDetailCellUtil::addDescriptionRow(*section, "职位描述", "负责开发", 3);
  auto opens = cell<ShortTitleValueClickAbleCell>(*list, 0);
  ASSERT_TRUE(opens);
  EXPECT_EQ(opens->accessoryType(), platform::TableViewCellAccessoryType::DisclosureIndicator);
  EXPECT_EQ(opens->selectionStyle(), platform::TableViewCellSelectionStyle::Blue);
  EXPECT_TRUE(opens->isUserInteractionEnabled());
  auto says = cell<ShortTitleValueCell>(*list, 1);
  ASSERT_TRUE(says);
  EXPECT_EQ(says->accessoryType(), platform::TableViewCellAccessoryType::None);
  auto description = cell<TitleDescriptionCell>(*list, 2);
  ASSERT_TRUE(description);
  EXPECT_EQ(description->accessoryType(), platform::TableViewCellAccessoryType::None);
  EXPECT_EQ(description->selectionStyle(), platform::TableViewCellSelectionStyle::None);
}

TEST_F(ShortTitleValueCellTest, TheDescriptionRowStacksItsTexts) {
  auto list = makeList(true);
  JobDetailCellUtil::addDescriptionRow(*section, "职位描述", "负责开发\n参与评审", 8);
  auto c = cell<TitleDescriptionCell>(*list, 0);
  EXPECT_EQ(c->value()->frame().origin.y, c->title()->frame().maxY() + 5);
  EXPECT_EQ(height(*list, 0), c->title()->frame().height() + c->value()->frame().height() + 25);
}

// A row's height is worked out from the record and the list alone, before any cell exists; on a
// list of another size (a wider screen, the phone turned) it must still be the height the bound
// cell lays out, each text wrapped at the list's width.
TEST_F(ShortTitleValueCellTest, EveryDetailRowMeasuresAsItLaysOutOnAListOfAnyWidth) {
  const std::string longText(300, 'x');
  for (platform::Size size :
       {platform::Size{320, 480}, platform::Size{480, 320}, platform::Size{768, 1024}}) {
    SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
    // Each row alone on a list of that size, so its cell is on screen.
    auto listWith = [&](const std::function<void()>& addRow) {
      auto list = makeList(false);
      list->setFrame(platform::Rect({0, 0}, size));
      addRow();
      return list;
    };

    auto list = listWith([&] { JobDetailCellUtil::addDescriptionRow(*section, "职位描述", longText, 1); });
    auto description = cell<TitleDescriptionCell>(*list, 0);
    ASSERT_TRUE(description);
    EXPECT_EQ(description->value()->frame().width(), size.width - 20);
    EXPECT_GT(description->value()->frame().height(), 44) << "the long text wraps";
    EXPECT_EQ(height(*list, 0),
              description->title()->frame().height() + description->value()->frame().height() + 25);

    list = listWith([&] { JobDetailCellUtil::addNormalRow(*section, "职位", longText, 2); });
    auto normal = cell<ShortTitleValueCell>(*list, 0);
    ASSERT_TRUE(normal);
    EXPECT_EQ(height(*list, 0), normal->value()->frame().height() + 20);

    list =
        listWith([&] { JobDetailCellUtil::addTwoColumnRow(*section, "性质", longText, "规模", "50人", 3); });
    auto two = cell<TwoColumnTitleValueCell>(*list, 0);
    ASSERT_TRUE(two);
    EXPECT_EQ(two->value1()->frame().width(), (size.width - 20 - 10) / 2 - 45);
    EXPECT_EQ(height(*list, 0), two->value1()->frame().height() + 20);
    // Rows that only show a fact take no taps; the title row leads somewhere.
    EXPECT_FALSE(description->isUserInteractionEnabled());
    EXPECT_FALSE(normal->isUserInteractionEnabled());
    EXPECT_FALSE(two->isUserInteractionEnabled());

    list = listWith([&] { JobDetailCellUtil::addTitleRow(*section, longText, 4); });
    auto title = cell<FullTitleCell>(*list, 0);
    ASSERT_TRUE(title);
    EXPECT_EQ(title->title()->frame().width(), size.width - 20);
    EXPECT_EQ(height(*list, 0), title->title()->frame().height() + 20);
    EXPECT_TRUE(title->isUserInteractionEnabled());
  }
}

TEST_F(ShortTitleValueCellTest, TypingIntoTheTextRowKeepsTheRecordCurrentAndTellsTheForm) {
  auto list = makeList(true);
  auto row = DataItemDetail::newDetail();
  row->setCellClass(platform::classFor<TextViewInputCell>());
  row->setInputPlaceHold("说明");
  section->listData()->addItem(row);
  EXPECT_EQ(height(*list, 0), TextViewInputCell::Height);
  auto c = cell<TextViewInputCell>(*list, 0);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->textview()->placeholder(), "说明");
  c->textview()->becomeFirstResponder();
  c->textview()->insertText("虚");
  EXPECT_EQ(row->getInputValue(), "虚");
  c->textview()->insertText("假");
  EXPECT_EQ(row->getInputValue(), "虚假");
  EXPECT_EQ(form->seen, (std::vector<std::string>{"虚", "虚假"}));
  // Leaving the row tells the form once more, with the text as it stands; beginning tells nothing.
  EXPECT_TRUE(c->textview()->resignFirstResponder());
  EXPECT_EQ(form->seen, (std::vector<std::string>{"虚", "虚假", "虚假"}));
  EXPECT_TRUE(c->textview()->becomeFirstResponder());
  EXPECT_EQ(form->seen.size(), 3u);
  EXPECT_EQ(row->getInputValue(), "虚假");
}

}  // namespace
}  // namespace kavro::test
