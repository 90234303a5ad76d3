#include <gtest/gtest.h>

#include "kit/ui/PickerController.h"
#include "kit/ui/TitleCell.h"
#include "platform/ui/NavigationController.h"
#include "tests/kit/ui/KitUITest.h"
#include "tests/kit/ui/ListTestSupport.h"

namespace kavro {
namespace {

class AreaPicker : public PickerController {
 public:
  std::string answer;
  std::vector<std::shared_ptr<DataLoadAndParser>> loaders;
  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData&) override {
    loaders.push_back(DataLoadAndParser::initWithData(answer));
    return loaders.back();
  }
  void deliver(ListViewData& section) {
    auto loader = loaders.back();
    section.dataLoader(*loader, *loader->getResult());
  }
};

class Receiver : public pickerControllerDelegate {
 public:
  bool finishPicker(PickerController&, const std::shared_ptr<DataItemDetail>& data) override {
    picked.push_back(data);
    return true;
  }
  std::vector<std::shared_ptr<DataItemDetail>> picked;
};

class PickerControllerTest : public test::KitUITest {
 protected:
  std::shared_ptr<AreaPicker> open() {
    auto picker = UIBasicController::create<AreaPicker>();
    auto nav = platform::NavigationController::create(picker);
    window->rootViewController()->presentViewController(nav, false);
    platform::ViewController::finishPendingTransitions();
    picker->view();
    return picker;
  }
};

TEST_F(PickerControllerTest, PagesLikeAListAndHandsTheTappedRecordToItsDelegate) {
  auto picker = open();
  auto receiver = std::make_shared<Receiver>();
  picker->setDelegate(receiver);
  picker->answer = test::pageXml(25, test::ids(1, 10, 25));
  auto section = picker->loadListView(platform::classFor<TitleCell>());
  ASSERT_EQ(picker->loaders.size(), 1u);
  picker->deliver(*section);
  EXPECT_EQ(section->count(), 10u);
  EXPECT_TRUE(section->hasNextPage());
  EXPECT_EQ(picker->listForPicker()->frame().y(), 44);

  picker->listForPicker()->didSelectRowAtIndexPath(*picker->listForPicker(),
                                                   platform::IndexPath::forRow(2, 0));
  platform::ViewController::finishPendingTransitions();
  ASSERT_EQ(receiver->picked.size(), 1u);
  EXPECT_EQ(receiver->picked[0]->getString("jobid"), "3");
  EXPECT_EQ(window->rootViewController()->presentedViewController(), nullptr);
}

TEST_F(PickerControllerTest, AnErrorAnswerShowsTheErrorRowAndAMissingDelegateStillCloses) {
  auto picker = open();
  picker->answer = test::pageXml(0, {}, false, "no service");
  auto section = picker->loadListView(platform::classFor<TitleCell>());
  picker->deliver(*section);
  EXPECT_TRUE(section->listData()->hasError());
  EXPECT_EQ(section->listData()->message(), "no service");
  EXPECT_EQ(section->count(), 0u);

  picker->answer = test::pageXml(1, {7});
  section->loadData();
  picker->deliver(*section);
  ASSERT_EQ(section->count(), 1u);
  picker->listViewSelectedIndexPath(*picker->listForPicker(), platform::IndexPath::forRow(0, 0));
  platform::ViewController::finishPendingTransitions();
  EXPECT_EQ(window->rootViewController()->presentedViewController(), nullptr);
}

}  // namespace
}  // namespace kavro
