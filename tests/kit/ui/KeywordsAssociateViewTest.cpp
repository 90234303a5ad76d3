#include <gtest/gtest.h>

#include "kit/ui/UIKeywordsAssociateView.h"
#include "kit/ui/WidgetTracking.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/ui/WidgetTest.h"

namespace kavro {
namespace {

struct Heard : DataLoadAndParserDelegate {
  int calls = 0;
  void dataLoader(DataLoadAndParser&, const DataItemResult&) override { ++calls; }
};

class Suggestions : public UIKeywordsAssociateView {
 public:
  static std::shared_ptr<Suggestions> create(platform::Rect frame) {
    auto v = std::shared_ptr<Suggestions>(new Suggestions(frame));
    v->initWithFrame();
    return v;
  }
  void startFetchNewAssociateKeywords() override {
    fetched.push_back(loadingKeyword());
    setLastKeyword(loadingKeyword());
    setAssociateLoader(DataLoadAndParser::failWithMessage("pending", heard));
  }
  void showEmptyKeywords() override { ++empties; }
  std::vector<std::string> fetched;
  int empties = 0;
  std::shared_ptr<Heard> heard = std::make_shared<Heard>();

 private:
  using UIKeywordsAssociateView::UIKeywordsAssociateView;
};

struct Host : UIKeywordsAssociateViewDelegate {
  std::vector<std::string> log;
  void associateViewPicked(UIKeywordsAssociateView&, const DataItemDetail&) override {
    log.push_back("picked");
  }
  void onFocusAssociateView(UIKeywordsAssociateView&) override { log.push_back("focus"); }
  void onCloseAssociateView(UIKeywordsAssociateView&) override { log.push_back("close"); }
};

class KeywordsAssociateViewTest : public test::WidgetTest {};

TEST_F(KeywordsAssociateViewTest, FetchesOnlyAfterTypingPauses) {
  auto view = Suggestions::create(platform::Rect(0, 44, 320, 200));
  EXPECT_EQ(view->associateView()->frame(), platform::Rect(0, 0, 320, 200)) << "the list fills the view";
  EXPECT_EQ(view->empties, 1) << "starts empty";
  view->changeKeywords("j");
  runFor(0.3);
  view->changeKeywords("ja");
  runFor(0.3);
  view->changeKeywords("jav");
  EXPECT_TRUE(view->fetched.empty());
  ASSERT_TRUE(runUntil([&] { return !view->fetched.empty(); }, 1));
  EXPECT_EQ(view->fetched, std::vector<std::string>{"jav"});
  ASSERT_TRUE(view->associateLoader());

  // Typing again stops the running request: its answer never arrives.
  view->changeKeywords("java");
  EXPECT_FALSE(view->associateLoader());
  runFor(0.1);
  EXPECT_EQ(view->heard->calls, 0);

  // Clearing shows the empty state at once and forgets the last keyword.
  view->changeKeywords("");
  EXPECT_EQ(view->empties, 2);
  EXPECT_EQ(view->lastKeyword(), "");
  EXPECT_FALSE(view->associateTimer());
  runFor(1);
  EXPECT_EQ(view->fetched.size(), 1u);
}

TEST_F(KeywordsAssociateViewTest, TouchesOnTheListFocusAndCloseIsTracked) {
  auto view = Suggestions::create(platform::Rect(0, 0, 320, 200));
  auto host = std::make_shared<Host>();
  view->setDelegate(host);
  std::vector<std::string> points;
  widgettracking::setRecorder([&](std::string_view p) { points.emplace_back(p); });
  window->addSubview(view);
  platform::UIDriver::tap(*view->associateView());
  EXPECT_EQ(host->log, std::vector<std::string>{"focus"});
  bool closed = false;
  auto button = view->createFooterButton(platform::Rect(0, 160, 320, 40), "close", [&] {
    closed = true;
    view->closeAssociateView();
  });
  view->addSubview(button);
  EXPECT_EQ(titleColour(button), platform::Color::blue());
  platform::UIDriver::tap(*button);
  EXPECT_TRUE(closed);
  EXPECT_EQ(host->log.back(), "close");
  EXPECT_EQ(points, std::vector<std::string>{"TRACKING_JOBSEARCH_PROMPT_CLOSE"});
  widgettracking::setRecorder(nullptr);
}

}  // namespace
}  // namespace kavro
