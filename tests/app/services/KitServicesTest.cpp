// The kit's hooks, filled by the application at launch, reach the real server calls and counters.

#include <gtest/gtest.h>

#include <string>

#include "app/api/ApiFrame.h"
#include "app/services/KitServices.h"
#include "app/shell/AppTracking.h"
#include "demo/ApiFixtureServer.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/LocationUtil.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/DictPickerController.h"
#include "kit/ui/UIKavroEmailTextField.h"
#include "kit/ui/WidgetTracking.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Environment.h"
#include "platform/net/HTTPReadStream.h"
#include "tests/kit/ui/DictPickerTestSupport.h"

namespace kavro {
namespace {

class KitServicesTest : public test::KitUITest {
 protected:
  void SetUp() override {
    KitUITest::SetUp();
    // The answers come over a real socket.
    loop().setClock(platform::Clock::real());
    platform::Environment::setApiHostUrl(server.hostUrl());
    appcore::installKitServices();
    screen = UIBasicController::create<test::DictScreen>();
    nav = platform::NavigationController::create(screen);
    window->setRootViewController(nav);
    platform::ViewController::finishPendingTransitions();
  }
  void TearDown() override {
    nav.reset();
    screen.reset();
    DictPickerController::setDictLoader({});
    UIKavroEmailTextField::setDictionaryFetcher(nullptr);
    widgettracking::setRecorder({});
    AppCoreInfo::setLocalizedString({});
    AppCoreInfo::setUpgradeDataBases({});
    UserCoreInfo::destroyUserCoreInfo();
    LocationUtil::destroyLocationUtil();
    loop().discardAll();
    platform::HTTPReadStream::closeIdleConnections();
    platform::Environment::setApiHostUrl("");
    KitUITest::TearDown();
  }

  // The request for the path (without query), "" when none came.
  std::string requestFor(std::string_view path) const {
    for (const auto& r : server.requests())
      if (r.target.starts_with(path) && r.target.size() > path.size() && r.target[path.size()] == '?')
        return r.target;
    return "";
  }

  test::ApiFixtureServer server;
  std::shared_ptr<test::DictScreen> screen;
  std::shared_ptr<platform::NavigationController> nav;
};

TEST_F(KitServicesTest, EachPickerKindLoadsItsLevelThroughItsDictionaryCall) {
  struct Case {
    DictType type;
    std::string_view path;
  };
  for (const Case& c : {Case{DictType::JobArea, "/api/datadict/get_jobarea.php"},
                        Case{DictType::JobFunction, "/api/datadict/get_special_datadict.php"},
                        Case{DictType::Education, "/api/datadict/get_datadict.php"}}) {
    SCOPED_TRACE(ToInt(c.type));
    server.setAnswer(c.path, 200, test::dictXml({{"01", "first"}, {"02", "second"}}));
    auto picker = DictPickerController::pickerWidthType(c.type, screen);
    picker->view();
    ASSERT_TRUE(runUntil([&] { return !requestFor(c.path).empty(); }, 20));
    const std::string ddtype = ApiFrame::value(DictPickerController::dictTypeToDictName(c.type));
    ASSERT_FALSE(ddtype.empty());
    EXPECT_TRUE(
        requestFor(c.path).starts_with(std::string(c.path) + "?ddtype=" + ddtype + "&code=&language=c&"))
        << requestFor(c.path);
    if (c.type == DictType::Education) {
      auto section = picker->dictView()->dataOfSection(0);
      ASSERT_TRUE(runUntil([&] { return section->count() == 2; }, 20));
      EXPECT_EQ(section->listData()->dataList()[1]->getDictValue(), "second");
    }
  }
}

TEST_F(KitServicesTest, TheEmailFieldFetchesTheSuffixDictionary) {
  server.setAnswer("/api/datadict/get_datadict.php", 200, test::dictXml({{"1", "mail.example"}}));
  auto field = UIKavroEmailTextField::create(platform::Rect(10, 50, 300, 30));
  ASSERT_TRUE(runUntil([&] { return !field->fullEmailList().empty(); }, 20));
  EXPECT_EQ(field->fullEmailList()[0]->getDictValue(), "mail.example");
  const std::string ddtype =
      ApiFrame::value(AppCoreInfo::getLocalizedString("store_dict_register_email_suffix"));
  ASSERT_FALSE(ddtype.empty());
  EXPECT_TRUE(requestFor("/api/datadict/get_datadict.php")
                  .starts_with("/api/datadict/get_datadict.php?ddtype=" + ddtype + "&code=&language=c&"))
      << requestFor("/api/datadict/get_datadict.php");
}

// Fetches in flight at once each end with their own answer, whichever comes first.
TEST_F(KitServicesTest, TwoEmailFieldsMadeAtOnceBothGetTheSuffixes) {
  server.setAnswer("/api/datadict/get_datadict.php", 200, test::dictXml({{"1", "mail.example"}}));
  auto first = UIKavroEmailTextField::create(platform::Rect(10, 50, 300, 30));
  auto second = UIKavroEmailTextField::create(platform::Rect(10, 90, 300, 30));
  ASSERT_TRUE(
      runUntil([&] { return !first->fullEmailList().empty() && !second->fullEmailList().empty(); }, 20))
      << first->fullEmailList().size() << " " << second->fullEmailList().size();
  EXPECT_EQ(second->fullEmailList()[0]->getDictValue(), "mail.example");
}

TEST_F(KitServicesTest, WidgetTrackingPointsAreCounted) {
  widgettracking::record("TRACKING_ONE");
  widgettracking::record("TRACKING_TWO");
  widgettracking::record("TRACKING_ONE");
  EXPECT_EQ(platform::stringFromData(AppTracking::getTrackingPostData()), "TRACKING_ONE=2&TRACKING_TWO=1");
}

}  // namespace
}  // namespace kavro
