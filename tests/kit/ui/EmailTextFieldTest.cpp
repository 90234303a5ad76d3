#include <gtest/gtest.h>

#include "kit/core/DataAppCacheDB.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/ui/UIKavroEmailTextField.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/ui/WidgetTest.h"

namespace kavro {
namespace {

using platform::Rect;

DataItemResult suffixes(std::vector<std::string> values) {
  auto result = DataItemResult::create();
  for (auto& v : values) {
    auto r = DataItemDetail::newDetail();
    r->setString(v, "value");
    r->setString(v, "code");
    result->addItem(r);
  }
  return *result;
}

struct Picked : EmailSelectedObserver {
  int calls = 0;
  const void* object = nullptr;
  void onEmailSelected(const platform::Notification& n) override {
    ++calls;
    object = n.object;
  }
};

class EmailTextFieldTest : public test::WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    UIKavroEmailTextField::setDictionaryFetcher([this](const std::string& name, auto done) {
      asked.push_back(name);
      pending = done;
    });
  }
  void TearDown() override {
    UIKavroEmailTextField::setDictionaryFetcher(nullptr);
    WidgetTest::TearDown();
  }
  std::shared_ptr<UIKavroEmailTextField> field() {
    auto f = UIKavroEmailTextField::create(Rect(10, 50, 300, 30));
    window->addSubview(f);
    f->bindParentView(window, 80);
    return f;
  }
  std::vector<std::string> rows(const UIKavroEmailTextField& f) {
    std::vector<std::string> out;
    for (auto& r : f.suggestions()) out.push_back(r->getItemValue());
    return out;
  }
  std::vector<std::string> asked;
  std::function<void(const DataItemResult&)> pending;
};

TEST_F(EmailTextFieldTest, SuggestsTheNameWithEverySuffixNarrowedAfterTheAt) {
  auto f = field();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "email_suffix");
  pending(suffixes({"qq.com", "163.com", "126.com", "gmail.com"}));
  EXPECT_TRUE(AppCoreInfo::getCacheDB()->hasBinItem(STORE_CACHE_EMAIL_SUFFIX, "suffix_email"));
  EXPECT_EQ(f->emailTipsView()->frame(), Rect(10, 80, 300, 165));

  ASSERT_TRUE(f->becomeFirstResponder());
  platform::UIDriver::type("li");
  EXPECT_EQ(rows(*f), (std::vector<std::string>{"li@qq.com", "li@163.com", "li@126.com", "li@gmail.com"}));
  EXPECT_FALSE(f->emailTipsView()->isHidden());
  EXPECT_EQ(f->emailTipsView()->frame().size.height, 4 * 31 + 10);
  platform::UIDriver::type("@");
  EXPECT_EQ(rows(*f).size(), 4u);
  platform::UIDriver::type("1");
  EXPECT_EQ(rows(*f), (std::vector<std::string>{"li@163.com", "li@126.com"}));
  platform::UIDriver::type("63.com");
  EXPECT_EQ(rows(*f), (std::vector<std::string>{"li@163.com"}));
  EXPECT_TRUE(f->emailTipsView()->isHidden()) << "the only address is the text itself";

  f->setText("a@b@c");
  f->adjustEmailSuffix();
  EXPECT_TRUE(rows(*f).empty()) << "everything after the first @ is the typed suffix";

  platform::UIDriver::deleteBackward(5);
  EXPECT_TRUE(f->emailTipsView()->isHidden());
}

TEST_F(EmailTextFieldTest, TheDropDownGrowsWithItsRowsUpToTheLargestSizeItTells) {
  auto f = field();
  pending(suffixes({"qq.com", "163.com", "126.com", "gmail.com", "sina.com", "sohu.com", "yeah.net"}));
  EXPECT_EQ(f->emailTipsMaxSize(), (platform::Size{300, UIKavroEmailTextField::MaxListHeight}))
      << "as wide as the field";
  ASSERT_TRUE(f->becomeFirstResponder());

  // Seven rows would pass the largest size: the drop-down stops there and its list scrolls.
  platform::UIDriver::type("li");
  ASSERT_EQ(rows(*f).size(), 7u);
  EXPECT_EQ(f->emailTipsView()->frame(), Rect(10, 80, 300, 165));
  EXPECT_EQ(f->emailTipsView()->frame().size, f->emailTipsMaxSize());
  EXPECT_EQ(f->emailListView()->frame(), Rect(5, 5, 290, 155));
  EXPECT_EQ(f->emailListView()->contentSize().height, 7 * 31);

  // Two rows: as tall as they are, still as wide as the field.
  platform::UIDriver::type("@s");
  ASSERT_EQ(rows(*f), (std::vector<std::string>{"li@sina.com", "li@sohu.com"}));
  EXPECT_EQ(f->emailTipsView()->frame(), Rect(10, 80, 300, 2 * 31 + 10));
  EXPECT_EQ(f->emailListView()->frame(), Rect(5, 5, 290, 2 * 31));
}

TEST_F(EmailTextFieldTest, PickingARowFillsTheFieldAndTellsTheTarget) {
  auto f = field();
  pending(suffixes({"qq.com", "163.com"}));
  auto picked = std::make_shared<Picked>();
  f->registerEmailEventForTarget(picked);
  f->registerEmailEventForTarget(picked);  // once only
  f->registerEmailEventForTarget(nullptr);
  ASSERT_TRUE(f->becomeFirstResponder());
  platform::UIDriver::type("wang");
  f->emailListView()->layoutIfNeeded();
  ASSERT_TRUE(platform::UIDriver::tap("wang@163.com"));
  EXPECT_EQ(f->text(), "wang@163.com");
  EXPECT_TRUE(f->emailTipsView()->isHidden());
  EXPECT_EQ(picked->calls, 1);
  EXPECT_EQ(picked->object, f.get());
  f->removeEmailEventForTarget(picked.get());
  f->selectedIndexPath(platform::IndexPath::forRow(0, 0));
  EXPECT_EQ(picked->calls, 1);
}

TEST_F(EmailTextFieldTest, CachedSuffixesAreUsedAndEmptyOrFailedAnswersAreNotCached) {
  auto first = field();
  DataItemResult failed = suffixes({"x.com"});
  failed.setHasError(true);
  pending(failed);
  EXPECT_TRUE(first->fullEmailList().empty());
  pending(suffixes({}));
  EXPECT_FALSE(AppCoreInfo::getCacheDB()->hasBinItem(STORE_CACHE_EMAIL_SUFFIX, "suffix_email"));
  pending(suffixes({"qq.com"}));

  asked.clear();
  auto second = field();
  EXPECT_TRUE(asked.empty()) << "the cached dictionary has no age limit";
  ASSERT_EQ(second->fullEmailList().size(), 1u);
  EXPECT_EQ(second->fullEmailList()[0]->getString("value"), "qq.com");
}

}  // namespace
}  // namespace kavro
