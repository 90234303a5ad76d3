#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/LocationUtil.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/DictPickerController.h"
#include "platform/ui/NavigationController.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro::test {

struct DictEntry {
  std::string code, value;
  bool hassub = false, issection = false, ishot = false;
};

inline std::string dictXml(const std::vector<DictEntry>& entries, bool ok = true,
                           const std::string& message = "") {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?><responsemessage><result>";
  xml += ok ? "1" : "0";
  xml += "</result><status>0</status><message>" + message + "</message><resultbody><totalcount>" +
         std::to_string(entries.size()) + "</totalcount>";
  for (const auto& e : entries) {
    xml += "<item><code>" + e.code + "</code><value>" + e.value + "</value>";
    if (e.hassub) xml += "<hassub>1</hassub>";
    if (e.issection) xml += "<issection>1</issection>";
    if (e.ishot) xml += "<ishot>1</ishot>";
    xml += "</item>";
  }
  return xml + "</resultbody></responsemessage>";
}

// Takes the picker's dictionary requests and answers them when the test says.
struct ScriptedDictServer {
  struct Request {
    DictPickerController::ServerCall call;
    std::string ddtype, code;
    std::weak_ptr<DataLoadAndParserDelegate> delegate;
    std::shared_ptr<DataLoadAndParser> loader;
  };
  std::vector<Request> requests;

  void install() {
    DictPickerController::setDictLoader([this](DictPickerController::ServerCall call, std::string_view ddtype,
                                               std::string_view code,
                                               std::weak_ptr<DataLoadAndParserDelegate> d) {
      auto loader = DataLoadAndParser::create(d);
      requests.push_back({call, std::string(ddtype), std::string(code), d, loader});
      return loader;
    });
  }
  void answer(std::size_t index, const std::string& xml) {
    auto parsed = DataLoadAndParser::initWithData(xml);
    auto& r = requests.at(index);
    if (auto d = r.delegate.lock()) d->dataLoader(*r.loader, *parsed->getResult());
  }
};

class DictScreen : public UIBasicController, public DictPickerControllerDelegate {
 public:
  void dictPicker(DictPickerController&, const std::shared_ptr<DataItemDetail>& data) override {
    picked.push_back(data);
  }
  std::vector<std::shared_ptr<DataItemDetail>> picked;
};

class DictPickerTest : public KitUITest {
 protected:
  void SetUp() override {
    KitUITest::SetUp();
    server.install();
    screen = UIBasicController::create<DictScreen>();
    nav = platform::NavigationController::create(screen);
    window->setRootViewController(nav);
    platform::ViewController::finishPendingTransitions();
  }
  void TearDown() override {
    nav.reset();
    screen.reset();
    DictPickerController::setDictLoader({});
    UserCoreInfo::destroyUserCoreInfo();
    LocationUtil::destroyLocationUtil();
    KitUITest::TearDown();
  }

  ScriptedDictServer server;
  std::shared_ptr<DictScreen> screen;
  std::shared_ptr<platform::NavigationController> nav;
};

}  // namespace kavro::test
