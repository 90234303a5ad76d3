#include <gtest/gtest.h>

#include "kit/ui/CommonHud.h"
#include "kit/ui/CommonHudView.h"
#include "kit/ui/MultiDictPickController.h"
#include "platform/foundation/Format.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/ui/DictPickerTestSupport.h"

namespace kavro {
namespace {

using test::dictXml;

class MultiDictPickControllerTest : public test::DictPickerTest {
 protected:
  std::shared_ptr<MultiDictPickController> open(std::string codes, std::string values) {
    auto earlier = DataItemDetail::newDetail();
    earlier->setDictCode(codes);
    earlier->setDictValue(values);
    auto picker = MultiDictPickController::pickerWidthType(DictType::JobArea, earlier, screen);
    platform::ViewController::finishPendingTransitions();
    picker->view();
    return picker;
  }
  void tap(MultiDictPickController& p, int section, int row) {
    p.listViewSelectedIndexPath(*p.dictView(), platform::IndexPath::forRow(row, section));
  }
  std::string codes(MultiDictPickController& p) { return p.convertDictionaryToDetail()->getDictCode(); }
};

TEST_F(MultiDictPickControllerTest, EarlierPicksShowOnTheBoardAndUnfoldIntoBoxes) {
  auto picker = open("010000,020000,030000", "Beijing,Shanghai");
  EXPECT_EQ(picker->countLabel()->text(), "2/5");
  EXPECT_EQ(picker->dictView()->frame().y(), 88);
  const double listHeight = picker->dictView()->frame().height();
  EXPECT_EQ(listHeight, picker->view()->bounds().height() - 88);
  picker->tapItemsBoard();
  EXPECT_TRUE(picker->isAnimating());
  runFor(0.5);
  EXPECT_FALSE(picker->isAnimating());
  EXPECT_TRUE(picker->isBoardOpen());
  // Each box 34 high, the first at 44 on the board, the next 5 below it; the board ends 10 below
  // the last box and the list starts there, as high as before, with the close button over it.
  std::vector<std::shared_ptr<SelectedItemBox>> boxes;
  for (const auto& v : picker->itemsBoard()->subviews())
    if (auto b = std::dynamic_pointer_cast<SelectedItemBox>(v)) boxes.push_back(b);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0]->itemKey(), "010000");
  for (const auto& box : boxes) {
    EXPECT_EQ(box->frame().height(), 34);
    EXPECT_EQ(box->frame().x(), 10);
    EXPECT_GT(box->frame().width(), 40);
    EXPECT_EQ(box->valueLabel()->center().y, 17);
    // The whole name is shown, 40 points of box around it.
    const auto& label = box->valueLabel();
    EXPECT_DOUBLE_EQ(label->frame().width(),
                     platform::TextMetrics::sizeWithFont(label->text(), label->font()).width);
    EXPECT_DOUBLE_EQ(box->frame().width(), label->frame().width() + 40);
  }
  EXPECT_EQ(boxes[0]->valueLabel()->text(), "Beijing");
  EXPECT_EQ(boxes[1]->valueLabel()->text(), "Shanghai");
  // A name too long for the board is cut at 85 % of its width.
  auto longBox = SelectedItemBox::initWithValue(std::string(200, 'W'), picker);
  EXPECT_DOUBLE_EQ(longBox->valueLabel()->frame().width(), picker->view()->bounds().width() * 0.85);
  EXPECT_DOUBLE_EQ(longBox->frame().width(), picker->view()->bounds().width() * 0.85 + 40);
  EXPECT_EQ(boxes[0]->frame().y(), 44);
  EXPECT_EQ(boxes[1]->frame().y(), boxes[0]->frame().maxY() + 5);
  EXPECT_EQ(picker->itemsBoard()->frame().height(), boxes[1]->frame().maxY() + 10);
  EXPECT_EQ(picker->dictView()->frame().y(), picker->itemsBoard()->frame().maxY());
  EXPECT_EQ(picker->dictView()->frame().height(), listHeight);
  EXPECT_EQ(picker->closeBoardButton()->frame(), picker->dictView()->frame());

  // A tap on a box takes its pick away.
  ASSERT_TRUE(platform::UIDriver::tap(*boxes[0])) << platform::UIDriver::describeScreen();
  EXPECT_EQ(picker->countLabel()->text(), "1/5");
  runFor(0.6);
  EXPECT_EQ(boxes[1]->frame().y(), 44) << "the box left moves up";
  EXPECT_EQ(picker->itemsBoard()->frame().height(), 44 + 34 + 10);
  EXPECT_EQ(picker->dictView()->frame().y(), picker->itemsBoard()->frame().maxY());
  EXPECT_EQ(picker->dictView()->frame().height(), listHeight);
  EXPECT_EQ(picker->closeBoardButton()->frame(), picker->dictView()->frame());
  picker->deleteItem(*boxes[1]);
  runFor(0.6);
  runFor(0.6);
  EXPECT_EQ(picker->pickedDictionary()->count(), 0u);
  EXPECT_FALSE(picker->isBoardOpen());
  EXPECT_EQ(picker->dictView()->frame().y(), 88);
  EXPECT_EQ(picker->dictView()->frame().height(), listHeight);
}

TEST_F(MultiDictPickControllerTest, ATapOnTheCoveredListFoldsTheBoard) {
  auto picker = open("010000", "Beijing");
  picker->tapItemsBoard();
  runFor(0.5);
  ASSERT_TRUE(picker->isBoardOpen());
  picker->closeItemsBoard();
  runFor(0.5);
  EXPECT_FALSE(picker->isBoardOpen());
  EXPECT_EQ(picker->itemsBoard()->frame().height(), 44);
  EXPECT_EQ(picker->dictView()->frame().y(), 88);
  EXPECT_EQ(picker->closeBoardButton()->frame(), platform::Rect());
}

TEST_F(MultiDictPickControllerTest, PickingReplacesAncestorsAndDescendantsAndStopsAtFive) {
  auto picker = open("030200,030300", "Guangzhou,Shenzhen");
  server.answer(0, dictXml({{"030000", "Guangdong", true, false, true},
                            {"0400", "Tianjin"},
                            {"0500", "Chongqing"},
                            {"0600", "Xian"},
                            {"0700", "Wuhan"},
                            {"0800", "Hefei"},
                            {"000", "No limit"}}));
  auto hot = picker->dictView()->dataOfSection(1);
  ASSERT_EQ(hot->count(), 1u);
  EXPECT_EQ(
      hot->listData()->dataList()[0]->getItemValue(),
      platform::format(AppCoreInfo::getLocalizedString("dictpicker_picked_selected_item_format__int"), 2));

  // A province's own entry one level down replaces its picked cities.
  auto province = hot->listData()->dataList()[0];
  auto child = DataItemDetail::newDetail();
  child->setDictCode("030000");
  child->setDictValue("all of Guangdong");
  auto others = picker->dictView()->dataOfSection(2);
  others->listData()->addItem(child);
  tap(*picker, 2, 6);
  EXPECT_EQ(codes(*picker), "030000");

  for (int row = 0; row < 5; ++row) tap(*picker, 2, row);
  EXPECT_EQ(codes(*picker), "030000,0400,0500,0600,0700");
  tap(*picker, 2, 1);  // picked already: removed
  EXPECT_EQ(codes(*picker), "030000,0400,0600,0700");

  tap(*picker, 2, 5);  // a code of zeros only stands for "no limit"
  EXPECT_EQ(codes(*picker), "000");
}

TEST_F(MultiDictPickControllerTest, ASixthPickIsRefused) {
  auto picker = open("01,02,03,04,05,06", "a,b,c,d,e,f");
  EXPECT_EQ(picker->pickedDictionary()->count(), 5u);
  server.answer(0, dictXml({{"09", "nine"}}));
  tap(*picker, 2, 0);
  EXPECT_EQ(picker->pickedDictionary()->count(), 5u);
  EXPECT_EQ(codes(*picker), "01,02,03,04,05");
  ASSERT_TRUE(CommonHud::currentInstance());
  EXPECT_EQ(CommonHud::currentInstance()->hudView()->caption(),
            AppCoreInfo::getLocalizedString("dictpicker_picked_area_over_five"));
}

TEST_F(MultiDictPickControllerTest, SureReportsEveryPickAndALowerLevelSharesThem) {
  auto picker = open("", "");
  server.answer(0, dictXml({{"030000", "Guangdong", true}}));
  tap(*picker, 2, 0);
  platform::ViewController::finishPendingTransitions();
  auto child = std::dynamic_pointer_cast<MultiDictPickController>(nav->topViewController());
  ASSERT_TRUE(child && child != picker);
  EXPECT_EQ(child->pickedDictionary(), picker->pickedDictionary());
  child->view();
  server.answer(1, dictXml({{"030200", "Guangzhou"}, {"030300", "Shenzhen"}}));
  tap(*child, 0, 0);
  tap(*child, 0, 1);
  EXPECT_TRUE(child->dictView()->dataOfSection(0)->listData()->dataList()[0]->getDictIsSelected());
  child->finishPick();
  platform::ViewController::finishPendingTransitions();
  ASSERT_EQ(screen->picked.size(), 1u);
  EXPECT_EQ(screen->picked[0]->getDictCode(), "030200,030300");
  EXPECT_EQ(screen->picked[0]->getDictValue(), "Guangzhou,Shenzhen");
  EXPECT_EQ(nav->topViewController(), screen);
}

TEST_F(MultiDictPickControllerTest, SureWithoutPicksReportsEmptyTexts) {
  auto picker = open("", "");
  picker->finishPick();
  ASSERT_EQ(screen->picked.size(), 1u);
  EXPECT_EQ(screen->picked[0]->getDictCode(), "");
  EXPECT_EQ(screen->picked[0]->getDictValue(), "");
}

}  // namespace
}  // namespace kavro
