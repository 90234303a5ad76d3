#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kit/core/DataLoadAndParser.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewData.h"
#include "kit/ui/ListViewDelegate.h"
#include "platform/ui/Label.h"

namespace kavro::test {

// The texts a row shows, in the order of its view tree: those of its labels that are not empty and
// that neither hide nor stand in a hidden view. A label the row holds but never put in its tree is
// no text on screen.
inline std::vector<std::string> shownTexts(const platform::View& row) {
  std::vector<std::string> out;
  std::function<void(const platform::View&)> walk = [&](const platform::View& v) {
    if (v.isHidden()) return;
    auto* label = dynamic_cast<const platform::Label*>(&v);
    if (label && !label->text().empty()) out.push_back(label->text());
    for (const auto& sub : v.subviews()) walk(*sub);
  };
  walk(row);
  return out;
}

// An answer of the service: total, then one item per id (jobid and a title).
inline std::string pageXml(int total, const std::vector<int>& ids, bool ok = true,
                           const std::string& message = "") {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?><responsemessage><result>";
  xml += ok ? "1" : "0";
  xml += "</result><status>0</status><message>" + message + "</message><resultbody><totalcount>" +
         std::to_string(total) + "</totalcount>";
  for (int id : ids)
    xml += "<item><jobid>" + std::to_string(id) + "</jobid><jobname>job " + std::to_string(id) +
           "</jobname></item>";
  return xml + "</resultbody></responsemessage>";
}

// Rows first..first+count-1, capped at total.
inline std::vector<int> ids(int first, int count, int total) {
  std::vector<int> out;
  for (int i = first; i < first + count && i <= total; ++i) out.push_back(i);
  return out;
}

// A screen that hands out loaders over in-memory answers and delivers them when the test says.
class ScriptedController : public ListViewDelegate {
 public:
  std::function<std::string(ListViewData&)> answer;
  std::vector<std::uint32_t> requestedPages;
  std::vector<std::pair<std::shared_ptr<DataLoadAndParser>, std::weak_ptr<ListViewData>>> pending;
  std::vector<platform::IndexPath> selected;
  int loadDataTaps = 0;
  bool handleLoadData = false;
  int reloads = 0;  // listViewOnReloaded

  std::optional<std::shared_ptr<DataLoadAndParser>> dataLoaderForSection(ListViewData& section) override {
    requestedPages.push_back(section.pageAt());
    auto loader = DataLoadAndParser::initWithData(answer(section));
    pending.emplace_back(loader, std::static_pointer_cast<ListViewData>(section.shared_from_this()));
    return loader;
  }
  bool listViewSelectedIndexPath(ListView&, const platform::IndexPath& ip) override {
    selected.push_back(ip);
    return true;
  }
  bool listViewOnReloaded(ListView&) override {
    ++reloads;
    return true;
  }
  bool listViewLoadData(ListView&, const platform::IndexPath&) override {
    ++loadDataTaps;
    return handleLoadData;
  }
  // Delivers every answer asked for so far (and those asked for meanwhile), as the loaders would.
  void deliverAll() {
    while (!pending.empty()) {
      auto [loader, section] = pending.front();
      pending.erase(pending.begin());
      if (auto s = section.lock(); s && s->dataLoaderObject() == loader)
        s->dataLoader(*loader, *loader->getResult());
    }
  }
  void deliverOne() {
    if (pending.empty()) return;
    auto [loader, section] = pending.front();
    pending.erase(pending.begin());
    if (auto s = section.lock(); s && s->dataLoaderObject() == loader)
      s->dataLoader(*loader, *loader->getResult());
  }
};

}  // namespace kavro::test
