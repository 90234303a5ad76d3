#include <gtest/gtest.h>

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/ListView.h"
#include "kit/ui/TitleInputCell.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "tests/support/TempHome.h"
#include "tests/support/VirtualRunLoop.h"

namespace kavro::test {
namespace {

class FormController : public ListViewDelegate {
 public:
  int changes = 0;
  int submits = 0;
  bool onEditingChanged(platform::TextField&) override {
    ++changes;
    return true;
  }
  bool submitData(ListView&) override {
    ++submits;
    return true;
  }
};

class TitleInputCellTest : public VirtualRunLoopTest {
 protected:
  TempHome home;
  void SetUp() override {
    VirtualRunLoopTest::SetUp();
    window = std::make_shared<platform::Window>();
    window->makeKeyAndVisible();
    ctrl = std::make_shared<FormController>();
    list = ListView::groupedListViewForDelegate(ctrl);
    list->setFrame(platform::Rect(0, 0, 320, 480));
    window->addSubview(list);
    auto form = ListViewData::newDataOnListView(*list, platform::classFor<TitleInputCell>());
    for (const char* title : {"Name", "Password"}) {
      auto record = DataItemDetail::newDetail();
      record->setItemTitle(title);
      record->setInputPlaceHold(std::string("your ") + title);
      form->listData()->addItem(record);
    }
    form->listData()->getItem(1)->setInputIsPassword(true);
    form->listData()->getItem(1)->setInputIsNumberic(true);
    list->reloadData();
    list->layoutIfNeeded();
  }
  void TearDown() override {
    list->stopLoading();
    list.reset();
    window.reset();
    platform::Application::destroySharedApplication();
    // The stores the list opened stand in this test's home, which goes with the test.
    AppCoreInfo::destroyAppCoreInfo();
    VirtualRunLoopTest::TearDown();
  }
  std::shared_ptr<TitleInputCell> cell(int row) {
    return std::dynamic_pointer_cast<TitleInputCell>(
        list->cellForRowAtIndexPath(platform::IndexPath::forRow(row, 0)));
  }

  std::shared_ptr<platform::Window> window;
  std::shared_ptr<FormController> ctrl;
  std::shared_ptr<ListView> list;
};

TEST_F(TitleInputCellTest, TypingKeepsTheRecordInStepAndReturnMovesOnThenSubmits) {
  auto name = cell(0);
  auto password = cell(1);
  ASSERT_TRUE(name && password);
  EXPECT_EQ(name->label()->text(), "Name");
  EXPECT_EQ(name->input()->placeholder(), "your Name");
  EXPECT_FALSE(name->input()->isSecureTextEntry());
  EXPECT_EQ(name->input()->keyboardType(), platform::KeyboardType::ASCIICapable);
  EXPECT_TRUE(password->input()->isSecureTextEntry());
  EXPECT_EQ(password->input()->keyboardType(), platform::KeyboardType::NumberPad);

  ASSERT_TRUE(name->input()->becomeFirstResponder());
  name->input()->insertText("Li");
  EXPECT_EQ(name->detail()->getInputValue(), "Li");
  name->input()->insertText("磊");
  EXPECT_EQ(name->detail()->getInputValue(), "Li磊");
  EXPECT_EQ(ctrl->changes, 2);
  EXPECT_EQ(name->input()->text(), "Li磊") << "what was typed is shown";

  // The field offers its clear button while editing; clearing empties the record too.
  EXPECT_EQ(name->input()->clearButtonMode(), platform::TextFieldViewMode::WhileEditing);
  ASSERT_TRUE(name->input()->clear());
  EXPECT_EQ(name->input()->text(), "");
  EXPECT_EQ(name->detail()->getInputValue(), "");
  EXPECT_EQ(ctrl->changes, 3);
  name->input()->insertText("Li磊");
  EXPECT_EQ(name->detail()->getInputValue(), "Li磊");

  name->input()->returnKey();
  EXPECT_TRUE(password->input()->isFirstResponder());
  EXPECT_EQ(ctrl->submits, 0);
  password->input()->insertText("1234");
  password->input()->returnKey();
  EXPECT_EQ(list->dataOfIndexPath(platform::IndexPath::forRow(1, 0))->getInputValue(), "1234");
  EXPECT_EQ(ctrl->submits, 1);
}

}  // namespace
}  // namespace kavro::test
