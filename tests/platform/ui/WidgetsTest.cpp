#include <gtest/gtest.h>

#include <tuple>

#include "platform/ui/Button.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/UIDriver.h"
#include "platform/ui/WebView.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

using WidgetsTest = UITest;

class Wheels : public PickerViewDataSource, public PickerViewDelegate {
 public:
  std::vector<int> rows{3, 5};
  std::vector<std::pair<int, int>> picked;
  int numberOfComponentsInPickerView(PickerView&) override { return int(rows.size()); }
  int numberOfRowsInComponent(PickerView&, int c) override { return rows[std::size_t(c)]; }
  std::optional<std::string> titleForRow(PickerView&, int r, int c) override {
    return "c" + std::to_string(c) + "r" + std::to_string(r);
  }
  void didSelectRow(PickerView&, int r, int c) override { picked.emplace_back(r, c); }
};

TEST_F(WidgetsTest, PickerShowsTheSelectedRowsAndClampsOnReload) {
  auto wheels = std::make_shared<Wheels>();
  auto picker = std::make_shared<PickerView>(Rect(0, 264, 320, 0));
  EXPECT_EQ(picker->frame().size.height, PickerView::Height);
  picker->setDataSource(wheels);
  picker->setDelegate(wheels);
  window->addSubview(picker);
  picker->selectRow(4, 1);
  EXPECT_TRUE(wheels->picked.empty());
  EXPECT_TRUE(UIDriver::findView("c1r4"));
  EXPECT_TRUE(picker->pickRow(2, 0));
  EXPECT_FALSE(picker->pickRow(3, 0));
  EXPECT_FALSE(picker->pickRow(-1, 0));
  EXPECT_FALSE(picker->pickRow(0, -1));
  EXPECT_FALSE(picker->pickRow(0, 2));
  EXPECT_EQ(wheels->picked, (std::vector<std::pair<int, int>>{{2, 0}}));
  // Each wheel answers for itself, the first as well as the last; wheels that are not there have
  // no rows and nothing selected.
  EXPECT_EQ(picker->numberOfComponents(), 2);
  for (auto [component, rows, selected] :
       std::vector<std::tuple<int, int, int>>{{-1, 0, -1}, {0, 3, 2}, {1, 5, 4}, {2, 0, -1}}) {
    EXPECT_EQ(picker->numberOfRowsInComponent(component), rows) << component;
    EXPECT_EQ(picker->selectedRowInComponent(component), selected) << component;
  }
  EXPECT_TRUE(UIDriver::findView("c0r2"));

  wheels->rows = {0, 2};
  picker->reloadAllComponents();
  EXPECT_EQ(picker->numberOfRowsInComponent(0), 0);
  EXPECT_EQ(picker->numberOfRowsInComponent(1), 2);
  EXPECT_EQ(picker->selectedRowInComponent(0), -1);
  EXPECT_EQ(picker->selectedRowInComponent(1), 1);
  picker->layoutIfNeeded();
  EXPECT_FALSE(UIDriver::findView("c0r2")) << "an empty wheel shows no row";
  EXPECT_TRUE(UIDriver::findView("c1r1"));
}

TEST_F(WidgetsTest, ReloadingOneWheelRereadsItAloneAndWheelsThatAreNotThereAreLeftAlone) {
  auto wheels = std::make_shared<Wheels>();
  auto picker = std::make_shared<PickerView>(Rect(0, 264, 320, 0));
  picker->setDataSource(wheels);
  picker->setDelegate(wheels);
  window->addSubview(picker);
  picker->selectRow(2, 0);
  picker->selectRow(4, 1);
  wheels->rows = {1, 2};
  picker->reloadComponent(1);
  EXPECT_EQ(picker->selectedRowInComponent(0), 2) << "the other wheel is not read again";
  EXPECT_EQ(picker->selectedRowInComponent(1), 1);
  EXPECT_TRUE(UIDriver::findView("c1r1"));
  EXPECT_TRUE(UIDriver::findView("c0r2"));
  for (int none : {-1, 2, 7}) picker->reloadComponent(none);
  EXPECT_EQ(picker->selectedRowInComponent(0), 2);
  EXPECT_EQ(picker->selectedRowInComponent(1), 1);
  picker->reloadComponent(0);
  EXPECT_EQ(picker->selectedRowInComponent(0), 0);
  // When its source has gone the picker keeps what it shows.
  auto gone = std::make_shared<Wheels>();
  picker->setDataSource(gone);
  picker->selectRow(3, 1);
  gone.reset();
  picker->reloadComponent(1);
  EXPECT_EQ(picker->selectedRowInComponent(1), 3);
  EXPECT_TRUE(UIDriver::findView("c1r3"));
}

class Browser : public WebViewDelegate {
 public:
  std::vector<std::string> log;
  std::optional<bool> shouldStartLoadWithRequest(WebView&, const URLRequest& r,
                                                 WebViewNavigationType t) override {
    log.push_back("ask " + r.url.absoluteString() + " " + std::to_string(int(t)));
    return r.url.scheme() != "kavro";
  }
  void webViewDidStartLoad(WebView&) override { log.push_back("start"); }
  void webViewDidFinishLoad(WebView&) override { log.push_back("finish"); }
  void didFailLoadWithError(WebView&, const Error& e) override {
    log.push_back("fail " + std::to_string(e.code));
  }
};

TEST_F(WidgetsTest, WebViewRecordsLoadsAndLetsTheDelegateDecide) {
  auto browser = std::make_shared<Browser>();
  auto web = std::make_shared<WebView>(Rect(0, 0, 320, 400));
  web->setDelegate(browser);
  web->loadRequest(URLRequest(*URL::parse("http://127.0.0.1/a")));
  EXPECT_TRUE(web->isLoading());
  runFor(0);
  EXPECT_FALSE(web->isLoading());
  EXPECT_FALSE(web->clickLink(*URL::parse("kavro://open")));  // the app's own links stay in the app
  web->setAutoFinish(false);
  EXPECT_TRUE(web->clickLink(*URL::parse("http://127.0.0.1/b")));
  web->failLoad(Error{"NSURLErrorDomain", -1009, "offline", nullptr, nullptr});
  web->goBack();
  EXPECT_EQ(web->request()->url.absoluteString(), "http://127.0.0.1/a");
  EXPECT_TRUE(web->canGoForward());
  EXPECT_EQ(browser->log, (std::vector<std::string>{"ask http://127.0.0.1/a 5", "start", "finish",
                                                    "ask kavro://open 0", "ask http://127.0.0.1/b 0", "start",
                                                    "fail -1009", "ask http://127.0.0.1/a 2", "start"}));
  web->setJavaScriptAnswer("document.title", "Jobs");
  EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.title"), "Jobs");
  EXPECT_EQ(web->loads().size(), 3u);
}

TEST_F(WidgetsTest, AWebViewsScrollViewFillsItAndFollowsItsSize) {
  // Pages set the scroll view's insets and offsets: it must be the web view's own, on screen inside it.
  auto web = std::make_shared<WebView>(Rect(10, 20, 300, 400));
  window->addSubview(web);
  const auto& scroll = web->scrollView();
  ASSERT_TRUE(scroll);
  EXPECT_EQ(scroll->superview().get(), web.get());
  EXPECT_EQ(web->subviews().size(), 1u);
  EXPECT_EQ(scroll->frame(), Rect(0, 0, 300, 400));
  web->setFrame(Rect(0, 0, 320, 200));
  EXPECT_EQ(scroll->frame(), Rect(0, 0, 320, 200));
  web->setFrame(Rect(0, 0, 160, 480));
  EXPECT_EQ(scroll->frame(), Rect(0, 0, 160, 480));
}

TEST_F(WidgetsTest, AWebViewsHistoryForgetsWhatLayAheadWhenANewPageIsOpened) {
  auto web = std::make_shared<WebView>(Rect(0, 0, 320, 400));
  auto at = [&] { return web->request()->url.absoluteString(); };
  for (const char* page : {"http://127.0.0.1/a", "http://127.0.0.1/b", "http://127.0.0.1/c"}) {
    ASSERT_TRUE(web->clickLink(*URL::parse(page)));
    runFor(0);
  }
  EXPECT_FALSE(web->canGoForward());
  web->goBack();
  web->goBack();
  runFor(0);
  EXPECT_EQ(at(), "http://127.0.0.1/a");
  EXPECT_FALSE(web->canGoBack());
  EXPECT_TRUE(web->canGoForward());
  ASSERT_TRUE(web->clickLink(*URL::parse("http://127.0.0.1/d")));
  runFor(0);
  EXPECT_FALSE(web->canGoForward()) << "b and c are forgotten";
  ASSERT_TRUE(web->canGoBack());
  web->goBack();
  runFor(0);
  EXPECT_EQ(at(), "http://127.0.0.1/a");
  web->goForward();
  runFor(0);
  EXPECT_EQ(at(), "http://127.0.0.1/d");
  EXPECT_FALSE(web->canGoForward());
}

class Searcher : public SearchBarDelegate {
 public:
  std::vector<std::string> log;
  void searchBarTextDidBeginEditing(SearchBar&) override { log.push_back("begin"); }
  void searchBarTextDidEndEditing(SearchBar&) override { log.push_back("end"); }
  void textDidChange(SearchBar&, std::string_view text) override {
    log.push_back("text " + std::string(text));
  }
  void searchButtonClicked(SearchBar& sb) override {
    log.push_back("search");
    sb.resignFirstResponder();
  }
  void cancelButtonClicked(SearchBar& sb) override {
    log.push_back("cancel");
    sb.setText("");
  }
};

TEST_F(WidgetsTest, SearchBarReportsTypingSearchAndCancel) {
  auto searcher = std::make_shared<Searcher>();
  auto bar = std::make_shared<SearchBar>(Rect(0, 20, 320, 44));
  bar->setDelegate(searcher);
  bar->setPlaceholder("职位");
  window->addSubview(bar);
  ASSERT_TRUE(UIDriver::tap("职位"));
  EXPECT_TRUE(bar->isFirstResponder());
  bar->setShowsCancelButton(true);
  ASSERT_TRUE(UIDriver::type("ab\n"));
  // The toolkit's own words follow the user's language.
  EXPECT_FALSE(UIDriver::tap("Cancel"));
  ASSERT_TRUE(UIDriver::tap("取消"));
  EXPECT_EQ(searcher->log,
            (std::vector<std::string>{"begin", "text a", "text ab", "search", "end", "cancel", "text "}));
  bar->layoutIfNeeded();
  EXPECT_EQ(bar->searchField()->frame(), Rect(6, 7, 242, 30));
}

}  // namespace
}  // namespace kavro::test
