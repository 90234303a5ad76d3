#include "kit/ui/TableViewInputBox.h"

#include <memory>

#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"

namespace kavro::tableview {

namespace {
std::shared_ptr<platform::TextField> firstTextField(const std::shared_ptr<platform::View>& view) {
  if (auto field = std::dynamic_pointer_cast<platform::TextField>(view)) return field;
  for (const auto& sub : view->subviews())
    if (auto field = firstTextField(sub)) return field;
  return nullptr;
}
}  // namespace

bool focusInputBoxAtIndexPath(platform::TableView& table, const platform::IndexPath& ip) {
  if (ip.section < 0 || ip.row < 0) return false;
  if (ip.section >= table.numberOfSections() || ip.row >= table.numberOfRowsInSection(ip.section))
    return false;
  table.scrollToRowAtIndexPath(ip, platform::TableViewScrollPosition::None, false);
  auto cell = table.cellForRowAtIndexPath(ip);
  if (!cell) return false;
  auto field = firstTextField(cell);
  return field && field->becomeFirstResponder();
}

}  // namespace kavro::tableview
