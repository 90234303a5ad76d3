#include <gtest/gtest.h>

#include "app/account/UserLoginController.h"
#include "app/community/FansCompanyHomeController.h"
#include "app/community/FansEmptyCell.h"
#include "app/community/FansUgcForGroupController.h"
#include "platform/ui/NavigationItem.h"
#include "tests/app/account/ScreenServerTest.h"

namespace kavro {
namespace {

class PostWatcher : public FansUgcDelegate {
 public:
  std::vector<std::string> targets;
  void onSubmitSuccessForUgcController(FansUgcForGroupController& ctrl) override {
    targets.push_back(ctrl.targetID());
  }
};

class FansScreensTest : public test::ScreenServerTest {
 protected:
  std::shared_ptr<FansUgcForGroupController> openForm(const std::shared_ptr<PostWatcher>& watcher) {
    auto form = FansUgcForGroupController::openWithCoID("2310486", "浦江数据", watcher);
    settle();
    return form;
  }
  void send(FansUgcForGroupController& form, std::string text) {
    form.contentView()->setText(std::move(text));
    ASSERT_TRUE(form.navigationItem()->rightBarButtonItem()->sendAction());
    ASSERT_TRUE(waitFor([&] { return !form.isSending(); }));
    settle();
  }
};

// The post form slides up over the company's page, as a form of its own does.
TEST_F(FansScreensTest, ThePostFormSlidesUpOverThePage) {
  logIn();
  auto watcher = std::make_shared<PostWatcher>();
  auto form = FansUgcForGroupController::openWithCoID("2310486", "浦江数据", watcher);
  auto presented = nav->presentedViewController();
  ASSERT_TRUE(presented);
  EXPECT_FALSE(presented->isViewVisible()) << "still on its way up";
  settle();
  EXPECT_TRUE(presented->isViewVisible());
  EXPECT_TRUE(form->isViewVisible());
}

TEST_F(FansScreensTest, ThePostFormSendsThroughTheServerAndThenTellsItsDelegate) {
  logIn();
  auto watcher = std::make_shared<PostWatcher>();
  auto form = openForm(watcher);
  auto presented = std::dynamic_pointer_cast<platform::NavigationController>(nav->presentedViewController());
  ASSERT_TRUE(presented) << "modal, in a navigation controller of its own";
  EXPECT_EQ(presented->topViewController(), form);
  EXPECT_EQ(form->targetID(), "2310486");
  EXPECT_EQ(form->title(), "浦江数据");
  EXPECT_EQ(form->navigationItem()->rightBarButtonItem()->title(), text("fans_ugc_send"));

  send(*form, "   ");
  EXPECT_TRUE(requestsFor("/api/fans/add_topic.php").empty()) << "nothing to send";
  EXPECT_TRUE(watcher->targets.empty());

  send(*form, " 面试 & 体验 ");
  auto posts = requestsFor("/api/fans/add_topic.php");
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].method, "POST");
  EXPECT_NE(posts[0].target.find("accountid=80231577&key=5f0c7a1e"), std::string::npos);
  EXPECT_EQ(posts[0].body,
            "type=1&objid=2310486&content=%E9%9D%A2%E8%AF%95%20%26%20%E4%BD%93%E9%AA%8C"
            "&imgtype=JPEG&imgdata=");
  EXPECT_EQ(watcher->targets, std::vector<std::string>{"2310486"});
  EXPECT_EQ(nav->presentedViewController(), nullptr) << "the form closed";
}

TEST_F(FansScreensTest, AFailedPostShowsTheMessageAndKeepsTheForm) {
  logIn();
  server.setAnswer("/api/fans/add_topic.php", 200, failure("内容包含敏感词"));
  auto watcher = std::make_shared<PostWatcher>();
  auto form = openForm(watcher);
  send(*form, "hello");
  auto alert = visibleAlert();
  ASSERT_TRUE(alert);
  EXPECT_EQ(alert->message(), "内容包含敏感词");
  EXPECT_TRUE(watcher->targets.empty());
  EXPECT_TRUE(nav->presentedViewController());
  EXPECT_TRUE(form->navigationItem()->rightBarButtonItem()->isEnabled()) << "another try is possible";

  // A failure without a message, then no server at all: the form's own word, the form kept.
  alert->dismissWithClickedButtonIndex(0, false);
  server.setAnswer("/api/fans/add_topic.php", 200, failure(""));
  send(*form, "hello");
  ASSERT_TRUE(visibleAlert());
  EXPECT_EQ(visibleAlert()->message(), text("fans_ugc_send_failed"));
  visibleAlert()->dismissWithClickedButtonIndex(0, false);
  {
    test::ApiFixtureServer closed;
    platform::Environment::setApiHostUrl(closed.hostUrl());
    closed.stop();
    send(*form, "hello");
  }
  ASSERT_TRUE(visibleAlert()) << "a refused connection is no post";
  EXPECT_NE(visibleAlert()->message(), "");
  visibleAlert()->dismissWithClickedButtonIndex(0, false);
  EXPECT_TRUE(watcher->targets.empty());
  EXPECT_TRUE(nav->presentedViewController());

  // The same form sends once the server takes it.
  platform::Environment::setApiHostUrl(server.hostUrl());
  server.clearAnswers();
  send(*form, "hello");
  EXPECT_EQ(requestsFor("/api/fans/add_topic.php").size(), 3u);
  EXPECT_EQ(watcher->targets, std::vector<std::string>{"2310486"});
  EXPECT_EQ(nav->presentedViewController(), nullptr);
}

TEST_F(FansScreensTest, PostingLoggedOutLogsInFirstThenSends) {
  auto watcher = std::make_shared<PostWatcher>();
  auto form = openForm(watcher);
  form->contentView()->setText("hello");
  form->navigationItem()->rightBarButtonItem()->sendAction();
  settle();
  auto loginNav = std::dynamic_pointer_cast<platform::NavigationController>(form->presentedViewController());
  ASSERT_TRUE(loginNav);
  auto login = std::dynamic_pointer_cast<UserLoginController>(loginNav->topViewController());
  ASSERT_TRUE(login);
  login->nameField()->setText("demo");
  login->passwordField()->setText("pw");
  login->loginButton()->sendActionsForControlEvents(platform::ControlEvent::TouchUpInside);
  ASSERT_TRUE(waitFor([&] { return !watcher->targets.empty(); }));
  EXPECT_EQ(requestsFor("/api/fans/add_topic.php").size(), 1u);
}

TEST_F(FansScreensTest, TheCompanyPageShowsTheCompanyAndItsPostsAndRefreshesAfterAPost) {
  logIn();
  auto page = FansCompanyHomeController::openWithCoID("2310486");
  settle();
  ASSERT_EQ(nav->topViewController(), page);
  auto write = page->navigationItem()->rightBarButtonItem();
  ASSERT_TRUE(write);
  EXPECT_EQ(write->title(), text("fans_new_topic"));
  EXPECT_EQ(write->style(), platform::BarButtonItemStyle::Bordered) << "dressed by the skin's \"nav_write\"";
  EXPECT_TRUE(write->tintColor());
  ASSERT_TRUE(waitFor([&] {
    return page->companyInfo() && page->topics()->listViewDataStatus() == ListViewDataStatus::Loaded;
  }));
  EXPECT_EQ(page->title(), "上海浦江数据科技有限公司");
  EXPECT_EQ(page->topics()->count(), 2u);
  auto cell = page->topicList()->cellForRowAtIndexPath(platform::IndexPath::forRow(0, 0));
  EXPECT_EQ(cell->textLabel()->text(), "面试流程很规范，技术面问得很细。");
  auto shown = [&] {
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; i < page->topicList()->numberOfRowsInSection(0); ++i) {
      auto row = page->topicList()->cellForRowAtIndexPath(platform::IndexPath::forRow(i, 0));
      rows.emplace_back(row->textLabel()->text(), row->detailTextLabel()->text());
    }
    return rows;
  };
  const std::vector<std::pair<std::string, std::string>> posts = {
      {"面试流程很规范，技术面问得很细。", "小王  2013-05-20 10:12"},
      {"有人知道今年校招什么时候开始吗？", "lee  2013-05-19 21:40"}};
  EXPECT_EQ(shown(), posts);

  write->sendAction();
  settle();
  auto form = std::dynamic_pointer_cast<FansUgcForGroupController>(
      std::dynamic_pointer_cast<platform::NavigationController>(nav->presentedViewController())
          ->topViewController());
  ASSERT_TRUE(form);
  EXPECT_EQ(form->targetName(), "上海浦江数据科技有限公司");
  form->contentView()->setText("new");
  form->navigationItem()->rightBarButtonItem()->sendAction();
  ASSERT_TRUE(waitFor([&] { return requestsFor("/api/fans/get_co_topics.php").size() == 2; }));
  ASSERT_TRUE(waitFor([&] { return page->topics()->listViewDataStatus() == ListViewDataStatus::Loaded; }));
  EXPECT_EQ(shown(), posts) << "the refreshed page, not the posts twice";
}

TEST_F(FansScreensTest, AnEmptyCompanyPageShowsTheEmptyRowsTextOnly) {
  logIn();
  server.setAnswer("/api/fans/get_co_topics.php", 200,
                   "<responsemessage><result>1</result><resultbody><totalcount>0</totalcount></resultbody>"
                   "</responsemessage>");
  auto page = FansCompanyHomeController::openWithCoID("1");
  settle();
  ASSERT_TRUE(waitFor([&] { return page->topics()->listViewDataStatus() == ListViewDataStatus::Loaded; }));
  auto list = page->topicList();
  ASSERT_EQ(list->numberOfRowsInSection(0), 1);
  auto empty = std::dynamic_pointer_cast<FansEmptyCell>(
      list->cellForRowAtIndexPath(platform::IndexPath::forRow(0, 0)));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->label()->text(), text("fans_cell_empty_company_topics"));
  EXPECT_FALSE(empty->isUserInteractionEnabled()) << "nothing to tap";
}

}  // namespace
}  // namespace kavro
