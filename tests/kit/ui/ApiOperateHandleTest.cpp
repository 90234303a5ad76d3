#include <gtest/gtest.h>

#include "kit/ui/ApiOperateHandle.h"
#include "kit/ui/CommonHudView.h"
#include "platform/ui/AlertView.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro {
namespace {

class ApiOperateHandleTest : public test::KitUITest {
 protected:
  static std::string hudCaption() {
    auto hud = CommonHud::currentInstance();
    return hud ? hud->hudView()->captionLayer().caption : "<none>";
  }
  static bool hudVisible() {
    auto hud = CommonHud::currentInstance();
    return hud && hud->hudView()->alpha() == 1;
  }
  static std::shared_ptr<platform::AlertView> shownAlert() {
    auto& alerts = platform::Application::sharedApplication().visibleAlerts();
    return alerts.empty() ? nullptr : std::dynamic_pointer_cast<platform::AlertView>(alerts.back());
  }
};

TEST_F(ApiOperateHandleTest, AFailureIsShownAsAnAlertAfterTheTipAndTheHandleLetsGo) {
  std::weak_ptr<ApiOperateHandle> weak;
  std::weak_ptr<DataLoadAndParser> loaderWeak;
  {
    auto loader = DataLoadAndParser::failWithMessage("network down", {});
    loaderWeak = loader;
    weak = ApiOperateHandle::processForDataLoader(loader);
  }
  // The caller's scope is over; the handle waits for the answer.
  ASSERT_FALSE(weak.expired());
  EXPECT_EQ(hudCaption(), AppCoreInfo::getLocalizedString("common_text_submit_data_now"));
  EXPECT_EQ(shownAlert(), nullptr);

  runFor(0.1);
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(loaderWeak.expired());
  EXPECT_EQ(CommonHud::currentInstance(), nullptr);
  auto alert = shownAlert();
  ASSERT_TRUE(alert);
  EXPECT_EQ(alert->message(), "network down");
  EXPECT_TRUE(alert->tapButtonAtIndex(0));
}

TEST_F(ApiOperateHandleTest, ASuccessShowsItsMessageAsASelfHidingTip) {
  auto loader = DataLoadAndParser::create({});
  std::weak_ptr<ApiOperateHandle> weak = ApiOperateHandle::processForDataLoader(loader);
  ASSERT_FALSE(weak.expired());
  EXPECT_EQ(loader->delegate().lock(), weak.lock());

  auto answer = DataItemResult::create();
  answer->setMessage("Followed");
  weak.lock()->dataLoader(*loader, *answer);
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(hudCaption(), "Followed");
  EXPECT_EQ(shownAlert(), nullptr);
  runFor(2);
  EXPECT_FALSE(hudVisible());

  // An empty message still takes the submitting tip away.
  auto second = DataLoadAndParser::create({});
  auto handle = ApiOperateHandle::processForDataLoader(second);
  EXPECT_TRUE(hudVisible());
  handle->dataLoader(*second, *DataItemResult::create());
  runFor(0.2);
  EXPECT_FALSE(hudVisible());
  EXPECT_EQ(shownAlert(), nullptr);
}

TEST_F(ApiOperateHandleTest, NoLoaderOrAFinishedOneNeverLeavesTheTipUp) {
  EXPECT_EQ(ApiOperateHandle::processForDataLoader(nullptr), nullptr);
  EXPECT_EQ(CommonHud::currentInstance(), nullptr);

  auto done = DataLoadAndParser::initWithData(
      "<responsemessage><result>1</result><message>Saved</message><resultbody></resultbody></"
      "responsemessage>");
  std::weak_ptr<ApiOperateHandle> weak = ApiOperateHandle::processForDataLoader(done);
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(hudCaption(), "Saved");
}

}  // namespace
}  // namespace kavro
