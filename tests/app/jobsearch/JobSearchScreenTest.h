#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/jobsearch/JobSearchResultController.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/LocationUtil.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/PageTurnController.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Environment.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/ui/KitUITest.h"
#include "demo/ApiFixtureServer.h"

namespace kavro::test {

// A job page standing in for the real detail page, so the result list's tests open the pager
// without it.
class StandInJobPage : public platform::View, public PageTurnDelegate {
 public:
  explicit StandInJobPage(platform::Rect frame) : View(frame) {}
  std::shared_ptr<PageTurnController> pageTurnCtrl() const override { return ctrl_.lock(); }
  void setPageTurnCtrl(std::weak_ptr<PageTurnController> c) override { ctrl_ = std::move(c); }
  static std::shared_ptr<platform::View> make(const std::shared_ptr<DataItemDetail>& record,
                                              platform::Rect frame, PageTurnController&) {
    auto page = std::make_shared<StandInJobPage>(frame);
    page->jobid = record->get_jobid();
    return page;
  }
  static std::string title() { return "Job"; }
  std::string jobid;

 private:
  std::weak_ptr<PageTurnController> ctrl_;
};

KAVRO_CLASS(StandInJobPage, platform::View)
    .classFunction(&PageClassFunctions::customPartViewWithDetail, &StandInJobPage::make)
    .classFunction(&PageClassFunctions::getTitle, &StandInJobPage::title);

// The job search screens in a navigation controller of a key window, on the real clock (answers
// come over a socket from the API fixture server), in a fresh home.
class JobSearchScreenTest : public KitUITest {
 protected:
  static constexpr std::string_view SearchPath = "/api/job/search_job_list.php";
  static constexpr std::string_view AssociatePath = "/api/job/associate_keyword.php";

  void SetUp() override {
    KitUITest::SetUp();
    loop().setClock(platform::Clock::real());
    platform::Environment::setApiHostUrl(server.hostUrl());
    JobSearchResultController::setDetailPageClass(platform::classFor<StandInJobPage>());
  }
  void TearDown() override {
    if (nav) nav->setViewControllers({}, false);
    nav.reset();
    JobSearchResultController::setDetailPageClass(nullptr);
    UserCoreInfo::destroyUserCoreInfo();
    LocationUtil::destroyLocationUtil();
    loop().discardAll();
    platform::HTTPReadStream::closeIdleConnections();
    platform::Environment::setApiHostUrl("");
    KitUITest::TearDown();
  }

  // Shows the screen as the root of the window's navigation.
  void show(const std::shared_ptr<platform::ViewController>& root) {
    nav = platform::NavigationController::create(root);
    window->setRootViewController(nav);
    platform::ViewController::finishPendingTransitions();
  }
  void settle() { platform::ViewController::finishPendingTransitions(); }
  // The first result list shows a guide picture over the window until a tap; the tap lands on
  // the bottom bar's middle (a disabled button) when there is none.
  static void tapGuideAway() { platform::UIDriver::tapAt({160, 470}); }

  static std::string fixture(std::string_view name) {
    std::ifstream in(ApiFixtureServer::defaultFixtureRoot() + "/job/" + std::string(name));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void answerSearchWith(std::string_view name) { server.setAnswer(SearchPath, 200, fixture(name)); }

  // The query strings of the requests for the path, in order.
  std::vector<std::string> requestsFor(std::string_view path) const {
    std::vector<std::string> out;
    for (const auto& r : server.requests())
      if (r.target.starts_with(path)) out.push_back(r.target);
    return out;
  }
  // Waits until the section has an answer.
  bool loaded(const std::shared_ptr<ListViewData>& section) {
    return runUntil([&] { return section->listViewDataStatus() == ListViewDataStatus::Loaded; }, 20);
  }
  std::shared_ptr<JobSearchResultController> topResults() const {
    return std::dynamic_pointer_cast<JobSearchResultController>(nav->topViewController());
  }
  // The class names of the cells the list shows for its rows, in order.
  static std::vector<std::string> shownCellClasses(ListView& list, int section) {
    list.layoutSubviews();
    std::vector<std::string> names;
    for (int row = 0; row < list.numberOfRowsInSection(section); ++row) {
      auto cell = list.cellForRowAtIndexPath(platform::IndexPath::forRow(row, section));
      names.push_back(cell ? platform::classOf(*cell)->name() : "(none)");
    }
    return names;
  }

  ApiFixtureServer server;
  std::shared_ptr<platform::NavigationController> nav;
};

}  // namespace kavro::test
