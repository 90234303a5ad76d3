#include <gtest/gtest.h>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/PickerController.h"
#include "kit/ui/TitleCell.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/UIDriver.h"
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

// As a person uses it: rows and the return item are tapped on screen.
TEST_F(PickerControllerTest, TappedRowsPickRetryAndPageAndTheReturnItemClosesWithoutAPick) {
  auto picker = open();
  auto receiver = std::make_shared<Receiver>();
  picker->setDelegate(receiver);
  auto list = picker->listForPicker();
  auto rowAt = [&](int row) {
    list->layoutIfNeeded();
    auto ip = platform::IndexPath::forRow(row, 0);
    list->scrollToRowAtIndexPath(ip, platform::TableViewScrollPosition::Bottom, false);
    return list->cellForRowAtIndexPath(ip);
  };

  picker->answer = test::pageXml(0, {}, false, "no service");
  auto section = picker->loadListView(platform::classFor<TitleCell>());
  picker->deliver(*section);
  ASSERT_EQ(list->numberOfRowsInSection(0), 1);
  // The error row asks for the same page again (the picker takes no part in the retry).
  picker->answer = test::pageXml(12, test::ids(1, 10, 12));
  auto error = rowAt(0);
  ASSERT_TRUE(error);
  ASSERT_TRUE(platform::UIDriver::tap(*error));
  ASSERT_EQ(picker->loaders.size(), 2u);
  EXPECT_EQ(section->pageAt(), 1u);
  picker->deliver(*section);
  EXPECT_EQ(section->count(), 10u);
  EXPECT_EQ(section->listData()->maxCount(), 12u);

  // The more row fetches the rest.
  picker->answer = test::pageXml(12, test::ids(11, 10, 12));
  auto more = rowAt(10);
  ASSERT_TRUE(more);
  platform::UIDriver::tap(*more);
  ASSERT_EQ(picker->loaders.size(), 3u);
  picker->deliver(*section);
  EXPECT_EQ(section->count(), 12u);
  EXPECT_EQ(list->numberOfRowsInSection(0), 12);

  // The return item closes the picker and hands nothing over.
  auto returnTitle = AppCoreInfo::getLocalizedString("common_text_return");
  ASSERT_TRUE(platform::UIDriver::tap(returnTitle)) << platform::UIDriver::describeScreen();
  platform::ViewController::finishPendingTransitions();
  EXPECT_TRUE(receiver->picked.empty());
  EXPECT_EQ(window->rootViewController()->presentedViewController(), nullptr);
}

TEST_F(PickerControllerTest, ATappedRecordClosesThePickerBeforeTheDelegateHearsOfIt) {
  auto picker = open();
  struct Watcher : pickerControllerDelegate {
    std::shared_ptr<platform::ViewController> root;
    bool closedFirst = false;
    std::string picked;
    bool finishPicker(PickerController&, const std::shared_ptr<DataItemDetail>& data) override {
      platform::ViewController::finishPendingTransitions();
      closedFirst = root->presentedViewController() == nullptr;
      picked = data->getString("jobid");
      return true;
    }
  };
  auto watcher = std::make_shared<Watcher>();
  watcher->root = window->rootViewController();
  picker->setDelegate(watcher);
  picker->answer = test::pageXml(3, test::ids(1, 3, 3));
  auto section = picker->loadListView(platform::classFor<TitleCell>());
  picker->deliver(*section);
  auto list = picker->listForPicker();
  list->layoutIfNeeded();
  auto cell = list->cellForRowAtIndexPath(platform::IndexPath::forRow(1, 0));
  ASSERT_TRUE(cell);
  ASSERT_TRUE(platform::UIDriver::tap(*cell));
  EXPECT_EQ(watcher->picked, "2");
  EXPECT_TRUE(watcher->closedFirst);
}

}  // namespace
}  // namespace kavro
